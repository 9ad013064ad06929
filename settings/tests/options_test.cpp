// The [Option] store against real INI files of each test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "settings/Options.h"
#include "tests/support/ScriptedPerson.h"
#include "tests/support/TestFiles.h"

using testing_support::PersonCall;
using testing_support::ScriptedPerson;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

const char kInvalidFolderCaption[] = "不正なフォルダー";
const char kInvalidMelt[] = "解凍先の指定が不正です。この設定は保存されません。";
const char kInvalidComp[] = "圧縮先の指定が不正です。この設定は保存されません。";

// Each test starts from the built-in defaults in memory and a file of its own.
class OptionStore : public ::testing::Test {
protected:
    void SetUp() override { Options = OptionValues(); }

    std::string readRaw(const char* key) const {
        char buffer[1024] = {};
        GetPrivateProfileStringA("Option", key, "<missing>", buffer, sizeof buffer,
                                 ini.c_str());
        return buffer;
    }
    std::string fileText() const {
        std::string text;
        testing_support::ReadTextFile(ini, text);
        return text;
    }

    TempDir dir;
    std::string ini = dir / "Zibrak.ini";
    ScriptedPerson person;
};

TEST_F(OptionStore, MissingFileGivesTheDefaults) {
    Options.LzhType = 7;
    Options.MeltPath.assign("left over");
    LoadOptions(ini.c_str());

    EXPECT_EQ(0, Options.MeltDirType);
    EXPECT_EQ(0, Options.CompDirType);
    EXPECT_EQ(0, Options.CompType);
    EXPECT_EQ(1, Options.LzhType);
    EXPECT_EQ(0, Options.CabType);
    EXPECT_EQ(10, Options.CompWarnSize);
    EXPECT_STREQ("", Options.MeltPath.text());
    EXPECT_STREQ("", Options.CompPath.text());
    EXPECT_TRUE(Options.MeltForAllArc && Options.MeltMakeDir && Options.MeltOpenDir &&
                Options.CompOpenDir && Options.CompWarn && Options.NoIcon);
    EXPECT_FALSE(Options.ZipCrypt || Options.MakeSFX || Options.MeltOverWrite ||
                 Options.CompOverWrite || Options.SendTo);
    EXPECT_FALSE(Options.AssoLzh || Options.AssoZip || Options.AssoCab || Options.AssoTar ||
                 Options.AssoGzip || Options.AssoZ || Options.AssoBz2 || Options.AssoRar ||
                 Options.AssoArj || Options.AssoTaz || Options.AssoTgz || Options.AssoTbz);
    EXPECT_EQ(0, LastMeltDirChoice);
    EXPECT_EQ(0, LastCompDirChoice);
}

// Every field away from its default: the file names each key, in the order written, with
// its value; loading it and saving again gives the same file.
TEST_F(OptionStore, EveryKeyIsWrittenInOrderAndReadBack) {
    const std::string meltDir = dir / "解凍先";
    const std::string compDir = dir / "表";
    ASSERT_TRUE(testing_support::MakeDir(meltDir));
    ASSERT_TRUE(testing_support::MakeDir(compDir));

    OptionValues& o = Options;
    o.MeltDirType = 3;
    o.CompDirType = 3;
    o.MeltPath.assign((meltDir + "\\").c_str());
    o.CompPath.assign(compDir.c_str());
    o.CompType = 4;
    o.LzhType = 2;
    o.ZipCrypt = true;
    o.CabType = 1;
    o.MakeSFX = true;
    o.MeltForAllArc = false;
    o.MeltMakeDir = false;
    o.MeltOverWrite = true;
    o.CompOverWrite = true;
    o.MeltOpenDir = false;
    o.CompOpenDir = false;
    o.CompWarn = false;
    o.CompWarnSize = 100;
    o.AssoLzh = o.AssoZip = o.AssoCab = o.AssoTar = o.AssoGzip = o.AssoZ = o.AssoBz2 =
        o.AssoRar = o.AssoArj = o.AssoTaz = o.AssoTgz = o.AssoTbz = true;
    o.NoIcon = false;
    o.SendTo = true;

    SaveOptions(ini.c_str());
    EXPECT_TRUE(person.calls.empty());
    const std::string written = fileText();
    EXPECT_EQ("[Option]\r\nMeltDirType=3\r\nMeltPath=" + meltDir + "\\\r\nCompDirType=3\r\n"
              "CompPath=" + compDir + "\r\nCompType=4\r\nLzhType=2\r\nZipCrypt=1\r\n"
              "CabType=1\r\nMakeSFX=1\r\nSendTo=1\r\nMeltForAllArc=0\r\nMeltMakeDir=0\r\n"
              "MeltOpenDir=0\r\nCompOpenDir=0\r\nMeltOverWrite=1\r\nCompOverWrite=1\r\n"
              "CompWarn=0\r\nCompWarnSize=100\r\nAssoLzh=1\r\nAssoZip=1\r\nAssoCab=1\r\n"
              "AssoTar=1\r\nAssoGZip=1\r\nAssoZ=1\r\nAssoBz2=1\r\nAssoRar=1\r\nAssoArj=1\r\n"
              "AssoTaz=1\r\nAssoTgz=1\r\nAssoTbz=1\r\nNoIcon=0\r\n",
              written);

    Options = OptionValues();
    LoadOptions(ini.c_str());
    testing_support::RemoveTree(ini);
    SaveOptions(ini.c_str());
    EXPECT_EQ(written, fileText());
}

