#include "standins/codecs/arj_reader.h"

#include <cstring>
#include <new>

#include <zlib.h>

namespace standin {
namespace {

const size_t kMaxBasicHeader = 2600;  // the format's limit; arj itself refuses larger
const size_t kMinFirstHeader = 30;    // fixed fields up to the last chapter byte
const uint8_t kMainHeaderType = 2;

// Methods 1-3: Huffman-coded LZ77 over a 26 KiB window (no power of two).
const unsigned kWindow = 26624;
const unsigned kThreshold = 3;   // shortest match
const unsigned kNC = 255 + 256 + 2 - kThreshold;  // literals and match lengths
const unsigned kNP = 17;         // distance classes
const unsigned kNT = 19;         // code-length code
const unsigned kCBit = 9, kPBit = 5, kTBit = 5;
const unsigned kMaxCodeBits = 16;

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const unsigned char* p) { return le16(p) | static_cast<uint32_t>(le16(p + 2)) << 16; }

uint32_t crcOf(const unsigned char* data, size_t size) {
    return static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(size)));
}

// The fuzz target accepts any header CRC, so that mutated header fields reach the code
// behind the check. The entries' data CRC is checked in every build.
bool headerCrcMatches(uint32_t computed, uint32_t stored) {
#ifdef ZIBRAK_FUZZ_ACCEPT_HEADER_CRC
    (void)computed;
    (void)stored;
    return true;
#else
    return computed == stored;
#endif
}

}  // namespace

// Buffered forward reading with enough look-ahead to test a whole basic header in place, as
// the search for the main header behind a stub needs.
namespace arj_detail {

struct Input {
    explicit Input(ByteSource& s) : source(s) {}

    // Makes up to n (<= sizeof buffer) bytes available at data(); available() may stay below
    // n at the end of the input. False when the source failed.
    bool ensure(size_t n) {
        if (length - at >= n) return true;
        std::memmove(buffer, buffer + at, length - at);
        length -= at;
        at = 0;
        while (length < n && !ended) {
            size_t got = 0;
            if (!source.read(buffer + length, sizeof buffer - length, got)) return false;
            if (got == 0) ended = true;
            length += got;
        }
        return true;
    }
    size_t available() const { return length - at; }
    const unsigned char* data() const { return buffer + at; }
    void skip(size_t n) { at += n; }

    // Reads up to size bytes; got is 0 only at the end. False when the source failed.
    bool read(void* out, size_t size, size_t& got) {
        got = 0;
        if (at == length) {
            if (!ensure(1)) return false;
        }
        got = size < length - at ? size : length - at;
        std::memcpy(out, buffer + at, got);
        at += got;
        return true;
    }

    ByteSource& source;
    unsigned char buffer[8192];
    size_t at = 0;
    size_t length = 0;
    bool ended = false;
};

}  // namespace arj_detail

using arj_detail::Input;

namespace {

// MSB-first bits of one entry's data, limited to its packed size. Past the data it supplies
// zero bits so look-ups may peek ahead; consuming one of them is an error.
class ArjBits {
public:
    ArjBits(Input& in, uint64_t& left) : in_(in), left_(left) {}

    bool need(unsigned n) {  // false only when the source failed
        while (count_ < n) {
            uint64_t byte = 0;
            if (at_ == length_ && !fill()) return false;
            if (at_ < length_) {
                byte = buffer_[at_++];
            } else {
                padding_ += 8;
            }
            bits_ = bits_ << 8 | byte;
            count_ += 8;
        }
        return true;
    }
    uint32_t peek(unsigned n) const {
        return static_cast<uint32_t>((bits_ >> (count_ - n)) & ((1ull << n) - 1));
    }
    bool drop(unsigned n) {
        count_ -= n;
        return count_ >= padding_;
    }
    // Reads n (<= 16) bits into value, or gives the reason it cannot.
    CodecStatus bits(unsigned n, unsigned& value) {
        if (!need(n)) return CodecStatus::sourceFailed;
        value = peek(n);
        return drop(n) ? CodecStatus::ok : overrun();
    }
    // The status for bits consumed past the data: the archive ended, or the packed size was
    // too small for what the data says.
    CodecStatus overrun() const {
        return in_.ended && left_ == 0 && shortRead_ ? CodecStatus::truncated
                                                     : CodecStatus::corruptData;
    }

private:
    bool fill() {
        at_ = length_ = 0;
        if (left_ == 0) return true;
        size_t want = left_ < sizeof buffer_ ? static_cast<size_t>(left_) : sizeof buffer_;
        size_t got = 0;
        if (!in_.read(buffer_, want, got)) return false;
        if (got == 0) {
            shortRead_ = true;  // the archive ended inside the entry's data
            left_ = 0;
        }
        left_ -= got;
        length_ = got;
        return true;
    }

