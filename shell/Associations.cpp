#include "shell/Associations.h"

#include <iterator>
#include <string>
#include <vector>

#include "settings/Options.h"
#include "shell/Registry.h"
#include "shell/SpecialDirs.h"

const char* const kAssociationExtensions[12] = {
    ".lzh", ".zip", ".cab", ".tar", ".gz", ".z", ".bz2", ".rar", ".arj", ".taz", ".tgz", ".tbz",
};

namespace {

const char kOrigAssoSection[] = "OrigAsso";
const char kOrigIconSection[] = "OrigIcon";
const char kProgIdPrefix[] = "Zibrak";

// The flag that chooses each extension, in the order of kAssociationExtensions.
struct ExtensionFlag {
    bool OptionValues::*chosen;
    bool AssociationFlags::*loaded;
};
const ExtensionFlag kExtensionFlags[] = {
    {&OptionValues::AssoLzh, &AssociationFlags::AssoLzh},
    {&OptionValues::AssoZip, &AssociationFlags::AssoZip},
    {&OptionValues::AssoCab, &AssociationFlags::AssoCab},
    {&OptionValues::AssoTar, &AssociationFlags::AssoTar},
    {&OptionValues::AssoGzip, &AssociationFlags::AssoGzip},
    {&OptionValues::AssoZ, &AssociationFlags::AssoZ},
    {&OptionValues::AssoBz2, &AssociationFlags::AssoBz2},
    {&OptionValues::AssoRar, &AssociationFlags::AssoRar},
    {&OptionValues::AssoArj, &AssociationFlags::AssoArj},
    {&OptionValues::AssoTaz, &AssociationFlags::AssoTaz},
    {&OptionValues::AssoTgz, &AssociationFlags::AssoTgz},
    {&OptionValues::AssoTbz, &AssociationFlags::AssoTbz},
};
static_assert(std::size(kExtensionFlags) == std::size(kAssociationExtensions),
              "one flag per extension");

// The INI key and ProgID suffix: the extension without its dot.
const char* WithoutDot(const char* extension) {
    return extension[0] == '.' ? extension + 1 : extension;
}

std::string ProgIdOf(const char* extension) {
    return std::string(kProgIdPrefix) + WithoutDot(extension);
}

// Whether the INI file has the key in section at all: GetPrivateProfileStringA alone cannot
// tell a missing record from an empty one.
bool HasIniKey(const char* section, const char* key, const char* iniFile) {
    std::vector<char> names(1024);
    for (;;) {
        const DWORD got = GetPrivateProfileStringA(section, nullptr, "", names.data(),
                                                   static_cast<DWORD>(names.size()), iniFile);
        if (got + 2 < names.size()) break;
        names.resize(names.size() * 2);  // the list was cut short
    }
    for (const char* name = names.data(); *name; name += lstrlenA(name) + 1) {
        if (lstrcmpiA(name, key) == 0) return true;
    }
    return false;
}

// Sets the extension key's default value, keeping whatever else other software keeps there
// (ShellNew, OpenWithProgids, Content Type).
void SetExtensionProgId(const char* extension, const char* progId) {
    const RegKey key = CreateKey(HKEY_CLASSES_ROOT, extension, KEY_SET_VALUE);
    if (key) WriteStringValue(key.get(), nullptr, progId);
}

// Whether the extension's key names Zibrak's own ProgID now (letters in any case).
bool NamesOwnProgId(const char* extension) {
    const RegKey key = OpenKey(HKEY_CLASSES_ROOT, extension, KEY_QUERY_VALUE);
    if (!key) return false;
    char current[MAX_PATH];
    return ReadDefaultValue(key.get(), current, sizeof current) &&
           lstrcmpiA(current, ProgIdOf(extension).c_str()) == 0;
}

// A give-back with nothing recorded: Zibrak's own claim is withdrawn.
void WithdrawOwnClaim(const char* extension) {
    RegKey key = OpenKey(HKEY_CLASSES_ROOT, extension, KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key) return;
    RegDeleteValueA(key.get(), nullptr);

    DWORD subkeys = 0;
    DWORD values = 0;
    const bool counted = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                          nullptr, &values, nullptr, nullptr, nullptr,
                                          nullptr) == ERROR_SUCCESS;
    key.reset();
    if (counted && subkeys == 0 && values == 0) RegDeleteKeyA(HKEY_CLASSES_ROOT, extension);
}

