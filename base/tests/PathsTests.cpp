#include "base/Paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/TestFiles.h"

using testing_support::TempDir;

// Shift-JIS characters whose trail byte is 0x5C, the byte of '\\'.
static_assert(sizeof("表") == 3 && "表"[1] == '\\', "sources must be compiled to CP932");

TEST(Paths, DbcsLeadRangesAreShiftJis) {
    struct Case {
        int byte;
        bool lead;
    };
    const Case cases[] = {{0x5C, false}, {0x80, false}, {0x81, true},  {0x9F, true},
                          {0xA0, false}, {0xB1, false}, {0xDF, false}, {0xE0, true},
                          {0xFC, true},  {0xFD, false}, {0xFF, false}, {0x00, false}};
    for (const Case& c : cases)
        EXPECT_EQ(c.lead, IsDbcsLead(static_cast<unsigned char>(c.byte))) << std::hex << c.byte;
}

TEST(Paths, LastSeparatorStepsOverDoubleByteCharacters) {
    struct Case {
        const char* text;
        int index;
    };
    const Case cases[] = {
        {"C:\\dir\\file.lzh", 6},
        {"file.lzh", -1},
        {"C:/a\\b", 4},
        {"", -1},
        {"C:\\表\\x", 5},     // not 4, the trail byte of 表
        {"C:\\表", 2},
        {"表", -1},
        {"ソ能", -1},
        {"ｱ\\b", 1},          // single-byte katakana are not lead bytes
        {"a\\\x95", 1},       // a lead byte cut off by the NUL ends the walk
    };
    for (const Case& c : cases) EXPECT_EQ(c.index, LastSeparator(c.text)) << c.text;
}

TEST(Paths, LastCharIndexStepsOverDoubleByteCharacters) {
    struct Case {
        const char* text;
        char byte;
        int index;
    };
    const Case cases[] = {
        {"archive.tar.gz", '.', 11},
        {"archive", '.', -1},
        {"表.txt", '.', 2},
        {"表", '\\', -1},
        {"a\\表", '\\', 1},
        {"\x81.", '.', -1},  // '.' is the trail byte here
    };
    for (const Case& c : cases) EXPECT_EQ(c.index, LastCharIndex(c.text, c.byte)) << c.text;
}

TEST(Paths, SplitPath) {
    struct Case {
        const char* path;
        const char* drive;
        const char* dir;
        const char* base;
        const char* ext;
    };
    const Case cases[] = {
        {"C:\\dir\\file.lzh", "C:", "\\dir\\", "file", ".lzh"},
        {"file.tar.gz", "", "", "file.tar", ".gz"},
        {"C:\\a.b\\c", "C:", "\\a.b\\", "c", ""},
        {"C:\\表\\表", "C:", "\\表\\", "表", ""},
        {"C:\\能\\ソ.txt", "C:", "\\能\\", "ソ", ".txt"},
        {"\\\\server\\share\\f.x", "", "\\\\server\\share\\", "f", ".x"},
        {"x:", "x:", "", "", ""},
        {"C:name.", "C:", "", "name", "."},
        {"a/b.c", "", "a/", "b", ".c"},
        {".profile", "", "", "", ".profile"},
        {"", "", "", "", ""},
    };
    for (const Case& c : cases) {
        const PathParts p = SplitPath(c.path);
        EXPECT_STREQ(c.drive, p.drive) << c.path;
        EXPECT_STREQ(c.dir, p.dir) << c.path;
        EXPECT_STREQ(c.base, p.base) << c.path;
        EXPECT_STREQ(c.ext, p.ext) << c.path;
    }
}

TEST(Paths, SplitPathCutsEachPartAt255BytesWithoutSplittingACharacter) {
    const std::string base300(300, 'b');
    const PathParts plain = SplitPath(("C:\\d\\" + base300 + ".txt").c_str());
    EXPECT_EQ(std::string(255, 'b'), plain.base);
    EXPECT_STREQ(".txt", plain.ext);

    const std::string cutInside = std::string(254, 'b') + "表表";
    const PathParts dbcs = SplitPath(cutInside.c_str());
    EXPECT_EQ(std::string(254, 'b'), dbcs.base);
}

