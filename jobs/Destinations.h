// Where a job puts its results: the folder a destination setting names, and the
// folder texts the choices are built from. Every folder text ends in '\\'.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "base/StrBuf.h"

// Asks the user for a folder; false when the user cancelled.
using FolderChooser = std::function<bool(std::string& folder)>;

// The folder that a MeltDirType or CompDirType value names for a job whose (first) file is
// entry: 1 the entry's folder, 2 the one choose returns, 3 fixed (given its '\'), and any
// other value the desktop. False only when choose was cancelled.
bool DestinationFolder(int32_t dirType, const char* entry, const StrBuf& fixed,
                       const StrBuf& desktop, const FolderChooser& choose, std::string& folder);

// The folder of an entry: its path up to its last separator, then '\\'. A bare name was
// looked up in the current directory, so that is its folder.
std::string FolderOfEntry(const char* entry);

// The caption of both invalid-destination messages.
extern const char kInvalidFolderCaption[];

// Creates what is missing of folder; true when it then names a directory. An empty folder
// is refused: it would mean wherever the current directory happens to be.
bool PrepareFolder(const std::string& folder);

// The user's desktop folder followed by '\\'.
StrBuf DesktopPath();
