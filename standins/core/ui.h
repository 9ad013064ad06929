// The windows a stand-in shows of its own. Zibrak passes no window and never looks at a
// command's result, so a stand-in tells the user itself when something fails, shows its
// progress when the work takes a while, and asks for a password when it needs one.
// Every window is modal to the calling thread (its other top-level windows are disabled for
// the command's length), and none is topmost.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "standins/core/identity.h"

namespace standin {

// Holds one command of a DLL. Only one runs at a time: a command that arrives while another
// is running (another thread, or a message pumped by a progress window) gets entered() false
// and is answered with kErrorAlreadyRunning. While held, the calling thread's other enabled
// top-level windows are disabled; they are enabled again when the scope ends.
class CommandScope {
public:
    explicit CommandScope(Dll dll);
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;
    bool entered() const { return entered_; }

private:
    // Window handles are kept as void* so that this header stays free of <windows.h>.
    Dll dll_;
    bool entered_ = false;
    std::vector<void*> disabled_;  // the windows this scope disabled, to enable again
    void* active_ = nullptr;       // the thread's active window and focus when it began
    void* focus_ = nullptr;
};

// A MessageBoxW with MB_OK, captioned with the DLL's file name ("Unlha32.dll"); text (UTF-8,
// so that names outside the code page show as they are) names the archive, the entry and
// the reason, in Japanese.
void ShowFailure(Dll dll, const std::string& text);

// The progress window of one extraction or compression: a dialog (#32770) with the archive,
// the current entry, a msctls_progress32 bar and a Cancel button. It appears only once the
// work has lasted about half a second, and goes when the object does. Used on the thread
// that made it, which owns the window.
class Progress {
public:
    Progress(Dll dll, const std::string& archive);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    // Reports the current entry and how far the work is (total 0: unknown); pumps the
    // thread's messages, dropping input meant for disabled windows. False once the user has
    // cancelled (the button, Esc or the close box) or the thread was asked to quit (the quit
    // stays queued): the caller stops cleanly. entry is UTF-8.
    bool update(const std::string& entry, uint64_t done, uint64_t total);
    bool cancelled() const { return cancelled_; }

private:
    struct Window;
    Window* window_ = nullptr;
    Dll dll_;
    std::string archive_;
    uint32_t startTick_ = 0;
    bool cancelled_ = false;
};

// Asks for a password in a dialog of the DLL's own, whose masked Edit controls are its
// direct children and whose OK button is IDOK. confirm adds a second field that must match.
// False when the user cancels (password is then empty). entry is UTF-8.
bool AskPassword(Dll dll, const std::string& archive, const std::string& entry, bool confirm,
                 std::string& password);

// What the user says of a file the extraction would replace.
enum class OverwriteAnswer { overwrite, skip, overwriteAll, skipAll, cancel };

// Asks whether the existing file entry (UTF-8) is to be replaced, in a dialog of the DLL's
// own: "上書き" (IDOK), "スキップ" (kSkipButton), "すべて上書き" (kOverwriteAllButton),
// "すべてスキップ" (kSkipAllButton) and Cancel (IDCANCEL, which stops the command).
const int kSkipButton = 120;
const int kOverwriteAllButton = 121;
const int kSkipAllButton = 122;
OverwriteAnswer AskOverwrite(Dll dll, const std::string& archive, const std::string& entry);

}  // namespace standin
