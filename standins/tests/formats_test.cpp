// The stand-in archive formats: round trips through the writers, archives built byte by byte
// for the read-only formats, and hostile or truncated input.
#include "standins/arj/arj.h"
#include "standins/cab/cab.h"
#include "standins/core/formats.h"
#include "standins/lzh/lzh.h"
#include "standins/rar/rar.h"
#include "standins/tar/tar.h"
#include "standins/tests/archive_builders.h"
#include "standins/tests/extract_any.h"
#include "standins/zip/zip.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <set>
#include <utility>

using namespace standin;
using namespace standin_test;
using testing_support::FileExists;
using testing_support::IsDirectory;
using testing_support::MakeDir;
using testing_support::ReadTextFile;
using testing_support::RemoveTree;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

ExtractOptions Into(const std::string& dir, bool overwrite = false) {
    ExtractOptions options;
    options.destDir = dir + "\\";
    options.overwrite = overwrite;
    return options;
}

std::string Read(const std::string& path) {
    std::string s;
    return ReadTextFile(path, s) ? s : "<missing>";
}

// Names directly inside a folder, "." and ".." left out.
std::set<std::string> ListNames(const std::string& dir) {
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::string n = fd.cFileName;
        if (n != "." && n != "..") names.insert(n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

uint32_t FileDosTime(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    FILETIME utc, local;
    WORD date = 0, time = 0;
    BOOL ok = GetFileTime(h, nullptr, nullptr, &utc);
    CloseHandle(h);
    if (!ok || !FileTimeToLocalFileTime(&utc, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return static_cast<uint32_t>(date) << 16 | time;
}

// The readers of one kind, through the engine with no window: true when every entry was
// extracted, false when anything failed.
bool ExtractLzh(const std::string& archive, const ExtractOptions& options) {
    return ExtractArchive(Kind::Lzh, archive, options);
}
bool ExtractCab(const std::string& archive, const ExtractOptions& options) {
    return ExtractArchive(Kind::Cab, archive, options);
}
bool ExtractRar(const std::string& archive, const ExtractOptions& options) {
    return ExtractArchive(Kind::Rar, archive, options);
}
bool ExtractArj(const std::string& archive, const ExtractOptions& options) {
    return ExtractArchive(Kind::Arj, archive, options);
}

// Extracts every prefix of an archive, then copies with one byte changed. Nothing may crash,
// and where the format checks each file's data, whatever comes out must be whole and correct.
void CheckDamage(bool (*extract)(const std::string&, const ExtractOptions&),
                 const std::string& archive,
                 const std::vector<std::pair<std::string, std::string>>& expected,
                 bool dataChecked = true) {
    SCOPED_TRACE(archive.substr(0, 4));
    TempDir dir;
    std::string cut = dir / "cut";
    std::string out = dir / "out";
    auto run = [&](const std::string& bytes, const std::string& what) {
        ASSERT_TRUE(WriteTextFile(cut, bytes));
        MakeDir(out);
        extract(cut, Into(out));
        for (const auto& [name, content] : expected) {
            std::string path = out + "\\" + name;
            if (dataChecked && FileExists(path) && !IsDirectory(path)) {
                EXPECT_EQ(content, Read(path)) << name << " " << what;
            }
        }
        RemoveTree(out);
    };
    for (size_t len = 0; len < archive.size(); len += (len < 64 ? 1 : 5))
        run(archive.substr(0, len), "cut at " + std::to_string(len));
    for (size_t at = 0; at < archive.size(); at += 3) {
        std::string damaged = archive;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
        run(damaged, "changed at " + std::to_string(at));
    }
}

// ---- tests ----

TEST(SafeJoinTest, AcceptsRelativeNamesMapsWhatWindowsCannotHoldAndRejectsEscapes) {
    struct Row {
        std::string name;
        bool ok;
        std::string joined;  // below D:\\out\\ (UTF-8)
        bool mapped;
    } rows[] = {
        {"a.txt", true, "a.txt", false},
        {"sub/a.txt", true, "sub\\a.txt", false},
        {"sub\\\\.\\a.txt", true, "sub\\a.txt", false},
        {"dir\\", true, "dir", false},
        {u8"表\\表.txt", true, u8"表\\表.txt", false},
        {u8"한국/😀.txt", true, u8"한국\\😀.txt", false},
        {"a<b>c:d\"e|f?g*h", true, "a_b_c_d_e_f_g_h", true},
        {"tab\tand\x01", true, "tab_and_", true},
        {"trail. . /x. ", true, "trail\\x", true},
        {"CON", true, "_CON", true},
        {"sub\\nul.txt", true, "sub\\_nul.txt", true},
        {"com1.log", true, "_com1.log", true},
        {u8"COM\u00B9", true, u8"_COM\u00B9", true},
        {"CONSOLE.txt", true, "CONSOLE.txt", false},  // only the device names themselves
        {"", false, "", false},
        {"\\x", false, "", false},
        {"/x", false, "", false},
        {"//server/share/x", false, "", false},
        {"C:\\x", false, "", false},
        {"C:x", false, "", false},
        {"..\\x", false, "", false},
        {"a/../../x", false, "", false},
        {"a\\.. \\x", false, "", false},
        {"a\\...", false, "", false},
        {".", false, "", false},
    };
    for (const Row& row : rows) {
        std::string out;
        bool mapped = !row.mapped;
        EXPECT_EQ(row.ok, SafeJoin("D:\\out\\", row.name, out, &mapped)) << row.name;
        if (row.ok) {
            EXPECT_EQ("D:\\out\\" + row.joined, out) << row.name;
            EXPECT_EQ(row.mapped, mapped) << row.name;
        }
    }
    std::string out;
    const std::string hyo = u8"D:\\表";
    ASSERT_TRUE(SafeJoin(hyo, "a", out));
    EXPECT_EQ(hyo + "\\a", out);
}

TEST(LzhTest, RoundTripWithJapaneseNamesFoldersAndTimes) {
    TempDir dir;
    const std::string hyo = kHyo;
    ASSERT_TRUE(WriteTextFile(dir / "a.txt", "alpha"));
    ASSERT_TRUE(WriteTextFile(dir / "j.txt", std::string(70000, 'j')));
    ASSERT_TRUE(WriteTextFile(dir / "e.txt", ""));
    std::string archive = dir / "t.lzh";
    ASSERT_TRUE(WriteLzh(
        archive,
        {FileItem("a.txt", dir / "a.txt"), DirItem(hyo + "\\empty"),
         FileItem(hyo + "\\sub\\" + hyo + ".txt", dir / "j.txt"), FileItem("e.txt", dir / "e.txt")},
        false));
    EXPECT_EQ(Kind::Lzh, DetectKind(archive));
    std::string out = dir / "out";
    ASSERT_TRUE(ExtractLzh(archive, Into(out)));
    EXPECT_EQ("alpha", Read(out + "\\a.txt"));
    EXPECT_EQ(std::string(70000, 'j'), Read(out + "\\" + hyo + "\\sub\\" + hyo + ".txt"));
    EXPECT_EQ("", Read(out + "\\e.txt"));
    EXPECT_TRUE(IsDirectory(out + "\\" + hyo + "\\empty"));
    EXPECT_EQ(kDosTime, FileDosTime(out + "\\a.txt"));
    EXPECT_EQ((std::set<std::string>{"a.txt", "e.txt", hyo}), ListNames(out));
}

TEST(LzhTest, KeepExistingReplacesInPlaceAndAddsNewEntries) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "a1", "a-old"));
    ASSERT_TRUE(WriteTextFile(dir / "b1", "b-old"));
    ASSERT_TRUE(WriteTextFile(dir / "b2", "b-new"));
    ASSERT_TRUE(WriteTextFile(dir / "c2", "c-new"));
    std::string archive = dir / "t.lzh";
    ASSERT_TRUE(WriteLzh(
        archive, {FileItem("a.txt", dir / "a1"), FileItem("dir\\B.txt", dir / "b1")}, false));
    ASSERT_TRUE(WriteLzh(archive,
                         {FileItem("dir/b.TXT", dir / "b2"), FileItem("c.txt", dir / "c2")}, true));
    std::string out = dir / "out";
    ASSERT_TRUE(ExtractLzh(archive, Into(out)));
    EXPECT_EQ("a-old", Read(out + "\\a.txt"));
    EXPECT_EQ("b-new", Read(out + "\\dir\\b.txt"));
    EXPECT_EQ("c-new", Read(out + "\\c.txt"));

    ASSERT_TRUE(WriteLzh(archive, {FileItem("c.txt", dir / "c2")}, false));
    std::string out2 = dir / "out2";
    ASSERT_TRUE(ExtractLzh(archive, Into(out2)));
    EXPECT_EQ(std::set<std::string>{"c.txt"}, ListNames(out2));
}

TEST(LzhTest, FailedWriteLeavesExistingArchiveAlone) {
    TempDir dir;
    std::string archive = dir / "t.lzh";
    ASSERT_TRUE(WriteTextFile(archive, "not an archive"));
    EXPECT_FALSE(WriteLzh(archive, {FileItem("gone.txt", dir / "missing")}, false));
    EXPECT_FALSE(WriteLzh(archive, {}, true));  // an unreadable archive is not added to
    EXPECT_EQ("not an archive", Read(archive));
    EXPECT_FALSE(WriteLzh(dir / "new.lzh", {FileItem("gone.txt", dir / "missing")}, false));
    EXPECT_FALSE(FileExists(dir / "new.lzh"));
}

TEST(LzhTest, ReadsLevel0And1AndSkipsHostileUnknownAndCorruptEntries) {
    TempDir dir;
    const std::string hyo = kHyo;
    std::string archive = dir / "t.lzh";
    ASSERT_TRUE(
        WriteTextFile(archive, LzhLevel0("..\\x.txt", "evil") + LzhLevel0("C:\\x.txt", "evil") +
                                   LzhLevel0("\\x.txt", "evil") + LzhLevel0("/x.txt", "evil") +
                                   LzhLevel0("packed.txt", "\x12\x34\x56", "-lh5-") +
                                   LzhLevel0("bad.txt", "data", "-lh0-", 0x1234, true) +
                                   LzhLevel0(hyo + "\\ok0.txt", "zero") +
                                   LzhLevel1(hyo, "ok1.txt", "one") + '\0'));
    std::string out = dir / "out";
    MakeDir(out);
    EXPECT_FALSE(ExtractLzh(archive, Into(out)));  // the refused entries are failures
    EXPECT_EQ("zero", Read(out + "\\" + hyo + "\\ok0.txt"));
    EXPECT_EQ("one", Read(out + "\\" + hyo + "\\ok1.txt"));
    EXPECT_EQ(std::set<std::string>{hyo}, ListNames(out));
    EXPECT_EQ((std::set<std::string>{"ok0.txt", "ok1.txt"}), ListNames(out + "\\" + hyo));
    EXPECT_FALSE(FileExists(dir / "x.txt"));
}

TEST(LzhTest, OverwriteAsksOrReplacesExistingFiles) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "src", "new"));
    std::string archive = dir / "t.lzh";
    ASSERT_TRUE(WriteLzh(archive, {FileItem("f.txt", dir / "src")}, false));
    std::string out = dir / "out";
    MakeDir(out);
    ASSERT_TRUE(WriteTextFile(out + "\\f.txt", "old"));
    ExtractJob job;
    job.archive = archive;
    job.destDir = out + "\\";
    job.enable = &EnableLzhReaders;
    OverwriteAnswer answer = OverwriteAnswer::skip;
    int asked = 0;
    job.askOverwrite = [&](const std::string& entry) {
        EXPECT_EQ("f.txt", entry);
        ++asked;
        return answer;
    };
    ASSERT_EQ(kOk, ExtractWithReaders(job).code);
    EXPECT_EQ("old", Read(out + "\\f.txt"));
    answer = OverwriteAnswer::overwrite;
    ASSERT_EQ(kOk, ExtractWithReaders(job).code);
    EXPECT_EQ("new", Read(out + "\\f.txt"));
    EXPECT_EQ(2, asked);
    ASSERT_TRUE(WriteTextFile(out + "\\f.txt", "old"));
    ASSERT_TRUE(ExtractLzh(archive, Into(out, true)));  // the switch: no question
    EXPECT_EQ("new", Read(out + "\\f.txt"));
    EXPECT_EQ(2, asked);
}

