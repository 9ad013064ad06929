#include "base/FileList.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/WideNames.h"
#include "tests/support/TestFiles.h"

using testing_support::MakeDir;
using testing_support::MakeDrop;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

std::vector<std::string> Entries(const FileList& list) {
    std::vector<std::string> entries;
    for (int32_t i = 0; i < list.count(); ++i) entries.push_back(list.at(i).text());
    return entries;
}

std::string Upper(std::string text) {
    CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

TEST(FileList, GrowsByDoublingAndKeepsOrderAndText) {
    FileList list;
    EXPECT_EQ(0, list.count());
    EXPECT_EQ(0, list.capacity());

    std::vector<std::string> given;
    for (int added = 1; added <= 81; ++added) {
        given.push_back("Z:\\no such dir\\file" + std::to_string(added) + ".txt");
        list.add(given.back().c_str());
        const int32_t expected = added <= 20 ? 20 : added <= 40 ? 40 : added <= 80 ? 80 : 160;
        ASSERT_EQ(expected, list.capacity()) << "after add " << added;
    }
    EXPECT_EQ(given, Entries(list));

    list.clear();
    EXPECT_EQ(0, list.count());
    EXPECT_EQ(0, list.capacity());
    list.add("x");
    EXPECT_EQ(20, list.capacity());
}

TEST(FileList, StoresTheNameFoundOnDiskAfterTheDirectoryAsGiven) {
    TempDir dir;
    const std::string report = dir / "Report 2001.txt";
    ASSERT_TRUE(WriteTextFile(report, "x"));
    ASSERT_TRUE(MakeDir(dir / "Sub"));
    ASSERT_TRUE(WriteTextFile(dir / "Sub\\Only.txt", "x"));
    ASSERT_TRUE(WriteTextFile(dir / "Sub\\other.dat", "x"));
    const std::string dbcsDir = dir / "表ソ能";  // trail bytes 0x5C
    ASSERT_TRUE(MakeDir(dbcsDir));
    ASSERT_TRUE(MakeDir(dir / "表"));
    ASSERT_TRUE(WriteTextFile(dbcsDir + "\\能.Txt", "x"));
    testing_support::CurrentFolderScope current(dir.path());
    ASSERT_TRUE(current.changed());

    const std::string upperDir = Upper(dir.path());
    struct Case {
        std::string given;
        std::string stored;
    };
    std::vector<Case> cases = {
        {dir / "REPORT 2001.TXT", report},
        // The directory part is not looked up, only the final component.
        {upperDir + "\\report 2001.txt", upperDir + "\\Report 2001.txt"},
        {dir.path() + "/REPORT 2001.TXT", dir.path() + "/Report 2001.txt"},
        {dir / "sub", dir / "Sub"},
        {dir / "Sub\\*.txt", dir / "Sub\\Only.txt"},
        // A relative path is looked up in the current folder and stays relative.
        {"REPORT 2001.TXT", "Report 2001.txt"},
        {"sub\\ONLY.TXT", "sub\\Only.txt"},
        {dbcsDir + "\\能.TXT", dbcsDir + "\\能.Txt"},
        {dir / "表", dir / "表"},  // ends in 0x5C, yet names the folder, not its content
        // The folder itself and its parent keep their dots, which no lookup may rename.
        {dir / "Sub\\.", dir / "Sub\\."},
        {dir / "Sub\\..", dir / "Sub\\.."},
        {".", "."},
        {"..", ".."},
        // Nothing found: the path as given.
        {dbcsDir + "\\ソ.txt", dbcsDir + "\\ソ.txt"},
        {dir / "missing.TXT", dir / "missing.TXT"},
        {dir / "Sub\\", dir / "Sub\\"},
        {"C:\\", "C:\\"},
        {"", ""},
    };
    // The 8.3 name, where the file system keeps one: its directory part stays short.
    char shortPath[MAX_PATH] = {};
    const DWORD n = GetShortPathNameA(report.c_str(), shortPath, MAX_PATH);
    if (n > 0 && n < MAX_PATH && report != shortPath) {
        const std::string shortText = shortPath;
        cases.push_back({shortText, shortText.substr(0, shortText.rfind('\\') + 1) +
                                        "Report 2001.txt"});
    }
    for (const Case& c : cases) {
        FileList list;
        list.add(c.given.c_str());
        ASSERT_EQ(1, list.count()) << c.given;
        EXPECT_EQ(c.stored, list.at(0).text()) << c.given;
    }
}

TEST(FileList, FillFromCommandLineSkipsSwitchesAndEmptiesFirst) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "My File.txt", "x"));
    const std::string quoted = "\"" + dir.path() + "\\MY FILE.TXT\"";

    struct Case {
        std::string text;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"/i C:\\a.txt", {"C:\\a.txt"}},
        {"-x", {}},
        {"\"-a.txt\"", {}},
        {"\"/u\"", {}},
        {"", {}},
        {"\"\"", {""}},
        {quoted + " -r b.txt", {dir / "My File.txt", "b.txt"}},
    };
    FileList list;  // one list for all rows: each fill starts empty
    for (const Case& c : cases) {
        list.fillFromCommandLine(c.text.c_str());
        EXPECT_EQ(c.entries, Entries(list)) << c.text;
    }
}

