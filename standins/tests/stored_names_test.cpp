// How the writers store names the code page cannot hold: read back with libarchive's own
// readers (not the stand-ins' extraction), and checked byte by byte where the layout is the
// point (names that fit keep their Shift-JIS bytes and no mark).
#include <windows.h>

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standins/cab/cab.h"
#include "standins/core/names.h"
#include "standins/lzh/lzh.h"
#include "standins/tar/tar.h"
#include "standins/tests/archive_builders.h"
#include "standins/zip/zip.h"
#include "tests/support/TestFiles.h"

using standin::Item;
using testing_support::ReadTextFile;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

struct Listed {
    std::string name;  // UTF-8
    std::string data;
};

// Every entry libarchive reads, unmarked names taken as Shift-JIS; empty when it stops on a
// header it takes for damage.
std::vector<Listed> ReadWithLibarchive(const std::string& path, bool& whole) {
    std::vector<Listed> out;
    archive* a = archive_read_new();
    archive_read_support_format_all(a);
    archive_read_support_filter_all(a);
    archive_read_set_options(a, "hdrcharset=CP932");
    whole = false;
    if (archive_read_open_filename(a, path.c_str(), 10240) == ARCHIVE_OK) {
        archive_entry* entry = nullptr;
        int rc;
        while ((rc = archive_read_next_header(a, &entry)) == ARCHIVE_OK) {
            Listed listed;
            const wchar_t* name = archive_entry_pathname_w(entry);
            listed.name = name ? standin::WideToUtf8(name) : "(none)";
            char buffer[4096];
            la_ssize_t n;
            while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0) listed.data.append(buffer, n);
            out.push_back(listed);
        }
        whole = rc == ARCHIVE_EOF;
    }
    archive_read_free(a);
    return out;
}

std::string Names(const std::vector<Listed>& entries) {
    std::string out;
    for (const Listed& e : entries) out += e.name + "|";
    return out;
}

Item Utf8File(const std::string& name, const std::string& source) {
    Item item = standin_test::FileItem("x", source);
    item.name = name;
    return item;
}

size_t Count(const std::string& haystack, const std::string& needle) {
    size_t n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(StoredNames, EachFormatMarksWhatTheCodePageCannotHoldAndKeepsShiftJisOtherwise) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "src", "data"));
    std::string src = standin::AnsiToUtf8(dir / "src");
    // 一 is U+4E00: in UTF-16LE its first byte is zero, which libarchive's LZH reader takes
    // for damage in a name header.
    const std::vector<std::string> names = {u8"résumé.txt", u8"Müller\\Straße.txt", u8"表示.txt",
                                            u8"emoji😀.txt", u8"波〜.txt", u8"一é.txt",
                                            u8"plain.txt"};
    std::vector<Item> items;
    for (const std::string& n : names) items.push_back(Utf8File(n, src));
    std::string listedExactly;
    for (std::string n : names) {
        for (char& c : n)
            if (c == '\\') c = '/';
        listedExactly += n + "|";
    }
    const std::string sjis = "\x95\x5C\x8E\xA6.txt";  // 表示.txt in Shift-JIS

    struct Row {
        const char* format;
        std::string archive;
        bool written;
    };
    Row rows[] = {
        {"lzh", dir / "t.lzh", standin::WriteLzh(dir / "t.lzh", items, false, standin::LzhPacking::lh5)},
        {"zip", dir / "t.zip", standin::WriteZip(dir / "t.zip", items, true)},
        {"cab", dir / "t.cab", standin::WriteCab(dir / "t.cab", items)},
        {"tar", dir / "t.tar", standin::WriteTar(dir / "t.tar", items, false)},
        {"tgz", dir / "t.tgz", standin::WriteTar(dir / "t.tgz", items, true)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        ASSERT_TRUE(row.written);
        bool whole = false;
        std::vector<Listed> listed = ReadWithLibarchive(row.archive, whole);
        EXPECT_TRUE(whole);
        std::string expected = listedExactly;
        // LZH alone: the name starting with 一 keeps its code page spelling.
        if (std::string(row.format) == "lzh") expected.replace(expected.find(u8"一é"), 5, u8"一_");
        EXPECT_EQ(expected, Names(listed));
        for (const Listed& e : listed) EXPECT_EQ("data", e.data) << e.name;
        std::string bytes;
        ASSERT_TRUE(ReadTextFile(row.archive, bytes));
        if (std::string(row.format) != "tgz") {
            EXPECT_NE(std::string::npos, bytes.find(sjis));
        }
    }

    // ZIP: bit 11 exactly on the names that do not fit, in both headers.
    std::string zip;
    ASSERT_TRUE(ReadTextFile(dir / "t.zip", zip));
    size_t flagged = 0;
    for (size_t at = zip.find("PK\x03\x04"); at != std::string::npos; at = zip.find("PK\x03\x04", at + 4))
        flagged += (static_cast<unsigned char>(zip[at + 7]) & 0x08) ? 1 : 0;
    EXPECT_EQ(5u, flagged);  // all but 表示.txt and plain.txt
    size_t central = 0;
    for (size_t at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4))
        central += (static_cast<unsigned char>(zip[at + 9]) & 0x08) ? 1 : 0;
    EXPECT_EQ(5u, central);

    // tar: one pax record per name that does not fit, none for the others.
    std::string tar;
    ASSERT_TRUE(ReadTextFile(dir / "t.tar", tar));
    EXPECT_EQ(5u, Count(tar, " path="));
    EXPECT_EQ(0u, Count(tar, "path=plain.txt"));
}

