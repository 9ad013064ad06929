// The ground every other test stands on: the Japanese code page and the real Win32 file,
// INI and COM services of the Wine prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"

using testing_support::TempDir;

TEST(Platform, RunsInTheJapaneseCodePage) {
    EXPECT_EQ(932u, GetACP());
    // A literal with a 0x5C trail byte comes out as Shift-JIS.
    const char* hyou = "表";
    ASSERT_EQ(2u, strlen(hyou));
    EXPECT_EQ(0x95, static_cast<unsigned char>(hyou[0]));
    EXPECT_EQ(0x5C, static_cast<unsigned char>(hyou[1]));
}

TEST(Platform, PrivateProfileRoundTripsShiftJisValues) {
    TempDir dir;
    std::string ini = dir / "round.ini";
    ASSERT_TRUE(WritePrivateProfileStringA("Option", "MeltPath", "C:\\表\\", ini.c_str()));
    char buf[260] = {};
    GetPrivateProfileStringA("option", "meltpath", "", buf, sizeof buf, ini.c_str());
    EXPECT_STREQ("C:\\表\\", buf);
}
