#include "base/Paths.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr size_t kPartLimit = 255;
constexpr size_t kPathLimit = 260;

// The index of the last byte for which match is true, stepping over double-byte
// characters so that a trail byte (0x5C in 表, ソ, 能) is never taken for '\\'.
template <typename Match>
int LastIndexWhere(const char* text, Match match) {
    const size_t length = std::strlen(text);
    int found = -1;
    size_t i = 0;
    while (i < length) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (match(byte)) found = static_cast<int>(i);
        i += IsDbcsLead(byte) ? 2 : 1;
    }
    return found;
}

// Copies up to 255 bytes, backing off one byte rather than leaving a lone lead byte at
// the end of the part, where it would swallow whatever is appended next.
void CopyPart(char (&part)[256], const char* from, size_t length) {
    size_t take = 0;
    while (take < length) {
        const size_t step = IsDbcsLead(static_cast<unsigned char>(from[take])) ? 2 : 1;
        if (take + step > kPartLimit || take + step > length) break;
        take += step;
    }
    std::memcpy(part, from, take);
    part[take] = '\0';
}

unsigned char FoldAscii(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

}  // namespace

bool IsDbcsLead(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

int LastSeparator(const char* text) {
    return LastIndexWhere(text, [](unsigned char b) { return b == '\\' || b == '/'; });
}

int LastCharIndex(const char* text, char byte) {
    const unsigned char wanted = static_cast<unsigned char>(byte);
    return LastIndexWhere(text, [wanted](unsigned char b) { return b == wanted; });
}

bool EndsWithSeparator(const char* text) {
    const int last = static_cast<int>(std::strlen(text)) - 1;
    return last >= 0 && LastSeparator(text) == last;
}

std::string WithTrailingSeparator(const std::string& text) {
    if (text.empty() || EndsWithSeparator(text.c_str())) return text;
    return text + '\\';
}

bool LiesInDirectory(const char* entry, const std::string& directory) {
    const size_t length = directory.size();
    if (std::strlen(entry) < length) return false;
    size_t i = 0;
    while (i < length) {
        const unsigned char a = static_cast<unsigned char>(entry[i]);
        const unsigned char b = static_cast<unsigned char>(directory[i]);
        if (IsDbcsLead(a) && i + 1 < length) {
            if (a != b || entry[i + 1] != directory[i + 1]) return false;
            i += 2;
            continue;
        }
        if (FoldAscii(a) != FoldAscii(b)) return false;
        ++i;
    }
    return true;
}

bool SamePathText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && LiesInDirectory(a.c_str(), b);
}

PathParts SplitPath(const char* path) {
    PathParts parts{};
    const char* rest = path;
    if (rest[0] != '\0' && rest[1] == ':') {
        CopyPart(parts.drive, rest, 2);
        rest += 2;
    }
    const int separator = LastSeparator(rest);
    const size_t dirLength = static_cast<size_t>(separator + 1);
    CopyPart(parts.dir, rest, dirLength);

    const char* name = rest + dirLength;
    const int dot = LastCharIndex(name, '.');
    if (dot < 0) {
        CopyPart(parts.base, name, std::strlen(name));
        return parts;
    }
    CopyPart(parts.base, name, static_cast<size_t>(dot));
    CopyPart(parts.ext, name + dot, std::strlen(name + dot));
    return parts;
}

bool PathExists(const char* path, bool& isDir) {
    isDir = false;
    const size_t length = std::strlen(path);
    if (length > kPathLimit) return false;
    char copy[264];
    std::memcpy(copy, path, length + 1);
    // A folder is found whether or not it is written with a trailing separator; a name
    // that ends in 表 (0x95 0x5C) keeps its trail byte.
    if (EndsWithSeparator(copy)) copy[length - 1] = '\0';
    const DWORD attributes = GetFileAttributesA(copy);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    isDir = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}