TEST(CabTest, RoundTripWithJapaneseNamesAndLargeFiles) {
    TempDir dir;
    const std::string hyo = kHyo;
    std::string big;
    for (int i = 0; i < 100000; ++i) big += static_cast<char>(i * 7 % 251);
    ASSERT_TRUE(WriteTextFile(dir / "a.txt", "alpha"));
    ASSERT_TRUE(WriteTextFile(dir / "big", big));
    std::string archive = dir / "t.cab";
    ASSERT_TRUE(WriteCab(archive, {FileItem("a.txt", dir / "a.txt"), DirItem(hyo),
                                   FileItem(hyo + "\\sub/" + hyo + ".bin", dir / "big")}));
    EXPECT_EQ(Kind::Cab, DetectKind(archive));
    std::string out = dir / "out";
    ASSERT_TRUE(ExtractCab(archive, Into(out)));
    EXPECT_EQ("alpha", Read(out + "\\a.txt"));
    EXPECT_EQ(big, Read(out + "\\" + hyo + "\\sub\\" + hyo + ".bin"));
    EXPECT_EQ(kDosTime, FileDosTime(out + "\\a.txt"));

    // The same cabinet claiming MSZIP: the folder is skipped, nothing is written.
    std::string cab = Read(archive);
    cab[36 + 6] = 1;
    ASSERT_TRUE(WriteTextFile(archive, cab));
    std::string out2 = dir / "out2";
    MakeDir(out2);
    EXPECT_FALSE(ExtractCab(archive, Into(out2)));
    EXPECT_TRUE(ListNames(out2).empty());
}

