// UnZip32.dll's Deflate64 entries, which libarchive refuses: found in the central directory
// by name and decoded by the project's own decoder, size and CRC checked.
#include "standins/codecs/zip_directory.h"
#include "standins/zip/zip.h"
#include "standins/core/file_streams.h"
#include "standins/core/formats.h"

namespace standin {
namespace {

const uint16_t kDeflate64 = 9;

std::string Comparable(const std::string& name) {
    return ReplaceSeparators(name, '\\', '/');
}

}  // namespace

bool DecodeZipRefused(const std::string& archive, const std::string& name, ByteSink& sink,
                      CodecStatus& status) {
    FileInput input(archive);
    if (!input.valid()) return false;
    ZipDirectory directory(input);
    if (directory.open() != CodecStatus::ok) return false;
    const std::string wanted = Comparable(name);
    ZipEntry entry;
    while (directory.next(entry) == CodecStatus::ok) {
        if (entry.method != kDeflate64) continue;
        if (Comparable(StoredNameToAnsi(entry.name, entry.utf8())) != wanted) continue;
        status = directory.extract(entry, sink);
        return true;
    }
    return false;
}

}  // namespace standin
