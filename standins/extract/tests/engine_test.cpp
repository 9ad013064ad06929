// The extraction engine with archives written by libarchive itself (tar and ZIP with the
// names, links and damage a hostile or foreign archive carries), through ExtractWithReaders
// with no window: what reaches the disk, what is refused and how the failures read.
#include "standins/arj/arj.h"
#include "standins/cab/cab.h"
#include "standins/command/command.h"
#include "standins/core/formats.h"
#include "standins/core/names.h"
#include "standins/extract/engine.h"
#include "standins/lzh/lzh.h"
#include "standins/rar/rar.h"
#include "standins/tar/tar.h"
#include "standins/tests/archive_builders.h"
#include "standins/tests/extract_any.h"
#include "standins/zip/zip.h"

#include <windows.h>

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "tests/support/TestFiles.h"

using namespace standin;
using testing_support::FileExists;
using testing_support::MakeDir;
using testing_support::ReadTextFile;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

struct Entry {
    Entry(std::string n, std::string d, char t = 'f', std::string l = std::string())
        : name(std::move(n)), data(std::move(d)), type(t), link(std::move(l)) {}
    std::string name;  // UTF-8 when the writer is told so, else bytes
    std::string data;
    char type;         // 'f' file, 'd' folder, 's' symbolic link, 'h' hard link
    std::string link;  // target of 's' and 'h'
};

// An archive of entries written by libarchive's writer, in memory.
std::string WriteWithLibarchive(const std::vector<Entry>& entries, bool zip,
                                const char* options = nullptr) {
    struct archive* a = archive_write_new();
    zip ? archive_write_set_format_zip(a) : archive_write_set_format_pax_restricted(a);
    if (options) archive_write_set_options(a, options);
    std::string out(4 << 20, '\0');
    size_t used = 0;
    archive_write_open_memory(a, &out[0], out.size(), &used);
    for (const Entry& e : entries) {
        struct archive_entry* entry = archive_entry_new();
        // A ZIP writer told hdrcharset=UTF-8 takes the name wide, or it would encode each
        // byte of it (the "C" locale's) as a character.
        if (zip && options && strstr(options, "UTF-8"))
            archive_entry_copy_pathname_w(entry, standin::Utf8ToWide(e.name).data());
        else
            archive_entry_copy_pathname(entry, e.name.c_str());
        archive_entry_set_mtime(entry, 1700000000, 0);
        if (e.type == 'd') {
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
        } else if (e.type == 's') {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_copy_symlink(entry, e.link.c_str());
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            if (e.type == 'h') archive_entry_copy_hardlink(entry, e.link.c_str());
            archive_entry_set_size(entry, static_cast<la_int64_t>(e.data.size()));
        }
        archive_write_header(a, entry);
        if (!e.data.empty()) archive_write_data(a, e.data.data(), e.data.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    out.resize(used);
    return out;
}

ExtractJob JobFor(const std::string& archive, const std::string& dest, EnableReaders enable) {
    ExtractJob job;
    job.archive = archive;
    job.destDir = dest + "\\";
    job.enable = enable;
    if (enable == &EnableZipReaders) job.storedNames = &ListZipStoredNames;
    if (enable == &EnableCabReaders) job.storedNames = &ListCabStoredNames;
    if (enable == &EnableTarReaders) job.storedNames = &ListTarStoredNames;
    return job;
}

ExtractResult Extract(const std::string& archive, const std::string& dest, EnableReaders enable,
                      bool overwrite = false) {
    ExtractJob job = JobFor(archive, dest, enable);
    job.overwrite = overwrite;
    return ExtractWithReaders(job);
}

// Every file (with its content) and folder below dir read with the wide API, in UTF-8.
std::string WideTree(const std::string& dir) {
    return standin_test::ListTreeUtf8(dir);
}

std::string Renames(const ExtractResult& result) {
    std::string out;
    for (const Renamed& r : result.renamed) out += r.stored + ">" + r.written + "|";
    return out;
}

// Every file (with its content) and folder below dir, sorted, '|' after each.
std::string Tree(const std::string& dir) {
    return standin_test::ListTree(dir, standin_test::FileDetail::content);
}

// The names directly inside dir, sorted, '|' after each.
std::string TopNames(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return std::string();
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& n : names) out += n + "|";
    return out;
}

std::string Codes(const ExtractResult& result) {
    std::string out;
    for (const Failure& f : result.failures) {
        char code[16];
        snprintf(code, sizeof code, "%X", f.code);
        out += f.entry + "=" + code + "|";
    }
    return out;
}

}  // namespace

