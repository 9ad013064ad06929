// The files under the stand-ins' archive writers: inputs read in fixed pieces and an archive
// written to a temporary name beside its real one, renamed into place only when whole. No
// file is ever held whole in memory, so a 3 GiB input costs what a 3 KiB one does.
#pragma once
#include <cstdint>
#include <string>

#include "standins/codecs/stream.h"
#include "standins/core/formats.h"

namespace standin {

// A file to pack, read from start to end. path is in UTF-8 and opened by its Unicode name.
class InputFile : public ByteSource {
public:
    explicit InputFile(const std::string& path);
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    bool opened() const;
    // The file's size now; false when it cannot be read.
    bool size(uint64_t& bytes) const;
    bool read(void* buffer, size_t size, size_t& got) override;

private:
    void* handle_;  // a HANDLE; void* keeps <windows.h> out of this header
};

// The archive being written. Bytes go out through a buffer of its own; the header fields
// known only at the end are patched in place. Unless commit() succeeds, the temporary file
// is deleted and whatever stood under the archive's name stays as it was.
class ArchiveOutput : public ByteSink {
public:
    explicit ArchiveOutput(const std::string& archive);
    ~ArchiveOutput() override;
    ArchiveOutput(const ArchiveOutput&) = delete;
    ArchiveOutput& operator=(const ArchiveOutput&) = delete;

    bool opened() const;
    bool write(const void* data, size_t size) override;
    uint64_t position() const { return written_ + buffered_; }
    // Overwrites size bytes at offset, which lies before position().
    bool patch(uint64_t offset, const void* data, size_t size);
    // Drops everything from offset on (an entry to be written again another way).
    bool truncate(uint64_t offset);
    // Flushes, closes and renames the temporary file over the archive's name.
    bool commit();
    // The failure behind the last false: the disk was full, or another write error.
    WriteError error() const { return error_; }

private:
    bool flush();
    bool seekTo(uint64_t offset);
    bool fail();

    std::string archive_;
    std::string temp_;
    void* handle_;
    std::string buffer_;
    size_t buffered_ = 0;
    uint64_t written_ = 0;  // bytes in the file, before the buffer
    bool committed_ = false;
    WriteError error_ = WriteError::none;
};

// The progress and cancellation of one writer's run: each call reports the bytes read so
// far; false once the user cancelled. passes: how often the writer reads each input.
class WriteProgress {
public:
    explicit WriteProgress(const WriteJob& job, unsigned passes = 1);
    bool advance(const std::string& entry, uint64_t bytes);
    bool begin(const std::string& entry) { return advance(entry, 0); }

private:
    const WriteJob& job_;
    uint64_t total_ = 0;
    uint64_t done_ = 0;
};

// Raw deflate (ZIP) or gzip (windowBits 31) at a level, passed on to the next sink.
class DeflateSink : public ByteSink {
public:
    DeflateSink(ByteSink& next, int level, int windowBits);
    ~DeflateSink() override;
    DeflateSink(const DeflateSink&) = delete;
    DeflateSink& operator=(const DeflateSink&) = delete;
    bool write(const void* data, size_t size) override;
    // Ends the stream. After a false from either: outOfMemory() tells zlib's failure from the
    // next sink's.
    bool finish();
    bool outOfMemory() const { return outOfMemory_; }

private:
    bool pump(int flush);
    struct Stream;
    Stream* z_;
    ByteSink& next_;
    bool outOfMemory_ = false;
};

// Reads input to its end into sink piece by piece, advancing progress under entry. With
// expected other than kAnySize, an input that ends sooner or goes on longer is `changed`
// (a header already declared its size). Afterwards size holds the bytes read and crc their
// CRC-32. On false, error says what failed: cannotRead, changed, cancelled, or none when the
// sink refused (the caller knows why).
const uint64_t kAnySize = ~0ull;
bool CopyInput(ByteSource& input, ByteSink& sink, WriteProgress& progress,
               const std::string& entry, uint64_t expected, uint64_t& size, uint32_t& crc,
               WriteError& error);

// The piece size in which inputs are read and compressed.
const size_t kWriteChunk = 1 << 16;

}  // namespace standin
