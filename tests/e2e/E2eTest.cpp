// The built Zibrak.exe as its own process under Wine, with the stand-in archiver DLLs
// beside it, driven through its command line; a watcher of the test's own finds the real
// windows it shows, reads them and answers them.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/WideNames.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

namespace {

bool CopyInto(const std::string& from, const std::string& toDir, const std::string& name) {
    return CopyFileA(from.c_str(), (toDir + "\\" + name).c_str(), FALSE) != 0;
}

// Zibrak.exe and the stand-ins copied into a folder of the test's own, as a user installs
// them; Zibrak.ini in the Windows folder saved and restored around the test.
class E2e : public ::testing::Test {
protected:
    void SetUp() override {
        std::string exe = WindowsPathOf(GetEnv("ZIBRAK_EXE"));
        std::string standins = StandinDir();
        ASSERT_FALSE(exe.empty()) << "ZIBRAK_EXE is not set";
        ASSERT_TRUE(CopyInto(exe, install.path(), "Zibrak.exe"));
        for (const char* dll : {"Unlha32.dll", "UnZip32.dll", "Zip32j.dll", "Cab32.dll",
                                "Unrar32.dll", "Unarj32j.dll", "Tar32.dll"})
            ASSERT_TRUE(CopyInto(standins + "\\" + dll, install.path(), dll)) << dll;
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        ini = std::string(windows) + "\\Zibrak.ini";
        hadIni = ReadTextFile(ini, savedIni);
    }

    void TearDown() override {
        if (hadIni)
            WriteTextFile(ini, savedIni);
        else
            DeleteFileA(ini.c_str());
    }

    void WriteOptions(const std::string& body) {
        ASSERT_TRUE(WriteTextFile(ini, "[Option]\r\nMeltOpenDir=0\r\nCompOpenDir=0\r\n" + body));
    }

    // Runs Zibrak.exe with this argument text and returns its exit code (-1: it hung).
    DWORD Run(const std::string& arguments) { return RunIn(install.path(), arguments); }

    DWORD RunIn(const std::string& currentFolder, const std::string& arguments) {
        std::string line = "\"" + install / "Zibrak.exe" + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                            currentFolder.c_str(), &startup, &process))
            return static_cast<DWORD>(-2);
        processId = process.dwProcessId;
        return WaitAndClose(process);
    }

    // The program's exit code once it has ended (-1 when it had to be stopped after a minute).
    static DWORD WaitAndClose(const PROCESS_INFORMATION& process) {
        DWORD code = static_cast<DWORD>(-1);
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return code;
    }

    // Runs Zibrak.exe with a UTF-16 argument text, as Explorer starts it.
    DWORD RunWide(const std::wstring& arguments) {
        std::wstring line = L"\"" + ToWide(install / "Zibrak.exe") + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return static_cast<DWORD>(-2);
        return WaitAndClose(process);
    }

    TempDir install;
    TempDir work;
    std::string ini;
    std::string savedIni;
    bool hadIni = false;
    std::atomic<DWORD> processId{0};
};

// Watches for the dialog windows of the process under test; as each one appears, reads
// its caption and the texts of its static controls and presses the next button given.
class Watcher {
public:
    Watcher(std::atomic<DWORD>& processId, std::vector<int> buttons)
        : processId_(processId), buttons_(std::move(buttons)), thread_([this] { Watch(); }) {}
    ~Watcher() {
        stop_ = true;
        thread_.join();
    }
    // Whether every button was pressed; only then are the captions and texts complete.
    bool answered() const { return answered_ == buttons_.size(); }
    const std::vector<std::string>& captions() const { return captions_; }
    const std::vector<std::string>& texts() const { return texts_; }

private:
    struct Search {
        DWORD processId;
        HWND skip;  // the dialog answered last, which may not be gone yet
        HWND found;
    };

