// What Tar32 recognises by content among the formats people are sent today, and how it
// names the 7z methods libarchive refuses.
#include "standins/core/formats.h"
#include "standins/core/identity.h"
#include "standins/tar/tar.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <utility>

using namespace standin;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

std::string Bytes(const char* text, size_t n) { return std::string(text, n); }

// A binary cpio header (26 bytes) for a name of nameSize bytes with its NUL.
std::string BinaryCpio(bool little, const std::string& name, size_t nameSize) {
    std::string h(26, '\0');
    h[0] = little ? '\xC7' : '\x71';
    h[1] = little ? '\x71' : '\xC7';
    h[little ? 20 : 21] = static_cast<char>(nameSize);
    return h + name + std::string(1, '\0') + std::string(64, 'x');
}

// An ar archive whose first member has this 16-byte name field.
std::string Ar(const std::string& nameField) {
    std::string member = nameField + std::string(12, '0') + std::string(6, '0') +
                         std::string(6, '0') + std::string(8, '0') + "4         " + "`\n";
    return "!<arch>\n" + member + "2.0\n";
}

TEST(TarReceivedTest, EachFormatIsRecognisedByItsContent) {
    TempDir dir;
    const std::string iso = std::string(16 * 2048, '\0') + Bytes("\x01" "CD001\x01", 7) +
                            std::string(2048, '\0');
    const std::pair<std::string, Kind> rows[] = {
        {Bytes("7z\xbc\xaf\x27\x1c\0\4", 8) + std::string(30, '\0'), Kind::SevenZip},
        {Bytes("7z\xbc\xaf\x27\x1d", 6) + std::string(30, '\0'), Kind::None},
        {Bytes("\x28\xb5\x2f\xfd", 4) + std::string(20, '\0'), Kind::Zstd},
        {Bytes("\x04\x22\x4d\x18", 4) + std::string(20, '\0'), Kind::Lz4},
        {Bytes("\x02\x21\x4c\x18", 4) + std::string(20, '\0'), Kind::Lz4},  // lz4 -l
        {Bytes("LZIP\x01", 5) + std::string(20, '\0'), Kind::Lzip},
        {Bytes("LZIP\x02", 5) + std::string(20, '\0'), Kind::None},
        {"070701" + std::string(200, '0'), Kind::Cpio},
        {"070702" + std::string(200, '0'), Kind::Cpio},
        {"070707" + std::string(200, '0'), Kind::Cpio},
        {"070703" + std::string(200, '0'), Kind::None},
        {BinaryCpio(true, "a.txt", 6), Kind::Cpio},
        {BinaryCpio(false, "a.txt", 6), Kind::Cpio},
        // A name whose length is wrong: two bytes of magic alone are not enough.
        {BinaryCpio(true, "a.txt", 4), Kind::None},
        {Ar("debian-binary   "), Kind::Deb},
        {Ar("debian-binary/  "), Kind::Deb},
        // A static library, and a first member whose name only begins so.
        {Ar("libfoo.o/       "), Kind::None},
        {Ar("debian-binaryx  "), Kind::None},
        {iso, Kind::Iso},
        {iso.substr(0, 16 * 2048 + 3), Kind::None},
        {std::string(40000, '\0'), Kind::None},
    };
    int n = 0;
    for (const auto& [bytes, kind] : rows) {
        std::string path = dir / ("x" + std::to_string(n++) + ".bin");
        ASSERT_TRUE(WriteTextFile(path, bytes));
        EXPECT_EQ(static_cast<int>(kind), static_cast<int>(DetectKind(path))) << "row " << n - 1;
    }
}

TEST(TarReceivedTest, RefusedSevenZipCodersAreNamedAndCountAsAMissingMethod) {
    const struct {
        const char* reason;
        const char* named;
    } rows[] = {
        {"書庫が壊れています (Unexpected codec ID: A)",
         "7z の ARM64 フィルタには対応していません (Unexpected codec ID: A)"},
        {"この圧縮方式には対応していません (Unknown codec ID: 40109)",
         "7z の Deflate64 圧縮には対応していません (Unknown codec ID: 40109)"},
        {"この圧縮方式には対応していません (Unsupported filter 3030501 for 30401)",
         "7z の PPMd と組み合わせた ARM フィルタには対応していません "
         "(Unsupported filter 3030501 for 30401)"},
        {"書庫が壊れています (Unexpected codec ID: a)",
         "7z の ARM64 フィルタには対応していません (Unexpected codec ID: a)"},
    };
    for (const auto& row : rows) {
        Failure f;
        f.entry = "a.txt";
        f.reason = row.reason;
        f.code = kErrorHeaderBroken;
        ExplainTarFailure(f);
        EXPECT_EQ(row.named, f.reason);
        EXPECT_EQ(kErrorMethod, f.code) << row.reason;
        EXPECT_EQ("a.txt", f.entry);
    }
    // A coder nobody knows, and failures of another kind, are left as they were.
    for (const char* reason : {"書庫が壊れています (Unknown codec ID: 7777)",
                               "CRC が一致しません。データが壊れています (7-Zip bad CRC)",
                               "書庫が壊れています (Unsupported filter zz for 30401)"}) {
        Failure f;
        f.reason = reason;
        f.code = kErrorHeaderBroken;
        ExplainTarFailure(f);
        EXPECT_EQ(reason, f.reason);
        EXPECT_EQ(kErrorHeaderBroken, f.code);
    }
}

}  // namespace
