// The pure choices of a job: the format label and its names, the destination kinds, and
// the folder texts built from entries and settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/Paths.h"
#include "jobs/Destinations.h"
#include "jobs/Formats.h"

namespace {

struct LabelRow {
    int compType, lzhType, cabType;
    bool zipCrypt, zcrypt32;
    const char* label;
    const char* extension;
};

const LabelRow kLabelRows[] = {
    {0, 0, 0, false, false, "LH0(lzh)", "lzh"},
    {0, 1, 0, false, false, "LH5(lzh)", "lzh"},
    {0, 2, 0, false, false, "LH7(lzh)", "lzh"},
    {0, 7, 0, false, false, "LH5(lzh)", "lzh"},
    {0, -1, 0, true, true, "LH5(lzh)", "lzh"},
    {5, 2, 1, false, false, "LH7(lzh)", "lzh"},    // unknown families are LZH
    {-1, 0, 1, false, false, "LH0(lzh)", "lzh"},
    {1, 1, 0, false, false, "ZIP_6(zip)", "zip"},
    {1, 1, 0, true, false, "ZIP_6(zip)", "zip"},   // no Zcrypt32.dll, no password
    {1, 1, 0, false, true, "ZIP_6(zip)", "zip"},
    {1, 1, 0, true, true, "ZIP_Cr(ZCr)", "zip"},   // ZCr still writes a .zip
    {2, 1, 0, false, false, "LZX_21(cab)", "cab"},
    {2, 1, 1, false, false, "MSZIP(cab)", "cab"},
    {2, 1, 2, false, false, "LZX_21(cab)", "cab"},
    {2, 1, -1, true, true, "LZX_21(cab)", "cab"},
    {3, 0, 1, true, true, "GZIP_6(tgz)", "tar.gz"},
    {4, 2, 1, true, true, "BZIP2_9(bz2)", "bz2"},
};

TEST(FormatChoice, LabelAndExtensionFollowTheSettings) {
    for (const LabelRow& row : kLabelRows) {
        SCOPED_TRACE(::testing::Message() << "CompType " << row.compType << " LzhType "
                                          << row.lzhType << " CabType " << row.cabType);
        const char* label = ChooseFormatLabel(row.compType, row.lzhType, row.cabType,
                                              row.zipCrypt, row.zcrypt32);
        EXPECT_STREQ(row.label, label);
        EXPECT_STREQ(row.extension, ArchiveExtension(label));
    }
    EXPECT_EQ(nullptr, ArchiveExtension("lh5(lzh)"));  // labels match case-sensitively
}

TEST(FormatChoice, SaveDialogOffersLzhOnlyForLzh) {
    const auto filterOf = [](int compType) {
        std::string joined;
        for (const char* p = SaveDialogFilter(compType); *p; p += std::strlen(p) + 1)
            joined += std::string(p) + "|";
        return joined;
    };
    EXPECT_EQ("LZH(*.lzh)|*.lzh|", filterOf(0));
    EXPECT_STREQ(".lzh", SaveDialogExtension(0));
    for (int compType : {1, 2, 3, 4, 5, -1}) {
        EXPECT_EQ("ZIP(*.zip)|*.zip|", filterOf(compType)) << compType;
        EXPECT_STREQ(".zip", SaveDialogExtension(compType)) << compType;
    }
}

TEST(DestinationChoice, EachSettingNamesItsFolderAndUnknownOnesTheDesktop) {
    const StrBuf fixed("D:\\fixed");
    const StrBuf desktop("C:\\Desk\\");
    const FolderChooser choose = [](std::string& folder) {
        folder = "E:\\chosen\\";
        return true;
    };
    const struct {
        int dirType;
        const char* folder;
    } rows[] = {{0, "C:\\Desk\\"},    {1, "C:\\dl\\"}, {2, "E:\\chosen\\"}, {3, "D:\\fixed\\"},
                {4, "C:\\Desk\\"},    {-1, "C:\\Desk\\"}};
    for (const auto& row : rows) {
        std::string folder;
        EXPECT_TRUE(DestinationFolder(row.dirType, "C:\\dl\\a.zip", fixed, desktop, choose, folder));
        EXPECT_EQ(row.folder, folder) << row.dirType;
    }
    std::string folder;
    EXPECT_FALSE(DestinationFolder(2, "C:\\dl\\a.zip", fixed, desktop,
                                   [](std::string&) { return false; }, folder));
}

TEST(DestinationChoice, FolderOfEntryEndsInOneSeparator) {
    EXPECT_EQ("C:\\dl\\", FolderOfEntry("C:\\dl\\data.zip"));
    EXPECT_EQ("C:\\v1.2\\", FolderOfEntry("C:\\v1.2\\README"));
    EXPECT_EQ("C:\\表\\", FolderOfEntry("C:\\表\\data.zip"));

    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_EQ(WithTrailingSeparator(current), FolderOfEntry("data.zip"));
}

}  // namespace
