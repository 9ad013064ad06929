// Where a job puts its results: the choice a destination setting stands for, and the
// folder texts the choices are built from. Every folder text ends in '\\'.
#pragma once
#include <cstdint>
#include <string>

#include "base/StrBuf.h"

// MeltDirType and CompDirType share their values; anything unknown means the desktop.
enum class DestinationKind { Desktop, EntryFolder, Chosen, Fixed };
DestinationKind DestinationKindOf(int32_t dirType);

// text followed by '\\' unless it already ends in one; a final trail byte 0x5C of a
// double-byte character is no separator. An empty text stays empty: a '\\' alone would
// name the root of the current drive.
std::string WithTrailingSeparator(const std::string& text);

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
