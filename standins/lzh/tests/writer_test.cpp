// The LZH writer: entries packed as asked or stored when packing would not shrink them,
// read back through the extraction engine; adding to an archive; failures that leave
// nothing behind; the self-extracting program that carries such an archive.
#include "standins/codecs/lzh_encoder.h"
#include "standins/core/formats.h"
#include "standins/lzh/header.h"
#include "standins/lzh/lzh.h"
#include "standins/tests/archive_builders.h"
#include "standins/tests/extract_any.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowWatcher.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace standin;
using namespace standin_test;
using testing_support::FileExists;
using testing_support::StandinDir;
using testing_support::ReadTextFile;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

ExtractOptions Into(const std::string& dir) {
    ExtractOptions options;
    options.destDir = dir + "\\";
    return options;
}

std::string Read(const std::string& path) {
    std::string s;
    return ReadTextFile(path, s) ? s : "<missing>";
}

// Bytes no LZ77 coder shrinks, the same for a given seed.
std::string Noise(size_t size, uint32_t seed) {
    std::string s(size, '\0');
    for (char& c : s) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return s;
}

// Lines of words with long-range repeats: packs well, and needs more than one block.
std::string Text(size_t size, uint32_t seed) {
    static const char* const kWords[] = {"archive", "header", "window", "stream", "folder",
                                         "表示", "圧縮", "the", "of", "and", "\r\n"};
    std::string s;
    while (s.size() < size) {
        seed = seed * 1664525u + 1013904223u;
        s += kWords[(seed >> 16) % 11];
        s += ' ';
    }
    s.resize(size);
    return s;
}

// Each entry's method, in archive order: level 2 (the writer's) counts its whole header in
// its first two bytes, level 1 its base header in the first byte and its extended headers in
// the packed size.
std::vector<std::string> Methods(const std::string& archive) {
    std::vector<std::string> methods;
    size_t pos = 0;
    while (pos + 22 <= archive.size() && archive[pos] != '\0') {
        methods.push_back(archive.substr(pos + 2, 5));
        size_t header = archive[pos + 20] == 2 ? GetLe16(archive, pos)
                                               : 2 + static_cast<unsigned char>(archive[pos]);
        pos += header + GetLe32(archive, pos + 7);
    }
    return methods;
}

TEST(LzhWriterTest, PacksWhatShrinksAndStoresTheRest) {
    const std::string hyo = kHyo;
    const std::string text = Text(300000, 1), noise = Noise(40000, 2);
    struct Round {
        LzhPacking packing;
        const char* method;
    };
    for (Round round : {Round{LzhPacking::lh5, "-lh5-"}, Round{LzhPacking::lh7, "-lh7-"},
                        Round{LzhPacking::stored, "-lh0-"}}) {
        SCOPED_TRACE(round.method);
        TempDir dir;
        ASSERT_TRUE(WriteTextFile(dir / "text", text));
        ASSERT_TRUE(WriteTextFile(dir / "noise", noise));
        ASSERT_TRUE(WriteTextFile(dir / "empty", ""));
        ASSERT_TRUE(WriteTextFile(dir / "tiny", "ab"));
        std::string archive = dir / "t.lzh";
        ASSERT_TRUE(WriteLzh(archive,
                             {FileItem(hyo + "\\" + hyo + ".txt", dir / "text"),
                              FileItem("noise.bin", dir / "noise"),
                              FileItem("empty.txt", dir / "empty"),
                              FileItem("tiny.txt", dir / "tiny"), DirItem(hyo + "\\empty")},
                             false, round.packing));
        std::string bytes = Read(archive);
        EXPECT_EQ((std::vector<std::string>{round.method, "-lh0-", "-lh0-", "-lh0-", "-lhd-"}),
                  Methods(bytes));
        if (round.packing != LzhPacking::stored) {
            EXPECT_LT(bytes.size(), text.size() / 2);
        }
        std::string out = dir / "out";
        ASSERT_TRUE(ExtractArchive(Kind::Lzh, archive, Into(out)));
        EXPECT_TRUE(Read(out + "\\" + hyo + "\\" + hyo + ".txt") == text);
        EXPECT_TRUE(Read(out + "\\noise.bin") == noise);
        EXPECT_EQ("", Read(out + "\\empty.txt"));
        EXPECT_EQ("ab", Read(out + "\\tiny.txt"));
        EXPECT_TRUE(testing_support::IsDirectory(out + "\\" + hyo + "\\empty"));
    }
}