    static BOOL CALLBACK Visit(HWND window, LPARAM param) {
        auto* search = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char cls[64] = "";
        GetClassNameA(window, cls, sizeof cls);
        // A stand-in's progress window is a dialog too; it is the user's to leave alone.
        if (owner == search->processId && window != search->skip && IsWindowVisible(window) &&
            std::string(cls) == "#32770" &&
            !FindWindowExA(window, nullptr, "msctls_progress32", nullptr)) {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK CollectText(HWND child, LPARAM param) {
        char cls[64] = "";
        GetClassNameA(child, cls, sizeof cls);
        if (std::string(cls) == "Static") {
            char text[1024] = "";
            GetWindowTextA(child, text, sizeof text);
            *reinterpret_cast<std::string*>(param) += text;
        }
        return TRUE;
    }

    void Watch() {
        HWND last = nullptr;
        while (!stop_ && answered_ < buttons_.size()) {
            Search search{processId_, last, nullptr};
            if (search.processId != 0) EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
            if (!search.found) {
                Sleep(100);
                continue;
            }
            Sleep(300);  // let the dialog finish painting its controls
            char caption[256] = "";
            GetWindowTextA(search.found, caption, sizeof caption);
            std::string texts;
            EnumChildWindows(search.found, CollectText, reinterpret_cast<LPARAM>(&texts));
            captions_.push_back(caption);
            texts_.push_back(texts);
            PostMessageA(search.found, WM_COMMAND,
                         MAKEWPARAM(buttons_[answered_], BN_CLICKED), 0);
            last = search.found;
            ++answered_;
        }
    }

    std::atomic<DWORD>& processId_;
    const std::vector<int> buttons_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> answered_{0};
    std::vector<std::string> captions_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

TEST_F(E2e, ExtractsOneArchiveGivenOnTheCommandLine) {
    // Make an archive with the program itself, then extract it into a folder of its own.
    ASSERT_TRUE(WriteTextFile(work / "note.txt", "hello"));
    WriteOptions("CompDirType=1\r\nCompType=1\r\nCompWarn=0\r\n");
    ASSERT_EQ(0u, Run("\"" + work / "note.txt" + "\""));
    ASSERT_TRUE(FileExists(work / "note.zip"));

    MakeDir(work / "out");
    WriteOptions("MeltDirType=3\r\nMeltPath=" + work / "out" + "\\\r\n");
    EXPECT_EQ(0u, Run("\"" + work / "note.zip" + "\""));
    std::string text;
    EXPECT_TRUE(ReadTextFile(work / "out\\note\\note.txt", text));
    EXPECT_EQ("hello", text);
}

TEST_F(E2e, CompressesTwoFilesIntoOneArchiveNamedAfterTheFirst) {
    ASSERT_TRUE(WriteTextFile(work / "a.txt", "first"));
    ASSERT_TRUE(WriteTextFile(work / "b.txt", "second"));
    WriteOptions("CompDirType=1\r\nCompWarn=0\r\n");
    EXPECT_EQ(0u, Run("\"" + work / "a.txt" + "\" \"" + work / "b.txt" + "\""));
    EXPECT_TRUE(FileExists(work / "a.lzh"));

    MakeDir(work / "back");
    WriteOptions("MeltDirType=3\r\nMeltMakeDir=0\r\nMeltPath=" + work / "back" + "\\\r\n");
    EXPECT_EQ(0u, Run("\"" + work / "a.lzh" + "\""));
    std::string a, b;
    EXPECT_TRUE(ReadTextFile(work / "back\\a.txt", a));
    EXPECT_TRUE(ReadTextFile(work / "back\\b.txt", b));
    EXPECT_EQ("first", a);
    EXPECT_EQ("second", b);
}

TEST_F(E2e, AFileTheCodePageCannotNameIsPackedUnderAnArchiveNameOfUnderscores) {
    const std::wstring folder = ToWide(work.path());
    for (const wchar_t* name : {L"caf\xE9.txt", L"\xD55C\xAD6D\xC5B4.txt"}) {
        HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, "hello", 5, &written, nullptr);
        CloseHandle(file);
    }
    ASSERT_TRUE(WriteTextFile(work / "cafe.txt", "another file"));
    WriteOptions("CompDirType=1\r\nCompType=1\r\nCompWarn=0\r\n");
    EXPECT_EQ(0u, RunWide(L"\"" + folder + L"\\caf\xE9.txt\""));
    EXPECT_TRUE(FileExists(work / "caf_.zip"));
    EXPECT_FALSE(FileExists(work / "cafe.zip"));

    WriteOptions("CompDirType=1\r\nCompWarn=0\r\n");
    EXPECT_EQ(0u, RunWide(L"\"" + folder + L"\\\xD55C\xAD6D\xC5B4.txt\""));
    EXPECT_TRUE(FileExists(work / "___.lzh"));
}

// The method of the entry named name in an LZH archive with level-2 headers (what the
// stand-in writes): the name is in the extended header of type 1. Empty when none has it.
std::string LzhMethodOf(const std::string& archive, const std::string& name) {
    auto le16 = [&](size_t at) {
        return static_cast<size_t>(static_cast<unsigned char>(archive[at]) |
                                   static_cast<unsigned char>(archive[at + 1]) << 8);
    };
    auto le32 = [&](size_t at) { return le16(at) | le16(at + 2) << 16; };
    for (size_t pos = 0;
         pos + 26 <= archive.size() && archive[pos] != '\0' && archive[pos + 20] == 2;
         pos += le16(pos) + le32(pos + 7)) {
        size_t end = pos + le16(pos);
        for (size_t at = pos + 26, next = le16(pos + 24); next >= 3 && at + next <= end;
             at += next, next = le16(at - 2)) {
            if (archive[at] == 1 && archive.compare(at + 1, next - 3, name) == 0)
                return archive.substr(pos + 2, 5);
        }
    }
    return std::string();
}

// The three LZH labels through the real compression road: each packs the text with the
// method its label names and stores what packing would not shrink; both come back whole.
TEST_F(E2e, EachLzhLabelPacksWithItsMethod) {
    std::string text;
    for (int i = 0; i < 4000; ++i) text += "line " + std::to_string(i % 97) + " of a text\r\n";
    std::string noise(30000, '\0');
    uint32_t seed = 7;
    for (char& c : noise) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    struct Label {
        const char* lzhType;
        const char* method;
    };
    for (Label label : {Label{"0", "-lh0-"}, Label{"1", "-lh5-"}, Label{"2", "-lh7-"}}) {
        SCOPED_TRACE(label.method);
        TempDir job;
        ASSERT_TRUE(WriteTextFile(job / "text.txt", text));
        ASSERT_TRUE(WriteTextFile(job / "noise.bin", noise));
        WriteOptions("CompDirType=1\r\nCompType=0\r\nLzhType=" + std::string(label.lzhType) +
                     "\r\nCompWarn=0\r\n");
        ASSERT_EQ(0u, Run("\"" + job / "text.txt" + "\" \"" + job / "noise.bin" + "\""));
        std::string archive;
        ASSERT_TRUE(ReadTextFile(job / "text.lzh", archive));
        EXPECT_EQ(label.method, LzhMethodOf(archive, "text.txt"));
        EXPECT_EQ("-lh0-", LzhMethodOf(archive, "noise.bin"));

        MakeDir(job / "back");
        WriteOptions("MeltDirType=3\r\nMeltMakeDir=0\r\nMeltPath=" + job / "back" + "\\\r\n");
        EXPECT_EQ(0u, Run("\"" + job / "text.lzh" + "\""));
        std::string textBack, noiseBack;
        EXPECT_TRUE(ReadTextFile(job / "back\\text.txt", textBack));
        EXPECT_TRUE(ReadTextFile(job / "back\\noise.bin", noiseBack));
        EXPECT_TRUE(textBack == text);
        EXPECT_TRUE(noiseBack == noise);
    }
}

TEST_F(E2e, CancellingTheFolderBrowserEndsWithExitCodeOne) {
    ASSERT_TRUE(WriteTextFile(work / "note.txt", "hello"));
    WriteOptions("CompDirType=1\r\nCompType=1\r\nCompWarn=0\r\n");
    ASSERT_EQ(0u, Run("\"" + work / "note.txt" + "\""));

    WriteOptions("MeltDirType=2\r\n");
    Watcher watcher(processId, {IDCANCEL});
    EXPECT_EQ(1u, Run("\"" + work / "note.zip" + "\""));
    EXPECT_TRUE(watcher.answered());
    EXPECT_FALSE(FileExists(work / "note"));
}

TEST_F(E2e, AnsweringNoToTheOverwriteQuestionLeavesTheOldArchive) {
    ASSERT_TRUE(WriteTextFile(work / "report.txt", "new content"));
    ASSERT_TRUE(WriteTextFile(work / "report.lzh", "the old archive"));
    WriteOptions("CompDirType=1\r\nCompWarn=0\r\n");

    Watcher watcher(processId, {IDNO});
    EXPECT_EQ(0u, Run("\"" + work / "report.txt" + "\""));
    ASSERT_TRUE(watcher.answered());
    EXPECT_EQ("上書き確認", watcher.captions()[0]);
    EXPECT_EQ("同名のファイル" + work / "report.lzh" + "が存在します。上書きしますか",
              watcher.texts()[0]);
    std::string old;
    ASSERT_TRUE(ReadTextFile(work / "report.lzh", old));
    EXPECT_EQ("the old archive", old);
}

// Run from the folder that holds them, "a.zip b.lzh" with ZIP, the same place and
// overwriting on would write a.zip over its own input: the job is refused instead.
TEST_F(E2e, AnInputNamedRelativelyIsNeverReplaced) {
    ASSERT_TRUE(WriteTextFile(work / "a.zip", "the input"));
    ASSERT_TRUE(WriteTextFile(work / "b.lzh", "another input"));
    WriteOptions("CompDirType=1\r\nCompType=1\r\nCompOverWrite=1\r\nCompWarn=0\r\n");

    Watcher watcher(processId, {IDOK});
    EXPECT_EQ(0u, RunIn(work.path(), "a.zip b.lzh"));
    ASSERT_TRUE(watcher.answered());
    EXPECT_EQ("不正なフォルダー", watcher.captions()[0]);
    EXPECT_EQ("圧縮先の指定が不正です。圧縮作業を中断します", watcher.texts()[0]);
    std::string input;
    ASSERT_TRUE(ReadTextFile(work / "a.zip", input));
    EXPECT_EQ("the input", input);
}

TEST_F(E2e, AnArchiverDllInTheCurrentFolderIsNeverLoaded) {
    // Unlha32.dll is missing beside the program but planted in the folder of the file.
    ASSERT_TRUE(DeleteFileA((install / "Unlha32.dll").c_str()));
    ASSERT_TRUE(CopyInto(StandinDir() + "\\Unlha32.dll", work.path(), "Unlha32.dll"));
    ASSERT_TRUE(WriteTextFile(work / "note.txt", "hello"));
    WriteOptions("CompDirType=1\r\nCompWarn=0\r\n");

    // No LZH archiver: the job fails and the settings window opens; close it with Cancel.
    Watcher watcher(processId, {IDOK, IDCANCEL});
    EXPECT_EQ(0u, RunIn(work.path(), "note.txt"));
    ASSERT_TRUE(watcher.answered());
    EXPECT_EQ("圧縮失敗", watcher.captions()[0]);
    EXPECT_EQ("Zibrak Version 0.05 設定画面", watcher.captions()[1]);
    EXPECT_FALSE(FileExists(work / "note.lzh"));
}

const char* const kExtensions[] = {".lzh", ".zip", ".cab", ".tar", ".gz", ".z",
                                   ".bz2", ".rar", ".arj", ".taz", ".tgz", ".tbz"};

// What /i and /u touch: the link folders and, under HKEY_CLASSES_ROOT and
// HKEY_LOCAL_MACHINE, the twelve extensions and the uninstall entry. The Zibrak ProgIDs
// and Zibrak.ini are meant to stay behind, so they are not part of the picture.
std::vector<std::string> ShellPicture() {
    std::vector<std::string> picture;
    for (int id : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS,
                   CSIDL_PROGRAMS, CSIDL_SENDTO}) {
        char folder[MAX_PATH] = "";
        if (!SHGetSpecialFolderPathA(nullptr, folder, id, FALSE)) continue;
        for (const char* pattern : {"\\*.lnk", "\\Zibrak", "\\Zibrak\\*"}) {
            WIN32_FIND_DATAA found;
            HANDLE search = FindFirstFileA((std::string(folder) + pattern).c_str(), &found);
            if (search == INVALID_HANDLE_VALUE) continue;
            do
                picture.push_back(std::string(folder) + pattern + " " + found.cFileName);
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }
    for (const char* extension : kExtensions) {
        char value[MAX_PATH] = "(none)";
        LONG size = sizeof value;
        RegQueryValueA(HKEY_CLASSES_ROOT, extension, value, &size);
        picture.push_back(std::string(extension) + "=" + value);
    }
    HKEY entry = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zibrak", 0,
                      KEY_READ, &entry) == ERROR_SUCCESS) {
        picture.push_back("uninstall entry");
        RegCloseKey(entry);
    }
    std::sort(picture.begin(), picture.end());
    return picture;
}

