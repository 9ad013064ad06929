// The command-text tokenizer and the gathering of files to pack.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "standins/command/command.h"
#include "tests/support/TestFiles.h"

using standin::Item;
using standin::SplitCommand;
using standin::Token;
using testing_support::MakeDir;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

std::string Describe(const std::vector<Token>& tokens) {
    std::string out;
    for (const Token& t : tokens) out += (t.quoted ? "[q:" : "[") + t.text + "]";
    return out;
}

std::string Describe(const std::vector<Item>& items) {
    std::vector<std::string> names;
    for (const Item& item : items) names.push_back(item.name + (item.isDir ? "\\" : ""));
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& n : names) out += n + "|";
    return out;
}

}  // namespace

TEST(SplitCommand, CutsOnSpacesOutsideQuotes) {
    struct Row {
        const char* text;
        const char* tokens;
    };
    const Row rows[] = {
        {"a -x1 -r2 \"C:\\a b\\x.lzh\" \"C:\\表\\\" ",
         "[a][-x1][-r2][q:C:\\a b\\x.lzh][q:C:\\表\\]"},
        {" -m1 e -c1  \"C:\\dl\\data.lzh\" \"C:\\out\\\"",
         "[-m1][e][-c1][q:C:\\dl\\data.lzh][q:C:\\out\\]"},
        {"", ""},
        {"   ", ""},
        {"\"\" x", "[q:][x]"},
        {"\"-e\" -e", "[q:-e][-e]"},
        {"ab\"c d\"e f", "[q:abc de][f]"},
        {"x \"unterminated rest", "[x][q:unterminated rest]"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.tokens, Describe(SplitCommand(row.text))) << row.text;
    }
}

TEST(GatherItems, ExpandsFoldersAndStoresRelativeNames) {
    TempDir dir;
    std::string base = dir / "base";
    ASSERT_TRUE(MakeDir(base));
    ASSERT_TRUE(MakeDir(base + "\\表"));
    ASSERT_TRUE(MakeDir(base + "\\表\\空"));
    ASSERT_TRUE(MakeDir(base + "\\plain"));
    ASSERT_TRUE(WriteTextFile(base + "\\top.txt", "top"));
    ASSERT_TRUE(WriteTextFile(base + "\\表\\ソ.txt", "so"));
    ASSERT_TRUE(WriteTextFile(base + "\\plain\\p.txt", "p"));
    ASSERT_TRUE(WriteTextFile(base + "\\out.zip", "old archive"));
    std::string outside = dir / "other.txt";
    ASSERT_TRUE(WriteTextFile(outside, "o"));

    struct Row {
        std::vector<std::string> entries;
        std::string names;
    };
    const Row rows[] = {
        {{"top.txt", "表\\*.*"}, "top.txt|表\\ソ.txt|表\\空\\|"},
        {{"plain"}, "plain\\p.txt|"},                       // a folder without \*.*
        {{"*.*"}, "plain\\p.txt|top.txt|表\\ソ.txt|表\\空\\|"},  // the archive is left out
        {{"top.txt", "top.txt"}, "top.txt|"},
        {{outside}, outside.substr(3) + "|"},  // stored without its drive
    };
    for (const Row& row : rows) {
        std::vector<Item> items;
        ASSERT_TRUE(standin::GatherItems(base + "\\", row.entries, base + "\\out.zip", items))
            << row.entries[0];
        EXPECT_EQ(row.names, Describe(items)) << row.entries[0];
    }

    std::vector<Item> items;
    ASSERT_TRUE(standin::GatherItems(base + "\\", {"top.txt"}, "", items));
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ(base + "\\top.txt", items[0].sourcePath);
    EXPECT_EQ(3u, items[0].size);
    EXPECT_NE(0u, items[0].dosTime);

    std::vector<Item> missing;
    EXPECT_FALSE(standin::GatherItems(base + "\\", {"top.txt", "nothere.txt"}, "", missing));
}
