// The windows a stand-in shows of its own. Each dialog is built from a template in memory,
// so every DLL stands alone without resources; the program's own texts are Shift-JIS and go
// through the ANSI functions, names (UTF-8) through the wide ones.
#include "standins/core/ui.h"

#include "standins/core/names.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <new>

// The module this code is linked into: the DLL itself, or a test program.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace standin {
namespace {

const char kProgressCaption[] = "処理中";
const char kArchiveLabel[] = "書庫:";
const char kEntryLabel[] = "ファイル:";
const char kPasswordCaption[] = "パスワードの入力";
const char kPasswordLabel[] = "パスワード:";
const char kConfirmLabel[] = "確認:";
const char kMismatchText[] = "パスワードが一致しません。もう一度入力してください。";
const char kOverwriteCaption[] = "上書きの確認";
const char kOverwriteQuestion[] = "同じ名前のファイルがあります。上書きしますか?";
const char kOverwriteText[] = "上書き";
const char kSkipText[] = "スキップ";
const char kOverwriteAllText[] = "すべて上書き";
const char kSkipAllText[] = "すべてスキップ";
const char kOkText[] = "OK";
const char kCancelText[] = "キャンセル";
// The face the program's own dialogs use (template strings are UTF-16 whatever the code page).
const char16_t kFontFace[] = u"ＭＳ Ｐゴシック";
const WORD kFontPoints = 9;

const DWORD kProgressDelayMs = 500;  // a job shorter than this shows no window
const DWORD kProgressPumpMs = 50;    // how often update() repaints and answers the window
const int kProgressSteps = 1000;     // the bar's range
const int kMessagesPerPump = 200;    // so that a flood of messages cannot stall the job
const int kPasswordMax = 255;        // characters a password field takes
const int kPasswordBytes = 2 * kPasswordMax + 1;  // Shift-JIS: up to two bytes a character

// Control ids of the two dialogs.
const WORD kArchiveText = 100;
const WORD kEntryText = 101;
const WORD kProgressBar = 102;
const WORD kPasswordField = 110;
const WORD kConfirmField = 111;
const WORD kMessageText = 112;
const WORD kNoId = 0xFFFF;  // labels that are never addressed

// One command at a time per DLL. Each DLL links its own copy of this code, so in a DLL only
// its own slot is ever used; a test program sees all of them.
const int kDllCount = static_cast<int>(Dll::Tar) + 1;  // Tar is the last
std::atomic<bool> g_busy[kDllCount];

// A dialog template in memory (DLGTEMPLATE and its DLGITEMTEMPLATEs). A fixed buffer:
// building it allocates nothing and cannot throw; ok() is false when it did not fit.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, const char* caption) {
        word(LOWORD(style));
        word(HIWORD(style));
        word(0);  // extended style: nothing, above all not WS_EX_TOPMOST
        word(0);
        word(0);  // item count, raised by add()
        word(0);  // x, y: DS_CENTER places it
        word(0);
        word(static_cast<WORD>(cx));
        word(static_cast<WORD>(cy));
        word(0);  // no menu
        word(0);  // the dialog class
        text(caption);
        word(kFontPoints);  // DS_SETFONT
        wide(kFontFace);
    }

    // A control in dialog units; className is a window class ("Button", "msctls_progress32").
    void add(WORD id, const char16_t* className, DWORD style, short x, short y, short cx,
             short cy, const char* title = "") {
        if (size_ % 2) word(0);  // every item starts on a DWORD boundary
        style |= WS_CHILD | WS_VISIBLE;
        word(LOWORD(style));
        word(HIWORD(style));
        word(0);
        word(0);
        word(static_cast<WORD>(x));
        word(static_cast<WORD>(y));
        word(static_cast<WORD>(cx));
        word(static_cast<WORD>(cy));
        word(id);
        wide(className);
        text(title);
        word(0);  // no creation data
        ++words_[4];
    }

    // For a dialog whose height is known only once its rows are laid out.
    void setHeight(short cy) { words_[8] = static_cast<WORD>(cy); }

    bool ok() const { return ok_; }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_); }

