#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shell/Associations.h"
#include "shell/Install.h"
#include "shell/tests/ShellTestHelpers.h"
#include "tests/support/ScriptedPerson.h"
#include "tests/support/TestFiles.h"

using namespace shell_tests;
using testing_support::FileExists;
using testing_support::MakeDir;
using testing_support::PersonCall;
using testing_support::RemoveTree;
using testing_support::ScriptedPerson;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zibrak";
const char kHelpLink[] = "ヘルプ.lnk";

std::string ShellFolder(int id) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
    return path;
}

// Install and Uninstall touch fixed places of the prefix: the four link folders, the
// uninstall entry and the twelve extensions. Everything is put back afterwards.
class InstallTest : public ::testing::Test {
protected:
    InstallTest() {
        for (const char* extension : kAssociationExtensions) {
            guards_.push_back(std::make_unique<ExtensionGuard>(extension));
        }
    }
    ~InstallTest() override {
        for (const std::string* folder : {&commonDesktop, &userDesktop, &sendTo}) {
            RemoveTree(*folder + "\\Zibrak.lnk");
        }
        for (const std::string* folder : {&commonPrograms, &userPrograms}) {
            RemoveTree(*folder + "\\Zibrak");
        }
        DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        DeleteTree(HKEY_CLASSES_ROOT, "LhaFile");
    }

    void SetUp() override {
        for (const std::string* folder :
             {&commonDesktop, &userDesktop, &commonPrograms, &userPrograms, &sendTo}) {
            ASSERT_FALSE(folder->empty()) << "a shell folder does not resolve here";
        }
    }

    // Every link gets its target's folder as working directory and its name as description.
    void expectLink(const std::string& linkPath, const std::string& target,
                    const char* description) {
        const LinkParts link = ReadLink(linkPath);
        ASSERT_TRUE(link.loaded) << linkPath;
        EXPECT_EQ(link.target, target);
        EXPECT_EQ(link.workingDir, executableDir);
        EXPECT_EQ(link.description, description);
    }
    void expectProgramLink(const std::string& linkPath) {
        expectLink(linkPath, executable, "Zibrak");
    }
    void expectHelpLink(const std::string& linkPath) {
        expectLink(linkPath, executableDir + "\\readme.txt", "ヘルプ");
    }

    ScriptedPerson person;
    TempDir dir;
    const std::string ini = dir / "Zibrak.ini";
    const std::string executable = ExecutablePath();
    const std::string executableDir = DirectoryOf(executable);
    const std::string commonDesktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::string userDesktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    const std::string commonPrograms = ShellFolder(CSIDL_COMMON_PROGRAMS);
    const std::string userPrograms = ShellFolder(CSIDL_PROGRAMS);
    const std::string sendTo = ShellFolder(CSIDL_SENDTO);

private:
    std::vector<std::unique_ptr<ExtensionGuard>> guards_;
};

}  // namespace

TEST_F(InstallTest, InstallUsesAllUsersFoldersWritesEntryAndOpensReadme) {
    WriteString(HKEY_CLASSES_ROOT, ".lzh", nullptr, "LhaFile");
    WriteString(HKEY_CLASSES_ROOT, "LhaFile\\DefaultIcon", nullptr, "C:\\Lha\\lha.exe,0");

    Install(ini.c_str());

    expectProgramLink(commonDesktop + "\\Zibrak.lnk");
    expectProgramLink(commonPrograms + "\\Zibrak\\Zibrak.lnk");
    expectHelpLink(commonPrograms + "\\Zibrak\\" + kHelpLink);
    EXPECT_FALSE(FileExists(userDesktop + "\\Zibrak.lnk"));
    EXPECT_FALSE(FileExists(userPrograms + "\\Zibrak"));

    // The path is quoted so that a blank in it cannot start a shorter name.
    const std::string uninstall = "\"" + executable + "\" /u";
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Zibrak");
    EXPECT_EQ(ValueSize(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), 7u);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), uninstall);
    EXPECT_EQ(ValueSize(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
              uninstall.size() + 1);

    // Recorded, not changed.
    EXPECT_EQ(ReadIni(ini, "OrigAsso", "lzh"), "LhaFile");
    EXPECT_EQ(ReadIni(ini, "OrigIcon", "lzh"), "C:\\Lha\\lha.exe,0");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ".lzh"), "LhaFile");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Zibraklzh"));

    const std::vector<PersonCall> opened = person.callsOf(PersonCall::OpenDocument);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].text, executableDir + "\\readme.txt");
}

