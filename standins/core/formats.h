// The archive formats the stand-in archiver DLLs read and write.
// Paths are in the system code page (Shift-JIS under a Japanese locale) and are used
// with the ANSI Win32 file functions; names inside archives are stored as those bytes.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace standin {

enum class Kind { None, Lzh, Zip, Cab, Rar, Arj, Tar, Gzip, Bzip2, Xz, Compress };

// Looks at the file's content, never at its name, and at its first header only. Gzip,
// Bzip2, Xz and Compress mean any such stream (a compressed tar or a single file).
Kind DetectKind(const std::string& path);

// One thing to put into an archive.
struct Item {
    std::string name;        // name inside the archive, '\\'-separated, relative
    std::string sourcePath;  // file on disk; empty for a directory entry
    bool isDir = false;
    uint64_t size = 0;
    uint32_t dosTime = 0;    // MS-DOS date (high word) and time (low word), local time
    uint32_t attributes = 0; // Windows file attributes
};

// What an extraction may do.
struct ExtractOptions {
    std::string destDir;     // ends with '\\'
    bool overwrite = false;  // false: an existing file is kept as it is
};

// Why a writer stopped. The runners turn it into the family's code and a message.
enum class WriteError {
    none,
    cannotRead,   // an input cannot be opened or read
    changed,      // an input's size changed while it was packed
    cannotWrite,  // the archive cannot be created or written
    diskFull,     // the archive's disk is full
    tooLarge,     // a cabinet past its format's 2 GiB
    cancelled,    // the user pressed Cancel in the progress window
    outOfMemory,  // a codec could not get its memory
};

struct WriteResult {
    WriteError error = WriteError::none;
    std::string entry;  // the item's name when one item is to blame
    bool ok() const { return error == WriteError::none; }
};

// One archive to write. The writers stream: an input is read in fixed pieces as it is
// compressed, and the archive goes to a temporary name renamed into place only when whole,
// so a failure or a cancel leaves no archive behind.
struct WriteJob {
    std::string archive;
    std::vector<Item> items;
    // Called as input is read (total: the items' sizes); false stops the job. May be empty.
    std::function<bool(const std::string& entry, uint64_t done, uint64_t total)> progress;
};

enum class TarFilter { none, gzip, bzip2 };  // gzip at level 6, bzip2 at level 9
enum class CabMethod { stored, mszip, lzx21 };

// ZIP: deflate at level 6 (an entry deflate would make larger is stored), traditional PKWARE
// encryption when password is not empty, ZIP64 fields past 4 GiB; names as stored bytes.
WriteResult WriteZipArchive(const WriteJob& job, bool deflate, const std::string& password);
WriteResult WriteTarArchive(const WriteJob& job, TarFilter filter);
// One folder of method; more than 2 GiB of input is refused as tooLarge before anything is
// written.
WriteResult WriteCabArchive(const WriteJob& job, CabMethod method);

// Shorthands of the above with no progress: false when no archive was written.
bool WriteZip(const std::string& archive, const std::vector<Item>& items, bool deflate);
bool WriteTar(const std::string& archive, const std::vector<Item>& items, bool gzip);
// LZH with level-2 headers. Each file is packed as asked, or stored (-lh0-) when packing
// would not make it smaller; folders are -lhd- entries. keepExisting: entries of an archive
// already there stay in their places unless an item replaces them (LHA's "a" adds to an
// archive); an archive there that cannot be read is cannotRead, naming the archive.
enum class LzhPacking { stored, lh5, lh6, lh7 };
WriteResult WriteLzhArchive(const WriteJob& job, LzhPacking packing, bool keepExisting);
bool WriteLzh(const std::string& archive, const std::vector<Item>& items, bool keepExisting,
              LzhPacking packing = LzhPacking::stored);
bool WriteCab(const std::string& archive, const std::vector<Item>& items);  // stored folder


// Shared by the extractors (common.cpp).
// Joins destDir and an entry name ('/' or '\\' separated); false when the name is absolute,
// has a drive or a ".." component, or is empty.
bool SafeJoin(const std::string& destDir, const std::string& name, std::string& out);
// Creates every missing directory along path up to its last separator.
void CreateParents(const std::string& path);
// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string& data);

// Reads at most maxBytes from offset; fileSize receives the file's size. False when the
// file cannot be opened or read (data is then empty).
bool ReadFilePart(const std::string& path, uint64_t offset, size_t maxBytes, std::string& data,
                  uint64_t& fileSize);
// Writes a whole file through a temporary beside it, so a failure leaves the old file or none.
bool WriteFileAtomically(const std::string& path, const std::string& data);
// Appends data to the file at path, creating it when missing.
bool AppendToFile(const std::string& path, const std::string& data);

// Little-endian numbers, as every format here stores them.
uint32_t GetLe16(const std::string& s, size_t at);
uint32_t GetLe32(const std::string& s, size_t at);
uint64_t GetLe64(const std::string& s, size_t at);
void AppendLe16(std::string& s, uint32_t v);
void AppendLe32(std::string& s, uint32_t v);
void AppendLe64(std::string& s, uint64_t v);
void SetLe16(std::string& s, size_t at, uint32_t v);  // overwrites 2 bytes at `at`
void SetLe32(std::string& s, size_t at, uint32_t v);
// The CRC-32 of ZIP, gzip, RAR and ARJ over size bytes of s from at.
uint32_t Crc32(const std::string& s, size_t at, uint64_t size);

// MS-DOS local date/time <-> Unix time (UTC). 0 when the time cannot be converted.
uint32_t UnixTimeToDos(uint32_t unixTime);
uint32_t DosTimeToUnix(uint32_t dosTime);
// UTF-8 to the system code page; empty when a character has no equivalent there.
std::string Utf8ToAnsi(const std::string& utf8);

// Added by the DLL side (zip.cpp): a ZIP whose entries are encrypted with the traditional
// PKWARE scheme under password (not empty).
bool WriteZipEncrypted(const std::string& archive, const std::vector<Item>& items, bool deflate,
                       const std::string& password);
// The password a script gives in ARCHIVER_PASSWORD; empty when unset.
std::string ArchivePassword();

// Extracts with the readers of kind, with no window (the self-extracting program, tests):
// true when every entry was extracted; false for Kind::None or any failure.
bool ExtractArchive(Kind kind, const std::string& archive, const ExtractOptions& options);

// Shift-JIS-safe name helpers (helpers.cpp). Every scan steps over double-byte characters,
// whose trail byte may be 0x5C ('\\').
bool IsLeadByte(unsigned char c);  // 0x81-0x9F, 0xE0-0xFC
// name with every single-byte `from` replaced by `to`; trail bytes are left alone.
std::string ReplaceSeparators(const std::string& name, char from, char to);
// Index of the last '\\' or '/' that is a character of its own, or std::string::npos.
size_t LastSeparatorIndex(const std::string& path);

}  // namespace standin