// Points the extension at its recorded ProgID. Without a record, or with Zibrak's own
// ProgID recorded (by an install that ran while Zibrak owned the extension), Zibrak's
// claim is withdrawn instead.
void GiveBack(const char* extension, const char* iniFile) {
    char recorded[MAX_PATH] = {};
    GetPrivateProfileStringA(kOrigAssoSection, WithoutDot(extension), "", recorded,
                             sizeof recorded, iniFile);
    if (!HasIniKey(kOrigAssoSection, WithoutDot(extension), iniFile) ||
        lstrcmpiA(recorded, ProgIdOf(extension).c_str()) == 0) {
        WithdrawOwnClaim(extension);
        return;
    }
    SetExtensionProgId(extension, recorded);
}

// Replaces a key's default value: the old key is deleted first so that nothing stale stays.
RegKey RecreateKey(const std::string& path) {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
    return CreateKey(HKEY_CLASSES_ROOT, path.c_str(), KEY_SET_VALUE);
}

}  // namespace

void RegisterAssociation(const char* extension, bool own, bool noIcon, const char* iniFile) {
    const std::string progId = ProgIdOf(extension);
    // A give-back only while the extension is still Zibrak's: another program that took
    // it since keeps its association, which writing the old record back would destroy.
    if (own) {
        SetExtensionProgId(extension, progId.c_str());
    } else if (NamesOwnProgId(extension)) {
        GiveBack(extension, iniFile);
    }

    // Quoted, so that a blank in the path cannot make Windows start a shorter name.
    const std::string executable = ExecutablePath();
    const std::string command = "\"" + executable + "\" \"%1\"";
    const RegKey commandKey = RecreateKey(progId + "\\shell\\open\\command");
    if (commandKey) WriteStringValue(commandKey.get(), nullptr, command.c_str());

    // The shell's icon location syntax: path and index, never quoted.
    const std::string ownIcon = executable + ",0";
    const RegKey iconKey = RecreateKey(progId + "\\DefaultIcon");
    if (!iconKey) return;
    char icon[MAX_PATH] = {};
    if (noIcon) {
        GetPrivateProfileStringA(kOrigIconSection, WithoutDot(extension), ownIcon.c_str(), icon,
                                 sizeof icon, iniFile);
    } else {
        lstrcpynA(icon, ownIcon.c_str(), sizeof icon);
    }
    WriteStringValue(iconKey.get(), nullptr, icon);
}

void SaveOriginalAssociation(const char* extension, const char* iniFile) {
    const RegKey key = OpenKey(HKEY_CLASSES_ROOT, extension, KEY_QUERY_VALUE);
    if (!key) return;
    char progId[MAX_PATH];
    if (!ReadDefaultValue(key.get(), progId, sizeof progId)) return;
    // Zibrak is no predecessor of its own: a second install keeps the earlier record, and
    // without one nothing is recorded, so that a give-back never leaves the extension
    // bound to a program being removed.
    if (lstrcmpiA(progId, ProgIdOf(extension).c_str()) == 0) return;
    WritePrivateProfileStringA(kOrigAssoSection, WithoutDot(extension), progId, iniFile);
    if (progId[0] == '\0') return;  // no ProgID, so no icon to look for

    const std::string iconPath = std::string(progId) + "\\DefaultIcon";
    const RegKey iconKey = OpenKey(HKEY_CLASSES_ROOT, iconPath.c_str(), KEY_QUERY_VALUE);
    if (!iconKey) return;
    char icon[MAX_PATH];
    if (ReadDefaultValue(iconKey.get(), icon, sizeof icon)) {
        WritePrivateProfileStringA(kOrigIconSection, WithoutDot(extension), icon, iniFile);
    }
}

void UpdateAssociations(const char* iniFile) {
    const bool noIconChanged = Options.NoIcon != LoadedAssociations.NoIcon;
    for (size_t i = 0; i < std::size(kExtensionFlags); ++i) {
        const bool chosen = Options.*kExtensionFlags[i].chosen;
        const bool loaded = LoadedAssociations.*kExtensionFlags[i].loaded;
        if (chosen != loaded || noIconChanged) {
            RegisterAssociation(kAssociationExtensions[i], chosen, Options.NoIcon, iniFile);
        }
    }
}
