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

// Match finding: how hard to look. Chains are cut at kMaxChain candidates, or earlier once
// a match of kGoodLength is in hand; kNiceLength ends the search at once.
// Twenty hash bits: with a 2 MiB window, sixteen would keep every chain full of candidates
// that share only the hash, which made data that does not compress the slowest to code.
const int kHashBits = 20;
const int kMaxChain = 32;
const int kGoodLength = 32;
const int kNiceLength = 96;
// A three-byte match further away than this costs more than three literals.
const uint32_t kFarForThree = 1u << 14;

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

}  // namespace

struct LzxEncoder::State {
    int windowBits;
    uint32_t windowSize;
    int mainSymbols;
    bool started = false;

    // The last windowSize bytes and the frame being coded, in one flat buffer that slides
    // down by windowSize when it fills; positions are counted from the folder's start.
    std::vector<uint8_t> buffer;
    uint64_t bufferStart = 0;  // folder position of buffer[0]
    size_t bufferEnd = 0;
    uint64_t position = 0;  // folder position of the next byte to code

    // Hash chains over three-byte prefixes: head per hash, then prev per window position;
    // both hold folder position + 1 (0: none).
    std::vector<uint32_t> head;
    std::vector<uint32_t> prev;

    uint32_t repeats[3] = {1, 1, 1};
    std::vector<uint8_t> mainLengths;    // the previous block's, against which the next
    std::vector<uint8_t> lengthLengths;  // block's lengths are coded
    std::vector<Token> tokens;

    explicit State(int bits)
        : windowBits(bits),
          windowSize(1u << bits),
          mainSymbols(kNumChars + SlotsForWindow(bits) * 8),
          buffer(2 * static_cast<size_t>(1u << bits) + kLzxFrameSize),
          head(1u << kHashBits),
          prev(1u << bits),
          mainLengths(kNumChars + SlotsForWindow(bits) * 8),
          lengthLengths(kLengthSymbols) {}

    const uint8_t* at(uint64_t folderPosition) const {
        return buffer.data() + (folderPosition - bufferStart);
    }

    static uint32_t Hash(const uint8_t* p) {
        uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
        return (v * 2654435761u) >> (32 - kHashBits);
    }

    void insert(uint64_t pos) {
        uint32_t h = Hash(at(pos));
        prev[pos & (windowSize - 1)] = head[h];
        head[h] = static_cast<uint32_t>(pos + 1);
    }

    static int MatchLength(const uint8_t* a, const uint8_t* b, int limit) {
        int n = 0;
        // Eight bytes at a time while they agree; the buffer always holds limit bytes.
        while (n + 8 <= limit) {
            uint64_t x, y;
            std::memcpy(&x, a + n, 8);
            std::memcpy(&y, b + n, 8);
            if (x != y) break;
            n += 8;
        }
        while (n < limit && a[n] == b[n]) ++n;
        return n;
    }

    // The longest match at pos from the hash chains (distance in *distance), and the longest
    // repeated-offset match (index in *repeat). limit: bytes left in the frame.
    void findMatches(uint64_t pos, int limit, bool hashed, int& length, uint32_t& distance,
                     int& repeatLength, int& repeat) const {
        length = 0;
        distance = 0;
        repeatLength = 0;
        repeat = 0;
        const uint8_t* here = at(pos);
        int longest = std::min(limit, kMaxMatch);
        for (int i = 0; i < 3; ++i) {
            if (repeats[i] > pos) continue;
            int n = MatchLength(here, here - repeats[i], longest);
            if (n > repeatLength) {
                repeatLength = n;
                repeat = i;
            }
        }
        if (!hashed || longest < 3) return;
        uint64_t lowest = pos > windowSize - 3 ? pos - (windowSize - 3) : 0;
        uint32_t candidate = head[Hash(here)];
        for (int chain = 0; candidate && chain < kMaxChain; ++chain) {
            uint64_t from = candidate - 1;
            if (from >= pos || from < lowest) break;
            const uint8_t* there = at(from);
            if (there[length] == here[length]) {
                int n = MatchLength(here, there, longest);
                if (n > length) {
                    length = n;
                    distance = static_cast<uint32_t>(pos - from);
                    if (n >= kNiceLength || n == longest) break;
                    if (n >= kGoodLength) chain = std::max(chain, kMaxChain - 4);
                }
            }
            candidate = prev[from & (windowSize - 1)];
        }
        if (length == 3 && distance > kFarForThree) length = 0;
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

    // Chooses literals and matches for the frame [pos, pos + size): greedy with one step of
    // lazy evaluation, repeated offsets preferred when nearly as long.
    void parse(uint64_t pos, size_t size) {
        uint64_t end = pos + size;
        auto hashed = [&](uint64_t p) { return p + 3 <= end; };
        auto choose = [&](uint64_t p, int& length, uint32_t& distance, int& repeat) {
            int repeatLength = 0;
            findMatches(p, static_cast<int>(end - p), hashed(p), length, distance, repeatLength,
                        repeat);
            if (repeatLength >= kMinMatch && repeatLength + 1 >= length) {
                length = repeatLength;
                distance = 0;  // a repeat
            } else {
                repeat = -1;
            }
            if (length < kMinMatch) length = 0;
        };
        while (pos < end) {
            int length;
            uint32_t distance;
            int repeat;
            choose(pos, length, distance, repeat);
            if (length && length < kGoodLength && pos + 1 < end) {
                int nextLength;
                uint32_t nextDistance;
                int nextRepeat;
                if (hashed(pos)) insert(pos);
                choose(pos + 1, nextLength, nextDistance, nextRepeat);
                if (nextLength > length) {
                    addLiteral(*at(pos));
                    ++pos;
                    continue;
                }
                emit(pos, length, distance, repeat, true);
            } else {
                emit(pos, length, distance, repeat, false);
            }
            pos += length ? length : 1;
        }
    }

    // Codes what choose() picked at pos and hashes the positions it covers.
    void emit(uint64_t pos, int length, uint32_t distance, int repeat, bool firstHashed) {
        uint64_t end = pos + (length ? length : 1);
        for (uint64_t p = firstHashed ? pos + 1 : pos; p < end; ++p) {
            if (p + 3 <= position) insert(p);
        }
        if (!length) {
            addLiteral(*at(pos));
            return;
        }
        if (repeat >= 0) {
            // R0 stays; R1 and R2 swap with R0, as the decoder does.
            std::swap(repeats[0], repeats[repeat]);
            addMatch(length, repeat, 0);
            return;
        }
        uint32_t formatted = distance + 2;
        int slot = SlotOf(formatted);
        addMatch(length, slot, formatted - kSlots.base[slot]);
        repeats[2] = repeats[1];
        repeats[1] = repeats[0];
        repeats[0] = distance;
    }

    void append(const uint8_t* data, size_t size) {
        if (bufferEnd + size > buffer.size()) {
            size_t keep = windowSize;
            size_t drop = bufferEnd - keep;
            std::memmove(buffer.data(), buffer.data() + drop, keep);
            bufferStart += drop;
            bufferEnd = keep;
        }
        std::memcpy(buffer.data() + bufferEnd, data, size);
        bufferEnd += size;
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
    s.append(data, size);
    uint64_t start = s.position;
    s.position += size;
    uint32_t saved[3] = {s.repeats[0], s.repeats[1], s.repeats[2]};
    s.parse(start, size);
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
