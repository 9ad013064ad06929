#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Handles.h"
#include "settings/Options.h"
#include "shell/Associations.h"
#include "shell/Registry.h"
#include "shell/tests/ShellTestHelpers.h"
#include "tests/support/TestFiles.h"

using namespace shell_tests;
using testing_support::TempDir;

namespace {

const HKEY kClasses = HKEY_CLASSES_ROOT;
// An extension no real software uses, for the cases that need no real one.
const char kTestExtension[] = ".zbtest";
const char kTestProgId[] = "Zibrakzbtest";

std::string OpenCommand() { return "\"" + ExecutablePath() + "\" \"%1\""; }
std::string OwnIcon() { return ExecutablePath() + ",0"; }

class AssociationTest : public ::testing::Test {
protected:
    TempDir dir;
    const std::string ini = dir / "Zibrak.ini";
};

}  // namespace

// The ProgID gets its command and an icon, and nothing else; the recorded icon is used
// only with NoIcon, and only when there is one.
TEST_F(AssociationTest, TakingOverZipWritesProgIdCommandAndIcon) {
    const ExtensionGuard guard(".zip");
    struct Case {
        bool noIcon;
        const char* recordedIcon;  // nullptr: no [OrigIcon] entry
        std::string icon;
    };
    const Case cases[] = {
        {false, nullptr, OwnIcon()},
        {true, nullptr, OwnIcon()},
        {false, "C:\\Other\\z.exe,1", OwnIcon()},
        {true, "C:\\Other\\z.exe,1", "C:\\Other\\z.exe,1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "noIcon " << c.noIcon << ", recorded "
                                        << (c.recordedIcon ? c.recordedIcon : "none"));
        if (c.recordedIcon) WriteIni(ini, "OrigIcon", "zip", c.recordedIcon);
        RegisterAssociation(".zip", true, c.noIcon, ini.c_str());

        EXPECT_EQ(ReadString(kClasses, ".zip"), "Zibrakzip");
        EXPECT_EQ(ReadString(kClasses, "Zibrakzip\\shell\\open\\command"), OpenCommand());
        EXPECT_EQ(ReadString(kClasses, "Zibrakzip\\DefaultIcon"), c.icon);
        EXPECT_EQ(ReadString(kClasses, "Zibrakzip"), kNoValue);
        EXPECT_EQ(SubkeyCount(kClasses, "Zibrakzip"), 2u);
    }
}

// Giving back restores the recorded ProgID and rewrites Zibrak's own, which stays. Other
// software keeps entries under the extension's key; taking over and giving back replace
// only the default value.
TEST_F(AssociationTest, GivingBackRestoresTheRecordAndKeepsForeignEntries) {
    const ExtensionGuard guard(kTestExtension);
    const std::string ext = kTestExtension;
    WriteString(kClasses, ext, nullptr, "ZbTestFile");
    WriteString(kClasses, ext, "Content Type", "application/x-zbtest");
    WriteString(kClasses, ext + "\\ShellNew", "NullFile", "");
    WriteString(kClasses, ext + "\\OpenWithProgids", "OtherApp.zbtest", "");
    WriteIni(ini, "OrigAsso", "zbtest", "ZbTestFile");

    RegisterAssociation(kTestExtension, true, false, ini.c_str());
    EXPECT_EQ(ReadString(kClasses, ext), kTestProgId);
    EXPECT_EQ(ReadString(kClasses, ext + "\\ShellNew", "NullFile"), "");
    EXPECT_EQ(ReadString(kClasses, ext + "\\OpenWithProgids", "OtherApp.zbtest"), "");

    RegisterAssociation(kTestExtension, false, true, ini.c_str());
    EXPECT_EQ(ReadString(kClasses, ext), "ZbTestFile");
    EXPECT_EQ(ReadString(kClasses, std::string(kTestProgId) + "\\shell\\open\\command"),
              OpenCommand());
    EXPECT_EQ(ReadString(kClasses, std::string(kTestProgId) + "\\DefaultIcon"), OwnIcon());
    EXPECT_EQ(ReadString(kClasses, ext, "Content Type"), "application/x-zbtest");
    EXPECT_EQ(ReadString(kClasses, ext + "\\ShellNew", "NullFile"), "");
    EXPECT_EQ(SubkeyCount(kClasses, ext), 2u);
}

