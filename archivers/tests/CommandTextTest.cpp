// The pure pieces of the command texts: base names, the file-list names, template filling.
#include "archivers/CommandText.h"

#include <gtest/gtest.h>

namespace {

struct BaseCase {
    const char* firstEntry;
    const char* baseName;
    const char* baseDirectory;
};

TEST(CommandText, BaseNameAndDirectoryOfTheFirstEntry) {
    const BaseCase cases[] = {
        {"C:\\work\\report.txt", "report", "C:\\work\\"},
        {"C:\\work\\README", "README", "C:\\work\\"},              // no '.' at all
        {"C:\\work\\v1.2\\notes", "notes", "C:\\work\\v1.2\\"},    // '.' only in the folder
        {"C:\\work\\archive.tar.gz", "archive.tar", "C:\\work\\"},  // only the last extension
        {"C:\\work\\.profile", "", "C:\\work\\"},                  // the name is all extension
        {"C:/work/mixed.txt", "mixed", "C:/work/"},
        // 表 ends in the byte 0x5C, which must not be taken for a separator.
        {"C:\\\x95\x5C\\x.txt", "x", "C:\\\x95\x5C\\"},
        {"C:\\work\\\x95\x5C.txt", "\x95\x5C", "C:\\work\\"},
        {"plain.txt", "plain", ""},
    };
    for (const BaseCase& c : cases) {
        EXPECT_EQ(c.baseName, ArchiveBaseName(c.firstEntry)) << c.firstEntry;
        EXPECT_EQ(c.baseDirectory, ArchiveBaseDirectory(c.firstEntry)) << c.firstEntry;
    }
}

struct EntryCase {
    const char* entry;
    const char* baseDirectory;
    const char* listName;
};

TEST(CommandText, EntriesOutsideTheBaseDirectoryKeepTheirFullPath) {
    const EntryCase cases[] = {
        {"C:\\work\\a.txt", "C:\\work\\", "a.txt"},
        {"C:\\work\\sub\\b.txt", "C:\\work\\", "sub\\b.txt"},
        {"c:\\WORK\\c.txt", "C:\\work\\", "c.txt"},  // letters compared without case
        {"C:\\other\\d.txt", "C:\\work\\", "C:\\other\\d.txt"},
        {"C:\\workshop\\e.txt", "C:\\work\\", "C:\\workshop\\e.txt"},
        {"C:\\w", "C:\\work\\", "C:\\w"},  // shorter than the base directory
        // Trail bytes 0x41 and 0x61 are different characters, not two cases of one letter.
        {"C:\\\x83\x61\\f.txt", "C:\\\x83\x41\\", "C:\\\x83\x61\\f.txt"},
        {"C:\\\x83\x41\\g.txt", "C:\\\x83\x41\\", "g.txt"},
    };
    for (const EntryCase& c : cases)
        EXPECT_EQ(c.listName, ListEntryName(c.entry, c.baseDirectory)) << c.entry;
}

TEST(CommandText, TemplatesAreFilledInOrderWithoutReinterpretation) {
    EXPECT_EQ("e -c1 -a1 -x1 -jyc  \"a\" \"b\"",
              FillTemplate("e -c1 -a1 -x1 -jyc  %s %s", "\"a\"", "\"b\""));
    EXPECT_EQ("--sfx \"a.zip\"", FillTemplate("--sfx %s", "\"a.zip\"", "\"C:\\t\\\""));
    EXPECT_EQ("100% a", FillTemplate("100%% %s", "a", "b"));
    // A path holding "%s" or "%d" is text, never a further placeholder.
    EXPECT_EQ("x %s%d y", FillTemplate("x %s y", "%s%d", "z"));
}

TEST(CommandText, OverwriteSwitchByPlaceInTheChain) {
    const char* const expected[] = {"", " -m1 ", " -o ", "", " -o ", "", "", "", ""};
    for (int place = 0; place <= 8; ++place)
        EXPECT_STREQ(expected[place], OverwriteSwitch(place)) << place;
    EXPECT_STREQ("", OverwriteSwitch(-1));
}

}  // namespace
