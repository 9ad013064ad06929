// Hostile settings and DLLs: archiver DLLs that load but lack exports or are no DLL at all,
// Zibrak.ini with garbage, huge numbers and a 10 MB line, and an association key that
// cannot be opened.
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include "archivers/Chain.h"
#include "settings/Options.h"
#include "shell/Associations.h"
#include "shell/tests/ShellTestHelpers.h"
#include "tests/robustness/RobustFixture.h"

namespace robustness {
namespace {

using testing_support::FileExists;
using testing_support::MakeDir;

class Hostile : public RobustTest {
protected:
    void SetUp() override {
        RobustTest::SetUp();
        out = work / "out";
        ASSERT_TRUE(MakeDir(out));
        Options.MeltDirType = 3;
        Options.MeltPath.assign((out + "\\").c_str());
        Options.CompDirType = 3;
        Options.CompPath.assign((out + "\\").c_str());
    }
    std::string out;
};

struct DllRow {
    const char* what;
    const char* variant;  // the Unlha32.dll in the chain: a stand-in variant, or "text"
    const char* given;    // "notes.txt" or "notes.lzh" (packed by the full stand-in)
    bool oldArchive;      // an old out\notes.lzh, replaced without a question
    bool result;          // RunJob's result; false opens the settings window
    const char* landed;   // what out holds afterwards
    const char* asked;
};

const DllRow kDllRows[] = {
    // Offers nothing without its command export: the user hears that packing failed, and
    // the old archive is not touched.
    {"no command export, a file to pack", "variants\\nocommand", "notes.txt", true, false,
     "notes.lzh;", "圧縮失敗"},
    // Nor does it claim an archive it could not extract; packing it fails the same way.
    {"no command export, an archive", "variants\\nocommand", "notes.lzh", false, false, "",
     "圧縮失敗"},
    // No archive test: an LZH is no archive for it, so it is packed into a new one.
    {"no archive test, an archive", "variants\\nocheck", "notes.lzh", false, true, "notes.lzh;",
     ""},
    {"no version export, an archive", "variants\\noversion", "notes.lzh", false, true,
     "notes\\notes.txt;", ""},
    // A text file named Unlha32.dll does not load: LZH is simply not offered.
    {"not a DLL at all", "text", "notes.txt", true, false, "notes.lzh;", "圧縮失敗"},
};

TEST_F(Hostile, ArchiverDllsThatLoadButLackExports) {
    LoadArchivers();
    const std::string lzh = Pack("LH5(lzh)", "notes");
    const std::string txt = Write("notes.txt", "notes");
    Options.CompOverWrite = true;
    for (const DllRow& row : kDllRows) {
        SCOPED_TRACE(row.what);
        LoadArchivers({});  // the old chain goes before its DLLs are replaced
        testing_support::TempDir dlls;
        if (std::string(row.variant) == "text") {
            ASSERT_TRUE(testing_support::WriteTextFile(dlls / "Unlha32.dll", "not a DLL"));
        } else {
            ASSERT_TRUE(CopyFileA((testing_support::StandinDir() + "\\" + row.variant +
                                   "\\Unlha32.dll").c_str(),
                                  (dlls / "Unlha32.dll").c_str(), FALSE));
        }
        SetDllDirectoryA(dlls.path().c_str());
        DestroyArchiverChain();
        ArchiverChain = nullptr;
        BuildArchiverChain();
        if (row.oldArchive) testing_support::WriteTextFile(out + "\\notes.lzh", "old archive");
        hooked.calls.clear();

        EXPECT_EQ(row.result, Enter(Entry::CommandLine, {work / row.given}));

        EXPECT_EQ(row.landed, Tree(out));
        EXPECT_EQ(row.asked, Asked());
        if (row.oldArchive) EXPECT_EQ("old archive", job_tests::Read(out + "\\notes.lzh"));
        EXPECT_TRUE(FileExists(lzh) && FileExists(txt));
        DestroyArchiverChain();
        ArchiverChain = nullptr;
        SetDllDirectoryA(nullptr);
        testing_support::RemoveTree(out);
        ASSERT_TRUE(MakeDir(out));
    }
}

struct IniRow {
    const char* what;
    std::string lines;       // the [Option] section's body
    int32_t compWarnSize;    // as loaded
    int32_t compType;        // as loaded
    size_t meltPathLength;   // as loaded
    const char* landed;      // what out holds after packing notes.txt
    const char* asked;
};

const std::string kTenMegabytes = Repeat("x", 10 << 20);

const IniRow kIniRows[] = {
    // Text where a number belongs reads as 0: LZH, and no size warning.
    {"garbage values", "CompType=zip\r\nCompWarnSize=ten\r\nCompWarn=yes\r\n", 0, 0, 0,
     "notes.lzh;", ""},
    // Every non-empty file is over a negative limit; No is the default answer.
    {"a negative size limit", "CompWarnSize=-5\r\nCompWarn=1\r\n", -5, 0, 0, "", "確認"},
    // 4096 MiB does not wrap to nothing in the 64-bit count.
    {"a huge size limit", "CompWarnSize=4096\r\nCompWarn=1\r\n", 4096, 0, 0, "notes.lzh;", ""},
    {"the largest size limit", "CompWarnSize=2147483647\r\nCompWarn=1\r\n", 2147483647, 0, 0,
     "notes.lzh;", ""},
    {"a type beyond the formats", "CompType=99999999\r\nCompWarn=0\r\n", 10, 99999999, 0,
     "notes.lzh;", ""},
    {"a 10 MB line between keys",
     "CompWarn=0\r\nJunk=" + kTenMegabytes + "\r\nCompType=1\r\n", 10, 1, 0, "notes.zip;", ""},
    {"a 10 MB folder", "CompWarn=0\r\nMeltPath=" + kTenMegabytes + "\r\n", 10, 0, 259,
     "notes.lzh;", ""},
};

TEST_F(Hostile, SettingsFileWithGarbageHugeNumbersAndLongLines) {
    LoadArchivers();
    const std::string txt = Write("notes.txt", "notes");
    const std::string ini = work / "hostile.ini";
    for (const IniRow& row : kIniRows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(testing_support::WriteTextFile(
            ini, "[Option]\r\nCompDirType=3\r\nCompPath=" + out + "\\\r\n" + row.lines));
        hooked.calls.clear();

        LoadOptions(ini.c_str());
        EXPECT_EQ(row.compType, Options.CompType);
        EXPECT_EQ(row.compWarnSize, Options.CompWarnSize);
        EXPECT_EQ(row.meltPathLength, static_cast<size_t>(Options.MeltPath.length()));
        Options.CompOpenDir = false;
        Enter(Entry::CommandLine, {txt});

        EXPECT_EQ(row.landed, Tree(out));
        EXPECT_EQ(row.asked, Asked());
        EXPECT_TRUE(FileExists(txt));
        testing_support::RemoveTree(out);
        ASSERT_TRUE(MakeDir(out));
    }
}

// A key that refuses to be read or written by anyone while the object lives.
class LockedClassKey {
public:
    explicit LockedClassKey(const std::string& path) : path_("CLASSES_ROOT\\" + path) {
        EXPLICIT_ACCESS_A deny = {};
        deny.grfAccessPermissions = KEY_ALL_ACCESS;
        deny.grfAccessMode = DENY_ACCESS;
        deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        deny.Trustee.ptstrName = const_cast<char*>("EVERYONE");
        PACL acl = nullptr;
        if (SetEntriesInAclA(1, &deny, nullptr, &acl) != ERROR_SUCCESS) return;
        locked_ = SetNamedSecurityInfoA(&path_[0], SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
        LocalFree(acl);
    }
    ~LockedClassKey() {
        SetNamedSecurityInfoA(&path_[0], SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr);
    }
    bool locked() const { return locked_; }

private:
    std::string path_;
    bool locked_ = false;
};

// .lzh's key cannot be opened: its owner is neither recorded nor replaced, and the other
// extensions are taken over and given back as usual.
TEST_F(Hostile, AssociationKeyThatCannotBeOpened) {
    using shell_tests::ReadIni;
    using shell_tests::ReadString;
    const shell_tests::ExtensionGuard lzhGuard(".lzh");
    const shell_tests::ExtensionGuard zipGuard(".zip");
    shell_tests::WriteString(HKEY_CLASSES_ROOT, ".lzh", nullptr, "OtherLzhFile");
    shell_tests::WriteString(HKEY_CLASSES_ROOT, ".zip", nullptr, "OtherZipFile");
    const std::string ini = work / "asso.ini";
    {
        const LockedClassKey lock(".lzh");
        ASSERT_TRUE(lock.locked());
        HKEY probe = nullptr;
        ASSERT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, ".lzh", 0, KEY_QUERY_VALUE,
                                               &probe))
            << "the lock does not refuse";

