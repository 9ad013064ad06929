// The command texts each archiver passes to its DLL, byte for byte, as the stand-ins record
// them, and the self-extracting road through the temporary folder.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "archivers/tests/StandinFixture.h"
#include "tests/support/WindowWatcher.h"

namespace archiver_tests {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

const char* const kCommandEntries[] = {"Unlha", "UnZip", "Zip", "Cab", "Unrar", "Unarj", "Tar"};

// All stand-ins installed, the chain built, and a source folder holding report.txt, the
// folder pics and the folder old, which also carries the read-only and hidden bits.
class CommandTexts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteTextFile(source_ / "report.txt", "report"));
        ASSERT_TRUE(MakeDir(source_ / "pics"));
        ASSERT_TRUE(WriteTextFile(source_ / "pics\\p.bmp", "picture"));
        ASSERT_TRUE(MakeDir(source_ / "old"));
        ASSERT_TRUE(WriteTextFile(source_ / "old\\o.txt", "old"));
        SetFileAttributesA((source_ / "old").c_str(), FILE_ATTRIBUTE_DIRECTORY |
                                                           FILE_ATTRIBUTE_READONLY |
                                                           FILE_ATTRIBUTE_HIDDEN);
        Fill(files_, {source_ / "report.txt", source_ / "pics", source_ / "old"});
    }
    void TearDown() override {
        SetFileAttributesA((source_ / "old").c_str(), FILE_ATTRIBUTE_DIRECTORY);
    }

    // The journal line of a command text sent to the DLL at place.
    static std::string command(int place, const std::string& text) {
        return Journal::Line(kChainDlls[place - 1], kCommandEntries[place - 1], text);
    }
    std::string fileListArgument() const {
        return Quoted(source_.path() + "\\") + " \"report.txt\" \"pics\\*.*\" \"old\\*.*\" ";
    }

    ChainScope chain_;
    TempDir source_;
    TempDir output_;
    FileList files_;
    Journal journal_;
};

struct CompressCase {
    int place;
    const char* label;
    const char* commandBeforeArchive;
    const char* extension;
};

const CompressCase kCompressCases[] = {
    {1, "LH0(lzh)", "a -x1 -r2 -a1 -jm0 ", "lzh"},   {1, "LH5(lzh)", "a -x1 -r2 -a1 -jm2 ", "lzh"},
    {1, "LH7(lzh)", "a -x1 -r2 -a1 -jm4 ", "lzh"},   {3, "ZIP_6(zip)", "-r -S ", "zip"},
    {3, "ZIP_Cr(ZCr)", "-e -r -S ", "zip"},          {4, "MSZIP(cab)", "-a -r -mz ", "cab"},
    {4, "LZX_21(cab)", "-a -r -ml21 ", "cab"},       {7, "GZIP_6(tgz)", "cvfz ", "tar.gz"},
    {7, "BZIP2_9(bz2)", "cvfzB ", "bz2"},
};

const CompressCase& CompressRow(const std::string& label) {
    for (const CompressCase& c : kCompressCases)
        if (label == c.label) return c;
    throw std::logic_error("no row for " + label);
}

TEST_F(CommandTexts, CompressIssuesTheTemplateOfEachFormat) {
    for (const CompressCase& c : kCompressCases) {
        SCOPED_TRACE(c.label);
        journal_.clear();
        // The stand-ins ask for the password of an encrypted ZIP, and say in a box that they
        // do not write BZ2 yet: those windows are answered as a person would.
        std::vector<testing_support::WindowStep> steps;
        if (std::string(c.label) == "ZIP_Cr(ZCr)")
            steps.push_back({"#32770", "パスワードの入力", {"pw", "pw"}, IDOK, GetCurrentProcessId()});
        if (std::string(c.label) == "BZIP2_9(bz2)")
            steps.push_back({"#32770", "Tar32.dll", {}, IDOK, GetCurrentProcessId()});
        testing_support::WindowWatcher windows(steps);
        EXPECT_TRUE(chain_.at(c.place)->Compress(StrBuf(c.label), files_, Destination(output_)));
        if (!steps.empty()) {
            EXPECT_TRUE(windows.wait());
        }
        const std::string archive = output_ / ("report." + std::string(c.extension));
        EXPECT_EQ(command(c.place, c.commandBeforeArchive + Quoted(archive) + " " +
                                       fileListArgument()),
                  journal_.read());
    }
}

TEST_F(CommandTexts, CompressRefusesAFormatTheArchiverDoesNotOffer) {
    const StrBuf destination = Destination(output_);
    EXPECT_FALSE(chain_.at(1)->Compress(StrBuf("ZIP_6(zip)"), files_, destination));
    EXPECT_FALSE(chain_.at(1)->Compress(StrBuf("lh5(lzh)"), files_, destination));
    EXPECT_FALSE(chain_.at(2)->Compress(StrBuf("LH5(lzh)"), files_, destination));
    EXPECT_EQ("", journal_.read());
    EXPECT_EQ("", ListFolder(output_.path()));
}

TEST_F(CommandTexts, ALongFileListReachesTheDllWhole) {
    FileList many;
    const int count = 5000;
    for (int i = 0; i < count; ++i) many.add((source_ / "report.txt").c_str());
    EXPECT_TRUE(chain_.at(1)->Compress(StrBuf("LH5(lzh)"), many, Destination(output_)));

    std::string list = Quoted(source_.path() + "\\") + " ";
    for (int i = 0; i < count; ++i) list += "\"report.txt\" ";
    EXPECT_EQ(command(1, "a -x1 -r2 -a1 -jm2 " + Quoted(output_ / "report.lzh") + " " + list),
              journal_.read());
    EXPECT_TRUE(FileExists(output_ / "report.lzh"));
}

