#include "standins/codecs/tests/lzh_support.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>

namespace lzh_test {
namespace {

void PutLe(std::string& s, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// xorshift32: small, fast, and the same everywhere.
struct Random {
    explicit Random(uint32_t seed) : state(seed * 2654435761u + 1) {}
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t below(uint32_t n) { return next() % n; }
    uint32_t state;
};

const char* const kWords[] = {
    "the", "of", "and", "to", "a", "in", "is", "that", "for", "it", "as", "was", "with",
    "be", "by", "on", "not", "he", "this", "are", "or", "his", "from", "at", "which", "but",
    "have", "an", "had", "they", "you", "were", "their", "one", "all", "we", "can", "her",
    "has", "there", "been", "if", "more", "when", "will", "would", "who", "so", "no",
    "archive", "window", "compression", "folder", "between", "message", "through", "little",
    "program", "another", "different", "something", "important", "afternoon", "mountain",
    "question", "because", "yesterday", "remember", "together", "children", "understand",
    "beautiful", "government", "development", "information", "particularly", "everything"};
const size_t kWordCount = sizeof kWords / sizeof kWords[0];

const char* const kIdentifiers[] = {
    "buffer", "size", "count", "index", "result", "status", "source", "sink", "entry",
    "header", "length", "offset", "window", "table", "node", "value", "name", "path"};
const char* const kTypes[] = {"int", "size_t", "uint32_t", "bool", "std::string", "auto"};

}  // namespace

std::string LzhEntry(const std::string& name, const char* method, const std::string& packed,
                     uint64_t originalSize, uint16_t crc) {
    std::string h;
    PutLe(h, 0, 2);  // total header size, set below
    h += method;
    PutLe(h, packed.size(), 4);
    PutLe(h, originalSize, 4);
    PutLe(h, 1700000000, 4);  // modification time, Unix seconds
    h += '\x20';              // attribute: archive
    h += '\x02';              // header level
    PutLe(h, crc, 2);
    h += 'U';
    PutLe(h, 5, 2);  // common extended header: the header's CRC
    h += '\x00';
    size_t crcAt = h.size();
    PutLe(h, 0, 2);
    PutLe(h, 3 + name.size(), 2);
    h += '\x01';  // file name
    h += name;
    PutLe(h, 0, 2);  // no more extended headers
    if ((h.size() & 0xFF) == 0) h += '\0';  // a low byte of 0 would read as the end mark
    h[0] = static_cast<char>(h.size() & 0xFF);
    h[1] = static_cast<char>(h.size() >> 8);
    uint16_t headerCrc = standin::LzhCrc16(h.data(), h.size());
    h[crcAt] = static_cast<char>(headerCrc & 0xFF);
    h[crcAt + 1] = static_cast<char>(headerCrc >> 8);
    return h + packed;
}

std::string LzhArchive(const std::vector<Entry>& entries) {
    std::string archive;
    for (const Entry& e : entries) {
        std::string packed = standin::EncodeLzh(e.method, e.original.data(), e.original.size());
        archive += LzhEntry(e.name, standin::LzhMethodId(e.method), packed, e.original.size(),
                            standin::LzhCrc16(e.original.data(), e.original.size()));
    }
    return archive + '\0';
}

bool ReadWithLibarchive(const std::string& archive, std::vector<std::string>& contents,
                        std::string& error) {
    struct archive* a = archive_read_new();
    archive_read_support_format_lha(a);
    bool ok = archive_read_open_memory(a, archive.data(), archive.size()) == ARCHIVE_OK;
    struct archive_entry* entry;
    while (ok) {
        int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK) {
            ok = false;
            break;
        }
        std::string data;
        char chunk[65536];
        la_ssize_t got;
        while ((got = archive_read_data(a, chunk, sizeof chunk)) > 0) data.append(chunk, got);
        contents.push_back(data);
        if (got < 0) ok = false;
    }
    if (!ok) error = archive_error_string(a) ? archive_error_string(a) : "libarchive failed";
    archive_read_free(a);
    return ok;
}

std::string EnglishText(size_t size, uint32_t seed) {
    Random r(seed);
    std::string s;
    while (s.size() < size) {
        size_t words = 5 + r.below(15);
        for (size_t w = 0; w < words; ++w) {
            // Short words far more often than long ones.
            uint32_t pick = r.below(kWordCount);
            pick = pick * r.below(kWordCount) / kWordCount;
            std::string word = kWords[pick];
            if (w == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
            s += word;
            s += w + 1 == words ? ". " : (r.below(10) == 0 ? ", " : " ");
        }
        if (r.below(6) == 0) s += "\n\n";
    }
    s.resize(size);
    return s;
}

std::string SourceCode(size_t size, uint32_t seed) {
    Random r(seed);
    std::string s;
    auto id = [&] { return std::string(kIdentifiers[r.below(18)]); };
    while (s.size() < size) {
        s += "static " + std::string(kTypes[r.below(6)]) + " " + id() + "_" + id() + "(" +
             kTypes[r.below(6)] + " " + id() + ") {\n";
        size_t lines = 2 + r.below(10);
        for (size_t l = 0; l < lines; ++l) {
            std::string indent(4 * (1 + r.below(3)), ' ');
            switch (r.below(4)) {
            case 0: s += indent + "if (" + id() + " > " + std::to_string(r.below(1000)) + ") return " + id() + ";\n"; break;
            case 1: s += indent + id() + " += " + id() + "[" + id() + " & 0x" + std::to_string(r.below(256)) + "];\n"; break;
            case 2: s += indent + "for (size_t i = 0; i < " + id() + ".size(); ++i) " + id() + "(i);\n"; break;
            default: s += indent + "// " + EnglishText(20 + r.below(50), r.next()) + "\n"; break;
            }
        }
        s += "}\n\n";
    }
    s.resize(size);
    return s;
}

std::string RandomBytes(size_t size, uint32_t seed) {
    Random r(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(r.next() >> 24);
    return s;
}

namespace {

// A gzip stream of data, written by libarchive: what a .gz file the user drops holds.
std::string Gzip(const std::string& data) {
    std::vector<char> out(data.size() + data.size() / 8 + 1024);
    size_t used = 0;
    struct archive* a = archive_write_new();
    archive_write_add_filter_gzip(a);
    archive_write_set_format_raw(a);
    archive_write_set_bytes_in_last_block(a, 1);
    bool ok = archive_write_open_memory(a, out.data(), out.size(), &used) == ARCHIVE_OK;
    struct archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, "data");
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
    ok = ok && archive_write_header(a, entry) == ARCHIVE_OK &&
         archive_write_data(a, data.data(), data.size()) == static_cast<la_ssize_t>(data.size());
    archive_entry_free(entry);
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok ? std::string(out.data(), used) : std::string();
}

}  // namespace

std::string CompressedLike(size_t size, uint32_t seed) {
    std::string out;
    uint32_t part = 0;
    while (out.size() < size) {
        // Text packs to about a third; no more of it than needed.
        size_t plainSize = std::min<size_t>(1 << 18, 3 * (size - out.size()) + 4096);
        std::string plain = part % 2 ? SourceCode(plainSize, seed + part)
                                     : EnglishText(plainSize, seed + part);
        std::string packed = Gzip(plain);
        if (packed.empty()) packed = RandomBytes(plainSize / 3, seed + part);
        out += packed;
        ++part;
    }
    out.resize(size);
    return out;
}

std::string MixedData(size_t size, uint32_t seed) {
    Random r(seed);
    std::string s;
    while (s.size() < size) {
        size_t piece = 1000 + r.below(200000);
        uint32_t kind = r.below(4);
        uint32_t pieceSeed = r.next();
        if (kind == 0) s += EnglishText(piece, pieceSeed);
        if (kind == 1) s += SourceCode(piece, pieceSeed);
        if (kind == 2) s += CompressedLike(piece, pieceSeed);
        if (kind == 3) s += RandomBytes(piece, pieceSeed);
    }
    s.resize(size);
    return s;
}

}  // namespace lzh_test
