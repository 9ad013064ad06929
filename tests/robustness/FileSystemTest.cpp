// The file system moves under the job: files vanish at the moment a question is asked,
// archives are held open by someone else, destinations are read-only or on no drive.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "settings/Options.h"
#include "tests/robustness/RobustFixture.h"

namespace robustness {
namespace {

using testing_support::FileExists;
using testing_support::MakeDir;

class FileSystem : public RobustTest {
protected:
    void SetUp() override {
        RobustTest::SetUp();
        LoadArchivers();
        out = work / "out";
        ASSERT_TRUE(MakeDir(out));
        first = MakeZip("first");
        second = MakeZip("second");
        notes = Write("notes.txt", "notes");
        Options.MeltDirType = 3;
        Options.MeltPath.assign((out + "\\").c_str());
        Options.CompType = 1;
        Options.CompDirType = 3;
        Options.CompPath.assign((out + "\\").c_str());
    }

    std::string Landed() const { return Tree(out); }

public:  // arranged by the rows
    std::string out, first, second, notes;
    std::unique_ptr<HeldByAnotherProcess> held;
};

struct MoveRow {
    const char* what;
    std::function<void(FileSystem&)> arrange;  // settings, answers, hooks, locks
    std::vector<std::string FileSystem::*> given;
    bool result;          // RunJob's result
    const char* landed;   // what out holds afterwards
    const char* asked;
    bool oldKept;         // out\notes.zip still holds the old archive
};

std::unique_ptr<HeldByAnotherProcess> Hold(const std::string& path, DWORD share) {
    return std::make_unique<HeldByAnotherProcess>(path, share);
}

const MoveRow kMoveRows[] = {
    {"the second archive vanishes while the first one's folder is asked for",
     [](FileSystem& t) {
         Options.MeltDirType = 2;
         t.hooked.folderAnswers = {t.out, t.out};
         t.hooked.beforeAnswer = [&t] { DeleteFileA(t.second.c_str()); };
     },
     {&FileSystem::first, &FileSystem::second}, true, "first\\first.txt;", ""},
    // Judged an archive, then gone before the DLL is called: its folder is made, empty.
    {"the archive vanishes while its own folder is asked for",
     [](FileSystem& t) {
         Options.MeltDirType = 2;
         t.hooked.folderAnswers = {t.out};
         t.hooked.beforeAnswer = [&t] { DeleteFileA(t.first.c_str()); };
     },
     {&FileSystem::first}, true, "first\\;", ""},
    // Held without sharing, it cannot be looked at: not an archive, and packing it fails.
    {"an archive held open without sharing",
     [](FileSystem& t) { t.held = Hold(t.first, 0); },
     {&FileSystem::first}, true, "", "圧縮失敗"},
    {"an archive held open for writing, shared for reading",
     [](FileSystem& t) { t.held = Hold(t.first, FILE_SHARE_READ); },
     {&FileSystem::first}, true, "first\\first.txt;", ""},
    // The old archive is put back when the file to pack vanishes after the question.
    {"the file to pack vanishes after Yes to replacing the old archive",
     [](FileSystem& t) {
         testing_support::WriteTextFile(t.out + "\\notes.zip", "old archive");
         t.hooked.messageAnswers = {IDYES};
         t.hooked.beforeAnswer = [&t] { DeleteFileA(t.notes.c_str()); };
     },
     {&FileSystem::notes}, true, "notes.zip;", "上書き確認 圧縮失敗", true},
    {"the file to pack is held open without sharing, overwriting on",
     [](FileSystem& t) {
         testing_support::WriteTextFile(t.out + "\\notes.zip", "old archive");
         Options.CompOverWrite = true;
         t.held = Hold(t.notes, 0);
     },
     {&FileSystem::notes}, true, "notes.zip;", "圧縮失敗", true},
    // The attribute does not guard a folder's content on Windows, nor here.
    {"a read-only destination folder",
     [](FileSystem& t) { SetFileAttributesA(t.out.c_str(), FILE_ATTRIBUTE_READONLY); },
     {&FileSystem::first}, true, "first\\first.txt;", ""},
    // A read-only archive is neither deleted nor replaced: the job stops before the DLL.
    {"a read-only old archive, overwriting on",
     [](FileSystem& t) {
         testing_support::WriteTextFile(t.out + "\\notes.zip", "old archive");
         SetFileAttributesA((t.out + "\\notes.zip").c_str(), FILE_ATTRIBUTE_READONLY);
         Options.CompOverWrite = true;
     },
     {&FileSystem::notes}, true, "notes.zip;", "圧縮失敗", true},
    {"an old archive held open, shared for reading only, overwriting on",
     [](FileSystem& t) {
         testing_support::WriteTextFile(t.out + "\\notes.zip", "old archive");
         t.held = Hold(t.out + "\\notes.zip", FILE_SHARE_READ);
         Options.CompOverWrite = true;
     },
     {&FileSystem::notes}, true, "notes.zip;", "圧縮失敗", true},
    {"an extraction folder on a missing drive",
     [](FileSystem&) { Options.MeltPath.assign((job_tests::MissingDrive() + "\\x\\").c_str()); },
     {&FileSystem::first, &FileSystem::second}, true, "", "不正なフォルダー 不正なフォルダー"},
    {"a compression folder on a missing drive",
     [](FileSystem&) { Options.CompPath.assign((job_tests::MissingDrive() + "\\").c_str()); },
     {&FileSystem::notes}, true, "", "不正なフォルダー"},
    {"a save dialog answer on a missing drive",
     [](FileSystem& t) {
         Options.CompDirType = 2;
         t.hooked.saveAnswers = {job_tests::MissingDrive() + "\\notes.zip"};
     },
     {&FileSystem::notes}, true, "", "不正なフォルダー"},
};

TEST_F(FileSystem, MovesUnderTheJob) {
    for (const MoveRow& row : kMoveRows) {
        SCOPED_TRACE(row.what);
        const OptionValues saved = Options;
        row.arrange(*this);
        if (held) ASSERT_TRUE(held->held()) << "the other process does not hold the file";
        std::vector<std::string> given;
        for (auto member : row.given) given.push_back(this->*member);

        EXPECT_EQ(row.result, Enter(Entry::Drop, given));

        held.reset();
        SetFileAttributesA(out.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(row.landed, Landed());
        EXPECT_EQ(row.asked, Asked());
        // An old archive is never lost: either a new one replaced it or it is still there.
        if (row.oldKept) EXPECT_EQ("old archive", job_tests::Read(out + "\\notes.zip"));

        // Put everything back for the next row.
        Options = saved;
        hooked.calls.clear();
        hooked.beforeAnswer = nullptr;
        hooked.folderAnswers.clear();
        hooked.saveAnswers.clear();
        hooked.messageAnswers.clear();
        SetFileAttributesA((out + "\\notes.zip").c_str(), FILE_ATTRIBUTE_NORMAL);
        testing_support::RemoveTree(out);
        ASSERT_TRUE(MakeDir(out));
        if (!FileExists(first)) first = MakeZip("first");
        if (!FileExists(second)) second = MakeZip("second");
        if (!FileExists(notes)) Write("notes.txt", "notes");
    }
}

}  // namespace
}  // namespace robustness