TEST(CabTest, SkipsHostileNamesAndCorruptBlocks) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "src", "data"));
    std::string archive = dir / "t.cab";
    ASSERT_TRUE(
        WriteCab(archive, {FileItem("..\\x.txt", dir / "src"), FileItem("C:\\x.txt", dir / "src"),
                           FileItem("ok.txt", dir / "src")}));
    std::string out = dir / "out";
    MakeDir(out);
    EXPECT_FALSE(ExtractCab(archive, Into(out)));
    EXPECT_EQ(std::set<std::string>{"ok.txt"}, ListNames(out));
    EXPECT_FALSE(FileExists(dir / "x.txt"));

    std::string cab = Read(archive);
    cab.back() ^= 1;  // the block checksum no longer matches
    ASSERT_TRUE(WriteTextFile(archive, cab));
    RemoveTree(out);
    MakeDir(out);
    ExtractCab(archive, Into(out));
    EXPECT_TRUE(ListNames(out).empty());
}

TEST(RarTest, ExtractsStoredEntriesOfRar4) {
    TempDir dir;
    const std::string hyo = kHyo;
    std::string archive = dir / "t.rar";
    ASSERT_TRUE(WriteTextFile(
        archive,
        Rar4Archive(Rar4File(hyo, "", 0x30, 0x80E0, 0x10) +
                    Rar4File(hyo + "\\" + hyo + ".txt", "stored data") +
                    Rar4File("locked.txt", "secret", 0x30, 0x8004) +
                    Rar4File("bad.txt", "data", 0x30, 0x8000, 0x20, 0xDEADBEEF, true) +
                    Rar4File("..\\up.txt", "evil") + Rar4File("empty\\", "", 0x30, 0x8000, 0x10) +
                    Rar4File("last.txt", "last") +
                    // Last: libarchive gives up on the archive after undecodable RAR data.
                    Rar4File("packed.txt", "\x01\x02\x03", 0x33))));
    EXPECT_EQ(Kind::Rar, DetectKind(archive));
    std::string out = dir / "out";
    MakeDir(out);
    EXPECT_FALSE(ExtractRar(archive, Into(out)));
    EXPECT_EQ("stored data", Read(out + "\\" + hyo + "\\" + hyo + ".txt"));
    EXPECT_EQ(kDosTime, FileDosTime(out + "\\" + hyo + "\\" + hyo + ".txt"));
    EXPECT_EQ("last", Read(out + "\\last.txt"));
    EXPECT_TRUE(IsDirectory(out + "\\empty"));
    EXPECT_EQ((std::set<std::string>{hyo, "empty", "last.txt"}), ListNames(out));
    EXPECT_FALSE(FileExists(dir / "up.txt"));
}