    Input& in_;
    uint64_t& left_;
    unsigned char buffer_[4096];
    size_t at_ = 0;
    size_t length_ = 0;
    uint64_t bits_ = 0;
    unsigned count_ = 0;
    unsigned padding_ = 0;
    bool shortRead_ = false;
};

// A canonical Huffman code read MSB-first, as arj's tables are built: codes are given in
// order of length, and within a length in order of symbol. A table of kFast bits serves the
// short codes; longer ones are decoded bit by bit.
template <unsigned kSymbols, unsigned kFast>
class ArjHuffman {
public:
    // A code of one symbol that takes no bits (the format's "n == 0" case).
    void single(unsigned symbol) {
        single_ = true;
        singleSymbol_ = static_cast<uint16_t>(symbol);
    }
    // False unless the lengths make a complete code, which arj itself insists on.
    bool build(const uint8_t* lengths) {
        single_ = false;
        std::memset(count_, 0, sizeof count_);
        for (unsigned i = 0; i < kSymbols; ++i) {
            if (lengths[i] > kMaxCodeBits) return false;
            ++count_[lengths[i]];
        }
        count_[0] = 0;
        long left = 1;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            left = left * 2 - count_[len];
            if (left < 0) return false;
        }
        if (left != 0) return false;
        uint16_t offsets[kMaxCodeBits + 2];
        offsets[1] = 0;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len)
            offsets[len + 1] = static_cast<uint16_t>(offsets[len] + count_[len]);
        for (unsigned i = 0; i < kSymbols; ++i)
            if (lengths[i] != 0) symbols_[offsets[lengths[i]]++] = static_cast<uint16_t>(i);
        std::memset(fast_, 0, sizeof fast_);
        unsigned code = 0, index = 0;
        for (unsigned len = 1; len <= kFast; ++len) {
            for (unsigned k = 0; k < count_[len]; ++k, ++code, ++index) {
                unsigned first = code << (kFast - len), span = 1u << (kFast - len);
                for (unsigned e = 0; e < span; ++e)
                    fast_[first + e] = static_cast<uint16_t>(symbols_[index] << 5 | len);
            }
            code <<= 1;
        }
        return true;
    }

    CodecStatus decode(ArjBits& in, unsigned& symbol) const {
        if (single_) {
            symbol = singleSymbol_;
            return CodecStatus::ok;
        }
        if (!in.need(kMaxCodeBits)) return CodecStatus::sourceFailed;
        uint16_t entry = fast_[in.peek(kFast)];
        unsigned len = entry & 31;
        if (entry != 0) {
            symbol = entry >> 5;
        } else {
            // The table was complete, so some longer code matches these bits.
            uint32_t bits = in.peek(kMaxCodeBits);
            long code = 0, first = 0, index = 0;
            for (len = 1;; ++len) {
                code |= (bits >> (kMaxCodeBits - len)) & 1;
                long count = count_[len];
                if (code - first < count) {
                    symbol = symbols_[index + code - first];
                    break;
                }
                index += count;
                first = (first + count) << 1;
                code <<= 1;
            }
        }
        return in.drop(len) ? CodecStatus::ok : in.overrun();
    }

private:
    bool single_ = false;
    uint16_t singleSymbol_ = 0;
    uint16_t count_[kMaxCodeBits + 1];
    uint16_t symbols_[kSymbols];
    uint16_t fast_[1u << kFast];
};

}  // namespace

namespace arj_detail {

// The window and the tables of one compressed entry, kept for the next.
struct Decoder {
    unsigned char window[kWindow];
    ArjHuffman<kNC, 12> literals;
    ArjHuffman<kNT, 8> lengthCode;
    ArjHuffman<kNT, 8> distances;  // kNP symbols used; sized for kNT, the larger
};

}  // namespace arj_detail

using arj_detail::Decoder;

