// LZX as cabinets carry it. The stream is a sequence of 16-bit little-endian words whose
// bits are taken from the most significant end. Each 32 KiB frame here is one block
// (verbatim, aligned-offset or uncompressed, whichever is smallest), so no match and no
// block crosses a frame, and every frame ends on a 16-bit boundary as the decoders expect.
#include "standins/codecs/lzx_encoder.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <vector>

namespace standin {
namespace {

const int kNumChars = 256;
const int kMinMatch = 2;
const int kMaxMatch = 257;
const int kPrimaryLengths = 7;
const int kLengthSymbols = 249;
const int kPretreeSymbols = 20;
const int kAlignedSymbols = 8;
const int kMaxCodeBits = 16;
const int kMaxSlots = 51;

enum BlockType { kVerbatim = 1, kAligned = 2, kUncompressed = 3 };

// Match finding: how hard to look. Four-byte prefixes are chained through the window (in
// links of up to 64 KiB); chains are cut at kMaxChain candidates, or at a few more once a
// match of kGoodLength is in hand, and kNiceLength ends the search at once. Three-byte
// matches pay only when near, so for them a table keeps each prefix's latest position alone.
// Effort weighed on the benchmark's corpus: against chains of 24 and long matches of 24 and
// 64, these cost about 1.5 % on text and take half the time; text still packs about 11 %
// smaller than MSZIP.
const int kHash4Bits = 18;
const int kHash3Bits = 16;
const int kMaxChain = 12;
const int kGoodLength = 16;
const int kNiceLength = 32;
// A match this long is taken without looking for a longer one a byte later.
const int kLazyLimit = 16;
// A three-byte match further away than this costs more than three literals.
const uint32_t kFarForThree = 1u << 14;
// The input is weighed in stretches of this many bytes: a stretch whose matches cover fewer
// than one byte in kSparseShare barely compresses (packed or random data, a third of what
// people pack), and the next stretch searches sparsely: the latest four-byte candidate
// alone, no three-byte table, no lazy step. Repeats of what came before are still found.
const uint32_t kStretch = 4096;
const uint32_t kSparseShare = 16;
// The buffer holds the window and at least this much input ahead of it; sliding rebases the
// hash heads, so it is done rarely, and by whole windows so that the chain keeps its order.
const uint32_t kSlideSpan = 1u << 20;

struct Slots {
    uint8_t extra[kMaxSlots];
    uint32_t base[kMaxSlots + 1];
    Slots() {
        for (int i = 0; i < kMaxSlots; ++i) {
            int bits = i < 4 ? 0 : (i - 2) / 2;
            extra[i] = static_cast<uint8_t>(bits > 17 ? 17 : bits);
        }
        base[0] = 0;
        for (int i = 0; i < kMaxSlots; ++i) base[i + 1] = base[i] + (1u << extra[i]);
    }
};
const Slots kSlots;

int SlotsForWindow(int windowBits) {
    static const int kCounts[] = {30, 32, 34, 36, 38, 42, 50};  // window bits 15..21
    return kCounts[windowBits - 15];
}

// The slot of a formatted offset (distance + 2); never one of the repeat slots 0-2.
int SlotOf(uint32_t formatted) {
    return static_cast<int>(std::upper_bound(kSlots.base, kSlots.base + kMaxSlots + 1, formatted) -
                            kSlots.base) - 1;
}

class BitWriter {
public:
    explicit BitWriter(std::string& out) : out_(out) {}
    void put(uint32_t value, int bits) {
        while (bits > 0) {
            int take = std::min(bits, 16 - pending_);
            uint32_t part = (value >> (bits - take)) & ((1u << take) - 1);
            word_ = (word_ << take) | part;
            pending_ += take;
            bits -= take;
            if (pending_ == 16) flushWord();
        }
    }
    // Pads with zero bits to the next 16-bit boundary (none when already there).
    void align() {
        if (pending_) put(0, 16 - pending_);
    }
    bool aligned() const { return pending_ == 0; }
    // Raw bytes, for the uncompressed block; only on a 16-bit boundary.
    void bytes(const uint8_t* data, size_t size) {
        out_.append(reinterpret_cast<const char*>(data), size);
    }
    void le32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }

private:
    void flushWord() {
        out_.push_back(static_cast<char>(word_ & 0xFF));
        out_.push_back(static_cast<char>((word_ >> 8) & 0xFF));
        word_ = 0;
        pending_ = 0;
    }
    std::string& out_;
    uint32_t word_ = 0;
    int pending_ = 0;
};

// Huffman code lengths no longer than maxBits. The decoders accept only complete codes, so
// at least two symbols get a length even when fewer occur.
void BuildLengths(const uint32_t* freq, int count, int maxBits, uint8_t* lengths) {
    std::vector<uint32_t> f(freq, freq + count);
    int used = static_cast<int>(std::count_if(f.begin(), f.end(), [](uint32_t v) { return v; }));
    for (int i = 0; i < count && used < 2; ++i) {
        if (!f[i]) {
            f[i] = 1;
            ++used;
        }
    }
    std::vector<int> parent(2 * count);
    for (;;) {
        using Node = std::pair<uint64_t, int>;
        std::priority_queue<Node, std::vector<Node>, std::greater<Node>> heap;
        for (int i = 0; i < count; ++i) {
            if (f[i]) heap.push({f[i], i});
        }
        int next = count;
        while (heap.size() > 1) {
            Node a = heap.top();
            heap.pop();
            Node b = heap.top();
            heap.pop();
            parent[a.second] = next;
            parent[b.second] = next;
            heap.push({a.first + b.first, next++});
        }
        int root = heap.top().second;
        int longest = 0;
        for (int i = 0; i < count; ++i) {
            int depth = 0;
            if (f[i]) {
                for (int n = i; n != root; n = parent[n]) ++depth;
            }
            lengths[i] = static_cast<uint8_t>(depth);
            longest = std::max(longest, depth);
        }
        if (longest <= maxBits) return;
        // Too deep: flatten the distribution and build again.
        for (uint32_t& v : f) {
            if (v) v = (v + 1) / 2;
        }
    }
}

// Canonical codes: shorter codes first, equal lengths in symbol order.
void MakeCodes(const uint8_t* lengths, int count, uint16_t* codes) {
    int perLength[kMaxCodeBits + 1] = {};
    for (int i = 0; i < count; ++i) ++perLength[lengths[i]];
    perLength[0] = 0;
    uint32_t next[kMaxCodeBits + 2] = {};
    uint32_t code = 0;
    for (int bits = 1; bits <= kMaxCodeBits; ++bits) {
        code = (code + perLength[bits - 1]) << 1;
        next[bits] = code;
    }
    for (int i = 0; i < count; ++i) {
        if (lengths[i]) codes[i] = static_cast<uint16_t>(next[lengths[i]]++);
    }
}

struct Tree {
    std::vector<uint8_t> lengths;
    std::vector<uint16_t> codes;
    explicit Tree(int count) : lengths(count), codes(count) {}
    void build(const uint32_t* freq, int maxBits) {
        int count = static_cast<int>(lengths.size());
        BuildLengths(freq, count, maxBits, lengths.data());
        MakeCodes(lengths.data(), count, codes.data());
    }
    void put(BitWriter& out, int symbol) const { out.put(codes[symbol], lengths[symbol]); }
};

// One section of a tree's lengths, coded against the lengths of the previous block through
// a pre-tree: 0-16 a new length as (previous - new) mod 17, 17 and 18 runs of zeros, 19 a
// short run of one length.
class LengthCoding {
public:
    LengthCoding(const uint8_t* previous, const uint8_t* lengths, int count) {
        for (int i = 0; i < count;) {
            int same = 1;
            while (i + same < count && lengths[i + same] == lengths[i]) ++same;
            if (lengths[i] == 0 && same >= 20) {
                int take = std::min(same, 51);
                add(18, 5, take - 20);
                i += take;
            } else if (lengths[i] == 0 && same >= 4) {
                int take = std::min(same, 19);
                add(17, 4, take - 4);
                i += take;
            } else if (same >= 4) {
                int take = std::min(same, 5);
                add(19, 1, take - 4);
                add(Delta(previous[i], lengths[i]), 0, 0);
                i += take;
            } else {
                add(Delta(previous[i], lengths[i]), 0, 0);
                ++i;
            }
        }
        // Stored in four bits each, and libarchive takes pre-tree codes of ten bits at most.
        tree_.build(freq_, 10);
    }

