// The ARJ reader against archives Debian's arj writes while the test runs, and against
// damaged copies of them.
#include <gtest/gtest.h>

#include <map>

#include <zlib.h>

#include "standins/codecs/arj_reader.h"
#include "standins/codecs/tests/test_files.h"

using namespace standin;
using codec_test::SampleFile;

namespace {

struct Walked {
    std::map<std::string, std::string> files;  // name -> decoded bytes
    std::map<std::string, ArjEntry> entries;
    CodecStatus last = CodecStatus::ok;  // what ended the walk
    std::vector<CodecStatus> extracts;
};

Walked walk(const std::string& archive) {
    Walked result;
    MemorySource source(archive.data(), archive.size());
    ArjReader reader(source);
    result.last = reader.open();
    if (result.last != CodecStatus::ok) return result;
    ArjEntry entry;
    while ((result.last = reader.next(entry)) == CodecStatus::ok) {
        StringSink sink;
        CodecStatus status = reader.extract(sink);
        result.extracts.push_back(status);
        result.entries[entry.name] = entry;
        if (status == CodecStatus::ok) result.files[entry.name] = sink.bytes;
    }
    return result;
}

// An archive of the sample files made by arj with one method, or empty when arj failed.
std::string makeArchive(int method, const std::string& options = "") {
    codec_test::TempDir dir;
    std::vector<SampleFile> files = codec_test::sampleFiles();
    codec_test::writeSampleFiles(dir.path(), files);
    std::string command = "arj a -m" + std::to_string(method) + " -y -r -a1 " + options +
                          " t.arj" + codec_test::quotedTopNames(files);
    std::string archive;
    if (codec_test::runIn(dir.path(), command) != 0) return "";
    codec_test::readFile(dir.path() + "/t.arj", archive);
    return archive;
}

size_t le16(const std::string& a, size_t at) {
    return static_cast<unsigned char>(a[at]) | static_cast<unsigned char>(a[at + 1]) << 8;
}
uint32_t le32(const std::string& a, size_t at) {
    return static_cast<uint32_t>(le16(a, at) | le16(a, at + 2) << 16);
}

void le32At(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// Offsets of the local headers (after the main header), found by walking the id and sizes.
std::vector<size_t> localHeaders(const std::string& a) {
    std::vector<size_t> at;
    size_t pos = 0;
    while (pos + 4 <= a.size() && le16(a, pos + 2) != 0) {
        size_t basic = pos + 4, size = le16(a, pos + 2);
        size_t next = basic + size + 4;
        while (le16(a, next) != 0) next += 2 + le16(a, next) + 4;
        next += 2;
        if (pos != 0) {
            at.push_back(pos);
            next += le32(a, basic + 12);
        }
        pos = next;
    }
    return at;
}

// Rewrites a basic header's CRC after the test changed a field.
void fixHeaderCrc(std::string& a, size_t header) {
    size_t size = le16(a, header + 2);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(a.data() + header + 4), size);
    le32At(a, header + 4 + size, static_cast<uint32_t>(crc));
}

class ArjMethods : public ::testing::TestWithParam<int> {};

TEST_P(ArjMethods, DecodesWhatArjWroteByteForByte) {
    std::string archive = makeArchive(GetParam());
    ASSERT_FALSE(archive.empty()) << "arj failed";
    Walked w = walk(archive);
    EXPECT_EQ(w.last, CodecStatus::end);
    for (const SampleFile& file : codec_test::sampleFiles()) {
        if (file.directory) {
            if (file.name == "folder") continue;  // arj keeps the folders below the named one
            ASSERT_TRUE(w.entries.count(file.name)) << file.name;
            EXPECT_EQ(w.entries[file.name].fileType, ArjFileType::directory);
            continue;
        }
        ASSERT_TRUE(w.files.count(file.name)) << "missing or failed: " << file.name;
        EXPECT_TRUE(w.files[file.name] == file.bytes) << file.name;
        const ArjEntry& e = w.entries[file.name];
        EXPECT_EQ(e.originalSize, file.bytes.size());
        EXPECT_EQ(e.fileType, ArjFileType::binary);
    }
    EXPECT_EQ(w.entries["folder/inner.txt"].fileNameAt, 7);
    if (GetParam() != 0) EXPECT_NE(w.entries["text"].method, 0) << "arj stored the text";
}

INSTANTIATE_TEST_SUITE_P(Methods, ArjMethods, ::testing::Values(0, 1, 2, 3, 4));

TEST(ArjReader, FindsTheArchiveBehindAStubWithFalseStarts) {
    // arj's own self-extracting archive: an executable, then the archive.
    std::string sfx = makeArchive(1, "-je");
    ASSERT_GT(sfx.size(), 2u);
    EXPECT_NE(sfx.compare(0, 2, "\x60\xEA"), 0) << "no stub in front";
    Walked fromSfx = walk(sfx);
    EXPECT_EQ(fromSfx.last, CodecStatus::end);
    EXPECT_EQ(fromSfx.files["text"], codec_test::sampleFiles()[4].bytes);

    std::string archive = makeArchive(1);
    ASSERT_FALSE(archive.empty());
    // A stub holding header ids: one with an impossible size, one whose CRC fails.
    std::string stub = "MZ stub \x60\xEA\xFF\xFF and \x60\xEA\x30\x00";
    stub += std::string(60, 'x') + archive.substr(0, 40);
    Walked w = walk(stub + archive);
    EXPECT_EQ(w.last, CodecStatus::end);
    EXPECT_EQ(w.files["text"], codec_test::sampleFiles()[4].bytes);

    std::string none = "not an archive at all, \x60\xEA but no header";
    EXPECT_EQ(walk(none).last, CodecStatus::notArchive);
}

TEST(ArjReader, EveryTruncationEndsInAFailureAndKeepsTheEntriesBefore) {
    std::string archive = makeArchive(2);
    ASSERT_FALSE(archive.empty());
    for (size_t length = 0; length < archive.size(); length += 1 + length / 16) {
        Walked w = walk(archive.substr(0, length));
        EXPECT_NE(w.last, CodecStatus::end) << "cut at " << length;
        for (const auto& file : w.files) {
            for (const SampleFile& sample : codec_test::sampleFiles())
                if (sample.name == file.first) EXPECT_TRUE(sample.bytes == file.second);
        }
    }
}

TEST(ArjReader, DamagedDataFailsThatEntryOnlyAndDamagedHeadersStopTheWalk) {
    for (int method : {1, 4}) {
        std::string archive = makeArchive(method);
        ASSERT_FALSE(archive.empty());
        std::vector<size_t> headers = localHeaders(archive);
        ASSERT_GE(headers.size(), 5u);
        // Flip a byte in the middle of each compressed entry's data: its status is a data
        // error, and every other entry still decodes.
        Walked clean = walk(archive);
        for (size_t h : headers) {
            size_t size = le16(archive, h + 2);
            uint32_t packed = le32(archive, h + 4 + 12);
            if (packed < 16) continue;
            std::string damaged = archive;
            size_t dataAt = h + 4 + size + 4 + 2;  // arj writes no extended headers here
            damaged[dataAt + packed / 2] ^= 0x55;
            Walked w = walk(damaged);
            EXPECT_EQ(w.last, CodecStatus::end) << "method " << method;
            EXPECT_EQ(w.files.size() + 1, clean.files.size()) << "method " << method;
            for (CodecStatus s : w.extracts)
                EXPECT_TRUE(s == CodecStatus::ok || s == CodecStatus::crcMismatch ||
                            s == CodecStatus::corruptData)
                    << describeStatus(s);
        }
        std::string badHeader = archive;
        badHeader[headers[1] + 10] ^= 1;
        Walked w = walk(badHeader);
        EXPECT_EQ(w.last, CodecStatus::corruptHeader);
        EXPECT_EQ(w.entries.size(), 1u);
    }
}

TEST(ArjReader, LyingSizesMethodsAndFlagsEndInAStatus) {
    std::string archive = makeArchive(1);
    ASSERT_FALSE(archive.empty());
    std::vector<size_t> headers = localHeaders(archive);
    size_t text = 0;
    for (size_t h : headers)
        if (archive.compare(h + 4 + uint8_t(archive[h + 4]), 5, "text\0", 5) == 0)
            text = h;
    ASSERT_NE(text, 0u);
    struct Case {
        const char* what;
        size_t field;  // offset in the basic header
        uint32_t value;
        int bytes;
        CodecStatus expected;
    } cases[] = {
        {"a 4 GiB original size", 16, 0xFFFFFFF0u, 4, CodecStatus::corruptData},
        {"a short original size", 16, 1000, 4, CodecStatus::crcMismatch},
        {"method 7", 5, 7, 1, CodecStatus::unsupportedMethod},
        {"garbled", 4, 0x11, 1, CodecStatus::encrypted},
        {"continued in the next volume", 4, 0x14, 1, CodecStatus::multiVolume},
    };
    for (const Case& c : cases) {
        std::string bytes = archive;
        for (int i = 0; i < c.bytes; ++i)
            bytes[text + 4 + c.field + i] = static_cast<char>(c.value >> (8 * i));
        fixHeaderCrc(bytes, text);
        MemorySource source(bytes.data(), bytes.size());
        ArjReader reader(source);
        ASSERT_EQ(reader.open(), CodecStatus::ok);
        ArjEntry entry;
        StringSink sink;
        CodecStatus status = CodecStatus::ok;
        while ((status = reader.next(entry)) == CodecStatus::ok && entry.name != "text") {}
        ASSERT_EQ(status, CodecStatus::ok) << c.what;
        EXPECT_EQ(reader.extract(sink), c.expected) << c.what;
        EXPECT_LE(sink.bytes.size(), 300000u) << c.what;
        // The walk goes on past the entry whatever happened to it.
        while ((status = reader.next(entry)) == CodecStatus::ok) {}
        EXPECT_EQ(status, CodecStatus::end) << c.what;
    }
}

TEST(ArjReader, ARefusingSinkGarbledDataAndSplitEntriesAreReported) {
    std::string archive = makeArchive(3);
    ASSERT_FALSE(archive.empty());
    MemorySource source(archive.data(), archive.size());
    ArjReader reader(source);
    ASSERT_EQ(reader.open(), CodecStatus::ok);
    ArjEntry entry;
    while (reader.next(entry) == CodecStatus::ok && entry.name != "text") {}
    CountingSink refusing(0);
    EXPECT_EQ(reader.extract(refusing), CodecStatus::sinkRefused);

    std::string garbled = makeArchive(1, "-gsecret");
    ASSERT_FALSE(garbled.empty());
    Walked w = walk(garbled);
    EXPECT_EQ(w.last, CodecStatus::end);
    ASSERT_FALSE(w.extracts.empty());
    for (const auto& e : w.entries)
        if (e.second.fileType == ArjFileType::binary) EXPECT_TRUE(e.second.garbled()) << e.first;
    EXPECT_TRUE(w.files.count("one") == 0);

    // The first volume of a split archive: whole entries decode, the split one says so.
    std::string volume = makeArchive(0, "-v50k");
    ASSERT_FALSE(volume.empty());
    Walked v = walk(volume);
    EXPECT_EQ(v.last, CodecStatus::end);
    ASSERT_FALSE(v.extracts.empty());
    EXPECT_EQ(v.extracts.back(), CodecStatus::multiVolume);
    for (size_t i = 0; i + 1 < v.extracts.size(); ++i) EXPECT_EQ(v.extracts[i], CodecStatus::ok);
}

}  // namespace
