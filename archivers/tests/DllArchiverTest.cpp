// One DllArchiver against the stand-ins: Describe, the variants lacking an export, the file
// tests before the DLL is asked, and real archives compressed and extracted back.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "archivers/tests/StandinFixture.h"
#include "base/Handles.h"

namespace {

using archiver_tests::ChainScope;
using archiver_tests::InstallStandins;
using archiver_tests::Journal;
using archiver_tests::kAllStandins;
using archiver_tests::ListFolder;
using testing_support::FileExists;
using testing_support::MakeDir;
using testing_support::ReadTextFile;
using testing_support::TempDir;
using testing_support::WriteTextFile;

std::string Contents(const std::string& path) {
    std::string bytes;
    return ReadTextFile(path, bytes) ? bytes : std::string("<missing>");
}

TEST(DllArchiverDescribe, NamesTheDllAndItsVersionOrWhyThereIsNone) {
    TempDir folder;
    ASSERT_TRUE(InstallStandins(folder.path(), {"Unlha32.dll", "Cab32.dll", "Unrar32.dll"}));
    ChainScope chain(folder.path());
    const char* const expected[] = {
        "Unlha32.dll   version 2.67",  "UnZip32.dll   Not Installed", "Zip32j.dll   Not Installed",
        "Cab32.dll   version 0.98",    "Unrar32.dll   version 0.17",  "Unarj32j.dll   Not Installed",
        "Tar32.dll   Not Installed",
    };
    for (int place = 1; place <= 7; ++place) {
        StrBuf out;
        chain.at(place)->Describe(out);
        EXPECT_STREQ(expected[place - 1], out.text());
    }
}

TEST(DllArchiverVariants, MissingVersionExportIsInvalid) {
    TempDir folder;
    ASSERT_TRUE(InstallStandins(folder.path(), {"Unlha32.dll"}, "variants\\noversion"));
    ChainScope chain(folder.path());
    EXPECT_TRUE(Unlha32Loaded);
    StrBuf out;
    chain.at(1)->Describe(out);
    EXPECT_STREQ("Unlha32.dll   Invalid", out.text());
}

TEST(DllArchiverVariants, MissingCheckExportRefusesEveryFileButStillOffersItsFormats) {
    TempDir folder;
    TempDir work;
    ASSERT_TRUE(InstallStandins(folder.path(), {"Unlha32.dll"}, "variants\\nocheck"));
    ASSERT_TRUE(WriteTextFile(work / "a.txt", "packed"));
    ChainScope chain(folder.path());
    EXPECT_TRUE(Unlha32Loaded);
    EXPECT_TRUE(chain.at(1)->SupportsFormat(StrBuf("LH5(lzh)")));

    FileList files;
    files.add((work / "a.txt").c_str());
    ASSERT_TRUE(chain.at(1)->Compress(StrBuf("LH5(lzh)"), files,
                                      StrBuf((work.path() + "\\").c_str())));
    ASSERT_TRUE(FileExists(work / "a.lzh"));
    EXPECT_FALSE(chain.at(1)->CanExtract(StrBuf((work / "a.lzh").c_str())));
}

TEST(DllArchiverVariants, MissingCommandExportIsNeverCalled) {
    TempDir folder;
    TempDir work;
    TempDir temp;
    ASSERT_TRUE(InstallStandins(folder.path(), {"Unlha32.dll"}, "variants\\nocommand"));
    ASSERT_TRUE(WriteTextFile(work / "a.txt", "packed"));
    Journal journal;
    archiver_tests::TempFolderScope tempScope(temp.path());
    ChainScope chain(folder.path());
    EXPECT_TRUE(Unlha32Loaded);

    FileList files;
    files.add((work / "a.txt").c_str());
    const StrBuf destination((work.path() + "\\").c_str());
    EXPECT_FALSE(chain.at(1)->Compress(StrBuf("LH5(lzh)"), files, destination));
    EXPECT_FALSE(chain.at(1)->CompressSfx(StrBuf("LH5(lzh)"), files, destination));
    EXPECT_FALSE(chain.at(1)->Extract(StrBuf((work / "a.lzh").c_str()), destination, 1, true));
    EXPECT_EQ("a.txt;", ListFolder(work.path()));
    EXPECT_EQ("", ListFolder(temp.path()));
    EXPECT_EQ("", journal.read());
}

class CanExtractTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InstallStandins(dlls_.path(), {"Unlha32.dll"}));
        chain_.reset(new ChainScope(dlls_.path()));
    }
    void TearDown() override { chain_.reset(); }

    bool canExtract(const std::string& path) { return chain_->at(1)->CanExtract(StrBuf(path.c_str())); }
    std::string checkLine(const std::string& path) const {
        return Journal::Line("Unlha32.dll", "UnlhaCheckArchive", path);
    }

    TempDir dlls_;
    TempDir work_;
    std::unique_ptr<ChainScope> chain_;
    Journal journal_;
};

