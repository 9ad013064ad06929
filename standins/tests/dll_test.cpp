// The stand-in DLLs driven as the program drives them: loaded with LoadLibraryA, entry points
// found by name, command texts as the templates produce them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "standins/cab/cab.h"
#include "standins/command/command.h"
#include "standins/core/names.h"
#include "standins/core/ui.h"
#include "standins/lzh/lzh.h"
#include "standins/sfx/sfx.h"
#include "standins/tar/tar.h"
#include "standins/tests/archive_builders.h"
#include "standins/zip/zip.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowWatcher.h"

using testing_support::FileExists;
using testing_support::StandinDir;
using testing_support::IsDirectory;
using testing_support::MakeDir;
using testing_support::ReadTextFile;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

using VersionFn = WORD(WINAPI*)();
using CommandFn = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
using CheckFn = BOOL(WINAPI*)(LPCSTR, int);

class Module {
public:
    explicit Module(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}
    ~Module() {
        if (module_) FreeLibrary(module_);
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    bool loaded() const { return module_ != nullptr; }
    template <class Fn>
    Fn find(const std::string& name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name.c_str())));
    }

private:
    HMODULE module_;
};

// One stand-in DLL, loaded for the duration of a call.
struct Archiver {
    const char* file;
    const char* prefix;
};
const Archiver kUnlha{"Unlha32.dll", "Unlha"};
const Archiver kUnZip{"UnZip32.dll", "UnZip"};
const Archiver kZip{"Zip32j.dll", "Zip"};
const Archiver kCab{"Cab32.dll", "Cab"};
const Archiver kUnrar{"Unrar32.dll", "Unrar"};
const Archiver kUnarj{"Unarj32j.dll", "Unarj"};
const Archiver kTar{"Tar32.dll", "Tar"};

std::string PathOf(const Archiver& a) { return StandinDir() + "\\" + a.file; }

// The DLL's result; -1 when it cannot be loaded or lacks the export.
int Call(const Archiver& a, const std::string& text) {
    Module module(PathOf(a));
    auto command = module.find<CommandFn>(a.prefix);
    if (!command) return -1;
    return command(nullptr, text.c_str(), nullptr, 0);
}

// Runs a command that must fail and say so: its one message box, captioned with the DLL's
// file name, is answered with OK; said receives the box's text.
int CallFailing(const Archiver& a, const std::string& text, std::string* said = nullptr) {
    testing_support::WindowWatcher watcher(
        {{"#32770", a.file, {}, IDOK, GetCurrentProcessId()}});
    int result = Call(a, text);
    EXPECT_TRUE(watcher.wait()) << a.file << " showed no message box for " << text;
    if (said && !watcher.visits().empty())
        *said = watcher.visits()[0].before.text(testing_support::kMessageBoxTextId);
    return result;
}

// Runs a command that may ask before replacing existing files, each question answered with
// button; asked receives how many were asked.
int CallAnswering(const Archiver& a, const std::string& text, int button, size_t* asked) {
    testing_support::WindowStep question{"#32770", "上書きの確認", {}, button,
                                         GetCurrentProcessId()};
    testing_support::WindowWatcher watcher(std::vector<testing_support::WindowStep>(20, question));
    int result = Call(a, text);
    watcher.stop();
    *asked = watcher.visits().size();
    return result;
}

int Check(const Archiver& a, const std::string& path) {
    Module module(PathOf(a));
    auto check = module.find<CheckFn>(std::string(a.prefix) + "CheckArchive");
    if (!check) return -1;
    return check(path.c_str(), 0);
}

// A template filled as the program fills it: each %s receives one argument.
std::string Fill(const std::string& templ, const std::string& first, const std::string& second) {
    std::vector<char> buffer(templ.size() + first.size() + second.size() + 16);
    snprintf(buffer.data(), buffer.size(), templ.c_str(), first.c_str(), second.c_str());
    return buffer.data();
}

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

// base\top.txt, base\表\ソ.txt, base\表\sub\deep.txt and the empty folder base\表\空:
// "表" and "ソ" end in the byte 0x5C.
void MakeTree(const std::string& base) {
    ASSERT_TRUE(MakeDir(base));
    ASSERT_TRUE(MakeDir(base + "\\表"));
    ASSERT_TRUE(MakeDir(base + "\\表\\sub"));
    ASSERT_TRUE(MakeDir(base + "\\表\\空"));
    ASSERT_TRUE(WriteTextFile(base + "\\top.txt", "top\r\n"));
    ASSERT_TRUE(WriteTextFile(base + "\\表\\ソ.txt", "ソース"));
    ASSERT_TRUE(WriteTextFile(base + "\\表\\sub\\deep.txt", std::string(5000, 'd')));
}

