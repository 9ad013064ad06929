// Telling files apart by what they are, not by how their paths are written.
#include "base/FileIdentity.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "tests/support/TestFiles.h"

using testing_support::CurrentFolderScope;
using testing_support::MakeDir;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

std::string ShortPath(const std::string& path) {
    char buffer[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return buffer;
}

std::string Slashed(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

class FileIdentity : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeDir(folder));
        ASSERT_TRUE(WriteTextFile(file, "a"));
        ASSERT_TRUE(WriteTextFile(other, "b"));
        ASSERT_NE(folder, ShortPath(folder)) << "no 8.3 alias here";
    }
    TempDir dir;
    const std::string folder = dir / "a long folder name";
    const std::string file = folder + "\\report.txt";
    const std::string other = folder + "\\report.lzh";
};

}  // namespace

TEST_F(FileIdentity, EveryNameOfOneFileIsThatFile) {
    const CurrentFolderScope here(folder);
    ASSERT_TRUE(here.changed());
    const std::string link = dir / "hard link.txt";
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), file.c_str(), nullptr));

    for (const std::string& name :
         {std::string("report.txt"), std::string("REPORT.TXT"), Slashed(file),
          ShortPath(folder) + "\\report.txt", std::string("..\\a long folder name\\.\\report.txt"),
          link}) {
        EXPECT_TRUE(NameSameFile(file.c_str(), name.c_str())) << name;
        EXPECT_FALSE(NameSameFile(other.c_str(), name.c_str())) << name;
    }
    // Neither exists: the full long paths decide.
    EXPECT_TRUE(NameSameFile("missing.zip", Slashed(folder + "\\MISSING.zip").c_str()));
    EXPECT_FALSE(NameSameFile("missing.zip", "missing.lzh"));
}

TEST_F(FileIdentity, FullLongPathSpellsTheExistingPartLong) {
    const CurrentFolderScope here(dir.path());
    ASSERT_TRUE(here.changed());
    EXPECT_EQ(file, FullLongPath(Slashed(ShortPath(file)).c_str()));
    EXPECT_EQ(folder + "\\new\\archive.zip",
              FullLongPath((ShortPath(folder) + "\\new\\archive.zip").c_str()));
    EXPECT_EQ(folder, FullLongPath("a long folder name"));
}

TEST_F(FileIdentity, BelowAFolderWhetherOrNotThePathExists) {
    const CurrentFolderScope here(dir.path());
    ASSERT_TRUE(here.changed());
    struct Case {
        std::string path;
        std::string folder;
        bool below;
    };
    const Case cases[] = {
        {file, "a long folder name", true},
        {folder + "\\sub\\new.zip", ShortPath(folder), true},  // not there yet
        {ShortPath(folder) + "\\x.zip", folder + "\\", true},
        {folder, folder, false},                               // the folder itself
        {folder + "2\\x.zip", folder, false},                  // a sibling sharing its start
        {dir / "x.zip", folder, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.below, LiesBelowFolder(c.path.c_str(), c.folder.c_str()))
            << c.path << " in " << c.folder;
}
