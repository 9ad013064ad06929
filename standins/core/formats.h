// The archive formats the stand-in archiver DLLs read and write.
// The archive's and the destination's paths are in the system code page (Shift-JIS under a
// Japanese locale), as the command texts give them. The files to pack are named in UTF-8 and
// opened with the wide API; each writer stores a name in the code page when it fits and
// otherwise the way its format records Unicode.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace standin {

enum class Kind {
    None, Lzh, Zip, Cab, Rar, Arj, Tar, Gzip, Bzip2, Xz, Compress,
    Zstd, Lz4, Lzip, SevenZip, Iso, Cpio, Deb
};

// Looks at the file's content, never at its name, and at its first header only. Gzip,
// Bzip2, Xz, Compress, Zstd, Lz4 and Lzip mean any such stream (a compressed tar or a single
// file). Deb is an ar archive whose first member is "debian-binary"; other ar archives
// (static libraries) are None.
Kind DetectKind(const std::string& path);
// The same for the length bytes of path from offset (an archive inside another file).
Kind DetectKindIn(const std::string& path, uint64_t offset, uint64_t length);

// One thing to put into an archive.
struct Item {
    std::string name;        // name inside the archive in UTF-8, '\\'-separated, relative
    std::string sourcePath;  // file on disk in UTF-8 (opened with the wide API); empty for a
                             // directory entry
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



// Shared by the extractors (core/common.cpp). Entry names and the paths made of them are
// UTF-8 here, as the engine holds them; the disk is reached with the wide API.
// Joins destDir and a decoded entry name ('/' or '\\' separated) into out. A component
// Windows cannot hold is mapped: each of <>:"|?* and control characters becomes '_',
// trailing dots and spaces go, a device name (CON, NUL, COM1 ...) gets '_' in front; mapped
// says whether anything changed. False when the name is empty, absolute, has a drive or a
// ".." component: those would leave the destination and are refused.
bool SafeJoin(const std::string& destDir, const std::string& name, std::string& out,
              bool* mapped = nullptr);
// Creates every missing directory along a UTF-8 path up to its last separator.
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



// Shift-JIS-safe name helpers (core/helpers.cpp). Every scan steps over double-byte characters,
// whose trail byte may be 0x5C ('\\').
bool IsLeadByte(unsigned char c);  // 0x81-0x9F, 0xE0-0xFC
// name with every single-byte `from` replaced by `to`; trail bytes are left alone.
std::string ReplaceSeparators(const std::string& name, char from, char to);
// Index of the last '\\' or '/' that is a character of its own, or std::string::npos.
size_t LastSeparatorIndex(const std::string& path);

}  // namespace standin