// The file-list argument for top.txt and the folder 表, as the program builds it.
std::string FileList(const std::string& base) {
    return Quote(base + "\\") + " \"top.txt\" \"表\\*.*\" ";
}

// Every file (with its size) and folder below dir, sorted, '|' after each.
std::string ListTree(const std::string& dir) {
    return standin_test::ListTree(dir, standin_test::FileDetail::size);
}

const char kTree[] = "top.txt=5|表\\|表\\sub\\|表\\sub\\deep.txt=5000|表\\ソ.txt=6|表\\空\\|";
const char kTreeWithoutEmpty[] = "top.txt=5|表\\|表\\sub\\|表\\sub\\deep.txt=5000|表\\ソ.txt=6|";

std::string Content(const std::string& path) {
    std::string s;
    return ReadTextFile(path, s) ? s : "<missing>";
}

std::string SizeText(const std::string& path) {
    std::string s;
    ReadTextFile(path, s);
    return std::to_string(s.size());
}

struct Format {
    const char* label;
    Archiver packer;
    const char* compress;  // compress template
    const char* extension;
    Archiver unpacker;
    const char* extract;    // extract template
    const char* overwrite;  // switch before it that replaces files, or null
    const char* tree;       // what a round trip gives
};
const Format kFormats[] = {
    {"LZH", kUnlha, "a -x1 -r2 -a1 -jm2 %s %s", "lzh", kUnlha, "e -c1 -a1 -x1 -jyc  %s %s",
     " -m1 ", kTree},
    {"ZIP", kZip, "-r -S %s %s", "zip", kUnZip, "-x %s %s", " -o ", kTree},
    {"CAB", kCab, "-a -r -mz %s %s", "cab", kCab, "-x %s %s", " -o ", kTreeWithoutEmpty},
    {"TGZ", kTar, "cvfz %s %s", "tar.gz", kTar, "xvf %s %s", nullptr, kTree},
    {"LZX", kCab, "-a -r -ml21 %s %s", "cab", kCab, "-x %s %s", " -o ", kTreeWithoutEmpty},
    {"BZ2", kTar, "cvfzB %s %s", "bz2", kTar, "xvf %s %s", nullptr, kTree},
};

// Runs program with commandLine and waits for it; its exit code, or 99 when it cannot start.
DWORD RunProgram(const std::string& program, std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return 99;
    }
    WaitForSingleObject(process.hProcess, 30000);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

// Packs the tree of MakeTree below dir\base into dir\pack.<extension>.
std::string Pack(const Format& f, const TempDir& dir) {
    std::string archive = dir / (std::string("pack.") + f.extension);
    std::string text = Fill(f.compress, Quote(archive), FileList(dir / "base"));
    EXPECT_EQ(0, Call(f.packer, text)) << f.label;
    return archive;
}

}  // namespace

TEST(StandinDlls, ExportTheirEntryPointsByUndecoratedNames) {
    const Archiver all[] = {kUnlha, kUnZip, kZip, kCab, kUnrar, kUnarj, kTar};
    std::vector<WORD> versions;
    for (const Archiver& a : all) {
        Module module(PathOf(a));
        ASSERT_TRUE(module.loaded()) << a.file;
        auto version = module.find<VersionFn>(std::string(a.prefix) + "GetVersion");
        ASSERT_NE(nullptr, version) << a.file;
        EXPECT_NE(nullptr, module.find<CommandFn>(a.prefix)) << a.file;
        EXPECT_NE(nullptr, module.find<CheckFn>(std::string(a.prefix) + "CheckArchive")) << a.file;
        EXPECT_EQ(nullptr, module.find<CommandFn>(std::string(a.prefix) + "@16")) << a.file;
        versions.push_back(version());
    }
    EXPECT_EQ(267, versions[0]);
    std::sort(versions.begin(), versions.end());
    EXPECT_EQ(versions.end(), std::unique(versions.begin(), versions.end()));

    Module zcrypt(StandinDir() + "\\Zcrypt32.dll");
    EXPECT_TRUE(zcrypt.loaded());
}

