// Runs one command text through a stand-in DLL, for the Linux-side checks:
//   standin_run [--password TEXT] [--dialogs FILE] [--memory] <dll path> <export prefix>
//               <file holding the command text>
// The text is read from a file so that its quotes and Shift-JIS bytes arrive untouched.
// While the command runs, a watcher answers the DLL's own windows as a user would: a
// password dialog gets TEXT (or Cancel without --password), a message box is read and
// closed with OK. --dialogs appends one line per window answered ("caption<TAB>text",
// Shift-JIS as shown); --memory prints the process's peak memory after the call.
// The exit code is the DLL's result (0 on success), or 100 when the call cannot be made.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "standins/formats.h"
#include <atomic>
#include <thread>

namespace {

struct Options {
    std::string password;
    bool answerPassword = false;
    std::string dialogLog;
    bool memory = false;
    const char* dll = nullptr;
    const char* prefix = nullptr;
    const char* commandFile = nullptr;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    int at = 1;
    for (; at < argc && strncmp(argv[at], "--", 2) == 0; ++at) {
        std::string option = argv[at];
        if (option == "--memory") {
            options.memory = true;
        } else if (option == "--password" && at + 1 < argc) {
            options.password = argv[++at];
            options.answerPassword = true;
        } else if (option == "--dialogs" && at + 1 < argc) {
            options.dialogLog = argv[++at];
        } else {
            return false;
        }
    }
    if (argc - at != 3) return false;
    options.dll = argv[at];
    options.prefix = argv[at + 1];
    options.commandFile = argv[at + 2];
    return true;
}

// Answers the DLL's windows from a thread of its own, as a user would.
class Answerer {
public:
    Answerer(const std::string& password, bool answerPassword)
        : password_(password), answerPassword_(answerPassword), thread_([this] { Watch(); }) {}
    ~Answerer() { stop(); }
    // Stops watching; the windows seen, one "caption<TAB>text" line each.
    std::string stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    struct Found {
        HWND window = nullptr;
        HWND last = nullptr;
    };
    static BOOL CALLBACK Visit(HWND window, LPARAM param) {
        auto* found = reinterpret_cast<Found*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char cls[64] = "";
        GetClassNameA(window, cls, sizeof cls);
        if (owner == GetCurrentProcessId() && window != found->last && IsWindowVisible(window) &&
            strcmp(cls, "#32770") == 0 &&
            !FindWindowExA(window, nullptr, "msctls_progress32", nullptr)) {
            found->window = window;
            return FALSE;
        }
        return TRUE;
    }
    void Watch() {
        Found found;
        while (!stop_) {
            found.window = nullptr;
            EnumWindows(Visit, reinterpret_cast<LPARAM>(&found));
            if (!found.window) {
                Sleep(50);
                continue;
            }
            Sleep(200);  // let the window finish creating its controls
            char caption[256] = "";
            GetWindowTextA(found.window, caption, sizeof caption);
            char text[2048] = "";
            GetDlgItemTextA(found.window, 0xFFFF, text, sizeof text);  // a message box's text
            bool asksPassword = FindWindowExA(found.window, nullptr, "Edit", nullptr) != nullptr;
            seen_ += std::string(caption) + "\t" + text + "\n";
            if (asksPassword) {
                for (HWND edit = FindWindowExA(found.window, nullptr, "Edit", nullptr); edit;
                     edit = FindWindowExA(found.window, edit, "Edit", nullptr))
                    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password_.c_str()));
            }
            int button = asksPassword && !answerPassword_ ? IDCANCEL : IDOK;
            PostMessageA(found.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            found.last = found.window;
        }
    }

    std::string password_;
    bool answerPassword_;
    std::atomic<bool> stop_{false};
    std::string seen_;
    std::thread thread_;
};

// Under Wine the peak working set is the Linux process's peak resident size (its private
// counters stay near zero), so that is the figure of memory used.
void PrintPeakMemory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        printf("peak working set %lu KiB\n",
               static_cast<unsigned long>(counters.PeakWorkingSetSize / 1024));
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        fprintf(stderr,
                "usage: standin_run [--password TEXT] [--dialogs FILE] [--memory] "
                "<dll> <prefix> <command file>\n");
        return 100;
    }
    std::string text;
    if (!standin::ReadWholeFile(options.commandFile, text)) {
        fprintf(stderr, "cannot read %s\n", options.commandFile);
        return 100;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    HMODULE module = LoadLibraryA(options.dll);
    if (!module) {
        fprintf(stderr, "cannot load %s\n", options.dll);
        return 100;
    }
    using CommandFn = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
    FARPROC found = GetProcAddress(module, options.prefix);
    auto command = reinterpret_cast<CommandFn>(reinterpret_cast<void*>(found));
    int result = 100;
    if (command) {
        std::string seen;
        {
            // The DLL's windows are modal on this thread, so they are answered from another.
            Answerer answerer(options.password, options.answerPassword);
            char output[1024] = {};
            result = command(nullptr, text.c_str(), output, sizeof output);
            printf("%d %s\n", result, output);
            seen = answerer.stop();
        }
        if (!options.dialogLog.empty()) standin::AppendToFile(options.dialogLog, seen);
        if (options.memory) PrintPeakMemory();
    } else {
        fprintf(stderr, "no export %s\n", options.prefix);
    }
    FreeLibrary(module);
    return result;
}
