// The LZH encoder for -lh5-, -lh6- and -lh7- entries: LZSS over a sliding window, then
// static Huffman blocks with their three trees, as LHA writes them. Pure code over the
// codecs' streams; the archive writer puts the header around what it produces.
#pragma once
#include "standins/codecs/stream.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace standin {

// The three methods differ only in their window: 8, 32 and 64 KiB.
enum class LzhMethod { Lh5, Lh6, Lh7 };

enum class LzhStatus {
    Ok,
    SourceFailed,  // the source reported a read error
    SinkRefused,   // the sink refused bytes
    OverLimit,     // the packed data would pass the caller's limit: store the entry instead
};

struct LzhResult {
    LzhStatus status = LzhStatus::Ok;
    uint64_t originalSize = 0;  // bytes read from the source
    uint64_t packedSize = 0;    // bytes given to the sink
    uint16_t crc = 0;           // lha's CRC-16 of the bytes read (the header's CRC)
};

// "-lh5-", "-lh6-" or "-lh7-": the method field of the entry's header.
const char* LzhMethodId(LzhMethod method);

// lha's CRC-16 (polynomial 0xA001, reflected, starting at 0), continued from crc.
uint16_t LzhCrc16(const void* data, size_t size, uint16_t crc = 0);

// Reads the source to its end and writes the packed data to the sink, block by block, with
// memory bounded by the window whatever the input's size. Stops as soon as the packed size
// would pass packedLimit (the sink then never holds more than packedLimit bytes, but the
// caller must discard what it did receive). On a failure the sizes and CRC cover what was
// done so far.
LzhResult EncodeLzh(LzhMethod method, ByteSource& source, ByteSink& sink,
                    uint64_t packedLimit = UINT64_MAX);

// The same over bytes in memory, for tests and small inputs.
std::string EncodeLzh(LzhMethod method, const void* data, size_t size);

// The Huffman code lengths the blocks use, open for tests: those of a complete prefix code
// for freq[0..n) with none longer than 16 bits (the longest code LHA's decoders accept),
// 0 for symbols that never occur. Returns how many symbols occur.
int BuildLzhCodeLengths(const uint32_t* freq, int n, uint8_t* len);

}  // namespace standin