// Several megabytes, mixing text and noise, go through in pieces. The peak working set may
// grow by far less than the file: no file is held whole.
TEST(LzhWriterTest, StreamsAFileOfSeveralMegabytes) {
    TempDir dir;
    const size_t kPiece = 1 << 20;
    const int kPieces = 12;
    {
        HANDLE h = CreateFileA((dir / "big").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        for (int i = 0; i < kPieces; ++i) {
            std::string piece = i % 3 == 2 ? Noise(kPiece, i) : Text(kPiece, i);
            DWORD written = 0;
            WriteFile(h, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr);
        }
        CloseHandle(h);
    }
    PROCESS_MEMORY_COUNTERS before{};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before));
    std::string archive = dir / "big.lzh";
    ASSERT_TRUE(WriteLzh(archive, {FileItem("big.bin", dir / "big")}, false, LzhPacking::lh7));
    PROCESS_MEMORY_COUNTERS after{};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after));
    EXPECT_LT(after.PeakWorkingSetSize, before.PeakWorkingSetSize + 4 * kPiece);

    std::string out = dir / "out";
    ASSERT_TRUE(ExtractArchive(Kind::Lzh, archive, Into(out)));
    std::string back = Read(out + "\\big.bin");
    ASSERT_EQ(kPiece * kPieces, back.size());
    for (int i = 0; i < kPieces; ++i) {
        std::string piece = i % 3 == 2 ? Noise(kPiece, i) : Text(kPiece, i);
        EXPECT_TRUE(back.compare(i * kPiece, kPiece, piece) == 0) << "piece " << i;
    }
    EXPECT_EQ((std::vector<std::string>{"-lh7-"}), Methods(Read(archive)));
}

// The data of the extended header of type in the level-2 header at the start of archive;
// empty when it has none. The last two bytes of each give the size of the next.
std::string ExtendedHeader(const std::string& archive, unsigned char type) {
    size_t end = GetLe16(archive, 0);
    size_t pos = 26;
    for (size_t next = GetLe16(archive, 24); next >= 3 && pos + next <= end;) {
        if (static_cast<unsigned char>(archive[pos]) == type)
            return archive.substr(pos + 1, next - 3);
        pos += next;
        next = GetLe16(archive, pos - 2);
    }
    return "";
}

// A file listed at 4 GiB or more has its sizes in the 0x42 header, whatever it holds when it
// is read: the header's length is fixed before the data is written. The library reads the
// sizes from there, and adding to the archive steps over the entry by them.
TEST(LzhWriterTest, AFileListedPast4GiBCarriesItsSizesIn64Bits) {
    TempDir dir;
    const std::string text = Text(30000, 9);
    ASSERT_TRUE(WriteTextFile(dir / "a", text));
    ASSERT_TRUE(WriteTextFile(dir / "b", "b"));
    Item big = FileItem("big.txt", dir / "a");
    big.size = 5ull << 30;
    std::string archive = dir / "t.lzh";
    ASSERT_TRUE(WriteLzh(archive, {big}, false, LzhPacking::lh5));
    std::string bytes = Read(archive);
    std::string sizes = ExtendedHeader(bytes, 0x42);
    ASSERT_EQ(16u, sizes.size());
    uint64_t packed = GetLe64(sizes, 0);
    EXPECT_LT(packed, text.size() / 2);
    EXPECT_EQ(text.size(), GetLe64(sizes, 8));
    EXPECT_EQ(packed, GetLe32(bytes, 7));
    EXPECT_EQ(text.size(), GetLe32(bytes, 11));

    ASSERT_TRUE(WriteLzh(archive, {FileItem("b.txt", dir / "b")}, true, LzhPacking::lh5));
    EXPECT_EQ((std::vector<std::string>{"-lh5-", "-lh0-"}), Methods(Read(archive)));
    std::string out = dir / "out";
    ASSERT_TRUE(ExtractArchive(Kind::Lzh, archive, Into(out)));
    EXPECT_TRUE(Read(out + "\\big.txt") == text);
    EXPECT_EQ("b", Read(out + "\\b.txt"));
}

