#include "tests/robustness/RobustFixture.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "base/Handles.h"
#include "jobs/Jobs.h"
#include "settings/Options.h"
#include "ui/SettingsDialog.h"
#include "ui/resource.h"

namespace robustness {

using testing_support::PersonCall;

namespace {

// "\\?\" and the path in UTF-16: the form that lifts MAX_PATH from the wide file API.
std::wstring LongForm(const std::string& path) {
    std::wstring wide(path.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0],
                                      static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return L"\\\\?\\" + wide;
}

}  // namespace

void HookedPerson::runHook() {
    if (!beforeAnswer) return;
    std::function<void()> hook;
    hook.swap(beforeAnswer);  // once: the next question finds the file system as it is
    hook();
}

int HookedPerson::ShowMessage(HWND owner, const char* text, const char* caption, UINT flags) {
    runHook();
    return ScriptedPerson::ShowMessage(owner, text, caption, flags);
}

bool HookedPerson::BrowseForFolder(HWND owner, const char* title, UINT flags, char* path) {
    runHook();
    return ScriptedPerson::BrowseForFolder(owner, title, flags, path);
}

bool HookedPerson::ChooseSaveFile(OPENFILENAMEA& dialog) {
    runHook();
    return ScriptedPerson::ChooseSaveFile(dialog);
}

namespace {

const char kHoldPath[] = "ZIBRAK_HOLD_PATH";
const char kHoldShare[] = "ZIBRAK_HOLD_SHARE";
const char kHoldReady[] = "ZIBRAK_HOLD_READY";
const char kHoldRelease[] = "ZIBRAK_HOLD_RELEASE";

std::string EventName(const char* role) {
    return "zibrak-hold-" + std::string(role) + "-" + std::to_string(GetCurrentProcessId());
}

}  // namespace

HeldByAnotherProcess::HeldByAnotherProcess(const std::string& path, DWORD share) {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, EventName("ready").c_str());
    release_ = CreateEventA(nullptr, TRUE, FALSE, EventName("release").c_str());
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string line = "\"" + std::string(self) +
                       "\" --gtest_also_run_disabled_tests "
                       "--gtest_filter=HoldingProcess.DISABLED_HoldsTheFileItIsGiven";
    // The child inherits these; they are cleared again at once.
    SetEnvironmentVariableA(kHoldPath, path.c_str());
    SetEnvironmentVariableA(kHoldShare, std::to_string(share).c_str());
    SetEnvironmentVariableA(kHoldReady, EventName("ready").c_str());
    SetEnvironmentVariableA(kHoldRelease, EventName("release").c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        // The child signals only once the file is open; its end means it could not be.
        const HANDLE either[2] = {ready_, process_};
        held_ = WaitForMultipleObjects(2, either, FALSE, 30000) == WAIT_OBJECT_0;
    }
    for (const char* name : {kHoldPath, kHoldShare, kHoldReady, kHoldRelease})
        SetEnvironmentVariableA(name, nullptr);
}

HeldByAnotherProcess::~HeldByAnotherProcess() {
    SetEvent(release_);
    if (process_) {
        WaitForSingleObject(process_, 30000);
        CloseHandle(process_);
    }
    CloseHandle(ready_);
    CloseHandle(release_);
}

// The holder's side, run only in the process HeldByAnotherProcess starts.
TEST(HoldingProcess, DISABLED_HoldsTheFileItIsGiven) {
    const std::string path = testing_support::GetEnv(kHoldPath);
    ASSERT_FALSE(path.empty());
    const DWORD share = static_cast<DWORD>(std::stoul(testing_support::GetEnv(kHoldShare)));
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid());
    const HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE,
                                    testing_support::GetEnv(kHoldReady).c_str());
    const HANDLE release = OpenEventA(SYNCHRONIZE, FALSE,
                                      testing_support::GetEnv(kHoldRelease).c_str());
    ASSERT_TRUE(ready && release);
    SetEvent(ready);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(release, 60000));
    CloseHandle(ready);
    CloseHandle(release);
}

StandinBoxes::StandinBoxes() : thread_([this] { run(); }) {}

StandinBoxes::~StandinBoxes() {
    stop_ = true;
    thread_.join();
}

std::vector<std::string> StandinBoxes::seen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

BOOL CALLBACK StandinBoxes::Answer(HWND window, LPARAM self) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[32] = "";
    char caption[64] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    const std::string title = caption;
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) ||
        std::string(className) != "#32770" || title.size() < 5 ||
        lstrcmpiA(title.c_str() + title.size() - 4, ".dll") != 0)
        return TRUE;
    char text[1024] = "";
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);  // a message box's text
    auto* boxes = reinterpret_cast<StandinBoxes*>(self);
    {
        std::lock_guard<std::mutex> lock(boxes->mutex_);
        boxes->seen_.push_back(title + ": " + text);
    }
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void StandinBoxes::run() {
    while (!stop_) {
        EnumWindows(Answer, reinterpret_cast<LPARAM>(this));
        Sleep(50);
    }
}

