// Walks an ARJ archive and decodes every entry into a sink that keeps only a count, so the
// walk after a failed entry is exercised too.
#include <cstddef>
#include <cstdint>

#include "standins/codecs/arj_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    standin::MemorySource source(data, size);
    standin::ArjReader reader(source);
    if (reader.open() != standin::CodecStatus::ok) return 0;
    standin::ArjEntry entry;
    for (int entries = 0; entries < 10000; ++entries) {
        if (reader.next(entry) != standin::CodecStatus::ok) break;
        standin::CountingSink sink(4u << 20);  // refuses the rest of a bomb, as a full disk would
        standin::CodecStatus status = reader.extract(sink);
        if (status == standin::CodecStatus::ok && sink.total != entry.originalSize)
            __builtin_trap();  // an entry reported whole must be exactly its size
    }
    return 0;
}
