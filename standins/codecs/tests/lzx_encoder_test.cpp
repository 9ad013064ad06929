// The LZX encoder's frames, wrapped in a cabinet, read back by Linux's libarchive.
#include <gtest/gtest.h>

#include <random>

#include "standins/codecs/tests/cab_memory.h"

namespace {

std::string RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(random());
    return s;
}

// Text-like data: words drawn from a small vocabulary, so matches near and far abound.
std::string Words(size_t size, uint32_t seed) {
    static const char* kWords[] = {"archive ", "folder ", "cabinet ", "window ", "frame ",
                                   "offset ", "\r\n", "表示 ", "圧縮 ", "the ", "a ", "of "};
    std::mt19937 random(seed);
    std::string s;
    while (s.size() < size) s += kWords[random() % (sizeof kWords / sizeof *kWords)];
    s.resize(size);
    return s;
}

void ExpectRoundTrip(const std::string& data, int windowBits = 21) {
    std::string back, error;
    ASSERT_TRUE(lzx_test::ReadCabinet(lzx_test::MakeCabinet(data, windowBits), back, error))
        << error << " (" << data.size() << " bytes)";
    ASSERT_EQ(back.size(), data.size());
    EXPECT_TRUE(back == data);
}

size_t PackedSize(const std::string& data) {
    std::string frames;
    std::vector<uint16_t> sizes;
    standin::EncodeLzxFolder(reinterpret_cast<const uint8_t*>(data.data()), data.size(), 21,
                             frames, sizes);
    return frames.size();
}

TEST(LzxEncoder, SmallInputs) {
    ExpectRoundTrip(std::string());  // a folder of no frames
    ExpectRoundTrip(std::string(1, 'x'));
    ExpectRoundTrip("ab");
    ExpectRoundTrip("abcabcabcabcabcabc");
    ExpectRoundTrip(std::string(1, '\0'));
}

TEST(LzxEncoder, RunsLongerThanTheWindow) {
    // A window of 32 KiB, a run of 100 KiB: every match is cut by the frame and the window.
    ExpectRoundTrip(std::string(100000, 'a'), 15);
    std::string run(3 << 20, 'z');
    ExpectRoundTrip(run);
    EXPECT_LT(PackedSize(run), run.size() / 100);
}

TEST(LzxEncoder, RepeatedOffsets) {
    // Records of one shape with a changing field: matches at the same distances again and
    // again, which the repeated-offset slots carry.
    std::string data;
    for (int i = 0; i < 20000; ++i) data += "record=" + std::to_string(i % 97) + ";value=xyz;";
    ExpectRoundTrip(data);
}

TEST(LzxEncoder, MatchesAcrossFrames) {
    // The same 50 000 random bytes twice: the second copy lies over a frame boundary and
    // reaches back across several frames.
    std::string half = RandomBytes(50000, 7);
    std::string data = half + half + half.substr(0, 40000);
    ExpectRoundTrip(data);
    EXPECT_LT(PackedSize(data), half.size() + half.size() / 10);
}

TEST(LzxEncoder, IncompressibleDataIsStored) {
    std::string noise = RandomBytes(200001, 3);  // odd: the last stored frame is padded
    ExpectRoundTrip(noise);
    EXPECT_LT(PackedSize(noise), noise.size() + noise.size() / 100);
}

TEST(LzxEncoder, MixedFourMegabytes) {
    std::string data;
    for (uint32_t part = 0; data.size() < (4u << 20); ++part) {
        data += part % 3 == 2 ? RandomBytes(70000, part) : Words(300000, part);
    }
    ExpectRoundTrip(data);
}

TEST(LzxEncoder, EveryWindowSize) {
    std::string data = Words(300000, 11) + RandomBytes(5000, 1) + Words(100000, 11);
    for (int bits = 15; bits <= 21; ++bits) ExpectRoundTrip(data, bits);
}

TEST(LzxEncoder, TextShrinks) {
    std::string text = Words(1 << 20, 5);
    EXPECT_LT(PackedSize(text), text.size() / 3);
}

TEST(LzxEncoder, PackedDataThenWhatCompresses) {
    // Random frames turn the search sparse. What follows must still find its matches:
    // a repeat of the random block within the sparse stretch, then text, which has to pack
    // about as well as alone once the full search resumes.
    const size_t frame = standin::kLzxFrameSize;
    std::string noise = RandomBytes(6 * frame, 21);
    std::string twice = noise + noise;
    ExpectRoundTrip(twice);
    EXPECT_LT(PackedSize(twice), noise.size() + noise.size() / 10);

    std::string text = Words(8 * frame, 22);
    std::string mixed = noise + text;
    ExpectRoundTrip(mixed);
    size_t textAfterNoise = PackedSize(mixed) - PackedSize(noise);
    EXPECT_LT(textAfterNoise, PackedSize(text) + PackedSize(text) / 50);
}

TEST(LzxEncoder, MatchesAcrossBufferSlides) {
    // The buffer drops whole windows once it holds a window and a megabyte or more ahead;
    // the hash heads are then rebased. A random block repeated after a slide must still be
    // found through them, and every small window must slide cleanly many times.
    std::string block = RandomBytes(150000, 31);
    std::string data = Words((4u << 20) - 100000, 32) + block + Words(1u << 20, 33) + block +
                       Words(300000, 34);
    ExpectRoundTrip(data);
    std::string without = Words((4u << 20) - 100000, 32) + block + Words(1u << 20, 33) +
                          Words(300000, 34);
    EXPECT_LT(PackedSize(data), PackedSize(without) + block.size() / 10);

    std::string small = Words(1u << 20, 35) + block + Words(1u << 20, 36) + block;
    for (int bits : {15, 16, 18}) ExpectRoundTrip(small, bits);
}

TEST(MszipEncoder, RoundTripsAndUsesThePreviousFrame) {
    ExpectRoundTrip("x", 0);
    ExpectRoundTrip(RandomBytes(70001, 9), 0);
    // Frame two repeats the second half of frame one, which it can reach only through the
    // dictionary: it then costs next to nothing.
    std::string half = RandomBytes(standin::kLzxFrameSize / 2, 4);
    std::string data = RandomBytes(standin::kLzxFrameSize / 2, 5) + half + half + half;
    ExpectRoundTrip(data, 0);
    EXPECT_LT(lzx_test::MakeCabinet(data, 0).size(), 2 * half.size() + half.size() / 10);
}

}  // namespace
