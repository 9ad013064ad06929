// TAR written as a stream (ustar, with GNU long names and GNU base-256 sizes), plain, in
// gzip at level 6 or in bzip2 at level 9. Names are Shift-JIS bytes in the ustar header, as
// the family's Japanese programs read them; a name the code page cannot hold goes in UTF-8
// in a pax extended header before its entry.
#include <windows.h>

#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "standins/core/formats.h"
#include "standins/core/names.h"
#include "standins/write/writer_io.h"
#include "standins/tar/tar.h"

namespace standin {
namespace {

const size_t kBlock = 512;
const uint64_t kMaxOctalSize = 077777777777ull;  // what 11 octal digits hold
const char kZeros[kBlock] = {};

void PutField(char* header, size_t at, size_t width, const std::string& text) {
    memcpy(header + at, text.data(), text.size() < width ? text.size() : width);
}

// width-1 zero-padded octal digits and a NUL, as ustar writes numbers.
void PutOctal(char* header, size_t at, size_t width, uint64_t value) {
    for (size_t i = width - 1; i-- > 0;) {
        header[at + i] = static_cast<char>('0' + (value & 7));
        value >>= 3;
    }
    header[at + width - 1] = '\0';
}

uint32_t Checksum(const char* header) {
    uint32_t sum = 0;
    for (size_t i = 0; i < kBlock; ++i) {
        sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(header[i]);
    }
    return sum;
}

// Past 8 GiB, GNU tar's base-256 form: the high bit of the first byte, then the number
// big-endian.
void PutSize(char* header, uint64_t size) {
    if (size <= kMaxOctalSize) {
        PutOctal(header, 124, 12, size);
        return;
    }
    for (int i = 11; i >= 1; --i, size >>= 8) header[124 + i] = static_cast<char>(size & 0xFF);
    header[124] = static_cast<char>(0x80);
}

void AppendHeader(std::string& tar, const std::string& name, char type, uint64_t size,
                  uint32_t mode, uint32_t mtime) {
    char header[kBlock] = {};
    PutField(header, 0, 100, name);
    PutOctal(header, 100, 8, mode);
    PutOctal(header, 108, 8, 0);
    PutOctal(header, 116, 8, 0);
    PutSize(header, size);
    PutOctal(header, 136, 12, mtime);
    header[156] = type;
    memcpy(header + 257, "ustar", 6);
    memcpy(header + 263, "00", 2);
    PutOctal(header, 148, 7, Checksum(header));
    header[155] = ' ';
    tar.append(header, kBlock);
}

void AppendPadded(std::string& tar, const std::string& data) {
    tar += data;
    tar.append((kBlock - data.size() % kBlock) % kBlock, '\0');
}

// A name longer than the header's 100 bytes goes first as a GNU "././@LongLink" entry.
void AppendEntry(std::string& tar, const std::string& name, char type, uint64_t size,
                 uint32_t mode, uint32_t mtime) {
    if (name.size() > 100) {
        AppendHeader(tar, "././@LongLink", 'L', name.size() + 1, 0, 0);
        AppendPadded(tar, name + '\0');
    }
    AppendHeader(tar, name, type, size, mode, mtime);
}

// One pax record, "<length> <key>=<value>\n", whose length counts its own digits.
std::string PaxRecord(const std::string& key, const std::string& value) {
    size_t rest = 1 + key.size() + 1 + value.size() + 1;
    size_t length = rest + std::to_string(rest).size();
    // Adding the digits can carry into one digit more (98 + 2 = 100).
    if (std::to_string(length).size() != std::to_string(rest).size())
        length = rest + std::to_string(length).size();
    return std::to_string(length) + " " + key + "=" + value + "\n";
}

// The first bytes of a code page text that fit width, never half a double-byte character.
std::string CutToField(const std::string& text, size_t width) {
    size_t end = 0;
    while (end < text.size()) {
        size_t next = end + (IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1);
        if (next > width || next > text.size()) break;
        end = next;
    }
    return text.substr(0, end);
}

// The entry for a UTF-8 name: in the code page it fits, or else behind a pax header with the
// UTF-8 path, which readers take over the ustar name (here the code page spelling with '_'
// for what it lacks, cut to the field, for readers that know no pax).
void AppendNamedEntry(std::string& tar, const std::string& utf8Name, char type, uint64_t size,
                      uint32_t mode, uint32_t mtime) {
    std::string name;
    if (Utf8FitsCodePage(utf8Name, &name)) {
        AppendEntry(tar, name, type, size, mode, mtime);
        return;
    }
    std::string shown = Utf8ToAnsiLossy(utf8Name);
    std::string records = PaxRecord("path", utf8Name);
    AppendHeader(tar, CutToField("PaxHeader/" + shown, 100), 'x', records.size(), 0644, mtime);
    AppendPadded(tar, records);
    AppendHeader(tar, CutToField(shown, 100), type, size, mode, mtime);
}

uint32_t ModeOf(const Item& item) {
    if (item.isDir) return 0755;
    return (item.attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
}

// bzip2 at level 9, passed on to the next sink.
class Bzip2Sink : public ByteSink {
public:
    explicit Bzip2Sink(ByteSink& next) : next_(next), out_(kWriteChunk) {
        ready_ = BZ2_bzCompressInit(&s_, 9, 0, 0) == BZ_OK;
    }
    ~Bzip2Sink() override {
        if (ready_) BZ2_bzCompressEnd(&s_);
    }
    Bzip2Sink(const Bzip2Sink&) = delete;
    Bzip2Sink& operator=(const Bzip2Sink&) = delete;

    bool write(const void* data, size_t size) override {
        if (!ready_) return false;
        s_.next_in = const_cast<char*>(static_cast<const char*>(data));
        s_.avail_in = static_cast<unsigned>(size);  // pieces of kWriteChunk at most
        while (s_.avail_in > 0) {
            if (!pump(BZ_RUN, BZ_RUN_OK)) return false;
        }
        return true;
    }
    bool finish() {
        if (!ready_) return false;
        for (;;) {
            int rc = 0;
            if (!pump(BZ_FINISH, BZ_FINISH_OK, &rc)) return rc == BZ_STREAM_END && flushed_;
        }
    }
    bool outOfMemory() const { return !ready_ || codecFailed_; }

private:
    // One call of the compressor and the output it made; false when it is done (rc then
    // BZ_STREAM_END) or failed.
    bool pump(int action, int goingOn, int* rcOut = nullptr) {
        s_.next_out = out_.data();
        s_.avail_out = static_cast<unsigned>(out_.size());
        int rc = BZ2_bzCompress(&s_, action);
        if (rcOut) *rcOut = rc;
        size_t made = out_.size() - s_.avail_out;
        flushed_ = made == 0 || next_.write(out_.data(), made);
        if (!flushed_) return false;
        if (rc == goingOn) return true;
        if (rc != BZ_STREAM_END) codecFailed_ = true;
        return false;
    }

    ByteSink& next_;
    bz_stream s_{};
    std::vector<char> out_;
    bool ready_ = false;
    bool flushed_ = true;
    bool codecFailed_ = false;
};

}  // namespace

WriteResult WriteTarArchive(const WriteJob& job, TarFilter filter) {
    WriteResult result;
    ArchiveOutput out(job.archive);
    if (!out.opened()) {
        result.error = WriteError::cannotWrite;
        return result;
    }
    std::unique_ptr<DeflateSink> gzip;
    std::unique_ptr<Bzip2Sink> bzip2;
    ByteSink* sink = &out;
    if (filter == TarFilter::gzip) {
        gzip.reset(new DeflateSink(out, 6, MAX_WBITS + 16));  // 16 more: the gzip wrapper
        sink = gzip.get();
    } else if (filter == TarFilter::bzip2) {
        bzip2.reset(new Bzip2Sink(out));
        sink = bzip2.get();
    }
    // When the sink refuses, the compressor or the file behind it is to blame.
    auto sinkError = [&]() {
        if ((gzip && gzip->outOfMemory()) || (bzip2 && bzip2->outOfMemory()))
            return WriteError::outOfMemory;
        return out.error() != WriteError::none ? out.error() : WriteError::cannotWrite;
    };
    auto fail = [&](WriteError error, const std::string& entry) {
        result.error = error == WriteError::none ? sinkError() : error;
        result.entry = entry;
        return result;
    };

    WriteProgress progress(job);
    for (const Item& item : job.items) {
        if (!progress.begin(item.name)) return fail(WriteError::cancelled, item.name);
        std::string name = item.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        uint32_t mtime = DosTimeToUnix(item.dosTime);
        std::string header;
        if (item.isDir) {
            if (name.empty() || name.back() != '/') name += '/';
            AppendNamedEntry(header, name, '5', 0, ModeOf(item), mtime);
            if (!sink->write(header.data(), header.size())) return fail(WriteError::none, item.name);
            continue;
        }
        // The header declares the size the file has as it is opened; the data must match.
        InputFile input(item.sourcePath);
        uint64_t declared = 0;
        if (!input.opened() || !input.size(declared)) return fail(WriteError::cannotRead, item.name);
        AppendNamedEntry(header, name, '0', declared, ModeOf(item), mtime);
        if (!sink->write(header.data(), header.size())) return fail(WriteError::none, item.name);
        uint64_t size = 0;
        uint32_t crc = 0;
        WriteError error;
        if (!CopyInput(input, *sink, progress, item.name, declared, size, crc, error))
            return fail(error, item.name);
        size_t pad = static_cast<size_t>((kBlock - size % kBlock) % kBlock);
        if (!sink->write(kZeros, pad)) return fail(WriteError::none, item.name);
    }
    bool ended = sink->write(kZeros, kBlock) && sink->write(kZeros, kBlock);
    if (ended && gzip) ended = gzip->finish();
    if (ended && bzip2) ended = bzip2->finish();
    if (!ended || !out.commit()) return fail(WriteError::none, std::string());
    return result;
}

bool WriteTar(const std::string& archive, const std::vector<Item>& items, bool gzip) {
    WriteJob job;
    job.archive = archive;
    job.items = items;
    return WriteTarArchive(job, gzip ? TarFilter::gzip : TarFilter::none).ok();
}

}  // namespace standin
