// Special folders, directory creation along a path, and shell links.
#pragma once
#include <windows.h>

#include <string>

// Pseudo folder ids beside the shell's CSIDL values.
enum SpecialDirId {
    DIR_WINDOWS = 6023,
    DIR_SYSTEM = 6024,
    DIR_TEMP = 6025,
    DIR_MODULE = 6032,
};

// Writes the folder into buffer (260 bytes) without a trailing separator; false only when
// the shell cannot resolve a shell id.
bool GetSpecialDir(char* buffer, int id, HWND ownerWindow);
// The running executable's full path.
std::string ExecutablePath();
// The path cut at its last separator; the whole path when it has none.
std::string DirectoryOf(const std::string& path);
// Creates every missing directory whose name in path is followed by a '\\'.
void MakeDirs(const char* path);
// Writes folder + "\\" + name + ".lnk" pointing at target; true when the link was saved.
bool CreateShortcut(const char* target, const char* folder, const char* name);
