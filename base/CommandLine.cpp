#include "base/CommandLine.h"

#include <cstring>

namespace {

struct Token {
    const char* start;
    size_t length;
};

// Finds the token at or after pos and moves pos past the byte that ended it. Both the
// counting and the building pass go through here, so they cannot disagree.
bool NextToken(const char* text, size_t& pos, Token& token) {
    while (text[pos] == ' ') ++pos;
    if (text[pos] == '\0') return false;

    // A quote means something only as a token's first byte; there is no escape.
    const char closer = text[pos] == '"' ? '"' : ' ';
    if (closer == '"') ++pos;
    token.start = text + pos;
    const char* end = std::strchr(token.start, closer);
    if (end == nullptr) {
        token.length = std::strlen(token.start);
        pos += token.length;
        return true;
    }
    token.length = static_cast<size_t>(end - token.start);
    pos += token.length + 1;
    return true;
}

}  // namespace

ArgList SplitCommandLine(const char* text) {
    ArgList list;
    Token token{};
    size_t count = 0;
    for (size_t pos = 0; NextToken(text, pos, token);) ++count;
    if (count == 0) return list;

    list.tokens_.reserve(count);
    for (size_t pos = 0; NextToken(text, pos, token);)
        list.tokens_.emplace_back(token.start, token.length);
    return list;
}
