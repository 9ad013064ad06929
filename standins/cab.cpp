// Microsoft cabinets: one uncompressed folder written (libarchive reads them).
#include "standins/formats.h"

#include <windows.h>

#include <algorithm>

namespace standin {
namespace {

const size_t kHeaderSize = 36;
const size_t kBlockSize = 32768;

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

// Names inside a cabinet use '\\' only.
std::string BackslashName(const std::string& name) {
    std::string out = ReplaceSeparators(name, '/', '\\');
    while (!out.empty() && out[0] == '\\') out.erase(0, 1);
    return out;
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

}  // namespace standin
