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

void ExpectSameValues(const OptionValues& want, const OptionValues& got) {
    EXPECT_EQ(want.MeltDirType, got.MeltDirType);
    EXPECT_EQ(want.CompDirType, got.CompDirType);
    EXPECT_EQ(want.CompType, got.CompType);
    EXPECT_EQ(want.LzhType, got.LzhType);
    EXPECT_EQ(want.ZipCrypt, got.ZipCrypt);
    EXPECT_EQ(want.CabType, got.CabType);
    EXPECT_EQ(want.MakeSFX, got.MakeSFX);
    EXPECT_EQ(want.MeltForAllArc, got.MeltForAllArc);
    EXPECT_EQ(want.MeltMakeDir, got.MeltMakeDir);
    EXPECT_EQ(want.MeltOverWrite, got.MeltOverWrite);
    EXPECT_EQ(want.CompOverWrite, got.CompOverWrite);
    EXPECT_EQ(want.MeltOpenDir, got.MeltOpenDir);
    EXPECT_EQ(want.CompOpenDir, got.CompOpenDir);
    EXPECT_STREQ(want.MeltPath.text(), got.MeltPath.text());
    EXPECT_STREQ(want.CompPath.text(), got.CompPath.text());
    EXPECT_EQ(want.CompWarn, got.CompWarn);
    EXPECT_EQ(want.CompWarnSize, got.CompWarnSize);
    EXPECT_EQ(want.AssoLzh, got.AssoLzh);
    EXPECT_EQ(want.AssoZip, got.AssoZip);
    EXPECT_EQ(want.AssoCab, got.AssoCab);
    EXPECT_EQ(want.AssoTar, got.AssoTar);
    EXPECT_EQ(want.AssoGzip, got.AssoGzip);
    EXPECT_EQ(want.AssoZ, got.AssoZ);
    EXPECT_EQ(want.AssoBz2, got.AssoBz2);
    EXPECT_EQ(want.AssoRar, got.AssoRar);
    EXPECT_EQ(want.AssoArj, got.AssoArj);
    EXPECT_EQ(want.AssoTaz, got.AssoTaz);
    EXPECT_EQ(want.AssoTgz, got.AssoTgz);
    EXPECT_EQ(want.AssoTbz, got.AssoTbz);
    EXPECT_EQ(want.NoIcon, got.NoIcon);
    EXPECT_EQ(want.SendTo, got.SendTo);
}

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

TEST_F(OptionStore, EveryKeyRoundTrips) {
    const std::string meltDir = dir / "解凍先";
    const std::string compDir = dir / "表";
    ASSERT_TRUE(testing_support::MakeDir(meltDir));
    ASSERT_TRUE(testing_support::MakeDir(compDir));

    // Every field away from its default; the combined extensions agree with their parts.
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
    const OptionValues saved = Options;

    SaveOptions(ini.c_str());
    EXPECT_TRUE(person.calls.empty());
    ExpectSameValues(saved, Options);  // saving changes nothing in memory

    Options = OptionValues();
    LoadOptions(ini.c_str());
    ExpectSameValues(saved, Options);
    EXPECT_EQ("100", readRaw("CompWarnSize"));
    EXPECT_EQ("4", readRaw("CompType"));
    EXPECT_EQ(meltDir + "\\", readRaw("MeltPath"));  // written unchanged
}

TEST_F(OptionStore, GzipFlagIsWrittenAsAssoGZip) {
    Options.AssoGzip = true;
    SaveOptions(ini.c_str());

    const std::string text = fileText();
    EXPECT_NE(std::string::npos, text.find("AssoGZip=1"));
    EXPECT_EQ(std::string::npos, text.find("AssoGzip"));

    Options = OptionValues();
    LoadOptions(ini.c_str());
    EXPECT_TRUE(Options.AssoGzip);
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
