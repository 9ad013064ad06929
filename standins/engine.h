// The extraction engine of the stand-ins: libarchive reads the archive from a file of ours,
// and every entry is written by our own code, checked against the destination, streamed
// through a temporary name and renamed into place only when whole.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct archive;

namespace standin {

// Registers the readers (formats and filters) of one DLL's family on a new archive reader.
// Each family's function lives in its own object file, so a DLL links only its own readers.
using EnableReaders = bool (*)(struct archive* reader);

// One entry that could not be extracted, or the archive itself when entry is empty.
struct Failure {
    std::string entry;   // the name as stored, in the system code page
    std::string reason;  // Japanese, for the message box
    int code = 0;        // the family's result code
};

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

// The name a lone compressed file is extracted as: the archive's file name without its
// ".gz", ".bz2", ".xz", ".Z" (or "-gz", "_z" and the like); a name with none of them gets
// ".out" added. The last component of storedName (a gzip header's) wins when there is one.
std::string LoneFileName(const std::string& archive, const std::string& storedName);

// A stored RAR entry's CRC, RAR 1.5-4.x or 5 (rar_stored.cpp).
bool RarStoredCrc(const std::string& archive, int64_t from, uint32_t& crc);

// The readers of each family, one object file each (readers_*.cpp).
bool EnableLzhReaders(struct archive* reader);
bool EnableZipReaders(struct archive* reader);
bool EnableCabReaders(struct archive* reader);
bool EnableRarReaders(struct archive* reader);
bool EnableTarReaders(struct archive* reader);

}  // namespace standin
