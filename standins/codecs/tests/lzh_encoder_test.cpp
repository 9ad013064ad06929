// The LZH encoder against the decoders of others: libarchive in memory, and lhasa and jlha
// on an archive file.
#include "standins/codecs/lzh_encoder.h"
#include "standins/codecs/tests/lzh_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

using standin::LzhMethod;
using standin::LzhStatus;

namespace {

const LzhMethod kMethods[] = {LzhMethod::Lh5, LzhMethod::Lh6, LzhMethod::Lh7};

size_t WindowOf(LzhMethod m) {
    return m == LzhMethod::Lh5 ? 8192 : m == LzhMethod::Lh6 ? 32768 : 65536;
}

// Random bytes with a block repeated at exactly the longest distance the encoder uses.
std::string EdgeMatch(LzhMethod m) {
    std::string block = lzh_test::RandomBytes(4000, 7);
    std::string s = block + lzh_test::RandomBytes(WindowOf(m) - 1 - block.size(), 8) + block;
    // And a third a whole window after the second: too far for a match, so only the
    // second copy shrinks.
    return s + lzh_test::RandomBytes(WindowOf(m) - block.size(), 9) + block;
}

struct Case {
    const char* name;
    std::string data;
};

std::vector<Case> Cases(LzhMethod m) {
    static const std::string mixed = lzh_test::MixedData(4 << 20, 3);
    std::string alternating;
    for (int i = 0; i < 5000; ++i) alternating += static_cast<char>(i & 1);
    return {
        {"empty", ""},
        {"one byte", "x"},
        {"two symbols, no match", std::string("\x00\x01", 2)},
        {"short text", "abcabcabcabc hello hello hello"},
        {"long run", std::string(1 << 20, 'z')},
        {"alternating bytes", alternating},
        {"incompressible", lzh_test::RandomBytes(300000, 1)},
        {"window edge", EdgeMatch(m)},
        {"mixed, several MB", mixed},
    };
}

// Feeds the encoder in uneven pieces.
class ChunkySource : public standin::ByteSource {
public:
    ChunkySource(const std::string& data, bool failHalfway = false)
        : data_(data), failHalfway_(failHalfway) {}
    bool read(void* buffer, size_t size, size_t& got) override {
        got = 0;
        if (failHalfway_ && at_ > data_.size() / 2) return false;
        got = std::min({size, data_.size() - at_, size_t(1 + (calls_++ * 7919) % 20011)});
        data_.copy(static_cast<char*>(buffer), got, at_);
        at_ += got;
        return true;
    }
    size_t consumed() const { return at_; }

private:
    const std::string& data_;
    bool failHalfway_;
    size_t at_ = 0;
    size_t calls_ = 0;
};

class RefusingSink : public standin::ByteSink {
public:
    bool write(const void*, size_t size) override {
        taken += size;
        return taken < 1000;
    }
    size_t taken = 0;
};

TEST(LzhEncoder, RoundTripsThroughLibarchive) {
    for (LzhMethod m : kMethods) {
        for (const Case& c : Cases(m)) {
            SCOPED_TRACE(std::string(standin::LzhMethodId(m)) + " " + c.name);
            std::string archive = lzh_test::LzhArchive({{"data.bin", m, c.data}});
            std::vector<std::string> contents;
            std::string error;
            EXPECT_TRUE(lzh_test::ReadWithLibarchive(archive, contents, error)) << error;
            EXPECT_TRUE(contents.size() == 1 && contents[0] == c.data);
        }
    }
}

// The smallest outputs are where the trees' short forms (one symbol, no tree) show, and
// where libarchive is strictest about the end of the data.
TEST(LzhEncoder, TinyInputsRoundTrip) {
    std::string random = lzh_test::RandomBytes(16, 4);
    for (LzhMethod m : kMethods) {
        for (size_t size = 1; size <= 16; ++size) {
            for (const std::string& data :
                 {std::string(size, 'a'), random.substr(0, size),
                  std::string("abababababababab").substr(0, size),
                  std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f", 16).substr(0, size)}) {
                std::string archive = lzh_test::LzhArchive({{"tiny", m, data}});
                std::vector<std::string> contents;
                std::string error;
                EXPECT_TRUE(lzh_test::ReadWithLibarchive(archive, contents, error) &&
                            contents.size() == 1 && contents[0] == data)
                    << standin::LzhMethodId(m) << " " << size << " bytes: " << error;
            }
        }
    }
}

// Notes how much of the source had been read when each piece of output arrived.
class WatchingSink : public standin::StringSink {
public:
    explicit WatchingSink(const ChunkySource& source) : source_(source) {}
    bool write(const void* data, size_t size) override {
        readAtWrite.push_back(source_.consumed());
        return StringSink::write(data, size);
    }
    std::vector<size_t> readAtWrite;

private:
    const ChunkySource& source_;
};

TEST(LzhEncoder, StreamingMatchesTheSpanFormAndReportsSizes) {
    std::string data = lzh_test::MixedData(700000, 11);
    for (LzhMethod m : kMethods) {
        SCOPED_TRACE(standin::LzhMethodId(m));
        ChunkySource source(data);
        WatchingSink sink(source);
        standin::LzhResult r = standin::EncodeLzh(m, source, sink);
        // Output leaves block by block while the input is still coming in.
        ASSERT_GT(sink.readAtWrite.size(), 2u);
        EXPECT_LT(sink.readAtWrite.front(), data.size() / 2);
        EXPECT_EQ(r.status, LzhStatus::Ok);
        EXPECT_EQ(r.originalSize, data.size());
        EXPECT_EQ(r.packedSize, sink.bytes.size());
        EXPECT_EQ(r.crc, standin::LzhCrc16(data.data(), data.size()));
        EXPECT_TRUE(sink.bytes == standin::EncodeLzh(m, data.data(), data.size()));
    }
}

TEST(LzhEncoder, UsesMatchesAtTheWindowEdgeAndShrinksText) {
    for (LzhMethod m : kMethods) {
        SCOPED_TRACE(standin::LzhMethodId(m));
        std::string edge = EdgeMatch(m);
        // The second copy of the 4000-byte block becomes matches.
        EXPECT_LT(standin::EncodeLzh(m, edge.data(), edge.size()).size(), edge.size() - 3500);
        std::string text = lzh_test::EnglishText(200000, 5);
        EXPECT_LT(standin::EncodeLzh(m, text.data(), text.size()).size(), text.size() * 2 / 5);
    }
}

bool RoundTrips(LzhMethod m, const std::string& data) {
    std::vector<std::string> contents;
    std::string error;
    return lzh_test::ReadWithLibarchive(lzh_test::LzhArchive({{"data.bin", m, data}}), contents,
                                        error) &&
           contents.size() == 1 && contents[0] == data;
}

// After incompressible data the search turns sparse; what follows must still be found:
// text, a long run, and a random block repeated for a megabyte (past several slides of the
// buffer) all pack about as well as they do alone.
TEST(LzhEncoder, PacksWhatFollowsIncompressibleData) {
    std::string random = lzh_test::RandomBytes(300000, 12);
    std::string text = lzh_test::EnglishText(200000, 12);
    std::string block = lzh_test::RandomBytes(5000, 13);
    std::string periodic;
    while (periodic.size() < (1 << 20)) periodic += block;
    for (LzhMethod m : kMethods) {
        SCOPED_TRACE(standin::LzhMethodId(m));
        size_t randomAlone = standin::EncodeLzh(m, random.data(), random.size()).size();
        size_t textAlone = standin::EncodeLzh(m, text.data(), text.size()).size();
        std::string randomThenText = random + text;
        EXPECT_LT(standin::EncodeLzh(m, randomThenText.data(), randomThenText.size()).size(),
                  randomAlone + textAlone + textAlone / 50);
        EXPECT_TRUE(RoundTrips(m, randomThenText));

        std::string randomThenRun = random + std::string(1 << 20, 'z');
        EXPECT_LT(standin::EncodeLzh(m, randomThenRun.data(), randomThenRun.size()).size(),
                  randomAlone + 2000);
        EXPECT_TRUE(RoundTrips(m, randomThenRun));

        EXPECT_LT(standin::EncodeLzh(m, periodic.data(), periodic.size()).size(),
                  block.size() + 8000);
        EXPECT_TRUE(RoundTrips(m, periodic));
    }
}

TEST(LzhEncoder, StopsOnFailuresAndAtTheLimit) {
    std::string random = lzh_test::RandomBytes(200000, 2);
    std::string text = lzh_test::EnglishText(200000, 2);

    ChunkySource failing(text, true);
    standin::StringSink sink;
    EXPECT_EQ(standin::EncodeLzh(LzhMethod::Lh5, failing, sink).status, LzhStatus::SourceFailed);

    ChunkySource source(text);
    RefusingSink refusing;
    EXPECT_EQ(standin::EncodeLzh(LzhMethod::Lh5, source, refusing).status,
              LzhStatus::SinkRefused);

    // Random data grows a little: the limit of its own size stops it, and the sink never
    // holds more than the limit.
    for (LzhMethod m : kMethods) {
        ChunkySource over(random);
        standin::StringSink limited;
        standin::LzhResult r = standin::EncodeLzh(m, over, limited, random.size());
        EXPECT_EQ(r.status, LzhStatus::OverLimit);
        EXPECT_LE(limited.bytes.size(), random.size());
        EXPECT_EQ(r.packedSize, limited.bytes.size());
    }
    ChunkySource fits(text);
    standin::StringSink packed;
    EXPECT_EQ(standin::EncodeLzh(LzhMethod::Lh7, fits, packed, text.size()).status,
              LzhStatus::Ok);
}

// The CRC goes four bytes at a time: every length and alignment, and a continued CRC, must
// give what the bit-by-bit definition gives (CRC-16/ARC, whose check value is 0xBB3D).
TEST(LzhEncoder, Crc16MatchesTheBitwiseDefinition) {
    EXPECT_EQ(standin::LzhCrc16("123456789", 9), 0xBB3D);
    auto bitwise = [](const std::string& data, uint16_t crc) {
        for (unsigned char c : data) {
            crc ^= c;
            for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
        return crc;
    };
    std::string data = lzh_test::RandomBytes(64, 14);
    for (size_t from = 0; from < 4; ++from) {
        for (size_t size = 0; from + size <= data.size(); ++size) {
            uint16_t start = static_cast<uint16_t>(size * 2654435761u);
            ASSERT_EQ(standin::LzhCrc16(data.data() + from, size, start),
                      bitwise(data.substr(from, size), start))
                << from << " " << size;
        }
    }
}

// Fibonacci frequencies make Huffman's tree as deep as it gets: 30 symbols would need codes
// of 29 bits, and decoders take 16 at most.
TEST(LzhEncoder, CodeLengthsStayWithinSixteenBitsAndFormACompleteCode) {
    uint32_t freq[40] = {};
    uint32_t a = 1, b = 1;
    for (int i = 0; i < 30; ++i) {
        freq[i * 4 / 3] = a;  // with gaps: unused symbols keep length 0
        uint32_t next = a + b;
        a = b;
        b = next;
    }
    uint8_t len[40];
    ASSERT_EQ(standin::BuildLzhCodeLengths(freq, 40, len), 30);
    uint64_t kraft = 0;  // in units of 2^-16
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(len[i] == 0, freq[i] == 0) << i;
        EXPECT_LE(len[i], 16) << i;
        if (len[i]) kraft += uint64_t(1) << (16 - len[i]);
        for (int j = 0; j < 40; ++j)
            if (freq[i] && freq[j] > freq[i]) EXPECT_LE(len[j], len[i]) << i << " " << j;
    }
    EXPECT_EQ(kraft, uint64_t(1) << 16);

    uint32_t one[3] = {0, 7, 0};
    EXPECT_EQ(standin::BuildLzhCodeLengths(one, 3, len), 1);
    EXPECT_EQ(len[1], 0);  // sent as the block's only symbol, without a tree
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// lhasa and jlha test and extract an archive of the encoder's entries.
TEST(LzhEncoder, LhasaAndJlhaExtractTheEntries) {
    char dir[] = "/tmp/lzh_encoder_test_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string root = dir;
    std::vector<lzh_test::Entry> entries = {
        {"lh5.bin", LzhMethod::Lh5, lzh_test::MixedData(3 << 20, 21)},
        {"lh6.bin", LzhMethod::Lh6, EdgeMatch(LzhMethod::Lh6)},
        {"lh7.bin", LzhMethod::Lh7, lzh_test::MixedData(2 << 20, 22) + EdgeMatch(LzhMethod::Lh7)},
        {"run.txt", LzhMethod::Lh7, std::string(300000, ' ')},
        {"one.txt", LzhMethod::Lh5, "1"},
    };
    {
        std::ofstream out(root + "/test.lzh", std::ios::binary);
        std::string archive = lzh_test::LzhArchive(entries);
        out.write(archive.data(), archive.size());
    }
    std::string quiet = " >" + root + "/log 2>&1";
    EXPECT_EQ(std::system(("cd " + root + " && lhasa t test.lzh" + quiet).c_str()), 0)
        << ReadFile(root + "/log");
    for (const char* tool : {"lhasa", "jlha"}) {
        SCOPED_TRACE(tool);
        std::string out = root + "/" + tool;
        ASSERT_EQ(std::system(("cd " + root + " && " + tool + " xw=" + out + " test.lzh" + quiet).c_str()), 0)
            << ReadFile(root + "/log");
        for (const lzh_test::Entry& e : entries)
            EXPECT_TRUE(ReadFile(out + "/" + e.name) == e.original) << e.name;
    }
    std::system(("rm -rf " + root).c_str());
}

}  // namespace
