// TAR written (ustar, with GNU long names), optionally inside gzip.
#include <windows.h>

#include <zlib.h>

#include <cstring>

#include "standins/formats.h"

namespace standin {
namespace {

const size_t kBlock = 512;
const uint64_t kMaxOctalSize = 077777777777ull;  // what 11 octal digits hold

void PutField(char* header, size_t at, size_t width, const std::string& text) {
    memcpy(header + at, text.data(), text.size() < width ? text.size() : width);
}

// width-1 zero-padded octal digits and a NUL, as ustar writes numbers.
void PutOctal(char* header, size_t at, size_t width, uint64_t value) {
    for (size_t i = width - 1; i-- > 0;) {
        header[at + i] = static_cast<char>('0' + (value & 7));
        value >>= 3;
    }
    header[at + width - 1] = '\0';
}

uint32_t Checksum(const char* header) {
    uint32_t sum = 0;
    for (size_t i = 0; i < kBlock; ++i) {
        sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(header[i]);
    }
    return sum;
}

void AppendHeader(std::string& tar, const std::string& name, char type, uint64_t size,
                  uint32_t mode, uint32_t mtime) {
    char header[kBlock] = {};
    PutField(header, 0, 100, name);
    PutOctal(header, 100, 8, mode);
    PutOctal(header, 108, 8, 0);
    PutOctal(header, 116, 8, 0);
    PutOctal(header, 124, 12, size);
    PutOctal(header, 136, 12, mtime);
    header[156] = type;
    memcpy(header + 257, "ustar", 6);
    memcpy(header + 263, "00", 2);
    PutOctal(header, 148, 7, Checksum(header));
    header[155] = ' ';
    tar.append(header, kBlock);
}

void AppendPadded(std::string& tar, const std::string& data) {
    tar += data;
    tar.append((kBlock - data.size() % kBlock) % kBlock, '\0');
}

// A name longer than the header's 100 bytes goes first as a GNU "././@LongLink" entry.
void AppendEntry(std::string& tar, const std::string& name, char type, uint64_t size,
                 uint32_t mode, uint32_t mtime) {
    if (name.size() > 100) {
        AppendHeader(tar, "././@LongLink", 'L', name.size() + 1, 0, 0);
        AppendPadded(tar, name + '\0');
    }
    AppendHeader(tar, name, type, size, mode, mtime);
}

uint32_t ModeOf(const Item& item) {
    if (item.isDir) return 0755;
    return (item.attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
}

}  // namespace

bool WriteTar(const std::string& archive, const std::vector<Item>& items, bool gzip) {
    std::string tar;
    for (const Item& item : items) {
        std::string name = ReplaceSeparators(item.name, '\\', '/');
        uint32_t mtime = DosTimeToUnix(item.dosTime);
        if (item.isDir) {
            if (name.empty() || name.back() != '/') name += '/';
            AppendEntry(tar, name, '5', 0, ModeOf(item), mtime);
            continue;
        }
        std::string data;
        if (!ReadWholeFile(item.sourcePath, data)) return false;
        if (data.size() > kMaxOctalSize) return false;
        AppendEntry(tar, name, '0', data.size(), ModeOf(item), mtime);
        AppendPadded(tar, data);
    }
    tar.append(2 * kBlock, '\0');
    if (!gzip) return WriteFileAtomically(archive, tar);
    std::string packed;
    if (!Deflate(tar, true, packed)) return false;
    return WriteFileAtomically(archive, packed);
}

}  // namespace standin