TEST_F(CommandTexts, AnEntryFromAnotherFolderIsPassedByItsFullPath) {
    TempDir other;
    ASSERT_TRUE(WriteTextFile(other / "there.txt", "there"));
    FileList files;
    Fill(files, {source_ / "report.txt", other / "there.txt"});
    EXPECT_TRUE(chain_.at(1)->Compress(StrBuf("LH5(lzh)"), files, Destination(output_)));
    EXPECT_EQ(command(1, "a -x1 -r2 -a1 -jm2 " + Quoted(output_ / "report.lzh") + " " +
                             Quoted(source_.path() + "\\") + " \"report.txt\" " +
                             Quoted(other / "there.txt") + " "),
              journal_.read());
}

TEST_F(CommandTexts, ExtractPutsTheOverwriteSwitchBeforeTheWholeTemplate) {
    const struct {
        int place;
        const char* templateHead;  // the template before its first %s
        const char* overwriteSwitch;
        const char* dll;           // the caption of the box it shows: data.arc is no archive
    } cases[] = {
        {1, "e -c1 -a1 -x1 -jyc  ", " -m1 ", "Unlha32.dll"}, {2, "-x ", " -o ", "UnZip32.dll"},
        {4, "-x ", " -o ", "Cab32.dll"},                     {5, "-x ", "", "Unrar32.dll"},
        {6, "x -jyc -p ", "", "Unarj32j.dll"},               {7, "xvf ", "", "Tar32.dll"},
    };
    const std::string archive = source_ / "data.arc";
    const std::string destination = output_.path() + "\\data\\";
    const std::string arguments = Quoted(archive) + " " + Quoted(destination);
    for (const auto& c : cases) {
        for (bool overwrite : {false, true}) {
            SCOPED_TRACE(::testing::Message() << c.place << (overwrite ? " overwrite" : " keep"));
            journal_.clear();
            testing_support::WindowWatcher box(
                {{"#32770", c.dll, {}, IDOK, GetCurrentProcessId()}});
            EXPECT_TRUE(chain_.at(c.place)->Extract(StrBuf(archive.c_str()),
                                                     StrBuf(destination.c_str()), c.place,
                                                     overwrite));
            EXPECT_TRUE(box.wait());
            const std::string head = overwrite ? c.overwriteSwitch : "";
            EXPECT_EQ(command(c.place, head + c.templateHead + arguments), journal_.read());
        }
    }
}

TEST_F(CommandTexts, Zip32jHasNothingToExtractWith) {
    const std::string archive = source_ / "data.zip";
    EXPECT_FALSE(chain_.at(3)->Extract(StrBuf(archive.c_str()),
                                        Destination(output_), 3, true));
    EXPECT_EQ("", journal_.read());
}

TEST_F(CommandTexts, CompressSfxGoesThroughTheTemporaryFolder) {
    const struct {
        const char* label;
        const char* sfxBeforeArchive;
        bool passesFolder;  // Zip32j's template has one placeholder
    } cases[] = {
        {"LH5(lzh)", "s -gw3 ", true},
        {"ZIP_6(zip)", "--sfx ", false},
        {"MSZIP(cab)", "-f ", true},
        {"GZIP_6(tgz)", "--self-extracting=1 cvfz ", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const CompressCase& row = CompressRow(c.label);
        TempDir temp;
        TempDir destination;
        TempFolderScope tempScope(temp.path());
        journal_.clear();

        EXPECT_TRUE(chain_.at(row.place)->CompressSfx(StrBuf(c.label), files_,
                                                      Destination(destination)));

        const std::string tempFolder = temp.path() + "\\";
        const std::string tempArchive = tempFolder + "report." + row.extension;
        std::string sfxCommand = c.sfxBeforeArchive + Quoted(tempArchive);
        if (c.passesFolder) sfxCommand += " " + Quoted(tempFolder);
        EXPECT_EQ(command(row.place, row.commandBeforeArchive + Quoted(tempArchive) + " " +
                                         fileListArgument()) +
                      command(row.place, sfxCommand),
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

    EXPECT_TRUE(chain_.at(1)->CompressSfx(StrBuf("LH5(lzh)"), files_,
                                           Destination(destination)));
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

    // A leftover report.lzh holding report.dat: LHA's "a" would add to it.
    ASSERT_TRUE(WriteTextFile(stale / "report.dat", "stale report"));
    FileList staleFiles;
    ASSERT_TRUE(chain_.at(1)->Compress(StrBuf("LH5(lzh)"), Fill(staleFiles, {stale / "report.dat"}),
                                       Destination(temp)));
    ASSERT_TRUE(FileExists(temp / "report.lzh"));
    ASSERT_TRUE(WriteTextFile(temp / "report.exe", "stale program"));

    EXPECT_TRUE(chain_.at(1)->CompressSfx(StrBuf("LH5(lzh)"), files_,
                                           Destination(destination)));
    EXPECT_EQ("", ListFolder(temp.path()));

    TempDir unpacked;
    ASSERT_TRUE(RunProgram(destination / "report.exe", unpacked.path()));
    EXPECT_TRUE(FileExists(unpacked / "report.txt"));
    EXPECT_TRUE(FileExists(unpacked / "pics\\p.bmp"));
    EXPECT_FALSE(FileExists(unpacked / "report.dat"));
}

}  // namespace
}  // namespace archiver_tests
