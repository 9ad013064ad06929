// What the benchmark's Windows programs share: the clock, child processes, files.
#pragma once
#include <windows.h>

#include <string>

// Seconds on the performance counter.
double NowSeconds();

// A started child. Owns both handles; the process is not waited for on destruction.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // commandLine as CreateProcessA takes it; the child inherits this process's environment.
    bool Start(const std::string& commandLine);
    // False when the process has not ended within the time given.
    bool WaitForExit(DWORD milliseconds, DWORD& exitCode);
    // Asks every top-level window of the process to close; ends the process by force when
    // it is still running after the time given.
    void Close(DWORD milliseconds);
    // Ends the process at once and waits until it is gone.
    void Terminate();
    HANDLE process() const { return info_.hProcess; }
    DWORD id() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_ = {};
};

// Runs commandLine to its end; false when it could not start or ran longer than a minute
// and a half. seconds holds the wall time from just before the start to the end.
bool RunTimed(const std::string& commandLine, double& seconds, DWORD& exitCode);

// Deletes a file, or a folder with everything below it. True when nothing is left.
bool RemoveTree(const std::string& path);
bool PathIsThere(const std::string& path);
// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& text);
bool WriteWholeFile(const std::string& path, const std::string& text);
// The folder of this program, with its trailing '\\'.
std::string ProgramFolder();
