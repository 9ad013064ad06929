// The argument-text tokenizer: spaces separate, a token that begins with '"' runs to the
// next '"', and there is no escape character.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

class ArgList {
public:
    int count() const { return static_cast<int>(tokens_.size()); }
    const char* at(int index) const { return tokens_[index].c_str(); }

private:
    friend ArgList SplitCommandLine(const char* text);
    std::vector<std::string> tokens_;
};

ArgList SplitCommandLine(const char* text);

namespace command_line {

// Finds the token at or after pos and moves pos past the character that ended it. Every
// split goes through here, the code-page and the UTF-16 one, so they cannot disagree.
template <typename Char>
bool NextToken(const Char* text, size_t& pos, size_t& start, size_t& length) {
    while (text[pos] == Char(' ')) ++pos;
    if (text[pos] == Char(0)) return false;

    // A quote means something only as a token's first character; there is no escape.
    const Char closer = text[pos] == Char('"') ? Char('"') : Char(' ');
    if (closer == Char('"')) ++pos;
    start = pos;
    while (text[pos] != Char(0) && text[pos] != closer) ++pos;
    length = pos - start;
    if (text[pos] == closer) ++pos;
    return true;
}

}  // namespace command_line

// The same rules over the UTF-16 argument text, whose spaces and quotes are the same
// characters.
template <typename Char>
std::vector<std::basic_string<Char>> SplitWideCommandLine(const Char* text) {
    std::vector<std::basic_string<Char>> tokens;
    size_t start = 0;
    size_t length = 0;
    for (size_t pos = 0; command_line::NextToken(text, pos, start, length);)
        tokens.emplace_back(text + start, length);
    return tokens;
}

// The argument text of a whole command line: what follows the program's name and the
// blanks after it, cut as the runtime cuts the code-page text it hands to WinMain (a quote
// opens and closes a stretch in which blanks belong to the name).
template <typename Char>
const Char* SkipProgramName(const Char* commandLine) {
    const Char* p = commandLine;
    bool quoted = false;
    for (; *p > Char(' ') || (*p != Char(0) && quoted); ++p)
        if (*p == Char('"')) quoted = !quoted;
    while (*p != Char(0) && *p <= Char(' ')) ++p;
    return p;
}
