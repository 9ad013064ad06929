#include "shell/SpecialDirs.h"

#include <shlobj.h>

#include <string>

#include "base/Handles.h"
#include "base/Paths.h"

namespace {

// The shell's ids for a shortcut, named here: taking them from libuuid links its whole
// table of every system GUID (about 40 KB) into the program.
const CLSID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kShellLinkInterface = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kPersistFileInterface = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

void RemoveTrailingSeparator(char* text) {
    if (EndsWithSeparator(text)) text[lstrlenA(text) - 1] = '\0';
}

bool GetShellFolder(char* buffer, int id, HWND ownerWindow) {
    ItemList items;
    if (FAILED(SHGetSpecialFolderLocation(ownerWindow, id, items.out()))) return false;
    return SHGetPathFromIDListA(items.get(), buffer) != FALSE;
}

bool IsDirectoryEntry(const char* path) {
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA(path, &found));
    return search.valid() && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool GetSpecialDir(char* buffer, int id, HWND ownerWindow) {
    buffer[0] = '\0';
    switch (id) {
    case DIR_WINDOWS:
        GetWindowsDirectoryA(buffer, MAX_PATH);
        break;
    case DIR_SYSTEM:
        GetSystemDirectoryA(buffer, MAX_PATH);
        break;
    case DIR_TEMP:
        GetTempPathA(MAX_PATH, buffer);
        break;
    case DIR_MODULE:
        lstrcpynA(buffer, DirectoryOf(ExecutablePath()).c_str(), MAX_PATH);
        break;
    default:
        if (!GetShellFolder(buffer, id, ownerWindow)) return false;
        break;
    }
    RemoveTrailingSeparator(buffer);
    return true;
}

void MakeDirs(const char* path) {
    if (IsDirectoryEntry(path)) return;

    const std::string walk(path);
    for (size_t i = 0; i < walk.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(walk[i]);
        if (IsDbcsLead(byte)) {
            ++i;  // the trail byte may be 0x5C
            continue;
        }
        if (byte != '\\') continue;
        const std::string prefix = walk.substr(0, i);
        // A drive prefix such as "C:" fails to be created, harmlessly.
        if (!IsDirectoryEntry(prefix.c_str())) CreateDirectoryA(prefix.c_str(), nullptr);
    }
}

bool CreateShortcut(const char* target, const char* folder, const char* name) {
    const ComScope com;
    ComPtr<IShellLinkA> link;
    HRESULT result = CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER,
                                      kShellLinkInterface, link.out());
    if (FAILED(result)) return false;

    const std::string workingDir = DirectoryOf(target);
    link->SetPath(target);
    link->SetDescription(name);
    link->SetWorkingDirectory(workingDir.c_str());

    ComPtr<IPersistFile> file;
    result = link->QueryInterface(kPersistFileInterface, file.out());
    if (FAILED(result)) return false;

    const std::string linkPath = std::string(folder) + "\\" + name + ".lnk";
    WCHAR widePath[MAX_PATH] = {};
    // Too long for the buffer: the conversion leaves it unterminated, so nothing is saved.
    if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH) == 0) {
        return false;
    }
    result = file->Save(widePath, TRUE);
    return SUCCEEDED(result);
}

std::string DirectoryOf(const std::string& path) {
    // The scan steps over double-byte characters, so "表.exe" (trail byte 0x5C) is not cut.
    const int at = LastSeparator(path.c_str());
    return at < 0 ? path : path.substr(0, static_cast<size_t>(at));
}

std::string ExecutablePath() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}