TEST_F(OptionStore, CombinedExtensionsAreDerivedFromTheirParts) {
    struct Row {
        bool tar, z, gzip, bz2, ownFields;
        const char *taz, *tgz, *tbz;
    };
    const Row rows[] = {
        {true, false, false, false, false, "1", "1", "1"},
        {false, true, false, false, false, "1", "0", "0"},
        {false, false, true, false, false, "0", "1", "0"},
        {false, false, false, true, false, "0", "0", "1"},
        {false, false, false, false, true, "0", "0", "0"},
    };
    for (const Row& row : rows) {
        Options.AssoTar = row.tar;
        Options.AssoZ = row.z;
        Options.AssoGzip = row.gzip;
        Options.AssoBz2 = row.bz2;
        Options.AssoTaz = Options.AssoTgz = Options.AssoTbz = row.ownFields;
        SaveOptions(ini.c_str());
        SCOPED_TRACE(testing::Message() << "tar " << row.tar << " z " << row.z << " gzip "
                                        << row.gzip << " bz2 " << row.bz2);
        EXPECT_EQ(row.taz, readRaw("AssoTaz"));
        EXPECT_EQ(row.tgz, readRaw("AssoTgz"));
        EXPECT_EQ(row.tbz, readRaw("AssoTbz"));
        EXPECT_EQ(row.ownFields, Options.AssoTaz);  // the fields themselves are untouched
    }
}

TEST_F(OptionStore, RefusedFoldersKeepTheirOldKeysAndAreAnnouncedExtractionFirst) {
    const std::string plainFile = dir / "file.txt";
    ASSERT_TRUE(WriteTextFile(plainFile, "x"));
    const std::string refused[] = {plainFile, dir / "nothing", ""};

    for (const std::string& path : refused) {
        SCOPED_TRACE("folder \"" + path + "\"");
        ASSERT_TRUE(WriteTextFile(ini, "[Option]\r\nMeltDirType=1\r\nMeltPath=C:\\old melt\r\n"
                                       "CompDirType=2\r\nCompPath=C:\\old comp\r\n"
                                       "CompType=0\r\nNoIcon=1\r\n"));
        person.calls.clear();
        Options.MeltDirType = 3;
        Options.CompDirType = 3;
        Options.MeltPath.assign(path.c_str());
        Options.CompPath.assign(path.c_str());
        Options.CompType = 2;
        Options.NoIcon = false;

        SaveOptions(ini.c_str());

        const auto messages = person.callsOf(PersonCall::Message);
        ASSERT_EQ(2u, messages.size());
        EXPECT_EQ(kInvalidMelt, messages[0].text);
        EXPECT_EQ(kInvalidComp, messages[1].text);
        for (const PersonCall& call : messages) {
            EXPECT_EQ(kInvalidFolderCaption, call.caption);
            EXPECT_EQ(static_cast<UINT>(MB_OK), call.flags);
            EXPECT_EQ(nullptr, call.owner);
        }
        EXPECT_EQ("1", readRaw("MeltDirType"));
        EXPECT_EQ("C:\\old melt", readRaw("MeltPath"));
        EXPECT_EQ("2", readRaw("CompDirType"));
        EXPECT_EQ("C:\\old comp", readRaw("CompPath"));
        EXPECT_EQ("2", readRaw("CompType"));
        EXPECT_EQ("0", readRaw("NoIcon"));
        EXPECT_EQ(3, Options.MeltDirType);
        EXPECT_STREQ(path.c_str(), Options.MeltPath.text());
    }
}