// Without a record nothing says what to give back: another program's association stays,
// and only Zibrak's own claim is withdrawn.
TEST_F(AssociationTest, GiveBackWithoutRecordTouchesOnlyOwnClaim) {
    const ExtensionGuard guard(kTestExtension);
    const std::string ext = kTestExtension;

    WriteString(kClasses, ext, nullptr, "OtherApp.zbtest");
    RegisterAssociation(kTestExtension, false, true, ini.c_str());
    EXPECT_EQ(ReadString(kClasses, ext), "OtherApp.zbtest");

    // Only the claim in a key that holds nothing else: the key goes.
    WriteString(kClasses, ext, nullptr, kTestProgId);
    RegisterAssociation(kTestExtension, false, true, ini.c_str());
    EXPECT_FALSE(KeyExists(kClasses, ext));

    // With other contents the key stays, without a default value.
    WriteString(kClasses, ext, nullptr, "ZIBRAKZBTEST");
    WriteString(kClasses, ext + "\\ShellNew", "NullFile", "");
    RegisterAssociation(kTestExtension, false, true, ini.c_str());
    EXPECT_EQ(ReadString(kClasses, ext), kNoValue);
    EXPECT_EQ(ReadString(kClasses, ext + "\\ShellNew", "NullFile"), "");

    // An empty record is still a record: the extension had an empty association.
    WriteString(kClasses, ext, nullptr, kTestProgId);
    WriteIni(ini, "OrigAsso", "zbtest", "");
    RegisterAssociation(kTestExtension, false, true, ini.c_str());
    EXPECT_EQ(ReadString(kClasses, ext), "");
}

TEST_F(AssociationTest, SaveOriginalRecordsProgIdAndItsIcon) {
    const ExtensionGuard guard(kTestExtension);
    const std::string ext = kTestExtension;

    // No key, then a key without a default value: nothing is recorded.
    SaveOriginalAssociation(kTestExtension, ini.c_str());
    WriteString(kClasses, ext + "\\ShellNew", "NullFile", "");
    SaveOriginalAssociation(kTestExtension, ini.c_str());
    EXPECT_EQ(ReadIni(ini, "OrigAsso", "zbtest"), kNoValue);
    EXPECT_EQ(ReadIni(ini, "OrigIcon", "zbtest"), kNoValue);

    WriteString(kClasses, ext, nullptr, "ZbTestFile");
    WriteString(kClasses, "ZbTestFile\\DefaultIcon", nullptr, "C:\\Other\\t.exe,2");
    SaveOriginalAssociation(kTestExtension, ini.c_str());
    EXPECT_EQ(ReadIni(ini, "OrigAsso", "zbtest"), "ZbTestFile");
    EXPECT_EQ(ReadIni(ini, "OrigIcon", "zbtest"), "C:\\Other\\t.exe,2");
    DeleteTree(kClasses, "ZbTestFile");

    // A ProgID that fills the whole 260-byte buffer is recorded whole.
    const std::string longProgId(259, 'p');
    WriteString(kClasses, ext, nullptr, longProgId);
    SaveOriginalAssociation(kTestExtension, ini.c_str());
    EXPECT_EQ(ReadIni(ini, "OrigAsso", "zbtest"), longProgId);

    // Zibrak is never recorded as its own predecessor: while it owns the extension the
    // earlier record stays, and without one nothing is recorded.
    WriteIni(ini, "OrigIcon", "zbtest", "C:\\Other\\p.exe,0");
    RegisterAssociation(kTestExtension, true, false, ini.c_str());
    SaveOriginalAssociation(kTestExtension, ini.c_str());
    EXPECT_EQ(ReadIni(ini, "OrigAsso", "zbtest"), longProgId);
    EXPECT_EQ(ReadIni(ini, "OrigIcon", "zbtest"), "C:\\Other\\p.exe,0");

    const TempDir fresh;
    const std::string freshIni = fresh / "Zibrak.ini";
    WriteString(kClasses, ext, nullptr, "ZIBRAKZBTEST");
    SaveOriginalAssociation(kTestExtension, freshIni.c_str());
    EXPECT_EQ(ReadIni(freshIni, "OrigAsso", "zbtest"), kNoValue);
    EXPECT_EQ(ReadIni(freshIni, "OrigIcon", "zbtest"), kNoValue);

    // An install that ran before Zibrak knew better left its own ProgID as the record:
    // giving back withdraws the claim rather than bind the extension to Zibrak again.
    WriteIni(freshIni, "OrigAsso", "zbtest", kTestProgId);
    RegisterAssociation(kTestExtension, false, true, freshIni.c_str());
    EXPECT_EQ(ReadString(kClasses, ext), kNoValue);  // the key keeps its ShellNew entry
}

