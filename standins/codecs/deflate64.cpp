#include "standins/codecs/deflate64.h"

#include <cstring>
#include <memory>
#include <new>

namespace standin {
namespace {

const unsigned kWindowSize = 65536;  // the "64" of Deflate64: distances reach 65536
const unsigned kMaxBits = 15;
const unsigned kFastBits = 10;  // codes this long or shorter decode with one table look-up
const unsigned kMaxLitLen = 288;
const unsigned kMaxDist = 32;

const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
const uint32_t kDistBase[32] = {1,     2,     3,     4,     5,     7,     9,     13,
                                17,    25,    33,    49,    65,    97,    129,   193,
                                257,   385,   513,   769,   1025,  1537,  2049,  3073,
                                4097,  6145,  8193,  12289, 16385, 24577, 32769, 49153};
const uint8_t kDistExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

// LSB-first bits over the source. Past the end of the input it supplies zero bits, counting
// them, so a look-up may peek beyond the end; consuming one of them means truncation.
class BitInput {
public:
    explicit BitInput(ByteSource& source) : source_(source) {}

    // Makes at least n (<= 32) bits available. False only when the source failed.
    bool need(unsigned n) {
        while (count_ < n) {
            if (at_ == length_ && !fill()) return false;
            uint64_t byte = 0;
            if (at_ < length_) {
                byte = buffer_[at_++];
            } else {
                padding_ += 8;
            }
            bits_ |= byte << count_;
            count_ += 8;
        }
        return true;
    }
    uint32_t peek(unsigned n) const { return static_cast<uint32_t>(bits_ & ((1ull << n) - 1)); }
    // False when the bits consumed went into the padding past the end of the input.
    bool drop(unsigned n) {
        bits_ >>= n;
        count_ -= n;
        if (padding_ > count_) return false;
        return true;
    }
    // Reads n (<= 16) bits; status truncated or sourceFailed on failure.
    CodecStatus bits(unsigned n, uint32_t& value) {
        if (!need(n)) return CodecStatus::sourceFailed;
        value = peek(n);
        return drop(n) ? CodecStatus::ok : CodecStatus::truncated;
    }
    void alignToByte() {
        unsigned extra = count_ % 8;
        bits_ >>= extra;
        count_ -= extra;
    }

private:
    // Refills the byte buffer; false on a source failure. At the end, leaves it empty.
    bool fill() {
        at_ = length_ = 0;
        if (ended_) return true;
        size_t got = 0;
        if (!source_.read(buffer_, sizeof buffer_, got)) return false;
        if (got == 0) ended_ = true;
        length_ = got;
        return true;
    }

    ByteSource& source_;
    unsigned char buffer_[16384];
    size_t at_ = 0;
    size_t length_ = 0;
    bool ended_ = false;
    uint64_t bits_ = 0;
    unsigned count_ = 0;
    unsigned padding_ = 0;  // zero bits at the top of bits_ that are not input
};

// A canonical Huffman code: a direct table for short codes, and the counts and sorted symbols
// for the rare long ones.
class Huffman {
public:
    // False when the lengths over-subscribe the code. An incomplete code is accepted (a lone
    // distance code is common); its unused bit patterns decode as errors.
    bool build(const uint8_t* lengths, unsigned n) {
        std::memset(count_, 0, sizeof count_);
        for (unsigned i = 0; i < n; ++i) ++count_[lengths[i]];
        count_[0] = 0;
        int left = 1;
        for (unsigned len = 1; len <= kMaxBits; ++len) {
            left = left * 2 - count_[len];
            if (left < 0) return false;
        }
        uint16_t offsets[kMaxBits + 2];
        offsets[1] = 0;
        for (unsigned len = 1; len <= kMaxBits; ++len)
            offsets[len + 1] = static_cast<uint16_t>(offsets[len] + count_[len]);
        for (unsigned i = 0; i < n; ++i)
            if (lengths[i] != 0) symbols_[offsets[lengths[i]]++] = static_cast<uint16_t>(i);

        // Fill the fast table: entry = symbol << 4 | length, 0 for "take the slow path".
        std::memset(fast_, 0, sizeof fast_);
        unsigned code = 0, index = 0;
        for (unsigned len = 1; len <= kFastBits; ++len) {
            for (unsigned k = 0; k < count_[len]; ++k, ++code, ++index) {
                unsigned reversed = reverse(code, len);
                for (unsigned fill = reversed; fill < (1u << kFastBits); fill += 1u << len)
                    fast_[fill] = static_cast<uint16_t>(symbols_[index] << 4 | len);
            }
            code <<= 1;
        }
        return true;
    }

