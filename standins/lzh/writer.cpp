// LZH archives: writes level-2 headers around -lh0-, -lh5-, -lh6- or -lh7- data, each file
// streamed through the encoder straight into the archive (files of 4 GiB or more with their
// sizes in a 0x42 extended header), and reads the level 0-2 headers of an archive it adds to
// (libarchive reads them for extraction). Names are Shift-JIS in the 0x01 and 0x02 headers;
// a name the code page cannot hold has its spelling there with '_' for what it lacks, and
// after them its UTF-16 form in 0x44 and 0x45.
#include "standins/core/formats.h"

#include <windows.h>

#include <ctime>
#include <vector>

#include "standins/codecs/lzh_encoder.h"
#include "standins/core/names.h"
#include "standins/lzh/header.h"
#include "standins/write/writer_io.h"
#include "standins/lzh/lzh.h"

namespace standin {
namespace {

const unsigned char kPathSeparator = 0xFF;  // separator inside LZH directory headers
const wchar_t kWidePathSeparator = 0xFFFF;  // the same in the UTF-16 directory header
const unsigned char kExtSizes = 0x42;       // extended header of the 64-bit sizes
const unsigned char kExtFileName = 0x01;
const unsigned char kExtDirName = 0x02;
const unsigned char kExtWideFileName = 0x44;
const unsigned char kExtWideDirName = 0x45;

// Splits a '\\' or '/' separated UTF-8 name into components (no byte of a multibyte UTF-8
// character is a separator).
std::vector<std::string> SplitComponents(const std::string& name) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : name) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

// The key under which two names mean the same entry: '\\' separated, ASCII case folded.
std::string NameKey(const std::string& name) {
    std::string key;
    for (const std::string& part : SplitComponents(name)) {
        if (!key.empty()) key += '\\';
        for (char c : part) key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key;
}

struct LzhEntry {
    size_t start = 0;  // first byte of the header
    size_t dataStart = 0;
    uint64_t dataSize = 0;  // packed bytes
    uint64_t originalSize = 0;
    std::string method;
    std::string name;  // UTF-8, '\\' separated
    uint16_t crc = 0;
    uint32_t dosTime = 0;
    int level = 0;
};

struct ExtHeaders {
    std::string fileName, dirName;  // code page bytes, or UTF-16LE when wide
    bool wideFile = false, wideDir = false;
    bool hasHeaderCrc = false;
    size_t headerCrcAt = 0;  // offset of the CRC inside the archive
    // The base header's 32-bit sizes, replaced by a 0x42 header's 64-bit ones.
    uint64_t packedSize = 0, originalSize = 0;
};

// Walks a chain of extended headers starting at pos; false when one leaves [pos, limit).
bool ReadExtHeaders(const std::string& a, size_t pos, size_t limit, uint32_t nextSize,
                    ExtHeaders& ext, size_t& end) {
    while (nextSize != 0) {
        if (nextSize < 3 || pos + nextSize > limit) return false;
        unsigned char type = static_cast<unsigned char>(a[pos]);
        size_t dataLen = nextSize - 3;
        std::string data = a.substr(pos + 1, dataLen);
        if (type == 0x00 && dataLen >= 2) {
            ext.hasHeaderCrc = true;
            ext.headerCrcAt = pos + 1;
        } else if (type == kExtFileName || type == kExtWideFileName) {
            // The one that comes last wins, as for libarchive.
            ext.fileName = data;
            ext.wideFile = type == kExtWideFileName;
        } else if (type == kExtDirName || type == kExtWideDirName) {
            ext.dirName = data;
            ext.wideDir = type == kExtWideDirName;
        } else if (type == kExtSizes && dataLen == 16) {
            // Only this exact length counts, as for libarchive, which extracts: the two
            // readers must agree on where the entry's data ends.
            ext.packedSize = GetLe64(data, 0);
            ext.originalSize = GetLe64(data, 8);
        }
        size_t next = pos + nextSize;
        nextSize = GetLe16(a, next - 2);
        pos = next;
    }
    end = pos;
    return true;
}

// One stored name part in UTF-8: UTF-16LE from a wide header (its separators 0xFFFF), else
// bytes as LZH programs write them (separators 0xFF).
std::string DecodePart(const std::string& stored, bool wide) {
    if (wide) {
        WideText text(stored.size() / 2 + 1, L'\0');
        for (size_t i = 0; i + 1 < stored.size(); i += 2) {
            wchar_t c = static_cast<wchar_t>(GetLe16(stored, i));
            text[i / 2] = c == kWidePathSeparator ? L'\\' : c;
        }
        return DecodeWideName(text.data(), text.size() - 1);
    }
    std::string bytes = stored;
    for (char& c : bytes)
        if (static_cast<unsigned char>(c) == kPathSeparator) c = '\\';
    return DecodeStoredName(bytes, NameBytes::unmarked);
}

std::string JoinName(const ExtHeaders& ext, const std::string& file, bool wideFile) {
    std::string dir = DecodePart(ext.dirName, ext.wideDir);
    if (!dir.empty() && dir.back() != '\\') dir += '\\';
    return dir + DecodePart(file, wideFile);
}

// Parses the entry header at pos (a holds it whole; the data follows it in the archive);
// false at the end mark or on a header that does not hold together.
bool ParseEntry(const std::string& a, size_t pos, LzhEntry& e) {
    if (pos + 22 > a.size() || a[pos] == 0) return false;
    e = LzhEntry();
    e.start = pos;
    e.level = static_cast<unsigned char>(a[pos + 20]);
    e.method = a.substr(pos + 2, 5);
    if (e.method[0] != '-' || e.method[1] != 'l' || e.method[4] != '-') return false;
    ExtHeaders ext;
    ext.packedSize = GetLe32(a, pos + 7);
    ext.originalSize = GetLe32(a, pos + 11);
    if (e.level == 0 || e.level == 1) {
        size_t baseSize = static_cast<unsigned char>(a[pos]);
        size_t baseEnd = pos + 2 + baseSize;
        if (baseEnd > a.size()) return false;
        unsigned sum = 0;
        for (size_t i = pos + 2; i < baseEnd; ++i) sum += static_cast<unsigned char>(a[i]);
        if ((sum & 0xFF) != static_cast<unsigned char>(a[pos + 1])) return false;
        size_t nameLen = static_cast<unsigned char>(a[pos + 21]);
        size_t crcAt = pos + 22 + nameLen;
        if (crcAt + 2 > baseEnd) return false;
        std::string baseName = a.substr(pos + 22, nameLen);
        e.crc = static_cast<uint16_t>(GetLe16(a, crcAt));
        e.dosTime = GetLe32(a, pos + 15);
        if (e.level == 0) {
            e.dataStart = baseEnd;
            e.dataSize = ext.packedSize;
            e.name = DecodePart(baseName, false);
        } else {
            if (crcAt + 5 > baseEnd) return false;
            size_t extEnd = 0;
            if (!ReadExtHeaders(a, baseEnd, a.size(), GetLe16(a, crcAt + 3), ext, extEnd))
                return false;
            // Level 1 counts its extended headers in the packed size.
            if (extEnd - baseEnd > ext.packedSize) return false;
            e.dataStart = extEnd;
            e.dataSize = ext.packedSize - (extEnd - baseEnd);
            e.name = ext.fileName.empty() ? JoinName(ext, baseName, false)
                                           : JoinName(ext, ext.fileName, ext.wideFile);
        }
    } else if (e.level == 2) {
        size_t total = GetLe16(a, pos);
        if (total < 26 || pos + total > a.size()) return false;
        size_t extEnd = 0;
        if (!ReadExtHeaders(a, pos + 26, pos + total, GetLe16(a, pos + 24), ext, extEnd))
            return false;
        if (ext.hasHeaderCrc) {
            std::string header = a.substr(pos, total);
            size_t at = ext.headerCrcAt - pos;
            uint16_t stored = static_cast<uint16_t>(GetLe16(header, at));
            header[at] = header[at + 1] = 0;
            if (LzhCrc16(header.data(), header.size()) != stored) return false;
        }
        e.crc = static_cast<uint16_t>(GetLe16(a, pos + 21));
        e.dosTime = UnixTimeToDos(GetLe32(a, pos + 15));
        e.dataStart = pos + total;
        e.dataSize = ext.packedSize;
        e.name = JoinName(ext, ext.fileName, ext.wideFile);
    } else {
        return false;
    }
    e.originalSize = ext.originalSize;
    return true;
}


// The entries of an archive being added to, read one after another from its start, with a
// piece of the file in memory at a time.
class ArchiveScanner {
public:
    explicit ArchiveScanner(InputFile& in) : in_(in) {}

    // The next entry's whole header into header, parsed into entry. False at the end mark or
    // the file's end (end is then true) and on a header that breaks off or does not hold
    // together (end false).
    bool nextHeader(std::string& header, LzhEntry& entry, bool& end) {
        end = false;
        header.clear();
        if (!fill(1)) return false;
        if (available() == 0 || buffer_[at_] == '\0') {
            end = true;
            return false;
        }
        const size_t kMinimum = 22;
        if (!take(kMinimum, header)) return false;
        int level = static_cast<unsigned char>(header[20]);
        if (level == 0 || level == 1) {
            size_t baseEnd = 2 + static_cast<unsigned char>(header[0]);
            if (baseEnd < kMinimum + 2 || !take(baseEnd - kMinimum, header)) return false;
            // Level 1 chains extended headers after the base one, each naming the next's size.
            for (uint32_t next = level == 1 ? GetLe16(header, baseEnd - 2) : 0; next != 0;
                 next = GetLe16(header, header.size() - 2)) {
                if (next < 3 || header.size() + next > kLongestHeader || !take(next, header))
                    return false;
            }
        } else if (level == 2) {
            size_t total = GetLe16(header, 0);
            if (total < 26 || !take(total - kMinimum, header)) return false;
        } else {
            return false;
        }
        return ParseEntry(header, 0, entry) && entry.dataStart == header.size();
    }

    // Passes the next size bytes on to sink, or drops them when sink is null; false when the
    // file ends first or cannot be read, or when the sink refuses.
    bool pass(uint64_t size, ByteSink* sink) {
        while (size > 0) {
            if (!fill(1) || available() == 0) return false;
            size_t n = available() < size ? available() : static_cast<size_t>(size);
            if (sink && !sink->write(&buffer_[at_], n)) {
                sinkRefused_ = true;
                return false;
            }
            at_ += n;
            size -= n;
        }
        return true;
    }

    bool sinkRefused() const { return sinkRefused_; }

private:
    // Hostile extended-header chains stop here; real ones are a few hundred bytes.
    static const size_t kLongestHeader = 1 << 20;

    size_t available() const { return buffer_.size() - at_; }

    // Makes at least want bytes available unless the file ends first; false on a read error.
    bool fill(size_t want) {
        if (available() >= want) return true;
        buffer_.erase(0, at_);
        at_ = 0;
        while (buffer_.size() < want) {
            size_t got = 0;
            if (!in_.read(piece_.data(), piece_.size(), got)) return false;
            if (got == 0) break;
            buffer_.append(piece_.data(), got);
        }
        return true;
    }

    bool take(size_t size, std::string& out) {
        if (!fill(size) || available() < size) return false;
        out.append(buffer_, at_, size);
        at_ += size;
        return true;
    }

    InputFile& in_;
    std::vector<char> piece_ = std::vector<char>(kWriteChunk);
    std::string buffer_;
    size_t at_ = 0;
    bool sinkRefused_ = false;
};

void AddExt(std::string& h, unsigned char type, const std::string& data) {
    h += static_cast<char>(type);
    h += data;
    h += std::string(2, '\0');  // size of the next extended header, filled in later
}

}  // namespace

bool BuildLzhHeader(const Item& item, const LzhFacts& facts, std::string& h) {
    if (!facts.wide &&
        (facts.packedSize > kLargestNarrowEntry || facts.originalSize > kLargestNarrowEntry))
        return false;
    std::vector<std::string> parts = SplitComponents(item.name);
    if (parts.empty()) return false;
    // A name the code page holds is stored in it alone, byte for byte as LHA programs write
    // it. Any other gets the code page spelling with '_' for what the code page lacks (for
    // programs that read only that) and then its UTF-16 form, which a reader takes over it.
    const bool wide = !Utf8FitsCodePage(item.name);
    std::string fileName, dirName, wideFile, wideDir;
    size_t dirParts = item.isDir ? parts.size() : parts.size() - 1;
    for (size_t i = 0; i < dirParts; ++i) {
        dirName += Utf8ToAnsiLossy(parts[i]) + static_cast<char>(kPathSeparator);
        if (!wide) continue;
        WideText text = Utf8ToWide(parts[i]);
        for (size_t k = 0; k + 1 < text.size(); ++k) AppendLe16(wideDir, text[k]);
        AppendLe16(wideDir, kWidePathSeparator);
    }
    if (!item.isDir) {
        fileName = Utf8ToAnsiLossy(parts.back());
        if (wide) {
            WideText text = Utf8ToWide(parts.back());
            for (size_t k = 0; k + 1 < text.size(); ++k) AppendLe16(wideFile, text[k]);
        }
    }
    // Libarchive takes a wide header whose first byte is zero for a damaged archive and
    // stops there, so a part beginning with such a character (U+4E00 "一", U+0100...) keeps
    // only its code page spelling.
    if (!wideFile.empty() && wideFile[0] == '\0') wideFile.clear();
    if (!wideDir.empty() && wideDir[0] == '\0') wideDir.clear();

    h.assign(26, '\0');
    h.replace(2, 5, facts.method);
    SetLe32(h, 7, static_cast<uint32_t>(facts.packedSize));
    SetLe32(h, 11, static_cast<uint32_t>(facts.originalSize));
    uint32_t unixTime = item.dosTime ? DosTimeToUnix(item.dosTime) : 0;
    if (unixTime == 0) unixTime = static_cast<uint32_t>(std::time(nullptr));
    SetLe32(h, 15, unixTime);
    h[19] = 0x20;
    h[20] = 2;
    SetLe16(h, 21, facts.crc);
    h[23] = 'M';
    std::vector<size_t> extStarts;
    extStarts.push_back(h.size());
    AddExt(h, 0x00, std::string(2, '\0'));
    // Libarchive keeps whichever name header comes last, so the wide ones follow.
    if (!item.isDir) {
        extStarts.push_back(h.size());
        AddExt(h, kExtFileName, fileName);
    }
    if (!dirName.empty()) {
        extStarts.push_back(h.size());
        AddExt(h, kExtDirName, dirName);
    }
    if (!wideFile.empty()) {
        extStarts.push_back(h.size());
        AddExt(h, kExtWideFileName, wideFile);
    }
    if (!wideDir.empty()) {
        extStarts.push_back(h.size());
        AddExt(h, kExtWideDirName, wideDir);
    }
    extStarts.push_back(h.size());
    std::string attr(2, '\0');
    SetLe16(attr, 0, item.attributes & 0xFFFF);
    AddExt(h, 0x40, attr);
    if (facts.wide) {
        extStarts.push_back(h.size());
        std::string sizes;
        AppendLe64(sizes, facts.packedSize);
        AppendLe64(sizes, facts.originalSize);
        AddExt(h, kExtSizes, sizes);
    }
    extStarts.push_back(h.size());
    // Each size field names the header after it: the base header's names the first one.
    SetLe16(h, 24, static_cast<uint32_t>(extStarts[1] - extStarts[0]));
    for (size_t i = 0; i + 1 < extStarts.size(); ++i) {
        size_t nextSize = i + 2 < extStarts.size() ? extStarts[i + 2] - extStarts[i + 1] : 0;
        if (nextSize > 0xFFFF) return false;
        SetLe16(h, extStarts[i + 1] - 2, static_cast<uint32_t>(nextSize));
    }
    // A header starting with a zero byte would read as the end of the archive.
    if ((h.size() & 0xFF) == 0) h += '\0';
    if (h.size() > 0xFFFF) return false;
    SetLe16(h, 0, static_cast<uint32_t>(h.size()));
    SetLe16(h, extStarts[0] + 1, LzhCrc16(h.data(), h.size()));
    return true;
}

namespace {

// Reports what the encoder reads and stops it once the user cancels.
class ProgressSource : public ByteSource {
public:
    ProgressSource(ByteSource& in, WriteProgress& progress, const std::string& entry)
        : in_(in), progress_(progress), entry_(entry) {}
    bool read(void* buffer, size_t size, size_t& got) override {
        if (!in_.read(buffer, size, got)) return false;
        if (got > 0 && !progress_.advance(entry_, got)) {
            cancelled_ = true;
            got = 0;
            return false;
        }
        return true;
    }
    bool cancelled() const { return cancelled_; }

private:
    ByteSource& in_;
    WriteProgress& progress_;
    const std::string& entry_;
    bool cancelled_ = false;
};

// Passes stored data on and keeps its CRC-16, which the header carries.
class Crc16Sink : public ByteSink {
public:
    explicit Crc16Sink(ByteSink& next) : next_(next) {}
    bool write(const void* data, size_t size) override {
        crc = LzhCrc16(data, size, crc);
        return next_.write(data, size);
    }
    uint16_t crc = 0;

private:
    ByteSink& next_;
};

bool MethodOf(LzhPacking packing, LzhMethod& method) {
    switch (packing) {
    case LzhPacking::stored: return false;
    case LzhPacking::lh5: method = LzhMethod::Lh5; return true;
    case LzhPacking::lh6: method = LzhMethod::Lh6; return true;
    case LzhPacking::lh7: method = LzhMethod::Lh7; return true;
    }
    return false;
}

// Whether the header already written can describe size bytes: a file listed under 4 GiB
// that grew past it while it was packed cannot be, its header has no room for 0x42.
bool Fits(const LzhFacts& facts, uint64_t size) {
    return facts.wide || size <= kLargestNarrowEntry;
}

// The file's bytes stored as they are; facts receives their size and CRC.
WriteError StoreData(const Item& item, ArchiveOutput& out, WriteProgress& progress,
                     LzhFacts& facts) {
    InputFile in(item.sourcePath);
    if (!in.opened()) return WriteError::cannotRead;
    Crc16Sink sink(out);
    uint64_t size = 0;
    uint32_t crc32 = 0;
    WriteError error = WriteError::none;
    if (!CopyInput(in, sink, progress, item.name, kAnySize, size, crc32, error))
        return error != WriteError::none ? error : out.error();
    if (!Fits(facts, size)) return WriteError::changed;
    facts.method = "-lh0-";
    facts.packedSize = facts.originalSize = size;
    facts.crc = sink.crc;
    return WriteError::none;
}

// The file's bytes packed with method, or stored when packing would not make them smaller
// (the encoder stops as soon as it passes that mark, and what it wrote is dropped).
WriteError PackData(const Item& item, LzhMethod method, ArchiveOutput& out,
                    WriteProgress& progress, LzhFacts& facts) {
    uint64_t dataStart = out.position();
    LzhResult result;
    {
        InputFile in(item.sourcePath);
        uint64_t size = 0;
        if (!in.opened() || !in.size(size)) return WriteError::cannotRead;
        if (!Fits(facts, size)) return WriteError::changed;
        // An empty file has nothing to pack; LHA stores it.
        if (size == 0) return StoreData(item, out, progress, facts);
        ProgressSource source(in, progress, item.name);
        result = EncodeLzh(method, source, out, size - 1);
        switch (result.status) {
        case LzhStatus::Ok: break;
        case LzhStatus::OverLimit: break;
        case LzhStatus::SourceFailed:
            return source.cancelled() ? WriteError::cancelled : WriteError::cannotRead;
        case LzhStatus::SinkRefused: return out.error();
        }
    }
    if (result.status == LzhStatus::OverLimit || result.packedSize >= result.originalSize) {
        if (!out.truncate(dataStart)) return out.error();
        return StoreData(item, out, progress, facts);
    }
    if (!Fits(facts, result.originalSize)) return WriteError::changed;
    facts.method = LzhMethodId(method);
    facts.packedSize = result.packedSize;
    facts.originalSize = result.originalSize;
    facts.crc = result.crc;
    return WriteError::none;
}

// One entry: a header with the facts left open, the data, then the header again with them.
WriteError WriteEntry(const Item& item, LzhPacking packing, ArchiveOutput& out,
                      WriteProgress& progress) {
    LzhFacts facts;
    facts.method = item.isDir ? "-lhd-" : "-lh0-";
    facts.wide = !item.isDir && item.size > kLargestNarrowEntry;
    std::string header;
    if (!BuildLzhHeader(item, facts, header)) return WriteError::cannotWrite;
    if (!progress.begin(item.name)) return WriteError::cancelled;
    uint64_t headerStart = out.position();
    if (!out.write(header.data(), header.size())) return out.error();
    if (item.isDir) return WriteError::none;
    LzhMethod method;
    WriteError error = MethodOf(packing, method) ? PackData(item, method, out, progress, facts)
                                                 : StoreData(item, out, progress, facts);
    if (error != WriteError::none) return error;
    if (!BuildLzhHeader(item, facts, header) ||
        !out.patch(headerStart, header.data(), header.size()))
        return out.error() != WriteError::none ? out.error() : WriteError::cannotWrite;
    return WriteError::none;
}

WriteResult Failed(WriteError error, const std::string& entry) {
    WriteResult result;
    result.error = error;
    result.entry = entry;
    return result;
}

// The name shown for the archive itself when it is to blame, in UTF-8 as entries are.
std::string FileNameOf(const std::string& path) {
    size_t separator = LastSeparatorIndex(path);
    return AnsiToUtf8(separator == std::string::npos ? path : path.substr(separator + 1));
}

}  // namespace

WriteResult WriteLzhArchive(const WriteJob& job, LzhPacking packing, bool keepExisting) {
    const std::vector<Item>& items = job.items;
    std::vector<std::string> keys(items.size());
    std::vector<bool> used(items.size(), false);
    for (size_t i = 0; i < items.size(); ++i) keys[i] = NameKey(items[i].name);
    WriteProgress progress(job);
    ArchiveOutput out(job.archive);
    if (!out.opened()) return Failed(out.error(), std::string());
    if (keepExisting && GetFileAttributesA(job.archive.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // Closed again before the commit: Windows renames nothing over an open file.
        InputFile old(AnsiToUtf8(job.archive));
        if (!old.opened()) return Failed(WriteError::cannotRead, FileNameOf(job.archive));
        ArchiveScanner scanner(old);
        std::string header;
        LzhEntry entry;
        bool end = false;
        while (scanner.nextHeader(header, entry, end)) {
            std::string key = NameKey(entry.name);
            bool replaced = false;
            // A replaced entry keeps its place, like LHA's "a"; the last item of a name wins.
            for (size_t i = items.size(); i-- > 0;) {
                if (keys[i] != key) continue;
                if (!used[i]) {
                    WriteError error = WriteEntry(items[i], packing, out, progress);
                    if (error != WriteError::none) return Failed(error, items[i].name);
                }
                used[i] = true;
                replaced = true;
            }
            if (!replaced && !out.write(header.data(), header.size()))
                return Failed(out.error(), std::string());
            if (!scanner.pass(entry.dataSize, replaced ? nullptr : &out)) {
                if (scanner.sinkRefused()) return Failed(out.error(), std::string());
                return Failed(WriteError::cannotRead, FileNameOf(job.archive));
            }
        }
        if (!end) return Failed(WriteError::cannotRead, FileNameOf(job.archive));
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (used[i]) continue;
        WriteError error = WriteEntry(items[i], packing, out, progress);
        if (error != WriteError::none) return Failed(error, items[i].name);
    }
    const char endMark = '\0';
    if (!out.write(&endMark, 1) || !out.commit()) return Failed(out.error(), std::string());
    return WriteResult();
}

bool WriteLzh(const std::string& archive, const std::vector<Item>& items, bool keepExisting,
              LzhPacking packing) {
    WriteJob job;
    job.archive = archive;
    job.items = items;
    return WriteLzhArchive(job, packing, keepExisting).ok();
}

}  // namespace standin
