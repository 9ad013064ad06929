#include "jobs/Destinations.h"

#include <windows.h>
#include <shlobj.h>

#include "base/Paths.h"
#include "shell/SpecialDirs.h"

const char kInvalidFolderCaption[] = "不正なフォルダー";

std::string FolderOfEntry(const char* entry) {
    const int separator = LastSeparator(entry);
    if (separator >= 0) return std::string(entry, separator) + '\\';
    char current[MAX_PATH] = "";
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return WithTrailingSeparator(current);
}

bool DestinationFolder(int32_t dirType, const char* entry, const StrBuf& fixed,
                       const StrBuf& desktop, const FolderChooser& choose, std::string& folder) {
    switch (dirType) {
    case 1:
        folder = FolderOfEntry(entry);
        return true;
    case 2:
        return choose(folder);
    case 3:
        folder = WithTrailingSeparator(fixed.text());
        return true;
    default:
        folder = desktop.text();
        return true;
    }
}

bool PrepareFolder(const std::string& folder) {
    if (folder.empty()) return false;
    MakeDirs(folder.c_str());
    bool isDir = false;
    PathExists(folder.c_str(), isDir);
    return isDir;
}

StrBuf DesktopPath() {
    char desktop[MAX_PATH] = "";
    GetSpecialDir(desktop, CSIDL_DESKTOPDIRECTORY, nullptr);
    StrBuf path(desktop);
    path.append("\\");
    return path;
}
