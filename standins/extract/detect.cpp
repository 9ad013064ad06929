// Recognises an archive by its content, never by its name.
#include "standins/core/formats.h"

#include <cstring>

namespace standin {
namespace {

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

bool HasAt(const std::string& s, size_t offset, const char* magic, size_t n) {
    return s.size() >= offset + n && std::memcmp(s.data() + offset, magic, n) == 0;
}

bool LooksLikeLzh(const std::string& head) {
    if (head.size() < 22) return false;
    const unsigned char* p = Bytes(head);
    if (p[2] != '-' || p[3] != 'l' || (p[4] != 'h' && p[4] != 'z') || p[6] != '-') return false;
    return p[20] <= 3;
}

bool LooksLikeArj(const std::string& head) {
    if (head.size() < 8) return false;
    const unsigned char* p = Bytes(head);
    if (p[0] != 0x60 || p[1] != 0xEA) return false;
    size_t size = p[2] | (p[3] << 8);
    if (size < 30 || size > 2600 || head.size() < 4 + size + 4) return false;
    uint32_t stored = p[4 + size] | (p[5 + size] << 8) | (p[6 + size] << 16) |
                      (static_cast<uint32_t>(p[7 + size]) << 24);
    return Crc32(head, 4, size) == stored;
}

// Old tar headers have no magic; their checksum is what identifies them.
bool LooksLikeTar(const std::string& head) {
    if (head.size() < 512) return false;
    if (HasAt(head, 257, "ustar", 5)) return true;
    const unsigned char* p = Bytes(head);
    if (p[0] == 0) return false;
    uint32_t sum = 0;
    for (size_t i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : p[i];
    uint32_t stored = 0;
    size_t i = 148;
    while (i < 156 && p[i] == ' ') ++i;
    size_t digits = 0;
    for (; i < 156 && p[i] >= '0' && p[i] <= '7'; ++i, ++digits) stored = stored * 8 + (p[i] - '0');
    return digits > 0 && stored == sum;
}

// cpio's binary header (26 bytes, 16-bit words in either byte order) has only a 2-byte
// magic, so its name must also end where its length says.
bool LooksLikeBinaryCpio(const std::string& head) {
    if (head.size() < 26) return false;
    const unsigned char* p = Bytes(head);
    bool little = p[0] == 0xC7 && p[1] == 0x71;
    if (!little && !(p[0] == 0x71 && p[1] == 0xC7)) return false;
    size_t nameSize = little ? (p[20] | (p[21] << 8)) : ((p[20] << 8) | p[21]);
    return nameSize >= 2 && head.size() >= 26 + nameSize && p[26 + nameSize - 1] == 0 &&
           p[26] != 0;
}

// An ar archive is a Debian package when its first member is "debian-binary", as dpkg
// requires; a static library is an ordinary file to Zibrak.
bool LooksLikeDeb(const std::string& head) {
    if (!HasAt(head, 0, "!<arch>\n", 8) || !HasAt(head, 8, "debian-binary", 13)) return false;
    // The 16-byte name field: "debian-binary" and spaces, or GNU ar's "debian-binary/".
    for (size_t i = 8 + 13; i < 8 + 16; ++i) {
        if (head[i] != ' ' && !(i == 8 + 13 && head[i] == '/')) return false;
    }
    return HasAt(head, 8 + 58, "`\n", 2);
}

// ISO 9660: the first volume descriptor at sector 16, "CD001" after its type byte.
bool LooksLikeIso(const std::string& path) {
    std::string descriptor;
    uint64_t size = 0;
    if (!ReadFilePart(path, 16 * 2048, 7, descriptor, size)) return false;
    return HasAt(descriptor, 1, "CD001\x01", 6);
}

// A zip behind a self-extractor stub still ends with its end-of-central-directory record.
bool EndsLikeZip(const std::string& tail, uint64_t fileSize) {
    if (tail.size() < 22) return false;
    for (size_t i = tail.size() - 22 + 1; i-- > 0;) {
        if (!HasAt(tail, i, "PK\x05\x06", 4)) continue;
        const unsigned char* p = Bytes(tail) + i;
        size_t comment = p[20] | (p[21] << 8);
        if (i + 22 + comment == tail.size()) return fileSize >= 22;
    }
    return false;
}

}  // namespace

Kind DetectKind(const std::string& path) { return DetectKindIn(path, 0, UINT64_MAX); }

Kind DetectKindIn(const std::string& path, uint64_t offset, uint64_t length) {
    std::string head;
    uint64_t size = 0;
    if (!ReadFilePart(path, offset, 4096, head, size) || head.empty()) return Kind::None;
    if (offset >= size) return Kind::None;
    const uint64_t end = length < size - offset ? offset + length : size;
    if (head.size() > end - offset) head.resize(static_cast<size_t>(end - offset));
    if (HasAt(head, 0, "PK\x03\x04", 4)) return Kind::Zip;
    if (HasAt(head, 0, "MSCF\0\0\0\0", 8)) return Kind::Cab;
    if (HasAt(head, 0, "Rar!\x1a\x07\x00", 7) || HasAt(head, 0, "Rar!\x1a\x07\x01\x00", 8))
        return Kind::Rar;
    if (LooksLikeArj(head)) return Kind::Arj;
    if (HasAt(head, 0, "\x1f\x8b\x08", 3)) return Kind::Gzip;
    // "BZh" and the block size digit, then a block or the end-of-stream magic.
    if (HasAt(head, 0, "BZh", 3) && head.size() >= 10 && head[3] >= '1' && head[3] <= '9' &&
        (HasAt(head, 4, "\x31\x41\x59\x26\x53\x59", 6) ||
         HasAt(head, 4, "\x17\x72\x45\x38\x50\x90", 6)))
        return Kind::Bzip2;
    if (HasAt(head, 0, "\xfd" "7zXZ\0", 6)) return Kind::Xz;
    // compress(1): the magic, then a flags byte with 9 to 16 bits and no reserved bits.
    if (HasAt(head, 0, "\x1f\x9d", 2) && head.size() >= 3) {
        unsigned flags = static_cast<unsigned char>(head[2]);
        unsigned bits = flags & 0x1F;
        if (bits >= 9 && bits <= 16 && (flags & 0x60) == 0) return Kind::Compress;
    }
    if (HasAt(head, 0, "\x28\xb5\x2f\xfd", 4)) return Kind::Zstd;
    // lz4's frame, and the legacy frame that "lz4 -l" still writes.
    if (HasAt(head, 0, "\x04\x22\x4d\x18", 4) || HasAt(head, 0, "\x02\x21\x4c\x18", 4))
        return Kind::Lz4;
    if (HasAt(head, 0, "LZIP\x01", 5)) return Kind::Lzip;
    if (HasAt(head, 0, "7z\xbc\xaf\x27\x1c", 6)) return Kind::SevenZip;
    if (HasAt(head, 0, "07070", 5) && head.size() >= 6 &&
        (head[5] == '1' || head[5] == '2' || head[5] == '7'))
        return Kind::Cpio;
    if (LooksLikeBinaryCpio(head)) return Kind::Cpio;
    if (LooksLikeDeb(head)) return Kind::Deb;
    if (LooksLikeLzh(head)) return Kind::Lzh;
    if (LooksLikeTar(head)) return Kind::Tar;
    if (size >= 17 * 2048 && LooksLikeIso(path)) return Kind::Iso;
    const size_t kTail = 65535 + 22;
    std::string tail;
    const uint64_t tailStart = end - offset > kTail ? end - kTail : offset;
    if (ReadFilePart(path, tailStart, static_cast<size_t>(end - tailStart), tail, size) &&
        EndsLikeZip(tail, end - offset))
        return Kind::Zip;
    return Kind::None;
}

}  // namespace standin
