// Reading the archive a self-extracting program carries. Apart from the writing side, so that
// the stub links no archive writer.
#include <windows.h>

#include <cstring>

#include "standins/sfx/sfx.h"
#include "standins/core/file_streams.h"

namespace standin {

const char kSfxMagic[8] = {'Z', 'B', 'S', 'F', 'X', 0, 0, 1};

bool CopySfxPayload(const std::string& program, const std::string& archive) {
    FileInput self(program);
    unsigned char trailer[kSfxTrailerSize];
    if (!self.valid() || self.size() < kSfxTrailerSize ||
        !self.readAt(self.size() - kSfxTrailerSize, trailer, kSfxTrailerSize) ||
        memcmp(trailer + 8, kSfxMagic, sizeof kSfxMagic) != 0)
        return false;
    uint64_t offset = 0;
    for (int i = 7; i >= 0; --i) offset = (offset << 8) | trailer[i];
    uint64_t end = self.size() - kSfxTrailerSize;
    if (offset >= end) return false;
    RangeSource payload(self, offset, end - offset);
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
    ok = out.close() && ok && copied == end - offset;
    if (!ok) DeleteFileA(archive.c_str());
    return ok;
}

}  // namespace standin
