#include "ui/tests/DialogFixture.h"

#include <commctrl.h>

#include "archivers/Chain.h"
#include "jobs/Jobs.h"
#include "ui/SettingsDialog.h"
#include "ui/resource.h"

namespace ui_tests {

namespace {

bool* const kDllFlags[5] = {&Unlha32Loaded, &Zip32jLoaded, &Cab32Loaded, &Tar32Loaded,
                            &Zcrypt32Present};

std::function<void(HWND)> pendingAction;

void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    std::function<void(HWND)> action;
    action.swap(pendingAction);
    if (action) action(SettingsWindow);
}

}  // namespace

void DrainQuit() {
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

bool RunSettings(const std::function<void(HWND)>& action, int showCommand) {
    pendingAction = action;
    SetTimer(nullptr, 0, 10, RunPendingAction);
    const bool accepted = ShowSettings(showCommand);
    DrainQuit();
    return accepted;
}

void DialogTest::SetUp() {
    AppInstance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    savedOptions_ = Options;
    savedLastMelt_ = LastMeltDirChoice;
    savedLastComp_ = LastCompDirChoice;
    for (int i = 0; i < 5; ++i) savedFlags_[i] = *kDllFlags[i];

    Options = OptionValues();
    LastMeltDirChoice = 0;
    LastCompDirChoice = 0;
    for (bool* flag : kDllFlags) *flag = true;
}

void DialogTest::TearDown() {
    if (window && IsWindow(window)) DestroyWindow(window);
    DrainQuit();
    Options = savedOptions_;
    LastMeltDirChoice = savedLastMelt_;
    LastCompDirChoice = savedLastComp_;
    for (int i = 0; i < 5; ++i) *kDllFlags[i] = savedFlags_[i];
}

HWND DialogTest::Open() {
    window = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                SettingsDlgProc, 0);
    EXPECT_NE(nullptr, window);
    return window;
}

void DialogTest::Close(int command) {
    SendMessageA(window, WM_COMMAND, command, 0);
    EXPECT_FALSE(IsWindow(window));
    DrainQuit();
}

bool DialogTest::Checked(int id) const { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

std::vector<int> DialogTest::CheckedOf(std::initializer_list<int> ids) const {
    std::vector<int> checked;
    for (int id : ids) {
        if (Checked(id)) checked.push_back(id);
    }
    return checked;
}

bool DialogTest::Enabled(int id) const { return IsWindowEnabled(GetDlgItem(window, id)) != FALSE; }

std::string DialogTest::Text(int id) const {
    char text[MAX_PATH] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

void DialogTest::Click(int id) const { SendDlgItemMessageA(window, id, BM_CLICK, 0, 0); }

}  // namespace ui_tests
