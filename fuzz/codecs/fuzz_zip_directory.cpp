// Walks a ZIP archive's central directory and finds each entry's data; Deflate64 entries
// are decoded as the stand-in would. The whole directory is also read in one pass, sorted and
// checked for overlaps, as UnZip32 does before extracting.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "standins/codecs/deflate64.h"
#include "standins/codecs/zip_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    standin::MemoryRandomAccess archive(data, size);
    {
        standin::ZipDirectory directory(archive);
        if (directory.open() != standin::CodecStatus::ok) return 0;
        std::vector<standin::ZipSpan> spans;
        standin::ReadZipSpans(directory, spans);
        size_t overlapping =
            standin::CountOverlapping(spans, directory.directoryStart(), directory.directoryEnd());
        if (overlapping > spans.size()) __builtin_trap();
        for (size_t i = 0; i < spans.size(); ++i) {
            const standin::ZipSpan& span = spans[i];
            if (span.end < span.entry.localHeaderOffset) __builtin_trap();
            if (span.located && span.end > size) __builtin_trap();
            if (i > 0 && spans[i - 1].entry.localHeaderOffset > span.entry.localHeaderOffset)
                __builtin_trap();
        }
    }
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