TEST(StandinDlls, VariantsLackExactlyOneExport) {
    struct Row {
        const char* folder;
        bool version, command, check;
    };
    const Row rows[] = {
        {"nocheck", true, true, false},
        {"nocommand", true, false, true},
        {"noversion", false, true, true},
    };
    for (const Row& row : rows) {
        Module module(StandinDir() + "\\variants\\" + row.folder + "\\Unlha32.dll");
        ASSERT_TRUE(module.loaded()) << row.folder;
        EXPECT_EQ(row.version, module.find<VersionFn>("UnlhaGetVersion") != nullptr) << row.folder;
        EXPECT_EQ(row.command, module.find<CommandFn>("Unlha") != nullptr) << row.folder;
        EXPECT_EQ(row.check, module.find<CheckFn>("UnlhaCheckArchive") != nullptr) << row.folder;
    }
}

TEST(StandinDlls, RoundTripKeepsNamesWithTrailBackslashesAndFolders) {
    for (const Format& f : kFormats) {
        TempDir dir;
        MakeTree(dir / "base");
        std::string archive = Pack(f, dir);
        ASSERT_TRUE(FileExists(archive)) << f.label;
        std::string dest = dir / "出力\\data\\";  // missing folders are created
        EXPECT_EQ(0, Call(f.unpacker, Fill(f.extract, Quote(archive), Quote(dest)))) << f.label;
        EXPECT_EQ(f.tree, ListTree(dest)) << f.label;
        EXPECT_EQ("ソース", Content(dest + "表\\ソ.txt")) << f.label;
    }
}

TEST(StandinDlls, ExtractionAsksBeforeReplacingUnlessTheSwitchIsGiven) {
    for (const Format& f : kFormats) {
        TempDir dir;
        MakeTree(dir / "base");
        std::string archive = Pack(f, dir);
        std::string dest = dir / "out\\";
        std::string text = Fill(f.extract, Quote(archive), Quote(dest));
        ASSERT_EQ(0, Call(f.unpacker, text)) << f.label;
        ASSERT_TRUE(WriteTextFile(dest + "top.txt", "changed"));

        // Every file is there: "skip all" is asked once and keeps them all.
        size_t asked = 0;
        EXPECT_EQ(0, CallAnswering(f.unpacker, text, standin::kSkipAllButton, &asked)) << f.label;
        EXPECT_EQ(1u, asked) << f.label;
        EXPECT_EQ("changed", Content(dest + "top.txt")) << f.label;
        EXPECT_EQ(0, CallAnswering(f.unpacker, text, standin::kOverwriteAllButton, &asked))
            << f.label;
        EXPECT_EQ(1u, asked) << f.label;
        EXPECT_EQ("top\r\n", Content(dest + "top.txt")) << f.label;
        if (f.overwrite) {
            ASSERT_TRUE(WriteTextFile(dest + "top.txt", "changed"));
            EXPECT_EQ(0, CallAnswering(f.unpacker, f.overwrite + text, IDOK, &asked)) << f.label;
            EXPECT_EQ(0u, asked) << f.label;
            EXPECT_EQ("top\r\n", Content(dest + "top.txt")) << f.label;
        }
    }
}

TEST(StandinDlls, LhaAddKeepsEntriesOfTheArchiveAlreadyThere) {
    TempDir dir;
    MakeTree(dir / "base");
    std::string archive = dir / "pack.lzh";
    std::string base = Quote(dir / "base\\");
    std::string add = "a -x1 -r2 -a1 -jm0 " + Quote(archive) + " " + base;
    ASSERT_EQ(0, Call(kUnlha, add + " \"top.txt\" "));
    ASSERT_EQ(0, Call(kUnlha, add + " \"表\\*.*\" "));
    std::string dest = dir / "out\\";
    ASSERT_EQ(0, Call(kUnlha, "e -c1 -a1 -x1 -jyc  " + Quote(archive) + " " + Quote(dest)));
    EXPECT_EQ(kTree, ListTree(dest));
}

TEST(StandinDlls, AnEmptyBaseFolderMeansTheCurrentFolder) {
    // Named entries, and "*.*" for the whole current folder.
    const char* lists[] = {"\"\" \"top.txt\" \"表\\*.*\" ", "\"\" \"*.*\" "};
    for (const Format& f : kFormats) {
        for (const char* list : lists) {
            TempDir dir;
            MakeTree(dir / "base");
            std::string archive = dir / (std::string("pack.") + f.extension);
            {
                testing_support::CurrentFolderScope current(dir / "base");
                ASSERT_TRUE(current.changed());
                // The archive lies outside the current folder, as "C:\out\a.lzh" would.
                EXPECT_EQ(0, Call(f.packer, Fill(f.compress, Quote(archive), list)))
                    << f.label << list;
            }
            std::string dest = dir / "out\\";
            EXPECT_EQ(0, Call(f.unpacker, Fill(f.extract, Quote(archive), Quote(dest))))
                << f.label << list;
            EXPECT_EQ(f.tree, ListTree(dest)) << f.label << list;
        }
    }
}

