// What the stand-ins' own decoders report, the random-access input the ZIP directory reader
// needs, and the small stream adapters shared by the decoders. Pure code: no Windows, no
// files, no exceptions.
#pragma once
#include <cstddef>
#include <cstdint>

#include "standins/codecs/stream.h"

namespace standin {

// One status per way a decoder can stop, so the caller can name the reason in its message.
enum class CodecStatus {
    ok,
    end,                // no more entries
    notArchive,         // no valid archive header (after any self-extracting stub)
    truncated,          // the input ended inside a header or inside an entry's data
    corruptHeader,      // a header is malformed or fails its CRC
    corruptData,        // compressed data that cannot be decoded, or more/less than declared
    crcMismatch,        // decoded completely, but the CRC-32 differs from the stored one
    unsupportedMethod,  // a compression method this code does not decode
    encrypted,          // garbled (ARJ) or encrypted (ZIP) data: no password support here
    multiVolume,        // the entry continues in or comes from another volume
    sinkRefused,        // the ByteSink said no (a full disk, a cancelled job)
    sourceFailed,       // the ByteSource or RandomAccess reported a read error
    outOfMemory,        // the decoder's window or tables could not be allocated
};

// A short English name for logs and test output ("crc mismatch"); messages shown to the user
// are the caller's own.
const char* describeStatus(CodecStatus status);

// Random access to a whole archive: the ZIP directory lives at its end.
class RandomAccess {
public:
    virtual ~RandomAccess() = default;
    virtual uint64_t size() const = 0;
    // Reads exactly size bytes at offset. False when the range passes the end or the read
    // fails; the buffer's contents are then unspecified.
    virtual bool readAt(uint64_t offset, void* buffer, size_t size) = 0;
};

class MemoryRandomAccess : public RandomAccess {
public:
    MemoryRandomAccess(const void* data, size_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* buffer, size_t size) override;

private:
    const unsigned char* data_;
    size_t size_;
};

// A ByteSource over [offset, offset + length) of a RandomAccess: an entry's compressed data.
// A range that passes the end of the archive reads as far as the archive goes, then ends.
class RangeSource : public ByteSource {
public:
    RangeSource(RandomAccess& archive, uint64_t offset, uint64_t length)
        : archive_(archive), at_(offset), left_(length) {}
    bool read(void* buffer, size_t size, size_t& got) override;

private:
    RandomAccess& archive_;
    uint64_t at_;
    uint64_t left_;
};

// Passes bytes on to another sink and keeps their count and CRC-32 (zlib's polynomial).
class CrcSink : public ByteSink {
public:
    explicit CrcSink(ByteSink& next) : next_(next) {}
    bool write(const void* data, size_t size) override;
    uint32_t crc() const { return crc_; }
    uint64_t count() const { return count_; }

private:
    ByteSink& next_;
    uint32_t crc_ = 0;
    uint64_t count_ = 0;
};

}  // namespace standin