TEST_F(CanExtractTest, RefusesWithoutAskingTheDllWhenThereIsNothingToRead) {
    ASSERT_TRUE(MakeDir(work_ / "folder"));
    ASSERT_TRUE(WriteTextFile(work_ / "empty.lzh", ""));
    EXPECT_FALSE(canExtract(work_ / "folder"));
    EXPECT_FALSE(canExtract(work_ / "missing.lzh"));
    EXPECT_FALSE(canExtract(work_ / "empty.lzh"));
    EXPECT_EQ("", journal_.read());
}

TEST_F(CanExtractTest, AsksTheDllAboutEveryOtherFileAndTrustsOnlyItsAnswer) {
    ASSERT_TRUE(WriteTextFile(work_ / "a.txt", "not an archive"));
    EXPECT_FALSE(canExtract(work_ / "a.txt"));
    EXPECT_EQ(checkLine(work_ / "a.txt"), journal_.read());

    FileList files;
    files.add((work_ / "a.txt").c_str());
    ASSERT_TRUE(chain_->at(1)->Compress(StrBuf("LH0(lzh)"), files,
                                        StrBuf((work_.path() + "\\").c_str())));
    // Named like something else: the DLL judges by content.
    ASSERT_TRUE(MoveFileA((work_ / "a.lzh").c_str(), (work_ / "a.dat").c_str()));
    journal_.clear();
    EXPECT_TRUE(canExtract(work_ / "a.dat"));
    EXPECT_EQ(checkLine(work_ / "a.dat"), journal_.read());
}

// A sparse file of the given size; false when the file system will not make one.
bool MakeLargeFile(const std::string& path, LONGLONG size) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD returned = 0;
    // Not every file system knows sparse files; a plain file of that size will do as well.
    DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    return SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
}

TEST_F(CanExtractTest, SizesBeyond32BitsAreNeitherEmptyNorUnreadable) {
    const LONGLONG fourGiB = 0x100000000LL;
    const LONGLONG sizes[] = {fourGiB, fourGiB - 1, 2 * fourGiB};
    for (LONGLONG size : sizes) {
        SCOPED_TRACE(size);
        const std::string path = work_ / "large.bin";
        if (!MakeLargeFile(path, size)) {
            DeleteFileA(path.c_str());
            GTEST_SKIP() << "the file system refuses a file of " << size << " bytes";
        }
        journal_.clear();
        // Zeros are no archive, but the DLL must have been asked.
        EXPECT_FALSE(canExtract(path));
        EXPECT_EQ(checkLine(path), journal_.read());
        DeleteFileA(path.c_str());
    }
}

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InstallStandins(dlls_.path(), kAllStandins));
        chain_.reset(new ChainScope(dlls_.path()));
    }
    void TearDown() override { chain_.reset(); }

    TempDir dlls_;
    TempDir source_;
    TempDir output_;
    std::unique_ptr<ChainScope> chain_;
    Journal journal_;
};