TEST(StandinDlls, UnrarAndUnarjExtractStoredEntriesAndAskBeforeReplacing) {
    struct Row {
        const char* label;
        Archiver dll;
        const char* templ;  // filled with the archive and the destination
        std::string bytes;
    };
    const Row rows[] = {
        {"RAR", kUnrar, "-x %s %s",
         standin_test::Rar4Archive(standin_test::Rar4File("表", "", 0x30, 0x80E0, 0x10) +
                                   standin_test::Rar4File("表\\ソ.txt", "ソース") +
                                   standin_test::Rar4File("top.txt", "top\r\n"))},
        {"ARJ", kUnarj, "x -jyc -p %s %s",
         standin_test::ArjArchive(standin_test::ArjHeader(3, 0, "表", "") +
                                  standin_test::ArjHeader(0, 0, "表\\ソ.txt", "ソース") +
                                  standin_test::ArjHeader(0, 0, "top.txt", "top\r\n"))},
    };
    for (const Row& row : rows) {
        TempDir dir;
        std::string archive = dir / "データ.bin";  // the name says nothing of the format
        ASSERT_TRUE(WriteTextFile(archive, row.bytes));
        std::string dest = dir / "出力\\";
        std::string text = Fill(row.templ, Quote(archive), Quote(dest));
        EXPECT_EQ(0, Call(row.dll, text)) << row.label;
        EXPECT_EQ("top.txt=5|表\\|表\\ソ.txt=6|", ListTree(dest)) << row.label;
        EXPECT_EQ("ソース", Content(dest + "表\\ソ.txt")) << row.label;

        // Zibrak sends these no overwrite switch: they ask.
        ASSERT_TRUE(WriteTextFile(dest + "top.txt", "changed"));
        size_t asked = 0;
        EXPECT_EQ(0, CallAnswering(row.dll, text, standin::kSkipButton, &asked)) << row.label;
        EXPECT_EQ(2u, asked) << row.label;  // top.txt and 表\ソ.txt
        EXPECT_EQ("changed", Content(dest + "top.txt")) << row.label;

        // The other DLL, given its own command, refuses the archive by its content.
        const Row& other = &row == &rows[0] ? rows[1] : rows[0];
        std::string elsewhere = dir / "other\\";
        EXPECT_EQ(standin::kErrorNotArcFile,
                  CallFailing(other.dll, Fill(other.templ, Quote(archive), Quote(elsewhere))))
            << row.label;
        EXPECT_FALSE(FileExists(elsewhere + "top.txt")) << row.label;
    }
}

TEST(StandinDlls, PacksAFullPathOutsideTheBaseWithoutItsDrive) {
    TempDir dir;
    MakeTree(dir / "base");
    ASSERT_TRUE(MakeDir(dir / "other"));
    std::string outside = dir / "other\\外.txt";
    ASSERT_TRUE(WriteTextFile(outside, "outside"));
    std::string archive = dir / "pack.zip";
    ASSERT_EQ(0, Call(kZip, "-r -S " + Quote(archive) + " " + Quote(dir / "base\\") +
                               " \"top.txt\" " + Quote(outside) + " "));
    std::string dest = dir / "out\\";
    ASSERT_EQ(0, Call(kUnZip, "-x " + Quote(archive) + " " + Quote(dest)));
    EXPECT_EQ("outside", Content(dest + outside.substr(3)));
    EXPECT_EQ("top\r\n", Content(dest + "top.txt"));
}

