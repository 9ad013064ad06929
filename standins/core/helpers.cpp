// Name scans that step over Shift-JIS double-byte characters: the trail byte of a character
// such as "表" (0x95 0x5C) is not a separator.
#include "standins/core/formats.h"

namespace standin {

bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::string ReplaceSeparators(const std::string& name, char from, char to) {
    std::string out = name;
    for (size_t i = 0; i < out.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size()) {
            ++i;
        } else if (out[i] == from) {
            out[i] = to;
        }
    }
    return out;
}

size_t LastSeparatorIndex(const std::string& path) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/') {
            last = i;
        }
    }
    return last;
}

}  // namespace standin
