// One DllArchiver against the stand-ins: Describe, the variants lacking an export, the file
// tests before the DLL is asked, and real archives compressed and extracted back.
#include <gtest/gtest.h>

#include <string>

#include "archivers/tests/StandinFixture.h"

namespace archiver_tests {
namespace {

TEST(DllArchiverDescribe, NamesTheDllAndItsVersionOrWhyThereIsNone) {
    ChainScope chain({"Unlha32.dll", "Cab32.dll", "Unrar32.dll"});
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
    ChainScope chain({"Unlha32.dll"}, "variants\\noversion");
    EXPECT_TRUE(Unlha32Loaded);
    StrBuf out;
    chain.at(1)->Describe(out);
    EXPECT_STREQ("Unlha32.dll   Invalid", out.text());
}

TEST(DllArchiverVariants, MissingCheckExportRefusesEveryFileButStillOffersItsFormats) {
    TempDir work;
    ASSERT_TRUE(WriteTextFile(work / "a.txt", "packed"));
    ChainScope chain({"Unlha32.dll"}, "variants\\nocheck");
    EXPECT_TRUE(Unlha32Loaded);
    EXPECT_TRUE(chain.at(1)->SupportsFormat(StrBuf("LH5(lzh)")));

    FileList files;
    ASSERT_TRUE(chain.at(1)->Compress(StrBuf("LH5(lzh)"), Fill(files, {work / "a.txt"}),
                                      Destination(work)));
    ASSERT_TRUE(FileExists(work / "a.lzh"));
    EXPECT_FALSE(chain.at(1)->CanExtract(StrBuf((work / "a.lzh").c_str())));
}

TEST(DllArchiverVariants, MissingCommandExportIsNeverCalled) {
    TempDir work;
    TempDir temp;
    ASSERT_TRUE(WriteTextFile(work / "a.txt", "packed"));
    Journal journal;
    ChainScope chain({"Unlha32.dll"}, "variants\\nocommand");
    TempFolderScope tempScope(temp.path());
    EXPECT_TRUE(Unlha32Loaded);

    FileList files;
    Fill(files, {work / "a.txt"});
    const StrBuf destination = Destination(work);
    EXPECT_FALSE(chain.at(1)->Compress(StrBuf("LH5(lzh)"), files, destination));
    EXPECT_FALSE(chain.at(1)->CompressSfx(StrBuf("LH5(lzh)"), files, destination));
    EXPECT_FALSE(chain.at(1)->Extract(StrBuf((work / "a.lzh").c_str()), destination, 1, true));
    EXPECT_EQ("a.txt;", ListFolder(work.path()));
    EXPECT_EQ("", ListFolder(temp.path()));
    EXPECT_EQ("", journal.read());
}

class CanExtractTest : public ::testing::Test {
protected:
    bool canExtract(const std::string& path) {
        return chain_.at(1)->CanExtract(StrBuf(path.c_str()));
    }
    static std::string checkLine(const std::string& path) {
        return Journal::Line("Unlha32.dll", "UnlhaCheckArchive", path);
    }

    ChainScope chain_{{"Unlha32.dll"}};
    TempDir work_;
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
    ASSERT_TRUE(chain_.at(1)->Compress(StrBuf("LH0(lzh)"), Fill(files, {work_ / "a.txt"}),
                                       Destination(work_)));
    // Named like something else: the DLL judges by content.
    ASSERT_TRUE(MoveFileA((work_ / "a.lzh").c_str(), (work_ / "a.dat").c_str()));
    journal_.clear();
    EXPECT_TRUE(canExtract(work_ / "a.dat"));
    EXPECT_EQ(checkLine(work_ / "a.dat"), journal_.read());
}

TEST_F(CanExtractTest, SizesBeyond32BitsAreNeitherEmptyNorUnreadable) {
    // Their low 32 bits are 0 (empty) and all ones (the failure value) in a 32-bit reading.
    for (LONGLONG size : {0x100000000LL, 0xFFFFFFFFLL}) {
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

TEST(RoundTrip, EveryWritingArchiverMakesWhatItsExtractorReads) {
    ChainScope chain;
    TempDir source;
    ASSERT_TRUE(WriteTextFile(source / "doc.txt", "document"));
    ASSERT_TRUE(MakeDir(source / "sub"));
    ASSERT_TRUE(WriteTextFile(source / "sub\\s.txt", "sub file"));
    FileList files;
    Fill(files, {source / "doc.txt", source / "sub"});
    // ZIP archives are read by UnZip32.dll, ahead of Zip32j.dll, which wrote them.
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
        ASSERT_TRUE(chain.at(c.writer)->Compress(StrBuf(c.label), files, Destination(out)));
        const std::string archive = out / c.archiveName;
        ASSERT_EQ(c.reader, chain.extractorOf(archive));
        const std::string destination = out.path() + "\\x\\";
        ASSERT_TRUE(MakeDir(destination));
        chain.at(c.reader)->Extract(StrBuf(archive.c_str()), StrBuf(destination.c_str()),
                                    c.reader, false);
        std::string document, subFile;
        EXPECT_TRUE(ReadTextFile(destination + "doc.txt", document));
        EXPECT_TRUE(ReadTextFile(destination + "sub\\s.txt", subFile));
        EXPECT_EQ("document", document);
        EXPECT_EQ("sub file", subFile);
    }
}

}  // namespace
}  // namespace archiver_tests