        for (const char* extension : {".lzh", ".zip"}) SaveOriginalAssociation(extension, ini.c_str());
        Options.AssoLzh = Options.AssoZip = true;
        LoadedAssociations = {};
        LoadedAssociations.NoIcon = Options.NoIcon;  // only the two extensions change
        UpdateAssociations(ini.c_str());
    }
    EXPECT_EQ(shell_tests::kNoValue, ReadIni(ini, "OrigAsso", "lzh"));
    EXPECT_EQ("OtherZipFile", ReadIni(ini, "OrigAsso", "zip"));
    EXPECT_EQ("OtherLzhFile", ReadString(HKEY_CLASSES_ROOT, ".lzh"));
    EXPECT_EQ("Zibrakzip", ReadString(HKEY_CLASSES_ROOT, ".zip"));

    // Given back: .zip returns to its recorded owner, .lzh was never Zibrak's.
    LoadedAssociations.AssoLzh = LoadedAssociations.AssoZip = true;
    Options.AssoLzh = Options.AssoZip = false;
    UpdateAssociations(ini.c_str());
    EXPECT_EQ("OtherLzhFile", ReadString(HKEY_CLASSES_ROOT, ".lzh"));
    EXPECT_EQ("OtherZipFile", ReadString(HKEY_CLASSES_ROOT, ".zip"));
}

}  // namespace
}  // namespace robustness
