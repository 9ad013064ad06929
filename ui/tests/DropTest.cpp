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
using testing_support::MakeDir;
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

// Without WS_EX_ACCEPTFILES on the live window the shell delivers no drop at all, and the
// test above, which sends WM_DROPFILES itself, would not notice.
TEST_F(Drop, TheLiveWindowAcceptsDrops) {
    LONG_PTR exStyle = 0;
    RunSettings([&](HWND live) {
        exStyle = GetWindowLongPtrA(live, GWL_EXSTYLE);
        SendMessageA(live, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_NE(0, exStyle & WS_EX_ACCEPTFILES);
}

// Folders whose names end in the byte 0x5C (表, and 能 after ソ) are seen as folders when
// dropped: an archive that would be written inside one is refused, and one written
// beside it holds the folder's file.
TEST_F(Drop, AFolderWhoseNameEndsInATrailByteIsAFolder) {
    ASSERT_TRUE(Zip32jLoaded);
    Options.CompType = 1;
    Options.CompDirType = 3;
    Options.CompWarn = false;
    Options.CompOpenDir = false;
    for (const char* name : {"表", "ソ能"}) {
        SCOPED_TRACE(name);
        TempDir source;
        const std::string folder = source / name;
        ASSERT_TRUE(MakeDir(folder));
        ASSERT_TRUE(WriteTextFile(folder + "\\a.txt", "inside"));
        person.calls.clear();

        Options.CompPath.assign((folder + "\\").c_str());
        Open();
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({folder})), 0);
        ASSERT_EQ(1u, person.callsOf(PersonCall::Message).size());
        EXPECT_EQ("不正なフォルダー", person.callsOf(PersonCall::Message)[0].caption);
        EXPECT_FALSE(FileExists(folder + "\\" + name + ".zip"));
        DestroyWindow(window);
        DrainQuit();

        TempDir target;
        Options.CompPath.assign((target.path() + "\\").c_str());
        Open();
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({folder})), 0);
        EXPECT_EQ(1u, person.callsOf(PersonCall::Message).size());
        EXPECT_TRUE(FileExists(target / (std::string(name) + ".zip")));
        DestroyWindow(window);
        DrainQuit();
    }
}

}  // namespace
}  // namespace ui_tests
