#include "tests/support/WindowWatcher.h"

#include <utility>
#include <vector>

namespace testing_support {

namespace {

// A thread that does not answer (the test thread waiting for this one, say) must not hang
// the watcher: every message to another window is sent with a time limit.
const UINT kAnswerMs = 5000;
const DWORD kPollMs = 20;

std::string ClassOf(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The caption without sending WM_GETTEXT, so a window whose thread is busy costs nothing.
std::string CaptionOf(HWND window) {
    WCHAR wide[512] = L"";
    int n = InternalGetWindowText(window, wide, 512);
    if (n <= 0) return std::string();
    char text[1024] = "";
    int m = WideCharToMultiByte(CP_ACP, 0, wide, n, text, sizeof text - 1, nullptr, nullptr);
    return std::string(text, m > 0 ? m : 0);
}

// A control's text through WM_GETTEXT, which also reaches into another process.
std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kAnswerMs, &length))
        return std::string();
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                             SMTO_NORMAL, kAnswerMs, &copied))
        return std::string();
    text.resize(copied < length ? copied : length);
    return text;
}

// The same read wide, as UTF-8.
std::string Utf8TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kAnswerMs, &length))
        return std::string();
    std::vector<WCHAR> text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_NORMAL, kAnswerMs, &copied))
        return std::string();
    int n = static_cast<int>(copied < length ? copied : length);
    int m = WideCharToMultiByte(CP_UTF8, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(m > 0 ? m : 0, '\0');
    if (m > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), n, &out[0], m, nullptr, nullptr);
    return out;
}

struct Search {
    const std::string* className;
    const std::string* caption;
    DWORD processId;
    HWND found;
};

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

BOOL CALLBACK VisitTopWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (IsWindowVisible(window) &&
        (search->processId == 0 || ProcessOf(window) == search->processId) &&
        ClassOf(window) == *search->className &&
        CaptionOf(window) == *search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct Reading {
    HWND window;
    std::vector<SeenControl>* controls;
};

BOOL CALLBACK VisitControl(HWND child, LPARAM param) {
    auto* reading = reinterpret_cast<Reading*>(param);
    SeenControl control;
    control.handle = child;
    control.id = GetDlgCtrlID(child);
    control.className = ClassOf(child);
    control.text = TextOf(child);
    control.utf8Text = Utf8TextOf(child);
    control.style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    control.directChild = GetAncestor(child, GA_PARENT) == reading->window;
    reading->controls->push_back(std::move(control));
    return TRUE;
}

BOOL CALLBACK CollectEdit(HWND child, LPARAM param) {
    if (ClassOf(child) == "Edit") reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    return TRUE;
}

void Type(HWND window, const std::vector<std::string>& texts) {
    std::vector<HWND> edits;
    EnumChildWindows(window, CollectEdit, reinterpret_cast<LPARAM>(&edits));
    for (size_t i = 0; i < texts.size() && i < edits.size(); ++i) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(edits[i], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(texts[i].c_str()),
                            SMTO_NORMAL, kAnswerMs, &ignored);
    }
}

struct ClassSearch {
    const std::string* className;
    std::vector<HWND>* found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ClassSearch*>(param);
    if (IsWindowVisible(window) && ClassOf(window) == *search->className)
        search->found->push_back(window);
    return TRUE;
}

}  // namespace

// What a click does: the button tells its dialog. Sent, not posted, so that when it
// returns the dialog has acted on it (and EndDialog has hidden a dialog that ends).
void PressButton(HWND window, int id) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(window, id)), SMTO_NORMAL, kAnswerMs,
                        &ignored);
}

std::vector<HWND> ShownWindowsOf(const std::string& className) {
    std::vector<HWND> found;
    ClassSearch search{&className, &found};
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&search));
    return found;
}

const SeenControl* SeenWindow::control(int id) const {
    for (const SeenControl& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

std::string SeenWindow::text(int id) const {
    const SeenControl* c = control(id);
    return c ? c->text : std::string();
}

std::vector<SeenControl> SeenWindow::ofClass(const std::string& name) const {
    std::vector<SeenControl> found;
    for (const SeenControl& c : controls)
        if (c.className == name) found.push_back(c);
    return found;
}

std::string SeenWindow::allTexts() const {
    std::string all;
    for (const SeenControl& c : controls) all += c.text + "\n";
    return all;
}

HWND FindShownWindow(const std::string& className, const std::string& caption,
                     DWORD processId) {
    Search search{&className, &caption, processId, nullptr};
    EnumWindows(VisitTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

SeenWindow ReadWindow(HWND window) {
    SeenWindow seen;
    seen.handle = window;
    seen.className = ClassOf(window);
    seen.caption = CaptionOf(window);
    seen.style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    seen.exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
    seen.enabled = IsWindowEnabled(window) != FALSE;
    Reading reading{window, &seen.controls};
    EnumChildWindows(window, VisitControl, reinterpret_cast<LPARAM>(&reading));
    return seen;
}

WindowWatcher::WindowWatcher(std::vector<WindowStep> steps, DWORD timeoutMs)
    : steps_(std::move(steps)),
      timeoutMs_(timeoutMs),
      start_(GetTickCount()),
      finished_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      thread_([this] { run(); }) {}

WindowWatcher::~WindowWatcher() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    CloseHandle(finished_);
}

bool WindowWatcher::wait() {
    // The watcher gives up by itself at the deadline; the margin covers one slow answer.
    const DWORD limit = timeoutMs_ + 2 * kAnswerMs;
    for (;;) {
        DWORD spent = GetTickCount() - start_;
        if (spent >= limit) break;
        DWORD woke = MsgWaitForMultipleObjects(1, &finished_, FALSE, limit - spent, QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return visits_.size() == steps_.size();
}

void WindowWatcher::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void WindowWatcher::run() {
    for (const WindowStep& step : steps_) {
        HWND window = nullptr;
        while (!stop_ && GetTickCount() - start_ < timeoutMs_ &&
               !(window = FindShownWindow(step.className, step.caption, step.processId)))
            Sleep(kPollMs);
        if (!window) break;
        WindowVisit visit;
        visit.before = ReadWindow(window);
        Type(window, step.typed);
        if (step.button != 0) PressButton(window, step.button);
        if (IsWindow(window) && IsWindowVisible(window)) {
            visit.stayed = true;
            visit.after = ReadWindow(window);
        }
        visits_.push_back(std::move(visit));
    }
    SetEvent(finished_);
}

}  // namespace testing_support
