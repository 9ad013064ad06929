// ARJ archives: stored (method 0) files and directories are extracted, everything else skipped.
#include "standins/formats.h"

namespace standin {
namespace {

const size_t kMaxBasicHeader = 2600;
const size_t kMinFirstHeader = 30;
const unsigned kFlagGarbled = 0x01, kFlagVolume = 0x04, kFlagExtFile = 0x08;
const unsigned kTypeBinary = 0, kTypeText = 1, kTypeDirectory = 3;

struct ArjHeader {
    size_t basicAt = 0;    // offset of the basic header (after id and size)
    size_t basicSize = 0;  // 0 for the end mark
    size_t dataAt = 0;     // after the extended headers
};

// Reads the header at pos; false when it is malformed or its CRC does not match.
bool ReadHeader(const std::string& a, size_t pos, ArjHeader& h) {
    if (pos > a.size() || a.size() - pos < 4) return false;
    if (static_cast<unsigned char>(a[pos]) != 0x60 ||
        static_cast<unsigned char>(a[pos + 1]) != 0xEA)
        return false;
    h.basicSize = GetLe16(a, pos + 2);
    h.basicAt = pos + 4;
    if (h.basicSize == 0) return true;
    if (h.basicSize < kMinFirstHeader || h.basicSize > kMaxBasicHeader) return false;
    if (a.size() - h.basicAt < h.basicSize + 4) return false;
    if (Crc32(a, h.basicAt, h.basicSize) != GetLe32(a, h.basicAt + h.basicSize)) return false;
    size_t first = static_cast<unsigned char>(a[h.basicAt]);
    if (first < kMinFirstHeader || first > h.basicSize) return false;
    size_t p = h.basicAt + h.basicSize + 4;
    // Extended headers: a size, the data and its CRC, until a zero size.
    for (;;) {
        if (a.size() - p < 2) return false;
        size_t extSize = GetLe16(a, p);
        p += 2;
        if (extSize == 0) break;
        if (a.size() - p < extSize + 4) return false;
        p += extSize + 4;
    }
    h.dataAt = p;
    return true;
}

}  // namespace

bool ExtractArj(const std::string& archive, const ExtractOptions& options) {
    std::string a;
    if (!ReadWholeFile(archive, a)) return false;
    ArjHeader main;
    if (!ReadHeader(a, 0, main) || main.basicSize == 0) return false;
    size_t pos = main.dataAt;  // the main header carries no data
    ArjHeader h;
    while (ReadHeader(a, pos, h) && h.basicSize != 0) {
        const size_t b = h.basicAt;
        unsigned flags = static_cast<unsigned char>(a[b + 4]);
        unsigned method = static_cast<unsigned char>(a[b + 5]);
        unsigned fileType = static_cast<unsigned char>(a[b + 6]);
        uint32_t dosTime = GetLe32(a, b + 8);
        uint32_t packed = GetLe32(a, b + 12);
        uint32_t original = GetLe32(a, b + 16);
        uint32_t crc = GetLe32(a, b + 20);
        size_t first = static_cast<unsigned char>(a[b]);
        if (packed > a.size() - h.dataAt) break;  // truncated
        pos = h.dataAt + packed;

        size_t nameEnd = a.find('\0', b + first);
        if (nameEnd == std::string::npos || nameEnd >= b + h.basicSize) continue;
        std::string name = a.substr(b + first, nameEnd - b - first);
        if (flags & (kFlagGarbled | kFlagVolume | kFlagExtFile)) continue;
        if (fileType == kTypeDirectory) {
            MakeEntryDir(options, name);
        } else if ((fileType == kTypeBinary || fileType == kTypeText) && method == 0 &&
                   packed == original && Crc32(a, h.dataAt, packed) == crc) {
            WriteEntryFile(options, name, a.data() + h.dataAt, packed, dosTime);
        }
    }
    return true;
}

}  // namespace standin
