// Reads ARJ archives from a forward-only ByteSource: the main header (found behind a
// self-extracting stub too), then each entry's local header, and decodes an entry's data
// (method 0 stored, 1-3 LZ77 with static Huffman coding, 4 the bit-coded LZ77) with its
// CRC-32 checked. libarchive has no ARJ reader, so this is the stand-in's own.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "standins/codecs/codec_status.h"

namespace standin {

namespace arj_detail {
struct Input;    // buffered reading of the archive
struct Decoder;  // the window and tables of methods 1-4
}  // namespace arj_detail

enum class ArjFileType : uint8_t {
    binary = 0,
    text = 1,         // 7-bit text; the data is stored as it was, nothing is converted
    comment = 2,      // only the main header has this type
    directory = 3,
    volumeLabel = 4,
    chapter = 5,
};

struct ArjArchiveInfo {
    std::string name;     // the archive's name as stored in the main header
    std::string comment;
    uint8_t hostOs = 0;
    uint8_t flags = 0;
    uint32_t created = 0;  // MS-DOS date and time
};

struct ArjEntry {
    // The name as stored, byte for byte (Shift-JIS arrives unchanged). '/' separates
    // folders: arj writes it on every host, and on MS-DOS and Windows marks with
    // pathSeparatorsTranslated() that it turned backslashes into '/'. Only an old MS-DOS
    // archive without that mark may separate with 0x5C, and then only outside a double-byte
    // character: 0x5C is also a Shift-JIS trail byte.
    std::string name;
    std::string comment;
    uint16_t fileNameAt = 0;  // where the last component begins in name (0 without a path)
    uint8_t method = 0;
    ArjFileType fileType = ArjFileType::binary;
    uint8_t hostOs = 0;   // 0 MS-DOS, 2 Unix, 10 Windows, ...
    uint8_t flags = 0;
    uint32_t dosTime = 0;  // MS-DOS date (high word) and time (low word), local time
    uint32_t packedSize = 0;
    uint32_t originalSize = 0;
    uint32_t crc32 = 0;
    uint16_t attributes = 0;  // MS-DOS attributes, or Unix mode bits from a Unix host

    bool garbled() const { return (flags & 0x01) != 0; }
    // Continues in the next volume (0x04) or starts in the previous one (0x08).
    bool multiVolume() const { return (flags & 0x0C) != 0; }
    bool pathSeparatorsTranslated() const { return (flags & 0x10) != 0; }
};

class ArjReader {
public:
    explicit ArjReader(ByteSource& source);
    ~ArjReader();
    ArjReader(const ArjReader&) = delete;
    ArjReader& operator=(const ArjReader&) = delete;

    // Finds the first valid main header, skipping a stub in front. Returns ok, notArchive,
    // truncated, sourceFailed or outOfMemory.
    CodecStatus open();
    const ArjArchiveInfo& archive() const { return archive_; }

    // Moves to the next entry, skipping the data of the current one if it was not
    // extracted. Returns ok, end at the end mark, or truncated / corruptHeader /
    // sourceFailed (the walk then stops: every later call returns the same status).
    CodecStatus next(ArjEntry& entry);

    // Decodes the current entry's data to sink and checks its size and CRC-32. Returns ok,
    // unsupportedMethod, encrypted, multiVolume (nothing written), or truncated,
    // corruptData, crcMismatch, sinkRefused, sourceFailed. Either way the next call to
    // next() finds the following header, unless the input itself ended.
    CodecStatus extract(ByteSink& sink);

private:
    CodecStatus readHeader(bool mainHeader, std::string& basic);
    CodecStatus extractCurrent(ByteSink& sink);
    CodecStatus skipData();
    CodecStatus fail(CodecStatus status);

    std::unique_ptr<arj_detail::Input> in_;
    std::unique_ptr<arj_detail::Decoder> decoder_;  // made on the first compressed entry
    ArjArchiveInfo archive_;
    ArjEntry current_;
    uint64_t dataLeft_ = 0;  // unread bytes of the current entry's data
    bool opened_ = false;
    bool haveEntry_ = false;
    CodecStatus stopped_ = CodecStatus::ok;  // set once the walk cannot go on
};

}  // namespace standin