TEST(EngineTest, NamesThatLeadOutAreRefusedOthersMappedAndNothingLandsOutside) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "outside.txt", "mine"));
    std::string archive = dir / "hostile.tar";
    ASSERT_TRUE(WriteTextFile(archive, WriteWithLibarchive({
        {"ok.txt", "fine"},
        {"../up.txt", "evil"},
        {"/abs.txt", "evil"},
        {"C:/drive.txt", "evil"},
        {"sub/../../up2.txt", "evil"},
        {"//server/share/unc.txt", "evil"},
        {"CON", "evil"},
        {"dir/nul.txt", "evil"},
        {"a.txt:stream", "evil"},
        {"link", "", 's', "../.."},
        {"link/through.txt", "stays inside"},
        {"copy.txt", "", 'h', "ok.txt"},
        {"escape.txt", "", 'h', "../outside.txt"},
        {"./", "", 'd'},
        {"last.txt", "last"},
    }, false)));
    std::string dest = dir / "dest";
    ExtractResult result = Extract(archive, dest, &EnableTarReaders);

    // The symbolic link is not made, so "link/" is an ordinary folder inside. Devices and a
    // stream's colon are names Windows cannot hold: mapped, and listed.
    EXPECT_EQ("_CON=evil|a.txt_stream=evil|copy.txt=fine|dir\\|dir\\_nul.txt=evil|last.txt=last|"
              "link\\|link\\through.txt=stays inside|ok.txt=fine|",
              Tree(dest));
    EXPECT_EQ("CON>_CON|dir/nul.txt>dir\\_nul.txt|a.txt:stream>a.txt_stream|", Renames(result));
    EXPECT_EQ("dest|hostile.tar|outside.txt|", TopNames(dir.path()));
    std::string outside;
    ASSERT_TRUE(ReadTextFile(dir / "outside.txt", outside));
    EXPECT_EQ("mine", outside);
    EXPECT_EQ("../up.txt=8013|/abs.txt=8013|C:/drive.txt=8013|sub/../../up2.txt=8013|"
              "//server/share/unc.txt=8013|link=8013|escape.txt=8013|",
              Codes(result));
    EXPECT_EQ(kErrorCannotWrite, result.code);
    EXPECT_EQ(7u, result.written);
}

TEST(EngineTest, DamagedOrTruncatedEntriesLeaveNoFileAndNoTemporary) {
    TempDir dir;
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 5);
    std::string zip = WriteWithLibarchive({{"first.txt", "first"}, {"big.bin", big},
                                           {"last.txt", "last"}}, true);
    // A byte of big.bin's compressed data changed: inflate may still run, the CRC will not.
    std::string damaged = zip;
    size_t at = damaged.find("big.bin") + 7 + 2000;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x55);
    ASSERT_TRUE(WriteTextFile(dir / "damaged.zip", damaged));
    std::string out = dir / "damaged";
    ExtractResult result = Extract(dir / "damaged.zip", out, &EnableZipReaders);
    EXPECT_EQ("first.txt=first|last.txt=last|", Tree(out));
    ASSERT_EQ(1u, result.failures.size());
    EXPECT_EQ("big.bin", result.failures[0].entry);
    EXPECT_NE(kOk, result.code);

    // Cut in the middle of big.bin: what came before stays, nothing half-written remains.
    ASSERT_TRUE(WriteTextFile(dir / "cut.tar",
                              WriteWithLibarchive({{"first.txt", "first"}, {"big.bin", big}},
                                                  false).substr(0, 150000)));
    std::string cutOut = dir / "cut";
    result = Extract(dir / "cut.tar", cutOut, &EnableTarReaders);
    EXPECT_EQ("first.txt=first|", Tree(cutOut));
    EXPECT_EQ(kErrorHeaderBroken, result.code);
    ASSERT_FALSE(result.failures.empty());
    EXPECT_EQ("big.bin", result.failures.back().entry);
}