TEST(FileList, FillFromDropTakesEveryNameWhole) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "Dropped.txt", "x"));
    // Longer than MAX_PATH; absent from disk, so it is stored exactly as dropped.
    std::string longName = dir.path();
    while (longName.size() < 300) longName += "\\" + std::string(40, 'd');
    longName += "\\tail.txt";

    FileList list;
    list.fillFromCommandLine("stale.txt");
    list.fillFromDrop(MakeDrop({dir / "DROPPED.TXT", "-dash.txt", longName}));
    EXPECT_EQ((std::vector<std::string>{dir / "Dropped.txt", "-dash.txt", longName}),
              Entries(list));
}

namespace {

// A drop block of wide names, as Explorer hands over.
HDROP MakeWideDrop(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& name : names) list += name + L'\0';
    list += L'\0';
    const size_t bytes = list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), bytes);
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// What the shell's own DragQueryFileA gives for every index, the yardstick of the fill.
std::vector<std::string> QueriedNames(HDROP drop) {
    std::vector<std::string> names;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::string name(DragQueryFileA(drop, i, nullptr, 0) + 1, '\0');
        DragQueryFileA(drop, i, &name[0], static_cast<UINT>(name.size()));
        name.resize(name.size() - 1);
        names.push_back(name);
    }
    return names;
}

}  // namespace

TEST(FileList, FillFromDropReadsTheBlockAsTheShellDoes) {
    // Names absent from disk stay as dropped, so the list shows exactly what was read:
    // every name of a big drop in order, and wide names in the system code page.
    std::vector<std::string> many;
    for (int i = 0; i < 3000; ++i)
        many.push_back("Z:\\no such dir\\" + std::string(i % 7, 'x') + std::to_string(i) + ".txt");
    const std::vector<std::wstring> wide = {L"Z:\\no such dir\\\x65E5\x672C\x8A9E.txt",
                                            L"Z:\\no such dir\\plain.txt"};

    for (const HDROP drop : {MakeDrop(many), MakeWideDrop(wide)}) {
        const std::vector<std::string> expected = QueriedNames(drop);
        FileList list;
        list.fillFromDrop(drop);
        EXPECT_EQ(expected, Entries(list));
    }
    FileList list;
    list.fillFromDrop(MakeWideDrop(wide));
    ASSERT_EQ(2, list.count());
    EXPECT_STREQ("Z:\\no such dir\\\x93\xfa\x96\x7b\x8c\xea.txt", list.at(0).text());
}

TEST(FileList, FillFromDropStopsAtTheEndOfAnUnendedBlock) {
    // The last name lacks its NUL and the list its closing one: nothing is read past the
    // block, and the cut name is not taken.
    const std::string names = std::string("Z:\\a.txt") + '\0' + "Z:\\b.txt";
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(DROPFILES) + names.size());
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    *header = {};
    header->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), names.data(), names.size());
    GlobalUnlock(memory);
    FileList list;
    list.fillFromDrop(static_cast<HDROP>(memory));
    EXPECT_EQ((std::vector<std::string>{"Z:\\a.txt"}), Entries(list));
}

