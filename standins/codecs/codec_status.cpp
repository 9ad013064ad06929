#include "standins/codecs/codec_status.h"

#include <cstring>

#include <zlib.h>

namespace standin {

const char* describeStatus(CodecStatus status) {
    switch (status) {
    case CodecStatus::ok: return "ok";
    case CodecStatus::end: return "end";
    case CodecStatus::notArchive: return "not an archive";
    case CodecStatus::truncated: return "truncated";
    case CodecStatus::corruptHeader: return "corrupt header";
    case CodecStatus::corruptData: return "corrupt data";
    case CodecStatus::crcMismatch: return "crc mismatch";
    case CodecStatus::unsupportedMethod: return "unsupported method";
    case CodecStatus::encrypted: return "encrypted";
    case CodecStatus::multiVolume: return "multi-volume";
    case CodecStatus::sinkRefused: return "sink refused";
    case CodecStatus::sourceFailed: return "source failed";
    case CodecStatus::outOfMemory: return "out of memory";
    }
    return "unknown";
}

bool MemoryRandomAccess::readAt(uint64_t offset, void* buffer, size_t size) {
    if (offset > size_ || size > size_ - offset) return false;
    if (size != 0) std::memcpy(buffer, data_ + offset, size);
    return true;
}

bool RangeSource::read(void* buffer, size_t size, size_t& got) {
    got = 0;
    uint64_t available = archive_.size() > at_ ? archive_.size() - at_ : 0;
    uint64_t want = size;
    if (want > left_) want = left_;
    if (want > available) want = available;
    if (want == 0) return true;
    if (!archive_.readAt(at_, buffer, static_cast<size_t>(want))) return false;
    at_ += want;
    left_ -= want;
    got = static_cast<size_t>(want);
    return true;
}

bool CrcSink::write(const void* data, size_t size) {
    // zlib's crc32 takes a uInt length: feed it in pieces that fit.
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t done = 0; done < size;) {
        size_t piece = size - done < 0x40000000u ? size - done : 0x40000000u;
        crc_ = static_cast<uint32_t>(crc32(crc_, bytes + done, static_cast<uInt>(piece)));
        done += piece;
    }
    count_ += size;
    return next_.write(data, size);
}

}  // namespace standin