namespace {

// Collects decoded bytes in the window and hands them on; refuses to go past the declared
// size, which is what ends the data (the format has no end mark).
class WindowOutput {
public:
    WindowOutput(unsigned char* window, ByteSink& sink, uint64_t size)
        : window_(window), sink_(sink), size_(size) {}

    bool done() const { return total_ == size_; }
    CodecStatus literal(unsigned char byte) {
        window_[at_] = byte;
        ++total_;
        if (++at_ == kWindow) return flush();
        return CodecStatus::ok;
    }
    CodecStatus match(unsigned length, unsigned distance) {
        if (distance > total_ || distance > kWindow) return CodecStatus::corruptData;
        if (length > size_ - total_) return CodecStatus::corruptData;
        unsigned from = at_ >= distance ? at_ - distance : at_ + kWindow - distance;
        while (length-- > 0) {
            CodecStatus status = literal(window_[from]);
            if (status != CodecStatus::ok) return status;
            if (++from == kWindow) from = 0;
        }
        return CodecStatus::ok;
    }
    CodecStatus flush() {
        if (at_ != 0 && !sink_.write(window_ + flushed_, at_ - flushed_))
            return CodecStatus::sinkRefused;
        flushed_ = at_ == kWindow ? 0 : at_;
        if (at_ == kWindow) at_ = 0;
        return CodecStatus::ok;
    }

private:
    unsigned char* window_;
    ByteSink& sink_;
    uint64_t size_;
    uint64_t total_ = 0;
    unsigned at_ = 0;
    unsigned flushed_ = 0;
};

// Reads the lengths of the code-length code or of the distance code. After the third length
// of the code-length code, two bits give a run of zero lengths.
template <unsigned kSymbols, unsigned kFast>
CodecStatus readShortLengths(ArjBits& in, ArjHuffman<kSymbols, kFast>& code, unsigned symbols,
                             unsigned countBits, int special) {
    unsigned n = 0;
    CodecStatus status = in.bits(countBits, n);
    if (status != CodecStatus::ok) return status;
    if (n == 0) {
        unsigned symbol = 0;
        if ((status = in.bits(countBits, symbol)) != CodecStatus::ok) return status;
        if (symbol >= symbols) return CodecStatus::corruptData;
        code.single(symbol);
        return CodecStatus::ok;
    }
    if (n > symbols) return CodecStatus::corruptData;
    uint8_t lengths[kSymbols] = {};
    for (unsigned i = 0; i < n;) {
        // Three bits; 7 continues in unary: each further 1 bit adds one.
        if (!in.need(16)) return CodecStatus::sourceFailed;
        unsigned length = in.peek(3);
        unsigned used = 3;
        if (length == 7) {
            uint32_t rest = in.peek(16);
            for (uint32_t mask = 1u << 12; mask != 0 && (rest & mask); mask >>= 1) ++length;
            if (length > kMaxCodeBits) return CodecStatus::corruptData;
            used = length - 3;
        }
        if (!in.drop(used)) return in.overrun();
        lengths[i++] = static_cast<uint8_t>(length);
        if (static_cast<int>(i) == special) {
            unsigned zeros = 0;
            if ((status = in.bits(2, zeros)) != CodecStatus::ok) return status;
            if (i + zeros > symbols) return CodecStatus::corruptData;
            while (zeros-- > 0) lengths[i++] = 0;
        }
    }
    return code.build(lengths) ? CodecStatus::ok : CodecStatus::corruptData;
}

// The literal-and-length code's lengths, themselves coded with the code-length code: 0 is
// one zero, 1 a run of 3-18 zeros, 2 a run of 20-531 zeros, n > 2 the length n - 2.
CodecStatus readLiteralLengths(ArjBits& in, Decoder& d) {
    unsigned n = 0;
    CodecStatus status = in.bits(kCBit, n);
    if (status != CodecStatus::ok) return status;
    if (n == 0) {
        unsigned symbol = 0;
        if ((status = in.bits(kCBit, symbol)) != CodecStatus::ok) return status;
        if (symbol >= kNC) return CodecStatus::corruptData;
        d.literals.single(symbol);
        return CodecStatus::ok;
    }
    if (n > kNC) return CodecStatus::corruptData;
    uint8_t lengths[kNC] = {};
    for (unsigned i = 0; i < n;) {
        unsigned c = 0;
        if ((status = d.lengthCode.decode(in, c)) != CodecStatus::ok) return status;
        if (c > 2) {
            lengths[i++] = static_cast<uint8_t>(c - 2);
            continue;
        }
        unsigned run = 1;
        if (c == 1) {
            status = in.bits(4, run);
            run += 3;
        } else if (c == 2) {
            status = in.bits(kCBit, run);
            run += 20;
        }
        if (status != CodecStatus::ok) return status;
        if (i + run > kNC) return CodecStatus::corruptData;
        i += run;  // lengths[] is zero already
    }
    return d.literals.build(lengths) ? CodecStatus::ok : CodecStatus::corruptData;
}

CodecStatus decodeHuffman(ArjBits& in, Decoder& d, WindowOutput& out) {
    uint32_t blockLeft = 0;
    while (!out.done()) {
        CodecStatus status = CodecStatus::ok;
        if (blockLeft == 0) {
            unsigned size = 0;
            if ((status = in.bits(16, size)) != CodecStatus::ok) return status;
            blockLeft = size == 0 ? 65536 : size;  // arj's 16-bit counter wraps from 0
            if ((status = readShortLengths(in, d.lengthCode, kNT, kTBit, 3)) != CodecStatus::ok ||
                (status = readLiteralLengths(in, d)) != CodecStatus::ok ||
                (status = readShortLengths(in, d.distances, kNP, kPBit, -1)) != CodecStatus::ok)
                return status;
        }
        --blockLeft;
        unsigned c = 0;
        if ((status = d.literals.decode(in, c)) != CodecStatus::ok) return status;
        if (c <= 255) {
            status = out.literal(static_cast<unsigned char>(c));
        } else {
            unsigned length = c - (256 - kThreshold);
            unsigned p = 0;
            if ((status = d.distances.decode(in, p)) != CodecStatus::ok) return status;
            if (p != 0) {  // class p: 2^(p-1) plus p-1 extra bits
                unsigned extra = 0;
                if ((status = in.bits(p - 1, extra)) != CodecStatus::ok) return status;
                p = (1u << (p - 1)) + extra;
            }
            status = out.match(length, p + 1);
        }
        if (status != CodecStatus::ok) return status;
    }
    return CodecStatus::ok;
}

// Method 4's numbers: a unary prefix of up to (stop - start) one bits picks a width, each
// step doubling the base, then that many bits follow.
CodecStatus readStepCoded(ArjBits& in, unsigned start, unsigned stop, unsigned& value) {
    unsigned plus = 0, power = 1u << start, width = start;
    CodecStatus status = CodecStatus::ok;
    for (; width < stop; ++width) {
        unsigned bit = 0;
        if ((status = in.bits(1, bit)) != CodecStatus::ok) return status;
        if (bit == 0) break;
        plus += power;
        power <<= 1;
    }
    unsigned bits = 0;
    if (width != 0 && (status = in.bits(width, bits)) != CodecStatus::ok) return status;
    value = plus + bits;
    return CodecStatus::ok;
}

CodecStatus decodeFast(ArjBits& in, WindowOutput& out) {
    while (!out.done()) {
        unsigned length = 0;
        CodecStatus status = readStepCoded(in, 0, 7, length);
        if (status != CodecStatus::ok) return status;
        if (length == 0) {
            unsigned byte = 0;
            if ((status = in.bits(8, byte)) != CodecStatus::ok) return status;
            status = out.literal(static_cast<unsigned char>(byte));
        } else {
            unsigned distance = 0;
            if ((status = readStepCoded(in, 9, 13, distance)) != CodecStatus::ok) return status;
            status = out.match(length - 1 + kThreshold, distance + 1);
        }
        if (status != CodecStatus::ok) return status;
    }
    return CodecStatus::ok;
}

// Takes the NUL-terminated string at basic[at] and moves at past it; false without the NUL.
bool takeString(const std::string& basic, size_t& at, std::string& out) {
    size_t end = basic.find('\0', at);
    if (end == std::string::npos) return false;
    out.assign(basic, at, end - at);
    at = end + 1;
    return true;
}

}  // namespace

