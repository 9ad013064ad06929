// Finding and reading the archive a self-extracting program carries, and the temporary file
// it is copied to. Apart from the writing side, so that the stub links no archive writer.
#include <windows.h>

#include <cstring>

#include "standins/sfx/sfx.h"
#include "standins/core/file_streams.h"

namespace standin {

const char kSfxMagic[8] = {'Z', 'B', 'S', 'F', 'X', 0, 0, 1};

bool FindSfxPayload(const std::string& program, uint64_t& offset, uint64_t& size) {
    FileInput self(program);
    unsigned char trailer[kSfxTrailerSize];
    if (!self.valid() || self.size() < kSfxTrailerSize ||
        !self.readAt(self.size() - kSfxTrailerSize, trailer, kSfxTrailerSize) ||
        memcmp(trailer + 8, kSfxMagic, sizeof kSfxMagic) != 0)
        return false;
    uint64_t at = 0;
    for (int i = 7; i >= 0; --i) at = (at << 8) | trailer[i];
    uint64_t end = self.size() - kSfxTrailerSize;
    if (at >= end) return false;
    offset = at;
    size = end - at;
    return true;
}

bool CopySfxPayload(const std::string& program, const std::string& archive) {
    uint64_t offset = 0, size = 0;
    if (!FindSfxPayload(program, offset, size)) return false;
    FileInput self(program);
    if (!self.valid() || self.size() < offset + size) return false;  // changed meanwhile
    RangeSource payload(self, offset, size);
    FileHandle out(CreateFileA(archive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) return false;
    std::string piece(1 << 16, '\0');
    uint64_t copied = 0;
    bool ok = true;
    for (;;) {
        size_t got = 0;
        if (!payload.read(&piece[0], piece.size(), got)) ok = false;
        if (!ok || got == 0) break;
        DWORD written = 0;
        ok = WriteFile(out.get(), piece.data(), static_cast<DWORD>(got), &written, nullptr) &&
             written == got;
        copied += got;
    }
    ok = out.close() && ok && copied == size;
    if (!ok) DeleteFileA(archive.c_str());
    return ok;
}

TemporaryFile::TemporaryFile() {
    char dir[MAX_PATH];
    char name[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (n > 0 && n < sizeof dir && GetTempFileNameA(dir, "sfx", 0, name)) path_ = name;
}

TemporaryFile::~TemporaryFile() {
    if (!path_.empty()) DeleteFileA(path_.c_str());
}

}  // namespace standin
