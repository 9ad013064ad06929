// What the archiver tests share: the chain built from stand-in DLLs copied into a private
// folder, the journal the stand-ins write, and a private temporary folder for the
// self-extracting road.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "archivers/Chain.h"
#include "tests/support/TestFiles.h"

namespace archiver_tests {

using testing_support::FileExists;
using testing_support::MakeDir;
using testing_support::ReadTextFile;
using testing_support::TempDir;
using testing_support::WriteTextFile;

// The DLL at each place of the chain, from place 1.
extern const char* const kChainDlls[7];
// All seven archiver DLLs and Zcrypt32.dll.
extern const std::vector<const char*> kAllStandins;

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
    TempDir dir_;
    std::string path_;
};

// The named stand-ins (from the variant folder `from` below the stand-ins' folder when one
// is given) copied into a folder of their own, and the chain built from them; the chain is
// destroyed at the end.
class ChainScope {
public:
    explicit ChainScope(const std::vector<const char*>& dlls = kAllStandins,
                        const std::string& from = std::string());
    ~ChainScope();
    ChainScope(const ChainScope&) = delete;
    ChainScope& operator=(const ChainScope&) = delete;

    // The archiver at 1-based place in the chain, or nullptr.
    Archiver* at(int place) const;
    // The place of the first archiver that can extract path, as a job looks for it; 0: none.
    int extractorOf(const std::string& path) const;

private:
    TempDir dlls_;
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

// folder's path with the trailing '\\' an archiver's destination has.
StrBuf Destination(const TempDir& folder);
// Adds paths to list in order and returns it.
FileList& Fill(FileList& list, std::initializer_list<std::string> paths);
// A file of size bytes, sparse where the file system allows; false when it refuses.
bool MakeLargeFile(const std::string& path, LONGLONG size);
// The names in folder, sorted, each followed by ';'.
std::string ListFolder(const std::string& folder);

}  // namespace archiver_tests