TEST(EngineTest, CancelStopsAtOnceAndKeepsOnlyWholeFiles) {
    TempDir dir;
    std::string big(1 << 20, 'b');
    ASSERT_TRUE(WriteTextFile(dir / "a.tar",
                              WriteWithLibarchive({{"small.txt", "small"}, {"big.bin", big},
                                                   {"after.txt", "after"}}, false)));
    ExtractJob job;
    job.archive = dir / "a.tar";
    job.destDir = dir / "out\\";
    job.enable = &EnableTarReaders;
    int calls = 0;
    job.progress = [&](const std::string& entry, uint64_t, uint64_t total) {
        EXPECT_GT(total, 0u);
        return entry != "big.bin" || ++calls < 3;  // Cancel pressed while big.bin is written
    };
    ExtractResult result = ExtractWithReaders(job);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(kErrorUserCancel, result.code);
    EXPECT_EQ("small.txt=small|", Tree(dir / "out"));
}

TEST(EngineTest, NamesArriveAsTheArchiveMeansThem) {
    TempDir dir;
    // UTF-8 flagged (libarchive sets the flag for hdrcharset=UTF-8), and tar as Linux writes it.
    std::string utf8Zip = WriteWithLibarchive({{u8"表ソ/日本.txt", "zip"}}, true, "hdrcharset=UTF-8");
    std::string utf8Tar = WriteWithLibarchive({{u8"表ソ/日本.txt", "tar"}}, false,
                                              "hdrcharset=BINARY");
    ASSERT_TRUE(WriteTextFile(dir / "u.zip", utf8Zip));
    ASSERT_TRUE(WriteTextFile(dir / "u.tar", utf8Tar));
    EXPECT_EQ(kOk, Extract(dir / "u.zip", dir / "zip", &EnableZipReaders).code);
    EXPECT_EQ(kOk, Extract(dir / "u.tar", dir / "tar", &EnableTarReaders).code);
    EXPECT_EQ("表ソ\\|表ソ\\日本.txt=zip|", Tree(dir / "zip"));
    EXPECT_EQ("表ソ\\|表ソ\\日本.txt=tar|", Tree(dir / "tar"));

    // Shift-JIS bytes as the project's own ZIP writer stores them (made on MS-DOS, and a top
    // name with no '/' whose trail bytes are 0x5C).
    ASSERT_TRUE(WriteTextFile(dir / "src", "sjis"));
    Item item;
    item.name = u8"表ソ.txt";
    item.sourcePath = dir / "src";
    Item nested = item;
    nested.name = u8"表\\ソ.txt";
    ASSERT_TRUE(WriteZip(dir / "s.zip", {item, nested}, true));
    EXPECT_EQ(kOk, Extract(dir / "s.zip", dir / "sjis", &EnableZipReaders).code);
    EXPECT_EQ("表\\|表\\ソ.txt=sjis|表ソ.txt=sjis|", Tree(dir / "sjis"));

    // Flagged names beyond the code page and of Latin-1 letters alone, which libarchive's
    // forms alone cannot tell from stored bytes; the directory's flag does.
    std::string latin = WriteWithLibarchive({{u8"résumé.txt", "r"}, {u8"Straße.txt", "s"},
                                             {u8"ü/x.txt", "u"}, {u8"한국어.txt", "k"},
                                             {u8"emoji😀.txt", "e"}, {u8"〜波.txt", "w"}},
                                            true, "hdrcharset=UTF-8");
    ASSERT_TRUE(WriteTextFile(dir / "l.zip", latin));
    ExtractResult result = Extract(dir / "l.zip", dir / "latin", &EnableZipReaders);
    EXPECT_EQ(kOk, result.code);
    // (Outside the macros: they spell their arguments in the code page.)
    const std::string expected =
        u8"Straße.txt=s|emoji😀.txt=e|résumé.txt=r|ü\\|ü\\x.txt=u|〜波.txt=w|한국어.txt=k|";
    EXPECT_EQ(expected, WideTree(dir / "latin"));
    EXPECT_TRUE(result.renamed.empty());

    // The tar writer's mix: pax paths for the names that do not fit, Shift-JIS ustar names
    // (表示: 0x95 0x5C) after them, which libarchive then calls pax too. Plain and in gzip.
    Item strasse = item, hyou = item, folder = item;
    strasse.name = u8"Straße.txt";
    hyou.name = u8"表示.txt";
    folder.name = u8"Müller\\ｱ表.txt";
    for (bool gzip : {false, true}) {
        std::string tar = dir / (gzip ? "mix.tgz" : "mix.tar");
        std::string out = dir / (gzip ? "mixgz" : "mix");
        ASSERT_TRUE(WriteTar(tar, {strasse, hyou, folder}, gzip));
        result = Extract(tar, out, &EnableTarReaders);
        EXPECT_EQ(kOk, result.code);
        const std::string mixed = u8"Müller\\|Müller\\ｱ表.txt=sjis|Straße.txt=sjis|表示.txt=sjis|";
        EXPECT_EQ(mixed, WideTree(out)) << (gzip ? "tgz" : "tar");
    }
}

