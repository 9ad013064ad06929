// What a stand-in DLL is: its family, its file name, export prefix and version, and the
// result codes its command entry answers with.
#pragma once
#include <cstdint>

namespace standin {

enum class Dll { Unlha, UnZip, Zip, Cab, Unrar, Unarj, Tar };

struct Identity {
    const char* fileName;     // "Unlha32.dll"
    const char* exportPrefix; // "Unlha": the exports are Unlha, UnlhaGetVersion, UnlhaCheckArchive
    uint16_t version;         // version times 100
};
const Identity& IdentityOf(Dll dll);

// Results of the command entry point: 0, or the archiver-DLL family's error codes.
const int kOk = 0;
const int kErrorDiskSpace = 0x8005;       // the destination is full
const int kErrorMethod = 0x8009;          // an entry's method this build cannot decode or write
const int kErrorPassword = 0x800A;        // a wrong or missing password
const int kErrorFileCrc = 0x800C;         // an entry's data does not match its CRC
const int kErrorFileOpen = 0x800D;        // a named file is missing or cannot be opened
const int kErrorMakeDirectory = 0x8012;   // a folder cannot be created
const int kErrorCannotWrite = 0x8013;     // a file cannot be written
const int kErrorHeaderBroken = 0x8017;    // a damaged or truncated archive
const int kErrorArcFileOpen = 0x8018;     // the archive cannot be opened
const int kErrorNotArcFile = 0x8019;      // not an archive this DLL reads
const int kErrorCannotRead = 0x801A;      // the archive cannot be read
const int kErrorCommandName = 0x801C;     // a command text this DLL does not understand
const int kErrorEnoughMemory = 0x801E;    // out of memory
const int kErrorAlreadyRunning = 0x801F;  // another command of this DLL is still running
const int kErrorUserCancel = 0x8020;      // the user pressed Cancel

}  // namespace standin
