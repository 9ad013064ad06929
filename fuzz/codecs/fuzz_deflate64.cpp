// Decodes the input as a raw Deflate64 stream. The first two bytes choose the output limit
// (1 to 65536 bytes), so the limit's edge is fuzzed along with the data and a bomb stays
// quick.
#include <cstddef>
#include <cstdint>

#include "standins/codecs/deflate64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    uint64_t limit = static_cast<uint64_t>(data[0] | data[1] << 8) + 1;
    standin::MemorySource source(data + 2, size - 2);
    standin::CountingSink sink;
    uint64_t written = 0;
    standin::inflate64(source, sink, limit, &written);
    if (written != sink.total || written > limit) __builtin_trap();
    return 0;
}