// Past 32 bits the base header keeps the sizes' low parts and only 0x42 the whole. Here the
// low parts describe the five bytes that follow, the whole sizes 4 GiB more: both readers
// must take the whole ones and find the archive cut short.
TEST(LzhWriterTest, SizesPast32BitsAreTakenFromTheExtendedHeader) {
    Item item = FileItem("w.bin", "");
    LzhFacts facts;
    facts.packedSize = facts.originalSize = (1ull << 32) + 5;
    std::string header;
    EXPECT_FALSE(BuildLzhHeader(item, facts, header));  // no room for them
    facts.wide = true;
    facts.crc = LzhCrc16("hello", 5);
    ASSERT_TRUE(BuildLzhHeader(item, facts, header));
    EXPECT_EQ(5u, GetLe32(header, 7));
    EXPECT_EQ(5u, GetLe32(header, 11));
    std::string sizes = ExtendedHeader(header, 0x42);
    ASSERT_EQ(16u, sizes.size());
    EXPECT_EQ(facts.packedSize, GetLe64(sizes, 0));
    EXPECT_EQ(facts.originalSize, GetLe64(sizes, 8));

    TempDir dir;
    std::string archive = dir / "w.lzh";
    const std::string bytes = header + "hello" + '\0';
    ASSERT_TRUE(WriteTextFile(archive, bytes));
    EXPECT_FALSE(ExtractArchive(Kind::Lzh, archive, Into(dir / "out")));
    ASSERT_TRUE(WriteTextFile(dir / "b", "b"));
    WriteJob job;
    job.archive = archive;
    job.items = {FileItem("b.txt", dir / "b")};
    WriteResult result = WriteLzhArchive(job, LzhPacking::lh5, true);
    EXPECT_EQ(WriteError::cannotRead, result.error);
    EXPECT_EQ("w.lzh", result.entry);
    EXPECT_TRUE(Read(archive) == bytes);
}

TEST(LzhWriterTest, AddingKeepsPackedEntriesAndReplacesInPlace) {
    TempDir dir;
    const std::string a = Text(50000, 3), b1 = Text(40000, 4), b2 = Text(30000, 5);
    ASSERT_TRUE(WriteTextFile(dir / "a", a));
    ASSERT_TRUE(WriteTextFile(dir / "b1", b1));
    ASSERT_TRUE(WriteTextFile(dir / "b2", b2));
    ASSERT_TRUE(WriteTextFile(dir / "c", "c"));
    std::string archive = dir / "t.lzh";
    ASSERT_TRUE(WriteLzh(archive, {FileItem("a.txt", dir / "a"), FileItem("d\\b.txt", dir / "b1")},
                         false, LzhPacking::lh5));
    // A level-1 entry of another archiver, at the end, must come through as it was.
    std::string old = Read(archive);
    old.pop_back();
    ASSERT_TRUE(WriteTextFile(archive, old + LzhLevel1("old", "x.txt", "level one") + '\0'));
    ASSERT_TRUE(WriteLzh(archive, {FileItem("D/B.TXT", dir / "b2"), FileItem("c.txt", dir / "c")},
                         true, LzhPacking::lh7));
    EXPECT_EQ((std::vector<std::string>{"-lh5-", "-lh7-", "-lh0-", "-lh0-"}),
              Methods(Read(archive)));
    std::string out = dir / "out";
    ASSERT_TRUE(ExtractArchive(Kind::Lzh, archive, Into(out)));
    EXPECT_TRUE(Read(out + "\\a.txt") == a);
    EXPECT_TRUE(Read(out + "\\d\\b.txt") == b2);
    EXPECT_EQ("level one", Read(out + "\\old\\x.txt"));
    EXPECT_EQ("c", Read(out + "\\c.txt"));
}