TEST(EngineTest, ExistingFilesAreReplacedWithTheSwitchOrAsTheUserAnswers) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "a.tar", WriteWithLibarchive({{"f.txt", "new"}, {"g.txt", "new"},
                                                                   {"h.txt", "new"}}, false)));
    std::string out = dir / "out";
    auto reset = [&]() {
        for (const char* name : {"\\f.txt", "\\g.txt", "\\h.txt"}) {
            SetFileAttributesA((out + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            ASSERT_TRUE(WriteTextFile(out + name, "old"));
        }
        SetFileAttributesA((out + "\\f.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    };
    ASSERT_TRUE(MakeDir(out));
    // Answers in turn; each question names the entry.
    std::vector<OverwriteAnswer> answers;
    std::string asked;
    ExtractJob job = JobFor(dir / "a.tar", out, &EnableTarReaders);
    job.askOverwrite = [&](const std::string& entry) {
        asked += entry + "|";
        OverwriteAnswer a = answers.front();
        answers.erase(answers.begin());
        return a;
    };
    const struct {
        std::vector<OverwriteAnswer> answers;
        const char* asked;
        const char* tree;
        int code;
    } rows[] = {
        {{OverwriteAnswer::overwrite, OverwriteAnswer::skip, OverwriteAnswer::overwrite},
         "f.txt|g.txt|h.txt|", "f.txt=new|g.txt=old|h.txt=new|", kOk},
        {{OverwriteAnswer::skip, OverwriteAnswer::overwriteAll}, "f.txt|g.txt|",
         "f.txt=old|g.txt=new|h.txt=new|", kOk},
        {{OverwriteAnswer::skipAll}, "f.txt|", "f.txt=old|g.txt=old|h.txt=old|", kOk},
        // Cancel stops the command as Cancel in the progress window does.
        {{OverwriteAnswer::overwrite, OverwriteAnswer::cancel}, "f.txt|g.txt|",
         "f.txt=new|g.txt=old|h.txt=old|", kErrorUserCancel},
    };
    for (const auto& row : rows) {
        reset();
        answers = row.answers;
        asked.clear();
        ExtractResult result = ExtractWithReaders(job);
        EXPECT_EQ(row.asked, asked);
        EXPECT_EQ(row.tree, Tree(out)) << row.asked;
        EXPECT_EQ(row.code, result.code) << row.asked;
        EXPECT_EQ(row.code == kErrorUserCancel, result.cancelled) << row.asked;
    }
    // The switch replaces without a question, the read-only file too.
    reset();
    asked.clear();
    job.overwrite = true;
    EXPECT_EQ(kOk, ExtractWithReaders(job).code);
    EXPECT_EQ("", asked);
    EXPECT_EQ("f.txt=new|g.txt=new|h.txt=new|", Tree(out));

    // A folder where a file should go is a failure, and the folder stays.
    ASSERT_TRUE(MakeDir(dir / "dirs"));
    ASSERT_TRUE(MakeDir(dir / "dirs\\f.txt"));
    ExtractResult result = Extract(dir / "a.tar", dir / "dirs", &EnableTarReaders, true);
    EXPECT_EQ(kErrorCannotWrite, result.code);
    EXPECT_EQ("f.txt\\|g.txt=new|h.txt=new|", Tree(dir / "dirs"));
}

// Entries that land on one path: case, trailing dots and spaces, an 8.3 alias. None
// replaces or is dropped for another; each is written "name (n).ext" and listed, and the
// result stays kOk. The same stored name again (a tar appended to) replaces the earlier.
TEST(EngineTest, EntriesThatLandOnOnePathAreNumberedAndListed) {
    TempDir dir;
    // The alias Windows gives a long name, learnt from a file of that name.
    std::string probe = dir / "probe";
    ASSERT_TRUE(MakeDir(probe));
    ASSERT_TRUE(WriteTextFile(probe + "\\LongFileName.txt", "x"));
    char shortPath[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA((probe + "\\LongFileName.txt").c_str(), shortPath, MAX_PATH), 0u);
    std::string alias = strrchr(shortPath, '\\') + 1;
    ASSERT_NE("LongFileName.txt", alias);

    // (Outside the macros: they spell their arguments in the code page.)
    const std::string tar = WriteWithLibarchive({
        {"README.txt", "1"}, {"Readme.txt", "2"}, {"readme.TXT", "3"},
        {"name.", "4"}, {"name ", "5"},
        {"LongFileName.txt", "6"}, {alias, "7"},
        {"same.txt", "old"}, {"same.txt", "new"},
        {"Dir/a.txt", "a"}, {"dir/b.txt", "b"},  // folders merge
        {u8"한.txt", "h"}, {"hard", "", 'h', u8"한.txt"},
    }, false, "hdrcharset=BINARY");
    ASSERT_TRUE(WriteTextFile(dir / "c.tar", tar));
    ExtractResult result = Extract(dir / "c.tar", dir / "out", &EnableTarReaders);
    EXPECT_EQ(kOk, result.code);
    EXPECT_TRUE(result.failures.empty());
    std::string aliasStem = alias.substr(0, alias.find('.'));
    const std::string expected = "Dir\\|Dir\\a.txt=a|Dir\\b.txt=b|" + aliasStem +
                                 " (2).TXT=7|LongFileName.txt=6|README.txt=1|Readme (2).txt=2|"
                                 "hard=h|name (2)=5|name=4|readme (3).TXT=3|same.txt=new|" +
                                 std::string(u8"한.txt=h|");
    EXPECT_EQ(expected, WideTree(dir / "out"));
    EXPECT_EQ("Readme.txt>Readme (2).txt|readme.TXT>readme (3).TXT|name.>name|name >name (2)|" +
                  alias + ">" + aliasStem + " (2).TXT|",
              Renames(result));
    // The box lists each, as it was stored and as it was written.
    std::string text = DescribeFailures("C:\\in\\c.tar", result);
    const std::string listed = u8"Readme.txt → Readme (2).txt";
    EXPECT_NE(std::string::npos, text.find(listed)) << text;
    EXPECT_NE(std::string::npos, text.find("C:\\in\\c.tar")) << text;
}

TEST(EngineTest, PasswordsAreAskedUntilRightOrRefused) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "src", "secret data"));
    Item item;
    item.name = "s.txt";
    item.sourcePath = dir / "src";
    ASSERT_TRUE(WriteZipEncrypted(dir / "p.zip", {item}, true, "right"));

    std::vector<std::string> offered = {"wrong", "right"};
    ExtractJob job;
    job.archive = dir / "p.zip";
    job.destDir = dir / "good\\";
    job.enable = &EnableZipReaders;
    size_t asked = 0;
    job.askPassword = [&](const std::string& entry, std::string& password) {
        EXPECT_EQ("s.txt", entry);
        if (asked == offered.size()) return false;
        password = offered[asked++];
        return true;
    };
    EXPECT_EQ(kOk, ExtractWithReaders(job).code);
    EXPECT_EQ(2u, asked);
    EXPECT_EQ("s.txt=secret data|", Tree(dir / "good"));

    offered = {"wrong"};
    asked = 0;
    job.destDir = dir / "bad\\";
    ExtractResult result = ExtractWithReaders(job);
    EXPECT_EQ(kErrorPassword, result.code);
    EXPECT_FALSE(FileExists(dir / "bad\\s.txt"));
}

// One wrong password in 256 passes traditional encryption's check byte; the data's CRC then
// fails, and that is still a wrong password to the user, never "damaged" alone.
TEST(EngineTest, AWrongPasswordPastTheCheckByteIsStillAWrongPassword) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "src", "secret data"));
    Item item;
    item.name = "s.txt";
    item.sourcePath = dir / "src";
    ASSERT_TRUE(WriteZipEncrypted(dir / "p.zip", {item}, true, "right"));

    ExtractJob job;
    job.archive = dir / "p.zip";
    job.destDir = dir / "out\\";
    job.enable = &EnableZipReaders;
    std::string candidate;
    job.askPassword = [&](const std::string&, std::string& password) {
        if (candidate.empty()) return false;
        password = candidate;
        candidate.clear();
        return true;
    };
    int pastTheCheck = 0;
    for (int i = 0; i < 3000 && pastTheCheck < 2; ++i) {
        candidate = "w" + std::to_string(i);
        ExtractResult result = ExtractWithReaders(job);
        ASSERT_EQ(kErrorPassword, result.code) << "w" << i;
        ASSERT_EQ(1u, result.failures.size());
        if (result.failures[0].reason.find("壊れて") != std::string::npos) ++pastTheCheck;
    }
    EXPECT_GT(pastTheCheck, 0) << "no wrong password got past the check byte";
    EXPECT_EQ("", Tree(dir / "out"));
}

