// FileList: the ordered paths of one job, each with the file's name as stored on disk.
// Grows 20, 40, 80, ... entries; never copied.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/StrBuf.h"
#include "base/WideNames.h"

class FileList {
public:
    FileList() = default;
    virtual ~FileList() = default;
    FileList(const FileList&) = delete;
    FileList& operator=(const FileList&) = delete;

    void clear();
    // Appends the directory part of path as given, followed by the found long name.
    void add(const char* path);
    // A path as Windows gives it in UTF-16. One the code page holds is added as add adds
    // it. In one it does not hold, each component that does not fit is given by its 8.3
    // alias, the only spelling under which this program opens the file, and an alias in
    // the last place is kept rather than looked up (FindFirstFileA would give its long
    // name back in a spelling that opens nothing). Without an alias nothing is added and
    // the path goes to refused(). lookup stands in for GetShortPathNameW in tests.
    void addWide(const WideText& path, ShortPathLookup lookup = GetShortPathNameW);
    // One add per token that does not begin with '-' or '/'.
    void fillFromCommandLine(const char* text);
    // The same over the UTF-16 argument text, one addWide per token.
    void fillFromCommandLine(const WCHAR* text);
    // One addWide per dropped file; releases the drop handle.
    void fillFromDrop(HDROP drop);

    int32_t count() const { return count_; }
    int32_t capacity() const { return capacity_; }
    const StrBuf& at(int32_t index) const { return items_[index]; }
    // The entry with the file's long name in its last place where that place holds an 8.3
    // alias, each character the code page cannot hold written as '_'; otherwise the entry
    // itself. What names an archive of the list.
    std::string longNameAt(int32_t index) const;
    // The paths given that the code page cannot hold and that have no 8.3 alias, in order.
    const std::vector<WideText>& refused() const { return refused_; }

private:
    void append(const std::string& entry);

    std::unique_ptr<StrBuf[]> items_;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
    std::map<int32_t, std::string> longNames_;  // by index, only entries ending in an alias
    std::vector<WideText> refused_;
};
