// Any input through the LZX encoder and back through libarchive's decoder must come out
// unchanged. The first byte picks the window (15-21 bits), the rest is the data.
#include <cstdlib>

#include "standins/codecs/tests/cab_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int windowBits = 15 + data[0] % 7;
    std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string back, error;
    if (!lzx_test::ReadCabinet(lzx_test::MakeCabinet(input, windowBits), back, error) ||
        back != input)
        abort();
    return 0;
}