TEST(EngineTest, LoneCompressedFilesAreNamedWithoutTheirSuffix) {
    const struct {
        const char* archive;
        const char* stored;
        const char* name;
    } rows[] = {
        {"C:\\d\\notes.txt.gz", "", "notes.txt"},
        {"C:\\d\\notes.txt.bz2", "", "notes.txt"},
        {"C:\\d\\NOTES.TXT.XZ", "", "NOTES.TXT"},
        {"C:\\d\\notes.txt.Z", "", "notes.txt"},
        {"C:\\表\\ソ.gz", "", "ソ"},
        {"C:\\d\\noext", "", "noext.out"},
        {"C:\\d\\data.tgz", "", "data.tar"},  // a .tgz that holds no tar
        {"C:\\d\\data.tbz2", "", "data.tar"},
        // The archive's name wins over the one stored inside, as with gzip -d; the stored
        // one names only an archive whose name has no suffix to take away.
        {"C:\\d\\single1.txt.gz", "renamed.txt", "single1.txt"},
        {"C:\\d\\x.gz", "dir/original.txt", "x"},
        {"C:\\d\\download", "dir/original.txt", "original.txt"},
        {"C:\\d\\download", "..", "download.out"},  // a stored name that is no name
        {"C:\\d\\notes.txt.zst", "", "notes.txt"},
        {"C:\\d\\notes.txt.lz4", "", "notes.txt"},
        {"C:\\d\\notes.txt.lz", "", "notes.txt"},  // not taken for ".z"
        {"C:\\d\\data.tzst", "", "data.tar"},
        {"C:\\d\\data.tlz", "", "data.tar"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.name, LoneFileName(row.archive, row.stored)) << row.archive;
    }
}

TEST(EngineTest, OneMessageNamesTheArchiveAndEachFailureUpToAScreenful) {
    ExtractResult result;
    for (int i = 0; i < 15; ++i) {
        Failure f;
        f.entry = "e" + std::to_string(i);
        f.reason = "r";
        f.code = kErrorFileCrc;
        result.failures.push_back(f);
    }
    std::string text = DescribeFailures("C:\\a.lzh", result);
    EXPECT_NE(std::string::npos, text.find("C:\\a.lzh"));
    EXPECT_NE(std::string::npos, text.find("e11: r"));
    EXPECT_EQ(std::string::npos, text.find("e12: r"));
    const std::string more = u8"ほか 3 件";
    EXPECT_NE(std::string::npos, text.find(more));
}
