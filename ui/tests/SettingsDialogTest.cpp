// The settings window driven through its own messages: what it shows from Options, what
// its buttons change, and what every way of closing it leaves behind.
#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archivers/Chain.h"
#include "jobs/Jobs.h"
#include "shell/SpecialDirs.h"
#include "tests/support/TestFiles.h"
#include "ui/SettingsDialog.h"
#include "ui/WarnSize.h"
#include "ui/tests/DialogFixture.h"

namespace ui_tests {
namespace {

using testing_support::FileExists;
using testing_support::PersonCall;

using InitialState = DialogTest;

TEST_F(InitialState, ShowsEveryFieldOfOptions) {
    Options.MeltDirType = 1;
    Options.CompDirType = 3;
    Options.CompType = 2;
    Options.LzhType = 2;
    Options.CabType = 1;
    Options.ZipCrypt = true;
    Options.MakeSFX = true;
    Options.MeltForAllArc = false;
    Options.MeltOverWrite = true;
    Options.CompOpenDir = false;
    Options.CompWarnSize = 25;
    Options.MeltPath.assign("C:\\解凍\\");
    Options.CompPath.assign("D:\\Packed\\");
    Options.NoIcon = false;
    Options.SendTo = true;
    Open();

    using Ids = std::vector<int>;
    EXPECT_EQ(Ids{1006}, CheckedOf({1005, 1006, 1007, 1008}));
    EXPECT_EQ(Ids{1003}, CheckedOf({1000, 1001, 1002, 1003}));
    EXPECT_EQ(Ids{1027}, CheckedOf({1016, 1022, 1027, 1030, 1032}));
    EXPECT_EQ(Ids{1019}, CheckedOf({1017, 1018, 1019}));
    EXPECT_EQ(Ids{1029}, CheckedOf({1028, 1029}));
    EXPECT_EQ((Ids{1023, 1031, 1011, 1012, 1013, 1015, 1042}),
              CheckedOf({1023, 1031, 1010, 1011, 1012, 1020, 1013, 1021, 1015, 1041, 1042}));
    EXPECT_EQ("25", Text(1025));

    // The path boxes show their folders; only the side of type 3 can be used.
    EXPECT_EQ("C:\\解凍\\", Text(1009));
    EXPECT_EQ("D:\\Packed\\", Text(1004));
    EXPECT_FALSE(Enabled(1009));
    EXPECT_TRUE(Enabled(1004));

    int lower = -1, upper = -1;
    SendDlgItemMessageA(window, 1026, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lower),
                        reinterpret_cast<LPARAM>(&upper));
    EXPECT_EQ(0, lower);
    EXPECT_EQ(32767, upper);
}

TEST_F(InitialState, OutOfRangeValuesCheckNothingAndSurviveClosing) {
    Options.MeltDirType = 7;
    Options.CompDirType = -1;
    Options.CompType = 5;
    Options.LzhType = 3;
    Options.CabType = 2;
    Open();

    EXPECT_TRUE(CheckedOf({1005, 1006, 1007, 1008, 1000, 1001, 1002, 1003, 1016, 1022, 1027, 1030,
                           1032, 1017, 1018, 1019, 1028, 1029})
                    .empty());
    EXPECT_FALSE(Enabled(1009));
    EXPECT_FALSE(Enabled(1004));
    Close(IDCANCEL);
    EXPECT_EQ(7, Options.MeltDirType);
    EXPECT_EQ(-1, Options.CompDirType);
    EXPECT_EQ(5, Options.CompType);
    EXPECT_EQ(3, Options.LzhType);
    EXPECT_EQ(2, Options.CabType);
}

TEST_F(InitialState, FormatRadiosFollowTheirDllsAndKeepTheirCheck) {
    Tar32Loaded = false;
    Cab32Loaded = false;
    Options.CompType = 4;
    Open();
    for (int id : {1016, 1022}) EXPECT_TRUE(Enabled(id)) << id;
    for (int id : {1027, 1030, 1032}) EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Checked(1032));
    Close(IDCANCEL);
    EXPECT_EQ(4, Options.CompType);
}

// --- format sub-options --------------------------------------------------------------

struct FormatCase {
    int formatRadio;
    bool unlha, zip32j, cab, zcrypt;
    bool lzhMethods, password, cabMethods;  // enabled afterwards
};