// The one rule for a separator at the end, and the folder texts and containment built on it.
TEST(Paths, TrailingSeparatorIsACharacterNotAByte) {
    struct Case {
        const char* text;
        bool endsWithSeparator;
        const char* withSeparator;
    };
    const Case cases[] = {
        {"C:\\out", false, "C:\\out\\"},
        {"C:\\out\\", true, "C:\\out\\"},
        {"C:/out/", true, "C:/out/"},
        {"C:\\", true, "C:\\"},
        {"", false, ""},
        {"C:\\表", false, "C:\\表\\"},  // 表 ends in the trail byte 0x5C
        {"C:\\x\\ソ能", false, "C:\\x\\ソ能\\"},
        {"C:\\表\\", true, "C:\\表\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.endsWithSeparator, EndsWithSeparator(c.text)) << c.text;
        EXPECT_EQ(c.withSeparator, WithTrailingSeparator(c.text)) << c.text;
    }

    EXPECT_TRUE(LiesInDirectory("c:\\DL\\a.zip", "C:\\dl\\"));
    EXPECT_FALSE(LiesInDirectory("C:\\dl", "C:\\dl\\"));
    // A trail byte is never case-folded: ア (83 41) and ヂ (83 61) differ.
    EXPECT_FALSE(LiesInDirectory("C:\\\x83\x61\\a", "C:\\\x83\x41\\"));
    EXPECT_TRUE(SamePathText("C:\\Dl\\表.txt", "c:\\dL\\表.TXT"));
    EXPECT_FALSE(SamePathText("C:\\dl\\a.zip", "C:\\dl\\a.zip\\"));
}

TEST(Paths, PathExistsOnDisk) {
    TempDir dir;
    const std::string file = dir / "a.txt";
    ASSERT_TRUE(testing_support::WriteTextFile(file, "x"));
    const std::string dbcsFolder = dir / "表ソ能";  // trail bytes 0x5C
    ASSERT_TRUE(testing_support::MakeDir(dbcsFolder));
    ASSERT_TRUE(testing_support::WriteTextFile(dbcsFolder + "\\表.txt", "x"));

    struct Case {
        std::string path;
        bool exists;
        bool isDir;
    };
    const Case cases[] = {
        {dir.path(), true, true},
        {dir.path() + "\\", true, true},
        {file, true, false},
        {dbcsFolder + "\\", true, true},
        {dbcsFolder, true, true},  // its last byte is 0x5C, yet no separator
        {dir / "表", false, false},
        {dbcsFolder + "\\表.txt", true, false},
        {dir / "missing.txt", false, false},
        {dir / "missing\\", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        bool isDir = !c.isDir;
        EXPECT_EQ(c.exists, PathExists(c.path.c_str(), isDir)) << c.path;
        EXPECT_EQ(c.isDir, isDir) << c.path;
    }
}

TEST(Paths, PathExistsRefusesPathsOver260Bytes) {
    TempDir dir;
    // "\\." segments name the same folder, so the platform would find these paths.
    std::string at260 = dir.path();
    while (at260.size() + 2 <= 260) at260 += "\\.";
    if (at260.size() < 260) at260 += "\\";
    ASSERT_EQ(260u, at260.size());
    const std::string at261 = at260 + (at260.back() == '\\' ? "." : "\\");
    ASSERT_EQ(261u, at261.size());

    bool isDir = false;
    EXPECT_TRUE(PathExists(at260.c_str(), isDir));
    EXPECT_TRUE(isDir);
    isDir = true;
    EXPECT_FALSE(PathExists(at261.c_str(), isDir));
    EXPECT_FALSE(isDir);
}