TEST(StandinDlls, RefusesWhatItCannotDoWithoutWritingAnything) {
    TempDir dir;
    MakeTree(dir / "base");
    SetEnvironmentVariableA("ARCHIVER_PASSWORD", nullptr);
    struct Row {
        const char* what;
        Archiver dll;
        std::string text;
        std::string archive;
    };
    const Row rows[] = {
        {"password", kZip, "-e -r -S " + Quote(dir / "a.zip") + " " + FileList(dir / "base"),
         dir / "a.zip"},
        {"missing file", kZip,
         "-r -S " + Quote(dir / "b.zip") + " " + Quote(dir / "base\\") + " \"nothere.txt\" ",
         dir / "b.zip"},
        {"unknown command", kUnlha, "q " + Quote(dir / "c.lzh") + " " + FileList(dir / "base"),
         dir / "c.lzh"},
    };
    for (const Row& row : rows) {
        if (row.dll.file == kZip.file && row.what == std::string("password")) {
            // No password in the environment: the DLL asks, and the person cancels.
            testing_support::WindowWatcher watcher(
                {{"#32770", "パスワードの入力", {}, IDCANCEL, GetCurrentProcessId()}});
            EXPECT_EQ(standin::kErrorUserCancel, Call(row.dll, row.text)) << row.what;
            EXPECT_TRUE(watcher.wait()) << row.what;
        } else {
            EXPECT_NE(0, CallFailing(row.dll, row.text)) << row.what;
        }
        EXPECT_FALSE(FileExists(row.archive)) << row.what;
    }
}

TEST(StandinDlls, EncryptedZipNeedsTheRightPassword) {
    TempDir dir;
    MakeTree(dir / "base");
    std::string archive = dir / "secret.zip";
    SetEnvironmentVariableA("ARCHIVER_PASSWORD", "ひみつ");
    ASSERT_EQ(0, Call(kZip, "-e -r -S " + Quote(archive) + " " + FileList(dir / "base")));
    std::string plain;
    ASSERT_TRUE(ReadTextFile(archive, plain));
    EXPECT_EQ(std::string::npos, plain.find("ソース"));

    EXPECT_EQ(0, Call(kUnZip, "-x " + Quote(archive) + " " + Quote(dir / "good\\")));
    EXPECT_EQ(kTree, ListTree(dir / "good"));

    SetEnvironmentVariableA("ARCHIVER_PASSWORD", "wrong");
    std::string said;
    EXPECT_EQ(standin::kErrorPassword,
              CallFailing(kUnZip, "-x " + Quote(archive) + " " + Quote(dir / "bad\\"), &said));
    EXPECT_NE(std::string::npos, said.find("パスワード")) << said;
    EXPECT_NE(std::string::npos, said.find(archive)) << said;
    EXPECT_FALSE(FileExists(dir / "bad\\top.txt"));
    SetEnvironmentVariableA("ARCHIVER_PASSWORD", nullptr);
}

TEST(StandinDlls, CheckArchiveLooksAtContentNotNames) {
    TempDir dir;
    MakeTree(dir / "base");
    std::string zip = Pack(kFormats[1], dir);
    std::string lzh = Pack(kFormats[0], dir);
    std::string cab = Pack(kFormats[2], dir);
    std::string tgz = Pack(kFormats[3], dir);
    std::string zipAsLzh = dir / "really-a-zip.lzh";
    ASSERT_TRUE(CopyFileA(zip.c_str(), zipAsLzh.c_str(), FALSE));
    std::string textAsZip = dir / "text.zip";
    ASSERT_TRUE(WriteTextFile(textAsZip, "PK but not an archive at all"));
    std::string empty = dir / "empty.zip";
    ASSERT_TRUE(WriteTextFile(empty, ""));

    struct Row {
        std::string path;
        int unlha, unzip, zip, cab, unrar, unarj, tar;
    };
    const Row rows[] = {
        {lzh, 1, 0, 0, 0, 0, 0, 0},
        {zip, 0, 1, 0, 0, 0, 0, 0},
        {zipAsLzh, 0, 1, 0, 0, 0, 0, 0},
        {cab, 0, 0, 0, 1, 0, 0, 0},
        {tgz, 0, 0, 0, 0, 0, 0, 1},
        {textAsZip, 0, 0, 0, 0, 0, 0, 0},
        {empty, 0, 0, 0, 0, 0, 0, 0},
        {dir / "nothere.zip", 0, 0, 0, 0, 0, 0, 0},
        {dir.path(), 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.unlha, Check(kUnlha, r.path)) << r.path;
        EXPECT_EQ(r.unzip, Check(kUnZip, r.path)) << r.path;
        EXPECT_EQ(r.zip, Check(kZip, r.path)) << r.path;
        EXPECT_EQ(r.cab, Check(kCab, r.path)) << r.path;
        EXPECT_EQ(r.unrar, Check(kUnrar, r.path)) << r.path;
        EXPECT_EQ(r.unarj, Check(kUnarj, r.path)) << r.path;
        EXPECT_EQ(r.tar, Check(kTar, r.path)) << r.path;
    }
    // An archive of another kind is refused by the command too.
    EXPECT_EQ(standin::kErrorNotArcFile,
              CallFailing(kUnlha, "e -c1 -a1 -x1 -jyc  " + Quote(zipAsLzh) + " " + Quote(dir / "x\\")));
    EXPECT_FALSE(FileExists(dir / "x\\top.txt"));
}

