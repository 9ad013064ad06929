// What the LZH encoder's tests, fuzz target and benchmark share: a level-2 archive built
// around encoded data, Linux's libarchive reading it back, and generated sample data.
#pragma once
#include "standins/codecs/lzh_encoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lzh_test {

struct Entry {
    std::string name;
    standin::LzhMethod method;
    std::string original;
};

// One level-2 header (with its header CRC) and the packed data.
std::string LzhEntry(const std::string& name, const char* method, const std::string& packed,
                     uint64_t originalSize, uint16_t crc);
// Encodes each entry and lays them out as an archive with its end mark.
std::string LzhArchive(const std::vector<Entry>& entries);

// Reads every entry of an LZH archive with libarchive. False (with error set) when
// libarchive reports a failure; the contents read so far stay in contents.
bool ReadWithLibarchive(const std::string& archive, std::vector<std::string>& contents,
                        std::string& error);

// Sample data of the benchmark's kinds, the same for a given seed.
std::string EnglishText(size_t size, uint32_t seed);
std::string SourceCode(size_t size, uint32_t seed);
std::string RandomBytes(size_t size, uint32_t seed);
// Already compressed data: gzip streams of text and source code, one after another.
std::string CompressedLike(size_t size, uint32_t seed);
// All four kinds, in pieces of varied length, interleaved.
std::string MixedData(size_t size, uint32_t seed);

}  // namespace lzh_test