TEST(RarTest, ExtractsStoredEntriesOfRar5) {
    TempDir dir;
    const std::string hyo = kHyo;
    std::string archive = dir / "t.rar";
    ASSERT_TRUE(WriteTextFile(
        archive, Rar5Archive(Rar5File(u8"表/日本語.txt", "five") + Rar5File(u8"dir", "", true) +
                             Rar5File("ok.txt", "ok") + Rar5File("packed.txt", "xyz", false, 3))));
    EXPECT_EQ(Kind::Rar, DetectKind(archive));
    std::string out = dir / "out";
    MakeDir(out);
    EXPECT_FALSE(ExtractRar(archive, Into(out)));
    EXPECT_EQ("five", Read(out + "\\" + hyo + "\\日本語.txt"));
    EXPECT_EQ("ok", Read(out + "\\ok.txt"));
    EXPECT_TRUE(IsDirectory(out + "\\dir"));
    EXPECT_EQ((std::set<std::string>{hyo, "dir", "ok.txt"}), ListNames(out));
}

TEST(ArjTest, ExtractsStoredEntriesAndSkipsTheRest) {
    TempDir dir;
    const std::string hyo = kHyo;
    std::string archive = dir / "t.arj";
    ASSERT_TRUE(WriteTextFile(
        archive,
        ArjArchive(
            ArjHeader(3, 0, hyo, "") + ArjHeader(0, 0, hyo + "\\" + hyo + ".txt", "arj data") +
            ArjHeader(0, 1, "packed.txt", "\x01\x02") + ArjHeader(0, 0, "garbled.txt", "xx", 0x01) +
            ArjHeader(0, 0, "C:\\x.txt", "evil") + ArjHeader(1, 0, "sub/text.txt", "text"))));
    EXPECT_EQ(Kind::Arj, DetectKind(archive));
    std::string out = dir / "out";
    MakeDir(out);
    EXPECT_FALSE(ExtractArj(archive, Into(out)));  // the refused entries are failures
    EXPECT_EQ("arj data", Read(out + "\\" + hyo + "\\" + hyo + ".txt"));
    EXPECT_EQ(kDosTime, FileDosTime(out + "\\" + hyo + "\\" + hyo + ".txt"));
    EXPECT_EQ("text", Read(out + "\\sub\\text.txt"));
    EXPECT_EQ((std::set<std::string>{hyo, "sub"}), ListNames(out));
}