TEST(LzhWriterTest, FailuresLeaveTheOldArchiveOrNone) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "a", Text(20000, 6)));
    std::string fresh = dir / "new.lzh";
    WriteJob job;
    job.archive = fresh;
    job.items = {FileItem("a.txt", dir / "a"), FileItem("gone.txt", dir / "missing")};
    WriteResult result = WriteLzhArchive(job, LzhPacking::lh5, true);
    EXPECT_EQ(WriteError::cannotRead, result.error);
    EXPECT_EQ("gone.txt", result.entry);
    EXPECT_FALSE(FileExists(fresh));
    EXPECT_FALSE(FileExists(fresh + ".~zbtmp"));

    // A cancel in the middle keeps the archive that was there.
    std::string archive = dir / "t.lzh";
    ASSERT_TRUE(WriteLzh(archive, {FileItem("a.txt", dir / "a")}, false, LzhPacking::lh5));
    const std::string before = Read(archive);
    job.archive = archive;
    job.items = {FileItem("b.txt", dir / "a")};
    int calls = 0;
    job.progress = [&calls](const std::string&, uint64_t, uint64_t) { return ++calls < 2; };
    EXPECT_EQ(WriteError::cancelled, WriteLzhArchive(job, LzhPacking::lh5, true).error);
    EXPECT_TRUE(Read(archive) == before);

    // An archive that breaks off is not added to: its entries would be lost.
    ASSERT_TRUE(WriteTextFile(archive, before.substr(0, before.size() - 10)));
    job.progress = nullptr;
    result = WriteLzhArchive(job, LzhPacking::lh5, true);
    EXPECT_EQ(WriteError::cannotRead, result.error);
    EXPECT_EQ("t.lzh", result.entry);
    EXPECT_TRUE(Read(archive) == before.substr(0, before.size() - 10));
    EXPECT_FALSE(FileExists(archive + ".~zbtmp"));
}

// Runs program with its own path and dest as arguments and waits for it; its exit code, or
// 99 when it cannot start or does not end.
DWORD RunProgram(const std::string& program, const std::string& dest) {
    std::string line = "\"" + program + "\" \"" + dest + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 99;
    DWORD code = 99;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Unlha32's "s -gw3" on archive, writing <dir>\t.exe; the command's result.
int MakeProgram(const std::string& archive, const std::string& dir) {
    using CommandFn = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
    HMODULE dll = LoadLibraryA((StandinDir() + "\\Unlha32.dll").c_str());
    if (!dll) return -1;
    auto command =
        reinterpret_cast<CommandFn>(reinterpret_cast<void*>(GetProcAddress(dll, "Unlha")));
    std::string text = "s -gw3 \"" + archive + "\" \"" + dir + "\\\"";
    int result = command ? command(nullptr, text.c_str(), nullptr, 0) : -1;
    FreeLibrary(dll);
    return result;
}

// The program carries -lh5- and -lh7- entries and extracts them; one whose packed data was
// damaged says so in Unlha32's box, naming itself and the entry, and ends with 1.
TEST(LzhSelfExtractingTest, ExtractsPackedEntriesAndNamesADamagedOne) {
    const std::string text = Text(200000, 8);
    for (LzhPacking packing : {LzhPacking::lh5, LzhPacking::lh7}) {
        TempDir dir;
        ASSERT_TRUE(WriteTextFile(dir / "text", text));
        std::string archive = dir / "t.lzh";
        ASSERT_TRUE(WriteLzh(archive, {FileItem(std::string(kHyo) + ".txt", dir / "text")}, false,
                             packing));
        ASSERT_EQ(0, MakeProgram(archive, dir.path()));
        std::string out = dir / "out";
        EXPECT_EQ(0u, RunProgram(dir / "t.exe", out));
        EXPECT_TRUE(Read(out + "\\" + kHyo + ".txt") == text);

        std::string bytes = Read(archive);
        bytes[bytes.size() / 2] ^= 0x55;
        ASSERT_TRUE(WriteTextFile(archive, bytes));
        ASSERT_EQ(0, MakeProgram(archive, dir.path()));
        testing_support::WindowWatcher watcher({{"#32770", "Unlha32.dll", {}, IDOK, 0}});
        EXPECT_EQ(1u, RunProgram(dir / "t.exe", dir / "out2"));
        ASSERT_TRUE(watcher.wait());
        std::string shown = watcher.visits()[0].before.allTexts();
        EXPECT_NE(std::string::npos, shown.find(dir / "t.exe")) << shown;
        EXPECT_NE(std::string::npos, shown.find(std::string(kHyo) + ".txt")) << shown;
    }
}

}  // namespace