TEST(StandinDlls, JournalRecordsEveryCallByteForByte) {
    TempDir dir;
    std::string journal = dir / "journal.txt";
    SetEnvironmentVariableA("ARCHIVER_JOURNAL", journal.c_str());
    const std::string text = " -m1 e -c1 -a1 -x1 -jyc  \"C:\\表\\無い.lzh\" \"C:\\出力\\\"";
    {
        Module module(PathOf(kUnlha));
        auto version = module.find<VersionFn>("UnlhaGetVersion");
        auto check = module.find<CheckFn>("UnlhaCheckArchive");
        auto command = module.find<CommandFn>("Unlha");
        ASSERT_TRUE(version && check && command);
        version();
        check("C:\\表\\無い.lzh", 0);
        testing_support::WindowWatcher watcher(
            {{"#32770", kUnlha.file, {}, IDOK, GetCurrentProcessId()}});
        EXPECT_EQ(standin::kErrorArcFileOpen, command(nullptr, text.c_str(), nullptr, 0));
        EXPECT_TRUE(watcher.wait());
    }
    Check(kTar, "C:\\a b.tgz");
    SetEnvironmentVariableA("ARCHIVER_JOURNAL", nullptr);
    Check(kTar, "C:\\not journalled.tgz");

    EXPECT_EQ("Unlha32.dll\tUnlhaGetVersion\t\r\n"
              "Unlha32.dll\tUnlhaCheckArchive\tC:\\表\\無い.lzh\r\n"
              "Unlha32.dll\tUnlha\t" + text + "\r\n"
              "Tar32.dll\tTarCheckArchive\tC:\\a b.tgz\r\n",
              Content(journal));
}

TEST(StandinDlls, OutputBufferReceivesATerminatedReport) {
    Module module(PathOf(kUnlha));
    auto command = module.find<CommandFn>("Unlha");
    ASSERT_NE(nullptr, command);
    char output[8];
    memset(output, 'x', sizeof output);
    testing_support::WindowWatcher watcher(
        {{"#32770", kUnlha.file, {}, IDOK, GetCurrentProcessId()},
         {"#32770", kUnlha.file, {}, IDOK, GetCurrentProcessId()}});
    EXPECT_EQ(standin::kErrorCommandName, command(nullptr, "q", output, sizeof output));
    EXPECT_EQ(7u, strlen(output));
    EXPECT_EQ(standin::kErrorCommandName, command(nullptr, nullptr, nullptr, 0));
    EXPECT_TRUE(watcher.wait());
}

