// Answers real windows from a thread of its own, as a person would: waits for a top-level
// window of a class and caption (in any process), reads what it shows, types into its Edit
// controls and presses a button, step after step, and records what it saw.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// The id of a message box's text: its static control has no id of its own.
const int kMessageBoxTextId = 0xFFFF;

struct SeenControl {
    HWND handle = nullptr;
    int id = 0;
    std::string className;  // "Edit", "Button", "Static", "msctls_progress32", ...
    std::string text;
    std::string utf8Text;  // the same read wide, for names beyond the code page
    DWORD style = 0;
    bool directChild = false;  // the window's own child, not a grandchild
};

// A top-level window and its controls (all descendants, in the order Windows lists them).
struct SeenWindow {
    HWND handle = nullptr;
    std::string className;
    std::string caption;
    DWORD style = 0;
    DWORD exStyle = 0;
    bool enabled = false;
    std::vector<SeenControl> controls;

    // The text of the control with this id; empty when there is none.
    std::string text(int id) const;
    const SeenControl* control(int id) const;  // null when there is none
    std::vector<SeenControl> ofClass(const std::string& className) const;
    // Every control's text, one per line: for "the window names the archive" checks.
    std::string allTexts() const;
    bool topmost() const { return (exStyle & WS_EX_TOPMOST) != 0; }
};

// What to do with one window.
struct WindowStep {
    std::string className;            // "#32770" for dialogs and message boxes
    std::string caption;              // the whole caption
    std::vector<std::string> typed;   // put into the Edit controls, in order
    int button = 0;                   // then pressed (WM_COMMAND, BN_CLICKED); 0: none
    // Only a window of this process (GetCurrentProcessId() for the test's own); 0: any.
    // Tests run side by side, and another test's box may carry the same caption.
    DWORD processId = 0;
};

struct WindowVisit {
    SeenWindow before;   // as found
    bool stayed = false; // still shown after the button
    SeenWindow after;    // when it stayed: as it was then
};

class WindowWatcher {
public:
    // Starts watching at once; the steps are carried out in order, each on the first shown
    // window that matches it, within timeoutMs of the start.
    explicit WindowWatcher(std::vector<WindowStep> steps, DWORD timeoutMs = 15000);
    ~WindowWatcher();  // stops watching
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    // True once every step is carried out (or the watcher gave up); does not wait.
    bool finished() const { return WaitForSingleObject(finished_, 0) == WAIT_OBJECT_0; }
    // Waits until the watcher is finished, answering this thread's messages meanwhile (a
    // window of this thread may be the one it acts on); then visits() is complete.
    // True when every step was carried out.
    bool wait();
    // Stops watching at once, whatever steps remain; then visits() is complete.
    void stop();
    const std::vector<WindowVisit>& visits() const { return visits_; }

private:
    void run();

    const std::vector<WindowStep> steps_;
    const DWORD timeoutMs_;
    const DWORD start_;
    HANDLE finished_;
    std::atomic<bool> stop_{false};
    std::vector<WindowVisit> visits_;  // read only once the thread has ended
    std::thread thread_;
};

// The first shown top-level window of this class and caption, in the process processId (0:
// any); null if none.
HWND FindShownWindow(const std::string& className, const std::string& caption,
                     DWORD processId = 0);
// Reads a window and its controls.
SeenWindow ReadWindow(HWND window);
// Every shown top-level window of this class, of any process.
std::vector<HWND> ShownWindowsOf(const std::string& className);
// Presses the button id of window as a click does, and returns once the window has acted.
void PressButton(HWND window, int id);

}  // namespace testing_support
