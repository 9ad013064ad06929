// Walks a ZIP archive's central directory and finds each entry's data; Deflate64 entries
// are decoded as the stand-in would.
#include <cstddef>
#include <cstdint>

#include "standins/codecs/deflate64.h"
#include "standins/codecs/zip_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    standin::MemoryRandomAccess archive(data, size);
    standin::ZipDirectory directory(archive);
    if (directory.open() != standin::CodecStatus::ok) return 0;
    standin::ZipEntry entry;
    for (int entries = 0; entries < 10000; ++entries) {
        if (directory.next(entry) != standin::CodecStatus::ok) break;
        uint64_t at = 0;
        if (directory.locateData(entry, at) != standin::CodecStatus::ok) continue;
        if (at > size || entry.packedSize > size - at) __builtin_trap();
        if (entry.method != 9) continue;
        standin::RangeSource source(archive, at, entry.packedSize);
        standin::CountingSink sink;
        uint64_t limit = entry.originalSize < (16u << 20) ? entry.originalSize : (16u << 20);
        standin::inflate64(source, sink, limit);
    }
    return 0;
}
