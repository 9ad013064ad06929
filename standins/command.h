// What every stand-in archiver DLL does behind its three exports: the command texts it
// understands, the archive test, the journal and the self-extracting programs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "standins/formats.h"

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
// The names the stand-ins used before these codes; kept until every caller moves over.
const int kErrorCommand = kErrorCommandName;
const int kErrorNotArchive = kErrorNotArcFile;
const int kErrorFile = kErrorCannotWrite;
const int kErrorUnsupported = kErrorMethod;

struct Token {
    std::string text;  // without the quotes
    bool quoted = false;
};
// Splits on spaces outside double quotes; a quoted token keeps its spaces.
std::vector<Token> SplitCommand(const std::string& text);

// Items for baseDir and the entries after it: an entry is relative to baseDir (the current
// folder when baseDir is empty) or a full path (then stored without drive and leading
// separators); "<dir>\*.*" or a folder stands for the folder's whole content. The file
// `exclude` (the archive being written) is left out.
// False when an entry does not exist or a folder cannot be read; items is then unspecified.
bool GatherItems(const std::string& baseDir, const std::vector<std::string>& entries,
                 const std::string& exclude, std::vector<Item>& items);

// Carries out one command text for dll; message receives a short report.
int RunCommand(Dll dll, const std::string& text, std::string& message);

// True when path holds, by content, an archive that dll extracts.
bool AcceptsArchive(Dll dll, const std::string& path);

// Appends "<dll file name>\t<entry>\t<argument>\r\n" to the file named by ARCHIVER_JOURNAL,
// when that variable is set.
void AppendJournal(Dll dll, const std::string& entry, const std::string& argument);

// The self-extracting program: the stub, the archive, then a trailer of the archive's
// offset (8 bytes, little-endian) and kSfxMagic.
extern const char kSfxMagic[8];
bool WriteSfx(const std::string& archive, const std::string& program);
// The archive appended to the program at path; false when it carries none.
bool ReadSfxPayload(const std::string& path, std::string& archive);

}  // namespace standin
