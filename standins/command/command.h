// What every stand-in archiver DLL does behind its three exports: the command texts it
// understands, the archive test, the journal and the self-extracting programs.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "standins/extract/engine.h"
#include "standins/core/formats.h"

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

// A command text cut into switches (unquoted tokens beginning with '-') and the other
// arguments, both in order.
struct Command {
    std::vector<std::string> switches;
    std::vector<std::string> args;

    bool has(const char* name) const;  // a switch, compared without case
    std::string arg(size_t i) const { return i < args.size() ? args[i] : std::string(); }
};
Command ParseCommand(const std::string& text);

// Carries out one command text; message receives a short report. One function per DLL,
// each in its own file (run_*.cpp), so that a DLL links only its own family's readers and
// writers. Failures have already been shown to the user when these return.
int RunUnlha(const std::string& text, std::string& message);
int RunUnZip(const std::string& text, std::string& message);
int RunZip(const std::string& text, std::string& message);
int RunCab(const std::string& text, std::string& message);
int RunUnrar(const std::string& text, std::string& message);
int RunUnarj(const std::string& text, std::string& message);
int RunTar(const std::string& text, std::string& message);

// What the runners share (command.cpp, extract.cpp).
// True when dll extracts archives of kind.
bool ReadsKind(Dll dll, Kind kind);
// True when path holds, by content, an archive that dll extracts.
bool AcceptsArchive(Dll dll, const std::string& path);
// Extracts archive into dest with the readers enable registers (or walk, a decoder of our
// own, when given): checks the archive by
// content first, shows the progress window, asks for passwords, and shows one message box
// naming every entry that failed. The result is kOk or the first failure's code.
int ExtractCommand(Dll dll, EnableReaders enable, const std::string& archive,
                   const std::string& dest, bool overwrite, std::string& message,
                   StoredCrc storedCrc = nullptr, WalkEntries walk = nullptr,
                   DecodeRefused decodeRefused = nullptr, EnableReaders lone = nullptr);
// Reports a failure of the command itself (no entry involved) in a message box; code.
int Refuse(Dll dll, const std::string& archive, const char* reason, int code,
           std::string& message);
// Shows result's failures in one message box; the result's code.
int ReportFailures(Dll dll, const std::string& archive, const ExtractResult& result,
                   std::string& message);
// Archive, base directory and entries from args[first]...: kOk, or the failure's code after
// a message box when something is missing or cannot be read.
int GatherFromArgs(Dll dll, const Command& command, size_t first, std::vector<Item>& items,
                   std::string& message);
// Whether the family's self-extracting program can extract archive, which the DLL reads.
// The program carries only the decoders of what its family writes, so that it stays small.
using SfxReads = bool (*)(const std::string& archive);
// Writes the self-extracting program of archive into dir (the archive's folder when empty).
// An archive the program could not extract (reads says so) is refused now, while the user
// can still choose another format, rather than when the program is started elsewhere.
int MakeSfx(Dll dll, const std::string& archive, const std::string& dir, std::string& message,
            SfxReads reads = nullptr);
// The result of writing an archive: kOk, or kErrorCannotWrite after a message box.
int Written(Dll dll, const std::string& archive, bool ok, std::string& message);
// Writes job.archive with writer under the DLL's progress window (write_command.cpp): kOk,
// or the family's code for the failure after a message box naming the archive, the entry
// and the reason (no box when the user cancelled).
using ArchiveWriter = std::function<WriteResult(const WriteJob& job)>;
int WriteCommand(Dll dll, WriteJob job, const ArchiveWriter& writer, std::string& message);
// Reports that archive could not be written (reason: a Japanese text, after "entry: " when
// entry is not empty) in a message box; code.
int RefuseWrite(Dll dll, const std::string& archive, const std::string& entry,
                const char* reason, int code, std::string& message);
inline int RefuseWrite(Dll dll, const std::string& archive, const char* reason, int code,
                       std::string& message) {
    return RefuseWrite(dll, archive, std::string(), reason, code, message);
}
// The result for a command text the DLL does not understand, after a message box.
int UnknownCommand(Dll dll, const std::string& text, std::string& message);

// Appends "<dll file name>\t<entry>\t<argument>\r\n" to the file named by ARCHIVER_JOURNAL,
// when that variable is set.
void AppendJournal(Dll dll, const std::string& entry, const std::string& argument);

// The self-extracting program: the stub, the archive, then a trailer of the archive's
// offset (8 bytes, little-endian) and kSfxMagic.
extern const char kSfxMagic[8];
const size_t kSfxTrailerSize = 16;
// Both copy in pieces, so an archive of any size costs the memory of a small one.
bool WriteSfx(const std::string& archive, const std::string& program);
// Copies the archive appended to program into the file archive; false when it carries none
// or the copy fails (no file archive is then left).
bool CopySfxPayload(const std::string& program, const std::string& archive);

}  // namespace standin
