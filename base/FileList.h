// FileList: the ordered paths of one job, each with the file's name as stored on disk.
// Grows 20, 40, 80, ... entries; never copied.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "base/StrBuf.h"

class FileList {
public:
    FileList() = default;
    virtual ~FileList() = default;
    FileList(const FileList&) = delete;
    FileList& operator=(const FileList&) = delete;

    void clear();
    // Appends the directory part of path as given, followed by the found long name.
    void add(const char* path);
    // One add per token that does not begin with '-' or '/'.
    void fillFromCommandLine(const char* text);
    // One add per dropped file; releases the drop handle.
    void fillFromDrop(HDROP drop);

    int32_t count() const { return count_; }
    int32_t capacity() const { return capacity_; }
    const StrBuf& at(int32_t index) const { return items_[index]; }

private:
    std::unique_ptr<StrBuf[]> items_;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
};