// Another program took the extension after Zibrak: neither a give-back nor a NoIcon
// change writes the old owner back, and the record stays as it was.
TEST_F(AssociationTest, NewerOwnerIsNeverOverwritten) {
    const ExtensionGuard guard(kTestExtension);
    const std::string ext = kTestExtension;
    WriteString(kClasses, ext, nullptr, "OldZbFile");
    SaveOriginalAssociation(kTestExtension, ini.c_str());
    RegisterAssociation(kTestExtension, true, false, ini.c_str());
    WriteString(kClasses, ext, nullptr, "NewerZbFile");

    for (const bool noIcon : {true, false}) {
        RegisterAssociation(kTestExtension, false, noIcon, ini.c_str());
        EXPECT_EQ(ReadString(kClasses, ext), "NewerZbFile");
        EXPECT_EQ(ReadIni(ini, "OrigAsso", "zbtest"), "OldZbFile");
    }

    // Still Zibrak's, in whatever letter case: given back to the record.
    WriteString(kClasses, ext, nullptr, "zibrakZBTEST");
    RegisterAssociation(kTestExtension, false, true, ini.c_str());
    EXPECT_EQ(ReadString(kClasses, ext), "OldZbFile");
}

namespace {

// The twelve real extensions, each pointing at "Before" + name, and the recorded
// associations "Orig" + name; Options and LoadedAssociations are put back afterwards.
class UpdateTest : public AssociationTest {
protected:
    UpdateTest() : savedOptions_(Options), savedLoaded_(LoadedAssociations) {
        for (const char* extension : kAssociationExtensions) {
            guards_.push_back(std::make_unique<ExtensionGuard>(extension));
            WriteString(kClasses, extension, nullptr, std::string("Before") + (extension + 1));
            WriteIni(ini, "OrigAsso", extension + 1, std::string("Orig") + (extension + 1));
        }
        Options = OptionValues();
        LoadedAssociations = {};
        LoadedAssociations.NoIcon = Options.NoIcon;
    }
    ~UpdateTest() override {
        Options = savedOptions_;
        LoadedAssociations = savedLoaded_;
    }

private:
    OptionValues savedOptions_;
    AssociationFlags savedLoaded_;
    std::vector<std::unique_ptr<ExtensionGuard>> guards_;
};

}  // namespace

TEST_F(UpdateTest, OnlyTheChangedExtensionIsRewritten) {
    Options.AssoTgz = true;
    Options.AssoZip = LoadedAssociations.AssoZip = true;  // chosen, but no change
    UpdateAssociations(ini.c_str());

    for (const char* extension : kAssociationExtensions) {
        const std::string name = extension + 1;
        if (name == "tgz") {
            EXPECT_EQ(ReadString(kClasses, extension), "Zibraktgz");
            EXPECT_TRUE(KeyExists(kClasses, "Zibraktgz\\shell\\open\\command"));
        } else {
            EXPECT_EQ(ReadString(kClasses, extension), "Before" + name) << extension;
            EXPECT_FALSE(KeyExists(kClasses, "Zibrak" + name)) << extension;
        }
    }
}

