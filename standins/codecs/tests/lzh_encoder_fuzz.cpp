// Encodes the input with the LZH encoder and decodes it with libarchive: the two must agree.
// The first byte picks the method and, with its top two bits set, has the rest repeated
// (a byte changed in each copy) past the encoder's buffer, a window and 256 KiB ahead of
// it, so that the buffer slides.
#include "standins/codecs/lzh_encoder.h"
#include "standins/codecs/tests/lzh_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const standin::LzhMethod methods[] = {standin::LzhMethod::Lh5, standin::LzhMethod::Lh6,
                                          standin::LzhMethod::Lh7};
    const size_t windows[] = {8192, 32768, 65536};
    standin::LzhMethod method = methods[data[0] % 3];
    std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    if ((data[0] & 0xC0) == 0xC0 && !input.empty()) {
        std::string piece = input;
        for (unsigned copy = 1; input.size() < (1u << 18) + 2 * windows[data[0] % 3] + 8192; ++copy) {
            piece[copy * 7919 % piece.size()] ^= static_cast<char>(copy);
            input += piece;
        }
    }
    std::string archive = lzh_test::LzhArchive({{"fuzz.bin", method, input}});
    std::vector<std::string> contents;
    std::string error;
    if (!lzh_test::ReadWithLibarchive(archive, contents, error) || contents.size() != 1 ||
        contents[0] != input)
        abort();
    return 0;
}
