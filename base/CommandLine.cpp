#include "base/CommandLine.h"

ArgList SplitCommandLine(const char* text) {
    ArgList list;
    size_t start = 0;
    size_t length = 0;
    size_t count = 0;
    for (size_t pos = 0; command_line::NextToken(text, pos, start, length);) ++count;
    if (count == 0) return list;

    list.tokens_.reserve(count);
    for (size_t pos = 0; command_line::NextToken(text, pos, start, length);)
        list.tokens_.emplace_back(text + start, length);
    return list;
}
