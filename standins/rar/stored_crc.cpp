// The CRC of a stored RAR entry, read from its file header. libarchive 3.6 ends a stored
// entry's data as soon as its size is reached, before its CRC check (RAR 1.5-4.x and RAR 5
// alike), so a damaged stored entry would pass for whole; the engine checks this CRC instead.
#include <windows.h>

#include <zlib.h>

#include "standins/rar/rar.h"
#include "standins/core/formats.h"
#include "standins/core/names.h"

namespace standin {
namespace {

const unsigned char kFileBlock = 0x74;
const unsigned char kMethodStore = 0x30;
const uint32_t kLongBlock = 0x8000;  // an ADD_SIZE field follows the header's size
const size_t kFileHeaderMin = 32;
const int kMaxBlocks = 64;           // service blocks between two files are few

bool ReadAt(HANDLE file, int64_t at, std::string& out, size_t size) {
    LARGE_INTEGER pos;
    pos.QuadPart = at;
    if (!SetFilePointerEx(file, pos, nullptr, FILE_BEGIN)) return false;
    out.resize(size);
    DWORD got = 0;
    if (!ReadFile(file, &out[0], static_cast<DWORD>(size), &got, nullptr) || got != size)
        return false;
    return true;
}

// RAR 5 variable-length integers: seven bits a byte, low bits first.
bool ReadVint(const std::string& s, size_t& at, uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64 && at < s.size(); shift += 7) {
        unsigned char b = static_cast<unsigned char>(s[at++]);
        value |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return true;
    }
    return false;
}

const char kRar5Signature[] = "Rar!\x1a\x07\x01\x00";
const uint64_t kRar5File = 2;
const uint64_t kRar5HasExtra = 0x01, kRar5HasData = 0x02;
const uint64_t kRar5FileTime = 0x02, kRar5FileCrc = 0x04, kRar5FileDir = 0x01;
const size_t kRar5MaxHeader = 2 * 1024 * 1024;

bool Rar5StoredCrc(HANDLE file, int64_t at, uint32_t& crc) {
    std::string head;
    for (int i = 0; i < kMaxBlocks && ReadAt(file, at, head, 7); ++i) {
        if (head.compare(0, 7, kRar5Signature, 7) == 0) {
            at += 8;
            continue;
        }
        size_t p = 4;
        uint64_t headSize = 0;
        if (!ReadVint(head, p, headSize) || headSize == 0 || headSize > kRar5MaxHeader) break;
        std::string block;
        if (!ReadAt(file, at, block, p + static_cast<size_t>(headSize))) break;
        uint32_t stored = GetLe32(block, 0);
        uint32_t actual = static_cast<uint32_t>(crc32(
            0, reinterpret_cast<const Bytef*>(block.data()) + 4, static_cast<uInt>(block.size() - 4)));
        if (stored != actual) break;
        uint64_t type = 0, flags = 0, extra = 0, dataSize = 0;
        if (!ReadVint(block, p, type) || !ReadVint(block, p, flags)) break;
        if ((flags & kRar5HasExtra) && !ReadVint(block, p, extra)) break;
        if ((flags & kRar5HasData) && !ReadVint(block, p, dataSize)) break;
        if (type != kRar5File) {
            at += static_cast<int64_t>(block.size() + dataSize);
            continue;
        }
        uint64_t fileFlags = 0, unpacked = 0, attributes = 0, compression = 0;
        if (!ReadVint(block, p, fileFlags) || !ReadVint(block, p, unpacked) ||
            !ReadVint(block, p, attributes))
            break;
        if (fileFlags & kRar5FileTime) p += 4;
        if (!(fileFlags & kRar5FileCrc) || (fileFlags & kRar5FileDir) || p + 4 > block.size())
            break;
        crc = GetLe32(block, p);
        p += 4;
        if (!ReadVint(block, p, compression)) break;
        return ((compression >> 7) & 7) == 0;  // method 0: stored
    }
    return false;
}

bool Rar4StoredCrc(HANDLE file, int64_t from, uint32_t& crc) {
    bool found = false;
    std::string block;
    int64_t at = from;
    for (int i = 0; i < kMaxBlocks && ReadAt(file, at, block, 11); ++i) {
        unsigned type = static_cast<unsigned char>(block[2]);
        uint32_t flags = GetLe16(block, 3);
        size_t size = GetLe16(block, 5);
        if (size < 7) break;
        if (type != kFileBlock) {
            at += size + ((flags & kLongBlock) ? GetLe32(block, 7) : 0);
            continue;
        }
        if (size < kFileHeaderMin || !ReadAt(file, at, block, size)) break;
        uint32_t headerCrc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(block.data()) + 2, static_cast<uInt>(size - 2)));
        if ((headerCrc & 0xFFFF) != GetLe16(block, 0)) break;
        found = static_cast<unsigned char>(block[25]) == kMethodStore;
        crc = GetLe32(block, 16);
        break;
    }
    return found;
}

}  // namespace

bool RarStoredCrc(const std::string& archive, int64_t from, uint32_t& crc) {
    HANDLE file = CreateFileW(ExtendedAnsiPath(archive).data(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string signature;
    bool found = false;
    if (ReadAt(file, 0, signature, 8)) {
        found = signature.compare(0, 8, kRar5Signature, 8) == 0 ? Rar5StoredCrc(file, from, crc)
                                                               : Rar4StoredCrc(file, from, crc);
    }
    CloseHandle(file);
    return found;
}

}  // namespace standin
