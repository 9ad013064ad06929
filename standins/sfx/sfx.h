// The self-extracting programs the stand-ins write and run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace standin {

// The self-extracting program: the stub, the archive, then a trailer of the archive's
// offset (8 bytes, little-endian) and kSfxMagic.
extern const char kSfxMagic[8];
const size_t kSfxTrailerSize = 16;
// Both copy in pieces, so an archive of any size costs the memory of a small one.
bool WriteSfx(const std::string& archive, const std::string& program);
// True when program ends with the trailer: a self-extracting program the stand-ins wrote.
// offset and size then say where the archive it carries lies.
bool FindSfxPayload(const std::string& program, uint64_t& offset, uint64_t& size);
// Copies the archive appended to program into the file archive; false when it carries none
// or the copy fails (no file archive is then left).
bool CopySfxPayload(const std::string& program, const std::string& archive);

// A new empty file in the temporary folder, removed when the object goes; path() is empty
// when none could be made.
class TemporaryFile {
public:
    TemporaryFile();
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace standin
