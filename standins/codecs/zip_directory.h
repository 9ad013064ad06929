// Walks a ZIP archive's central directory: the stand-in uses it to find the entries
// libarchive refuses (Deflate64) and to decode them itself, and to refuse entries whose data
// overlap before anything is extracted. Handles a self-extracting stub in front (offsets
// stored relative to the archive rather than to the file) and ZIP64.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "standins/codecs/codec_status.h"

namespace standin {

struct ZipEntry {
    std::string name;         // bytes as stored: code-page bytes, or UTF-8 when utf8()
    uint16_t versionMadeBy = 0;
    uint16_t flags = 0;       // general-purpose bit flags
    uint16_t method = 0;      // 0 stored, 8 deflate, 9 deflate64, 12 bzip2, 14 LZMA, ...
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc32 = 0;
    uint64_t packedSize = 0;  // with the ZIP64 extra field applied
    uint64_t originalSize = 0;
    uint64_t localHeaderOffset = 0;  // in the file, the stub's length already added
    uint32_t externalAttributes = 0;

    bool encrypted() const { return (flags & 0x0001) != 0; }
    bool hasDataDescriptor() const { return (flags & 0x0008) != 0; }
    bool utf8() const { return (flags & 0x0800) != 0; }
    bool isDirectory() const { return !name.empty() && name.back() == '/'; }
};

class ZipDirectory {
public:
    explicit ZipDirectory(RandomAccess& archive) : archive_(archive) {}

    // Finds the end-of-central-directory record (and the ZIP64 locator and record when
    // present) and goes to the first entry. Returns ok, notArchive, corruptHeader,
    // multiVolume (a split archive), sourceFailed or outOfMemory.
    CodecStatus open();

    // The number of entries the directory claims; next() does not trust it further than
    // the directory's bytes go.
    uint64_t declaredCount() const { return count_; }
    // Bytes in front of the archive (a self-extracting stub), added to every stored offset.
    uint64_t stubLength() const { return shift_; }

    // Reads the next central-directory entry: ok, end after the last one, or truncated /
    // corruptHeader / sourceFailed (entry then unspecified, and the walk stops). The walk
    // goes by the directory's bytes, as libarchive's does: past the declared count when more
    // entries follow (a count of 16 bits wraps past 65,535 entries), up to it otherwise.
    CodecStatus next(ZipEntry& entry);

    // Reads entry's local header and gives where its compressed data begins in the file.
    // Returns ok, corruptHeader (no local header there), truncated (the data would pass
    // the end of the file) or sourceFailed.
    CodecStatus locateData(const ZipEntry& entry, uint64_t& dataOffset);

    // Decodes a stored (0) or Deflate64 (9) entry to sink and checks its size and CRC-32:
    // the entries libarchive cannot read. Returns ok, encrypted, unsupportedMethod (any
    // other method), what locateData and inflate64 return, crcMismatch, or corruptData
    // when the data is shorter than the declared size.
    CodecStatus extract(const ZipEntry& entry, ByteSink& sink);

    // The directory's bytes in the file: [directoryStart(), directoryEnd()).
    uint64_t directoryStart() const { return directoryAt_; }
    uint64_t directoryEnd() const { return directoryEnd_; }

private:
    RandomAccess& archive_;
    uint64_t count_ = 0;
    uint64_t shift_ = 0;
    uint64_t directoryAt_ = 0;   // file offset of the first entry
    uint64_t directoryEnd_ = 0;  // file offset just past the last entry
    uint64_t cursor_ = 0;
    uint64_t seen_ = 0;
    bool open_ = false;
};

// One entry of the whole directory and the bytes of the file it takes: from its local
// header to the end of its compressed data (the data descriptor after it is not counted).
struct ZipSpan {
    ZipEntry entry;
    uint64_t dataOffset = 0;  // where the compressed data begins
    uint64_t end = 0;         // just past it
    bool located = false;     // false: no local header there (only its 30 bytes are counted)
};

// Reads every entry of an opened directory in one pass, each local header included, sorted
// by local header offset: the order in which libarchive's seekable ZIP reader walks them.
// Returns end when the whole directory was read, or the status that stopped the walk (the
// entries before it are kept).
CodecStatus ReadZipSpans(ZipDirectory& directory, std::vector<ZipSpan>& spans);

// How many entries of sorted spans share bytes with another entry or with the central
// directory: the overlapping-entry bomb (many entries over one stream) and the crafted
// archives like it. 0 for an honest archive.
size_t CountOverlapping(const std::vector<ZipSpan>& spans, uint64_t directoryStart,
                        uint64_t directoryEnd);

}  // namespace standin