private:
    void word(WORD w) {
        if (size_ < kCapacity) words_[size_++] = w;
        else ok_ = false;
    }
    void wide(const char16_t* s) {
        do word(static_cast<WORD>(*s));
        while (*s++);
    }
    // A Shift-JIS text, widened as the ANSI functions would.
    void text(const char* s) {
        int room = static_cast<int>(kCapacity - size_);
        int n = room > 0 ? MultiByteToWideChar(CP_ACP, 0, s, -1,
                                                reinterpret_cast<WCHAR*>(words_ + size_), room)
                         : 0;
        if (n == 0) ok_ = false;
        else size_ += static_cast<size_t>(n);
    }

    static const size_t kCapacity = 1024;
    alignas(DWORD) WORD words_[kCapacity];
    size_t size_ = 0;
    bool ok_ = true;
};

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// Disables one enabled window of the thread and remembers it in the vector at param.
BOOL CALLBACK DisableWindow(HWND window, LPARAM param) {
    auto* disabled = reinterpret_cast<std::vector<void*>*>(param);
    if (!IsWindowEnabled(window)) return TRUE;
    // Only a window that can be enabled again is disabled: one that cannot be remembered
    // stays as it is.
    try {
        disabled->push_back(window);
    } catch (const std::bad_alloc&) {
        return TRUE;
    }
    EnableWindow(window, FALSE);
    return TRUE;
}

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

}  // namespace

CommandScope::CommandScope(Dll dll) : dll_(dll) {
    bool expected = false;
    if (!g_busy[static_cast<int>(dll)].compare_exchange_strong(expected, true)) return;
    entered_ = true;
    active_ = GetActiveWindow();
    focus_ = GetFocus();
    EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&disabled_));
}

CommandScope::~CommandScope() {
    if (!entered_) return;
    for (void* handle : disabled_) {
        HWND window = static_cast<HWND>(handle);
        // A window destroyed meanwhile is gone, and its handle may have been reused.
        if (IsWindow(window) && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
            EnableWindow(window, TRUE);
    }
    // Destroying the command's own windows while everything else was disabled sent the
    // activation elsewhere; give it back to where the user left it.
    HWND active = static_cast<HWND>(active_);
    if (active && IsWindow(active) && IsWindowEnabled(active)) {
        SetActiveWindow(active);
        HWND focus = static_cast<HWND>(focus_);
        if (focus && IsWindow(focus) && IsWindowEnabled(focus)) SetFocus(focus);
    }
    g_busy[static_cast<int>(dll_)].store(false);
}

void ShowFailure(Dll dll, const std::string& text) {
    WideText caption = AnsiToWide(IdentityOf(dll).fileName);
    MessageBoxW(nullptr, Utf8ToWide(text).data(), caption.data(), MB_OK);
}

namespace {

void SetItemUtf8(HWND dialog, int id, const std::string& utf8) {
    SetDlgItemTextW(dialog, id, Utf8ToWide(utf8).data());
}

}  // namespace

// ---- Progress ----------------------------------------------------------------------------

struct Progress::Window {
    HWND dialog = nullptr;  // null when it could not be created: the work goes on without it
    bool cancelled = false;
    std::string entry;      // the entry shown
    int position = -1;      // the bar's position shown
    DWORD lastPump = 0;

    // Creates and shows the dialog; false when it cannot be.
    bool open(const std::string& archive);
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

INT_PTR CALLBACK Progress::Window::Proc(HWND dialog, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL) return FALSE;
        [[fallthrough]];
    case WM_CLOSE:  // the close box, which DefDlgProc would only turn into IDCANCEL
        if (window) window->cancelled = true;
        EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
        return TRUE;
    }
    return FALSE;
}

bool Progress::Window::open(const std::string& archive) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    if (!InitCommonControlsEx(&controls)) return false;
    DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER,
                     240, 72, kProgressCaption);
    t.add(kNoId, u"Static", SS_LEFT, 7, 8, 38, 9, kArchiveLabel);
    t.add(kArchiveText, u"Static", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 46, 8, 187, 9);
    t.add(kNoId, u"Static", SS_LEFT, 7, 20, 38, 9, kEntryLabel);
    t.add(kEntryText, u"Static", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 46, 20, 187, 9);
    t.add(kProgressBar, u"msctls_progress32", WS_BORDER, 7, 34, 226, 10);
    t.add(IDCANCEL, u"Button", BS_PUSHBUTTON | WS_TABSTOP, 93, 51, 54, 14, kCancelText);
    if (!t.ok()) return false;
    dialog = CreateDialogIndirectParamW(ThisModule(), t.get(), nullptr, Proc,
                                        reinterpret_cast<LPARAM>(this));
    if (!dialog) return false;
    SetDlgItemTextA(dialog, kArchiveText, archive.c_str());
    SendDlgItemMessageA(dialog, kProgressBar, PBM_SETRANGE32, 0, kProgressSteps);
    ShowWindow(dialog, SW_SHOW);
    return true;
}

