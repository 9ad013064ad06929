// The ZIP directory reader and the Deflate64 decoder against archives 7-Zip and Info-ZIP
// write while the test runs, against ZIP64 records, and against damaged streams.
#include <gtest/gtest.h>

#include <map>

#include <zlib.h>

#include "standins/codecs/deflate64.h"
#include "standins/codecs/tests/test_files.h"
#include "standins/codecs/zip_directory.h"

using namespace standin;
using codec_test::SampleFile;

namespace {

std::string makeZip(const std::string& command) {
    codec_test::TempDir dir;
    std::vector<SampleFile> files = codec_test::sampleFiles();
    codec_test::writeSampleFiles(dir.path(), files);
    std::string archive;
    if (codec_test::runIn(dir.path(), command + codec_test::quotedTopNames(files)) != 0) return "";
    codec_test::readFile(dir.path() + "/t.zip", archive);
    return archive;
}

struct Decoded {
    std::map<std::string, std::string> files;
    std::map<std::string, ZipEntry> entries;
    CodecStatus last = CodecStatus::ok;
};

// Reads every entry the way the stand-in does: stored and Deflate64 entries decoded, and the
// size and CRC of each checked.
Decoded readAll(const std::string& bytes, uint64_t* stub = nullptr) {
    Decoded result;
    MemoryRandomAccess archive(bytes.data(), bytes.size());
    ZipDirectory directory(archive);
    if ((result.last = directory.open()) != CodecStatus::ok) return result;
    if (stub) *stub = directory.stubLength();
    ZipEntry entry;
    while ((result.last = directory.next(entry)) == CodecStatus::ok) {
        result.entries[entry.name] = entry;
        StringSink sink;
        if (directory.extract(entry, sink) == CodecStatus::ok)
            result.files[entry.name] = sink.bytes;
    }
    return result;
}

void expectSampleFiles(const Decoded& d, bool expectDeflate64) {
    EXPECT_EQ(d.last, CodecStatus::end);
    for (const SampleFile& file : codec_test::sampleFiles()) {
        std::string name = file.directory ? file.name + "/" : file.name;
        ASSERT_TRUE(d.entries.count(name)) << name;
        const ZipEntry& e = d.entries.at(name);
        EXPECT_EQ(e.isDirectory(), file.directory) << name;
        if (file.directory) continue;
        ASSERT_TRUE(d.files.count(name)) << "not decoded: " << name;
        EXPECT_TRUE(d.files.at(name) == file.bytes) << name;
        // 7-Zip stores what does not shrink, such as the random bytes.
        if (expectDeflate64 && file.bytes.size() > 100 && file.name != "random")
            EXPECT_EQ(e.method, 9) << name;
    }
}

TEST(ZipDeflate64, DecodesWhat7ZipWroteAlsoBehindAStub) {
    std::string zip = makeZip("7zz a -tzip -mm=Deflate64 -mx=9 t.zip");
    ASSERT_FALSE(zip.empty()) << "7zz failed";
    expectSampleFiles(readAll(zip), true);

    // Info-ZIP's self-extracting stub in front: stored offsets are now short by its
    // length, until zip -A adjusts them.
    std::string stub;
    ASSERT_TRUE(codec_test::readFile("/usr/bin/unzipsfx", stub));
    stub += "PK\x05\x06 not the end record";
    uint64_t stubLength = 0;
    Decoded behind = readAll(stub + zip, &stubLength);
    EXPECT_EQ(stubLength, stub.size());
    expectSampleFiles(behind, true);

    codec_test::TempDir dir;
    codec_test::writeFile(dir.path() + "/t.exe", stub + zip);
    ASSERT_EQ(codec_test::runIn(dir.path(), "zip -q -A t.exe"), 0);
    std::string adjusted;
    codec_test::readFile(dir.path() + "/t.exe", adjusted);
    expectSampleFiles(readAll(adjusted, &stubLength), true);
    EXPECT_EQ(stubLength, 0u);
}

TEST(ZipDeflate64, Zip64RecordsFromInfoZipAlsoBehindAStub) {
    std::string zip = makeZip("zip -q -r -0 -fz t.zip");
    ASSERT_FALSE(zip.empty()) << "zip failed";
    ASSERT_NE(zip.find("PK\x06\x06"), std::string::npos) << "no ZIP64 end record";
    expectSampleFiles(readAll(zip), false);
    std::string stub(777, 'S');
    uint64_t stubLength = 0;
    expectSampleFiles(readAll(stub + zip, &stubLength), false);
    EXPECT_EQ(stubLength, stub.size());
}

// A one-entry ZIP64 archive written by hand: every size and offset in its 64-bit fields.
std::string craftedZip64(uint64_t bigSize) {
    auto le = [](std::string& s, uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
    };
    const std::string name = "big.bin", data = "stored!";
    std::string z;
    le(z, 0x04034b50, 4); le(z, 45, 2); le(z, 0, 2); le(z, 0, 2); le(z, 0, 4);
    le(z, crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size()), 4);
    le(z, 0xFFFFFFFF, 4); le(z, 0xFFFFFFFF, 4); le(z, name.size(), 2); le(z, 20, 2);
    z += name;
    le(z, 1, 2); le(z, 16, 2); le(z, data.size(), 8); le(z, data.size(), 8);
    z += data;
    const uint64_t directoryAt = z.size();
    le(z, 0x02014b50, 4); le(z, 45, 2); le(z, 45, 2); le(z, 0x0800, 2); le(z, 0, 2);
    le(z, 0, 4);
    le(z, crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size()), 4);
    le(z, 0xFFFFFFFF, 4); le(z, 0xFFFFFFFF, 4); le(z, name.size(), 2); le(z, 28, 2);
    le(z, 0, 2); le(z, 0, 2); le(z, 0, 2); le(z, 0, 4); le(z, 0xFFFFFFFF, 4);
    z += name;
    // Original size, packed size and offset, in that order.
    le(z, 1, 2); le(z, 24, 2); le(z, bigSize, 8); le(z, data.size(), 8); le(z, 0, 8);
    const uint64_t directorySize = z.size() - directoryAt, recordAt = z.size();
    le(z, 0x06064b50, 4); le(z, 44, 8); le(z, 45, 2); le(z, 45, 2); le(z, 0, 4); le(z, 0, 4);
    le(z, 1, 8); le(z, 1, 8); le(z, directorySize, 8); le(z, directoryAt, 8);
    le(z, 0x07064b50, 4); le(z, 0, 4); le(z, recordAt, 8); le(z, 1, 4);
    le(z, 0x06054b50, 4); le(z, 0, 2); le(z, 0, 2); le(z, 0xFFFF, 2); le(z, 0xFFFF, 2);
    le(z, 0xFFFFFFFF, 4); le(z, 0xFFFFFFFF, 4); le(z, 0, 2);
    return z;
}

