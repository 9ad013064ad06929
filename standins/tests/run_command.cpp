// Runs one command text through a stand-in DLL, for the Linux-side checks:
//   standin_run [--password TEXT] [--dialogs FILE] [--utf8-dialogs FILE] [--overwrite ID]
//               [--memory] <dll path> <export prefix> <file holding the command text>
// The text is read from a file so that its quotes and Shift-JIS bytes arrive untouched.
// While the command runs, the tests' window watcher answers the DLL's own windows as a
// user would: a password dialog gets TEXT (or Cancel without --password), the failure box
// (captioned with the DLL's file name) is read and closed with OK. --dialogs appends one
// line per window answered ("caption<TAB>text", Shift-JIS as shown), --utf8-dialogs the
// same read wide, in UTF-8, for names beyond the code page; the question before replacing a
// file is answered with the button ID (1 overwrite, 120 skip, 121 overwrite all, 122 skip
// all, 2 cancel; cancel without --overwrite); --memory prints the process's peak memory
// after the call.
// The exit code is the DLL's result (0 on success), or 100 when the call cannot be made.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "standins/core/formats.h"
#include "standins/core/names.h"
#include "tests/support/WindowWatcher.h"

namespace {

struct Options {
    std::string password;
    bool answerPassword = false;
    std::string dialogLog;
    std::string utf8DialogLog;
    int overwriteButton = IDCANCEL;
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
        } else if (option == "--utf8-dialogs" && at + 1 < argc) {
            options.utf8DialogLog = argv[++at];
        } else if (option == "--overwrite" && at + 1 < argc) {
            options.overwriteButton = atoi(argv[++at]);
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

// The captions of the stand-ins' password dialog and overwrite question.
const char kPasswordCaption[] = "パスワードの入力";
const char kOverwriteCaption[] = "上書きの確認";

// The file name of a DLL path: the caption of its failure box.
std::string FileNameOf(const std::string& path) {
    size_t separator = standin::LastSeparatorIndex(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// One line per window: its caption, a tab, and a message box's text (or all its texts),
// in the code page or, wide, in UTF-8.
void Log(const testing_support::SeenWindow& window, std::string& seen, bool utf8) {
    const testing_support::SeenControl* box = window.control(testing_support::kMessageBoxTextId);
    std::string text;
    if (!utf8) {
        text = box ? box->text : window.allTexts();
    } else if (box) {
        text = box->utf8Text;
    } else {
        for (const testing_support::SeenControl& c : window.controls) text += c.utf8Text + " ";
    }
    std::string line = (utf8 ? standin::AnsiToUtf8(window.caption) : window.caption) + "\t" + text;
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    seen += line + "\n";
}

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
                "usage: standin_run [--password TEXT] [--dialogs FILE] [--utf8-dialogs FILE] "
                "[--overwrite ID] [--memory] "
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
        std::string seen, seenUtf8;
        {
            // The DLL's windows are modal to this thread, so they are answered from others:
            // a few password dialogs (asked again after a wrong password), and the failure box.
            using testing_support::WindowStep;
            const DWORD kWholeRun = 24 * 3600 * 1000;
            const DWORD self = GetCurrentProcessId();  // tests run side by side
            WindowStep password{"#32770", kPasswordCaption, {}, IDCANCEL, self};
            if (options.answerPassword) {
                password.typed = {options.password, options.password};
                password.button = IDOK;
            }
            testing_support::WindowWatcher passwords({password, password, password}, kWholeRun);
            testing_support::WindowWatcher failure(
                {{"#32770", FileNameOf(options.dll), {}, IDOK, self}}, kWholeRun);
            WindowStep question{"#32770", kOverwriteCaption, {}, options.overwriteButton, self};
            testing_support::WindowWatcher questions(std::vector<WindowStep>(50, question),
                                                     kWholeRun);
            char output[1024] = {};
            result = command(nullptr, text.c_str(), output, sizeof output);
            printf("%d %s\n", result, output);
            passwords.stop();
            failure.stop();
            questions.stop();
            for (const auto* watcher : {&passwords, &questions, &failure}) {
                for (const testing_support::WindowVisit& visit : watcher->visits()) {
                    Log(visit.before, seen, false);
                    Log(visit.before, seenUtf8, true);
                }
            }
        }
        if (!options.dialogLog.empty()) standin::AppendToFile(options.dialogLog, seen);
        if (!options.utf8DialogLog.empty())
            standin::AppendToFile(options.utf8DialogLog, seenUtf8);
        if (options.memory) PrintPeakMemory();
    } else {
        fprintf(stderr, "no export %s\n", options.prefix);
    }
    FreeLibrary(module);
    return result;
}