TEST(StoredNames, PaxRecordsWhoseLengthGainsADigitAreRead) {
    // A record of 98 or 99 bytes without its length field needs three digits, not two.
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "src", "data"));
    std::string src = standin::AnsiToUtf8(dir / "src");
    std::vector<Item> items;
    std::string expected;
    for (size_t length = 88; length <= 94; ++length) {
        std::string name = u8"é" + std::string(length - 2 - 4, 'a') + ".txt";
        items.push_back(Utf8File(name, src));
        expected += name + "|";
    }
    ASSERT_TRUE(standin::WriteTar(dir / "t.tar", items, false));
    bool whole = false;
    EXPECT_EQ(expected, Names(ReadWithLibarchive(dir / "t.tar", whole)));
    EXPECT_TRUE(whole);
}

TEST(StoredNames, LzhAddReplacesAnEntryFoundByItsWideName) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "a", "old"));
    ASSERT_TRUE(WriteTextFile(dir / "b", "new"));
    std::string a = standin::AnsiToUtf8(dir / "a");
    std::string b = standin::AnsiToUtf8(dir / "b");
    // Outside the assertions: their text is kept in the code page, which lacks these.
    const std::vector<Item> first = {Utf8File(u8"Müller\\résumé.txt", a), Utf8File("plain.txt", a)};
    const std::vector<Item> otherFolder = {Utf8File(u8"MÜLLER/Résumé.txt", b)};
    const std::vector<Item> sameName = {Utf8File(u8"müller/Résumé.txt", b)};
    const std::string afterAll = u8"müller/Résumé.txt|plain.txt|MÜLLER/Résumé.txt|";
    std::string archive = dir / "t.lzh";
    ASSERT_TRUE(standin::WriteLzh(archive, first, false, standin::LzhPacking::lh5));
    // Ü is no ASCII letter: MÜLLER is another folder, added after the others.
    ASSERT_TRUE(standin::WriteLzh(archive, otherFolder, true, standin::LzhPacking::lh5));
    // The same name but for ASCII case: replaced where it stands, not added as a fourth.
    ASSERT_TRUE(standin::WriteLzh(archive, sameName, true, standin::LzhPacking::lh5));
    bool whole = false;
    std::vector<Listed> listed = ReadWithLibarchive(archive, whole);
    EXPECT_TRUE(whole);
    EXPECT_EQ(afterAll, Names(listed));
    ASSERT_EQ(3u, listed.size());
    EXPECT_EQ("new", listed[0].data);
    EXPECT_EQ("old", listed[1].data);
}
