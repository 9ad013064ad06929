// The chain's fixed order and the availability flags, with only some DLLs installed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archivers/tests/StandinFixture.h"

namespace archiver_tests {
namespace {

struct SubsetCase {
    std::vector<const char*> installed;
    const char* flags;   // Unlha32Loaded, Zip32jLoaded, Cab32Loaded, Tar32Loaded, Zcrypt32Present
    const char* loaded;  // whether the DLL at each place loaded
};

TEST(ArchiverChain, OrderAndFlagsFollowWhatIsInstalled) {
    const SubsetCase cases[] = {
        {{}, "00000", "0000000"},
        {kAllStandins, "11111", "1111111"},
        {{"UnZip32.dll"}, "00000", "0100000"},  // ZIP extracts, but cannot be chosen
        {{"Zcrypt32.dll", "Tar32.dll"}, "00011", "0000001"},
        {{"Cab32.dll"}, "00100", "0001000"},
        {{"Zip32j.dll", "Unlha32.dll", "Unarj32j.dll"}, "11000", "1010010"},
    };
    for (const SubsetCase& c : cases) {
        SCOPED_TRACE(c.loaded);
        ChainScope chain(c.installed);
        const bool flags[] = {Unlha32Loaded, Zip32jLoaded, Cab32Loaded, Tar32Loaded,
                              Zcrypt32Present};
        for (int i = 0; i < 5; ++i) EXPECT_EQ(c.flags[i] == '1', flags[i]) << "flag " << i;

        int place = 0;
        for (Archiver* a = ArchiverChain; a != nullptr; a = a->next, ++place) {
            ASSERT_LT(place, 7);
            auto* dll = dynamic_cast<DllArchiver*>(a);
            ASSERT_NE(nullptr, dll);
            EXPECT_STREQ(kChainDlls[place], dll->dllName.text());
            EXPECT_EQ(c.loaded[place] == '1', dll->module != nullptr) << kChainDlls[place];
        }
        EXPECT_EQ(7, place);
    }
}

TEST(ArchiverChain, FormatsAreOfferedOnlyByLoadedArchiversAndMatchedExactly) {
    ChainScope chain({"Unlha32.dll", "UnZip32.dll", "Tar32.dll"});
    const struct {
        const char* label;
        int place;  // 0: nobody here
    } offers[] = {
        {"LH0(lzh)", 1},    {"LH5(lzh)", 1},    {"LH7(lzh)", 1},     {"ZIP_6(zip)", 0},
        {"ZIP_Cr(ZCr)", 0}, {"MSZIP(cab)", 0},  {"LZX_21(cab)", 0},  {"GZIP_6(tgz)", 7},
        {"BZIP2_9(bz2)", 7}, {"lh5(lzh)", 0},   {"LH5", 0},
        {"", 0},  // the empty label of an unused slot, as UnZip32.dll has three
    };
    for (const auto& offer : offers) {
        int found = 0;
        for (int place = 7; place >= 1; --place)
            if (chain.at(place)->SupportsFormat(StrBuf(offer.label))) found = place;
        EXPECT_EQ(offer.place, found) << offer.label;
    }

    // Place 2 is loaded without a template, places 3 and 4 have one without their DLL.
    const bool sfx[] = {true, false, false, false, false, false, true};
    for (int place = 1; place <= 7; ++place)
        EXPECT_EQ(sfx[place - 1], chain.at(place)->CanMakeSfx()) << place;
}

TEST(ArchiverChain, TheBaseArchiverRefusesEverything) {
    Archiver base;
    FileList files;
    files.add("C:\\a.txt");
    const StrBuf path("C:\\a.txt");
    const StrBuf label("LH5(lzh)");
    EXPECT_FALSE(base.CanExtract(path) || base.SupportsFormat(label) || base.CanMakeSfx() ||
                 base.Extract(path, path, 1, true) || base.Compress(label, files, path) ||
                 base.CompressSfx(label, files, path));
    StrBuf out("before");
    base.Describe(out);
    EXPECT_STREQ("????", out.text());
}

TEST(DllArchiverSetup, AFourthFormatIsIgnored) {
    DllArchiver archiver;
    for (const char* name : {"A", "B", "C", "D"}) archiver.AddFormat(name, name, name);
    EXPECT_EQ(3, archiver.formatCount);
    for (const StrBuf* slots : {archiver.labels, archiver.extensions, archiver.compressTemplates})
        EXPECT_EQ("ABC", std::string(slots[0].text()) + slots[1].text() + slots[2].text());
}

}  // namespace
}  // namespace archiver_tests
