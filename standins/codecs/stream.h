// The byte streams the stand-ins' own codecs read from and write to. The codecs are pure
// code over these: they know nothing of files or Windows, so they build natively too (for
// the fuzz targets and the native tests).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace standin {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to size bytes into buffer; got receives how many (0 only at the end).
    // False when the source itself fails (a read error); got is then 0.
    virtual bool read(void* buffer, size_t size, size_t& got) = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when the bytes cannot be taken (a full disk, a cancelled job): the codec then
    // stops and reports the failure.
    virtual bool write(const void* data, size_t size) = 0;
};

// A source over bytes in memory, and a sink that appends to a string: for tests and for
// small pieces such as headers.
class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, size_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    bool read(void* buffer, size_t size, size_t& got) override {
        got = size < size_ - at_ ? size : size_ - at_;
        for (size_t i = 0; i < got; ++i) static_cast<unsigned char*>(buffer)[i] = data_[at_ + i];
        at_ += got;
        return true;
    }

private:
    const unsigned char* data_;
    size_t size_;
    size_t at_ = 0;
};

// A sink that keeps nothing and counts what it took; it refuses once the count reaches
// limit (a full disk, or a bomb cut short). CountingSink(0) refuses everything.
class CountingSink : public ByteSink {
public:
    explicit CountingSink(uint64_t limit = UINT64_MAX) : limit_(limit) {}
    bool write(const void*, size_t size) override {
        total += size;
        return total < limit_;
    }
    uint64_t total = 0;

private:
    uint64_t limit_;
};

class StringSink : public ByteSink {
public:
    bool write(const void* data, size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string bytes;
};

}  // namespace standin