const FormatCase kFormatCases[] = {
    {1016, true, true, true, true, true, false, false},
    {1016, false, true, true, true, false, false, false},
    {1022, true, true, true, true, false, true, false},
    {1022, true, true, true, false, false, false, false},
    {1022, true, false, true, true, false, false, false},
    {1027, true, true, true, true, false, false, true},
    {1027, true, true, false, true, false, false, false},
    {1030, true, true, true, true, false, false, false},
    {1032, true, true, true, true, false, false, false},
};

using FormatControls = DialogTest;

TEST_F(FormatControls, EnableOnlyTheSubOptionsOfTheCheckedFormatAndItsDlls) {
    Open();
    for (const FormatCase& c : kFormatCases) {
        SCOPED_TRACE(testing::Message() << "format " << c.formatRadio << " dlls " << c.unlha
                                        << c.zip32j << c.cab << c.zcrypt);
        Unlha32Loaded = c.unlha;
        Zip32jLoaded = c.zip32j;
        Cab32Loaded = c.cab;
        Zcrypt32Present = c.zcrypt;
        for (int id : {1016, 1022, 1027, 1030, 1032}) {
            CheckDlgButton(window, id, id == c.formatRadio ? BST_CHECKED : BST_UNCHECKED);
        }
        UpdateFormatControls(window);
        EXPECT_EQ(c.lzhMethods, Enabled(1017));
        EXPECT_EQ(c.lzhMethods, Enabled(1018));
        EXPECT_EQ(c.lzhMethods, Enabled(1019));
        EXPECT_EQ(c.password, Enabled(1023));
        EXPECT_EQ(c.cabMethods, Enabled(1028));
        EXPECT_EQ(c.cabMethods, Enabled(1029));
    }
}

TEST_F(FormatControls, ClickingAFormatUpdatesAndADisabledPasswordBoxIsStillRead) {
    Zcrypt32Present = false;
    Options.ZipCrypt = true;
    Open();
    EXPECT_TRUE(Enabled(1018));  // LZH at start
    Click(1027);
    EXPECT_TRUE(Enabled(1028));
    EXPECT_FALSE(Enabled(1018));
    Click(1022);
    EXPECT_FALSE(Enabled(1023));
    EXPECT_FALSE(Enabled(1028));
    Close(IDCANCEL);
    EXPECT_EQ(1, Options.CompType);
    EXPECT_TRUE(Options.ZipCrypt);
}

// --- association buttons ------------------------------------------------------------

using Associations = DialogTest;

TEST_F(Associations, EachButtonTogglesItsFlagAndTwiceRestoresIt) {
    const struct {
        int id;
        bool OptionValues::*flag;
    } buttons[] = {{1014, &OptionValues::AssoLzh}, {1033, &OptionValues::AssoZip},
                   {1034, &OptionValues::AssoCab}, {1035, &OptionValues::AssoTar},
                   {1039, &OptionValues::AssoGzip}, {1040, &OptionValues::AssoZ},
                   {1036, &OptionValues::AssoBz2}, {1037, &OptionValues::AssoRar},
                   {1038, &OptionValues::AssoArj}};
    Options.AssoCab = true;
    Options.AssoRar = true;
    Open();
    for (const auto& button : buttons) {
        SCOPED_TRACE(button.id);
        const bool before = Options.*button.flag;
        EXPECT_EQ(before, Checked(button.id));
        Click(button.id);
        EXPECT_EQ(!before, Options.*button.flag);
        EXPECT_EQ(!before, Checked(button.id));
        Click(button.id);
        EXPECT_EQ(before, Options.*button.flag);
        EXPECT_EQ(before, Checked(button.id));
    }
}

TEST_F(Associations, CombinedExtensionsFollowTheirButtonOnlyWithTarOn) {
    Options.AssoTar = true;
    Open();
    Click(1039);  // GZIP on with TAR on
    EXPECT_TRUE(Options.AssoTgz);
    Click(1035);  // TAR off leaves .tgz alone
    EXPECT_FALSE(Options.AssoTar);
    EXPECT_TRUE(Options.AssoTgz);
    Click(1039);  // GZIP off clears .tgz even with TAR off
    EXPECT_FALSE(Options.AssoTgz);

    Click(1040);  // Z on with TAR off leaves .taz as it was
    EXPECT_TRUE(Options.AssoZ);
    EXPECT_FALSE(Options.AssoTaz);
    Options.AssoTaz = true;
    Click(1040);  // Z off clears it
    EXPECT_FALSE(Options.AssoTaz);

    Click(1035);  // TAR on again
    Click(1036);  // BZ2 on
    EXPECT_TRUE(Options.AssoTbz);
    EXPECT_FALSE(Options.AssoTaz);
    EXPECT_FALSE(Options.AssoTgz);
}

