// The chain's fixed order and the availability flags, with only some DLLs installed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archivers/tests/StandinFixture.h"

namespace {

using archiver_tests::ChainScope;
using archiver_tests::InstallStandins;
using archiver_tests::kAllStandins;
using testing_support::TempDir;
using testing_support::WriteTextFile;

const char* const kChainOrder[] = {"Unlha32.dll", "UnZip32.dll",  "Zip32j.dll", "Cab32.dll",
                                   "Unrar32.dll", "Unarj32j.dll", "Tar32.dll"};

struct Flags {
    bool unlha, zip32j, cab, tar, zcrypt;
};

struct SubsetCase {
    const char* name;
    std::vector<const char*> installed;
    Flags flags;
    bool loaded[7];  // whether each place's DLL loaded
};

TEST(ArchiverChain, OrderAndFlagsFollowWhatIsInstalled) {
    const SubsetCase cases[] = {
        {"nothing", {}, {false, false, false, false, false}, {0, 0, 0, 0, 0, 0, 0}},
        {"everything",
         {"Unlha32.dll", "UnZip32.dll", "Zip32j.dll", "Cab32.dll", "Unrar32.dll", "Unarj32j.dll",
          "Tar32.dll", "Zcrypt32.dll"},
         {true, true, true, true, true},
         {1, 1, 1, 1, 1, 1, 1}},
        {"UnZip32 without Zip32j", {"UnZip32.dll"}, {false, false, false, false, false},
         {0, 1, 0, 0, 0, 0, 0}},
        {"Zcrypt32 without Zip32j", {"Zcrypt32.dll", "Tar32.dll"},
         {false, false, false, true, true}, {0, 0, 0, 0, 0, 0, 1}},
        {"Cab32 alone", {"Cab32.dll"}, {false, false, true, false, false}, {0, 0, 0, 1, 0, 0, 0}},
        {"Zip32j without Zcrypt32", {"Zip32j.dll", "Unlha32.dll", "Unarj32j.dll"},
         {true, true, false, false, false}, {1, 0, 1, 0, 0, 1, 0}},
    };
    for (const SubsetCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        for (const char* dll : c.installed) ASSERT_TRUE(InstallStandins(folder.path(), {dll}));
        ChainScope chain(folder.path());

        EXPECT_EQ(c.flags.unlha, Unlha32Loaded);
        EXPECT_EQ(c.flags.zip32j, Zip32jLoaded);
        EXPECT_EQ(c.flags.cab, Cab32Loaded);
        EXPECT_EQ(c.flags.tar, Tar32Loaded);
        EXPECT_EQ(c.flags.zcrypt, Zcrypt32Present);

        int place = 0;
        for (Archiver* a = ArchiverChain; a != nullptr; a = a->next, ++place) {
            ASSERT_LT(place, 7);
            auto* dll = dynamic_cast<DllArchiver*>(a);
            ASSERT_NE(nullptr, dll);
            EXPECT_STREQ(kChainOrder[place], dll->dllName.text());
            EXPECT_EQ(c.loaded[place], dll->module != nullptr) << kChainOrder[place];
        }
        EXPECT_EQ(7, place);
    }
}

TEST(ArchiverChain, FormatsAreOfferedOnlyByLoadedArchiversAndMatchedExactly) {
    TempDir folder;
    ASSERT_TRUE(InstallStandins(folder.path(), {"Unlha32.dll", "UnZip32.dll", "Tar32.dll"}));
    ChainScope chain(folder.path());

    struct Offer {
        const char* label;
        int place;  // 0: nobody here
    };
    const Offer offers[] = {
        {"LH0(lzh)", 1},   {"LH5(lzh)", 1},    {"LH7(lzh)", 1},     {"ZIP_6(zip)", 0},
        {"ZIP_Cr(ZCr)", 0}, {"MSZIP(cab)", 0}, {"LZX_21(cab)", 0}, {"GZIP_6(tgz)", 7},
        {"BZIP2_9(bz2)", 7}, {"lh5(lzh)", 0},  {"LH5", 0},
    };
    for (const Offer& offer : offers) {
        int found = 0;
        int place = 1;
        for (Archiver* a = ArchiverChain; a != nullptr && found == 0; a = a->next, ++place) {
            if (a->SupportsFormat(StrBuf(offer.label))) found = place;
        }
        EXPECT_EQ(offer.place, found) << offer.label;
    }

    const bool sfx[] = {true, false, false, false, false, false, true};
    for (int place = 1; place <= 7; ++place) {
        EXPECT_EQ(sfx[place - 1], chain.at(place)->CanMakeSfx()) << place;
    }
}

TEST(ArchiverChain, ZipArchivesGoToUnZip32BeforeZip32j) {
    TempDir folder;
    ASSERT_TRUE(InstallStandins(folder.path(), kAllStandins));
    TempDir work;
    ASSERT_TRUE(WriteTextFile(work / "a.txt", "zip me"));
    ChainScope chain(folder.path());

    FileList files;
    files.add((work / "a.txt").c_str());
    ASSERT_TRUE(chain.at(3)->Compress(StrBuf("ZIP_6(zip)"), files, StrBuf((work.path() + "\\").c_str())));
    const StrBuf archive((work / "a.zip").c_str());
    int first = 0;
    int place = 1;
    for (Archiver* a = ArchiverChain; a != nullptr && first == 0; a = a->next, ++place) {
        if (a->CanExtract(archive)) first = place;
    }
    EXPECT_EQ(2, first);
}

TEST(ArchiverChain, AppendKeepsOrderAndTheBaseArchiverRefusesEverything) {
    TempDir work;
    ASSERT_TRUE(WriteTextFile(work / "a.txt", "text"));
    FileList files;
    files.add((work / "a.txt").c_str());

    ASSERT_EQ(nullptr, ArchiverChain);
    auto* first = new Archiver;
    auto* second = new DllArchiver;
    auto* third = new Archiver;
    AppendArchiver(first);
    AppendArchiver(second);
    AppendArchiver(third);
    EXPECT_EQ(first, ArchiverChain);
    EXPECT_EQ(second, first->next);
    EXPECT_EQ(third, second->next);
    EXPECT_EQ(nullptr, third->next);

    const StrBuf path((work / "a.txt").c_str());
    const StrBuf destination((work.path() + "\\").c_str());
    EXPECT_FALSE(first->CanExtract(path));
    EXPECT_FALSE(first->SupportsFormat(StrBuf("LH5(lzh)")));
    EXPECT_FALSE(first->CanMakeSfx());
    EXPECT_FALSE(first->Extract(path, destination, 1, true));
    EXPECT_FALSE(first->Compress(StrBuf("LH5(lzh)"), files, destination));
    EXPECT_FALSE(first->CompressSfx(StrBuf("LH5(lzh)"), files, destination));
    StrBuf out("before");
    first->Describe(out);
    EXPECT_STREQ("????", out.text());

    DestroyArchiverChain();
    ArchiverChain = nullptr;
}

TEST(DllArchiverSetup, AFourthFormatIsIgnored) {
    DllArchiver archiver;
    archiver.AddFormat("A", "a", "ta %s %s");
    archiver.AddFormat("B", "b", "tb %s %s");
    archiver.AddFormat("C", "c", "tc %s %s");
    archiver.AddFormat("D", "d", "td %s %s");
    EXPECT_EQ(3, archiver.formatCount);
    const char* const expected[] = {"A", "B", "C"};
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_STREQ(expected[slot], archiver.labels[slot].text());
    }
    EXPECT_STREQ("c", archiver.extensions[2].text());
    EXPECT_STREQ("tc %s %s", archiver.compressTemplates[2].text());
}

}  // namespace
