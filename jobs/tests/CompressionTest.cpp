// The compression road with the real stand-in archivers: format and archiver, destinations
// and the save dialog, the two questions, the size count, and what is never destroyed.
#include "jobs/Jobs.h"

#include <algorithm>
#include <string>
#include <vector>

#include "jobs/Compression.h"
#include "jobs/tests/JobFixture.h"
#include "tests/support/WindowWatcher.h"
#include "archivers/Chain.h"
#include "settings/Options.h"
#include "base/WideNames.h"

namespace job_tests {
namespace {

using archiver_tests::MakeLargeFile;
using testing_support::FileExists;
using testing_support::MakeDir;
using testing_support::TempDir;

const UINT kQuestion = MB_YESNO | MB_DEFBUTTON2;
const int64_t kMiB = 1 << 20;

class Compression : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        LoadArchivers();
        Options.CompDirType = 3;
        Options.CompPath.assign((out.path() + "\\").c_str());
        report = Write("report.txt", "report");
    }
    bool Run(std::initializer_list<std::string> paths) {
        FileList list;
        return RunJob(Fill(list, paths));
    }
    TempDir out;
    std::string report;
};

TEST_F(Compression, EachFormatReachesItsArchiverAndExtension) {
    struct Row {
        int compType, lzhType, cabType;
        bool zipCrypt;
        const char* command;
        const char* archive;
    };
    const Row rows[] = {
        {0, 0, 0, false, "Unlha32.dll|a -x1 -r2 -a1 -jm0 ", "report.lzh"},
        {7, 2, 0, false, "Unlha32.dll|a -x1 -r2 -a1 -jm4 ", "report.lzh"},
        {1, 1, 0, true, "Zip32j.dll|-e -r -S ", "report.zip"},
        {2, 1, 1, false, "Cab32.dll|-a -r -mz ", "report.cab"},
        {2, 1, 5, false, "Cab32.dll|-a -r -ml21 ", "report.cab"},
        {3, 1, 0, false, "Tar32.dll|cvfz ", "report.tar.gz"},
        {4, 1, 0, false, "Tar32.dll|cvfzB ", "report.bz2"},
    };
    ASSERT_TRUE(Zcrypt32Present);
    Options.CompOverWrite = true;
    for (const Row& row : rows) {
        Options.CompType = row.compType;
        Options.LzhType = row.lzhType;
        Options.CabType = row.cabType;
        Options.ZipCrypt = row.zipCrypt;
        ClearJournal();
        person.calls.clear();
        // The stand-in asks for the password of an encrypted ZIP, as a person would answer.
        std::vector<testing_support::WindowStep> steps;
        if (row.zipCrypt)
            steps.push_back({"#32770", "パスワードの入力", {"pw", "pw"}, IDOK, GetCurrentProcessId()});
        testing_support::WindowWatcher windows(steps);
        EXPECT_TRUE(Run({report}));
        if (!steps.empty()) {
            EXPECT_TRUE(windows.wait());
        }
        ASSERT_EQ(1u, Commands().size()) << row.command;
        EXPECT_EQ(0u, Commands()[0].find(std::string(row.command) + "\"" + out / row.archive))
            << Commands()[0];
        // Every label's stand-in writes its archive, and nothing needs telling.
        EXPECT_TRUE(FileExists(out / row.archive)) << row.archive;
        EXPECT_TRUE(person.calls.empty()) << row.archive;
    }
}

TEST_F(Compression, MissingArchiverFailsBeforeAnyQuestion) {
    DestroyArchiverChain();
    ArchiverChain = nullptr;
    LoadArchivers({"Unlha32.dll", "Zip32j.dll"});
    SettingsWindow = reinterpret_cast<HWND>(0x1234);
    Options.CompType = 3;
    Options.CompDirType = 2;
    Options.CompWarn = true;
    EXPECT_FALSE(Run({report}));
    ASSERT_EQ(1u, person.calls.size());
    EXPECT_EQ(PersonCall::Message, person.calls[0].kind);
    EXPECT_EQ(Box("圧縮に失敗しました", "圧縮失敗", MB_OK, SettingsWindow), Box(person.calls[0]));
}