ArjReader::ArjReader(ByteSource& source) : in_(new (std::nothrow) Input(source)) {}
ArjReader::~ArjReader() = default;

CodecStatus ArjReader::fail(CodecStatus status) {
    stopped_ = status;
    haveEntry_ = false;
    return status;
}

// Reads one header at the current position: id, size, basic header with its CRC, and the
// extended headers, which are checked and skipped. basic is left empty for the end mark.
CodecStatus ArjReader::readHeader(bool mainHeader, std::string& basic) {
    Input& in = *in_;
    if (!in.ensure(4)) return CodecStatus::sourceFailed;
    if (in.available() < 4) return CodecStatus::truncated;
    const unsigned char* p = in.data();
    if (p[0] != 0x60 || p[1] != 0xEA) return CodecStatus::corruptHeader;
    size_t size = le16(p + 2);
    if (size == 0) {
        in.skip(4);
        basic.clear();
        return mainHeader ? CodecStatus::corruptHeader : CodecStatus::ok;
    }
    if (size < kMinFirstHeader || size > kMaxBasicHeader) return CodecStatus::corruptHeader;
    if (!in.ensure(4 + size + 4)) return CodecStatus::sourceFailed;
    if (in.available() < 4 + size + 4) return CodecStatus::truncated;
    p = in.data();
    if (!headerCrcMatches(crcOf(p + 4, size), le32(p + 4 + size)))
        return CodecStatus::corruptHeader;
    if (p[4] < kMinFirstHeader || p[4] > size) return CodecStatus::corruptHeader;
    try {
        basic.assign(reinterpret_cast<const char*>(p + 4), size);
    } catch (...) {
        return CodecStatus::outOfMemory;
    }
    in.skip(4 + size + 4);

    // Extended headers: a size, the bytes and their CRC, until a zero size. Nothing in them
    // is needed to extract, but a bad CRC means the archive is damaged here.
    for (;;) {
        if (!in.ensure(2)) return CodecStatus::sourceFailed;
        if (in.available() < 2) return CodecStatus::truncated;
        size_t extSize = le16(in.data());
        in.skip(2);
        if (extSize == 0) return CodecStatus::ok;
        uint32_t crc = 0;
        while (extSize > 0) {
            size_t piece = extSize < 4096 ? extSize : 4096;
            if (!in.ensure(piece)) return CodecStatus::sourceFailed;
            if (in.available() < piece) return CodecStatus::truncated;
            crc = static_cast<uint32_t>(crc32(crc, in.data(), static_cast<uInt>(piece)));
            in.skip(piece);
            extSize -= piece;
        }
        if (!in.ensure(4)) return CodecStatus::sourceFailed;
        if (in.available() < 4) return CodecStatus::truncated;
        if (!headerCrcMatches(crc, le32(in.data()))) return CodecStatus::corruptHeader;
        in.skip(4);
    }
}

