// Files dropped on the window: a real drop handle, the stand-in archivers, and a job that
// runs with what the window shows.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archivers/Chain.h"
#include "tests/support/TestFiles.h"
#include "ui/tests/DialogFixture.h"

namespace ui_tests {
namespace {

using testing_support::FileExists;
using testing_support::StandinDir;
using testing_support::PersonCall;
using testing_support::MakeDrop;
using testing_support::TempDir;
using testing_support::WriteTextFile;

class Drop : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        SetDllDirectoryA(StandinDir().c_str());
        BuildArchiverChain();
    }
    void TearDown() override {
        DestroyArchiverChain();
        ArchiverChain = nullptr;
        SetDllDirectoryA(nullptr);
        DialogTest::TearDown();
    }
};

TEST_F(Drop, RunsTheJobWithTheWindowsSettingsAndLeavesItOpen) {
    ASSERT_FALSE(StandinDir().empty()) << "ZIBRAK_STANDIN_DIR is not set";
    ASSERT_TRUE(Zip32jLoaded);
    TempDir source;
    TempDir target;
    ASSERT_TRUE(WriteTextFile(source / "notes.txt", "dropped on the settings window\r\n"));
    Options.CompType = 0;
    Options.CompDirType = 3;
    Options.CompPath.assign((target.path() + "\\").c_str());
    Options.CompWarn = false;
    Options.CompOpenDir = false;
    Open();
    Click(1022);  // ZIP in the window, LZH still in Options

    SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({source / "notes.txt"})),
                 0);

    EXPECT_TRUE(FileExists(target / "notes.zip"));
    EXPECT_FALSE(FileExists(target / "notes.lzh"));
    EXPECT_EQ(1, Options.CompType);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(person.callsOf(PersonCall::EndProcess).empty());
}

}  // namespace
}  // namespace ui_tests
