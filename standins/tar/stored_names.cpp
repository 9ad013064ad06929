// Tar32.dll's look at how each tar name is stored. A pax record's path is UTF-8, which
// libarchive decodes; a ustar or GNU name is bytes, which it keeps. Once an archive holds one
// pax record, libarchive calls every later entry pax too, so for a name of Latin-1 letters
// alone (Straße from pax, or Shift-JIS bytes such as 表示 beside it) its forms do not tell
// which it did. The headers do: the stream is read once more, uncompressed, and each entry
// noted with the header its name came from.
#include <archive.h>

#include <cstdlib>
#include <cstring>

#include "standins/core/names.h"
#include "standins/extract/archive_reader.h"
#include "standins/tar/tar.h"

namespace standin {
namespace {

const size_t kBlock = 512;

// The uncompressed stream in blocks of 512 bytes.
class Blocks {
public:
    explicit Blocks(struct archive* a) : a_(a) {}
    // False at the end of the stream or on a read error.
    bool next(std::string& block) {
        while (buffer_.size() - at_ < kBlock) {
            char chunk[16 * 1024];
            la_ssize_t n = archive_read_data(a_, chunk, sizeof chunk);
            if (n <= 0) return false;
            buffer_.erase(0, at_);
            at_ = 0;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
        block.assign(buffer_, at_, kBlock);
        at_ += kBlock;
        return true;
    }
    bool skip(uint64_t bytes) {
        std::string block;
        for (uint64_t blocks = (bytes + kBlock - 1) / kBlock; blocks > 0; --blocks)
            if (!next(block)) return false;
        return true;
    }
    bool read(uint64_t bytes, std::string& data) {
        data.clear();
        std::string block;
        while (data.size() < bytes) {
            if (!next(block)) return false;
            data += block;
        }
        data.resize(static_cast<size_t>(bytes));
        return true;
    }

private:
    struct archive* a_;
    std::string buffer_;
    size_t at_ = 0;
};

std::string Field(const std::string& header, size_t at, size_t size) {
    std::string s = header.substr(at, size);
    size_t end = s.find('\0');
    return end == std::string::npos ? s : s.substr(0, end);
}

// An octal size, or base-256 when the first byte's top bit is set; false when neither.
bool SizeOf(const std::string& header, uint64_t& size) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(header.data()) + 124;
    size = 0;
    if (p[0] & 0x80) {
        for (int i = 1; i < 12; ++i) size = (size << 8) | p[i];
        return size < (1ULL << 40);
    }
    for (int i = 0; i < 12 && p[i] != 0 && p[i] != ' '; ++i) {
        if (p[i] < '0' || p[i] > '7') return false;
        size = size * 8 + (p[i] - '0');
    }
    return true;
}

// What a pax record set ("<length> <key>=<value>\n" ...) says of the next entry.
struct PaxRecords {
    bool hasPath = false;  // a path in UTF-8 (not hdrcharset=BINARY)
    std::string path;
    bool hasSize = false;  // a size past the header's field
    uint64_t size = 0;
};

PaxRecords ReadPax(const std::string& records) {
    PaxRecords pax;
    bool binary = false;
    size_t at = 0;
    while (at < records.size()) {
        size_t space = records.find(' ', at);
        if (space == std::string::npos) break;
        size_t length = 0;
        for (size_t i = at; i < space && length < records.size(); ++i) {
            if (records[i] < '0' || records[i] > '9') return pax;
            length = length * 10 + (records[i] - '0');
        }
        if (length <= space - at + 1 || at + length > records.size()) break;
        std::string record = records.substr(space + 1, at + length - space - 2);
        if (record.compare(0, 5, "path=") == 0) {
            pax.path = record.substr(5);
            pax.hasPath = true;
        } else if (record.compare(0, 5, "size=") == 0) {
            pax.size = strtoull(record.c_str() + 5, nullptr, 10);
            pax.hasSize = true;
        } else if (record == "hdrcharset=BINARY") {
            binary = true;
        }
        at += length;
    }
    pax.hasPath = pax.hasPath && !binary;
    return pax;
}

}  // namespace

void ListTarNamesThrough(EnableReaders lone, const std::string& archive,
                         std::set<std::string>& marked, std::set<std::string>& unmarked) {
    ArchiveReader reader;
    if (!reader.get() || !lone(reader.get()) ||
        archive_read_open_filename_w(reader.get(), ExtendedAnsiPath(archive).data(), 64 * 1024) !=
            ARCHIVE_OK)
        return;
    struct archive_entry* entry = nullptr;
    if (archive_read_next_header(reader.get(), &entry) != ARCHIVE_OK) return;
    Blocks blocks(reader.get());
    std::string header, data, longName;
    PaxRecords pax;
    while (blocks.next(header)) {
        if (header.find_first_not_of('\0') == std::string::npos) return;  // the end
        uint64_t size = 0;
        if (!SizeOf(header, size)) return;
        char type = header[156];
        if (type == 'x' || type == 'L') {
            if (size > (1u << 20) || !blocks.read(size, data)) return;
            if (type == 'x') {
                pax = ReadPax(data);
            } else {
                longName = data.substr(0, data.find('\0'));
            }
            continue;
        }
        if (type != 'g' && type != 'K') {
            if (pax.hasSize) size = pax.size;
            if (pax.hasPath) {
                marked.insert(pax.path);
            } else if (!longName.empty()) {
                unmarked.insert(longName);
            } else {
                std::string name = Field(header, 0, 100);
                // Only ustar has a prefix field; GNU's "ustar  " keeps times there.
                std::string prefix =
                    header.compare(257, 6, std::string("ustar\0", 6)) == 0 ? Field(header, 345, 155)
                                                                          : std::string();
                unmarked.insert(prefix.empty() ? name : prefix + "/" + name);
            }
            pax = PaxRecords();
            longName.clear();
        }
        // Symbolic links, folders and devices carry no data; ustar's hard links may.
        bool carriesData = type != '2' && type != '3' && type != '4' && type != '5' &&
                           type != '6';
        if (carriesData && !blocks.skip(size)) return;
    }
}

}  // namespace standin
