// The decision between the two roads, and the extraction road with the real stand-in
// archivers: destinations, the folder browser, the folder of its own and Explorer.
#include "jobs/Jobs.h"

#include <shlobj.h>

#include "jobs/tests/JobFixture.h"
#include "settings/Options.h"

namespace job_tests {
namespace {

using testing_support::FileExists;
using testing_support::MakeDir;
using testing_support::RemoveTree;
using testing_support::TempDir;

class Extraction : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        LoadArchivers();
        Options.MeltDirType = 3;
        Options.MeltPath.assign((out.path() + "\\").c_str());
        Options.CompDirType = 3;
        Options.CompPath.assign((out.path() + "\\").c_str());
    }
    TempDir out;
};

TEST_F(Extraction, EmptyListDoesNothing) {
    FileList none;
    EXPECT_FALSE(RunJob(none));
    EXPECT_TRUE(person.calls.empty());
    EXPECT_TRUE(Commands().empty());
}

TEST_F(Extraction, OneFileIsExtractedWhenArchiveAndPackedOtherwise) {
    for (bool forAll : {true, false}) {
        Options.MeltForAllArc = forAll;
        const std::string zip = MakeZip("alpha");
        const std::string text = Write("notes.txt", "notes");
        ClearJournal();
        FileList archive, plain;
        EXPECT_TRUE(RunJob(Fill(archive, {zip})));
        EXPECT_TRUE(RunJob(Fill(plain, {text})));
        EXPECT_TRUE(FileExists(out / "alpha\\alpha.txt")) << forAll;
        EXPECT_TRUE(FileExists(out / "notes.lzh")) << forAll;
        RemoveTree(out / "alpha");
        DeleteFileA((out / "notes.lzh").c_str());
    }
}

TEST_F(Extraction, SeveralArchivesAreUnpackedOnlyWhenAllAreArchivesAndAskedFor) {
    const std::string zip = MakeZip("alpha");
    const std::string lzh = Pack("LH5(lzh)", "beta");
    const std::string text = Write("gamma.txt", "gamma");

    Options.MeltForAllArc = false;
    ClearJournal();
    FileList both;
    EXPECT_TRUE(RunJob(Fill(both, {zip, lzh})));
    ASSERT_EQ(1u, Commands().size());
    EXPECT_EQ(0u, Commands()[0].find("Unlha32.dll|a -x1 -r2 -a1 -jm2 \"" + out / "alpha.lzh\""));

    Options.MeltForAllArc = true;
    DeleteFileA((out / "alpha.lzh").c_str());
    ClearJournal();
    FileList mixed;
    EXPECT_TRUE(RunJob(Fill(mixed, {zip, text})));
    ASSERT_EQ(1u, Commands().size());
    EXPECT_NE(std::string::npos, Commands()[0].find("\"alpha.zip\" \"gamma.txt\""));
    EXPECT_FALSE(FileExists(out / "alpha"));
}

TEST_F(Extraction, EachArchiveGoesToTheArchiverThatKnowsIt) {
    Options.MeltOverWrite = true;
    const std::string zip = MakeZip("alpha");
    const std::string lzh = Pack("LH5(lzh)", "beta");
    ClearJournal();
    FileList both;
    EXPECT_TRUE(RunJob(Fill(both, {zip, lzh})));
    const std::vector<std::string> expected = {
        "UnZip32.dll| -o -x \"" + zip + "\" \"" + out / "alpha\\\"",
        "Unlha32.dll| -m1 e -c1 -a1 -x1 -jyc  \"" + lzh + "\" \"" + out / "beta\\\"",
    };
    EXPECT_EQ(expected, Commands());
    EXPECT_EQ("beta", Read(out / "beta\\beta.txt"));
    EXPECT_TRUE(person.calls.empty());
}

TEST_F(Extraction, FolderOfItsOwnIsTheNameUpToItsLastDot) {
    Options.MeltDirType = 1;
    FileList tgz;
    EXPECT_TRUE(RunJob(Fill(tgz, {Pack("GZIP_6(tgz)", "data")})));
    EXPECT_TRUE(FileExists(work / "data.tar\\data.txt"));

    Options.MeltDirType = 3;
    MakeDir(work / "v1.2");
    const std::string readme = work / "v1.2\\README";
    ASSERT_TRUE(MoveFileA(MakeZip("alpha").c_str(), readme.c_str()));
    FileList bare;
    EXPECT_TRUE(RunJob(Fill(bare, {readme})));
    EXPECT_TRUE(FileExists(out / "README\\alpha.txt"));
}

TEST_F(Extraction, FixedFolderWithoutSeparatorGetsOne) {
    Options.MeltPath.assign(out.path().c_str());
    FileList list;
    EXPECT_TRUE(RunJob(Fill(list, {MakeZip("alpha")})));
    EXPECT_TRUE(FileExists(out / "alpha\\alpha.txt"));
    EXPECT_FALSE(FileExists(out.path() + "alpha"));
}