    // Decodes one symbol; truncated, sourceFailed or corruptData (an unused code) on failure.
    CodecStatus decode(BitInput& in, unsigned& symbol) const {
        if (!in.need(kMaxBits)) return CodecStatus::sourceFailed;
        uint16_t entry = fast_[in.peek(kFastBits)];
        if (entry != 0) {
            symbol = entry >> 4;
            return in.drop(entry & 15) ? CodecStatus::ok : CodecStatus::truncated;
        }
        // Canonical decoding one bit at a time, as the code is defined.
        uint32_t bits = in.peek(kMaxBits);
        int code = 0, first = 0, index = 0;
        for (unsigned len = 1; len <= kMaxBits; ++len) {
            code |= (bits >> (len - 1)) & 1;
            int count = count_[len];
            if (code - first < count) {
                symbol = symbols_[index + code - first];
                return in.drop(len) ? CodecStatus::ok : CodecStatus::truncated;
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        // No code matches: an incomplete code's unused pattern, or padding past the end.
        if (!in.drop(0)) return CodecStatus::truncated;
        return CodecStatus::corruptData;
    }

private:
    static unsigned reverse(unsigned code, unsigned len) {
        unsigned out = 0;
        for (unsigned i = 0; i < len; ++i, code >>= 1) out = out << 1 | (code & 1);
        return out;
    }

    uint16_t count_[kMaxBits + 1];
    uint16_t symbols_[kMaxLitLen];
    uint16_t fast_[1u << kFastBits];
};

class Inflater {
public:
    Inflater(ByteSource& source, ByteSink& sink, uint64_t limit)
        : in_(source), sink_(sink), limit_(limit) {}

    CodecStatus run() {
        if (!window_) return CodecStatus::outOfMemory;
        CodecStatus status = blocks();
        if (status == CodecStatus::sinkRefused) return status;
        CodecStatus flushed = flush();  // what was decoded before a failure, too
        return status != CodecStatus::ok ? status : flushed;
    }
    uint64_t written() const { return flushedTotal_; }

private:
    CodecStatus blocks() {
        for (;;) {
            uint32_t final = 0, type = 0;
            CodecStatus status = in_.bits(1, final);
            if (status == CodecStatus::ok) status = in_.bits(2, type);
            if (status != CodecStatus::ok) return status;
            if (type == 0) {
                status = stored();
            } else if (type == 1) {
                status = fixedCodes();
            } else if (type == 2) {
                status = dynamicCodes();
            } else {
                return CodecStatus::corruptData;
            }
            if (status != CodecStatus::ok) return status;
            if (final) return CodecStatus::ok;
        }
    }

    CodecStatus stored() {
        in_.alignToByte();
        uint32_t length = 0, check = 0;
        CodecStatus status = in_.bits(16, length);
        if (status == CodecStatus::ok) status = in_.bits(16, check);
        if (status != CodecStatus::ok) return status;
        if ((length ^ 0xFFFF) != check) return CodecStatus::corruptData;
        while (length-- > 0) {
            uint32_t byte = 0;
            if ((status = in_.bits(8, byte)) != CodecStatus::ok) return status;
            if ((status = put(static_cast<unsigned char>(byte))) != CodecStatus::ok) return status;
        }
        return CodecStatus::ok;
    }

    CodecStatus fixedCodes() {
        uint8_t lengths[kMaxLitLen];
        unsigned i = 0;
        for (; i < 144; ++i) lengths[i] = 8;
        for (; i < 256; ++i) lengths[i] = 9;
        for (; i < 280; ++i) lengths[i] = 7;
        for (; i < kMaxLitLen; ++i) lengths[i] = 8;
        uint8_t distLengths[kMaxDist];
        std::memset(distLengths, 5, sizeof distLengths);
        literals_.build(lengths, kMaxLitLen);
        distances_.build(distLengths, kMaxDist);
        return codes();
    }

    CodecStatus dynamicCodes() {
        static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};
        uint32_t nlen = 0, ndist = 0, ncode = 0;
        CodecStatus status = in_.bits(5, nlen);
        if (status == CodecStatus::ok) status = in_.bits(5, ndist);
        if (status == CodecStatus::ok) status = in_.bits(4, ncode);
        if (status != CodecStatus::ok) return status;
        nlen += 257;
        ndist += 1;
        ncode += 4;
        if (nlen > 286) return CodecStatus::corruptData;  // ndist may be 32 in Deflate64

        uint8_t lengths[kMaxLitLen + kMaxDist] = {};
        for (unsigned i = 0; i < ncode; ++i) {
            uint32_t len = 0;
            if ((status = in_.bits(3, len)) != CodecStatus::ok) return status;
            lengths[order[i]] = static_cast<uint8_t>(len);
        }
        Huffman& lengthCode = literals_;  // reused: rebuilt below
        if (!lengthCode.build(lengths, 19)) return CodecStatus::corruptData;
        uint8_t codeLengths[kMaxLitLen + kMaxDist] = {};
        for (unsigned i = 0; i < nlen + ndist;) {
            unsigned symbol = 0;
            if ((status = lengthCode.decode(in_, symbol)) != CodecStatus::ok) return status;
            if (symbol < 16) {
                codeLengths[i++] = static_cast<uint8_t>(symbol);
                continue;
            }
            uint8_t value = 0;
            uint32_t repeat = 0;
            if (symbol == 16) {
                if (i == 0) return CodecStatus::corruptData;
                value = codeLengths[i - 1];
                status = in_.bits(2, repeat);
                repeat += 3;
            } else if (symbol == 17) {
                status = in_.bits(3, repeat);
                repeat += 3;
            } else {
                status = in_.bits(7, repeat);
                repeat += 11;
            }
            if (status != CodecStatus::ok) return status;
            if (i + repeat > nlen + ndist) return CodecStatus::corruptData;
            while (repeat-- > 0) codeLengths[i++] = value;
        }
        if (codeLengths[256] == 0) return CodecStatus::corruptData;  // no end-of-block code
        if (!literals_.build(codeLengths, nlen)) return CodecStatus::corruptData;
        if (!distances_.build(codeLengths + nlen, ndist)) return CodecStatus::corruptData;
        return codes();
    }

    CodecStatus codes() {
        for (;;) {
            unsigned symbol = 0;
            CodecStatus status = literals_.decode(in_, symbol);
            if (status != CodecStatus::ok) return status;
            if (symbol < 256) {
                if ((status = put(static_cast<unsigned char>(symbol))) != CodecStatus::ok)
                    return status;
                continue;
            }
            if (symbol == 256) return CodecStatus::ok;
            symbol -= 257;
            if (symbol >= 29) return CodecStatus::corruptData;
            uint32_t extra = 0;
            if ((status = in_.bits(kLengthExtra[symbol], extra)) != CodecStatus::ok) return status;
            uint32_t length = kLengthBase[symbol] + extra;
            if ((status = distances_.decode(in_, symbol)) != CodecStatus::ok) return status;
            if ((status = in_.bits(kDistExtra[symbol], extra)) != CodecStatus::ok) return status;
            uint32_t distance = kDistBase[symbol] + extra;
            if (distance > total_) return CodecStatus::corruptData;  // before the start
            while (length-- > 0) {
                unsigned char byte = window_[(at_ - distance) & (kWindowSize - 1)];
                if ((status = put(byte)) != CodecStatus::ok) return status;
            }
        }
    }

    CodecStatus put(unsigned char byte) {
        if (total_ == limit_) return CodecStatus::corruptData;  // longer than declared
        window_[at_] = byte;
        at_ = (at_ + 1) & (kWindowSize - 1);
        ++total_;
        if (at_ == 0) return flush();
        return CodecStatus::ok;
    }

    // Hands the bytes written since the last flush to the sink.
    CodecStatus flush() {
        size_t from = flushedAt_, to = at_ == 0 && total_ > flushedTotal_ ? kWindowSize : at_;
        if (to > from) {
            if (!sink_.write(window_.get() + from, to - from)) return CodecStatus::sinkRefused;
            flushedTotal_ += to - from;
        }
        flushedAt_ = at_;
        return CodecStatus::ok;
    }

    BitInput in_;
    ByteSink& sink_;
    uint64_t limit_;
    std::unique_ptr<unsigned char[]> window_{new (std::nothrow) unsigned char[kWindowSize]};
    size_t at_ = 0;         // next write position in the window
    size_t flushedAt_ = 0;  // window position up to which the sink has the bytes
    uint64_t total_ = 0;
    uint64_t flushedTotal_ = 0;
    Huffman literals_;
    Huffman distances_;
};

}  // namespace

CodecStatus inflate64(ByteSource& source, ByteSink& sink, uint64_t outputLimit,
                      uint64_t* written) {
    // The decoder's tables and buffers (about 25 KiB) live on the heap with the window, so
    // small thread stacks are safe.
    std::unique_ptr<Inflater> inflater(new (std::nothrow) Inflater(source, sink, outputLimit));
    if (!inflater) {
        if (written) *written = 0;
        return CodecStatus::outOfMemory;
    }
    CodecStatus status = CodecStatus::outOfMemory;
    try {
        status = inflater->run();
    } catch (...) {
        // Only a sink can throw here (a string that cannot grow).
    }
    if (written) *written = inflater->written();
    return status;
}

}  // namespace standin
