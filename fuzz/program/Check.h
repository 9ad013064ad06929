// What the program's fuzz targets share: a property check that stops the run with its
// name, and the input as text up to its first NUL (the readers take C strings).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

inline void Require(bool condition, const char* property) {
    if (condition) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

inline std::string TextOf(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    return std::string(bytes, strnlen(bytes, size));
}

// Shift-JIS lead bytes, written out here so that the checks do not lean on the code
// they check.
inline bool IsLeadByte(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Whether index i of text begins a character (the walk from the start lands on it).
inline bool StartsCharacter(const std::string& text, size_t i) {
    size_t at = 0;
    while (at < i) at += IsLeadByte(text[at]) ? 2 : 1;
    return at == i;
}

// Whether text ends inside a double-byte character (a lead byte with no trail byte).
inline bool EndsInLoneLead(const std::string& text) {
    size_t at = 0;
    while (at < text.size()) at += IsLeadByte(text[at]) ? 2 : 1;
    return at > text.size();
}
