// box_answerer PROGRAM [ARGUMENTS...]: runs the rest of its command line as it stands and,
// until that program ends, prints every dialog shown in the Wine session (caption and
// texts, as UTF-8 to the terminal) and answers it: a message box with its default button
// (No for Zibrak's questions), any other dialog with Cancel, since nobody can type into
// it. run.sh uses it when the windows go to a virtual display nobody sees, where a box
// would otherwise wait for ever. Exits with the program's exit code.
#include <windows.h>

#include <set>
#include <string>

#include "base/CommandLine.h"
#include "tests/support/WindowWatcher.h"

namespace {

using testing_support::kMessageBoxTextId;

void Print(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr,
                                          nullptr);
    std::string utf8(bytes > 0 ? bytes : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], bytes, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    utf8 += '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
              &written, nullptr);
}

// Read in UTF-16: a box shown with MessageBoxW names what the code page cannot hold.
std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0],
                                                   static_cast<int>(text.size()))));
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n') c = L' ';
    return text;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM param) {
    char name[16] = "";
    GetClassNameA(child, name, sizeof name);
    const std::wstring text = TextOf(child);
    auto* all = reinterpret_cast<std::wstring*>(param);
    if (lstrcmpiA(name, "Static") == 0 && !text.empty()) *all += (all->empty() ? L"" : L" ") + text;
    return TRUE;
}

BOOL CALLBACK FindDefaultPush(HWND child, LPARAM param) {
    char name[16] = "";
    GetClassNameA(child, name, sizeof name);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(name, "Button") == 0 && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
        IsWindowVisible(child)) {
        *reinterpret_cast<int*>(param) = GetDlgCtrlID(child);
        return FALSE;
    }
    return TRUE;
}

// The button Enter presses: the one drawn as the default (Wine's message box answers no
// DM_GETDEFID), else the one the dialog names, else OK.
int DefaultButton(HWND box) {
    int id = 0;
    EnumChildWindows(box, FindDefaultPush, reinterpret_cast<LPARAM>(&id));
    if (id != 0) return id;
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(box, DM_GETDEFID, 0, 0, SMTO_NORMAL, 5000, &result) &&
        HIWORD(result) == DC_HASDEFID)
        return LOWORD(result);
    return IDOK;
}

void Answer(HWND dialog) {
    // A stand-in's progress window is a dialog too; its Cancel would stop the job.
    if (FindWindowExA(dialog, nullptr, "msctls_progress32", nullptr)) return;
    const bool messageBox = GetDlgItem(dialog, kMessageBoxTextId) != nullptr;
    std::wstring texts;
    EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&texts));
    const int button = messageBox ? DefaultButton(dialog) : IDCANCEL;
    std::wstring pressed = TextOf(GetDlgItem(dialog, button));
    if (pressed.empty()) pressed = std::to_wstring(button);
    Print(L"[" + TextOf(dialog) + L"] " + texts);
    Print(L"  -> " + pressed + (messageBox ? L" (the default button)" : L" (nobody can type here)"));
    testing_support::PressButton(dialog, button);
}

}  // namespace

int main() {
    std::wstring line = SkipProgramName(GetCommandLineW());
    if (line.empty()) {
        Print(L"usage: box_answerer PROGRAM [ARGUMENTS...]");
        return 2;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        Print(L"box_answerer: cannot start " + line);
        return 2;
    }
    CloseHandle(process.hThread);
    std::set<HWND> answered;
    while (WaitForSingleObject(process.hProcess, 200) == WAIT_TIMEOUT) {
        Sleep(300);  // let a new dialog finish drawing its texts
        for (HWND dialog : testing_support::ShownWindowsOf("#32770")) {
            // A window handle answered before may still be closing.
            if (!answered.insert(dialog).second && IsWindowVisible(dialog)) continue;
            Answer(dialog);
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