namespace {

bool WriteWide(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::wstring Wide(const std::string& text) { return ToWide(text); }

std::string LastComponent(const std::string& path) {
    return path.substr(path.find_last_of("\\/") + 1);
}

}  // namespace

TEST(FileList, NamesTheCodePageCannotHoldArriveByTheirAliases) {
    TempDir dir;
    const std::wstring base = Wide(dir.path());
    // The lossy spellings are real files too, and must not be the ones taken.
    ASSERT_TRUE(WriteTextFile(dir / "cafe.txt", "not this one"));
    ASSERT_TRUE(WriteWide(base + L"\\caf\xE9.txt", "caf\xC3\xA9"));
    ASSERT_TRUE(WriteWide(base + L"\\\xD55C\xAD6D\xC5B4.txt", "korean"));
    ASSERT_TRUE(MakeDir(dir / "My Documents"));
    ASSERT_TRUE(CreateDirectoryW((base + L"\\My Documents\\Stra\xDF" L"e").c_str(), nullptr));
    ASSERT_TRUE(WriteWide(base + L"\\My Documents\\Stra\xDF" L"e\\notes.TXT", "notes"));

    struct Row {
        std::wstring given;
        std::string content;
        std::string longName;  // the last component longNameAt gives
    };
    const Row rows[] = {
        {base + L"\\caf\xE9.txt", "caf\xC3\xA9", "caf_.txt"},
        {base + L"\\\xD55C\xAD6D\xC5B4.TXT", "korean", "___.txt"},  // the stored letter case
        {base + L"\\my documents\\Stra\xDF" L"e\\NOTES.txt", "notes", "notes.TXT"},
    };
    for (const Row& row : rows) {
        FileList dropped;
        dropped.fillFromDrop(MakeWideDrop({L"-x.txt", row.given}));
        FileList typed;
        typed.fillFromCommandLine((L"-x.txt \"" + row.given + L"\"").c_str());
        for (const FileList* list : {&dropped, &typed}) {
            ASSERT_EQ(list == &dropped ? 2 : 1, list->count());
            const std::string entry = list->at(list->count() - 1).text();
            std::string content;
            EXPECT_TRUE(testing_support::ReadTextFile(entry, content)) << entry;
            EXPECT_EQ(row.content, content) << entry;
            EXPECT_EQ(row.longName, LastComponent(list->longNameAt(list->count() - 1)));
            EXPECT_TRUE(list->refused().empty());
        }
        // Components that fit keep their long spelling, as given.
        EXPECT_EQ(0u, std::string(typed.at(0).text()).find(dir.path() + "\\"));
    }
    FileList list;
    list.fillFromCommandLine((L"\"" + rows[2].given + L"\"").c_str());
    const std::string entry = list.at(0).text();
    EXPECT_NE(std::string::npos, entry.find("\\my documents\\")) << entry;
    EXPECT_EQ(entry, list.longNameAt(0));  // the last component fits: no alias there
}

TEST(FileList, NamesThatFitAreAddedAsTheCodePageTextAddsThem) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "Report 2001.txt", "x"));
    ASSERT_TRUE(WriteTextFile(dir / "\x95\x5C\x8E\xA6.txt", "x"));  // 表示.txt
    const std::string text = "\"" + dir.path() + "\\REPORT 2001.TXT\" -r \"" + dir.path() +
                             "\\\x95\x5C\x8E\xA6.TXT\" missing.txt \"\"";
    FileList ansi;
    ansi.fillFromCommandLine(text.c_str());
    FileList wide;
    wide.fillFromCommandLine(Wide(text).c_str());
    ASSERT_EQ(4, wide.count());
    EXPECT_EQ(Entries(ansi), Entries(wide));
    for (int32_t i = 0; i < wide.count(); ++i)
        EXPECT_EQ(std::string(wide.at(i).text()), wide.longNameAt(i));
}

TEST(FileList, ANameWithoutAliasIsRefusedNotAdded) {
    TempDir dir;
    const std::wstring cafe = Wide(dir.path()) + L"\\caf\xE9.txt";
    ASSERT_TRUE(WriteWide(cafe, "x"));
    ASSERT_TRUE(WriteTextFile(dir / "plain.txt", "x"));
    FileList list;
    list.addWide(cafe, GetLongPathNameW);  // a volume without 8.3 names
    list.addWide(Wide(dir / "plain.txt"), GetLongPathNameW);
    list.addWide(Wide(dir.path()) + L"\\gone\xE9.txt");  // nothing there to name
    ASSERT_EQ(1, list.count());
    EXPECT_EQ(dir / "plain.txt", list.at(0).text());
    EXPECT_EQ((std::vector<std::wstring>{cafe, Wide(dir.path()) + L"\\gone\xE9.txt"}),
              list.refused());
    list.clear();
    EXPECT_TRUE(list.refused().empty());
}