// A second install records the present associations again, except where Zibrak owns
// the extension: there the earlier record stays, so /u still gives .zip back.
TEST_F(InstallTest, SecondInstallReplacesEntryAndRecordsAgain) {
    WriteString(HKEY_CLASSES_ROOT, ".zip", nullptr, "ZipFile");
    WriteString(HKEY_CLASSES_ROOT, ".lzh", nullptr, "LhaFile");
    Install(ini.c_str());
    WriteString(HKEY_LOCAL_MACHINE, kUninstallKey, "Stale", "old");
    WriteString(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\Old\\Deeper", nullptr, "x");
    RegisterAssociation(".zip", true, false, ini.c_str());
    WriteString(HKEY_CLASSES_ROOT, ".lzh", nullptr, "NewerLhaFile");

    Install(ini.c_str());

    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "Stale"), kNoValue);
    EXPECT_EQ(SubkeyCount(HKEY_LOCAL_MACHINE, kUninstallKey), 0u);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Zibrak");
    EXPECT_EQ(ReadIni(ini, "OrigAsso", "zip"), "ZipFile");
    EXPECT_EQ(ReadIni(ini, "OrigAsso", "lzh"), "NewerLhaFile");
    EXPECT_EQ(person.callsOf(PersonCall::OpenDocument).size(), 2u);

    Uninstall(ini.c_str());
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ".zip"), "ZipFile");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ".lzh"), "NewerLhaFile");
}

// /u after another program took .rar from Zibrak leaves .rar with that program.
TEST_F(InstallTest, UninstallLeavesANewerOwnerAlone) {
    WriteString(HKEY_CLASSES_ROOT, ".rar", nullptr, "OtherRarFile");
    Install(ini.c_str());
    RegisterAssociation(".rar", true, false, ini.c_str());
    WriteString(HKEY_CLASSES_ROOT, ".rar", nullptr, "NewerRarFile");

    Uninstall(ini.c_str());

    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ".rar"), "NewerRarFile");
    EXPECT_EQ(ReadIni(ini, "OrigAsso", "rar"), "OtherRarFile");
}

// A folder named like the link makes saving it fail, so the fallback is taken.
TEST_F(InstallTest, DesktopFallsBackOnItsOwn) {
    ASSERT_TRUE(MakeDir(commonDesktop + "\\Zibrak.lnk"));

    Install(ini.c_str());

    expectProgramLink(userDesktop + "\\Zibrak.lnk");
    expectProgramLink(commonPrograms + "\\Zibrak\\Zibrak.lnk");
    EXPECT_FALSE(FileExists(userPrograms + "\\Zibrak"));
}

TEST_F(InstallTest, ProgramsMenuFallsBackOnItsOwn) {
    ASSERT_TRUE(MakeDir(commonPrograms + "\\Zibrak"));
    ASSERT_TRUE(MakeDir(commonPrograms + "\\Zibrak\\Zibrak.lnk"));

    Install(ini.c_str());

    expectProgramLink(userPrograms + "\\Zibrak\\Zibrak.lnk");
    expectHelpLink(userPrograms + "\\Zibrak\\" + kHelpLink);
    expectProgramLink(commonDesktop + "\\Zibrak.lnk");
    EXPECT_FALSE(FileExists(userDesktop + "\\Zibrak.lnk"));
}

// Every place is cleaned, also those Install did not use (an earlier install or the
// settings window may have left links there); a Programs folder that holds something of
// someone else's stays.
TEST_F(InstallTest, UninstallCleansEveryPlaceAndGivesBack) {
    WriteString(HKEY_CLASSES_ROOT, ".lzh", nullptr, "LhaFile");
    Install(ini.c_str());
    RegisterAssociation(".lzh", true, false, ini.c_str());
    const std::string userFolder = userPrograms + "\\Zibrak";
    ASSERT_TRUE(WriteTextFile(userDesktop + "\\Zibrak.lnk", "link"));
    ASSERT_TRUE(MakeDir(userFolder));
    ASSERT_TRUE(WriteTextFile(userFolder + "\\Zibrak.lnk", "link"));
    ASSERT_TRUE(WriteTextFile(userFolder + "\\" + kHelpLink, "link"));
    ASSERT_TRUE(WriteTextFile(userFolder + "\\notes.txt", "mine"));
    ASSERT_TRUE(WriteTextFile(sendTo + "\\Zibrak.lnk", "link"));

    Uninstall(ini.c_str());

    for (const std::string* folder : {&commonDesktop, &userDesktop, &sendTo}) {
        EXPECT_FALSE(FileExists(*folder + "\\Zibrak.lnk")) << *folder;
    }
    EXPECT_FALSE(FileExists(commonPrograms + "\\Zibrak"));
    EXPECT_FALSE(FileExists(userFolder + "\\Zibrak.lnk"));
    EXPECT_FALSE(FileExists(userFolder + "\\" + kHelpLink));
    EXPECT_TRUE(FileExists(userFolder + "\\notes.txt"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ".lzh"), "LhaFile");
}
