// What the native Win32 stand-ins work on: one in-memory disk, one INI file, the archiver
// DLLs' received command texts and the messages shown. Each fuzz target resets and fills
// them for every input; nothing here touches the real file system.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// A path the disk knows: its attributes, its final component as stored (the long name in
// its stored letter case) and its size.
struct DiskEntry {
    uint32_t attributes = 0;
    std::string storedName;
    uint64_t size = 0;
};

// Paths are matched as Windows does: single-byte letters without regard to case, the
// bytes of a double-byte character exactly; no wildcards.
void ClearDisk();
void PutOnDisk(const std::string& path, const DiskEntry& entry);

// The one INI file (whatever name is asked for), parsed as the private-profile functions
// parse it: first matching section and key without regard to case, blanks around names
// and values dropped, one pair of enclosing quotes taken off a value read.
void LoadProfile(const std::string& text);
// The file as the profile functions would have written it back to disk.
std::string SaveProfile();

// The names the next shell drop holds, in order (DragQueryFileA on any drop handle).
void SetDroppedFiles(const std::vector<std::string>& names);
// Whether DragFinish released the drop since SetDroppedFiles.
bool DropReleased();

// One call of an archiver DLL's command entry point.
struct Command {
    std::string dll;
    std::string text;
};
// Every DLL name loads from now on except those listed here. Call it before the chain is
// built; the DLLs loaded so far are forgotten.
void ResetArchivers(const std::vector<std::string>& missingDlls);
const std::vector<Command>& Commands();
// DeleteFileA and MoveFileA calls, as "delete <path>" and "move <from> > <to>".
const std::vector<std::string>& FileOperations();
// Forgets the commands and file operations recorded so far.
void ClearCommands();

// Texts of the message boxes shown through the person stand-in; every box is answered
// with the answer set here (IDOK, IDYES, IDNO).
void ResetMessages(int answer);
const std::vector<std::string>& Messages();

// The folder GetSpecialDir gives for DIR_TEMP, without a trailing separator.
void SetTempFolder(const std::string& folder);

}  // namespace standin
