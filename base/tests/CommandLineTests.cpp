#include "base/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Tokens(const char* text) {
    const ArgList args = SplitCommandLine(text);
    std::vector<std::string> tokens;
    for (int i = 0; i < args.count(); ++i) tokens.push_back(args.at(i));
    return tokens;
}

}  // namespace

TEST(SplitCommandLine, QuoteAndSpaceRules) {
    using V = std::vector<std::string>;
    struct Case {
        const char* text;
        V tokens;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {"a", {"a"}},
        {"  a   b  ", {"a", "b"}},
        {"\"C:\\My Files\\a.txt\" b.txt", {"C:\\My Files\\a.txt", "b.txt"}},
        {"\"a\"b", {"a", "b"}},
        {"ab\"c d\"", {"ab\"c", "d\""}},
        {"\"abc", {"abc"}},
        {"\"", {""}},
        {"\"\" x", {"", "x"}},
        {"x \"\"", {"x", ""}},
        {"\"a b\"\"c d\"", {"a b", "c d"}},
        {"a\tb", {"a\tb"}},
        {"C:\\dir\\ \\\"x", {"C:\\dir\\", "\\\"x"}},
        {"\"C:\\表\\a b.txt\" 能", {"C:\\表\\a b.txt", "能"}},
        {"/i", {"/i"}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.tokens, Tokens(c.text)) << "input: " << c.text;
}
