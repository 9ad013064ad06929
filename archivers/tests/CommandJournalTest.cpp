// The command texts each archiver passes to its DLL, byte for byte, as the stand-ins record
// them, and the self-extracting road through the temporary folder.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "archivers/tests/StandinFixture.h"

namespace {

using archiver_tests::ChainScope;
using archiver_tests::InstallStandins;
using archiver_tests::Journal;
using archiver_tests::kAllStandins;
using archiver_tests::ListFolder;
using archiver_tests::TempFolderScope;
using testing_support::FileExists;
using testing_support::MakeDir;
using testing_support::ReadTextFile;
using testing_support::TempDir;
using testing_support::WriteTextFile;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// All stand-ins installed, the chain built, and a source folder holding report.txt, the
// folder pics and the folder old, which also carries the read-only and hidden bits.
class CommandTexts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InstallStandins(dlls_.path(), kAllStandins));
        chain_.reset(new ChainScope(dlls_.path()));
        ASSERT_TRUE(WriteTextFile(source_ / "report.txt", "report"));
        ASSERT_TRUE(MakeDir(source_ / "pics"));
        ASSERT_TRUE(WriteTextFile(source_ / "pics\\p.bmp", "picture"));
        ASSERT_TRUE(MakeDir(source_ / "old"));
        ASSERT_TRUE(WriteTextFile(source_ / "old\\o.txt", "old"));
        SetFileAttributesA((source_ / "old").c_str(), FILE_ATTRIBUTE_DIRECTORY |
                                                           FILE_ATTRIBUTE_READONLY |
                                                           FILE_ATTRIBUTE_HIDDEN);
        files_.add((source_ / "report.txt").c_str());
        files_.add((source_ / "pics").c_str());
        files_.add((source_ / "old").c_str());
    }
    void TearDown() override {
        SetFileAttributesA((source_ / "old").c_str(), FILE_ATTRIBUTE_DIRECTORY);
        chain_.reset();
    }

    std::string fileListArgument() const {
        return Quoted(source_.path() + "\\") + " \"report.txt\" \"pics\\*.*\" \"old\\*.*\" ";
    }

    TempDir dlls_;
    TempDir source_;
    TempDir output_;
    std::unique_ptr<ChainScope> chain_;
    FileList files_;
    Journal journal_;
};

struct CompressCase {
    int place;
    const char* dll;
    const char* entry;
    const char* label;
    const char* commandBeforeArchive;
    const char* extension;
};

const CompressCase kCompressCases[] = {
    {1, "Unlha32.dll", "Unlha", "LH0(lzh)", "a -x1 -r2 -a1 -jm0 ", "lzh"},
    {1, "Unlha32.dll", "Unlha", "LH5(lzh)", "a -x1 -r2 -a1 -jm2 ", "lzh"},
    {1, "Unlha32.dll", "Unlha", "LH7(lzh)", "a -x1 -r2 -a1 -jm4 ", "lzh"},
    {3, "Zip32j.dll", "Zip", "ZIP_6(zip)", "-r -S ", "zip"},
    {3, "Zip32j.dll", "Zip", "ZIP_Cr(ZCr)", "-e -r -S ", "zip"},
    {4, "Cab32.dll", "Cab", "MSZIP(cab)", "-a -r -mz ", "cab"},
    {4, "Cab32.dll", "Cab", "LZX_21(cab)", "-a -r -ml21 ", "cab"},
    {7, "Tar32.dll", "Tar", "GZIP_6(tgz)", "cvfz ", "tar.gz"},
    {7, "Tar32.dll", "Tar", "BZIP2_9(bz2)", "cvfzB ", "bz2"},
};

TEST_F(CommandTexts, CompressIssuesTheTemplateOfEachFormat) {
    const std::string destination = output_.path() + "\\";
    for (const CompressCase& c : kCompressCases) {
        SCOPED_TRACE(c.label);
        journal_.clear();
        EXPECT_TRUE(chain_->at(c.place)->Compress(StrBuf(c.label), files_,
                                                 StrBuf(destination.c_str())));
        const std::string archive = destination + "report." + c.extension;
        EXPECT_EQ(Journal::Line(c.dll, c.entry,
                                c.commandBeforeArchive + Quoted(archive) + " " + fileListArgument()),
                  journal_.read());
    }
}

