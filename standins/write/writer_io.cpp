#include "standins/write/writer_io.h"

#include <windows.h>

#include <zlib.h>

#include <cstring>
#include <vector>

#include "standins/core/names.h"

namespace standin {
namespace {

const size_t kOutputBuffer = 1 << 18;

HANDLE AsHandle(void* h) {
    return static_cast<HANDLE>(h);
}

bool Valid(void* h) {
    return h != INVALID_HANDLE_VALUE && h != nullptr;
}

}  // namespace

InputFile::InputFile(const std::string& path)
    // Shared for writing too: a log another program keeps open can still be packed.
    : handle_(CreateFileW(ExtendedPath(path).data(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {}

InputFile::~InputFile() {
    if (Valid(handle_)) CloseHandle(AsHandle(handle_));
}

bool InputFile::opened() const {
    return Valid(handle_);
}

bool InputFile::size(uint64_t& bytes) const {
    LARGE_INTEGER n;
    if (!opened() || !GetFileSizeEx(AsHandle(handle_), &n)) return false;
    bytes = static_cast<uint64_t>(n.QuadPart);
    return true;
}

bool InputFile::read(void* buffer, size_t size, size_t& got) {
    got = 0;
    if (!opened()) return false;
    DWORD n = 0;
    DWORD want = size > (1u << 24) ? (1u << 24) : static_cast<DWORD>(size);
    if (!ReadFile(AsHandle(handle_), buffer, want, &n, nullptr)) return false;
    got = n;
    return true;
}

ArchiveOutput::ArchiveOutput(const std::string& archive)
    : archive_(archive), temp_(archive + ".~zbtmp"), buffer_(kOutputBuffer, '\0') {
    handle_ = CreateFileA(temp_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!Valid(handle_)) error_ = WriteError::cannotWrite;
}

ArchiveOutput::~ArchiveOutput() {
    if (Valid(handle_)) CloseHandle(AsHandle(handle_));
    if (!committed_) DeleteFileA(temp_.c_str());
}

bool ArchiveOutput::opened() const {
    return Valid(handle_);
}

bool ArchiveOutput::fail() {
    DWORD code = GetLastError();
    error_ = (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL) ? WriteError::diskFull
                                                                          : WriteError::cannotWrite;
    return false;
}

bool ArchiveOutput::flush() {
    const char* p = buffer_.data();
    size_t left = buffered_;
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(AsHandle(handle_), p, static_cast<DWORD>(left), &written, nullptr) ||
            written == 0)
            return fail();
        p += written;
        left -= written;
        written_ += written;
    }
    buffered_ = 0;
    return true;
}

bool ArchiveOutput::write(const void* data, size_t size) {
    if (!opened() || error_ != WriteError::none) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        size_t room = buffer_.size() - buffered_;
        size_t n = size < room ? size : room;
        memcpy(&buffer_[buffered_], p, n);
        buffered_ += n;
        p += n;
        size -= n;
        if (buffered_ == buffer_.size() && !flush()) return false;
    }
    return true;
}

bool ArchiveOutput::seekTo(uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN)) return fail();
    return true;
}

bool ArchiveOutput::patch(uint64_t offset, const void* data, size_t size) {
    if (!opened() || error_ != WriteError::none || offset + size > position()) return false;
    if (offset >= written_) {
        // Still in the buffer.
        memcpy(&buffer_[static_cast<size_t>(offset - written_)], data, size);
        return true;
    }
    if (!flush() || !seekTo(offset)) return false;
    DWORD done = 0;
    if (!WriteFile(AsHandle(handle_), data, static_cast<DWORD>(size), &done, nullptr) ||
        done != size)
        return fail();
    return seekTo(written_);
}

bool ArchiveOutput::truncate(uint64_t offset) {
    if (!opened() || error_ != WriteError::none || offset > position()) return false;
    if (offset >= written_) {
        buffered_ = static_cast<size_t>(offset - written_);
        return true;
    }
    buffered_ = 0;
    if (!seekTo(offset) || !SetEndOfFile(AsHandle(handle_))) return fail();
    written_ = offset;
    return true;
}

