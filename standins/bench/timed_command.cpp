// Runs one command text through a stand-in DLL and says how long the call took:
//   standin_timed <dll path> <export> <file holding the command text>
// prints "result <code> seconds <wall> cpu <user+kernel>" on one line, after a line
// "message <text>" for each message box the DLL showed (answered at once, so that a run
// that fails ends instead of waiting for a person). Loading the DLL and
// Wine's own start are outside the measured span, so the figure is the archiver's work as
// Zibrak, which keeps its DLLs loaded, would see it. The exit code is the DLL's result, or
// 100 when the call cannot be made.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "standins/core/formats.h"

namespace {

// User plus kernel time of this process so far, in seconds.
double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& t) {
        ULARGE_INTEGER v;
        v.LowPart = t.dwLowDateTime;
        v.HighPart = t.dwHighDateTime;
        return static_cast<double>(v.QuadPart) / 1e7;  // 100 ns units
    };
    return seconds(kernel) + seconds(user);
}

// The stand-ins tell of a failure in a message box on the calling thread; their progress
// window is a dialog too, but one with a progress bar.
struct BoxSearch {
    DWORD process;
    HWND box = nullptr;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner == search->process && IsWindowVisible(window) && strcmp(name, "#32770") == 0 &&
        !FindWindowExA(window, nullptr, "msctls_progress32", nullptr)) {
        search->box = window;
        return FALSE;
    }
    return TRUE;
}

// The texts of a message box's static controls (its icon's has none).
std::string BoxText(HWND box) {
    std::string text;
    for (HWND child = FindWindowExA(box, nullptr, "Static", nullptr); child;
         child = FindWindowExA(box, child, "Static", nullptr)) {
        char buffer[1024] = {};
        GetWindowTextA(child, buffer, sizeof buffer);
        if (*buffer) text += (text.empty() ? "" : " ") + std::string(buffer);
    }
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

// Answers every message box of this process until stop is set, keeping their texts.
void AnswerMessageBoxes(const std::atomic<bool>& stop, std::vector<std::string>& texts) {
    while (!stop) {
        BoxSearch search{GetCurrentProcessId()};
        EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
        if (search.box) {
            texts.push_back(BoxText(search.box));
            // WM_CLOSE ends an MB_OK box as its button would.
            PostMessageA(search.box, WM_CLOSE, 0, 0);
            Sleep(200);  // let it go before looking again
        }
        Sleep(50);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: standin_timed <dll> <export> <command file>\n");
        return 100;
    }
    std::string text;
    if (!standin::ReadWholeFile(argv[3], text)) {
        fprintf(stderr, "cannot read %s\n", argv[3]);
        return 100;
    }
    // The file keeps the text's quotes and Shift-JIS bytes; only a final line break goes.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module) {
        fprintf(stderr, "cannot load %s\n", argv[1]);
        return 100;
    }
    using CommandFn = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
    FARPROC found = GetProcAddress(module, argv[2]);
    auto command = reinterpret_cast<CommandFn>(reinterpret_cast<void*>(found));
    if (!command) {
        fprintf(stderr, "no export %s\n", argv[2]);
        FreeLibrary(module);
        return 100;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double cpuBefore = ProcessCpuSeconds();
    QueryPerformanceCounter(&start);
    // Zibrak passes no window, no output buffer and size 0.
    std::atomic<bool> stop{false};
    std::vector<std::string> messages;
    std::thread watcher(AnswerMessageBoxes, std::cref(stop), std::ref(messages));
    int result = command(nullptr, text.c_str(), nullptr, 0);
    QueryPerformanceCounter(&end);
    // Wine counts in 10 ms steps; a short call may show none, never less.
    double cpu = std::max(0.0, ProcessCpuSeconds() - cpuBefore);
    stop = true;
    watcher.join();
    for (const std::string& message : messages) printf("message %s\n", message.c_str());
    double wall = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    printf("result %d seconds %.6f cpu %.6f\n", result, wall, cpu);
    fflush(stdout);
    FreeLibrary(module);
    return result;
}
