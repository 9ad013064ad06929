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

TEST(SplitCommandLine, TheArgumentTextStartsWhereTheRuntimeCutsIt) {
    const struct {
        const wchar_t* commandLine;
        const wchar_t* arguments;
    } rows[] = {
        {L"Zibrak.exe a.txt", L"a.txt"},
        {L"\"C:\\Program Files\\Zibrak.exe\"  \"caf\xE9 1.txt\" b", L"\"caf\xE9 1.txt\" b"},
        {L"C:\\a\"b c\"d.exe\t/i", L"/i"},  // a quote inside the name opens a quoted stretch
        {L"Zibrak.exe", L""},
        {L"", L""},
    };
    for (const auto& row : rows)
        EXPECT_STREQ(row.arguments, SkipProgramName(row.commandLine)) << row.commandLine;
}