CodecStatus ArjReader::open() {
    if (!in_) return fail(CodecStatus::outOfMemory);
    if (opened_) return stopped_ == CodecStatus::end ? CodecStatus::ok : stopped_;
    Input& in = *in_;
    // A self-extracting stub may come first: the main header is the first id whose basic
    // header passes its CRC and says it is one.
    for (;;) {
        if (!in.ensure(4)) return fail(CodecStatus::sourceFailed);
        if (in.available() < 4) return fail(CodecStatus::notArchive);
        const unsigned char* p = in.data();
        size_t size = le16(p + 2);
        if (p[0] == 0x60 && p[1] == 0xEA && size >= kMinFirstHeader && size <= kMaxBasicHeader) {
            if (!in.ensure(4 + size + 4)) return fail(CodecStatus::sourceFailed);
            p = in.data();
            if (in.available() >= 4 + size + 4 && p[4 + 6] == kMainHeaderType &&
                p[4] >= kMinFirstHeader && p[4] <= size &&
                headerCrcMatches(crcOf(p + 4, size), le32(p + 4 + size)))
                break;
        }
        in.skip(1);
    }
    std::string basic;
    CodecStatus status = readHeader(true, basic);
    if (status != CodecStatus::ok) return fail(status);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(basic.data());
    archive_.hostOs = b[3];
    archive_.flags = b[4];
    archive_.created = le32(b + 8);
    size_t at = b[0];
    if (!takeString(basic, at, archive_.name) || !takeString(basic, at, archive_.comment))
        return fail(CodecStatus::corruptHeader);
    opened_ = true;
    return CodecStatus::ok;
}