TEST_F(RoundTrip, TwoFilesAndAFolderComeBackAsTheyWere) {
    ASSERT_TRUE(WriteTextFile(source_ / "first.txt", "first file\r\n"));
    ASSERT_TRUE(WriteTextFile(source_ / "second.bin", std::string("\x00\x01\xFF\x5C", 4)));
    ASSERT_TRUE(MakeDir(source_ / "folder"));
    ASSERT_TRUE(MakeDir(source_ / "folder\\inner"));
    ASSERT_TRUE(WriteTextFile(source_ / "folder\\inner\\deep.txt", "deep"));
    FileList files;
    files.add((source_ / "first.txt").c_str());
    files.add((source_ / "second.bin").c_str());
    files.add((source_ / "folder").c_str());

    Archiver* unlha = chain_->at(1);
    ASSERT_TRUE(unlha->Compress(StrBuf("LH5(lzh)"), files, StrBuf((output_.path() + "\\").c_str())));
    const StrBuf archive((output_ / "first.lzh").c_str());
    ASSERT_TRUE(unlha->CanExtract(archive));

    const std::string destination = output_.path() + "\\out\\";
    ASSERT_TRUE(MakeDir(destination));
    EXPECT_TRUE(unlha->Extract(archive, StrBuf(destination.c_str()), 1, false));
    EXPECT_EQ("first file\r\n", Contents(destination + "first.txt"));
    EXPECT_EQ(std::string("\x00\x01\xFF\x5C", 4), Contents(destination + "second.bin"));
    EXPECT_EQ("deep", Contents(destination + "folder\\inner\\deep.txt"));

    // Without overwrite an edited file is kept; with it the archive's copy returns.
    ASSERT_TRUE(WriteTextFile(destination + "first.txt", "edited"));
    unlha->Extract(archive, StrBuf(destination.c_str()), 1, false);
    EXPECT_EQ("edited", Contents(destination + "first.txt"));
    unlha->Extract(archive, StrBuf(destination.c_str()), 1, true);
    EXPECT_EQ("first file\r\n", Contents(destination + "first.txt"));
}

TEST_F(RoundTrip, AnEntryFromAnotherFolderIsPassedByItsFullPath) {
    TempDir other;
    ASSERT_TRUE(WriteTextFile(source_ / "here.txt", "here"));
    ASSERT_TRUE(WriteTextFile(other / "there.txt", "there"));
    FileList files;
    files.add((source_ / "here.txt").c_str());
    files.add((other / "there.txt").c_str());

    const std::string destination = output_.path() + "\\";
    ASSERT_TRUE(chain_->at(1)->Compress(StrBuf("LH5(lzh)"), files, StrBuf(destination.c_str())));
    const std::string archive = destination + "here.lzh";
    EXPECT_EQ(Journal::Line("Unlha32.dll", "Unlha",
                            "a -x1 -r2 -a1 -jm2 \"" + archive + "\" \"" + source_.path() +
                                "\\\" \"here.txt\" \"" + (other / "there.txt") + "\" "),
              journal_.read());

    const std::string unpacked = output_.path() + "\\out\\";
    ASSERT_TRUE(MakeDir(unpacked));
    chain_->at(1)->Extract(StrBuf(archive.c_str()), StrBuf(unpacked.c_str()), 1, false);
    EXPECT_EQ("here", Contents(unpacked + "here.txt"));
    // The DLL stores a full path without its drive.
    EXPECT_EQ("there", Contents(unpacked + (other / "there.txt").substr(3)));
}

TEST_F(RoundTrip, EveryWritingArchiverMakesWhatItsExtractorReads) {
    ASSERT_TRUE(WriteTextFile(source_ / "doc.txt", "document"));
    ASSERT_TRUE(MakeDir(source_ / "sub"));
    ASSERT_TRUE(WriteTextFile(source_ / "sub\\s.txt", "sub file"));
    FileList files;
    files.add((source_ / "doc.txt").c_str());
    files.add((source_ / "sub").c_str());
    const struct {
        int writer;
        const char* label;
        const char* archiveName;
        int reader;
    } cases[] = {
        {1, "LH7(lzh)", "doc.lzh", 1},
        {3, "ZIP_6(zip)", "doc.zip", 2},
        {4, "LZX_21(cab)", "doc.cab", 4},
        {7, "GZIP_6(tgz)", "doc.tar.gz", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir out;
        ASSERT_TRUE(chain_->at(c.writer)->Compress(StrBuf(c.label), files,
                                                   StrBuf((out.path() + "\\").c_str())));
        const StrBuf archive((out / c.archiveName).c_str());
        int found = 0;
        int place = 1;
        for (Archiver* a = ArchiverChain; a != nullptr && found == 0; a = a->next, ++place) {
            if (a->CanExtract(archive)) found = place;
        }
        ASSERT_EQ(c.reader, found);
        const std::string destination = out.path() + "\\x\\";
        ASSERT_TRUE(MakeDir(destination));
        chain_->at(found)->Extract(archive, StrBuf(destination.c_str()), found, false);
        EXPECT_EQ("document", Contents(destination + "doc.txt"));
        EXPECT_EQ("sub file", Contents(destination + "sub\\s.txt"));
    }
}

}  // namespace