TEST(StandinDlls, SelfExtractingProgramsExtractAndTheirFamilysDllReadsThem) {
    struct Row {
        Format format;
        Archiver sfx;
        const char* templ;  // filled with the archive and its folder
    };
    const Row rows[] = {
        {kFormats[0], kUnlha, "s -gw3 %s %s"},
        {kFormats[1], kZip, "--sfx %s"},
        {kFormats[2], kCab, "-f %s %s"},
        {kFormats[3], kTar, "--self-extracting=1 cvfz %s %s"},
        {kFormats[4], kCab, "-f %s %s"},
        {kFormats[5], kTar, "--self-extracting=1 cvfz %s %s"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        MakeTree(dir / "base");
        std::string archive = Pack(row.format, dir);
        ASSERT_EQ(0, Call(row.sfx, Fill(row.templ, Quote(archive), Quote(dir.path() + "\\"))))
            << row.format.label;
        std::string program = dir / "pack.exe";
        ASSERT_TRUE(FileExists(program)) << row.format.label;

        std::string dest = dir / "展開";
        EXPECT_EQ(0u, RunProgram(program, Quote(program) + " " + Quote(dest))) << row.format.label;
        EXPECT_EQ(row.format.tree, ListTree(dest)) << row.format.label;

        // Dropped on the program, it is its family's archive: that DLL alone says yes to it,
        // and extracts what it carries.
        for (const Archiver& dll : {kUnlha, kUnZip, kCab, kUnrar, kUnarj, kTar}) {
            bool own = strcmp(dll.file, row.format.unpacker.file) == 0;
            EXPECT_EQ(own ? 1 : 0, Check(dll, program)) << row.format.label << " " << dll.file;
        }
        std::string again = dir / "DLL で展開";
        EXPECT_EQ(0, Call(row.format.unpacker,
                          Fill(row.format.extract, Quote(program), Quote(again + "\\"))))
            << row.format.label;
        EXPECT_EQ(row.format.tree, ListTree(again)) << row.format.label;
    }
}

// Names of Latin-1 letters alone read as Shift-JIS bytes too (ß is a half-width katakana
// there); the program asks the archive's headers how each was stored, as the DLL does.
TEST(StandinDlls, SelfExtractingProgramsGiveUnicodeNamesBack) {
    const std::string names[] = {u8"Stra\u00DFe.txt", u8"表示.txt", u8"\uD55C\uAD6D\uC5B4.txt",
                                 u8"r\u00E9sum\u00E9.txt"};
    struct Row {
        Archiver packer;
        const char* pack;  // filled with the archive and the folder
        const char* sfx;   // filled with the archive and its folder
        const char* extension;
    };
    const Row rows[] = {
        {kZip, "-r -S %s %s", "--sfx %s", "zip"},
        {kTar, "cvfz %s %s", "--self-extracting=1 cvfz %s %s", "tar.gz"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        ASSERT_TRUE(MakeDir(dir / "base"));
        for (const std::string& name : names) {
            std::string path = standin::AnsiToUtf8(dir / "base") + "\\" + name;
            HANDLE file = CreateFileW(standin::Utf8ToWide(path).data(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, file);
            CloseHandle(file);
        }
        std::string archive = dir / (std::string("names.") + row.extension);
        ASSERT_EQ(0, Call(row.packer, Fill(row.pack, Quote(archive),
                                            Quote(dir / "base" + "\\") + " \"*.*\"")));
        std::string sfx = Fill(row.sfx, Quote(archive), Quote(dir.path() + "\\"));
        ASSERT_EQ(0, Call(row.packer, sfx)) << row.extension;
        std::string program = dir / "names.exe";
        std::string dest = dir / "out";
        ASSERT_EQ(0u, RunProgram(program, Quote(program) + " " + Quote(dest))) << row.extension;
        for (const std::string& name : names) {
            std::string path = standin::AnsiToUtf8(dest) + "\\" + name;
            EXPECT_NE(INVALID_FILE_ATTRIBUTES,
                      GetFileAttributesW(standin::Utf8ToWide(path).data()))
                << row.extension << " " << standin::Utf8ToAnsiLossy(name);
        }
    }
}

TEST(StandinDlls, ACopiedDllWritesAProgramThatExtractsBesideItself) {
    TempDir dir;
    MakeTree(dir / "base");
    std::string copy = dir / "Zip32j.dll";
    ASSERT_TRUE(CopyFileA(PathOf(kZip).c_str(), copy.c_str(), FALSE));
    std::string archive = dir / "pack.zip";
    {
        Module module(copy);
        auto command = module.find<CommandFn>("Zip");
        ASSERT_NE(nullptr, command);
        std::string pack = "-r -S " + Quote(archive) + " " + FileList(dir / "base");
        ASSERT_EQ(0, command(nullptr, pack.c_str(), nullptr, 0));
        ASSERT_EQ(0, command(nullptr, ("--sfx " + Quote(archive)).c_str(), nullptr, 0));
    }
    ASSERT_TRUE(MakeDir(dir / "alone"));
    std::string program = dir / "alone\\pack.exe";
    ASSERT_TRUE(MoveFileA((dir / "pack.exe").c_str(), program.c_str()));

    RunProgram(program, Quote(program));
    EXPECT_EQ("pack.exe=" + SizeText(program) + "|" + kTree, ListTree(dir / "alone"));
}

// The programs carry only the decoders of what their family writes: an archive with
// anything else is refused when the program would be made, not when it is started.
TEST(StandinDlls, NoProgramIsMadeOfAnArchiveItCouldNotExtract) {
    TempDir dir;
    MakeTree(dir / "base");
    std::string xz = dir / "x.tar.xz";
    ASSERT_TRUE(WriteTextFile(xz, std::string("\xFD" "7zXZ\0\0\4", 8) + std::string(64, 'x')));
    EXPECT_EQ(standin::kErrorMethod,
              CallFailing(kTar, "--self-extracting=1 cvfz " + Quote(xz) + " " +
                                    Quote(dir.path() + "\\")));
    EXPECT_FALSE(FileExists(dir / "x.tar.exe"));
    EXPECT_FALSE(FileExists(dir / "x.exe"));

    // A ZIP whose entry says LZMA (14) in the central directory.
    std::string zip = dir / "lzma.zip";
    ASSERT_EQ(0, Call(kZip, "-r -S " + Quote(zip) + " " + FileList(dir / "base")));
    std::string bytes;
    ASSERT_TRUE(ReadTextFile(zip, bytes));
    size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(std::string::npos, central);
    bytes[central + 10] = 14;
    bytes[central + 11] = 0;
    ASSERT_TRUE(WriteTextFile(zip, bytes));
    std::string said;
    EXPECT_EQ(standin::kErrorMethod, CallFailing(kZip, "--sfx " + Quote(zip), &said));
    EXPECT_NE(std::string::npos, said.find(zip)) << said;
    EXPECT_FALSE(FileExists(dir / "lzma.exe"));
}

TEST(StandinDlls, ExtractionSkipsUnsafeNamesAndUndecodableEntries) {
    TempDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "ok.txt", "fine"));
    ASSERT_TRUE(WriteTextFile(dir / "bad.txt", "evil"));
    auto item = [&](const std::string& name, const std::string& source) {
        standin::Item i;
        i.name = name;
        i.sourcePath = standin::AnsiToUtf8(source);
        i.size = 4;
        i.dosTime = 0x5A210000;
        return i;
    };
    const std::vector<standin::Item> items = {
        item("..\\escape.txt", dir / "bad.txt"), item("C:\\drive.txt", dir / "bad.txt"),
        item("\\rooted.txt", dir / "bad.txt"),   item("sub\\..\\..\\up.txt", dir / "bad.txt"),
        item("ok.txt", dir / "ok.txt"),
    };
    std::string zip = dir / "unsafe.zip";
    std::string tar = dir / "unsafe.tar";
    ASSERT_TRUE(standin::WriteZip(zip, items, false));
    ASSERT_TRUE(standin::WriteTar(tar, items, false));

    ASSERT_TRUE(MakeDir(dir / "nest"));
    std::string zipDest = dir / "nest\\zip\\";
    std::string tarDest = dir / "nest\\tar\\";
    std::string said;
    EXPECT_EQ(standin::kErrorCannotWrite,
              CallFailing(kUnZip, "-x " + Quote(zip) + " " + Quote(zipDest), &said));
    // One box for the command, naming every refused entry.
    EXPECT_NE(std::string::npos, said.find("../escape.txt")) << said;
    EXPECT_NE(std::string::npos, said.find("sub/../../up.txt")) << said;
    EXPECT_EQ(standin::kErrorCannotWrite,
              CallFailing(kTar, "xvf " + Quote(tar) + " " + Quote(tarDest)));
    EXPECT_EQ("ok.txt=4|", ListTree(zipDest));
    EXPECT_EQ("ok.txt=4|", ListTree(tarDest));
    // Nothing was written outside the destinations.
    EXPECT_EQ("bad.txt=4|nest\\|nest\\tar\\|nest\\tar\\ok.txt=4|nest\\zip\\|nest\\zip\\ok.txt=4|"
              "ok.txt=4|unsafe.tar=" + SizeText(tar) + "|unsafe.zip=" + SizeText(zip) + "|",
              ListTree(dir.path()));

    // An unknown method and a damaged entry are skipped; the good entry is still extracted.
    std::string data;
    ASSERT_TRUE(ReadTextFile(zip, data));
    const std::vector<standin::Item> two = {item("first.txt", dir / "bad.txt"),
                                            item("second.txt", dir / "ok.txt"),
                                            item("third.txt", dir / "ok.txt")};
    ASSERT_TRUE(standin::WriteZip(zip, two, false));
    ASSERT_TRUE(ReadTextFile(zip, data));
    size_t central = data.find("PK\x01\x02");
    ASSERT_NE(std::string::npos, central);
    data[central + 10] = 99;  // first entry: method 99, in both its records
    data[8] = 99;
    size_t third = data.find("third.txt");
    data[third + 9] ^= 0x20;  // third entry: its data no longer matches the CRC
    ASSERT_TRUE(WriteTextFile(zip, data));
    std::string dest = dir / "methods\\";
    EXPECT_EQ(standin::kErrorMethod, CallFailing(kUnZip, "-x " + Quote(zip) + " " + Quote(dest)));
    EXPECT_EQ("second.txt=4|", ListTree(dest));
}