TEST(ZipDirectory, ReadsCraftedZip64FieldsAndFlags) {
    const uint64_t big = 5ull << 30;
    for (size_t stub : {0, 300}) {
        std::string z = std::string(stub, 'S') + craftedZip64(big);
        MemoryRandomAccess archive(z.data(), z.size());
        ZipDirectory directory(archive);
        ASSERT_EQ(directory.open(), CodecStatus::ok);
        EXPECT_EQ(directory.declaredCount(), 1u);
        EXPECT_EQ(directory.stubLength(), stub);
        ZipEntry entry;
        ASSERT_EQ(directory.next(entry), CodecStatus::ok);
        EXPECT_EQ(entry.name, "big.bin");
        EXPECT_EQ(entry.originalSize, big);
        EXPECT_EQ(entry.packedSize, 7u);
        EXPECT_EQ(entry.localHeaderOffset, stub);
        EXPECT_TRUE(entry.utf8());
        EXPECT_FALSE(entry.encrypted());
        uint64_t at = 0;
        ASSERT_EQ(directory.locateData(entry, at), CodecStatus::ok);
        EXPECT_EQ(z.substr(at, 7), "stored!");
        EXPECT_EQ(directory.next(entry), CodecStatus::end);
    }
}

TEST(ZipDirectory, ExtractChecksSizeAndCrcAndRefusesWhatItCannotRead) {
    const std::string z = craftedZip64(7);
    struct Case {
        const char* what;
        void (*change)(ZipEntry&, std::string&);
        CodecStatus expected;
    } cases[] = {
        {"honest", [](ZipEntry&, std::string&) {}, CodecStatus::ok},
        {"a flipped data byte", [](ZipEntry&, std::string& b) { b[b.find("stored!")] ^= 1; },
         CodecStatus::crcMismatch},
        {"encrypted", [](ZipEntry& e, std::string&) { e.flags |= 1; }, CodecStatus::encrypted},
        {"deflate", [](ZipEntry& e, std::string&) { e.method = 8; },
         CodecStatus::unsupportedMethod},
        {"a 5 GiB stored size", [](ZipEntry& e, std::string&) { e.originalSize = 5ull << 30; },
         CodecStatus::corruptHeader},
        {"data past the end", [](ZipEntry& e, std::string&) { e.packedSize = 1000; },
         CodecStatus::truncated},
    };
    for (const Case& c : cases) {
        std::string bytes = z;
        ZipEntry entry;
        MemoryRandomAccess archive(bytes.data(), bytes.size());
        ZipDirectory directory(archive);
        ASSERT_EQ(directory.open(), CodecStatus::ok);
        ASSERT_EQ(directory.next(entry), CodecStatus::ok);
        c.change(entry, bytes);
        StringSink sink;
        EXPECT_EQ(directory.extract(entry, sink), c.expected) << c.what;
        if (c.expected == CodecStatus::ok) EXPECT_EQ(sink.bytes, "stored!");
    }
}