namespace {

// Answers the thread's waiting messages while the job runs. Input meant for a window the
// command disabled is dropped, so only the progress window takes a click or a key.
// False when the thread was asked to quit (the quit is posted again for the caller's loop).
bool PumpMessages(HWND dialog) {
    MSG msg;
    for (int i = 0; i < kMessagesPerPump && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (IsInput(msg.message) && msg.hwnd && !IsWindowEnabled(GetAncestor(msg.hwnd, GA_ROOT)))
            continue;
        if (IsDialogMessageA(dialog, &msg)) continue;  // Esc, Enter and Tab
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

}  // namespace

Progress::Progress(Dll dll, const std::string& archive)
    : dll_(dll), archive_(archive), startTick_(GetTickCount()) {}

Progress::~Progress() {
    if (!window_) return;
    if (window_->dialog) DestroyWindow(window_->dialog);
    delete window_;
}

bool Progress::update(const std::string& entry, uint64_t done, uint64_t total) {
    if (cancelled_) return false;
    DWORD now = GetTickCount();
    if (!window_) {
        if (now - startTick_ < kProgressDelayMs) return true;
        window_ = new (std::nothrow) Window;
        if (!window_) return true;
        window_->open(archive_);
    } else if (now - window_->lastPump < kProgressPumpMs) {
        return true;
    }
    if (!window_->dialog) return true;
    window_->lastPump = now;

    if (entry != window_->entry) {
        SetItemUtf8(window_->dialog, kEntryText, entry);
        try {
            window_->entry = entry;
        } catch (const std::bad_alloc&) {
            window_->entry.clear();  // shown again next time
        }
    }
    int position = 0;
    if (total > 0) {
        uint64_t part = done < total ? done : total;
        // Scaled down first so that the product stays within 64 bits for any size.
        while (total > (UINT64_MAX / kProgressSteps)) {
            total >>= 1;
            part >>= 1;
        }
        position = static_cast<int>(part * kProgressSteps / (total ? total : 1));
    }
    if (position != window_->position) {
        SendDlgItemMessageA(window_->dialog, kProgressBar, PBM_SETPOS, position, 0);
        window_->position = position;
    }
    if (!PumpMessages(window_->dialog)) window_->cancelled = true;
    cancelled_ = window_->cancelled;
    return !cancelled_;
}

// ---- Password ----------------------------------------------------------------------------

namespace {

struct PasswordState {
    const std::string* archive;
    const std::string* entry;
    bool confirm;
    char password[kPasswordBytes];
};

INT_PTR CALLBACK PasswordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<PasswordState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        state = reinterpret_cast<PasswordState*>(lParam);
        SetDlgItemTextA(dialog, kArchiveText, state->archive->c_str());
        SetItemUtf8(dialog, kEntryText, *state->entry);
        SendDlgItemMessageA(dialog, kPasswordField, EM_LIMITTEXT, kPasswordMax, 0);
        SendDlgItemMessageA(dialog, kConfirmField, EM_LIMITTEXT, kPasswordMax, 0);
        SetFocus(GetDlgItem(dialog, kPasswordField));
        return FALSE;  // the focus is set
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK && state) {
            char again[kPasswordBytes] = "";
            GetDlgItemTextA(dialog, kPasswordField, state->password, sizeof state->password);
            if (state->confirm) GetDlgItemTextA(dialog, kConfirmField, again, sizeof again);
            bool same = !state->confirm || strcmp(state->password, again) == 0;
            SecureZeroMemory(again, sizeof again);
            if (same) {
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            SecureZeroMemory(state->password, sizeof state->password);
            SetDlgItemTextA(dialog, kMessageText, kMismatchText);
            SetDlgItemTextA(dialog, kPasswordField, "");
            SetDlgItemTextA(dialog, kConfirmField, "");
            SetFocus(GetDlgItem(dialog, kPasswordField));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

bool AskPassword(Dll, const std::string& archive, const std::string& entry, bool confirm,
                 std::string& password) {
    password.clear();
    // Rows from the top; the entry and the confirmation rows only when they are wanted.
    const short rowHeight = 14;
    short y = 8;
    DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER |
                         DS_SETFOREGROUND,
                     230, 0, kPasswordCaption);
    t.add(kNoId, u"Static", SS_LEFT, 7, y, 44, 9, kArchiveLabel);
    t.add(kArchiveText, u"Static", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 52, y, 171, 9);
    y += rowHeight;
    if (!entry.empty()) {
        t.add(kNoId, u"Static", SS_LEFT, 7, y, 44, 9, kEntryLabel);
        t.add(kEntryText, u"Static", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 52, y, 171, 9);
        y += rowHeight;
    }
    y += 2;
    t.add(kNoId, u"Static", SS_LEFT, 7, y + 2, 44, 9, kPasswordLabel);
    t.add(kPasswordField, u"Edit", ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 52, y,
          171, 12);
    y += 17;
    if (confirm) {
        t.add(kNoId, u"Static", SS_LEFT, 7, y + 2, 44, 9, kConfirmLabel);
        t.add(kConfirmField, u"Edit", ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 52,
              y, 171, 12);
        y += 17;
    }
    t.add(kMessageText, u"Static", SS_LEFT | SS_NOPREFIX, 7, y, 216, 9);
    y += rowHeight;
    t.add(IDOK, u"Button", BS_DEFPUSHBUTTON | WS_TABSTOP, 115, y, 50, 14, kOkText);
    t.add(IDCANCEL, u"Button", BS_PUSHBUTTON | WS_TABSTOP, 173, y, 50, 14, kCancelText);
    y += 14 + 7;
    t.setHeight(y);
    if (!t.ok()) return false;

    PasswordState state{&archive, &entry, confirm, ""};
    INT_PTR answer = DialogBoxIndirectParamW(ThisModule(), t.get(), nullptr, PasswordProc,
                                             reinterpret_cast<LPARAM>(&state));
    bool given = answer == IDOK;
    if (given) {
        try {
            password = state.password;
        } catch (const std::bad_alloc&) {
            given = false;
        }
    }
    SecureZeroMemory(state.password, sizeof state.password);
    return given;
}

// ---- Overwrite ---------------------------------------------------------------------------

namespace {

struct OverwriteState {
    const std::string* archive;
    const std::string* entry;
};

INT_PTR CALLBACK OverwriteProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<OverwriteState*>(lParam);
        SetDlgItemTextA(dialog, kArchiveText, state->archive->c_str());
        SetItemUtf8(dialog, kEntryText, *state->entry);
        return TRUE;  // the focus goes to the default button
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
        case kSkipButton:
        case kOverwriteAllButton:
        case kSkipAllButton: EndDialog(dialog, LOWORD(wParam)); return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

OverwriteAnswer AskOverwrite(Dll, const std::string& archive, const std::string& entry) {
    DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER |
                         DS_SETFOREGROUND,
                     290, 82, kOverwriteCaption);
    t.add(kMessageText, u"Static", SS_LEFT | SS_NOPREFIX, 7, 8, 276, 9, kOverwriteQuestion);
    t.add(kNoId, u"Static", SS_LEFT, 7, 24, 38, 9, kArchiveLabel);
    t.add(kArchiveText, u"Static", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 46, 24, 237, 9);
    t.add(kNoId, u"Static", SS_LEFT, 7, 38, 38, 9, kEntryLabel);
    t.add(kEntryText, u"Static", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 46, 38, 237, 9);
    const short y = 58;
    t.add(IDOK, u"Button", BS_DEFPUSHBUTTON | WS_TABSTOP, 7, y, 44, 14, kOverwriteText);
    t.add(static_cast<WORD>(kSkipButton), u"Button", BS_PUSHBUTTON | WS_TABSTOP, 55, y, 44, 14,
          kSkipText);
    t.add(static_cast<WORD>(kOverwriteAllButton), u"Button", BS_PUSHBUTTON | WS_TABSTOP, 103, y,
          58, 14, kOverwriteAllText);
    t.add(static_cast<WORD>(kSkipAllButton), u"Button", BS_PUSHBUTTON | WS_TABSTOP, 165, y, 58,
          14, kSkipAllText);
    t.add(IDCANCEL, u"Button", BS_PUSHBUTTON | WS_TABSTOP, 227, y, 56, 14, kCancelText);
    // A dialog that cannot be shown replaces nothing: the file stays as it is.
    if (!t.ok()) return OverwriteAnswer::skip;
    OverwriteState state{&archive, &entry};
    INT_PTR answer = DialogBoxIndirectParamW(ThisModule(), t.get(), nullptr, OverwriteProc,
                                             reinterpret_cast<LPARAM>(&state));
    switch (answer) {
    case IDOK: return OverwriteAnswer::overwrite;
    case kOverwriteAllButton: return OverwriteAnswer::overwriteAll;
    case kSkipAllButton: return OverwriteAnswer::skipAll;
    case IDCANCEL: return OverwriteAnswer::cancel;
    default: return OverwriteAnswer::skip;
    }
}

}  // namespace standin