TEST_F(Extraction, BareNameUsesTheCurrentDirectory) {
    Options.MeltDirType = 1;
    MakeZip("alpha");
    {
        testing_support::CurrentFolderScope current(work.path());
        FileList list;
        EXPECT_TRUE(RunJob(Fill(list, {"alpha.zip"})));
    }
    EXPECT_TRUE(FileExists(work / "alpha\\alpha.txt"));
}

TEST_F(Extraction, InvalidDestinationIsAnnouncedOncePerArchive) {
    Options.MeltPath.assign((MissingDrive() + "\\nowhere\\").c_str());
    const std::string zip = MakeZip("alpha");
    const std::string lzh = Pack("LH5(lzh)", "beta");
    ClearJournal();
    FileList list;
    EXPECT_TRUE(RunJob(Fill(list, {zip, lzh})));
    ASSERT_EQ(2u, Messages().size());
    for (const PersonCall& call : Messages())
        EXPECT_EQ(Box("解凍先の指定が不正です。解凍作業を中断します", "不正なフォルダー", MB_OK),
                  Box(call));
    EXPECT_TRUE(Commands().empty());
}

TEST_F(Extraction, BrowserIsAskedBeforeEachArchiveAndCancelEndsTheJob) {
    Options.MeltDirType = 2;
    TempDir chosen;
    person.folderAnswers = {chosen.path() + "\\", ""};
    const std::string a = MakeZip("alpha"), b = MakeZip("beta"), c = MakeZip("gamma");
    ClearJournal();
    FileList list;
    RunJob(Fill(list, {a, b, c}));

    const auto browses = person.callsOf(PersonCall::BrowseFolder);
    ASSERT_EQ(2u, browses.size());
    for (const PersonCall& call : browses) {
        EXPECT_EQ("解凍先", call.caption);
        EXPECT_EQ(static_cast<UINT>(BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN), call.flags);
        EXPECT_EQ(nullptr, call.owner);
    }
    ASSERT_TRUE(person.ended());
    EXPECT_EQ(1, person.callsOf(PersonCall::EndProcess)[0].exitCode);
    EXPECT_EQ(PersonCall::EndProcess, person.calls.back().kind);
    // The chosen folder already ends in '\\': no second one.
    ASSERT_EQ(1u, Commands().size());
    EXPECT_EQ("UnZip32.dll|-x \"" + a + "\" \"" + chosen / "alpha\\\"", Commands()[0]);
    EXPECT_TRUE(FileExists(chosen / "alpha\\alpha.txt"));
    EXPECT_FALSE(FileExists(chosen / "beta"));
    EXPECT_FALSE(FileExists(chosen / "gamma"));
}

TEST_F(Extraction, ExplorerShowsEveryNewFolderQuoted) {
    Options.MeltOpenDir = true;
    TempDir place;
    const std::string comma = place / "a,b";
    MakeDir(comma);
    Options.MeltPath.assign((comma + "\\").c_str());
    FileList list;
    EXPECT_TRUE(RunJob(Fill(list, {MakeZip("alpha"), MakeZip("beta")})));
    ASSERT_EQ(2u, Explorers().size());
    EXPECT_EQ(ExplorerLine(comma + "\\alpha\\"), Explorers()[0].text);
    EXPECT_EQ(ExplorerLine(comma + "\\beta\\"), Explorers()[1].text);

    Options.MeltOpenDir = false;
    person.calls.clear();
    FileList again;
    RunJob(Fill(again, {MakeZip("gamma")}));
    EXPECT_TRUE(Explorers().empty());
}

// These land on the real desktop, under names of their own, removed afterwards.
TEST_F(Extraction, DesktopIsShownOnlyWhenSomethingNewFolderWasMade) {
    Options.MeltOpenDir = true;
    const std::string name = "zbjob" + std::to_string(GetTickCount());
    const std::string zip = MakeZip(name);
    for (int type : {0, 4, -1}) {
        Options.MeltDirType = type;
        person.calls.clear();
        FileList list;
        EXPECT_TRUE(RunJob(Fill(list, {zip})));
        EXPECT_TRUE(FileExists(Desktop() + name + "\\" + name + ".txt")) << type;
        ASSERT_EQ(1u, Explorers().size()) << type;
        EXPECT_EQ(ExplorerLine(Desktop() + name + "\\"), Explorers()[0].text);
        RemoveTree(Desktop() + name);
    }

    Options.MeltDirType = 0;
    Options.MeltMakeDir = false;
    person.calls.clear();
    FileList list;
    EXPECT_TRUE(RunJob(Fill(list, {zip})));
    EXPECT_TRUE(FileExists(Desktop() + name + ".txt"));
    EXPECT_TRUE(Explorers().empty());
    DeleteFileA((Desktop() + name + ".txt").c_str());
}

}  // namespace
}  // namespace job_tests
