// Awkward names: each one packed from the command line and its archive dropped back for
// extraction; the bytes come back under the same name, and nothing of the input is lost.
#include <gtest/gtest.h>

#include "settings/Options.h"
#include "tests/robustness/RobustFixture.h"

namespace robustness {
namespace {

using testing_support::FileExists;
using testing_support::MakeDir;

struct NameRow {
    const char* name;     // the file packed, in work\src
    const char* archive;  // the archive the job names after it, in out
    const char* landed;   // where its bytes come back, below back
    const char* shown;    // the folder Explorer is shown, below back
};

const NameRow kNameRows[] = {
    {"表.txt", "表.zip", "表\\表.txt", "表\\"},              // trail byte 0x5C
    {"ソフト表.txt", "ソフト表.zip", "ソフト表\\ソフト表.txt", "ソフト表\\"},
    {"ポ.txt", "ポ.zip", "ポ\\ポ.txt", "ポ\\"},              // trail byte 0x7C
    {"a b.txt", "a b.zip", "a b\\a b.txt", "a b\\"},
    {"a,b.txt", "a,b.zip", "a,b\\a,b.txt", "a,b\\"},
    {"100%.txt", "100%.zip", "100%\\100%.txt", "100%\\"},
    {"%s%d.txt", "%s%d.zip", "%s%d\\%s%d.txt", "%s%d\\"},     // not a format for anyone
    {"-o.txt", "-o.zip", "-o\\-o.txt", "-o\\"},             // not a switch inside a full path
    {".profile.txt", ".profile.zip", ".profile\\.profile.txt", ".profile\\"},
    // No base name before the dot: the archive is ".zip" and it unpacks into back itself.
    {".hidden", ".zip", ".hidden", "\\"},
};

TEST_F(RobustTest, AwkwardNamesRoundTrip) {
    LoadArchivers();
    const std::string src = work / "src";
    const std::string out = work / "out";
    const std::string back = work / "back";
    ASSERT_TRUE(MakeDir(src) && MakeDir(out) && MakeDir(back));
    Options.CompType = 1;
    Options.CompDirType = 3;
    Options.CompPath.assign((out + "\\").c_str());
    Options.MeltDirType = 3;
    Options.MeltPath.assign((back + "\\").c_str());
    Options.MeltOpenDir = true;
    for (const NameRow& row : kNameRows) {
        SCOPED_TRACE(row.name);
        const std::string input = src + "\\" + row.name;
        const std::string bytes = std::string("bytes of ") + row.name;
        ASSERT_TRUE(testing_support::WriteTextFile(input, bytes));
        hooked.calls.clear();

        EXPECT_TRUE(Enter(Entry::CommandLine, {input}));
        ASSERT_TRUE(FileExists(out + "\\" + row.archive));
        EXPECT_TRUE(Enter(Entry::Drop, {out + "\\" + row.archive}));

        EXPECT_EQ(bytes, job_tests::Read(back + "\\" + row.landed));
        EXPECT_EQ(bytes, job_tests::Read(input));
        // Explorer is shown the folder whole, quoted, whatever it holds.
        const auto shown = hooked.callsOf(testing_support::PersonCall::Explorer);
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ(job_tests::ExplorerLine(back + "\\" + row.shown), shown[0].text);
        EXPECT_EQ("", Asked());
        testing_support::RemoveTree(back);
        ASSERT_TRUE(MakeDir(back));
    }
}

// A name with a leading '-' given bare on the command line is a switch, not a file: no job,
// and start-up opens the settings window; dropped, the same name is a file.
TEST_F(RobustTest, LeadingDashIsASwitchOnlyOnTheCommandLine) {
    LoadArchivers();
    const std::string out = work / "out";
    ASSERT_TRUE(MakeDir(out));
    Options.CompDirType = 3;
    Options.CompPath.assign((out + "\\").c_str());
    Write("-o.txt", "dash");
    const testing_support::CurrentFolderScope here(work.path());
    ASSERT_TRUE(here.changed());

    EXPECT_FALSE(Enter(Entry::CommandLine, {"-o.txt"}));
    EXPECT_FALSE(FileExists(out + "\\-o.lzh"));
    EXPECT_TRUE(Enter(Entry::Drop, {"-o.txt"}));
    EXPECT_TRUE(FileExists(out + "\\-o.lzh"));
    EXPECT_EQ("", Asked());
}

}  // namespace
}  // namespace robustness
