// The level-2 header the LZH writer puts before each entry, open for the tests that check
// its bytes with sizes no test could afford to write.
#pragma once
#include <cstdint>
#include <string>

#include "standins/core/formats.h"

namespace standin {

// LZH headers hold 32-bit sizes; an entry past them carries both sizes again, as 64-bit
// values, in the extended header 0x42 (Unlha32's extension, which libarchive reads).
const uint64_t kLargestNarrowEntry = 0xFFFFFFFFu;

// What a header says about the data after it.
struct LzhFacts {
    const char* method = "-lh0-";  // "-lh0-", "-lh5-"... or "-lhd-" for a folder
    uint64_t packedSize = 0;
    uint64_t originalSize = 0;
    uint16_t crc = 0;
    // Carries the 0x42 header; the 32-bit fields then hold the sizes' low parts. Decided
    // before the data is written: the header's length must not change when it is patched.
    bool wide = false;
};

// One level-2 header for item. Its length depends only on the item's name and on wide, so
// the header written before the data can be patched in place once the facts are known.
// False when the name is empty or too long for the header, or when a size passes 32 bits
// and wide is not set.
bool BuildLzhHeader(const Item& item, const LzhFacts& facts, std::string& header);

}  // namespace standin
