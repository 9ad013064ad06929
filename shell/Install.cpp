#include "shell/Install.h"

#include <shlobj.h>

#include <string>

#include "base/Person.h"
#include "shell/Associations.h"
#include "shell/Registry.h"
#include "shell/SpecialDirs.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zibrak";
const char kDisplayName[] = "Zibrak";
const char kLinkName[] = "Zibrak";
const char kHelpLinkName[] = "ヘルプ";
const char kProgramsFolderName[] = "Zibrak";
const char kHelpFileName[] = "readme.txt";

bool GetFolder(int id, std::string& folder) {
    char buffer[MAX_PATH] = {};
    if (!GetSpecialDir(buffer, id, nullptr)) return false;
    folder = buffer;
    return true;
}

// True when the program's link was saved in the folder.
bool PlaceDesktopLink(int folderId, const std::string& executable) {
    std::string desktop;
    return GetFolder(folderId, desktop) &&
           CreateShortcut(executable.c_str(), desktop.c_str(), kLinkName);
}

// True when the program's link was saved; the help link never decides a fallback.
bool PlaceProgramsMenu(int folderId, const std::string& executable) {
    std::string programs;
    if (!GetFolder(folderId, programs)) return false;
    const std::string folder = programs + "\\" + kProgramsFolderName;
    MakeDirs((folder + "\\").c_str());
    const bool saved = CreateShortcut(executable.c_str(), folder.c_str(), kLinkName);
    const std::string help = DirectoryOf(executable) + "\\" + kHelpFileName;
    CreateShortcut(help.c_str(), folder.c_str(), kHelpLinkName);
    return saved;
}

void RemoveDesktopLink(int folderId) {
    std::string folder;
    if (!GetFolder(folderId, folder)) return;
    DeleteFileA((folder + "\\" + kLinkName + ".lnk").c_str());
}

// The folder goes only when nothing of anyone else's is left in it.
void RemoveProgramsMenu(int folderId) {
    std::string programs;
    if (!GetFolder(folderId, programs)) return;
    const std::string folder = programs + "\\" + kProgramsFolderName;
    DeleteFileA((folder + "\\" + kLinkName + ".lnk").c_str());
    DeleteFileA((folder + "\\" + kHelpLinkName + ".lnk").c_str());
    RemoveDirectoryA(folder.c_str());
}

void RemoveUninstallEntry() {
    if (RegKey entry = OpenKey(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_ENUMERATE_SUB_KEYS)) {
        DeleteKeyTree(entry.get());
        entry.reset();
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
}

void WriteUninstallEntry(const std::string& executable) {
    const RegKey entry = CreateKey(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_SET_VALUE);
    if (!entry) return;
    // Quoted, so that a blank in the path cannot make Windows start a shorter name.
    const std::string command = "\"" + executable + "\" /u";
    WriteStringValue(entry.get(), "DisplayName", kDisplayName);
    WriteStringValue(entry.get(), "UninstallString", command.c_str());
}

}  // namespace

void Install(const char* iniFile) {
    const std::string executable = ExecutablePath();

    // The all-users folders first; each of the two falls back to the user's own on its own.
    if (!PlaceDesktopLink(CSIDL_COMMON_DESKTOPDIRECTORY, executable)) {
        PlaceDesktopLink(CSIDL_DESKTOPDIRECTORY, executable);
    }
    if (!PlaceProgramsMenu(CSIDL_COMMON_PROGRAMS, executable)) {
        PlaceProgramsMenu(CSIDL_PROGRAMS, executable);
    }

    for (const char* extension : kAssociationExtensions) {
        SaveOriginalAssociation(extension, iniFile);
    }

    // A fresh entry, so that a second install leaves one.
    RemoveUninstallEntry();
    WriteUninstallEntry(executable);

    std::string readme;
    if (GetFolder(DIR_MODULE, readme)) {
        CurrentPerson().OpenDocument((readme + "\\" + kHelpFileName).c_str());
    }
}

void Uninstall(const char* iniFile) {
    // Every place is cleaned, whichever of them Install used.
    RemoveDesktopLink(CSIDL_COMMON_DESKTOPDIRECTORY);
    RemoveDesktopLink(CSIDL_DESKTOPDIRECTORY);
    RemoveProgramsMenu(CSIDL_COMMON_PROGRAMS);
    RemoveProgramsMenu(CSIDL_PROGRAMS);
    RemoveDesktopLink(CSIDL_SENDTO);

    RemoveUninstallEntry();

    for (const char* extension : kAssociationExtensions) {
        RegisterAssociation(extension, false, true, iniFile);
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
