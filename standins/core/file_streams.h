// An owned file handle, and a file as the byte source and the random access the project's
// own decoders read from.
#pragma once
#include <windows.h>

#include <string>

#include "standins/codecs/codec_status.h"
#include "standins/core/names.h"

namespace standin {

class FileHandle {
public:
    explicit FileHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    // CreateFile fails with INVALID_HANDLE_VALUE, other calls with null.
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }
    void reset(HANDLE h) {
        close();
        h_ = h;
    }
    bool close() {
        bool ok = true;
        if (valid()) ok = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

class FileInput : public ByteSource, public RandomAccess {
public:
    explicit FileInput(const std::string& path)
        : file_(CreateFileW(ExtendedAnsiPath(path).data(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
        LARGE_INTEGER size;
        if (valid() && GetFileSizeEx(file_, &size)) size_ = static_cast<uint64_t>(size.QuadPart);
    }
    ~FileInput() override {
        if (valid()) CloseHandle(file_);
    }
    FileInput(const FileInput&) = delete;
    FileInput& operator=(const FileInput&) = delete;
    bool valid() const { return file_ != INVALID_HANDLE_VALUE; }

    bool read(void* buffer, size_t size, size_t& got) override {
        DWORD n = 0;
        got = 0;
        DWORD want = size > (1u << 20) ? (1u << 20) : static_cast<DWORD>(size);
        if (!ReadFile(file_, buffer, want, &n, nullptr)) return false;
        got = n;
        return true;
    }
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* buffer, size_t size) override {
        if (offset > size_ || size > size_ - offset) return false;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) return false;
        char* p = static_cast<char*>(buffer);
        while (size > 0) {
            size_t got = 0;
            if (!read(p, size, got) || got == 0) return false;
            p += got;
            size -= got;
        }
        return true;
    }

private:
    HANDLE file_;
    uint64_t size_ = 0;
};

}  // namespace standin
