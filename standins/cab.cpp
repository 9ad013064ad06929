// Microsoft cabinets with uncompressed folders: one folder written, stored folders read.
#include "standins/formats.h"

#include <windows.h>

#include <algorithm>

namespace standin {
namespace {

const size_t kHeaderSize = 36;
const size_t kBlockSize = 32768;
const uint16_t kFlagPrevCabinet = 0x0001;
const uint16_t kFlagNextCabinet = 0x0002;
const uint16_t kFlagReservePresent = 0x0004;
const uint16_t kAttrNameIsUtf = 0x80;

// The cabinet checksum: little-endian words XORed, the odd tail bytes taken high to low.
uint32_t Checksum(const unsigned char* p, size_t n, uint32_t seed) {
    uint32_t sum = seed;
    for (; n >= 4; n -= 4, p += 4)
        sum ^= p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    uint32_t tail = 0;
    switch (n) {
        case 3:
            tail |= static_cast<uint32_t>(*p++) << 16;
            [[fallthrough]];
        case 2:
            tail |= static_cast<uint32_t>(*p++) << 8;
            [[fallthrough]];
        case 1:
            tail |= *p;
            break;
        default:
            break;
    }
    return sum ^ tail;
}

uint32_t BlockChecksum(const std::string& block, size_t at, size_t dataLen) {
    // Covers the data, then the two size fields that precede it.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(block.data()) + at;
    return Checksum(p - 4, 4, Checksum(p, dataLen, 0));
}

// Reads a NUL-terminated string at pos, moving pos past it; false when it runs off the end.
bool ReadString(const std::string& a, size_t& pos, size_t limit, std::string& out) {
    size_t end = a.find('\0', pos);
    if (end == std::string::npos || end >= limit) return false;
    out = a.substr(pos, end - pos);
    pos = end + 1;
    return true;
}

// Names inside a cabinet use '\\' only.
std::string BackslashName(const std::string& name) {
    std::string out = ReplaceSeparators(name, '/', '\\');
    while (!out.empty() && out[0] == '\\') out.erase(0, 1);
    return out;
}

struct Folder {
    bool stored = false;
    std::string data;  // the folder's uncompressed stream
};

// Gathers the data blocks of a stored folder; false leaves it unusable. budget bounds what
// all folders may copy, so folders pointing at the same blocks cannot exhaust memory.
bool ReadFolderData(const std::string& a, size_t pos, unsigned blocks, size_t dataReserve,
                    size_t& budget, std::string& out) {
    out.clear();
    for (unsigned b = 0; b < blocks; ++b) {
        if (pos > a.size() || a.size() - pos < 8 + dataReserve) return false;
        uint32_t stored = GetLe32(a, pos);
        size_t packed = GetLe16(a, pos + 4);
        size_t unpacked = GetLe16(a, pos + 6);
        size_t dataAt = pos + 8 + dataReserve;
        if (packed != unpacked || a.size() - dataAt < packed || packed > budget) return false;
        // The checksum skips the reserve area, so it is computed over a joined copy.
        if (stored != 0) {
            std::string joined = a.substr(pos + 4, 4) + a.substr(dataAt, packed);
            if (BlockChecksum(joined, 4, packed) != stored) return false;
        }
        out.append(a, dataAt, packed);
        budget -= packed;
        pos = dataAt + packed;
    }
    return true;
}

}  // namespace

bool WriteCab(const std::string& archive, const std::vector<Item>& items) {
    std::string files;   // the CFFILE records
    std::string stream;  // the folder's uncompressed content
    unsigned count = 0;
    for (const Item& item : items) {
        if (item.isDir) continue;  // cabinets have no folder entries; paths carry the folders
        std::string data;
        if (!ReadWholeFile(item.sourcePath, data)) return false;
        std::string name = BackslashName(item.name);
        if (name.empty() || ++count > 0xFFFF) return false;
        if (stream.size() + data.size() > 0x7FFF8000u) return false;
        AppendLe32(files, static_cast<uint32_t>(data.size()));
        AppendLe32(files, static_cast<uint32_t>(stream.size()));
        AppendLe16(files, 0);  // folder 0
        AppendLe16(files, item.dosTime >> 16);
        AppendLe16(files, item.dosTime & 0xFFFF);
        AppendLe16(files, item.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
        files += name;
        files += '\0';
        stream += data;
    }
    size_t blocks = (stream.size() + kBlockSize - 1) / kBlockSize;
    if (blocks > 0xFFFF) return false;
    size_t folderAt = kHeaderSize;
    size_t filesAt = folderAt + 8;
    size_t dataAt = filesAt + files.size();

    std::string out;
    out += "MSCF";
    AppendLe32(out, 0);
    AppendLe32(out, 0);  // cabinet size, filled in below
    AppendLe32(out, 0);
    AppendLe32(out, static_cast<uint32_t>(filesAt));
    AppendLe32(out, 0);
    out += '\x03';  // version 1.3
    out += '\x01';
    AppendLe16(out, 1);  // folders
    AppendLe16(out, count);
    AppendLe16(out, 0);  // flags
    AppendLe16(out, 0);  // set id
    AppendLe16(out, 0);  // cabinet index
    AppendLe32(out, static_cast<uint32_t>(dataAt));
    AppendLe16(out, static_cast<uint32_t>(blocks));
    AppendLe16(out, 0);  // no compression
    out += files;
    for (size_t b = 0; b < blocks; ++b) {
        size_t len = std::min(kBlockSize, stream.size() - b * kBlockSize);
        size_t at = out.size();
        AppendLe32(out, 0);
        AppendLe16(out, static_cast<uint32_t>(len));
        AppendLe16(out, static_cast<uint32_t>(len));
        out.append(stream, b * kBlockSize, len);
        SetLe32(out, at, BlockChecksum(out, at + 8, len));
    }
    SetLe32(out, 8, static_cast<uint32_t>(out.size()));
    return WriteFileAtomically(archive, out);
}

bool ExtractCab(const std::string& archive, const ExtractOptions& options) {
    std::string a;
    if (!ReadWholeFile(archive, a) || a.size() < kHeaderSize || a.compare(0, 4, "MSCF") != 0)
        return false;
    size_t filesAt = GetLe32(a, 16);
    unsigned folderCount = GetLe16(a, 26);
    unsigned fileCount = GetLe16(a, 28);
    unsigned flags = GetLe16(a, 30);
    size_t pos = kHeaderSize;
    size_t folderReserve = 0, dataReserve = 0;
    if (flags & kFlagReservePresent) {
        if (pos + 4 > a.size()) return false;
        size_t headerReserve = GetLe16(a, pos);
        folderReserve = static_cast<unsigned char>(a[pos + 2]);
        dataReserve = static_cast<unsigned char>(a[pos + 3]);
        pos += 4 + headerReserve;
    }
    std::string ignored;
    if (flags & kFlagPrevCabinet) {
        if (!ReadString(a, pos, a.size(), ignored) || !ReadString(a, pos, a.size(), ignored))
            return false;
    }
    if (flags & kFlagNextCabinet) {
        if (!ReadString(a, pos, a.size(), ignored) || !ReadString(a, pos, a.size(), ignored))
            return false;
    }
    std::vector<Folder> folders(folderCount);
    size_t budget = a.size();
    for (unsigned i = 0; i < folderCount; ++i, pos += 8 + folderReserve) {
        if (pos + 8 > a.size()) return false;
        size_t dataAt = GetLe32(a, pos);
        unsigned blocks = GetLe16(a, pos + 4);
        unsigned type = GetLe16(a, pos + 6);
        // Only uncompressed folders can be read; MSZIP, Quantum and LZX are skipped.
        if ((type & 0x000F) == 0)
            folders[i].stored =
                ReadFolderData(a, dataAt, blocks, dataReserve, budget, folders[i].data);
    }
    pos = filesAt;
    for (unsigned i = 0; i < fileCount; ++i) {
        if (pos > a.size() || a.size() - pos < 16) break;
        size_t size = GetLe32(a, pos);
        size_t offset = GetLe32(a, pos + 4);
        unsigned folder = GetLe16(a, pos + 8);
        uint32_t dosTime = (GetLe16(a, pos + 10) << 16) | GetLe16(a, pos + 12);
        unsigned attrs = GetLe16(a, pos + 14);
        pos += 16;
        std::string name;
        if (!ReadString(a, pos, a.size(), name)) break;
        if (attrs & kAttrNameIsUtf) name = Utf8ToAnsi(name);
        // Files continued from or into another cabinet have special folder numbers.
        if (folder >= folders.size() || !folders[folder].stored || name.empty()) continue;
        const std::string& data = folders[folder].data;
        if (offset > data.size() || data.size() - offset < size) continue;
        WriteEntryFile(options, name, data.data() + offset, size, dosTime);
    }
    return true;
}

}  // namespace standin
