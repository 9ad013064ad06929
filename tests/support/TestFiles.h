// Real files and folders for tests: a private temporary folder that is removed with
// everything in it when the test ends, and small whole-file helpers.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

class TempDir {
public:
    TempDir();                        // a new empty folder below %TEMP%
    ~TempDir();                       // removes it recursively
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing separator.
    const std::string& path() const { return path_; }
    // path() + "\\" + name.
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Makes folder the current directory for its lifetime, then puts the old one back.
class CurrentFolderScope {
public:
    explicit CurrentFolderScope(const std::string& folder);
    ~CurrentFolderScope();
    CurrentFolderScope(const CurrentFolderScope&) = delete;
    CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;
    bool changed() const { return changed_; }

private:
    std::string previous_;
    bool changed_;
};

bool WriteTextFile(const std::string& path, const std::string& bytes);
bool ReadTextFile(const std::string& path, std::string& bytes);
bool MakeDir(const std::string& path);
bool FileExists(const std::string& path);   // a file or a folder
bool IsDirectory(const std::string& path);
void RemoveTree(const std::string& path);   // a file, or a folder with all it holds
// Reads an environment variable; empty when it is not set.
std::string GetEnv(const char* name);
// A Linux path as Wine shows it (the Linux tree is drive Z:); other paths unchanged.
std::string WindowsPathOf(std::string path);
// A shell drop of these (ANSI) names, as Explorer hands one to a window with WM_DROPFILES;
// whoever takes it releases it with DragFinish.
HDROP MakeDrop(const std::vector<std::string>& names);
// The folder of the built stand-in archiver DLLs (ZIBRAK_STANDIN_DIR, set by CTest).
std::string StandinDir();

}  // namespace testing_support