TEST_F(E2e, InstallThenUninstallLeavesTheShellAsItWas) {
    const std::vector<std::string> before = ShellPicture();

    EXPECT_EQ(0u, Run("/i"));
    const std::vector<std::string> installed = ShellPicture();
    EXPECT_NE(before, installed);
    EXPECT_NE(installed.end(),
              std::find(installed.begin(), installed.end(), "uninstall entry"));

    EXPECT_EQ(0u, Run("/u"));
    EXPECT_EQ(before, ShellPicture());

    // Uninstalling keeps the Zibrak ProgIDs by design; the prefix gets them removed here so
    // that later tests start from a shell that never saw Zibrak.
    for (const char* extension : kExtensions) {
        const std::string progId = std::string("Zibrak") + (extension + 1);
        for (const char* sub : {"\\shell\\open\\command", "\\shell\\open", "\\shell",
                                "\\DefaultIcon", ""})
            RegDeleteKeyA(HKEY_CLASSES_ROOT, (progId + sub).c_str());
    }
}


// Every file below folder, by its name relative to it ('\\'-separated), with its content.
void ReadTree(const std::string& folder, const std::string& prefix,
              std::map<std::string, std::string>& files) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ReadTree(folder + "\\" + name, prefix + name + "\\", files);
        } else {
            std::string& content = files[prefix + name];
            if (!ReadTextFile(folder + "\\" + name, content)) content = "(unreadable)";
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::vector<std::string> NamesOf(const std::map<std::string, std::string>& files) {
    std::vector<std::string> names;
    for (const auto& file : files) names.push_back(file.first);
    return names;
}

// One archive of each family, written by the Linux tools (make_family_archives.sh),
// dropped on Zibrak.exe as its command line: the program picks the DLL by the archive's
// content and the stand-in extracts the whole tree, Shift-JIS names included, without a
// message box.
TEST_F(E2e, ExtractsAnArchiveOfEachFamilyWrittenByOtherPrograms) {
    const std::string made = WindowsPathOf(GetEnv("ZIBRAK_FAMILY_ARCHIVES"));
    ASSERT_FALSE(made.empty()) << "ZIBRAK_FAMILY_ARCHIVES is not set";
    for (const char* name : {"family.lzh", "family.zip", "family.cab", "family.rar",
                             "family.arj", "family.tar.gz", "lone.txt.bz2", "family.7z",
                             "family.tar.zst", "family.tar.lz4", "family.tar.lz", "family.iso",
                             "family.cpio", "aes.zip"}) {
        SCOPED_TRACE(name);
        // The AES ZIP's password, offered by the stand-in without its dialog.
        SetEnvironmentVariableA("ARCHIVER_PASSWORD",
                                std::string(name) == "aes.zip" ? "pass word" : nullptr);
        const std::string out = work / name;
        ASSERT_TRUE(MakeDir(out));
        WriteOptions("MeltDirType=3\r\nMeltMakeDir=0\r\nMeltPath=" + out + "\\\r\n");
        {
            Watcher watcher(processId, {IDOK});
            EXPECT_EQ(0u, Run("\"" + made + "\\archives\\" + name + "\""));
            EXPECT_FALSE(watcher.answered())
                << watcher.captions()[0] << ": " << watcher.texts()[0];
        }
        std::map<std::string, std::string> expected, extracted;
        ReadTree(made + "\\expected\\" + name, "", expected);
        ReadTree(out, "", extracted);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(NamesOf(expected), NamesOf(extracted));
        for (const auto& file : expected) {
            auto found = extracted.find(file.first);
            if (found != extracted.end()) {
                EXPECT_TRUE(found->second == file.second) << file.first << " differs";
            }
        }
    }
    SetEnvironmentVariableA("ARCHIVER_PASSWORD", nullptr);
}

// A 7z whose headers are encrypted is still Tar32's: dropped alone, it is refused in
// Tar32's box, which names the archive and the reason, and nothing is packed or extracted.
TEST_F(E2e, AnEncryptedSevenZipIsRefusedInTar32sBoxNotPacked) {
    const std::string made = WindowsPathOf(GetEnv("ZIBRAK_FAMILY_ARCHIVES"));
    ASSERT_FALSE(made.empty()) << "ZIBRAK_FAMILY_ARCHIVES is not set";
    const std::string dropped = work / "dropped";
    const std::string out = work / "out";
    ASSERT_TRUE(MakeDir(dropped));
    ASSERT_TRUE(MakeDir(out));
    ASSERT_TRUE(CopyInto(made + "\\archives\\encrypted.7z", dropped, "encrypted.7z"));
    WriteOptions("MeltDirType=3\r\nMeltMakeDir=0\r\nMeltPath=" + out +
                 "\\\r\nCompDirType=3\r\nCompPath=" + out + "\\\r\n");
    {
        Watcher watcher(processId, {IDOK});
        Run("\"" + dropped + "\\encrypted.7z\"");
        ASSERT_TRUE(watcher.answered()) << "no box was shown";
        EXPECT_EQ("Tar32.dll", watcher.captions()[0]);
        EXPECT_NE(std::string::npos, watcher.texts()[0].find("encrypted.7z"))
            << watcher.texts()[0];
        EXPECT_NE(std::string::npos, watcher.texts()[0].find("暗号化")) << watcher.texts()[0];
    }
    std::map<std::string, std::string> left, made_out;
    ReadTree(dropped, "", left);
    ReadTree(out, "", made_out);
    EXPECT_EQ(std::vector<std::string>{"encrypted.7z"}, NamesOf(left));
    EXPECT_TRUE(made_out.empty()) << NamesOf(made_out).front();
}

}  // namespace
