// The settings road as start-up takes it: the real window, answered from a timer, then
// what OK saves and tells the shell, and what every other way of closing leaves alone.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "app/Startup.h"
#include "jobs/Jobs.h"
#include "settings/Options.h"
#include "shell/tests/ShellTestHelpers.h"
#include "tests/support/ScriptedPerson.h"
#include "tests/support/TestFiles.h"
#include "ui/SettingsDialog.h"
#include "ui/resource.h"

namespace {

using testing_support::MakeDir;
using testing_support::ReadTextFile;
using testing_support::TempDir;
using testing_support::WriteTextFile;

const UINT kAssocChanged = WM_APP + 7;

std::function<void(HWND)> pendingAction;

void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    std::function<void(HWND)> action;
    action.swap(pendingAction);
    if (action) action(SettingsWindow);
}

// Counts the shell's association-changed notifications this process sends.
class ShellListener {
public:
    ShellListener() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ZibrakShellListener";
        RegisterClassA(&windowClass);
        window_ = CreateWindowA("ZibrakShellListener", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        SHChangeNotifyEntry entry = {nullptr, TRUE};
        registration_ = SHChangeNotifyRegister(
            window_, SHCNRF_ShellLevel | SHCNRF_InterruptLevel | SHCNRF_NewDelivery,
            SHCNE_ASSOCCHANGED, kAssocChanged, 1, &entry);
        count_ = 0;
    }
    ~ShellListener() {
        if (registration_) SHChangeNotifyDeregister(registration_);
        DestroyWindow(window_);
    }
    bool listening() const { return window_ && registration_; }
    // Delivers what is queued for the window, then the count so far.
    int count() const {
        MSG message;
        while (PeekMessageA(&message, window_, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        return count_;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kAssocChanged) {
            ++count_;
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    static int count_;
    HWND window_ = nullptr;
    ULONG registration_ = 0;
};
int ShellListener::count_ = 0;

class SettingsRoad : public ::testing::Test {
protected:
    void SetUp() override {
        AppInstance = GetModuleHandleA(nullptr);
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_UPDOWN_CLASS};
        InitCommonControlsEx(&controls);
        savedOptions_ = Options;
        savedLoaded_ = LoadedAssociations;
        ASSERT_TRUE(MakeDir(tableFolder));
        ASSERT_TRUE(listener.listening());
    }
    void TearDown() override {
        Options = savedOptions_;
        LoadedAssociations = savedLoaded_;
    }

    // Loads the INI as start-up does and runs the road; action gets the live window.
    void Run(const std::string& iniText, const std::function<void(HWND)>& action) {
        ASSERT_TRUE(WriteTextFile(ini, iniText));
        LoadOptions(ini.c_str());
        pendingAction = action;
        SetTimer(nullptr, 0, 10, RunPendingAction);
        RunSettingsRoad(SW_HIDE, ini.c_str());
        MSG message;
        while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    std::string IniBytes() const {
        std::string bytes;
        ReadTextFile(ini, bytes);
        return bytes;
    }

    testing_support::ScriptedPerson person;
    ShellListener listener;
    const shell_tests::ExtensionGuard arj{".arj"};
    TempDir dir;
    const std::string ini = dir / "Zibrak.ini";
    // 表 ends in the byte 0x5C, so a path typed without a separator ends in it too.
    const std::string tableFolder = dir / "表";

private:
    OptionValues savedOptions_;
    AssociationFlags savedLoaded_;
};

// Takes .arj over and types the folder 表 without a separator as the archive destination.
void ChangeArjAndFolder(HWND window, const std::string& folder) {
    SendMessageA(window, WM_COMMAND, IDC_ASSO_ARJ, 0);
    SetDlgItemTextA(window, IDC_COMP_PATH, folder.c_str());
}

TEST_F(SettingsRoad, OkSavesUpdatesAssociationsAndTellsTheShellOnce) {
    shell_tests::WriteString(HKEY_CLASSES_ROOT, ".arj", nullptr, "ArjFile");
    Run("[Option]\r\nCompDirType=3\r\nCompPath=" + dir.path() + "\\\r\n", [&](HWND window) {
        ChangeArjAndFolder(window, tableFolder);
        SendMessageA(window, WM_COMMAND, IDOK, 0);
    });

    EXPECT_EQ("3", shell_tests::ReadIni(ini, "Option", "CompDirType"));
    EXPECT_EQ(tableFolder, shell_tests::ReadIni(ini, "Option", "CompPath"));
    EXPECT_EQ("1", shell_tests::ReadIni(ini, "Option", "AssoArj"));
    EXPECT_EQ("Zibrakarj", shell_tests::ReadString(HKEY_CLASSES_ROOT, ".arj"));
    EXPECT_TRUE(person.callsOf(testing_support::PersonCall::Message).empty());
    EXPECT_EQ(1, listener.count());

    // A missing folder whose parent exists is no folder, though its last byte is 0x5C.
    const std::string saved = IniBytes();
    Run(saved, [&](HWND window) {
        SetDlgItemTextA(window, IDC_COMP_PATH, (tableFolder + "\\表").c_str());
        SendMessageA(window, WM_COMMAND, IDOK, 0);
    });
    const auto messages = person.callsOf(testing_support::PersonCall::Message);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("圧縮先の指定が不正です。この設定は保存されません。", messages[0].text);
    EXPECT_EQ(tableFolder, shell_tests::ReadIni(ini, "Option", "CompPath"));
    EXPECT_EQ(2, listener.count());
}

// Cancel and the close box both read the window into Options, but nothing reaches the
// INI file, the registry or the shell.
TEST_F(SettingsRoad, CancelAndTheCloseBoxLeaveTheIniFileAsItWas) {
    const std::string iniText =
        "; written by hand\r\n[Option]\r\nCompType = 2\r\nCompDirType=3\r\nCompPath=" +
        dir.path() + "\r\n\r\n[Other]\r\nkept=yes\r\n";
    shell_tests::WriteString(HKEY_CLASSES_ROOT, ".arj", nullptr, "ArjFile");
    const std::function<void(HWND)> closings[] = {
        [&](HWND window) {
            ChangeArjAndFolder(window, tableFolder);
            SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
        },
        [&](HWND window) {
            ChangeArjAndFolder(window, tableFolder);
            SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        },
    };
    for (const auto& close : closings) {
        Run(iniText, close);
        EXPECT_EQ(iniText, IniBytes());
        EXPECT_TRUE(Options.AssoArj);  // the window was read all the same
        EXPECT_EQ("ArjFile", shell_tests::ReadString(HKEY_CLASSES_ROOT, ".arj"));
        EXPECT_EQ(0, listener.count());
    }
}

}  // namespace
