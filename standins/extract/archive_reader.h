// Owns a libarchive reader, so that every way out of a walk frees it.
#pragma once
#include <archive.h>

namespace standin {

class ArchiveReader {
public:
    ArchiveReader() : a_(archive_read_new()) {}
    ~ArchiveReader() {
        if (a_) archive_read_free(a_);
    }
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;
    struct archive* get() const { return a_; }

private:
    struct archive* a_;
};

}  // namespace standin