TEST(DamageTest, TruncatedOrChangedArchivesNeverYieldWrongFiles) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "a", "alpha alpha"));
    ASSERT_TRUE(WriteTextFile(dir / "b", "bravo"));
    std::vector<Item> items = {FileItem("a.txt", dir / "a"), FileItem("s\\b.txt", dir / "b")};
    std::vector<std::pair<std::string, std::string>> expected = {{"a.txt", "alpha alpha"},
                                                                 {"s\\b.txt", "bravo"}};
    ASSERT_TRUE(WriteLzh(dir / "t.lzh", items, false));
    ASSERT_TRUE(WriteCab(dir / "t.cab", items));
    CheckDamage(ExtractLzh, Read(dir / "t.lzh"), expected);
    // A cabinet has no per-file checksum: a changed offset yields other bytes, so only no crash.
    CheckDamage(ExtractCab, Read(dir / "t.cab"), expected, false);
    CheckDamage(ExtractRar,
                Rar4Archive(Rar4File("a.txt", "alpha alpha") + Rar4File("s\\b.txt", "bravo")),
                expected);
    CheckDamage(ExtractRar,
                Rar5Archive(Rar5File("a.txt", "alpha alpha") + Rar5File("s/b.txt", "bravo")),
                expected);
    CheckDamage(
        ExtractArj,
        ArjArchive(ArjHeader(0, 0, "a.txt", "alpha alpha") + ArjHeader(0, 0, "s\\b.txt", "bravo")),
        expected);
}

TEST(DetectKindTest, LooksAtContentOnly) {
    TempDir dir;
    std::string ustar(512, '\0');
    ustar.replace(0, 5, "a.txt");
    ustar.replace(257, 6, std::string("ustar\0", 6));
    std::string oldTar(512, '\0');
    oldTar.replace(0, 5, "a.txt");
    oldTar.replace(100, 7, "0000644");
    unsigned sum = 0;
    for (size_t i = 0; i < 512; ++i)
        sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(oldTar[i]);
    char field[8];
    snprintf(field, sizeof field, "%06o", sum);
    oldTar.replace(148, 7, std::string(field, 6) + '\0');
    std::string badTar = oldTar;
    badTar[0] = 'b';
    std::string arj = ArjArchive("");
    std::string badArj = arj;
    badArj[10] ^= 1;
    const std::pair<std::string, Kind> rows[] = {
        {"", Kind::None},
        {"just some text, not a zip", Kind::None},
        {std::string("PK\x03\x04", 4) + std::string(40, '\0'), Kind::Zip},
        {"MZ stub bytes" + std::string("PK\x05\x06", 4) + std::string(16, '\0') + Le16(3) + "abc",
         Kind::Zip},
        {"MZ stub bytes" + std::string("PK\x05\x06", 4) + std::string(16, '\0') + Le16(9) + "abc",
         Kind::None},
        {std::string("MSCF\0\0\0\0", 8) + std::string(40, '\0'), Kind::Cab},
        {Rar4Archive(""), Kind::Rar},
        {Rar5Archive(""), Kind::Rar},
        {arj, Kind::Arj},
        {badArj, Kind::None},
        {std::string("\x1f\x8b\x08\0", 4) + std::string(20, '\0'), Kind::Gzip},
        {LzhLevel0("a.txt", "x") + '\0', Kind::Lzh},
        {ustar, Kind::Tar},
        {oldTar, Kind::Tar},
        {badTar, Kind::None},
    };
    int n = 0;
    for (const auto& [bytes, kind] : rows) {
        std::string path = dir / ("x" + std::to_string(n++) + ".zip");
        ASSERT_TRUE(WriteTextFile(path, bytes));
        EXPECT_EQ(kind, DetectKind(path)) << "row " << n - 1;
    }
    EXPECT_EQ(Kind::None, DetectKind(dir / "missing.lzh"));
}

}  // namespace