// Every ProgID gets the new icon; an extension that is not chosen is given back only
// while it is still Zibrak's (.zip here), never taken from its newer owner.
TEST_F(UpdateTest, ChangedNoIconRewritesAllTwelve) {
    Options.AssoLzh = LoadedAssociations.AssoLzh = true;
    WriteString(kClasses, ".zip", nullptr, "Zibrakzip");
    Options.NoIcon = false;
    LoadedAssociations.NoIcon = true;
    UpdateAssociations(ini.c_str());

    EXPECT_EQ(ReadString(kClasses, ".lzh"), "Zibraklzh");
    EXPECT_EQ(ReadString(kClasses, ".zip"), "Origzip");
    for (const char* extension : kAssociationExtensions) {
        const std::string name = extension + 1;
        if (name != "lzh" && name != "zip") {
            EXPECT_EQ(ReadString(kClasses, extension), "Before" + name);
        }
        EXPECT_EQ(ReadString(kClasses, "Zibrak" + name + "\\DefaultIcon"), OwnIcon()) << name;
    }
}

namespace {

const char kTreeRoot[] = "Software\\ZibrakTests\\Tree";

// A key that refuses to be opened or deleted, for as long as the object lives.
class LockedKey {
public:
    explicit LockedKey(const std::string& path) : path_(path) {
        EXPLICIT_ACCESS_A deny = {};
        deny.grfAccessPermissions = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE;
        deny.grfAccessMode = DENY_ACCESS;
        deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        deny.Trustee.ptstrName = const_cast<char*>("EVERYONE");
        PACL acl = nullptr;
        if (SetEntriesInAclA(1, &deny, nullptr, &acl) != ERROR_SUCCESS) return;
        locked_ = SetNamedSecurityInfoA(const_cast<char*>(("CURRENT_USER\\" + path_).c_str()),
                                        SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, acl, nullptr) == ERROR_SUCCESS;
        LocalFree(acl);
        // Only a lock that really refuses access makes the case.
        HKEY probe = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &probe) ==
            ERROR_SUCCESS) {
            RegCloseKey(probe);
            locked_ = false;
        }
    }
    ~LockedKey() {
        SetNamedSecurityInfoA(const_cast<char*>(("CURRENT_USER\\" + path_).c_str()),
                              SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              nullptr, nullptr);
    }
    bool locked() const { return locked_; }

private:
    std::string path_;
    bool locked_ = false;
};

class DeleteKeyTreeTest : public ::testing::Test {
protected:
    ~DeleteKeyTreeTest() override { DeleteTree(HKEY_CURRENT_USER, "Software\\ZibrakTests"); }

    RegKey openRoot() {
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, kTreeRoot, 0, KEY_ENUMERATE_SUB_KEYS, &key);
        return RegKey(key);
    }
};

}  // namespace

TEST_F(DeleteKeyTreeTest, RemovesNestedSubkeysAndKeepsTheKey) {
    const std::string root = kTreeRoot;
    WriteString(HKEY_CURRENT_USER, root, "Kept", "yes");
    WriteString(HKEY_CURRENT_USER, root + "\\A\\B\\C", "v", "1");
    WriteString(HKEY_CURRENT_USER, root + "\\A\\D", nullptr, "2");
    WriteString(HKEY_CURRENT_USER, root + "\\E", nullptr, "3");
    WriteString(HKEY_CURRENT_USER, root + "\\F\\G\\H\\I", nullptr, "4");

    const RegKey key = openRoot();
    ASSERT_TRUE(key);
    DeleteKeyTree(key.get());

    EXPECT_EQ(SubkeyCount(HKEY_CURRENT_USER, root), 0u);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, root, "Kept"), "yes");
}

// A subkey that can be neither opened nor deleted is stepped over, and the rest still goes.
TEST_F(DeleteKeyTreeTest, StepsOverSubkeyThatCannotBeRemoved) {
    const std::string root = kTreeRoot;
    WriteString(HKEY_CURRENT_USER, root + "\\A", nullptr, "1");
    WriteString(HKEY_CURRENT_USER, root + "\\B\\Inner", nullptr, "2");
    WriteString(HKEY_CURRENT_USER, root + "\\C\\Inner", nullptr, "3");
    const LockedKey lock(root + "\\B");
    // A failure, not a skip: without the lock the case would pass without testing anything.
    ASSERT_TRUE(lock.locked()) << "the registry here did not take the denying ACL";

    const RegKey key = openRoot();
    ASSERT_TRUE(key);
    DeleteKeyTree(key.get());

    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, root + "\\A"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, root + "\\C"));
    EXPECT_EQ(SubkeyCount(HKEY_CURRENT_USER, root), 1u);
}
