// The extraction engine of the stand-ins: libarchive reads the archive from a file of ours,
// and every entry is written by our own code, checked against the destination, streamed
// through a temporary name and renamed into place only when whole.
#pragma once
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "standins/codecs/codec_status.h"
#include "standins/core/ui.h"

struct archive;

namespace standin {

struct Failure;

// Where a decoder of our own (ARJ) puts the entries it walks: the engine checks each name,
// writes through a temporary file and keeps the failures, as for libarchive's entries.
// Names are decoded (UTF-8, see DecodeStoredName) by the walk.
class EntryTarget {
public:
    virtual ~EntryTarget() = default;
    // False stops the walk (the user cancelled).
    virtual bool folder(const std::string& name) = 0;
    // decode writes the entry's data to the sink it is given and checks it; false stops.
    virtual bool file(const std::string& name, uint32_t dosTime,
                      const std::function<CodecStatus(ByteSink& sink)>& decode) = 0;
    // A failure of the walk itself (entry empty) or of one entry.
    virtual void fail(const std::string& entry, CodecStatus status) = 0;
};

// Walks an archive with a decoder of our own instead of libarchive.
using WalkEntries = void (*)(const std::string& archive, EntryTarget& target);

// Decodes an entry libarchive refuses (a ZIP entry in Deflate64) to sink: the entry whose
// data begins at dataOffset in the archive file, where the reader stands right after its
// header. False when no such entry begins there (status then unset).
using DecodeRefused =
    std::function<bool(uint64_t dataOffset, ByteSink& sink, CodecStatus& status)>;

// Registers the readers (formats and filters) of one DLL's family on a new archive reader.
// Each family's function lives in its own object file, so a DLL links only its own readers.
using EnableReaders = bool (*)(struct archive* reader);

// One entry that could not be extracted, or the archive itself when entry is empty.
struct Failure {
    std::string entry;   // the entry's decoded name, UTF-8
    std::string reason;  // Japanese in the code page, for the message box
    int code = 0;        // the family's result code
};

// An entry written under another name than it is stored as: mapped for Windows, or numbered
// because an earlier entry of the same command had its path.
struct Renamed {
    std::string stored;   // decoded, UTF-8
    std::string written;  // below the destination, UTF-8
};

// The stored names of an archive whose headers mark a name as UTF-8 where libarchive does not
// show it (ZIP's flag, CAB's _A_NAME_IS_UTF, tar's pax records): the bytes of those marked
// and of the others, as the headers store them.
using ListStoredNames = void (*)(const std::string& archive, std::set<std::string>& marked,
                                 std::set<std::string>& unmarked);

// Says in the family's words what its readers refused, given the engine's failure (whose
// reason ends with the reader's own text in brackets): a 7z filter by its name.
using ExplainFailure = void (*)(Failure& failure);

// The CRC-32 an entry's data must have when the readers do not check it themselves, read
// from the archive at the entry's header position; false when there is none to check.
using StoredCrc = bool (*)(const std::string& archive, int64_t headerPosition, uint32_t& crc);

struct ExtractJob {
    std::string archive;
    std::string destDir;     // in the code page, ends with '\\'
    bool overwrite = false;  // true: an existing file is replaced without a question
    // A lone compressed file (libarchive's "raw" format) is named by LoneFileName.
    EnableReaders enable = nullptr;
    StoredCrc storedCrc = nullptr;
    DecodeRefused decodeRefused = nullptr;
    WalkEntries walk = nullptr;  // instead of enable: a decoder of our own
    // The readers of a lone compressed file alone, tried when a compressed stream read as a
    // tar holds no entry at all: data that begins with zero blocks (a disk image) reads as
    // the end of an empty tar. Null: no second try.
    EnableReaders lone = nullptr;
    // Which names are marked UTF-8, for names libarchive's forms leave open; null: the bytes
    // alone decide.
    ListStoredNames storedNames = nullptr;
    // Asked (without the overwrite switch) whether an existing file not written by this run
    // is to be replaced; null keeps every such file. The "all" answers hold for the run.
    std::function<OverwriteAnswer(const std::string& entry)> askOverwrite;
    ExplainFailure explain = nullptr;  // may be null
    // Called for each encrypted entry until it gives the right password; false gives up.
    std::function<bool(const std::string& entry, std::string& password)> askPassword;
    // Called as data is written; false stops the job (the user pressed Cancel).
    std::function<bool(const std::string& entry, uint64_t done, uint64_t total)> progress;
};

struct ExtractResult {
    int code = 0;  // kOk, or the code of the first failure
    std::vector<Failure> failures;
    std::vector<Renamed> renamed;  // listed in the box, yet no failure
    unsigned written = 0;  // files and folders made
    bool cancelled = false;
};

// Extracts job.archive into job.destDir. Never throws out of its own work: allocation
// failures inside libarchive come back as failures of the archive.
ExtractResult ExtractWithReaders(const ExtractJob& job);

// The Japanese text (UTF-8) of the message box for a result with failures or renamed
// entries: the archive, then one line per failed entry and per renamed one ("元 → 新"), at
// most a screenful.
std::string DescribeFailures(const std::string& archive, const ExtractResult& result);

// The name a lone compressed file is extracted as, as gzip -d names it: the archive's file
// name without its ".gz", ".bz2", ".xz", ".Z", ".zst", ".lz4", ".lz" (or "-gz", "_z" and the
// like; ".tgz" and its kin become ".tar"). An archive named with none of them is named by the
// last component of storedName (a gzip header's) when there is one, else gets ".out" added.
std::string LoneFileName(const std::string& archive, const std::string& storedName);


}  // namespace standin
