// What a path names rather than how it is written: "a.zip" run from C:\dl, "C:/dl/a.zip",
// the 8.3 alias "C:\DL\A~1.ZIP" and "C:\dl\a.zip" are all one file.
#pragma once
#include <windows.h>

#include <string>

// The volume and the file index: equal for every name of one file or folder, hard links
// and folders reached through a junction included.
struct FileId {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};
bool operator==(const FileId& a, const FileId& b);

// False when nothing is there or it cannot be opened even to read its attributes.
bool ReadFileId(const char* path, FileId& id);

// path made absolute against the current folder, '/' read as '\\', "." and ".." resolved,
// and the part of it that exists spelled with its long names. Empty when it cannot be formed.
std::string FullLongPath(const char* path);

// True when a and b name the same file or folder: by identity when both exist, else by
// their full long paths.
bool NameSameFile(const char* a, const char* b);

// True when path lies below folder at any depth, whether or not path exists yet: by its
// full long path, or by a folder on its way up that is folder under another name.
bool LiesBelowFolder(const char* path, const char* folder);
