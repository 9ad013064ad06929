// What the robustness tables share: the job fixture (stand-in chain, scripted person, work
// folder), paths of an exact length made through the wide API, a person who can move the
// file system at the moment a question is asked, and one line that sums up a run.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "jobs/tests/JobFixture.h"
#include "ui/tests/DialogFixture.h"

namespace robustness {

// Where a path or a file list enters the program.
enum class Entry { CommandLine, Drop, WindowDrop };

// The scripted person, with a hook run before each question or chooser is answered: the
// moment at which a test lets the file system change under the job.
class HookedPerson : public testing_support::ScriptedPerson {
public:
    std::function<void()> beforeAnswer;

    int ShowMessage(HWND owner, const char* text, const char* caption, UINT flags) override;
    bool BrowseForFolder(HWND owner, const char* title, UINT flags, char* path) override;
    bool ChooseSaveFile(OPENFILENAMEA& dialog) override;

private:
    void runHook();
};

// Another process (this test program again, running only the holder test below) that
// holds path open for reading and writing with the given share mode until this object
// goes. held() is false when it could not be started or did not open the file.
class HeldByAnotherProcess {
public:
    HeldByAnotherProcess(const std::string& path, DWORD share);
    ~HeldByAnotherProcess();
    HeldByAnotherProcess(const HeldByAnotherProcess&) = delete;
    HeldByAnotherProcess& operator=(const HeldByAnotherProcess&) = delete;
    bool held() const { return held_; }

private:
    HANDLE process_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE release_ = nullptr;
    bool held_ = false;
};

// The stand-in DLLs tell of their own failures in a message box captioned with the DLL's
// name. While a test runs, this answers every such box of the test's process with OK, as a
// person would, and keeps what each said, so that no row waits on a box nobody reads.
class StandinBoxes {
public:
    StandinBoxes();
    ~StandinBoxes();
    StandinBoxes(const StandinBoxes&) = delete;
    StandinBoxes& operator=(const StandinBoxes&) = delete;
    // "<caption>: <text>" of each box answered so far.
    std::vector<std::string> seen() const;

private:
    static BOOL CALLBACK Answer(HWND window, LPARAM self);
    void run();
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> seen_;
    std::thread thread_;
};

class RobustTest : public job_tests::JobTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path of exactly length bytes: folder, a padding part (split into components of at
    // most 200 bytes) and tail (which starts with '\\' or is empty). Its folders are made
    // through the wide API, which has no MAX_PATH limit.
    std::string PathOfLength(const std::string& folder, size_t length, const std::string& tail);
    // Moves a file to a path of any length; the path's folders must exist.
    static bool MoveLong(const std::string& from, const std::string& to);
    // A file or folder at a path of any length.
    static bool ExistsLong(const std::string& path);
    // Removes a file, or a folder and all it holds, at a path of any length.
    static void RemoveLongTree(const std::string& path);
    // The settings window's class and module, as start-up prepares them.
    static void PrepareWindow();

    // Hands files to the program the way entry does and runs the job; the settings window
    // for WindowDrop is created from Options and closed again with Cancel.
    bool Enter(Entry entry, const std::vector<std::string>& files);

    // The captions of the messages shown, then "exit 1" when a chooser ended the process.
    std::string Asked() const;

public:
    HookedPerson hooked;  // the rows' arrangements script it

protected:
    std::unique_ptr<StandinBoxes> standinBoxes;
};

// Everything below folder, sorted: "name;" per file and "name\\;" per empty folder, with
// the path from folder ("sub\\name;"); empty when folder holds nothing.
std::string Tree(const std::string& folder);

// A byte string made of count copies of unit.
std::string Repeat(const std::string& unit, size_t count);

}  // namespace robustness