TEST_F(Compression, SaveDialogDecidesOnlyTheFolder) {
    Options.CompDirType = 2;
    Options.CompType = 2;
    const std::string typed = out / "typed.zip";
    testing_support::WriteTextFile(typed, "keep");
    person.saveAnswers = {typed};
    EXPECT_TRUE(Run({report}));

    const auto dialogs = person.callsOf(PersonCall::SaveFile);
    ASSERT_EQ(1u, dialogs.size());
    EXPECT_EQ("ZIP(*.zip)|*.zip|", dialogs[0].filter);
    EXPECT_EQ("report.zip", dialogs[0].proposedName);
    EXPECT_EQ("圧縮ファイルの指定", dialogs[0].caption);
    EXPECT_EQ(static_cast<UINT>(OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY),
              dialogs[0].flags);
    EXPECT_EQ(76u, dialogs[0].structSize);
    EXPECT_EQ(260u, dialogs[0].maxFile);
    EXPECT_EQ(nullptr, dialogs[0].owner);
    EXPECT_TRUE(FileExists(out / "report.cab"));
    EXPECT_EQ("keep", Read(typed));
}

TEST_F(Compression, CancelledSaveDialogEndsTheProcess) {
    Options.CompDirType = 2;
    Options.CompType = 0;
    ClearJournal();
    Run({report});
    ASSERT_EQ(2u, person.calls.size());
    EXPECT_EQ("LZH(*.lzh)|*.lzh|", person.calls[0].filter);
    EXPECT_EQ("report.lzh", person.calls[0].proposedName);
    EXPECT_EQ(PersonCall::EndProcess, person.calls[1].kind);
    EXPECT_EQ(1, person.calls[1].exitCode);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(Compression, OverwriteQuestionNamesTheArchiveItWouldReplace) {
    Options.CompType = 2;
    Options.CompDirType = 1;
    const std::string zip = Write("report.zip", "old zip");
    const std::string cab = Write("report.cab", "old cab");
    ClearJournal();
    EXPECT_TRUE(Run({report}));
    ASSERT_EQ(1u, Messages().size());
    EXPECT_EQ(Box("同名のファイル" + cab + "が存在します。上書きしますか", "上書き確認", kQuestion),
              Box(Messages()[0]));
    EXPECT_EQ("old cab", Read(cab));
    EXPECT_TRUE(Commands().empty());

    person.messageAnswers = {IDYES};
    EXPECT_TRUE(Run({report}));
    EXPECT_NE("old cab", Read(cab));
    EXPECT_TRUE(FileExists(cab));
    EXPECT_EQ("old zip", Read(zip));
}

TEST_F(Compression, SizeWarningStartsOneByteOverTheLimit) {
    Options.CompWarn = true;
    Options.CompWarnSize = 1;
    Options.CompOverWrite = true;
    const std::string big = work / "big.bin";
    ASSERT_TRUE(MakeLargeFile(big, kMiB));
    EXPECT_TRUE(Run({big}));
    EXPECT_TRUE(Messages().empty());
    const std::string archive = Read(out / "big.lzh");
    ASSERT_FALSE(archive.empty());

    ASSERT_TRUE(MakeLargeFile(big, kMiB + 1));
    ClearJournal();
    EXPECT_TRUE(Run({big}));
    ASSERT_EQ(1u, Messages().size());
    EXPECT_EQ(Box("ファイルの総量が指定された限度を越えています。圧縮しますか", "確認", kQuestion),
              Box(Messages()[0]));
    // No leaves the old archive, even with overwriting on.
    EXPECT_EQ(archive, Read(out / "big.lzh"));
    EXPECT_TRUE(Commands().empty());
}

// Yes to replacing, then No to the size: the deletion waits for both answers.
TEST_F(Compression, YesToReplaceThenNoToTheSizeKeepsTheOldArchive) {
    Options.CompWarn = true;
    Options.CompWarnSize = 1;
    const std::string big = work / "big.bin";
    ASSERT_TRUE(MakeLargeFile(big, kMiB + 1));
    ASSERT_TRUE(testing_support::WriteTextFile(out / "big.lzh", "the old archive"));
    person.messageAnswers = {IDYES, IDNO};
    ClearJournal();

    EXPECT_TRUE(Run({big}));
    ASSERT_EQ(2u, Messages().size());
    EXPECT_EQ("上書き確認", Messages()[0].caption);
    EXPECT_EQ("確認", Messages()[1].caption);
    EXPECT_EQ("the old archive", Read(out / "big.lzh"));
    EXPECT_TRUE(Commands().empty());
}

TEST_F(Compression, SizesAreCountedBeyondTwoGigabytes) {
    MakeDir(work / "tree");
    MakeDir(work / "tree\\empty");
    MakeDir(work / "tree\\deep");
    MakeDir(work / "tree\\deep\\deeper");
    Write("tree\\a.txt", "12345");
    Write("tree\\deep\\deeper\\b.txt", "123");
    const int64_t huge = 3 * (int64_t{1} << 30);
    ASSERT_TRUE(MakeLargeFile(work / "tree\\deep\\huge.bin", huge));
    int64_t total = 0;
    SumDirSize(work / "tree", total);
    EXPECT_EQ(huge + 8, total);
    int64_t empty = 0;
    SumDirSize(work / "tree\\empty", empty);
    EXPECT_EQ(0, empty);

    FileList list;
    EXPECT_EQ(huge + 8 + 6, SumListSize(Fill(list, {work / "tree", report, work / "none"})));

    // 3 GiB is over a limit of 2047 MiB; answering No keeps the stand-in from packing it.
    Options.CompWarn = true;
    Options.CompWarnSize = 2047;
    ClearJournal();
    EXPECT_TRUE(Run({work / "tree"}));
    EXPECT_EQ(1u, Messages().size());
    EXPECT_TRUE(Commands().empty());

    // A limit of 4096 MiB is 4 GiB, not zero: small files pass without a question.
    Options.CompWarnSize = 4096;
    person.calls.clear();
    EXPECT_TRUE(Run({report}));
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(FileExists(out / "report.lzh"));
}

TEST_F(Compression, SelfExtractingArchiveIsTheFileAskedAboutAndReplaced) {
    Options.MakeSFX = true;
    const std::string exe = out / "report.exe";
    testing_support::WriteTextFile(exe, "old exe");
    person.messageAnswers = {IDYES};
    EXPECT_TRUE(Run({report}));
    ASSERT_EQ(1u, Messages().size());
    EXPECT_EQ("同名のファイル" + exe + "が存在します。上書きしますか", Messages()[0].text);
    EXPECT_TRUE(FileExists(exe));
    EXPECT_NE("old exe", Read(exe));
    EXPECT_FALSE(FileExists(out / "report.lzh"));
}

TEST_F(Compression, FilesOfTheJobAreNeverReplaced) {
    Options.MeltForAllArc = false;
    Options.CompType = 1;
    Options.CompDirType = 1;
    Options.CompOverWrite = true;
    const std::string zip = MakeZip("a");
    const std::string lzh = Pack("LH5(lzh)", "b");
    const std::string before = Read(zip);
    ClearJournal();
    EXPECT_TRUE(Run({zip, lzh}));

    // An archive already inside a dropped folder is part of the job too.
    MakeDir(work / "pics");
    const std::string inner = Write("pics\\pics.zip", "inner");
    Options.CompPath.assign((work / "pics\\").c_str());
    Options.CompDirType = 3;
    EXPECT_TRUE(Run({work / "pics"}));

    ASSERT_EQ(2u, Messages().size());
    for (const PersonCall& call : Messages())
        EXPECT_EQ(Box("圧縮先の指定が不正です。圧縮作業を中断します", "不正なフォルダー", MB_OK),
                  Box(call));
    EXPECT_EQ(before, Read(zip));
    EXPECT_EQ("inner", Read(inner));
    EXPECT_TRUE(Commands().empty());
}

// The new archive is an input under another name: relative to the current folder, with
// '/' separators, or through the folder's 8.3 alias. With overwriting on, nothing may be
// deleted without a question, and nothing is packed.
TEST_F(Compression, AFileOfTheJobUnderAnotherNameIsNeverReplaced) {
    Options.MeltForAllArc = false;
    Options.CompType = 1;
    Options.CompOverWrite = true;
    const std::string folder = work / "downloaded files";
    ASSERT_TRUE(MakeDir(folder));
    const std::string zip = Write("downloaded files\\a.zip", "the old archive");
    Write("downloaded files\\b.lzh", "not an archive");
    const std::string before = Read(zip);
    Options.CompPath.assign((folder + "\\").c_str());

    std::string slashed = zip;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    char shortFolder[MAX_PATH] = "";
    ASSERT_NE(0u, GetShortPathNameA(folder.c_str(), shortFolder, MAX_PATH));
    ASSERT_STRNE(folder.c_str(), shortFolder);
    const testing_support::CurrentFolderScope here(folder);
    ASSERT_TRUE(here.changed());

    for (const std::string& spelling :
         {std::string("a.zip"), slashed, std::string(shortFolder) + "\\a.zip",
          std::string("..\\downloaded files\\a.zip")}) {
        SCOPED_TRACE(spelling);
        person.calls.clear();
        ClearJournal();
        EXPECT_TRUE(Run({spelling, "b.lzh"}));
        ASSERT_EQ(1u, Messages().size());
        EXPECT_EQ(Box("圧縮先の指定が不正です。圧縮作業を中断します", "不正なフォルダー", MB_OK),
                  Box(Messages()[0]));
        EXPECT_EQ(before, Read(zip));
        EXPECT_TRUE(Commands().empty());
    }

    // Another file of the same name elsewhere is no input: it is replaced as asked.
    person.calls.clear();
    EXPECT_TRUE(Run({work / "report.txt"}));
    EXPECT_TRUE(Messages().empty());
}

// An archive that would be written inside a dropped folder, named relatively or through
// its 8.3 alias, is refused before it exists: no archiver packs a folder into itself.
TEST_F(Compression, NoArchiveIsWrittenInsideADroppedFolder) {
    Options.CompType = 1;
    const std::string pictures = work / "holiday pictures";
    ASSERT_TRUE(MakeDir(pictures));
    Write("holiday pictures\\beach.txt", "sand");
    Options.CompPath.assign((pictures + "\\sub\\").c_str());
    char shortFolder[MAX_PATH] = "";
    ASSERT_NE(0u, GetShortPathNameA(pictures.c_str(), shortFolder, MAX_PATH));
    const testing_support::CurrentFolderScope here(work.path());
    ASSERT_TRUE(here.changed());

    for (const std::string& spelling :
         {std::string("holiday pictures"), std::string(shortFolder), pictures + "\\"}) {
        SCOPED_TRACE(spelling);
        person.calls.clear();
        ClearJournal();
        EXPECT_TRUE(Run({spelling}));
        ASSERT_EQ(1u, Messages().size());
        EXPECT_EQ("不正なフォルダー", Messages()[0].caption);
        EXPECT_TRUE(Commands().empty());
        EXPECT_FALSE(FileExists(pictures + "\\sub\\holiday pictures.zip"));
    }
}

// The self-extracting road clears %TEMP%\\<base>.<ext> and %TEMP%\\<base>.exe before it packs;
// when either is an input, or lies in a dropped folder, the job is refused untouched.
TEST_F(Compression, SelfExtractingRoadNeverClearsAnInput) {
    Options.MakeSFX = true;
    Options.MeltForAllArc = false;
    const std::string temp = work / "temp";
    ASSERT_TRUE(MakeDir(temp));
    const archiver_tests::TempFolderScope temporary(temp);
    const std::string text = Write("temp\\report.txt", "report in temp");
    const std::string lzh = Write("temp\\report.lzh", "an older report");
    const std::string exe = Write("temp\\notes.exe", "a program");
    const std::string notes = Write("notes.txt", "notes");

    const std::vector<std::vector<std::string>> jobs = {
        {text, lzh},          // %TEMP%\\report.lzh is the second input
        {notes, exe},         // %TEMP%\\notes.exe is the second input
        {temp},               // %TEMP%\\temp.lzh would be written inside the dropped folder
        {temp + "\\"},       // the same folder, written with its separator
    };
    for (const std::vector<std::string>& job : jobs) {
        SCOPED_TRACE(job[0]);
        person.calls.clear();
        ClearJournal();
        FileList list;
        for (const std::string& path : job) list.add(path.c_str());
        EXPECT_TRUE(RunJob(list));
        ASSERT_EQ(1u, Messages().size());
        EXPECT_EQ(Box("圧縮先の指定が不正です。圧縮作業を中断します", "不正なフォルダー", MB_OK),
                  Box(Messages()[0]));
        EXPECT_TRUE(Commands().empty());
    }
    EXPECT_EQ("report in temp", Read(text));
    EXPECT_EQ("an older report", Read(lzh));
    EXPECT_EQ("a program", Read(exe));

    // Inputs elsewhere go through, and the temporary files are gone again.
    person.calls.clear();
    EXPECT_TRUE(Run({notes}));
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(FileExists(out / "notes.exe"));
    EXPECT_FALSE(FileExists(temp + "\\notes.lzh"));
}

TEST_F(Compression, DestinationsOfEveryKind) {
    Options.CompPath.assign(out.path().c_str());  // typed without the final separator
    EXPECT_TRUE(Run({report}));
    EXPECT_TRUE(FileExists(out / "report.lzh"));
    EXPECT_FALSE(FileExists(out.path() + "report.lzh"));

    Options.CompDirType = 1;
    ClearJournal();
    {
        testing_support::CurrentFolderScope current(work.path());
        EXPECT_TRUE(Run({"report.txt"}));
    }
    // A bare name lies in the current directory, so the archive goes there.
    ASSERT_EQ(1u, Commands().size());
    EXPECT_NE(std::string::npos, Commands()[0].find("\"" + work / "report.lzh\""));

    Options.CompDirType = 3;
    Options.CompPath.assign((MissingDrive() + "\\nowhere\\").c_str());
    ClearJournal();
    EXPECT_TRUE(Run({report}));
    ASSERT_EQ(1u, Messages().size());
    EXPECT_EQ("圧縮先の指定が不正です。圧縮作業を中断します", Messages()[0].text);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(Compression, ExplorerShowsTheFolderUnlessItIsTheDesktop) {
    Options.CompOpenDir = true;
    Options.CompDirType = 1;
    EXPECT_TRUE(Run({report}));
    ASSERT_EQ(1u, Explorers().size());
    EXPECT_EQ(ExplorerLine(work.path() + "\\"), Explorers()[0].text);

    // On the real desktop, under a name of its own, removed afterwards.
    const std::string name = "zbjob" + std::to_string(GetTickCount());
    const std::string file = Write(name + ".txt", "x");
    for (int type : {0, 9}) {
        Options.CompDirType = type;
        person.calls.clear();
        EXPECT_TRUE(Run({file}));
        EXPECT_TRUE(FileExists(Desktop() + name + ".lzh")) << type;
        EXPECT_TRUE(Explorers().empty()) << type;
        DeleteFileA((Desktop() + name + ".lzh").c_str());
    }
}


// Files whose names the code page cannot hold, given as Windows gives them: in UTF-16.
class UnheldNames : public Compression {
protected:
    std::wstring MakeWide(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = ToWide(work.path()) + L"\\" + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return path;
    }
};

TEST_F(UnheldNames, TheArchiveIsNamedAfterTheLongNameEverywhere) {
    const std::wstring cafe = MakeWide(L"caf\xE9.txt", "cafe");
    const std::wstring korean = MakeWide(L"\xD55C\xAD6D\xC5B4.txt", "korean");
    Write("cafe.zip", "old");  // the best-fit name belongs to somebody else
    Write("caf_.zip", "old");

    // ZIP beside the file, asked about the old archive of that name, and Yes.
    Options.CompType = 1;
    Options.CompDirType = 1;
    person.messageAnswers = {IDYES};
    FileList list;
    list.addWide(cafe);
    ASSERT_EQ(1, list.count());
    const std::string alias = list.at(0).text();
    ASSERT_TRUE(RunJob(list));
    ASSERT_EQ(1u, Messages().size());
    EXPECT_EQ(Box("同名のファイル" + (work / "caf_.zip") + "が存在します。上書きしますか",
                  "上書き確認", kQuestion),
              Box(Messages()[0]));
    ASSERT_EQ(1u, Commands().size());
    const std::string aliasName = alias.substr(alias.rfind('\\') + 1);
    EXPECT_EQ("Zip32j.dll|-r -S \"" + (work / "caf_.zip") + "\" \"" + work.path() + "\\\" \"" +
                  aliasName + "\" ",
              Commands()[0]);
    EXPECT_NE("old", Read(work / "caf_.zip"));
    EXPECT_EQ("old", Read(work / "cafe.zip"));

    // The save dialog proposes the same name; LZH on the desktop road names ___.lzh.
    Options.CompType = 0;
    Options.CompDirType = 2;
    person.calls.clear();
    person.saveAnswers = {out / "chosen.lzh"};
    list.clear();
    list.addWide(korean);
    ASSERT_TRUE(RunJob(list));
    const auto dialogs = person.callsOf(PersonCall::SaveFile);
    ASSERT_EQ(1u, dialogs.size());
    EXPECT_EQ("___.lzh", dialogs[0].proposedName);
    EXPECT_TRUE(FileExists(out / "___.lzh"));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(UnheldNames, SelfExtractingProgramsTakeTheLongNameToo) {
    FileList list;
    list.addWide(MakeWide(L"caf\xE9.txt", "cafe"));
    Options.MakeSFX = true;
    Options.CompType = 1;
    ASSERT_TRUE(RunJob(list));
    EXPECT_TRUE(FileExists(out / "caf_.exe"));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(UnheldNames, SizesCountFilesOfEveryName) {
    MakeDir(work / "tree");
    MakeWide(L"tree\\caf\xE9.txt", "12345");
    CreateDirectoryW((ToWide(work.path()) + L"\\tree\\\xD55C").c_str(), nullptr);
    MakeWide(L"tree\\\xD55C\\emoji\xD83D\xDE00.txt", "123");
    int64_t total = 0;
    SumDirSize(work / "tree", total);
    EXPECT_EQ(8, total);
}

TEST_F(UnheldNames, AFileWithoutAliasStopsTheWholeJob) {
    const std::wstring cafe = MakeWide(L"caf\xE9.txt", "cafe");
    FileList list;
    list.addWide(ToWide(report));
    list.addWide(cafe, GetLongPathNameW);  // a volume without 8.3 names
    ASSERT_TRUE(RunJob(list));
    ASSERT_EQ(1u, Messages().size());
    const PersonCall box = Messages()[0];
    EXPECT_TRUE(box.wide);
    EXPECT_EQ(cafe + L"は名前に使えない文字を含むため圧縮できません", box.wideText);
    EXPECT_EQ(L"圧縮できません", box.wideCaption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), box.flags);
    EXPECT_TRUE(Commands().empty());
    EXPECT_FALSE(FileExists(out / "report.lzh"));
}

}  // namespace
}  // namespace job_tests
