// Paths of 259, 260 and 261 bytes at every place a path enters. Windows' ANSI file calls
// take 259 bytes; Wine's take one more (its conversion buffer holds 260 characters and the
// NUL), so 260 still works here and 261 is the first length the platform refuses.
#include <gtest/gtest.h>

#include "settings/Options.h"
#include "tests/robustness/RobustFixture.h"
#include "ui/SettingsDialog.h"

namespace robustness {
namespace {

using testing_support::FileExists;
using testing_support::MakeDir;

class PathLength : public RobustTest {
protected:
    void SetUp() override {
        RobustTest::SetUp();
        LoadArchivers();
        out = work / "out";
        ASSERT_TRUE(MakeDir(out));
        archive = MakeZip("data");
        Options.MeltDirType = 3;
        Options.MeltPath.assign((out + "\\").c_str());
        Options.MeltMakeDir = true;
        Options.CompType = 1;
        Options.CompDirType = 3;
        Options.CompPath.assign((out + "\\").c_str());
    }

    std::string out;      // where every job of a row may write
    std::string archive;  // data.zip, holding data.txt
};

// An archive whose own path has the length, handed over the way Explorer hands it over.
struct ArchivePathRow {
    Entry entry;
    size_t length;
    const char* landed;  // "extracted", "packed" or "nothing"
    const char* asked;
};

const ArchivePathRow kArchivePathRows[] = {
    {Entry::CommandLine, 259, "extracted", ""},
    {Entry::CommandLine, 260, "extracted", ""},
    // Past the ANSI calls' limit Zibrak cannot look into the file, so it is no archive to
    // it; the DLL reads its files by their "\\?\" paths and packs it like any other file.
    {Entry::CommandLine, 261, "packed", ""},
    {Entry::Drop, 259, "extracted", ""},
    {Entry::Drop, 260, "extracted", ""},
    {Entry::Drop, 261, "packed", ""},
    {Entry::WindowDrop, 259, "extracted", ""},
    {Entry::WindowDrop, 261, "packed", ""},
};

TEST_F(PathLength, ArchivePathOnTheCommandLineOrDropped) {
    for (const ArchivePathRow& row : kArchivePathRows) {
        SCOPED_TRACE("entry " + std::to_string(static_cast<int>(row.entry)) + ", " +
                     std::to_string(row.length) + " bytes");
        const std::string longPath = PathOfLength(work / "long", row.length, "\\data.zip");
        ASSERT_TRUE(MoveLong(archive, longPath));
        hooked.calls.clear();

        Enter(row.entry, {longPath});

        const std::string landed = FileExists(out + "\\data\\data.txt") ? "extracted"
                                   : FileExists(out + "\\data.zip")     ? "packed"
                                                                        : "nothing";
        EXPECT_EQ(row.landed, landed);
        EXPECT_EQ(row.asked, Asked());
        EXPECT_TRUE(ExistsLong(longPath)) << "the archive itself is never touched";
        ASSERT_TRUE(MoveLong(longPath, archive));
        testing_support::RemoveTree(out + "\\data");
        DeleteFileA((out + "\\data.zip").c_str());
    }
}

// A destination folder of the length, from each place a folder is chosen or stored.
enum class Source { IniMeltPath, JobBrowser, WindowBrowser, SaveDialog };

struct FolderRow {
    const char* what;
    Source source;
    size_t length;     // bytes of the text that enters (the INI value, the chosen path)
    bool makeDir;      // MeltMakeDir
    const char* landed;  // "named folder", "cut folder" (its first 259 bytes) or "nothing"
    const char* asked;
};

// An extraction folder ends in '\\' and must leave 12 bytes for an 8.3 name within 259, so
// 247 bytes is the longest taken; a longer one would make every entry fail in the DLL.
const FolderRow kFolderRows[] = {
    {"INI value of 247", Source::IniMeltPath, 247, false, "named folder", ""},
    {"INI value of 248", Source::IniMeltPath, 248, false, "nothing", "不正なフォルダー"},
    {"INI value of 259", Source::IniMeltPath, 259, false, "nothing", "不正なフォルダー"},
    {"INI value of 260", Source::IniMeltPath, 260, false, "nothing", "不正なフォルダー"},
    // Read as its first 259 bytes, a sibling of the folder named; refused all the same.
    {"INI value of 261", Source::IniMeltPath, 261, false, "nothing", "不正なフォルダー"},
    {"browser in the job, 246, '\\' makes 247", Source::JobBrowser, 246, false, "named folder",
     ""},
    {"browser in the job, 246, and a folder of its own", Source::JobBrowser, 246, true, "nothing",
     "不正なフォルダー"},
    {"browser in the job, 258", Source::JobBrowser, 258, false, "nothing", "不正なフォルダー"},
    {"browser in the job, 259 (the most its buffer holds)", Source::JobBrowser, 259, false,
     "nothing", "不正なフォルダー"},
    // The box shows F\ (260 bytes); read back through 260 bytes it loses the '\\' only.
    {"browser in the window, 246", Source::WindowBrowser, 246, false, "named folder", ""},
    {"browser in the window, 259", Source::WindowBrowser, 259, false, "nothing",
     "不正なフォルダー"},
    {"save dialog, 240", Source::SaveDialog, 240, false, "named folder", ""},
    // The DLL writes through a longer temporary name first, which does not fit.
    {"save dialog, 259", Source::SaveDialog, 259, false, "nothing", "圧縮失敗"},
    // The name does not fit the dialog's 260 bytes: the dialog fails, as if cancelled.
    {"save dialog, 260", Source::SaveDialog, 260, false, "nothing", "exit 1"},
    {"save dialog, 261", Source::SaveDialog, 261, false, "nothing", "exit 1"},
};

TEST_F(PathLength, DestinationFolderFromEachPlaceItIsChosen) {
    const std::string notes = Write("notes.txt", "notes");
    for (const FolderRow& row : kFolderRows) {
        SCOPED_TRACE(row.what);
        hooked.calls.clear();
        Options.MeltMakeDir = row.makeDir;
        std::string folder;  // F, the folder the row names
        switch (row.source) {
        case Source::IniMeltPath: {
            folder = PathOfLength(work / "ini", row.length - 1, "");
            const std::string ini = work / "robust.ini";
            ASSERT_TRUE(testing_support::WriteTextFile(
                ini, "[Option]\r\nMeltDirType=3\r\nMeltMakeDir=0\r\nMeltOpenDir=0\r\nMeltPath=" +
                         folder + "\\\r\n"));
            LoadOptions(ini.c_str());
            Enter(Entry::CommandLine, {archive});
            break;
        }
        case Source::JobBrowser:
            folder = PathOfLength(work / "browse", row.length, "");
            Options.MeltDirType = 2;
            hooked.folderAnswers = {folder};
            Enter(Entry::CommandLine, {archive});
            break;
        case Source::WindowBrowser:
            folder = PathOfLength(work / "window", row.length, "");
            hooked.folderAnswers = {folder};
            PrepareWindow();
            ui_tests::RunSettings([](HWND window) {
                SendMessageA(window, WM_COMMAND, 1008, 0);  // その他 on the extraction side
                SendMessageA(window, WM_COMMAND, IDOK, 0);
            });
            hooked.calls.clear();
            Enter(Entry::CommandLine, {archive});
            break;
        case Source::SaveDialog: {
            const std::string name = PathOfLength(work / "save", row.length, "\\notes.zip");
            folder = name.substr(0, name.size() - 10);
            Options.CompDirType = 2;
            Options.CompType = 1;  // an INI row may have loaded the default
            hooked.saveAnswers = {name};
            Enter(Entry::CommandLine, {notes});
            break;
        }
        }

        const auto holds = [&](const std::string& f) {
            const std::string in = f + (row.makeDir ? "\\data" : "");
            return ExistsLong(in + "\\data.txt") || ExistsLong(f + "\\notes.zip");
        };
        const std::string landed = holds(folder)                    ? "named folder"
                                   : holds(folder.substr(0, 259)) ? "cut folder"
                                                                    : "nothing";
        EXPECT_EQ(row.landed, landed);
        EXPECT_EQ(row.asked, Asked());
        EXPECT_TRUE(FileExists(archive) && FileExists(notes)) << "the inputs are never touched";
        RemoveLongTree(work / "ini");
        RemoveLongTree(work / "browse");
        RemoveLongTree(work / "window");
        RemoveLongTree(work / "save");
        Options.MeltDirType = 3;
        Options.CompDirType = 3;
    }
}

}  // namespace
}  // namespace robustness