void RobustTest::SetUp() {
    JobTest::SetUp();
    standinBoxes.reset(new StandinBoxes);
}

void RobustTest::TearDown() {
    standinBoxes.reset();
    // The work folder's own removal uses the ANSI calls, which stop at MAX_PATH.
    RemoveLongTree(work.path());
    LastMeltDirChoice = 0;  // the settings window's rows leave their choice behind
    LastCompDirChoice = 0;
    JobTest::TearDown();
}

std::string RobustTest::PathOfLength(const std::string& folder, size_t length,
                                     const std::string& tail) {
    std::string path = folder;
    CreateDirectoryW(LongForm(path).c_str(), nullptr);
    const size_t fixed = folder.size() + tail.size();
    EXPECT_GT(length, fixed + 2) << "no room for padding";
    size_t left = length - fixed;
    for (char fill = 'p'; left > 0; ++fill) {
        // Each component "\\" + up to 200 bytes, and never a last one of a single '\\'.
        size_t part = std::min<size_t>(left - 1, 200);
        if (left - 1 - part == 1) --part;
        path += '\\' + std::string(part, fill);
        left -= part + 1;
        CreateDirectoryW(LongForm(path).c_str(), nullptr);
    }
    path += tail;
    EXPECT_EQ(length, path.size());
    return path;
}

bool RobustTest::MoveLong(const std::string& from, const std::string& to) {
    return MoveFileW(LongForm(from).c_str(), LongForm(to).c_str()) != FALSE;
}

bool RobustTest::ExistsLong(const std::string& path) {
    return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RobustTest::RemoveLongTree(const std::string& path) {
    const std::wstring wide = LongForm(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(wide.c_str());
        return;
    }
    WIN32_FIND_DATAW found;
    std::vector<std::string> children;
    HANDLE search = FindFirstFileW((wide + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            char name[MAX_PATH * 2] = "";
            WideCharToMultiByte(CP_ACP, 0, found.cFileName, -1, name, sizeof name, nullptr,
                                nullptr);
            const std::string child = name;
            if (child != "." && child != "..") children.push_back(path + "\\" + child);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    for (const std::string& child : children) RemoveLongTree(child);
    RemoveDirectoryW(wide.c_str());
}

void RobustTest::PrepareWindow() {
    AppInstance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
}

bool RobustTest::Enter(Entry entry, const std::vector<std::string>& files) {
    FileList list;
    switch (entry) {
    case Entry::CommandLine: {
        std::string text;
        for (const std::string& file : files) text += "\"" + file + "\" ";
        list.fillFromCommandLine(text.c_str());
        return RunJob(list);
    }
    case Entry::Drop:
        list.fillFromDrop(testing_support::MakeDrop(files));
        return RunJob(list);
    case Entry::WindowDrop: {
        PrepareWindow();
        const HWND window = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_SETTINGS),
                                               nullptr, SettingsDlgProc, 0);
        EXPECT_NE(nullptr, window);
        SendMessageA(window, WM_DROPFILES,
                     reinterpret_cast<WPARAM>(testing_support::MakeDrop(files)), 0);
        const bool open = IsWindow(window) != FALSE;
        SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
        ui_tests::DrainQuit();
        return open;  // the window ignores the job's result and must stay open
    }
    }
    return false;
}

std::string RobustTest::Asked() const {
    std::string asked;
    for (const PersonCall& call : hooked.calls) {
        if (call.kind == PersonCall::Message) asked += (asked.empty() ? "" : " ") + call.caption;
        if (call.kind == PersonCall::EndProcess)
            asked += (asked.empty() ? "exit " : " exit ") + std::to_string(call.exitCode);
    }
    return asked;
}

namespace {

void CollectTree(const std::string& folder, const std::string& prefix,
                 std::vector<std::string>& names) {
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
    bool empty = true;
    if (search) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            empty = false;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                CollectTree(folder + "\\" + name, prefix + name + "\\", names);
            else
                names.push_back(prefix + name);
        } while (FindNextFileA(search.get(), &found));
    }
    if (empty && !prefix.empty()) names.push_back(prefix);
}

}  // namespace

std::string Tree(const std::string& folder) {
    std::vector<std::string> names;
    CollectTree(folder, "", names);
    std::sort(names.begin(), names.end());
    std::string tree;
    for (const std::string& name : names) tree += name + ";";
    return tree;
}

std::string Repeat(const std::string& unit, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += unit;
    return text;
}

}  // namespace robustness
