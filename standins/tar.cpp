// TAR (ustar, with GNU long names) optionally inside gzip, and single gzip-compressed files.
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

// Decompresses every gzip member of in; name receives the first member's stored file name
// (empty when it has none). False on a damaged or truncated stream.
bool Gunzip(const std::string& in, std::string& out, std::string& name) {
    z_stream z{};
    if (inflateInit2(&z, MAX_WBITS + 16) != Z_OK) return false;
    char nameBuffer[1024] = {};
    gz_header header{};
    header.name = reinterpret_cast<Bytef*>(nameBuffer);
    header.name_max = sizeof nameBuffer - 1;
    inflateGetHeader(&z, &header);

    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    char chunk[65536];
    bool ok = true;
    int membersDone = 0;
    size_t memberStart = 0;
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        int rc = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - z.avail_out);
        if (rc == Z_STREAM_END) {
            if (membersDone++ == 0 && header.done == 1) name = nameBuffer;
            if (z.avail_in == 0) break;
            memberStart = out.size();
            inflateReset(&z);  // another member follows
            continue;
        }
        if (rc != Z_OK) {
            // Bytes after a complete member that are no member (padding) are ignored, as
            // gzip does; a damaged first member is an error.
            ok = membersDone > 0;
            out.resize(memberStart);
            break;
        }
    }
    inflateEnd(&z);
    return ok;
}

bool ChecksumMatches(const char* header) {
    uint64_t stored = 0;
    bool digits = false;
    for (size_t i = 148; i < 156; ++i) {
        char c = header[i];
        if (c >= '0' && c <= '7') {
            stored = stored * 8 + (c - '0');
            digits = true;
        } else if (digits) {
            break;
        }
    }
    if (!digits) return false;
    if (stored == Checksum(header)) return true;
    // Some old writers summed signed bytes.
    int32_t signedSum = 0;
    for (size_t i = 0; i < kBlock; ++i) {
        signedSum += (i >= 148 && i < 156) ? ' ' : static_cast<signed char>(header[i]);
    }
    return static_cast<int64_t>(stored) == signedSum;
}

// Octal, or GNU base-256 when the first byte has its high bit set.
uint64_t ParseNumber(const char* field, size_t width) {
    uint64_t value = 0;
    if (static_cast<unsigned char>(field[0]) & 0x80) {
        for (size_t i = 1; i < width; ++i) {
            value = (value << 8) | static_cast<unsigned char>(field[i]);
        }
        return value;
    }
    for (size_t i = 0; i < width; ++i) {
        if (field[i] >= '0' && field[i] <= '7') value = value * 8 + (field[i] - '0');
        else if (field[i] != ' ' || value != 0) break;
    }
    return value;
}

std::string FieldText(const char* field, size_t width) {
    size_t n = 0;
    while (n < width && field[n] != '\0') ++n;
    return std::string(field, n);
}

bool IsZeroBlock(const char* block) {
    for (size_t i = 0; i < kBlock; ++i) {
        if (block[i] != '\0') return false;
    }
    return true;
}

bool LooksLikeTar(const std::string& data) {
    return data.size() >= kBlock && !IsZeroBlock(data.data()) && ChecksumMatches(data.data());
}

// The "path" record of a pax extended header, or empty.
std::string PaxPath(const std::string& records) {
    size_t at = 0;
    while (at < records.size()) {
        size_t space = records.find(' ', at);
        if (space == std::string::npos) break;
        size_t length = strtoul(records.substr(at, space - at).c_str(), nullptr, 10);
        if (length == 0 || at + length > records.size()) break;
        std::string record = records.substr(space + 1, at + length - space - 2);  // no '\n'
        if (record.compare(0, 5, "path=") == 0) return record.substr(5);
        at += length;
    }
    return std::string();
}

// Extracts the entries of an uncompressed tar image; false when its first header is not one.
bool ExtractTarImage(const std::string& tar, const ExtractOptions& options) {
    if (!LooksLikeTar(tar)) return false;
    std::string pendingName;
    size_t at = 0;
    while (tar.size() - at >= kBlock) {
        const char* header = tar.data() + at;
        if (IsZeroBlock(header) || !ChecksumMatches(header)) break;
        uint64_t size = ParseNumber(header + 124, 12);
        size_t dataAt = at + kBlock;
        if (size > tar.size() - dataAt) break;  // truncated: nothing partial is written
        std::string data = tar.substr(dataAt, static_cast<size_t>(size));
        at = dataAt + static_cast<size_t>((size + kBlock - 1) / kBlock * kBlock);
        if (at > tar.size()) at = tar.size();

        char type = header[156];
        if (type == 'L') {
            pendingName = FieldText(data.data(), data.size());
            continue;
        }
        if (type == 'x') {
            pendingName = PaxPath(data);
            continue;
        }
        std::string name = pendingName;
        pendingName.clear();
        if (name.empty()) {
            name = FieldText(header, 100);
            std::string prefix = FieldText(header + 345, 155);
            if (memcmp(header + 257, "ustar", 5) == 0 && !prefix.empty()) {
                name = prefix + "/" + name;
            }
        }
        uint32_t dosTime = UnixTimeToDos(static_cast<uint32_t>(ParseNumber(header + 136, 12)));
        bool slash = !name.empty() && name.back() == '/';
        if (type == '5' || ((type == '0' || type == '\0') && slash)) {
            MakeEntryDir(options, name);
        } else if (type == '0' || type == '\0' || type == '7') {
            WriteEntryFile(options, name, data.data(), data.size(), dosTime);
        }
        // Links, devices and global headers are not extracted.
    }
    return true;
}

// The name a gzip-compressed single file is extracted as when its header names none:
// the archive's file name without ".gz".
std::string NameWithoutGz(const std::string& archive) {
    size_t separator = LastSeparatorIndex(archive);
    std::string name = separator == std::string::npos ? archive : archive.substr(separator + 1);
    if (name.size() > 3 && lstrcmpiA(name.c_str() + name.size() - 3, ".gz") == 0) {
        name.resize(name.size() - 3);
    }
    return name;
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

bool ExtractTar(const std::string& archive, const ExtractOptions& options) {
    std::string raw;
    if (!ReadWholeFile(archive, raw)) return false;
    bool gzipped = raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0x1F &&
                   static_cast<unsigned char>(raw[1]) == 0x8B;
    if (!gzipped) return ExtractTarImage(raw, options);

    std::string data;
    std::string storedName;
    if (!Gunzip(raw, data, storedName)) return false;
    if (LooksLikeTar(data)) return ExtractTarImage(data, options);

    // A single compressed file: only the last component of a stored name is used.
    size_t separator = LastSeparatorIndex(storedName);
    std::string name =
        separator == std::string::npos ? storedName : storedName.substr(separator + 1);
    if (name.empty()) name = NameWithoutGz(archive);
    if (name.empty()) return false;
    return WriteEntryFile(options, name, data.data(), data.size(), 0);
}

}  // namespace standin