// --- the size warning's box ----------------------------------------------------------

TEST(WarnSizeText, ReadsLikeAtoiButClampsToTheIntRange) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"10", 10},
        {"  \t42MB", 42},
        {"+7", 7},
        {"-12", -12},
        {"", 0},
        {"MB", 0},
        {"- 5", 0},
        {"0032767", 32767},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value, ParseWarnSize(c.text)) << '"' << c.text << '"';
}

using WarnSizeBox = DialogTest;

TEST_F(WarnSizeBox, ANegativeSizeBecomesZeroAndAHugeNumberTheLargestInt) {
    Options.CompWarnSize = -5;
    Open();
    EXPECT_EQ("0", Text(1025));
    EXPECT_EQ(0, Options.CompWarnSize);
    Close(IDCANCEL);
    EXPECT_EQ(0, Options.CompWarnSize);

    Open();
    SetDlgItemTextA(window, 1025, "123456789012345678901234567890");
    Close(IDCANCEL);
    EXPECT_EQ(INT_MAX, Options.CompWarnSize);
}

// --- custom folders -----------------------------------------------------------------

using CustomFolder = DialogTest;

TEST_F(CustomFolder, AChosenFolderGetsOneTrailingSeparator) {
    const struct {
        const char* chosen;
        const char* shown;
    } cases[] = {
        {"C:\\Data", "C:\\Data\\"},
        {"C:\\", "C:\\"},
        // The last byte of 表 is 0x5C, which is not a separator.
        {"C:\\表", "C:\\表\\"},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        person.folderAnswers.push_back(c.chosen);
        Click(1008);
        EXPECT_EQ(c.shown, Text(1009));
        EXPECT_TRUE(Enabled(1009));
        EXPECT_EQ(std::vector<int>{1008}, CheckedOf({1005, 1006, 1007, 1008}));
        EXPECT_EQ(3, LastMeltDirChoice);
        Click(1005);  // back to the desktop for the next case
    }
    const auto browsed = person.callsOf(PersonCall::BrowseFolder);
    ASSERT_EQ(3u, browsed.size());
    EXPECT_EQ(window, browsed[0].owner);
    EXPECT_EQ("解凍先の指定", browsed[0].caption);
    EXPECT_EQ(3u, browsed[0].flags);
    Close(IDCANCEL);
    EXPECT_EQ(0, Options.MeltDirType);
    EXPECT_EQ("C:\\表\\", std::string(Options.MeltPath.text()));
}

TEST_F(CustomFolder, CancellingPutsBackTheLastConfirmedChoice) {
    Options.CompPath.assign("E:\\Old\\");
    Open();
    const std::initializer_list<int> radios = {1000, 1001, 1002, 1003};
    Click(1003);  // fresh start with CompDirType 0: back to the desktop
    EXPECT_EQ(std::vector<int>{1000}, CheckedOf(radios));
    EXPECT_EQ("E:\\Old\\", Text(1004));
    EXPECT_FALSE(Enabled(1004));
    EXPECT_EQ("圧縮先の指定", person.callsOf(PersonCall::BrowseFolder).at(0).caption);

    Click(1002);
    Click(1003);
    EXPECT_EQ(std::vector<int>{1002}, CheckedOf(radios));

    // Once a folder was taken, a cancelled browser keeps "other" and the path box.
    person.folderAnswers = {"F:\\Archives", ""};
    Click(1003);
    Click(1003);
    EXPECT_EQ(std::vector<int>{1003}, CheckedOf(radios));
    EXPECT_EQ("F:\\Archives\\", Text(1004));
    EXPECT_TRUE(Enabled(1004));
    Click(1001);  // the other radios never disable the box again
    EXPECT_TRUE(Enabled(1004));
    EXPECT_EQ(1, LastCompDirChoice);

    // A last choice outside 0..2 keeps "other" checked.
    LastCompDirChoice = 9;
    Click(1003);
    EXPECT_EQ(std::vector<int>{1003}, CheckedOf(radios));
}