TEST(ZipDirectory, DamagedDirectoriesEndInAStatus) {
    std::string zip = makeZip("7zz a -tzip -mm=Deflate64 t.zip");
    ASSERT_FALSE(zip.empty());
    EXPECT_EQ(readAll("").last, CodecStatus::notArchive);
    EXPECT_EQ(readAll(std::string(100, 'x')).last, CodecStatus::notArchive);
    // Every cut loses the end record or the data it points to; every flipped byte of the
    // directory ends the walk with a status or still reads correct bytes.
    for (size_t length = 0; length < zip.size(); length += 1 + length / 8) {
        Decoded d = readAll(zip.substr(0, length));
        EXPECT_NE(d.last, CodecStatus::end) << "cut at " << length;
    }
    size_t directory = zip.find("PK\x01\x02");
    ASSERT_NE(directory, std::string::npos);
    for (size_t at = directory; at < zip.size(); at += 5) {
        std::string damaged = zip;
        damaged[at] ^= 0xA5;
        Decoded d = readAll(damaged);
        for (const SampleFile& file : codec_test::sampleFiles())
            if (d.files.count(file.name)) EXPECT_TRUE(d.files[file.name] == file.bytes);
    }
}

// Records of a ZIP archive written by hand, for the overlaps no tool writes.
std::string le(uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
}
uint32_t crcOf(const std::string& data) {
    return crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size());
}
// A stored entry: its local header and its data.
std::string localEntry(const std::string& name, const std::string& data) {
    return le(0x04034b50, 4) + le(20, 2) + le(0, 2) + le(0, 2) + le(0, 4) + le(crcOf(data), 4) +
           le(data.size(), 4) + le(data.size(), 4) + le(name.size(), 2) + le(0, 2) + name +
           data;
}
std::string centralRecord(const std::string& name, uint64_t packed, uint64_t offset) {
    return le(0x02014b50, 4) + le(20, 2) + le(20, 2) + le(0, 2) + le(0, 2) + le(0, 4) +
           le(0, 4) + le(packed, 4) + le(packed, 4) + le(name.size(), 2) + le(0, 6) +
           le(0, 2) + le(0, 4) + le(offset, 4) + name;
}
std::string withDirectory(const std::string& body, const std::string& central, size_t count) {
    return body + central + le(0x06054b50, 4) + le(0, 4) + le(count, 2) + le(count, 2) +
           le(central.size(), 4) + le(body.size(), 4) + le(0, 2);
}

struct Spans {
    CodecStatus status;
    std::vector<ZipSpan> spans;
    size_t overlapping = 0;
};
Spans spansOf(const std::string& bytes) {
    Spans result;
    MemoryRandomAccess archive(bytes.data(), bytes.size());
    ZipDirectory directory(archive);
    if ((result.status = directory.open()) != CodecStatus::ok) return result;
    result.status = ReadZipSpans(directory, result.spans);
    result.overlapping =
        CountOverlapping(result.spans, directory.directoryStart(), directory.directoryEnd());
    return result;
}

TEST(ZipSpans, WhatToolsWriteOverlapNothingAndComesInOffsetOrder) {
    for (const char* command : {"zip -q -r t.zip", "7zz a -tzip -mm=Deflate64 t.zip"}) {
        std::string zip = makeZip(command);
        ASSERT_FALSE(zip.empty()) << command;
        for (const std::string& archive : {zip, std::string(1000, 'S') + zip}) {
            Spans s = spansOf(archive);
            EXPECT_EQ(s.status, CodecStatus::end) << command;
            EXPECT_EQ(s.overlapping, 0u) << command;
            ASSERT_FALSE(s.spans.empty());
            for (size_t i = 0; i < s.spans.size(); ++i) {
                const ZipSpan& span = s.spans[i];
                EXPECT_TRUE(span.located) << span.entry.name;
                EXPECT_EQ(span.end, span.dataOffset + span.entry.packedSize);
                if (i > 0) EXPECT_LE(s.spans[i - 1].end, span.entry.localHeaderOffset);
            }
        }
    }
}

