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

// Results of the command entry point.
const int kOk = 0;
const int kErrorCommand = 0x8005;      // a command text this DLL does not understand
const int kErrorNotArchive = 0x8006;   // not an archive this DLL reads
const int kErrorFile = 0x8007;         // a named file is missing, or a file could not be written
const int kErrorPassword = 0x8008;     // encryption asked for, but no password
const int kErrorUnsupported = 0x8009;  // a method this build cannot write (bzip2)

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
