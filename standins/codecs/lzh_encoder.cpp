// LZH encoder: hash-chain match finding, codes chosen by price over stretches of the input
// (a generalised lazy evaluation), then static Huffman blocks. Each block is a 16-bit count of codes, the code-length tree (19 symbols),
// the character/length tree (510 symbols) written through it, the position tree, then the
// codes; bits go most significant first.
#include "standins/codecs/lzh_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace standin {
namespace {

const int kMinMatch = 3;
const int kMaxMatch = 256;
const int kCharCodes = 256 + kMaxMatch - kMinMatch + 1;  // bytes, then lengths 3..256
const int kPreCodes = 19;                                 // the code-length tree
const int kPreCountBits = 5;
const int kCharCountBits = 9;
const int kMaxPosCodes = 17;
// Decoders build their tables from codes of at most 16 bits.
const int kMaxCodeLength = 16;
const size_t kMaxBlockCodes = 65535;  // the block's count field is 16 bits
// Block boundaries are weighed every this many codes: a block ends where a fresh set of
// trees pays for itself (text followed by binary data, say).
const size_t kSegmentCodes = 4096;

// Match finding effort (the chain's length and the long match are the method's): chains
// are cut to a quarter once a match this long is in hand, and a match this long ends the
// search.
const int kGoodLength = 16;
const int kNiceLength = 64;
// Prices are in sixteenths of a bit; a code the statistics have not seen yet is priced as
// a rare one.
const int kPriceScale = 16;
const int kUnseenBits = 12;
const int kUnreached = 0x7FFFFFFF;
// The input is parsed in stretches of this many bytes: within one the cheapest sequence of
// literals and matches is chosen at the current prices.
const int kStretch = 4096;
const int kHashBits = 16;
// The buffer holds a window behind the parse and this much input ahead of it. Sliding
// rebases every hash table entry, so it is done rarely: once per span, not once per window.
const int kSlideSpan = 1 << 18;
// A stretch whose codes cover fewer than one byte in this many with matches barely
// compresses (packed or random data): the next stretch searches sparsely.
const int kSparseShare = 16;

struct Shape {
    int windowBits;
    int posCodes;      // position codes: 0 for distance 1, else the bit length of distance-1
    int posCountBits;  // width of the position tree's count field
    int maxChain;      // hash chain entries tried per position
    int longMatch;     // a match this long is taken whole, without searching inside it
};

Shape ShapeOf(LzhMethod method) {
    switch (method) {
    // Effort weighed on the benchmark's corpus: against chains of 96 (-lh5-) and 48 and
    // long matches of 32, these cost about 0.5 % in size and take well under half the
    // time, so that the encoder keeps pace with jlha; -lh5- stays smaller than jlha's, and
    // -lh7- smaller than our -lh5-.
    case LzhMethod::Lh5: return {13, 14, 4, 16, 16};
    case LzhMethod::Lh6: return {15, 16, 5, 16, 24};
    case LzhMethod::Lh7: break;
    }
    return {16, 17, 5, 16, 24};
}

int BitLength(unsigned value) {
    return value ? 32 - __builtin_clz(value) : 0;
}

uint32_t Load32(const unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// How far a and b agree, counting on from `from` (known to agree) up to limit; a word at a
// time where bytes are stored little end first, as on every machine the stand-ins run on.
int CommonLength(const unsigned char* a, const unsigned char* b, int from, int limit) {
    int n = from;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    for (; n + int(sizeof(size_t)) <= limit; n += int(sizeof(size_t))) {
        size_t x, y;
        std::memcpy(&x, a + n, sizeof x);
        std::memcpy(&y, b + n, sizeof y);
        // The count of trailing zeros at the word's own width: on i686 the 64-bit one is a
        // call into libgcc.
        if (x != y)
            return n + (sizeof x == 8 ? __builtin_ctzll(static_cast<unsigned long long>(x ^ y))
                                      : __builtin_ctz(static_cast<unsigned>(x ^ y))) / 8;
    }
#endif
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

// With fewer than two symbols no tree is written and the one symbol (if any) keeps length
// 0, costing no bits.
int BuildLengths(const uint32_t* freq, int n, uint8_t* len) {
    std::fill(len, len + n, 0);
    std::vector<int> used;
    for (int i = 0; i < n; ++i)
        if (freq[i]) used.push_back(i);
    int m = static_cast<int>(used.size());
    if (m < 2) return m;
    std::stable_sort(used.begin(), used.end(),
                     [freq](int a, int b) { return freq[a] < freq[b]; });

    // Huffman's merging with two queues: the leaves in rising order of weight (nodes
    // 0..m-1), and the merged nodes, which come out in rising order too (m..2m-2).
    std::vector<uint64_t> weight(2 * m - 1);
    std::vector<int> parent(2 * m - 1, 0);
    for (int i = 0; i < m; ++i) weight[i] = freq[used[i]];
    int leaf = 0, merged = m;
    for (int node = m; node < 2 * m - 1; ++node) {
        int pair[2];
        for (int& pick : pair)
            pick = leaf < m && (merged >= node || weight[leaf] <= weight[merged]) ? leaf++
                                                                                 : merged++;
        weight[node] = weight[pair[0]] + weight[pair[1]];
        parent[pair[0]] = parent[pair[1]] = node;
    }
    std::vector<int> depth(2 * m - 1, 0);
    for (int node = 2 * m - 3; node >= 0; --node) depth[node] = depth[parent[node]] + 1;

    // Clamp to the longest allowed length, then lengthen shorter codes until the lengths
    // describe a complete prefix code again (Kraft sum exactly one).
    int count[kMaxCodeLength + 1] = {};
    for (int i = 0; i < m; ++i) ++count[std::min(depth[i], kMaxCodeLength)];
    uint32_t kraft = 0;
    for (int d = 1; d <= kMaxCodeLength; ++d) kraft += count[d] << (kMaxCodeLength - d);
    while (kraft > (1u << kMaxCodeLength)) {
        int d = kMaxCodeLength - 1;
        while (count[d] == 0) --d;
        --count[d];
        count[d + 1] += 2;
        --count[kMaxCodeLength];
        --kraft;
    }

    // The most frequent symbols (the end of the sorted list) take the shortest codes.
    int at = m;
    for (int d = 1; d <= kMaxCodeLength; ++d)
        for (int k = 0; k < count[d]; ++k) len[used[--at]] = static_cast<uint8_t>(d);
    return m;
}

// Canonical codes: shorter codes first, and within a length in symbol order, which is how
// LHA's decoders rebuild them from the lengths alone.
void BuildCodes(const uint8_t* len, int n, uint16_t* code) {
    uint32_t count[kMaxCodeLength + 2] = {};
    for (int i = 0; i < n; ++i) ++count[len[i]];
    uint32_t start[kMaxCodeLength + 2] = {};
    for (int d = 1; d <= kMaxCodeLength; ++d) start[d + 1] = (start[d] + count[d]) << 1;
    for (int i = 0; i < n; ++i) code[i] = len[i] ? static_cast<uint16_t>(start[len[i]]++) : 0;
}

class BitWriter {
public:
    void put(int bits, uint32_t value) {
        acc_ = (acc_ << bits) | (value & ((1u << bits) - 1));
        held_ += bits;
        while (held_ >= 8) {
            held_ -= 8;
            bytes.push_back(static_cast<unsigned char>(acc_ >> held_));
        }
    }
    // Pads the last byte with zero bits.
    void finish() {
        if (held_) put(8 - held_, 0);
    }
    std::vector<unsigned char> bytes;  // whole bytes not yet handed on

private:
    uint32_t acc_ = 0;  // fewer than 8 bits wait and at most 16 arrive: 32 bits hold them
    int held_ = 0;
};

// Counts bits instead of writing them, to weigh a block's trees.
struct BitCounter {
    void put(int bits, uint32_t) { total += bits; }
    uint64_t total = 0;
};

// Walks the character tree's lengths as they are sent: each length n as symbol n + 2 of the
// code-length tree, runs of zeros as symbols 0 (one), 1 (3 to 18, 4 bits) and 2 (20 and up,
// 9 bits). emit(symbol, extraBits, extraValue).
template <class Emit>
void WalkCharLengths(const uint8_t* len, Emit&& emit) {
    int n = kCharCodes;
    while (n > 0 && len[n - 1] == 0) --n;
    int i = 0;
    while (i < n) {
        int k = len[i++];
        if (k != 0) {
            emit(k + 2, 0, 0);
            continue;
        }
        int run = 1;
        while (i < n && len[i] == 0) {
            ++i;
            ++run;
        }
        if (run <= 2) {
            for (int r = 0; r < run; ++r) emit(0, 0, 0);
        } else if (run <= 18) {
            emit(1, 4, run - 3);
        } else if (run == 19) {
            emit(0, 0, 0);
            emit(1, 4, 15);
        } else {
            emit(2, kCharCountBits, run - 20);
        }
    }
}

// The lengths of the code-length tree or of the position tree: a count, then three bits per
// length with lengths of 7 and more continued in unary. After the code-length tree's third
// entry, two bits skip up to three zero lengths.
template <class Bits>
void WriteLengths(Bits& w, const uint8_t* len, int n, int countBits, int special) {
    while (n > 0 && len[n - 1] == 0) --n;
    w.put(countBits, n);
    int i = 0;
    while (i < n) {
        int k = len[i++];
        if (k <= 6)
            w.put(3, k);
        else
            w.put(k - 3, (1u << (k - 3)) - 2);
        if (i == special) {
            int from = i;
            while (i < 6 && i < n && len[i] == 0) ++i;
            w.put(2, i - from);
        }
    }
}

struct Trees {
    uint8_t charLen[kCharCodes];
    uint16_t charCode[kCharCodes];
    int charSingle = -1;  // the block's only symbol, sent without a tree
    uint8_t preLen[kPreCodes];
    uint16_t preCode[kPreCodes];
    int preSingle = -1;
    uint8_t posLen[kMaxPosCodes];
    uint16_t posCode[kMaxPosCodes];
    int posSingle = -1;
};

int OnlySymbol(const uint32_t* freq, int n) {
    for (int i = 0; i < n; ++i)
        if (freq[i]) return i;
    return 0;
}

void BuildTrees(const uint32_t* charFreq, const uint32_t* posFreq, int posCodes, Trees& t) {
    if (BuildLengths(charFreq, kCharCodes, t.charLen) < 2) {
        t.charSingle = OnlySymbol(charFreq, kCharCodes);
        std::fill(t.preLen, t.preLen + kPreCodes, 0);
    } else {
        t.charSingle = -1;
        uint32_t preFreq[kPreCodes] = {};
        WalkCharLengths(t.charLen, [&](int symbol, int, int) { ++preFreq[symbol]; });
        t.preSingle = BuildLengths(preFreq, kPreCodes, t.preLen) < 2
                          ? OnlySymbol(preFreq, kPreCodes)
                          : -1;
    }
    BuildCodes(t.charLen, kCharCodes, t.charCode);
    BuildCodes(t.preLen, kPreCodes, t.preCode);
    t.posSingle = BuildLengths(posFreq, posCodes, t.posLen) < 2 ? OnlySymbol(posFreq, posCodes)
                                                                 : -1;
    BuildCodes(t.posLen, posCodes, t.posCode);
}

template <class Bits>
void WriteTrees(Bits& w, const Trees& t, const Shape& shape) {
    if (t.charSingle >= 0) {
        w.put(kPreCountBits, 0);
        w.put(kPreCountBits, 0);
        w.put(kCharCountBits, 0);
        w.put(kCharCountBits, t.charSingle);
    } else {
        if (t.preSingle >= 0) {
            w.put(kPreCountBits, 0);
            w.put(kPreCountBits, t.preSingle);
        } else {
            WriteLengths(w, t.preLen, kPreCodes, kPreCountBits, 3);
        }
        int n = kCharCodes;
        while (n > 0 && t.charLen[n - 1] == 0) --n;
        w.put(kCharCountBits, n);
        WalkCharLengths(t.charLen, [&](int symbol, int extraBits, int extra) {
            w.put(t.preLen[symbol], t.preCode[symbol]);
            if (extraBits) w.put(extraBits, extra);
        });
    }
    if (t.posSingle >= 0) {
        w.put(shape.posCountBits, 0);
        w.put(shape.posCountBits, t.posSingle);
    } else {
        WriteLengths(w, t.posLen, shape.posCodes, shape.posCountBits, -1);
    }
}

struct Frequencies {
    uint32_t chars[kCharCodes];
    uint32_t positions[kMaxPosCodes];
    void clear() {
        std::fill(chars, chars + kCharCodes, 0);
        std::fill(positions, positions + kMaxPosCodes, 0);
    }
    void add(const Frequencies& other) {
        for (int i = 0; i < kCharCodes; ++i) chars[i] += other.chars[i];
        for (int i = 0; i < kMaxPosCodes; ++i) positions[i] += other.positions[i];
    }
};

// The exact size in bits of a block with these frequencies and trees.
uint64_t BlockBits(const Frequencies& f, const Trees& t, const Shape& shape) {
    BitCounter counter;
    WriteTrees(counter, t, shape);
    uint64_t bits = 16 + counter.total;
    for (int i = 0; i < kCharCodes; ++i) bits += uint64_t(f.chars[i]) * t.charLen[i];
    for (int p = 0; p < shape.posCodes; ++p)
        bits += uint64_t(f.positions[p]) * (t.posLen[p] + (p > 1 ? p - 1 : 0));
    return bits;
}

uint64_t EstimateBlockBits(const Frequencies& f, const Shape& shape) {
    Trees t;
    BuildTrees(f.chars, f.positions, shape.posCodes, t);
    return BlockBits(f, t, shape);
}

// A code as kept until its block is written: the character/length symbol in the low 16
// bits, distance - 1 in the high 16.
using Token = uint32_t;

class Encoder {
public:
    Encoder(LzhMethod method, ByteSource& source, ByteSink& sink, uint64_t limit)
        : shape_(ShapeOf(method)),
          window_(1 << shape_.windowBits),
          // A whole window behind the stretch being parsed, the span ahead, and the longest
          // match after it.
          bufferSize_(window_ + kSlideSpan + kStretch + 2 * kMaxMatch),
          // Not cleared: only bytes read are ever looked at, and a small file should not
          // pay for clearing the whole span.
          buffer_(new unsigned char[bufferSize_]),
          head3_(size_t(1) << kHashBits, -1),
          head4_(size_t(1) << kHashBits, -1),
          head8_(size_t(1) << kHashBits, -1),
          prev_(window_, -1),
          cost_(kStretch + kMaxMatch + 1),
          step_(kStretch + kMaxMatch + 1),
          source_(source),
          sink_(sink),
          limit_(limit) {
        tokens_.reserve(kMaxBlockCodes + kSegmentCodes);
        block_.clear();
        segment_.clear();
        // Until the first statistics: literals of 8 bits, lengths of 7, position codes of 4.
        literalPrice_ = 8 * kPriceScale;
        for (int i = 0; i < kCharCodes; ++i) charPrice_[i] = (i < 256 ? 8 : 7) * kPriceScale;
        for (int p = 0; p < kMaxPosCodes; ++p)
            posPrice_[p] = (4 + (p > 1 ? p - 1 : 0)) * kPriceScale;
    }

    LzhResult run() {
        parse();
        if (result_.status == LzhStatus::Ok && closeSegment(true)) {
            bits_.finish();
            drain();
        }
        return result_;
    }

private:
    struct Match {
        int length;
        int distance;  // 0 for a literal
    };

    // Chooses the codes for the input stretch by stretch: for every position the matches
    // the hash chains offer, then the cheapest way from the stretch's start to its end.
    void parse() {
        if (!fill()) return;
        Match found[kMaxMatch];
        std::vector<Match> codes;
        for (;;) {
            if (!atEnd_ && end_ - pos_ < kStretch + kMaxMatch) {
                slide();
                if (!fill()) return;
            }
            if (pos_ >= end_) break;
            int n = std::min(kStretch, end_ - pos_);
            std::fill(cost_.begin(), cost_.begin() + n + kMaxMatch + 1, kUnreached);
            cost_[0] = 0;
            for (int i = 0; i < n; ++i) {
                if (cost_[i] == kUnreached) continue;
                int at = pos_ + i;
                insertUpTo(at);
                Hashes h = hashesAt(at);
                int count = sparse_ ? findLatest(at, h, found) : findMatches(at, h, found);
                if (inserted_ == at) {
                    enter(at, h);
                    inserted_ = at + 1;
                }
                int base = cost_[i];
                relax(i + 1, base + charPrice_[buffer_[at]], {1, 0});
                int length = kMinMatch;
                for (int k = 0; k < count; ++k) {
                    int position = posPrice_[BitLength(found[k].distance - 1)];
                    for (; length <= found[k].length; ++length)
                        relax(i + length,
                              base + charPrice_[length - kMinMatch + 256] + position,
                              {length, found[k].distance});
                }
                // After a long match the search resumes at its end (relaxed above), without
                // looking inside it: long runs would otherwise cost a full search per byte.
                if (count && found[count - 1].length >= shape_.longMatch) {
                    int skip = found[count - 1].length;
                    std::fill(cost_.begin() + i + 1, cost_.begin() + i + skip, kUnreached);
                    insertUpTo(at + skip);
                    i += skip - 1;
                }
            }
            // Matches may run past the stretch: end where the cost is lowest, crediting
            // each byte past the stretch at the price of a literal.
            int stop = -1;
            int64_t stopCost = 0;
            for (int e = n; e <= n + kMaxMatch && e <= end_ - pos_; ++e) {
                if (cost_[e] == kUnreached) continue;
                int64_t c = int64_t(cost_[e]) - int64_t(e - n) * literalPrice_;
                if (stop < 0 || c < stopCost) {
                    stop = e;
                    stopCost = c;
                }
            }
            codes.clear();
            for (int e = stop; e > 0; e -= step_[e].length) codes.push_back(step_[e]);
            int at = pos_;
            int matched = 0;
            for (auto c = codes.rbegin(); c != codes.rend(); ++c) {
                bool added = c->distance ? addMatch(c->length, c->distance)
                                         : addLiteral(buffer_[at]);
                if (!added) return;
                if (c->distance) matched += c->length;
                at += c->length;
            }
            insertUpTo(pos_ + stop);
            pos_ += stop;
            // A sparse search still finds the four-byte repeats of text or code that
            // follows, and the full search resumes with them.
            sparse_ = matched * kSparseShare < stop;
        }
    }

    void relax(int to, int cost, Match step) {
        if (cost < cost_[to]) {
            cost_[to] = cost;
            step_[to] = step;
        }
    }

    // Reads until the buffer is full or the source ends.
    bool fill() {
        while (!atEnd_ && end_ < bufferSize_) {
            size_t got = 0;
            if (!source_.read(&buffer_[end_], size_t(bufferSize_ - end_), got)) {
                result_.status = LzhStatus::SourceFailed;
                return false;
            }
            if (got == 0) {
                atEnd_ = true;
                break;
            }
            result_.crc = LzhCrc16(&buffer_[end_], got, result_.crc);
            result_.originalSize += got;
            end_ += static_cast<int>(got);
        }
        return true;
    }

    // Drops what lies more than a window behind the position. The shift is a whole number
    // of windows, so that prev_, indexed by position modulo the window, keeps its order.
    void slide() {
        int shift = (pos_ - window_) & ~(window_ - 1);
        if (shift <= 0) return;
        std::memmove(&buffer_[0], &buffer_[shift], end_ - shift);
        end_ -= shift;
        pos_ -= shift;
        inserted_ -= shift;
        for (std::vector<int>* table : {&head3_, &head4_, &head8_, &prev_})
            for (int& p : *table) p = p >= shift ? p - shift : -1;
    }

    // The hashes of the three, four and eight bytes at a position, computed once for the
    // search and the insertion. Near the input's end only those whose bytes exist are valid.
    struct Hashes {
        unsigned three, four, eight;
    };

    static unsigned HashWord(uint32_t v) { return (v * 2654435761u) >> (32 - kHashBits); }

    Hashes hashesAt(int pos) const {
        const unsigned char* p = &buffer_[pos];
        if (pos + 8 <= end_) {
            uint32_t low = Load32(p), high = Load32(p + 4);
            // 32-bit arithmetic: on i686 a 64-bit multiply is three.
            return {HashWord(low & 0xFFFFFF), HashWord(low), HashWord(low ^ high * 0x85EBCA6Bu)};
        }
        uint32_t v = 0;
        for (int k = 0; k < 4 && pos + k < end_; ++k) v |= uint32_t(p[k]) << (8 * k);
        return {HashWord(v & 0xFFFFFF), HashWord(v), 0};
    }

    // Enters pos in the tables; while the search is sparse, in the four-byte chain alone.
    void enter(int pos, const Hashes& h) {
        if (pos + 4 <= end_) {
            prev_[pos & (window_ - 1)] = head4_[h.four];
            head4_[h.four] = pos;
        }
        if (sparse_) return;
        if (pos + kMinMatch <= end_) head3_[h.three] = pos;
        if (pos + 8 <= end_) head8_[h.eight] = pos;
    }

    // Enters every position before limit in the tables, in order.
    void insertUpTo(int limit) {
        for (; inserted_ < limit; ++inserted_) enter(inserted_, hashesAt(inserted_));
    }

    // The earlier matches for pos, each longer than the one before: the latest three-byte
    // match, what the chain of four-byte hashes offers, and the latest eight-byte match,
    // which reaches repeats too far down for the chain. Distances stop one short of the
    // window: some decoders keep exactly a window of history.
    int findMatches(int pos, const Hashes& h, Match* found) {
        int available = std::min(kMaxMatch, end_ - pos);
        if (available < kMinMatch) return 0;
        const unsigned char* here = &buffer_[pos];
        int oldest = pos - (window_ - 1);
        int count = 0;
        int best = kMinMatch - 1;
        int near = head3_[h.three];
        if (near >= 0 && near >= oldest && near < pos) {
            int n = CommonLength(&buffer_[near], here, 0, available);
            if (n >= kMinMatch) {
                found[count++] = {n, pos - near};
                best = n;
            }
        }
        if (available < 4 || best >= available) return count;
        int chain = best >= kGoodLength ? shape_.maxChain / 4 : shape_.maxChain;
        uint32_t first = Load32(here);
        for (int cur = head4_[h.four]; cur >= 0 && cur >= oldest && chain-- > 0;
             cur = prev_[cur & (window_ - 1)]) {
            const unsigned char* there = &buffer_[cur];
            // Only a candidate that agrees at the length to beat can beat it.
            if (there[best] != here[best] || Load32(there) != first) continue;
            int n = CommonLength(there, here, 4, available);
            if (n <= best) continue;
            found[count++] = {n, pos - cur};
            best = n;
            if (n >= kNiceLength || n >= available) break;
            if (n >= kGoodLength && chain > shape_.maxChain / 4) chain = shape_.maxChain / 4;
        }
        if (available >= 8 && best < kNiceLength && best < available) {
            int far = head8_[h.eight];
            if (far >= 0 && far >= oldest && far < pos) {
                int n = CommonLength(&buffer_[far], here, 0, available);
                if (n > best) found[count++] = {n, pos - far};
            }
        }
        return count;
    }

    // The sparse search: only the latest position with the same four-byte hash.
    int findLatest(int pos, const Hashes& h, Match* found) {
        int available = std::min(kMaxMatch, end_ - pos);
        if (available < 4) return 0;
        int cur = head4_[h.four];
        if (cur < 0 || cur < pos - (window_ - 1)) return 0;
        const unsigned char* here = &buffer_[pos];
        const unsigned char* there = &buffer_[cur];
        if (Load32(there) != Load32(here)) return 0;
        found[0] = {CommonLength(there, here, 4, available), pos - cur};
        return 1;
    }

    // Takes the code lengths of the latest statistics as the prices of the codes to come.
    void updatePrices(const Frequencies& f, const Trees& t) {
        uint64_t literalBits = 0, literals = 0;
        for (int i = 0; i < kCharCodes; ++i) {
            int bits = t.charLen[i] ? t.charLen[i] : (f.chars[i] ? 1 : kUnseenBits);
            charPrice_[i] = bits * kPriceScale;
            if (i < 256) {
                literalBits += uint64_t(f.chars[i]) * bits;
                literals += f.chars[i];
            }
        }
        literalPrice_ = literals ? int(literalBits * kPriceScale / literals) : 8 * kPriceScale;
        for (int p = 0; p < shape_.posCodes; ++p) {
            int bits = t.posLen[p] ? t.posLen[p] : (f.positions[p] ? 1 : kUnseenBits);
            posPrice_[p] = (bits + (p > 1 ? p - 1 : 0)) * kPriceScale;
        }
    }

    bool addLiteral(int byte) {
        ++segment_.chars[byte];
        tokens_.push_back(static_cast<Token>(byte));
        return tokens_.size() - segmentStart_ < kSegmentCodes || closeSegment(false);
    }

    bool addMatch(int length, int distance) {
        int symbol = length - kMinMatch + 256;
        unsigned position = static_cast<unsigned>(distance - 1);
        ++segment_.chars[symbol];
        ++segment_.positions[BitLength(position)];
        tokens_.push_back(static_cast<Token>(symbol) | position << 16);
        return tokens_.size() - segmentStart_ < kSegmentCodes || closeSegment(false);
    }

    // Decides whether the codes gathered since the last decision join the current block or
    // start a new one; on the last call writes whatever is left.
    bool closeSegment(bool last) {
        Trees latest;
        BuildTrees(segment_.chars, segment_.positions, shape_.posCodes, latest);
        updatePrices(segment_, latest);
        uint64_t segmentBits = BlockBits(segment_, latest, shape_);
        uint64_t together = segmentBits;
        if (segmentStart_ > 0) {
            bool split = tokens_.size() > kMaxBlockCodes;
            if (!split) {
                Frequencies joined = block_;
                joined.add(segment_);
                together = EstimateBlockBits(joined, shape_);
                split = blockBits_ + segmentBits < together;
            }
            if (split) {
                if (!writeBlock(segmentStart_, false)) return false;
                tokens_.erase(tokens_.begin(), tokens_.begin() + segmentStart_);
                block_.clear();
                together = segmentBits;
            }
        }
        blockBits_ = together;
        block_.add(segment_);
        segment_.clear();
        segmentStart_ = tokens_.size();
        if (last && !tokens_.empty()) {
            if (!writeBlock(tokens_.size(), true)) return false;
            tokens_.clear();
            segmentStart_ = 0;
            block_.clear();
        }
        return true;
    }

    // Writes tokens_[0, count), whose frequencies are block_, and hands the bytes on.
    bool writeBlock(size_t count, bool last) {
        Trees t;
        BuildTrees(block_.chars, block_.positions, shape_.posCodes, t);
        if (last) {
            // libarchive refuses a last block shorter than 64 bits (it takes what is left
            // for stray bits after the end): codes that never occur lengthen its tree.
            // Only the tree grows, so the block's real codes are what is counted.
            Frequencies padded = block_;
            for (int symbol = kCharCodes - 1; symbol >= 0 && BlockBits(block_, t, shape_) < 64;
                 --symbol) {
                if (padded.chars[symbol]) continue;
                padded.chars[symbol] = 1;
                BuildTrees(padded.chars, padded.positions, shape_.posCodes, t);
            }
        }
        bits_.put(16, static_cast<uint32_t>(count));
        WriteTrees(bits_, t, shape_);
        for (size_t i = 0; i < count; ++i) {
            unsigned symbol = tokens_[i] & 0xFFFF;
            bits_.put(t.charLen[symbol], t.charCode[symbol]);
            if (symbol < 256) continue;
            unsigned position = tokens_[i] >> 16;
            int p = BitLength(position);
            bits_.put(t.posLen[p], t.posCode[p]);
            if (p > 1) bits_.put(p - 1, position);
        }
        return drain();
    }

    bool drain() {
        std::vector<unsigned char>& bytes = bits_.bytes;
        if (bytes.empty()) return true;
        if (result_.packedSize + bytes.size() > limit_) {
            result_.status = LzhStatus::OverLimit;
            return false;
        }
        if (!sink_.write(bytes.data(), bytes.size())) {
            result_.status = LzhStatus::SinkRefused;
            return false;
        }
        result_.packedSize += bytes.size();
        bytes.clear();
        return true;
    }

    const Shape shape_;
    const int window_;
    const int bufferSize_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::vector<int> head3_;  // latest position of each three-byte hash, -1 for none
    std::vector<int> head4_;  // latest position of each four-byte hash, -1 for none
    std::vector<int> head8_;  // latest position of each eight-byte hash, -1 for none
    std::vector<int> prev_;   // the one before it with the same four-byte hash, by pos % window
    int inserted_ = 0;        // positions before this one are in the tables
    bool sparse_ = false;     // the last stretch found next to no matches
    std::vector<int> cost_;   // cheapest price of reaching each byte of the stretch
    std::vector<Match> step_;  // the code that reaches it at that price
    int pos_ = 0;
    int end_ = 0;
    bool atEnd_ = false;

    std::vector<Token> tokens_;  // the current block's codes, then the segment's
    size_t segmentStart_ = 0;
    Frequencies block_;
    uint64_t blockBits_ = 0;  // what block_ would cost as one block
    Frequencies segment_;
    BitWriter bits_;
    int literalPrice_;  // the average literal's
    int charPrice_[kCharCodes];
    int posPrice_[kMaxPosCodes];  // with the position's extra bits

    ByteSource& source_;
    ByteSink& sink_;
    const uint64_t limit_;
    LzhResult result_;
};

}  // namespace

int BuildLzhCodeLengths(const uint32_t* freq, int n, uint8_t* len) {
    return BuildLengths(freq, n, len);
}

const char* LzhMethodId(LzhMethod method) {
    switch (method) {
    case LzhMethod::Lh5: return "-lh5-";
    case LzhMethod::Lh6: return "-lh6-";
    case LzhMethod::Lh7: break;
    }
    return "-lh7-";
}

uint16_t LzhCrc16(const void* data, size_t size, uint16_t crc) {
    // Four tables: table[k][b] is the CRC of byte b followed by k zero bytes, so that four
    // bytes are taken in one step instead of four dependent ones (every byte packed or
    // stored passes through here).
    static const auto table = [] {
        std::vector<std::array<uint16_t, 256>> t(4);
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
            t[0][i] = static_cast<uint16_t>(c);
        }
        for (int k = 1; k < 4; ++k)
            for (unsigned i = 0; i < 256; ++i)
                t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
        return t;
    }();
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (; size >= 4; size -= 4, p += 4) {
        uint32_t x = crc ^ (p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
        crc = static_cast<uint16_t>(table[3][x & 0xFF] ^ table[2][(x >> 8) & 0xFF] ^
                                    table[1][(x >> 16) & 0xFF] ^ table[0][x >> 24]);
    }
    for (; size > 0; --size, ++p)
        crc = static_cast<uint16_t>((crc >> 8) ^ table[0][(crc ^ *p) & 0xFF]);
    return crc;
}

LzhResult EncodeLzh(LzhMethod method, ByteSource& source, ByteSink& sink,
                    uint64_t packedLimit) {
    // The encoder's tables are large; keep them off the caller's stack.
    std::unique_ptr<Encoder> encoder(new Encoder(method, source, sink, packedLimit));
    return encoder->run();
}

std::string EncodeLzh(LzhMethod method, const void* data, size_t size) {
    MemorySource source(data, size);
    StringSink sink;
    EncodeLzh(method, source, sink);
    return sink.bytes;
}

}  // namespace standin
