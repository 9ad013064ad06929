// Runs one command text through a stand-in DLL, for the Linux-side checks:
//   standin_run <dll path> <export prefix> <file holding the command text>
// The text is read from a file so that its quotes and Shift-JIS bytes arrive untouched.
// The exit code is the DLL's result (0 on success), or 100 when the call cannot be made.
#include <windows.h>

#include <cstdio>
#include <string>

#include "standins/formats.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: standin_run <dll> <prefix> <command file>\n");
        return 100;
    }
    std::string text;
    if (!standin::ReadWholeFile(argv[3], text)) {
        fprintf(stderr, "cannot read %s\n", argv[3]);
        return 100;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module) {
        fprintf(stderr, "cannot load %s\n", argv[1]);
        return 100;
    }
    using CommandFn = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
    FARPROC found = GetProcAddress(module, argv[2]);
    auto command = reinterpret_cast<CommandFn>(reinterpret_cast<void*>(found));
    int result = 100;
    if (command) {
        char output[1024] = {};
        result = command(nullptr, text.c_str(), output, sizeof output);
        printf("%d %s\n", result, output);
    } else {
        fprintf(stderr, "no export %s\n", argv[2]);
    }
    FreeLibrary(module);
    return result;
}
