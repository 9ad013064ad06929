// The writing DLLs (Zip32j, Cab32, Tar32) as Zibrak drives them: the password dialog of
// Zip32j answered by the window watcher, and what a failed or cancelled write leaves: no
// archive, no temporary file, the old archive untouched, and a message box that says why.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "standins/cab/cab.h"
#include "standins/command/command.h"
#include "standins/core/formats.h"
#include "standins/lzh/lzh.h"
#include "standins/tar/tar.h"
#include "standins/zip/zip.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowWatcher.h"

using testing_support::FileExists;
using testing_support::kMessageBoxTextId;
using testing_support::MakeDir;
using testing_support::ReadTextFile;
using testing_support::StandinDir;
using testing_support::TempDir;
using testing_support::WindowStep;
using testing_support::WindowWatcher;
using testing_support::WriteTextFile;

namespace {

using CommandFn = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);

const char kPasswordCaption[] = "パスワードの入力";
const char kProgressCaption[] = "処理中";

// The DLL's result for one command text; -1 when it cannot be called.
int Call(const char* file, const char* prefix, const std::string& text) {
    HMODULE module = LoadLibraryA((StandinDir() + "\\" + file).c_str());
    if (!module) return -1;
    auto command =
        reinterpret_cast<CommandFn>(reinterpret_cast<void*>(GetProcAddress(module, prefix)));
    int result = command ? command(nullptr, text.c_str(), nullptr, 0) : -1;
    FreeLibrary(module);
    return result;
}

std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

WindowStep Ours(const std::string& caption, std::vector<std::string> typed, int button) {
    return {"#32770", caption, std::move(typed), button, GetCurrentProcessId()};
}

std::string Content(const std::string& path) {
    std::string s;
    return ReadTextFile(path, s) ? s : "<missing>";
}

// Pseudo-random bytes: deflate cannot shrink them, so compressing them takes a while.
std::string Noise(size_t size) {
    std::string data(size, '\0');
    uint32_t seed = 2024;
    for (char& c : data) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    return data;
}

