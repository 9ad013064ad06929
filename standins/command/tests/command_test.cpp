// The command-text tokenizer and the gathering of files to pack.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "standins/command/command.h"
#include "standins/core/names.h"
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
        // Entries in the code page, names in UTF-8.
        {{"top.txt", "表\\*.*"}, u8"top.txt|表\\ソ.txt|表\\空\\|"},
        {{"plain"}, "plain\\p.txt|"},                       // a folder without \*.*
        {{"*.*"}, u8"plain\\p.txt|top.txt|表\\ソ.txt|表\\空\\|"},  // the archive is left out
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
    std::string failed;
    EXPECT_FALSE(
        standin::GatherItems(base + "\\", {"top.txt", "nothere.txt"}, "", missing, &failed));
    EXPECT_EQ("nothere.txt", failed);  // the box names it
}

namespace {

// Files whose names the code page cannot hold, made and removed through the wide API.
bool WriteWide(const std::string& utf8Path, const std::string& bytes) {
    HANDLE h = CreateFileW(standin::Utf8ToWide(utf8Path).data(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

bool MakeWideDir(const std::string& utf8Path) {
    return CreateDirectoryW(standin::Utf8ToWide(utf8Path).data(), nullptr) != 0;
}

void RemoveWideTree(const std::string& utf8Path) {
    standin::WideText path = standin::Utf8ToWide(utf8Path);
    DWORD a = GetFileAttributesW(path.data());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.data());
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(standin::Utf8ToWide(utf8Path + "\\*").data(), &found);
    std::vector<std::string> children;
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L".."))
                children.push_back(utf8Path + "\\" + standin::WideToUtf8(found.cFileName));
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    for (const std::string& child : children) RemoveWideTree(child);
    RemoveDirectoryW(path.data());
}

// The 8.3 alias of a file, in the code page, as Zibrak puts it in a command text.
std::string ShortNameOf(const std::string& utf8Path) {
    standin::WideText path = standin::Utf8ToWide(utf8Path);
    wchar_t alias[MAX_PATH];
    DWORD n = GetShortPathNameW(path.data(), alias, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string ansi;
    return standin::FitsCodePage(alias, n, &ansi) ? ansi : std::string();
}

std::string LastComponent(const std::string& path) {
    return path.substr(path.find_last_of('\\') + 1);
}

}  // namespace

TEST(GatherItems, FindsNamesTheCodePageCannotHoldAndStoresAliasesByTheirLongNames) {
    TempDir dir;
    std::string base = standin::AnsiToUtf8(dir / "u");
    // Outside the assertions: their text is kept in the code page, which lacks these.
    const std::string mueller = u8"\\Müller";
    const std::string resume = u8"\\résumé.txt";
    const std::string names[] = {mueller + u8"\\Straße.txt", resume, u8"\\한국어.txt",
                                 u8"\\emoji😀.txt", u8"\\表示.txt"};
    const std::string listed =
        u8"Müller\\Straße.txt|emoji😀.txt|resume.txt|résumé.txt|表示.txt|한국어.txt|";
    const std::string longFile = u8"résumé.txt|";
    const std::string longInFolder = u8"Müller\\Straße.txt|";
    ASSERT_TRUE(MakeWideDir(base));
    ASSERT_TRUE(MakeWideDir(base + mueller));
    for (const std::string& name : names) ASSERT_TRUE(WriteWide(base + name, "data")) << name;
    // The lossy spelling of résumé.txt, a file of its own that must not stand in for it.
    ASSERT_TRUE(WriteWide(base + "\\resume.txt", "other"));
    std::string ansiBase = dir / "u";

    std::vector<Item> items;
    ASSERT_TRUE(standin::GatherItems(ansiBase + "\\", {"*.*"}, "", items));
    EXPECT_EQ(listed, Describe(items));
    for (const Item& item : items) {
        standin::WideText wide = standin::Utf8ToWide(item.sourcePath);
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(wide.data())) << item.sourcePath;
    }

    // Aliases, as Zibrak sends a file and a folder whose names do not fit: stored and read
    // under the long names, also when the alias is a folder on the way.
    std::string fileAlias = ShortNameOf(base + resume);
    std::string folderAlias = ShortNameOf(base + mueller);
    ASSERT_FALSE(fileAlias.empty());
    ASSERT_FALSE(folderAlias.empty());
    const struct {
        std::string entry;
        std::string names;
    } rows[] = {
        {LastComponent(fileAlias), longFile},
        {LastComponent(folderAlias), longInFolder},
        {LastComponent(folderAlias) + "\\*.*", longInFolder},
        {fileAlias, standin::AnsiToUtf8(ansiBase.substr(3)) + "\\" + longFile},  // a full path
    };
    for (const auto& row : rows) {
        items.clear();
        ASSERT_TRUE(standin::GatherItems(ansiBase + "\\", {row.entry}, "", items)) << row.entry;
        EXPECT_EQ(row.names, Describe(items)) << row.entry;
    }
    items.clear();
    ASSERT_TRUE(standin::GatherItems(ansiBase + "\\", {LastComponent(fileAlias)}, "", items));
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ(base + resume, items[0].sourcePath);
    EXPECT_EQ(4u, items[0].size);
    // A name with '~' that is no alias is stored as given.
    ASSERT_TRUE(WriteWide(base + "\\a~b.txt", "tilde"));
    items.clear();
    ASSERT_TRUE(standin::GatherItems(ansiBase + "\\", {"A~B.TXT"}, "", items));
    EXPECT_EQ("A~B.TXT|", Describe(items));

    // The archive being written is left out by its long name too.
    ASSERT_TRUE(WriteWide(base + mueller + "\\out.zip", "old"));
    items.clear();
    std::string archive = ansiBase + "\\" + LastComponent(folderAlias) + "\\out.zip";
    ASSERT_TRUE(standin::GatherItems(ansiBase + "\\", {"*.*"}, archive, items));
    EXPECT_EQ(std::string::npos, Describe(items).find("out.zip")) << Describe(items);
    RemoveWideTree(base);
}
