// Special folders, directory creation along a path and shell links, on the real shell.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/Handles.h"
#include "base/Paths.h"
#include "shell/SpecialDirs.h"
#include "shell/tests/ShellTestHelpers.h"
#include "tests/support/TestFiles.h"

using testing_support::FileExists;
using testing_support::IsDirectory;
using testing_support::MakeDir;
using testing_support::TempDir;

namespace {

std::set<std::string> EntriesOf(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.insert(name);
    } while (FindNextFileA(search.get(), &found));
    return names;
}

TEST(GetSpecialDir, FoldersComeWithoutTrailingSeparator) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    ASSERT_TRUE(EndsWithSeparator(temp));

    char buffer[MAX_PATH];
    ASSERT_TRUE(GetSpecialDir(buffer, DIR_TEMP, nullptr));
    EXPECT_EQ(std::string(temp).substr(0, strlen(temp) - 1), buffer);

    for (int id : {int{DIR_WINDOWS}, int{DIR_SYSTEM}, int{DIR_TEMP}, CSIDL_DESKTOPDIRECTORY}) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(GetSpecialDir(buffer, id, nullptr));
        EXPECT_FALSE(EndsWithSeparator(buffer));
        EXPECT_TRUE(IsDirectory(buffer));
    }

    // An id the shell does not know is the one failure reported.
    EXPECT_FALSE(GetSpecialDir(buffer, 0x7F, nullptr));
}

TEST(GetSpecialDir, ModuleFolderHoldsThisProgram) {
    char buffer[MAX_PATH];
    ASSERT_TRUE(GetSpecialDir(buffer, DIR_MODULE, nullptr));
    EXPECT_FALSE(EndsWithSeparator(buffer));
    EXPECT_TRUE(FileExists(std::string(buffer) + "\\shell_folder_tests.exe"));
}

// A folder whose name ends in ソ (0x83 0x5C) holding 表.exe (0x95 0x5C): neither trail
// byte may be taken for the separator, at the cut or at the trailing-separator removal.
// The copy runs ModuleFolderHoldsThisProgram on itself.
TEST(GetSpecialDir, DbcsNamedProgramGetsItsWholeFolder) {
    TempDir dir;
    const std::string folder = dir / "ソ";
    ASSERT_TRUE(MakeDir(folder));
    const std::string self = shell_tests::ExecutablePath();
    const std::string copy = folder + "\\表.exe";
    ASSERT_TRUE(CopyFileA(self.c_str(), copy.c_str(), FALSE));
    // The usual name beside it, which the copy looks for in the folder it finds.
    ASSERT_TRUE(CopyFileA(self.c_str(), (folder + "\\shell_folder_tests.exe").c_str(), FALSE));

    std::string commandLine =
        "\"" + copy + "\" --gtest_filter=GetSpecialDir.ModuleFolderHoldsThisProgram";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(copy.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                        0, nullptr, nullptr, &startup, &process);
    ASSERT_TRUE(started);
    const FileHandle processHandle(process.hProcess);
    const FileHandle threadHandle(process.hThread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 60000));
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(0u, exitCode);
}

TEST(MakeDirs, CreatesEveryMissingFolderFollowedByASeparator) {
    TempDir dir;
    const std::string a = dir / "a";
    ASSERT_TRUE(MakeDir(a));

    MakeDirs((a + "\\b\\c\\").c_str());
    EXPECT_TRUE(IsDirectory(a + "\\b"));
    EXPECT_TRUE(IsDirectory(a + "\\b\\c"));

    // Without a trailing separator the last name is not a folder to create.
    MakeDirs((a + "\\x\\y").c_str());
    EXPECT_TRUE(IsDirectory(a + "\\x"));
    EXPECT_FALSE(FileExists(a + "\\x\\y"));

    // An existing path is left as it is.
    MakeDirs((a + "\\b\\c").c_str());
    EXPECT_EQ(std::set<std::string>{"c"}, EntriesOf(a + "\\b"));
}

TEST(MakeDirs, DoesNotSplitInsideDoubleByteCharacters) {
    TempDir dir;
    MakeDirs((dir / "表\\").c_str());
    EXPECT_TRUE(IsDirectory(dir / "表"));

    EXPECT_EQ(std::set<std::string>{"表"}, EntriesOf(dir.path()));

    // A cut inside the second 表 would leave a stray folder beside "表表".
    TempDir other;
    MakeDirs((other / "表表\\ソ\\").c_str());
    EXPECT_TRUE(IsDirectory(other / "表表\\ソ"));
    EXPECT_EQ(std::set<std::string>{"表表"}, EntriesOf(other.path()));
    EXPECT_EQ(std::set<std::string>{"ソ"}, EntriesOf(other / "表表"));
}

class CreateShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeDir(programDir));
        ASSERT_TRUE(testing_support::WriteTextFile(target, "MZ"));
        ASSERT_TRUE(MakeDir(linkDir));
    }

    TempDir dir;
    std::string programDir = dir / "プログラム";
    std::string target = programDir + "\\Zibrak.exe";
    std::string linkDir = dir / "links";
};

TEST_F(CreateShortcutTest, WritesTargetWorkingDirectoryAndDescription) {
    // 表 ends in the byte 0x5C, which must not be taken for the working directory's cut.
    const std::string dbcsTarget = programDir + "\\表.exe";
    ASSERT_TRUE(testing_support::WriteTextFile(dbcsTarget, "MZ"));
    struct Case {
        std::string target, folder;
        const char* name;
    };
    const Case cases[] = {
        {target, linkDir, "Zibrak"},
        {dbcsTarget, linkDir + "\\", "ヘルプ"},  // a doubled separator is accepted
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(CreateShortcut(c.target.c_str(), c.folder.c_str(), c.name));
        const shell_tests::LinkParts link =
            shell_tests::ReadLink(linkDir + "\\" + c.name + ".lnk");
        ASSERT_TRUE(link.loaded);
        EXPECT_EQ(c.target, link.target);
        EXPECT_EQ(programDir, link.workingDir);
        EXPECT_EQ(c.name, link.description);
    }
}

TEST_F(CreateShortcutTest, ReportsALinkThatCannotBeSaved) {
    EXPECT_FALSE(CreateShortcut(target.c_str(), (dir / "no such folder").c_str(), "Zibrak"));
    // A link path beyond the conversion buffer is refused rather than saved truncated.
    const std::string deep = linkDir + "\\" + std::string(240, 'd');
    EXPECT_FALSE(CreateShortcut(target.c_str(), deep.c_str(), "Zibrak"));
}

}  // namespace
