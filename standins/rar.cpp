// RAR archives (1.5-4.x and 5.x): stored entries and directories are extracted; compressed,
// encrypted and split entries are skipped.
#include "standins/formats.h"

#include <algorithm>

namespace standin {
namespace {

const unsigned char kType4File = 0x74;
const unsigned char kType4Main = 0x73;
const unsigned char kType4End = 0x7B;
const unsigned char kType4NewSub = 0x7A;
const uint32_t kFlag4SplitBefore = 0x0001, kFlag4SplitAfter = 0x0002, kFlag4Password = 0x0004;
const uint32_t kFlag4Large = 0x0100, kFlag4Unicode = 0x0200, kFlag4LongBlock = 0x8000;
const uint32_t kFlag4DirMask = 0x00E0;
const uint32_t kMain4Password = 0x0080;
const unsigned char kMethodStore = 0x30;

bool IsDirAttribute(unsigned hostOs, uint32_t attr) {
    if (hostOs == 3 || hostOs == 5) return (attr & 0xF000) == 0x4000;  // Unix, BeOS mode bits
    return (attr & 0x10) != 0;
}

// Stored data of an entry whose bounds are already checked.
void WriteStored(const std::string& a, size_t at, uint64_t size, uint32_t crc,
                 const std::string& name, uint32_t dosTime, const ExtractOptions& options) {
    if (Crc32(a, at, size) != crc) return;
    WriteEntryFile(options, name, a.data() + at, static_cast<size_t>(size), dosTime);
}

bool ExtractRar4(const std::string& a, const ExtractOptions& options) {
    size_t pos = 7;  // after the marker block
    bool sawMain = false;
    while (pos <= a.size() && a.size() - pos >= 7) {
        unsigned type = static_cast<unsigned char>(a[pos + 2]);
        uint32_t flags = GetLe16(a, pos + 3);
        size_t headSize = GetLe16(a, pos + 5);
        if (headSize < 7 || pos + headSize > a.size()) break;
        uint64_t addSize = 0;
        if ((flags & kFlag4LongBlock) && headSize >= 11) addSize = GetLe32(a, pos + 7);
        if (type == kType4End) break;
        if (type == kType4Main) {
            sawMain = true;
            if (flags & kMain4Password) return false;  // encrypted headers
        }
        if (type == kType4File || type == kType4NewSub) {
            if (headSize < 32) break;
            if ((Crc32(a, pos + 2, headSize - 2) & 0xFFFF) != GetLe16(a, pos)) break;
            uint64_t packSize = GetLe32(a, pos + 7);
            uint64_t unpSize = GetLe32(a, pos + 11);
            unsigned hostOs = static_cast<unsigned char>(a[pos + 15]);
            uint32_t fileCrc = GetLe32(a, pos + 16);
            uint32_t dosTime = GetLe32(a, pos + 20);
            unsigned method = static_cast<unsigned char>(a[pos + 25]);
            size_t nameSize = GetLe16(a, pos + 26);
            uint32_t attr = GetLe32(a, pos + 28);
            size_t nameAt = 32;
            if (flags & kFlag4Large) {
                if (headSize < 40) break;
                packSize |= static_cast<uint64_t>(GetLe32(a, pos + 32)) << 32;
                unpSize |= static_cast<uint64_t>(GetLe32(a, pos + 36)) << 32;
                nameAt = 40;
            }
            if (nameAt + nameSize > headSize) break;
            size_t dataAt = pos + headSize;
            if (packSize > a.size() - dataAt) break;  // truncated
            std::string name = a.substr(pos + nameAt, nameSize);
            pos = dataAt + static_cast<size_t>(packSize);
            if (type != kType4File) continue;
            // A Unicode name is stored after the ANSI one and a NUL.
            if (flags & kFlag4Unicode) name = name.substr(0, name.find('\0'));
            if (flags & (kFlag4SplitBefore | kFlag4SplitAfter | kFlag4Password)) continue;
            if ((flags & kFlag4DirMask) == kFlag4DirMask || IsDirAttribute(hostOs, attr)) {
                MakeEntryDir(options, name);
            } else if (method == kMethodStore && unpSize == packSize) {
                WriteStored(a, dataAt, packSize, fileCrc, name, dosTime, options);
            }
            continue;
        }
        if (addSize > a.size() - pos - headSize) break;
        pos += headSize + static_cast<size_t>(addSize);
    }
    return sawMain;
}

// RAR 5 variable-length integers: seven bits a byte, low bits first.
bool ReadVint(const std::string& a, size_t& pos, size_t limit, uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 70 && pos < limit; shift += 7) {
        unsigned char b = static_cast<unsigned char>(a[pos++]);
        if (shift < 64) value |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return true;
    }
    return false;
}

const uint64_t kType5Main = 1, kType5File = 2, kType5Encryption = 4, kType5End = 5;
const uint64_t kHead5Extra = 0x01, kHead5Data = 0x02, kHead5SplitBefore = 0x08,
               kHead5SplitAfter = 0x10;
const uint64_t kFile5Dir = 0x01, kFile5Time = 0x02, kFile5Crc = 0x04;
const uint64_t kExtra5Encryption = 0x01, kExtra5Redirection = 0x05;

// Looks through a file header's extra area for records that make the entry unreadable.
bool HasBlockingExtra(const std::string& a, size_t pos, size_t limit) {
    while (pos < limit) {
        uint64_t size = 0, type = 0;
        if (!ReadVint(a, pos, limit, size) || size > limit - pos) return true;
        size_t end = pos + static_cast<size_t>(size);
        if (!ReadVint(a, pos, end, type)) return true;
        if (type == kExtra5Encryption || type == kExtra5Redirection) return true;
        pos = end;
    }
    return false;
}

bool ExtractRar5(const std::string& a, const ExtractOptions& options) {
    size_t pos = 8;
    bool sawMain = false;
    while (pos <= a.size() && a.size() - pos > 4) {
        uint32_t headCrc = GetLe32(a, pos);
        size_t p = pos + 4;
        uint64_t headSize = 0;
        if (!ReadVint(a, p, std::min(a.size(), p + 3), headSize)) break;
        if (headSize == 0 || headSize > a.size() - p || headSize > (1u << 21)) break;
        size_t headEnd = p + static_cast<size_t>(headSize);
        if (Crc32(a, pos + 4, headEnd - pos - 4) != headCrc) break;
        uint64_t type = 0, flags = 0, extraSize = 0, dataSize = 0;
        if (!ReadVint(a, p, headEnd, type) || !ReadVint(a, p, headEnd, flags)) break;
        if ((flags & kHead5Extra) && !ReadVint(a, p, headEnd, extraSize)) break;
        if ((flags & kHead5Data) && !ReadVint(a, p, headEnd, dataSize)) break;
        if (extraSize > headEnd - p || dataSize > a.size() - headEnd) break;
        size_t extraAt = headEnd - static_cast<size_t>(extraSize);
        size_t dataAt = headEnd;
        pos = headEnd + static_cast<size_t>(dataSize);
        if (type == kType5Encryption) return false;
        if (type == kType5End) break;
        if (type == kType5Main) sawMain = true;
        if (type != kType5File) continue;

        uint64_t fileFlags = 0, unpSize = 0, attr = 0, compression = 0, hostOs = 0, nameLen = 0;
        uint32_t mtime = 0, dataCrc = 0;
        if (!ReadVint(a, p, extraAt, fileFlags) || !ReadVint(a, p, extraAt, unpSize) ||
            !ReadVint(a, p, extraAt, attr))
            continue;
        if (fileFlags & kFile5Time) {
            if (extraAt - p < 4) continue;
            mtime = GetLe32(a, p);
            p += 4;
        }
        if (fileFlags & kFile5Crc) {
            if (extraAt - p < 4) continue;
            dataCrc = GetLe32(a, p);
            p += 4;
        }
        if (!ReadVint(a, p, extraAt, compression) || !ReadVint(a, p, extraAt, hostOs) ||
            !ReadVint(a, p, extraAt, nameLen) || nameLen > extraAt - p)
            continue;
        std::string name = Utf8ToAnsi(a.substr(p, static_cast<size_t>(nameLen)));
        if (name.empty() || (flags & (kHead5SplitBefore | kHead5SplitAfter))) continue;
        if (HasBlockingExtra(a, extraAt, headEnd)) continue;
        uint32_t dosTime = mtime ? UnixTimeToDos(mtime) : 0;
        if (fileFlags & kFile5Dir) {
            MakeEntryDir(options, name);
        } else if (((compression >> 7) & 7) == 0 && (fileFlags & kFile5Crc) &&
                   unpSize == dataSize) {
            WriteStored(a, dataAt, dataSize, dataCrc, name, dosTime, options);
        }
    }
    return sawMain;
}

}  // namespace

bool ExtractRar(const std::string& archive, const ExtractOptions& options) {
    std::string a;
    if (!ReadWholeFile(archive, a)) return false;
    if (a.compare(0, 8, "Rar!\x1a\x07\x01\x00", 8) == 0) return ExtractRar5(a, options);
    if (a.compare(0, 7, "Rar!\x1a\x07\x00", 7) == 0) return ExtractRar4(a, options);
    return false;
}

}  // namespace standin