// --- closing ------------------------------------------------------------------------

using Closing = DialogTest;

TEST_F(Closing, OnlyOkIsAcceptedAndEveryWayReadsTheWindow) {
    const struct {
        UINT message;
        WPARAM wParam;
        bool accepted;
    } ways[] = {
        {WM_COMMAND, IDOK, true},
        {WM_COMMAND, IDCANCEL, false},
        {WM_SYSCOMMAND, SC_CLOSE, false},
        {WM_SYSCOMMAND, SC_DEFAULT, false},
        // The notification code in the high word does not matter.
        {WM_COMMAND, MAKEWPARAM(IDOK, BN_DOUBLECLICKED), true},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(std::to_string(way.message) + " " + std::to_string(way.wParam));
        Options.MeltOverWrite = false;
        HWND seen = nullptr;
        const bool accepted = RunSettings([&](HWND dialog) {
            seen = dialog;
            CheckDlgButton(dialog, 1012, BST_CHECKED);
            SendMessageA(dialog, way.message, way.wParam, 0);
        });
        EXPECT_EQ(way.accepted, accepted);
        ASSERT_NE(nullptr, seen);
        EXPECT_FALSE(IsWindow(seen));
        EXPECT_EQ(nullptr, SettingsWindow);
        EXPECT_TRUE(Options.MeltOverWrite);
    }
}

TEST_F(Closing, MaximizeIsSwallowedAndOtherMessagesAreLeftToTheSystem) {
    bool stillOpen = false;
    bool zoomed = true;
    const bool accepted = RunSettings([&](HWND dialog) {
        SendMessageA(dialog, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        stillOpen = IsWindow(dialog) != FALSE;
        zoomed = IsZoomed(dialog) != FALSE;
        EXPECT_EQ(TRUE, SettingsDlgProc(dialog, WM_SYSCOMMAND, SC_MAXIMIZE, 0));
        EXPECT_EQ(FALSE, SettingsDlgProc(dialog, WM_SYSCOMMAND, SC_MINIMIZE, 0));
        EXPECT_EQ(FALSE, SettingsDlgProc(dialog, WM_COMMAND, 4242, 0));
        EXPECT_EQ(TRUE, SettingsDlgProc(dialog, WM_COMMAND, 1016, 0));
        EXPECT_EQ(FALSE, SettingsDlgProc(dialog, WM_SIZE, 0, 0));
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }, SW_SHOWNORMAL);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(zoomed);
    EXPECT_FALSE(accepted);
}

TEST_F(Closing, HelpAndBothInformationButtonsOpenTheReadme) {
    Open();
    char folder[MAX_PATH] = "";
    ASSERT_TRUE(GetSpecialDir(folder, DIR_MODULE, nullptr));
    for (int id : {1046, 1047, 1048}) Click(id);
    const auto opened = person.callsOf(PersonCall::OpenDocument);
    ASSERT_EQ(3u, opened.size());
    for (const PersonCall& call : opened) {
        EXPECT_EQ(std::string(folder) + "\\readme.txt", call.text);
    }
    EXPECT_TRUE(IsWindow(window));
}

// --- the Send To shortcut -----------------------------------------------------------

using SendToShortcut = DialogTest;

TEST_F(SendToShortcut, IsMadeByCancelWhenCheckedAndRemovedWhenNot) {
    char folder[MAX_PATH] = "";
    ASSERT_TRUE(GetSpecialDir(folder, 9, nullptr));
    const std::string link = std::string(folder) + "\\Zibrak.lnk";
    DeleteFileA(link.c_str());

    Open();
    Click(1042);
    Close(IDCANCEL);
    EXPECT_TRUE(Options.SendTo);
    EXPECT_TRUE(FileExists(link));

    Open();
    EXPECT_TRUE(Checked(1042));
    Click(1042);
    Close(IDCANCEL);
    EXPECT_FALSE(Options.SendTo);
    EXPECT_FALSE(FileExists(link));
    DeleteFileA(link.c_str());
}

}  // namespace
}  // namespace ui_tests
