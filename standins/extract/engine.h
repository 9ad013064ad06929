// The extraction engine of the stand-ins: libarchive reads the archive from a file of ours,
// and every entry is written by our own code, checked against the destination, streamed
// through a temporary name and renamed into place only when whole.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "standins/codecs/codec_status.h"

struct archive;

namespace standin {

struct Failure;

// Where a decoder of our own (ARJ) puts the entries it walks: the engine checks each name,
// writes through a temporary file and keeps the failures, as for libarchive's entries.
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

// Decodes an entry libarchive refuses (a ZIP entry in Deflate64) to sink, found by its
// name; false when it is not such an entry (status then unset).
using DecodeRefused = bool (*)(const std::string& archive, const std::string& name,
                               ByteSink& sink, CodecStatus& status);

// Registers the readers (formats and filters) of one DLL's family on a new archive reader.
// Each family's function lives in its own object file, so a DLL links only its own readers.
using EnableReaders = bool (*)(struct archive* reader);

// One entry that could not be extracted, or the archive itself when entry is empty.
struct Failure {
    std::string entry;   // the name as stored, in the system code page
    std::string reason;  // Japanese, for the message box
    int code = 0;        // the family's result code
};

// Says in the family's words what its readers refused, given the engine's failure (whose
// reason ends with the reader's own text in brackets): a 7z filter by its name.
using ExplainFailure = void (*)(Failure& failure);

// The CRC-32 an entry's data must have when the readers do not check it themselves, read
// from the archive at the entry's header position; false when there is none to check.
using StoredCrc = bool (*)(const std::string& archive, int64_t headerPosition, uint32_t& crc);

struct ExtractJob {
    std::string archive;
    std::string destDir;     // ends with '\\'
    bool overwrite = false;  // false: an existing file is kept as it is
    // A lone compressed file (libarchive's "raw" format) is named by LoneFileName.
    EnableReaders enable = nullptr;
    StoredCrc storedCrc = nullptr;
    DecodeRefused decodeRefused = nullptr;
    WalkEntries walk = nullptr;  // instead of enable: a decoder of our own
    // The readers of a lone compressed file alone, tried when a compressed stream read as a
    // tar holds no entry at all: data that begins with zero blocks (a disk image) reads as
    // the end of an empty tar. Null: no second try.
    EnableReaders lone = nullptr;
    ExplainFailure explain = nullptr;  // may be null
    // Called for each encrypted entry until it gives the right password; false gives up.
    std::function<bool(const std::string& entry, std::string& password)> askPassword;
    // Called as data is written; false stops the job (the user pressed Cancel).
    std::function<bool(const std::string& entry, uint64_t done, uint64_t total)> progress;
};

struct ExtractResult {
    int code = 0;  // kOk, or the code of the first failure
    std::vector<Failure> failures;
    unsigned written = 0;  // files and folders made
    bool cancelled = false;
};

// Extracts job.archive into job.destDir. Never throws out of its own work: allocation
// failures inside libarchive come back as failures of the archive.
ExtractResult ExtractWithReaders(const ExtractJob& job);

// The Japanese text of the message box for a result with failures: the archive, then one
// line per failed entry (at most a screenful).
std::string DescribeFailures(const std::string& archive, const ExtractResult& result);

// A name stored as bytes, in the system code page as the engine gives every entry's name:
// UTF-8 (flagged, or well-formed multibyte UTF-8) converted, other bytes kept.
std::string StoredNameToAnsi(const std::string& bytes, bool utf8);

// The name a lone compressed file is extracted as: the archive's file name without its
// ".gz", ".bz2", ".xz", ".Z", ".zst", ".lz4", ".lz" (or "-gz", "_z" and the like; ".tgz"
// and its kin become ".tar"); a name with none of them gets ".out" added. The last component of storedName (a gzip header's) wins when there is one.
std::string LoneFileName(const std::string& archive, const std::string& storedName);


}  // namespace standin