// Nothing but the files the test put there: no archive, no temporary file beside it.
std::string Listing(const std::string& dir) {
    std::string names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names += name + "|";
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

TEST(StandinWriters, ZipAsksForThePasswordTwiceAndWritesWithTheOneTyped) {
    SetEnvironmentVariableA("ARCHIVER_PASSWORD", nullptr);
    TempDir dir;
    ASSERT_TRUE(MakeDir(dir / "in"));
    ASSERT_TRUE(WriteTextFile(dir / "in\\秘密.txt", "hidden words, hidden words"));
    const std::string zip = dir / "secret.zip";
    const std::string text = "-e -r -S " + Quote(zip) + " " + Quote(dir / "in\\") + " \"*.*\"";
    {
        WindowWatcher watcher({Ours(kPasswordCaption, {"ひみつ", "ひみつ"}, IDOK)});
        EXPECT_EQ(0, Call("Zip32j.dll", "Zip", text));
        ASSERT_TRUE(watcher.wait());
        EXPECT_NE(std::string::npos, watcher.visits()[0].before.allTexts().find(zip));
        EXPECT_EQ(2u, watcher.visits()[0].before.ofClass("Edit").size());
    }
    // UnZip32 asks in turn, and the same typed password opens it (a wrong one is refused:
    // dll_test).
    {
        WindowWatcher watcher({Ours(kPasswordCaption, {"ひみつ"}, IDOK)});
        EXPECT_EQ(0, Call("UnZip32.dll", "UnZip", "-x " + Quote(zip) + " " + Quote(dir / "out\\")));
        EXPECT_TRUE(watcher.wait());
    }
    EXPECT_EQ("hidden words, hidden words", Content(dir / "out\\秘密.txt"));
    SetEnvironmentVariableA("ARCHIVER_PASSWORD", nullptr);
}

// Each writing DLL, one command that packs "in\\*.*" into an archive of its kind.
struct Writer {
    const char* file;
    const char* prefix;
    const char* caption;
    const char* extension;
    const char* before;  // the command up to the archive
};
const Writer kWriters[] = {
    {"Zip32j.dll", "Zip", "Zip32j.dll", "zip", "-r -S "},
    {"Cab32.dll", "Cab", "Cab32.dll", "cab", "-a -r -mz "},
    {"Cab32.dll", "Cab", "Cab32.dll", "cab", "-a -r -ml21 "},
    {"Tar32.dll", "Tar", "Tar32.dll", "tar.gz", "cvfz "},
    {"Tar32.dll", "Tar", "Tar32.dll", "bz2", "cvfzB "},
};

std::string PackText(const Writer& w, const std::string& archive, const std::string& in) {
    return std::string(w.before) + Quote(archive) + " " + Quote(in + "\\") + " \"*.*\"";
}

TEST(StandinWriters, AnUnreadableInputLeavesTheOldArchiveAndNamesTheFile) {
    for (const Writer& w : kWriters) {
        TempDir dir;
        ASSERT_TRUE(MakeDir(dir / "in"));
        ASSERT_TRUE(WriteTextFile(dir / "in\\a.txt", std::string(100000, 'a')));
        ASSERT_TRUE(WriteTextFile(dir / "in\\locked.txt", "held by another program"));
        const std::string archive = dir / (std::string("pack.") + w.extension);
        ASSERT_TRUE(WriteTextFile(archive, "the old archive"));
        // Opened with no sharing, as a program that holds a file does.
        HANDLE held = CreateFileA((dir / "in\\locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        {
            WindowWatcher watcher({Ours(w.caption, {}, IDOK)});
            EXPECT_EQ(standin::kErrorFileOpen, Call(w.file, w.prefix, PackText(w, archive, dir / "in")))
                << w.before;
            ASSERT_TRUE(watcher.wait()) << w.before;
            std::string said = watcher.visits()[0].before.text(kMessageBoxTextId);
            EXPECT_NE(std::string::npos, said.find(archive)) << said;
            EXPECT_NE(std::string::npos, said.find("locked.txt")) << said;
            EXPECT_NE(std::string::npos, said.find("読み込めません")) << said;
        }
        CloseHandle(held);
        EXPECT_EQ("the old archive", Content(archive)) << w.before;
        EXPECT_EQ("in|" + std::string("pack.") + w.extension + "|", Listing(dir.path()))
            << w.before;
    }
}

TEST(StandinWriters, CancelInTheProgressWindowLeavesNoArchiveAndNoBox) {
    for (const Writer& w : {kWriters[0], kWriters[2], kWriters[4]}) {
        TempDir dir;
        ASSERT_TRUE(MakeDir(dir / "in"));
        ASSERT_TRUE(WriteTextFile(dir / "in\\noise.bin", Noise(48 << 20)));
        const std::string archive = dir / (std::string("pack.") + w.extension);
        WindowWatcher watcher({Ours(kProgressCaption, {}, IDCANCEL)});
        EXPECT_EQ(standin::kErrorUserCancel,
                  Call(w.file, w.prefix, PackText(w, archive, dir / "in")))
            << w.before;
        ASSERT_TRUE(watcher.wait()) << w.before;
        EXPECT_NE(std::string::npos, watcher.visits()[0].before.allTexts().find(archive));
        EXPECT_EQ(nullptr, testing_support::FindShownWindow("#32770", w.caption,
                                                            GetCurrentProcessId()));
        EXPECT_EQ("in|", Listing(dir.path())) << w.before;
    }
}

// A folder of a cabinet holds 65535 blocks of 32 KiB at most. An input past that is refused
// as soon as the files are listed, before a byte is read: the big file here is sparse.
TEST(StandinWriters, CabinetsPastTwoGigabytesAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    ASSERT_TRUE(MakeDir(dir / "in"));
    HANDLE big = CreateFileA((dir / "in\\big.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, big);
    LARGE_INTEGER end;
    end.QuadPart = 0x7FFF8000LL + 1;
    ASSERT_TRUE(SetFilePointerEx(big, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(big));
    CloseHandle(big);

    const std::string archive = dir / "big.cab";
    WindowWatcher watcher({Ours("Cab32.dll", {}, IDOK)});
    DWORD start = GetTickCount();
    EXPECT_EQ(standin::kErrorCannotWrite,
              Call("Cab32.dll", "Cab", PackText(kWriters[1], archive, dir / "in")));
    EXPECT_LT(GetTickCount() - start, 10000u);
    ASSERT_TRUE(watcher.wait());
    std::string said = watcher.visits()[0].before.text(kMessageBoxTextId);
    EXPECT_NE(std::string::npos, said.find("2 GB")) << said;
    EXPECT_EQ("in|", Listing(dir.path()));
}

}  // namespace
