// The self-extracting programs the stand-ins write and run.
#pragma once
#include <cstddef>
#include <string>

namespace standin {

// The self-extracting program: the stub, the archive, then a trailer of the archive's
// offset (8 bytes, little-endian) and kSfxMagic.
extern const char kSfxMagic[8];
const size_t kSfxTrailerSize = 16;
// Both copy in pieces, so an archive of any size costs the memory of a small one.
bool WriteSfx(const std::string& archive, const std::string& program);
// Copies the archive appended to program into the file archive; false when it carries none
// or the copy fails (no file archive is then left).
bool CopySfxPayload(const std::string& program, const std::string& archive);

}  // namespace standin