TEST(ZipSpans, EntriesThatShareBytesAreCounted) {
    const std::string good = "good\n", inner = "inner data\n";
    const std::string goodEntry = localEntry("good.txt", good);

    // The overlapping-entry bomb: 100 entries over one local header and its data.
    std::string central;
    for (int i = 0; i < 100; ++i) central += centralRecord("z" + std::to_string(i), 4, 0);
    Spans bomb = spansOf(withDirectory(localEntry("z", "data"), central, 100));
    EXPECT_EQ(bomb.status, CodecStatus::end);
    EXPECT_EQ(bomb.spans.size(), 100u);
    EXPECT_EQ(bomb.overlapping, 100u);

    // A stored entry whose data is the next entry, header and all; good.txt before is apart.
    const std::string innerEntry = localEntry("inner.txt", inner);
    const std::string outer = localEntry("outer.bin", innerEntry);
    std::string quoted = withDirectory(
        goodEntry + outer,
        centralRecord("good.txt", good.size(), 0) +
            centralRecord("outer.bin", innerEntry.size(), goodEntry.size()) +
            centralRecord("inner.txt", inner.size(), goodEntry.size() + 30 + 9),
        3);
    EXPECT_EQ(spansOf(quoted).overlapping, 2u);

    // An entry whose stated size runs into the central directory; and the same two entries
    // apart, which is honest.
    const std::string body = goodEntry + localEntry("x.txt", inner);
    std::string intoDirectory = withDirectory(
        body, centralRecord("good.txt", good.size(), 0) +
                  centralRecord("x.txt", inner.size() + 20, goodEntry.size()), 2);
    EXPECT_EQ(spansOf(intoDirectory).overlapping, 1u);
    std::string honest = withDirectory(
        body, centralRecord("good.txt", good.size(), 0) +
                  centralRecord("x.txt", inner.size(), goodEntry.size()), 2);
    Spans apart = spansOf(honest);
    EXPECT_EQ(apart.overlapping, 0u);
    ASSERT_EQ(apart.spans.size(), 2u);
    EXPECT_EQ(apart.spans[1].dataOffset, goodEntry.size() + 30 + 5);

    // Listed in reverse, the entries still come in the order of their local headers.
    std::string reversed = withDirectory(
        body, centralRecord("x.txt", inner.size(), goodEntry.size()) +
                  centralRecord("good.txt", good.size(), 0), 2);
    Spans sorted = spansOf(reversed);
    ASSERT_EQ(sorted.spans.size(), 2u);
    EXPECT_EQ(sorted.spans[0].entry.name, "good.txt");
    EXPECT_EQ(sorted.overlapping, 0u);
}

TEST(ZipDirectory, WalksTheDirectoryPastACountThatWrapped) {
    // Past 65,535 entries the 16-bit count wraps: the directory's bytes are what counts, as
    // for libarchive. A count above what is there still ends at the directory's end.
    std::string central;
    std::string body;
    for (int i = 0; i < 5; ++i) {
        central += centralRecord("f" + std::to_string(i), 1, body.size());
        body += localEntry("f" + std::to_string(i), "x");
    }
    for (size_t declared : {1, 5, 9}) {
        std::string zip = withDirectory(body, central, 5);
        zip[zip.size() - 12] = static_cast<char>(declared);
        zip[zip.size() - 14] = static_cast<char>(declared);
        Spans s = spansOf(zip);
        EXPECT_EQ(s.status, CodecStatus::end) << declared;
        EXPECT_EQ(s.spans.size(), 5u) << declared;
    }
}

// The compressed stream of one entry of a 7-Zip Deflate64 archive.
std::string deflate64Stream(const std::string& zip, const std::string& name, uint64_t& size) {
    MemoryRandomAccess archive(zip.data(), zip.size());
    ZipDirectory directory(archive);
    ZipEntry entry;
    if (directory.open() != CodecStatus::ok) return "";
    while (directory.next(entry) == CodecStatus::ok) {
        uint64_t at = 0;
        if (entry.name == name && directory.locateData(entry, at) == CodecStatus::ok) {
            size = entry.originalSize;
            return zip.substr(at, entry.packedSize);
        }
    }
    return "";
}

