#include "bench/BenchProcess.h"

#include "base/Handles.h"

double NowSeconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

ChildProcess::~ChildProcess() {
    if (info_.hThread) CloseHandle(info_.hThread);
    if (info_.hProcess) CloseHandle(info_.hProcess);
}

bool ChildProcess::Start(const std::string& commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::string writable = commandLine;
    return CreateProcessA(nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info_) != FALSE;
}

bool ChildProcess::WaitForExit(DWORD milliseconds, DWORD& exitCode) {
    if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(info_.hProcess, &exitCode);
    return true;
}

namespace {

struct CloseRequest {
    DWORD processId;
};

BOOL CALLBACK CloseIfOwned(HWND window, LPARAM request) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == reinterpret_cast<CloseRequest*>(request)->processId)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

void ChildProcess::Close(DWORD milliseconds) {
    CloseRequest request{info_.dwProcessId};
    EnumWindows(CloseIfOwned, reinterpret_cast<LPARAM>(&request));
    DWORD exitCode = 0;
    if (WaitForExit(milliseconds, exitCode)) return;
    Terminate();
}

void ChildProcess::Terminate() {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, INFINITE);
}

bool RunTimed(const std::string& commandLine, double& seconds, DWORD& exitCode) {
    ChildProcess child;
    const double start = NowSeconds();
    if (!child.Start(commandLine)) return false;
    const bool ended = child.WaitForExit(90000, exitCode);
    seconds = NowSeconds() - start;
    if (!ended) child.Close(1000);
    return ended;
}

bool PathIsThere(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveTree(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileA(path.c_str()) != FALSE;
    }
    WIN32_FIND_DATAA found;
    {
        const FindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
        if (search) {
            do {
                const std::string name = found.cFileName;
                if (name != "." && name != "..") RemoveTree(path + "\\" + name);
            } while (FindNextFileA(search.get(), &found));
        }
    }
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    text.clear();
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char block[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), block, sizeof block, &got, nullptr) && got > 0)
        text.append(block, got);
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

std::string ProgramFolder() {
    char path[MAX_PATH] = "";
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    const size_t separator = folder.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : folder.substr(0, separator + 1);
}