    uint64_t cost() const {
        uint64_t bits = 4 * kPretreeSymbols;
        for (const Code& c : codes_) bits += tree_.lengths[c.symbol] + c.extraBits;
        return bits;
    }

    void write(BitWriter& out) const {
        for (int i = 0; i < kPretreeSymbols; ++i) out.put(tree_.lengths[i], 4);
        for (const Code& c : codes_) {
            tree_.put(out, c.symbol);
            if (c.extraBits) out.put(c.extra, c.extraBits);
        }
    }

private:
    struct Code {
        uint8_t symbol;
        uint8_t extraBits;
        uint8_t extra;
    };
    static int Delta(int previous, int now) { return (previous - now + 17) % 17; }
    void add(int symbol, int extraBits, int extra) {
        codes_.push_back({static_cast<uint8_t>(symbol), static_cast<uint8_t>(extraBits),
                          static_cast<uint8_t>(extra)});
        ++freq_[symbol];
    }
    std::vector<Code> codes_;
    uint32_t freq_[kPretreeSymbols] = {};
    Tree tree_{kPretreeSymbols};
};

// A literal (main < 256) or a match: its main symbol, its length symbol when the length
// does not fit the main symbol, and the offset's footer bits.
struct Token {
    uint16_t main;
    uint8_t lengthSymbol;
    uint8_t footerBits;
    uint32_t footer;
};

uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint32_t Hash4(uint32_t fourBytes) { return (fourBytes * 2654435761u) >> (32 - kHash4Bits); }
uint32_t Hash3(uint32_t fourBytes) {
    return ((fourBytes << 8) * 2246822519u) >> (32 - kHash3Bits);
}

// Words are loaded little-endian (x86): a word's low byte is its first, which the three-byte
// hash and the scan for the first differing byte rely on.
//
// The bytes a and b have in common, at most limit; both hold limit bytes. Four at a time:
// on i686 a 32-bit word is what a register holds, and the bit scan of the first difference
// stays a single instruction.
int MatchLength(const uint8_t* a, const uint8_t* b, int limit) {
    int n = 0;
    while (n + 4 <= limit) {
        uint32_t x = Load32(a + n) ^ Load32(b + n);
        if (x) return n + (__builtin_ctz(x) >> 3);
        n += 4;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

// What the search found at a position: a match of length bytes (0: none) at distance, or,
// with repeat 0-2, at that repeated offset.
struct Match {
    int length;
    uint32_t distance;
    int repeat;
};

}  // namespace

struct LzxEncoder::State {
    int windowBits;
    uint32_t windowSize;
    int mainSymbols;
    bool started = false;

    // The last windowSize bytes and the input ahead of them in one flat buffer; positions
    // below are indexes into it. Slides drop whole windows, so a position keeps its place in
    // the chain.
    std::vector<uint8_t> buffer;
    uint32_t bufferEnd = 0;

    // Heads hold a buffer position + 1 (0: none). The chain holds, per window position, the
    // distance back to the previous position of the same four-byte hash (0: none); being
    // relative, it needs no rebasing when the buffer slides. Sixteen bits: a link longer
    // than that ends the chain (the head still reaches a far latest position). Half the
    // memory, and a chain no longer wanders through rare far candidates: on the benchmark's
    // corpus 0.2 % larger and much faster than links of 32 bits, for the encoder waits on
    // memory more than it computes.
    std::vector<uint32_t> head4;
    std::vector<uint32_t> head3;
    std::vector<uint16_t> chain;

    // The current stretch: bytes left in it and bytes matched so far; sparse while the last
    // one barely compressed.
    uint32_t stretchLeft = kStretch;
    uint32_t stretchMatched = 0;
    bool sparse = false;

    uint32_t repeats[3] = {1, 1, 1};
    std::vector<uint8_t> mainLengths;    // the previous block's, against which the next
    std::vector<uint8_t> lengthLengths;  // block's lengths are coded
    std::vector<Token> tokens;

    explicit State(int bits)
        : windowBits(bits),
          windowSize(1u << bits),
          mainSymbols(kNumChars + SlotsForWindow(bits) * 8),
          buffer(static_cast<size_t>(1u << bits) + std::max(1u << bits, kSlideSpan) +
                 kLzxFrameSize),
          head4(1u << kHash4Bits),
          head3(1u << kHash3Bits),
          chain(1u << bits),
          mainLengths(kNumChars + SlotsForWindow(bits) * 8),
          lengthLengths(kLengthSymbols) {}

    // Enters p, whose four bytes are v, into the tables. Returns the previous head of its
    // four-byte chain; *near3 the latest position with its three-byte hash (+1, 0: none).
    uint32_t insert(uint32_t p, uint32_t v, uint32_t* near3) {
        uint32_t h4 = Hash4(v);
        uint32_t last = head4[h4];
        head4[h4] = p + 1;
        uint32_t back = last ? p + 1 - last : 0;
        chain[p & (windowSize - 1)] = static_cast<uint16_t>(back <= 0xFFFF ? back : 0);
        if (near3) {
            uint32_t h3 = Hash3(v);
            *near3 = head3[h3];
            head3[h3] = p + 1;
        }
        return last;
    }

    void insertRange(uint32_t from, uint32_t to, uint32_t end) {
        to = std::min(to, end >= 3 ? end - 3 : 0);  // those whose four bytes are in the frame
        for (uint32_t p = from; p < to; ++p) {
            if (p + 1 < to) __builtin_prefetch(&head4[Hash4(Load32(buffer.data() + p + 1))]);
            uint32_t near3;
            insert(p, Load32(buffer.data() + p), sparse ? nullptr : &near3);
        }
    }

    // The best match at p (entering p into the tables when its four bytes lie before end):
    // the longest repeated-offset match, or a longer one from the tables when it beats the
    // repeat by two bytes or more. end: the frame's end.
    Match search(uint32_t p, uint32_t end) {
        const uint8_t* here = buffer.data() + p;
        int limit = static_cast<int>(std::min<uint32_t>(end - p, kMaxMatch));
        Match best{0, 0, -1};
        for (int i = 0; i < 3; ++i) {
            if (repeats[i] > p) continue;
            int n = MatchLength(here, here - repeats[i], limit);
            if (n > best.length) best = {n, 0, i};
        }
        if (best.length < kMinMatch) best = {0, 0, -1};
        if (p + 4 > end) return best;

        uint32_t v = Load32(here);
        // The next position is searched or entered next: its head is fetched while this
        // one's candidates are compared.
        if (p + 5 <= end) __builtin_prefetch(&head4[Hash4(Load32(here + 1))]);
        uint32_t near3 = 0;
        uint32_t candidate = insert(p, v, sparse ? nullptr : &near3);
        uint32_t lowest = p > windowSize - 3 ? p - (windowSize - 3) : 0;
        // A table match must beat the repeat by two bytes to be taken.
        int found = best.length ? best.length + 1 : 0;
        uint32_t distance = 0;
        if (found >= limit || found >= kNiceLength) return best;
        if (near3 && !sparse) {
            uint32_t from = near3 - 1;
            if (p - from <= kFarForThree && (Load32(buffer.data() + from) << 8) == (v << 8)) {
                int n = MatchLength(here, buffer.data() + from, limit);
                if (n > found) {
                    found = n;
                    distance = p - from;
                }
            }
        }
        int tries = sparse ? 1 : kMaxChain;
        for (int t = 0; candidate && t < tries; ++t) {
            uint32_t from = candidate - 1;
            if (from < lowest || found >= limit) break;
            const uint8_t* there = buffer.data() + from;
            if (there[found] == here[found] && Load32(there) == v) {
                int n = MatchLength(here, there, limit);
                if (n > found) {
                    found = n;
                    distance = p - from;
                    if (n >= kNiceLength) break;
                    if (n >= kGoodLength) tries = std::min(tries, t + 4);
                }
            }
            if (t + 1 == tries) break;  // the sparse search reads no link at all
            uint32_t back = chain[from & (windowSize - 1)];
            if (!back || back > from - lowest) break;
            candidate = from + 1 - back;
        }
        if (distance && found >= best.length + 2) best = {found, distance, -1};
        return best;
    }

    void addLiteral(uint8_t byte) { tokens.push_back({byte, 0, 0, 0}); }

    void addMatch(int length, int slot, uint32_t footer) {
        int lengthHeader = std::min(length - kMinMatch, kPrimaryLengths);
        Token t;
        t.main = static_cast<uint16_t>(kNumChars + slot * 8 + lengthHeader);
        t.lengthSymbol = static_cast<uint8_t>(
            lengthHeader == kPrimaryLengths ? length - kMinMatch - kPrimaryLengths : 0);
        t.footerBits = slot < 3 ? 0 : kSlots.extra[slot];
        t.footer = footer;
        tokens.push_back(t);
    }

    // Counts coded bytes into the stretch, and at its end decides how the next one searches.
    void account(uint32_t bytes, bool matched) {
        if (matched) stretchMatched += bytes;
        if (bytes < stretchLeft) {
            stretchLeft -= bytes;
            return;
        }
        sparse = stretchMatched * kSparseShare < kStretch;
        stretchLeft = kStretch;
        stretchMatched = 0;
    }

    // Chooses literals and matches for the frame [p, end): greedy with one step of lazy
    // evaluation, whose search is kept for the next position when it wins.
    void parse(uint32_t p, uint32_t end) {
        Match current = search(p, end);
        while (p < end) {
            if (!current.length) {
                addLiteral(buffer[p]);
                account(1, false);
                if (++p < end) current = search(p, end);
                continue;
            }
            uint32_t inserted = p + 1;
            if (!sparse && current.length < kLazyLimit && p + 1 < end) {
                Match next = search(p + 1, end);
                if (next.length > current.length) {
                    addLiteral(buffer[p]);
                    account(1, false);
                    ++p;
                    current = next;
                    continue;
                }
                inserted = p + 2;
            }
            emit(current);
            insertRange(inserted, p + current.length, end);
            account(current.length, true);
            p += current.length;
            if (p < end) current = search(p, end);
        }
    }

    void emit(const Match& m) {
        if (m.repeat >= 0) {
            // R0 stays; R1 and R2 swap with R0, as the decoder does.
            std::swap(repeats[0], repeats[m.repeat]);
            addMatch(m.length, m.repeat, 0);
            return;
        }
        uint32_t formatted = m.distance + 2;
        int slot = SlotOf(formatted);
        addMatch(m.length, slot, formatted - kSlots.base[slot]);
        repeats[2] = repeats[1];
        repeats[1] = repeats[0];
        repeats[0] = m.distance;
    }

    // Makes room for size more bytes: drops whole windows from the front, keeping at least
    // one window behind, and rebases the heads. Returns the buffer position of the new data.
    uint32_t append(const uint8_t* data, uint32_t size) {
        if (bufferEnd + size > buffer.size()) {
            uint32_t drop = (bufferEnd - windowSize) & ~(windowSize - 1);
            std::memmove(buffer.data(), buffer.data() + drop, bufferEnd - drop);
            bufferEnd -= drop;
            for (std::vector<uint32_t>* heads : {&head4, &head3}) {
                for (uint32_t& h : *heads) h = h > drop ? h - drop : 0;
            }
        }
        uint32_t at = bufferEnd;
        std::memcpy(buffer.data() + at, data, size);
        bufferEnd += size;
        return at;
    }

    void writeBlock(const uint8_t* data, size_t size, const uint32_t savedRepeats[3],
                    std::string& out);
};

void LzxEncoder::State::writeBlock(const uint8_t* data, size_t size,
                                   const uint32_t savedRepeats[3], std::string& out) {
    std::vector<uint32_t> mainFreq(mainSymbols);
    uint32_t lengthFreq[kLengthSymbols] = {};
    uint32_t alignedFreq[kAlignedSymbols] = {};
    uint64_t footerBits = 0;
    uint64_t alignedFooters = 0;  // footers of three bits or more
    for (const Token& t : tokens) {
        ++mainFreq[t.main];
        if (t.main >= kNumChars && (t.main & 7) == kPrimaryLengths) ++lengthFreq[t.lengthSymbol];
        footerBits += t.footerBits;
        if (t.footerBits >= 3) {
            ++alignedFreq[t.footer & 7];
            ++alignedFooters;
        }
    }
    Tree mainTree(mainSymbols);
    Tree lengthTree(kLengthSymbols);
    Tree alignedTree(kAlignedSymbols);
    mainTree.build(mainFreq.data(), kMaxCodeBits);
    lengthTree.build(lengthFreq, kMaxCodeBits);
    alignedTree.build(alignedFreq, 7);  // stored in three bits each

    LengthCoding mainLow(mainLengths.data(), mainTree.lengths.data(), kNumChars);
    LengthCoding mainHigh(mainLengths.data() + kNumChars, mainTree.lengths.data() + kNumChars,
                          mainSymbols - kNumChars);
    LengthCoding lengthCoding(lengthLengths.data(), lengthTree.lengths.data(), kLengthSymbols);

    uint64_t symbols = 0;
    for (int i = 0; i < mainSymbols; ++i) symbols += uint64_t(mainFreq[i]) * mainTree.lengths[i];
    for (int i = 0; i < kLengthSymbols; ++i)
        symbols += uint64_t(lengthFreq[i]) * lengthTree.lengths[i];
    uint64_t alignedCoded = 0;
    for (int i = 0; i < kAlignedSymbols; ++i)
        alignedCoded += uint64_t(alignedFreq[i]) * alignedTree.lengths[i];
    uint64_t trees = mainLow.cost() + mainHigh.cost() + lengthCoding.cost();
    uint64_t verbatimBits = trees + symbols + footerBits;
    uint64_t alignedBits =
        3 * kAlignedSymbols + trees + symbols + footerBits - 3 * alignedFooters + alignedCoded;
    uint64_t uncompressedBits = 16 + 96 + 8 * (size + (size & 1));

    BitWriter bits(out);
    if (!started) {
        bits.put(0, 1);  // no E8 call translation
        started = true;
    }
    if (uncompressedBits < std::min(verbatimBits, alignedBits)) {
        // The decoder takes R0-R2 from the block, so they are the ones the block began with.
        std::copy(savedRepeats, savedRepeats + 3, repeats);
        bits.put(kUncompressed, 3);
        bits.put(static_cast<uint32_t>(size), 24);
        // One to sixteen bits of padding: a whole word when already on a boundary.
        if (bits.aligned()) bits.put(0, 16); else bits.align();
        for (int i = 0; i < 3; ++i) bits.le32(repeats[i]);
        bits.bytes(data, size);
        if (size & 1) out.push_back(0);
        tokens.clear();
        return;
    }
    bool aligned = alignedBits < verbatimBits;
    bits.put(aligned ? kAligned : kVerbatim, 3);
    bits.put(static_cast<uint32_t>(size), 24);
    if (aligned) {
        for (int i = 0; i < kAlignedSymbols; ++i) bits.put(alignedTree.lengths[i], 3);
    }
    mainLow.write(bits);
    mainHigh.write(bits);
    lengthCoding.write(bits);
    for (const Token& t : tokens) {
        mainTree.put(bits, t.main);
        if (t.main < kNumChars) continue;
        if ((t.main & 7) == kPrimaryLengths) lengthTree.put(bits, t.lengthSymbol);
        if (aligned && t.footerBits >= 3) {
            bits.put(t.footer >> 3, t.footerBits - 3);
            alignedTree.put(bits, t.footer & 7);
        } else if (t.footerBits) {
            bits.put(t.footer, t.footerBits);
        }
    }
    bits.align();
    mainLengths = mainTree.lengths;
    lengthLengths = lengthTree.lengths;
    tokens.clear();
}

LzxEncoder::LzxEncoder(int windowBits)
    : state_(new State(std::min(21, std::max(15, windowBits)))) {}

LzxEncoder::~LzxEncoder() = default;

uint16_t LzxEncoder::cabinetType() const {
    return static_cast<uint16_t>(0x0003 | (state_->windowBits << 8));
}

void LzxEncoder::encodeFrame(const uint8_t* data, size_t size, std::string& out) {
    State& s = *state_;
    if (size == 0) return;
    size = std::min(size, kLzxFrameSize);
    uint32_t start = s.append(data, static_cast<uint32_t>(size));
    uint32_t saved[3] = {s.repeats[0], s.repeats[1], s.repeats[2]};
    s.parse(start, start + static_cast<uint32_t>(size));
    s.writeBlock(data, size, saved, out);
}

void EncodeLzxFolder(const uint8_t* data, size_t size, int windowBits, std::string& frames,
                     std::vector<uint16_t>& sizes) {
    LzxEncoder encoder(windowBits);
    for (size_t at = 0; at < size; at += kLzxFrameSize) {
        size_t before = frames.size();
        encoder.encodeFrame(data + at, std::min(kLzxFrameSize, size - at), frames);
        sizes.push_back(static_cast<uint16_t>(frames.size() - before));
    }
}

}  // namespace standin