CodecStatus ArjReader::skipData() {
    unsigned char scratch[4096];
    while (dataLeft_ > 0) {
        size_t want = dataLeft_ < sizeof scratch ? static_cast<size_t>(dataLeft_) : sizeof scratch;
        size_t got = 0;
        if (!in_->read(scratch, want, got)) return CodecStatus::sourceFailed;
        if (got == 0) return CodecStatus::truncated;
        dataLeft_ -= got;
    }
    return CodecStatus::ok;
}

CodecStatus ArjReader::next(ArjEntry& entry) {
    try {
        if (!opened_) {
            CodecStatus status = open();
            if (status != CodecStatus::ok) return status;
        }
        if (stopped_ != CodecStatus::ok) return stopped_;
        haveEntry_ = false;
        CodecStatus status = skipData();
        if (status != CodecStatus::ok) return fail(status);
        std::string basic;
        status = readHeader(false, basic);
        if (status != CodecStatus::ok) return fail(status);
        if (basic.empty()) return fail(CodecStatus::end);

        const unsigned char* b = reinterpret_cast<const unsigned char*>(basic.data());
        ArjEntry e;
        e.hostOs = b[3];
        e.flags = b[4];
        e.method = b[5];
        e.fileType = static_cast<ArjFileType>(b[6]);
        e.dosTime = le32(b + 8);
        e.packedSize = le32(b + 12);
        e.originalSize = le32(b + 16);
        e.crc32 = le32(b + 20);
        e.fileNameAt = le16(b + 24);
        e.attributes = le16(b + 26);
        size_t at = b[0];
        if (!takeString(basic, at, e.name) || !takeString(basic, at, e.comment))
            return fail(CodecStatus::corruptHeader);
        if (e.fileNameAt > e.name.size()) e.fileNameAt = 0;
        entry = e;
        current_ = e;
        dataLeft_ = e.packedSize;
        haveEntry_ = true;
        return CodecStatus::ok;
    } catch (...) {
        return fail(CodecStatus::outOfMemory);
    }
}

CodecStatus ArjReader::extract(ByteSink& sink) {
    try {
        return extractCurrent(sink);
    } catch (...) {
        return fail(CodecStatus::outOfMemory);  // thrown by the sink: the walk cannot go on
    }
}

CodecStatus ArjReader::extractCurrent(ByteSink& sink) {
    if (!haveEntry_) return stopped_ != CodecStatus::ok ? stopped_ : CodecStatus::end;
    haveEntry_ = false;  // the data is read once; next() skips what is left of it
    const ArjEntry& e = current_;
    if (e.garbled()) return CodecStatus::encrypted;
    if (e.multiVolume()) return CodecStatus::multiVolume;
    if (e.method > 4) return CodecStatus::unsupportedMethod;

    CrcSink out(sink);
    CodecStatus status = CodecStatus::ok;
    if (e.method == 0) {
        unsigned char buffer[4096];
        while (dataLeft_ > 0 && status == CodecStatus::ok) {
            size_t want = dataLeft_ < sizeof buffer ? size_t(dataLeft_) : sizeof buffer;
            size_t got = 0;
            if (!in_->read(buffer, want, got)) {
                status = CodecStatus::sourceFailed;
            } else if (got == 0) {
                status = CodecStatus::truncated;
            } else if (out.count() + got > e.originalSize) {
                status = CodecStatus::corruptData;  // more data than the file's size
            } else {
                dataLeft_ -= got;
                if (!out.write(buffer, got)) status = CodecStatus::sinkRefused;
            }
        }
        if (status == CodecStatus::ok && out.count() != e.originalSize)
            status = CodecStatus::corruptData;
    } else {
        if (!decoder_) decoder_.reset(new (std::nothrow) Decoder);
        if (!decoder_) return CodecStatus::outOfMemory;
        ArjBits bits(*in_, dataLeft_);
        WindowOutput window(decoder_->window, out, e.originalSize);
        status = e.method == 4 ? decodeFast(bits, window) : decodeHuffman(bits, *decoder_, window);
        if (status != CodecStatus::sinkRefused) {
            CodecStatus flushed = window.flush();
            if (status == CodecStatus::ok) status = flushed;
        }
    }
    if (status == CodecStatus::ok && out.crc() != e.crc32) status = CodecStatus::crcMismatch;
    if (status == CodecStatus::truncated || status == CodecStatus::sourceFailed) fail(status);
    return status;
}

}  // namespace standin
