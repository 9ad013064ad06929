// The bare driver: the least a program must do to run one archiver job. It loads the DLL,
// looks up its command entry and sends the command text, nothing more. A GUI-subsystem
// program like Zibrak.exe, so that the two differ only in what Zibrak does on top.
// Usage: bench_driver.exe COMMAND-FILE, whose three lines are the DLL's file name, the
// entry's name and the command text (as bench_cost writes it from the journal).
#include <windows.h>

#include <string>

#include "bench/BenchProcess.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR argumentText, int) {
    std::string commandFile = argumentText;
    if (commandFile.size() >= 2 && commandFile.front() == '"' && commandFile.back() == '"')
        commandFile = commandFile.substr(1, commandFile.size() - 2);
    std::string contents;
    if (!ReadWholeFile(commandFile, contents)) return 2;
    const size_t first = contents.find('\n');
    const size_t second = first == std::string::npos ? first : contents.find('\n', first + 1);
    if (second == std::string::npos) return 2;
    const std::string dll = contents.substr(0, first);
    const std::string entry = contents.substr(first + 1, second - first - 1);
    std::string text = contents.substr(second + 1);
    if (!text.empty() && text.back() == '\n') text.pop_back();

    // Loaded by bare name from the program's own folder, as Zibrak.exe loads it.
    const HMODULE module = LoadLibraryA(dll.c_str());
    if (module == nullptr) return 3;
    using CommandProc = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
    const auto command = reinterpret_cast<CommandProc>(
        reinterpret_cast<void*>(GetProcAddress(module, entry.c_str())));
    if (command == nullptr) return 3;
    command(nullptr, text.c_str(), nullptr, 0);
    FreeLibrary(module);
    return 0;
}
