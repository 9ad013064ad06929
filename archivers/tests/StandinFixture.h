// What the archiver tests share: the stand-in DLLs copied into a folder the loader searches,
// the journal the stand-ins write, the chain built and destroyed around one test, and a
// private temporary folder for the self-extracting road.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>

#include "archivers/Chain.h"
#include "tests/support/TestFiles.h"

namespace archiver_tests {

using testing_support::StandinDir;
// Copies each named DLL from `from` (relative to StandinDir()) into folder.
bool InstallStandins(const std::string& folder, std::initializer_list<const char*> names,
                     const std::string& from = std::string());

// All seven archiver DLLs and Zcrypt32.dll.
extern const std::initializer_list<const char*> kAllStandins;

// Points ARCHIVER_JOURNAL at a fresh file for its lifetime.
class Journal {
public:
    Journal();
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    std::string read() const;  // everything written so far; empty when nothing was
    void clear();

    // One journal line as the stand-ins write it.
    static std::string Line(const char* dll, const char* entry, const std::string& argument);

private:
    testing_support::TempDir dir_;
    std::string path_;
};

// Builds the chain with the DLLs found in folder and destroys it at the end.
class ChainScope {
public:
    explicit ChainScope(const std::string& folder);
    ~ChainScope();
    ChainScope(const ChainScope&) = delete;
    ChainScope& operator=(const ChainScope&) = delete;

    // The archiver at 1-based place in the chain, or nullptr.
    Archiver* at(int place) const;
    DllArchiver* dllAt(int place) const { return static_cast<DllArchiver*>(at(place)); }
};

// Points TMP and TEMP at folder for its lifetime.
class TempFolderScope {
public:
    explicit TempFolderScope(const std::string& folder);
    ~TempFolderScope();
    TempFolderScope(const TempFolderScope&) = delete;
    TempFolderScope& operator=(const TempFolderScope&) = delete;

private:
    std::string oldTmp_;
    std::string oldTemp_;
};

// The names in folder, sorted, without "." and "..".
std::string ListFolder(const std::string& folder);

}  // namespace archiver_tests
