// What the stand-ins' command runners share: the command texts cut into switches and
// arguments, gathering the files to pack, the archive test, extracting and refusing with
// the DLL's own windows, writing self-extracting programs, and the journal.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "standins/core/formats.h"
#include "standins/core/identity.h"
#include "standins/extract/engine.h"

namespace standin {


struct Token {
    std::string text;  // without the quotes
    bool quoted = false;
};
// Splits on spaces outside double quotes; a quoted token keeps its spaces.
std::vector<Token> SplitCommand(const std::string& text);

// Items for baseDir and the entries after it (both in the code page, as a command text gives
// them): an entry is relative to baseDir (the current folder when baseDir is empty) or a full
// path (then stored without drive and leading separators); "<dir>\*.*" or a folder stands
// for the folder's whole content. The file `exclude` (the archive being written) is left
// out. Items hold UTF-8 names and paths found through the wide API, so that names the code
// page cannot hold are packed too; an 8.3 alias among the entries is stored under its long
// name. False when an entry does not exist or a folder cannot be read (failed, when given,
// receives its name in UTF-8); items is then unspecified.
bool GatherItems(const std::string& baseDir, const std::vector<std::string>& entries,
                 const std::string& exclude, std::vector<Item>& items,
                 std::string* failed = nullptr);

// A command text cut into switches (unquoted tokens beginning with '-') and the other
// arguments, both in order.
struct Command {
    std::vector<std::string> switches;
    std::vector<std::string> args;

    bool has(const char* name) const;  // a switch, compared without case
    std::string arg(size_t i) const { return i < args.size() ? args[i] : std::string(); }
};
Command ParseCommand(const std::string& text);


// What the runners share (command/command.cpp).
// True when dll extracts archives of kind.
bool ReadsKind(Dll dll, Kind kind);
// True when path holds, by content, an archive that dll extracts, or is a self-extracting
// program the stand-ins wrote that carries one.
bool AcceptsArchive(Dll dll, const std::string& path);
// A family's own look at the archive file the engine is about to read (the ZIP central
// directory): true to go on. False ends the command with refusal's reason and code in a box;
// code kOk means there was nothing to extract, which is said but is no failure.
using ArchiveCheck = std::function<bool(const std::string& path, Failure& refusal)>;
// Extracts archive into dest with the readers enable registers (or walk, a decoder of our
// own, when given): checks the archive by content first (a self-extracting program the
// stand-ins wrote is read through the archive it carries), runs check, shows the progress
// window, asks for passwords and, without overwrite, whether to replace each existing file,
// and shows one message box naming every entry that failed or was renamed. The result is
// kOk or the first failure's code: renamed entries alone are no failure, as every file
// came out.
int ExtractCommand(Dll dll, EnableReaders enable, const std::string& archive,
                   const std::string& dest, bool overwrite, std::string& message,
                   StoredCrc storedCrc = nullptr, WalkEntries walk = nullptr,
                   DecodeRefused decodeRefused = nullptr, EnableReaders lone = nullptr,
                   ListStoredNames storedNames = nullptr,
                   const ArchiveCheck& check = nullptr, ExplainFailure explain = nullptr);
// Reports a failure of the command itself (no entry involved) in a message box; code.
int Refuse(Dll dll, const std::string& archive, const char* reason, int code,
           std::string& message);
// Shows result's failures and renamed entries in one message box; the result's code
// (message receives the box's text in the code page).
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
// Writes job.archive with writer under the DLL's progress window (write/write_command.cpp): kOk,
// or the family's code for the failure after a message box naming the archive, the entry
// and the reason (no box when the user cancelled).
using ArchiveWriter = std::function<WriteResult(const WriteJob& job)>;
int WriteCommand(Dll dll, WriteJob job, const ArchiveWriter& writer, std::string& message);
// Reports that archive could not be written (reason: a Japanese text, after "entry: " when
// entry, in UTF-8, is not empty) in a message box; code.
int RefuseWrite(Dll dll, const std::string& archive, const std::string& entry,
                const char* reason, int code, std::string& message);
inline int RefuseWrite(Dll dll, const std::string& archive, const char* reason, int code,
                       std::string& message) {
    return RefuseWrite(dll, archive, std::string(), reason, code, message);
}
// The result for a command text the DLL does not understand, after a message box.
int UnknownCommand(Dll dll, const std::string& text, std::string& message);

// The password a script gives in ARCHIVER_PASSWORD; empty when unset.
std::string ArchivePassword();

// Appends "<dll file name>\t<entry>\t<argument>\r\n" to the file named by ARCHIVER_JOURNAL,
// when that variable is set.
void AppendJournal(Dll dll, const std::string& entry, const std::string& argument);


}  // namespace standin