TEST_F(CommandTexts, CompressRefusesAFormatTheArchiverDoesNotOffer) {
    const StrBuf destination((output_.path() + "\\").c_str());
    EXPECT_FALSE(chain_->at(1)->Compress(StrBuf("ZIP_6(zip)"), files_, destination));
    EXPECT_FALSE(chain_->at(1)->Compress(StrBuf("lh5(lzh)"), files_, destination));
    EXPECT_FALSE(chain_->at(2)->Compress(StrBuf("LH5(lzh)"), files_, destination));
    EXPECT_EQ("", journal_.read());
    EXPECT_EQ("", ListFolder(output_.path()));
}

TEST_F(CommandTexts, ALongFileListReachesTheDllWhole) {
    FileList many;
    const int count = 5000;
    for (int i = 0; i < count; ++i) many.add((source_ / "report.txt").c_str());
    const std::string destination = output_.path() + "\\";
    EXPECT_TRUE(chain_->at(1)->Compress(StrBuf("LH5(lzh)"), many, StrBuf(destination.c_str())));

    std::string list = Quoted(source_.path() + "\\") + " ";
    for (int i = 0; i < count; ++i) list += "\"report.txt\" ";
    EXPECT_EQ(Journal::Line("Unlha32.dll", "Unlha",
                            "a -x1 -r2 -a1 -jm2 " + Quoted(destination + "report.lzh") + " " + list),
              journal_.read());
    EXPECT_TRUE(FileExists(output_ / "report.lzh"));
}

struct ExtractCase {
    int place;
    const char* dll;
    const char* entry;
    const char* commandTemplateHead;  // the template before its first %s
    const char* overwriteSwitch;
};

TEST_F(CommandTexts, ExtractPutsTheOverwriteSwitchBeforeTheWholeTemplate) {
    const ExtractCase cases[] = {
        {1, "Unlha32.dll", "Unlha", "e -c1 -a1 -x1 -jyc  ", " -m1 "},
        {2, "UnZip32.dll", "UnZip", "-x ", " -o "},
        {4, "Cab32.dll", "Cab", "-x ", " -o "},
        {5, "Unrar32.dll", "Unrar", "-x ", ""},
        {6, "Unarj32j.dll", "Unarj", "x -jyc -p ", ""},
        {7, "Tar32.dll", "Tar", "xvf ", ""},
    };
    const std::string archive = source_ / "data.arc";
    const std::string destination = output_.path() + "\\data\\";
    const std::string arguments = Quoted(archive) + " " + Quoted(destination);
    for (const ExtractCase& c : cases) {
        for (bool overwrite : {false, true}) {
            SCOPED_TRACE(std::string(c.dll) + (overwrite ? " overwrite" : " keep"));
            journal_.clear();
            EXPECT_TRUE(chain_->at(c.place)->Extract(StrBuf(archive.c_str()),
                                                     StrBuf(destination.c_str()), c.place,
                                                     overwrite));
            const std::string head = overwrite ? c.overwriteSwitch : "";
            EXPECT_EQ(Journal::Line(c.dll, c.entry, head + c.commandTemplateHead + arguments),
                      journal_.read());
        }
    }
}

TEST_F(CommandTexts, ExtractChoosesTheSwitchByTheGivenPlaceOnly) {
    const std::string archive = source_ / "data.lzh";
    const std::string destination = output_.path() + "\\";
    const std::string tail = "e -c1 -a1 -x1 -jyc  " + Quoted(archive) + " " + Quoted(destination);
    const struct {
        int place;
        const char* head;
    } cases[] = {{0, ""}, {2, " -o "}, {3, ""}, {8, ""}};
    for (const auto& c : cases) {
        journal_.clear();
        chain_->at(1)->Extract(StrBuf(archive.c_str()), StrBuf(destination.c_str()), c.place, true);
        EXPECT_EQ(Journal::Line("Unlha32.dll", "Unlha", c.head + tail), journal_.read()) << c.place;
    }
}

TEST_F(CommandTexts, Zip32jHasNothingToExtractWith) {
    const std::string archive = source_ / "data.zip";
    EXPECT_FALSE(chain_->at(3)->Extract(StrBuf(archive.c_str()),
                                        StrBuf((output_.path() + "\\").c_str()), 3, true));
    EXPECT_EQ("", journal_.read());
}

struct SfxCase {
    int place;
    const char* dll;
    const char* entry;
    const char* label;
    const char* commandBeforeArchive;
    const char* extension;
    const char* sfxBeforeArchive;
    bool passesFolder;  // Zip32j's template has one placeholder
};