bool ArchiveOutput::commit() {
    if (!opened() || error_ != WriteError::none || !flush()) return false;
    CloseHandle(AsHandle(handle_));
    handle_ = INVALID_HANDLE_VALUE;
    // Explorer (Wine's desktop too), indexers and virus scanners open a new or just-deleted
    // file for a moment; the rename onto its name fails meanwhile, so it is tried again for
    // up to about two seconds before the write counts as failed.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(temp_.c_str(), archive_.c_str(), MOVEFILE_REPLACE_EXISTING)) break;
        DWORD error = GetLastError();
        if (attempt == 20 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
            error_ = WriteError::cannotWrite;
            return false;
        }
        Sleep(100);
    }
    committed_ = true;
    return true;
}

WriteProgress::WriteProgress(const WriteJob& job, unsigned passes) : job_(job) {
    for (const Item& item : job.items) total_ += item.size * passes;
}

bool WriteProgress::advance(const std::string& entry, uint64_t bytes) {
    // An input stored after all is read once more than counted; the bar just stays full.
    done_ = bytes > total_ - done_ ? total_ : done_ + bytes;
    return !job_.progress || job_.progress(entry, done_, total_);
}

struct DeflateSink::Stream {
    z_stream z{};
    bool ready = false;
    std::vector<unsigned char> out = std::vector<unsigned char>(kWriteChunk);
};

DeflateSink::DeflateSink(ByteSink& next, int level, int windowBits)
    : z_(new Stream), next_(next) {
    z_->ready = deflateInit2(&z_->z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    outOfMemory_ = !z_->ready;
}

DeflateSink::~DeflateSink() {
    if (z_->ready) deflateEnd(&z_->z);
    delete z_;
}

bool DeflateSink::pump(int flush) {
    for (;;) {
        z_->z.next_out = z_->out.data();
        z_->z.avail_out = static_cast<uInt>(z_->out.size());
        int rc = deflate(&z_->z, flush);
        if (rc == Z_STREAM_ERROR) {
            outOfMemory_ = true;
            return false;
        }
        size_t made = z_->out.size() - z_->z.avail_out;
        if (made > 0 && !next_.write(z_->out.data(), made)) return false;
        if (flush == Z_FINISH ? rc == Z_STREAM_END : z_->z.avail_out != 0) return true;
    }
}

bool DeflateSink::write(const void* data, size_t size) {
    if (!z_->ready) return false;
    const Bytef* p = static_cast<const Bytef*>(data);
    while (size > 0) {
        uInt n = size > (1u << 30) ? (1u << 30) : static_cast<uInt>(size);
        z_->z.next_in = const_cast<Bytef*>(p);
        z_->z.avail_in = n;
        if (!pump(Z_NO_FLUSH)) return false;
        p += n;
        size -= n;
    }
    return true;
}

bool DeflateSink::finish() {
    if (!z_->ready) return false;
    z_->z.next_in = nullptr;
    z_->z.avail_in = 0;
    return pump(Z_FINISH);
}

bool CopyInput(ByteSource& input, ByteSink& sink, WriteProgress& progress,
               const std::string& entry, uint64_t expected, uint64_t& size, uint32_t& crc,
               WriteError& error) {
    std::vector<unsigned char> buffer(kWriteChunk);
    size = 0;
    uLong sum = crc32(0L, Z_NULL, 0);
    error = WriteError::none;
    for (;;) {
        size_t want = buffer.size();
        // One byte past the expected end tells a file that grew from one that ended.
        if (expected != kAnySize && expected - size < want) want = expected - size + 1;
        size_t got = 0;
        if (!input.read(buffer.data(), want, got)) {
            error = WriteError::cannotRead;
            return false;
        }
        if (got == 0) break;
        if (expected != kAnySize && got > expected - size) {
            error = WriteError::changed;
            return false;
        }
        sum = crc32(sum, buffer.data(), static_cast<uInt>(got));
        size += got;
        if (!sink.write(buffer.data(), got)) return false;
        if (!progress.advance(entry, got)) {
            error = WriteError::cancelled;
            return false;
        }
    }
    if (expected != kAnySize && size != expected) {
        error = WriteError::changed;
        return false;
    }
    crc = static_cast<uint32_t>(sum);
    return true;
}

}  // namespace standin