TEST_F(OptionStore, OnlyTheRefusedDestinationIsAnnounced) {
    Options.MeltDirType = 3;
    Options.MeltPath.assign(dir.path().c_str());
    Options.CompDirType = 3;
    Options.CompPath.assign((dir / "missing").c_str());
    SaveOptions(ini.c_str());

    const auto messages = person.callsOf(PersonCall::Message);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(kInvalidComp, messages[0].text);
    EXPECT_EQ("3", readRaw("MeltDirType"));
    EXPECT_EQ(dir.path(), readRaw("MeltPath"));
    EXPECT_EQ("<missing>", readRaw("CompDirType"));
}

TEST_F(OptionStore, DestinationBelowThreeLeavesThePathInTheFile) {
    ASSERT_TRUE(WriteTextFile(ini, "[Option]\r\nMeltPath=C:\\keep\r\nCompPath=C:\\keep too\r\n"));
    Options.MeltDirType = 0;
    Options.CompDirType = 2;
    Options.MeltPath.assign("D:\\other");
    Options.CompPath.assign("");
    SaveOptions(ini.c_str());

    EXPECT_TRUE(person.calls.empty());
    EXPECT_EQ("0", readRaw("MeltDirType"));
    EXPECT_EQ("2", readRaw("CompDirType"));
    EXPECT_EQ("C:\\keep", readRaw("MeltPath"));
    EXPECT_EQ("C:\\keep too", readRaw("CompPath"));
}

TEST_F(OptionStore, LongPathIsReadAsItsFirst259Bytes) {
    const std::string longPath = "C:\\" + std::string(297, 'a');
    ASSERT_EQ(300u, longPath.size());
    ASSERT_TRUE(WriteTextFile(ini, "[Option]\r\nMeltPath=" + longPath + "\r\n"));
    LoadOptions(ini.c_str());
    EXPECT_EQ(longPath.substr(0, 259), Options.MeltPath.text());
}

TEST_F(OptionStore, NegativeValuesAreWrittenWithAMinus) {
    WriteIntSetting("Option", "Plain", -42, ini.c_str());
    WriteIntSetting("Option", "Lowest", INT32_MIN, ini.c_str());
    EXPECT_EQ("-42", readRaw("Plain"));
    EXPECT_EQ("-2147483648", readRaw("Lowest"));

    // Out-of-range values are taken as they are, both ways.
    Options.CompWarnSize = -5;
    Options.MeltDirType = -1;
    Options.CompType = 9;
    SaveOptions(ini.c_str());
    EXPECT_EQ("-5", readRaw("CompWarnSize"));
    Options = OptionValues();
    LoadOptions(ini.c_str());
    EXPECT_EQ(-5, Options.CompWarnSize);
    EXPECT_EQ(-1, Options.MeltDirType);
    EXPECT_EQ(9, Options.CompType);
}

TEST_F(OptionStore, LoadTakesTheAssociationsAndDestinationChoices) {
    ASSERT_TRUE(WriteTextFile(ini, "[Option]\r\nMeltDirType=2\r\nCompDirType=1\r\n"
                                   "AssoLzh=1\r\nAssoBz2=1\r\nAssoTbz=1\r\nNoIcon=0\r\n"));
    LoadOptions(ini.c_str());

    EXPECT_EQ(2, LastMeltDirChoice);
    EXPECT_EQ(1, LastCompDirChoice);
    const AssociationFlags& a = LoadedAssociations;
    EXPECT_TRUE(a.AssoLzh);
    EXPECT_TRUE(a.AssoBz2);
    EXPECT_TRUE(a.AssoTbz);
    EXPECT_FALSE(a.NoIcon);
    EXPECT_FALSE(a.AssoZip || a.AssoCab || a.AssoTar || a.AssoGzip || a.AssoZ || a.AssoRar ||
                 a.AssoArj || a.AssoTaz || a.AssoTgz);

    // Later edits and saves leave the loaded copy alone.
    Options.AssoLzh = false;
    Options.NoIcon = true;
    SaveOptions(ini.c_str());
    EXPECT_TRUE(LoadedAssociations.AssoLzh);
    EXPECT_FALSE(LoadedAssociations.NoIcon);
}

}  // namespace