const SfxCase kSfxCases[] = {
    {1, "Unlha32.dll", "Unlha", "LH5(lzh)", "a -x1 -r2 -a1 -jm2 ", "lzh", "s -gw3 ", true},
    {3, "Zip32j.dll", "Zip", "ZIP_6(zip)", "-r -S ", "zip", "--sfx ", false},
    {4, "Cab32.dll", "Cab", "MSZIP(cab)", "-a -r -mz ", "cab", "-f ", true},
    {7, "Tar32.dll", "Tar", "GZIP_6(tgz)", "cvfz ", "tar.gz", "--self-extracting=1 cvfz ", true},
};

TEST_F(CommandTexts, CompressSfxGoesThroughTheTemporaryFolder) {
    for (const SfxCase& c : kSfxCases) {
        SCOPED_TRACE(c.label);
        TempDir temp;
        TempDir destination;
        TempFolderScope tempScope(temp.path());
        journal_.clear();

        EXPECT_TRUE(chain_->at(c.place)->CompressSfx(
            StrBuf(c.label), files_, StrBuf((destination.path() + "\\").c_str())));

        const std::string tempFolder = temp.path() + "\\";
        const std::string tempArchive = tempFolder + "report." + c.extension;
        std::string sfxCommand = c.sfxBeforeArchive + Quoted(tempArchive);
        if (c.passesFolder) sfxCommand += " " + Quoted(tempFolder);
        EXPECT_EQ(Journal::Line(c.dll, c.entry,
                                c.commandBeforeArchive + Quoted(tempArchive) + " " +
                                    fileListArgument()) +
                      Journal::Line(c.dll, c.entry, sfxCommand),
                  journal_.read());
        EXPECT_EQ("", ListFolder(temp.path()));
        EXPECT_EQ("report.exe;", ListFolder(destination.path()));
    }
}

TEST_F(CommandTexts, CompressSfxKeepsAProgramAlreadyAtTheDestination) {
    TempDir temp;
    TempDir destination;
    TempFolderScope tempScope(temp.path());
    ASSERT_TRUE(WriteTextFile(destination / "report.exe", "older program"));

    EXPECT_TRUE(chain_->at(1)->CompressSfx(StrBuf("LH5(lzh)"), files_,
                                           StrBuf((destination.path() + "\\").c_str())));
    std::string kept;
    ASSERT_TRUE(ReadTextFile(destination / "report.exe", kept));
    EXPECT_EQ("older program", kept);
    // The new program could not be moved and stays behind; the archive is gone.
    EXPECT_EQ("report.exe;", ListFolder(temp.path()));
}

// Runs a self-extracting program of the stand-ins, which unpacks into the folder it is given.
bool RunProgram(const std::string& program, const std::string& folder) {
    std::string commandLine = Quoted(program) + " " + Quoted(folder);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    const bool finished = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return finished;
}

TEST_F(CommandTexts, CompressSfxRemovesLeftoversOfAnEarlierRunFirst) {
    TempDir temp;
    TempDir destination;
    TempDir stale;
    TempFolderScope tempScope(temp.path());

    // A leftover report.lzh holding stale.txt: LHA's "a" would add to it.
    ASSERT_TRUE(WriteTextFile(stale / "report.dat", "stale report"));
    ASSERT_TRUE(WriteTextFile(stale / "stale.txt", "stale"));
    FileList staleFiles;
    staleFiles.add((stale / "report.dat").c_str());
    staleFiles.add((stale / "stale.txt").c_str());
    ASSERT_TRUE(chain_->at(1)->Compress(StrBuf("LH5(lzh)"), staleFiles,
                                        StrBuf((temp.path() + "\\").c_str())));
    ASSERT_TRUE(FileExists(temp / "report.lzh"));
    ASSERT_TRUE(WriteTextFile(temp / "report.exe", "stale program"));

    EXPECT_TRUE(chain_->at(1)->CompressSfx(StrBuf("LH5(lzh)"), files_,
                                           StrBuf((destination.path() + "\\").c_str())));
    EXPECT_EQ("", ListFolder(temp.path()));

    TempDir unpacked;
    ASSERT_TRUE(RunProgram(destination / "report.exe", unpacked.path()));
    EXPECT_TRUE(FileExists(unpacked / "report.txt"));
    EXPECT_TRUE(FileExists(unpacked / "pics\\p.bmp"));
    EXPECT_FALSE(FileExists(unpacked / "stale.txt"));
    EXPECT_FALSE(FileExists(unpacked / "report.dat"));
}

}  // namespace