// Writes a Deflate bit stream: plain values LSB first, Huffman codes MSB first.
class BitWriter {
public:
    BitWriter& bits(uint32_t value, int n) {
        for (int i = 0; i < n; ++i) put((value >> i) & 1);
        return *this;
    }
    BitWriter& code(uint32_t code, int n) {
        for (int i = n - 1; i >= 0; --i) put((code >> i) & 1);
        return *this;
    }
    std::string bytes() const { return out_ + (count_ ? std::string(1, char(byte_)) : ""); }

private:
    void put(unsigned bit) {
        byte_ |= bit << count_;
        if (++count_ == 8) {
            out_ += static_cast<char>(byte_);
            byte_ = count_ = 0;
        }
    }
    std::string out_;
    unsigned byte_ = 0, count_ = 0;
};

TEST(Deflate64, LengthCode285AndDistanceCodes30And31MeanWhatDeflate64Says) {
    // A stored block of 50000 bytes, then fixed codes: length 285 with 16 extra bits, and
    // distances 32769 + 5 (code 30) and 49153 + 7 (code 31).
    std::string stored = codec_test::sampleFiles()[3].bytes.substr(0, 50000);
    BitWriter w;
    w.bits(0, 1).bits(0, 2);
    w.bits(0, 5);  // align: 3 header bits plus 5 fill the first byte
    w.bits(50000, 16).bits(50000 ^ 0xFFFF, 16);
    for (char c : stored) w.bits(static_cast<unsigned char>(c), 8);
    w.bits(1, 1).bits(1, 2);
    w.code(0xC5, 8).bits(1000, 16).code(30, 5).bits(5, 14);  // 1003 bytes from 32774 back
    w.code(0xC5, 8).bits(0, 16).code(31, 5).bits(7, 14);     // 3 bytes from 49160 back
    w.code(0, 7);                                            // end of block
    std::string stream = w.bytes();

    std::string expected = stored;
    for (int i = 0; i < 1003; ++i) expected += expected[expected.size() - 32774];
    for (int i = 0; i < 3; ++i) expected += expected[expected.size() - 49160];
    MemorySource source(stream.data(), stream.size());
    StringSink sink;
    ASSERT_EQ(inflate64(source, sink, expected.size()), CodecStatus::ok);
    EXPECT_TRUE(sink.bytes == expected);
}

TEST(Deflate64, TruncatedCorruptOverlongAndRefusedStreamsEndInAStatus) {
    std::string zip = makeZip("7zz a -tzip -mm=Deflate64 t.zip");
    ASSERT_FALSE(zip.empty());
    uint64_t size = 0;
    std::string stream = deflate64Stream(zip, "text", size);
    ASSERT_FALSE(stream.empty());
    const std::string text = codec_test::sampleFiles()[4].bytes;

    for (size_t length = 0; length < stream.size(); length += 1 + length / 8) {
        MemorySource source(stream.data(), length);
        StringSink sink;
        uint64_t written = 0;
        EXPECT_EQ(inflate64(source, sink, size, &written), CodecStatus::truncated) << length;
        EXPECT_EQ(written, sink.bytes.size());
        EXPECT_TRUE(text.compare(0, sink.bytes.size(), sink.bytes) == 0) << length;
    }
    // A limit below the real size: exactly the limit is written, then the stream is refused.
    MemorySource source(stream.data(), stream.size());
    StringSink sink;
    EXPECT_EQ(inflate64(source, sink, 100000), CodecStatus::corruptData);
    EXPECT_TRUE(sink.bytes == text.substr(0, 100000));

    MemorySource again(stream.data(), stream.size());
    CountingSink refusing(0);
    EXPECT_EQ(inflate64(again, refusing, size), CodecStatus::sinkRefused);

    // Reserved block type 3, a stored block whose length check fails, a distance before the
    // start of the output.
    BitWriter distanceBeforeStart;
    distanceBeforeStart.bits(1, 1).bits(1, 2).code(0x01, 7).code(0, 5);
    const std::string bad[] = {std::string("\x07", 1), std::string("\x01\x05\x00\x00\x00", 5),
                               distanceBeforeStart.bytes()};
    for (const std::string& b : bad) {
        MemorySource s(b.data(), b.size());
        StringSink out;
        EXPECT_EQ(inflate64(s, out, 1000), CodecStatus::corruptData);
    }
    // Flipped bytes: never more than the limit, and only a status (the sanitizers watch).
    for (size_t at = 0; at < stream.size(); at += 1 + stream.size() / 300) {
        std::string damaged = stream;
        damaged[at] ^= 0x3C;
        MemorySource s(damaged.data(), damaged.size());
        StringSink out;
        inflate64(s, out, size);
        EXPECT_LE(out.bytes.size(), size);
    }
}

}  // namespace
