// ZIP archives written as a stream: deflated (or stored) entries, names as raw
// system-code-page bytes (no UTF-8 flag) when they fit it and in UTF-8 with flag bit 11
// otherwise, optionally encrypted with the traditional PKWARE scheme, with ZIP64 fields where
// a size or an offset passes 4 GiB.
#include <windows.h>

#include <zlib.h>

#include <chrono>
#include <memory>
#include <random>

#include <algorithm>

#include "standins/core/formats.h"
#include "standins/core/names.h"
#include "standins/write/writer_io.h"
#include "standins/zip/zip.h"

namespace standin {
namespace {

const uint32_t kLocalSignature = 0x04034b50;
const uint32_t kCentralSignature = 0x02014b50;
const uint32_t kEndSignature = 0x06054b50;
const uint16_t kFlagEncrypted = 0x0001;
const uint16_t kFlagUtf8 = 0x0800;  // the name (and comment) are UTF-8
const uint32_t kHostMsDos = 0;      // "version made by": the system whose names these are
const uint32_t kHostVfat = 14;
const uint16_t kStored = 0;
const uint16_t kDeflated = 8;
const size_t kEncryptionHeaderSize = 12;
const uint32_t kZip64EndSignature = 0x06064b50;
const uint32_t kZip64LocatorSignature = 0x07064b50;
const uint16_t kZip64Tag = 0x0001;
const uint64_t kNoZip64 = 0xFFFFFFFFull;  // a 32-bit field at this value points to ZIP64
// An input this large gets a ZIP64 extra in its local header: its size is known only once
// it has been read, and the header must keep its length when it is patched.
const uint64_t kZip64Input = 0xFFFFFFFFull - 64;

// The traditional PKWARE stream cipher: three keys updated by every plain byte.
class ZipCipher {
public:
    explicit ZipCipher(const std::string& password) {
        for (char c : password) update(static_cast<unsigned char>(c));
    }
    unsigned char encrypt(unsigned char plain) {
        unsigned char cipher = plain ^ streamByte();
        update(plain);
        return cipher;
    }

private:
    static uint32_t crcByte(uint32_t crc, unsigned char b) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        return crc;
    }
    unsigned char streamByte() const {
        uint16_t t = static_cast<uint16_t>(keys_[2] | 2);
        return static_cast<unsigned char>((t * (t ^ 1)) >> 8);
    }
    void update(unsigned char b) {
        keys_[0] = crcByte(keys_[0], b);
        keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
        keys_[2] = crcByte(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
    }
    uint32_t keys_[3] = {305419896u, 591751049u, 878082192u};
};

std::mt19937 MakeRandom() {
    std::random_device device;
    auto now = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::seed_seq seed{device(), now, static_cast<uint32_t>(GetCurrentProcessId())};
    return std::mt19937(seed);
}

// Encrypts what passes through it on its way to the next sink.
class EncryptSink : public ByteSink {
public:
    EncryptSink(ByteSink& next, const std::string& password) : next_(next), cipher_(password) {}
    bool write(const void* data, size_t size) override {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        while (size > 0) {
            size_t n = size < sizeof buffer_ ? size : sizeof buffer_;
            for (size_t i = 0; i < n; ++i) buffer_[i] = cipher_.encrypt(p[i]);
            if (!next_.write(buffer_, n)) return false;
            p += n;
            size -= n;
        }
        return true;
    }

private:
    ByteSink& next_;
    ZipCipher cipher_;
    unsigned char buffer_[4096];
};

struct Entry {
    std::string name;
    uint16_t flags = 0;
    uint16_t method = kStored;
    uint32_t dosTime = 0;
    uint32_t crc = 0;
    uint64_t packed = 0;
    uint64_t size = 0;
    uint64_t offset = 0;
    uint32_t external = 0;
    bool zip64Local = false;
};

uint32_t Clamp32(uint64_t v) {
    return v >= kNoZip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}

uint16_t VersionNeeded(const Entry& e, bool zip64) {
    if (zip64) return 45;
    return e.method == kDeflated || e.name.back() == '/' ? 20 : 10;
}

std::string LocalHeader(const Entry& e) {
    std::string h;
    AppendLe32(h, kLocalSignature);
    AppendLe16(h, VersionNeeded(e, e.zip64Local));
    AppendLe16(h, e.flags);
    AppendLe16(h, e.method);
    AppendLe32(h, e.dosTime);
    AppendLe32(h, e.crc);
    AppendLe32(h, e.zip64Local ? 0xFFFFFFFFu : static_cast<uint32_t>(e.packed));
    AppendLe32(h, e.zip64Local ? 0xFFFFFFFFu : static_cast<uint32_t>(e.size));
    AppendLe16(h, static_cast<uint32_t>(e.name.size()));
    AppendLe16(h, e.zip64Local ? 20 : 0);
    h += e.name;
    if (e.zip64Local) {
        AppendLe16(h, kZip64Tag);
        AppendLe16(h, 16);
        AppendLe64(h, e.size);
        AppendLe64(h, e.packed);
    }
    return h;
}

std::string CentralHeader(const Entry& e) {
    // The ZIP64 extra holds, in this order, only the fields whose 32-bit slot overflowed.
    std::string extra;
    if (e.size >= kNoZip64) AppendLe64(extra, e.size);
    if (e.packed >= kNoZip64) AppendLe64(extra, e.packed);
    if (e.offset >= kNoZip64) AppendLe64(extra, e.offset);
    bool zip64 = !extra.empty();
    std::string h;
    AppendLe32(h, kCentralSignature);
    // Made by MS-DOS: unflagged names are code-page bytes, as Japanese readers expect. A UTF-8
    // name is made by VFAT (long names, the same attributes): Info-ZIP's unzip reads every
    // MS-DOS name through the OEM code page, even one flagged as UTF-8.
    uint32_t host = (e.flags & kFlagUtf8) ? kHostVfat : kHostMsDos;
    AppendLe16(h, host << 8 | (zip64 ? 45 : 20));
    AppendLe16(h, VersionNeeded(e, zip64 || e.zip64Local));
    AppendLe16(h, e.flags);
    AppendLe16(h, e.method);
    AppendLe32(h, e.dosTime);
    AppendLe32(h, e.crc);
    AppendLe32(h, Clamp32(e.packed));
    AppendLe32(h, Clamp32(e.size));
    AppendLe16(h, static_cast<uint32_t>(e.name.size()));
    AppendLe16(h, zip64 ? static_cast<uint32_t>(extra.size() + 4) : 0);
    AppendLe16(h, 0);  // comment
    AppendLe16(h, 0);  // disk
    AppendLe16(h, 0);  // internal attributes
    AppendLe32(h, e.external);
    AppendLe32(h, Clamp32(e.offset));
    h += e.name;
    if (zip64) {
        AppendLe16(h, kZip64Tag);
        AppendLe16(h, static_cast<uint32_t>(extra.size()));
        h += extra;
    }
    return h;
}

// The end of the archive; ZIP64's end record and locator first when a count, a size or an
// offset does not fit the classic one.
std::string EndRecords(uint64_t count, uint64_t centralAt, uint64_t centralSize) {
    std::string end;
    bool zip64 = count >= 0xFFFF || centralAt >= kNoZip64 || centralSize >= kNoZip64;
    if (zip64) {
        uint64_t recordAt = centralAt + centralSize;
        AppendLe32(end, kZip64EndSignature);
        AppendLe64(end, 44);  // the record's size after this field
        AppendLe16(end, 45);
        AppendLe16(end, 45);
        AppendLe32(end, 0);
        AppendLe32(end, 0);
        AppendLe64(end, count);
        AppendLe64(end, count);
        AppendLe64(end, centralSize);
        AppendLe64(end, centralAt);
        AppendLe32(end, kZip64LocatorSignature);
        AppendLe32(end, 0);
        AppendLe64(end, recordAt);
        AppendLe32(end, 1);
    }
    AppendLe32(end, kEndSignature);
    AppendLe16(end, 0);
    AppendLe16(end, 0);
    AppendLe16(end, count >= 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count));
    AppendLe16(end, count >= 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count));
    AppendLe32(end, Clamp32(centralSize));
    AppendLe32(end, Clamp32(centralAt));
    AppendLe16(end, 0);
    return end;
}

class ZipWriter {
public:
    ZipWriter(const WriteJob& job, bool deflate, const std::string& password)
        : job_(job), deflate_(deflate), password_(password), out_(job.archive),
          progress_(job, password.empty() ? 1 : 2), random_(MakeRandom()) {}

    WriteResult run() {
        if (!out_.opened()) return failed(WriteError::cannotWrite, std::string());
        for (const Item& item : job_.items) {
            if (!add(item)) return result_;
        }
        uint64_t centralAt = out_.position();
        for (const Entry& e : entries_) {
            std::string h = CentralHeader(e);
            if (!out_.write(h.data(), h.size())) return failed(out_.error(), std::string());
        }
        uint64_t centralSize = out_.position() - centralAt;
        std::string end = EndRecords(entries_.size(), centralAt, centralSize);
        if (!out_.write(end.data(), end.size()) || !out_.commit())
            return failed(out_.error(), std::string());
        return result_;
    }

private:
    WriteResult failed(WriteError error, const std::string& entry) {
        result_.error = error;
        result_.entry = entry;
        return result_;
    }

    bool add(const Item& item) {
        Entry e;
        std::string name = item.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        if (item.isDir && (name.empty() || name.back() != '/')) name += '/';
        // Japanese programs read unflagged names as Shift-JIS, so a name that has a spelling
        // there keeps it; any other is written in UTF-8 and says so.
        if (!Utf8FitsCodePage(name, &e.name)) {
            e.name = name;
            e.flags |= kFlagUtf8;
        }
        if (e.name.empty() || e.name.size() > 0xFFFF) {
            failed(WriteError::cannotWrite, item.name);
            return false;
        }
        e.dosTime = item.dosTime;
        e.external = (item.attributes & 0xFF) | (item.isDir ? FILE_ATTRIBUTE_DIRECTORY : 0);
        e.offset = out_.position();
        e.zip64Local = !item.isDir && item.size >= kZip64Input;
        if (!item.isDir && !password_.empty()) {
            e.flags |= kFlagEncrypted;
            // The encryption header's last byte is the CRC's high byte, so that a reader can
            // tell a wrong password: the CRC has to be known before the data.
            InputFile first(item.sourcePath);
            CountingSink nothing;  // the first pass only finds the CRC
            uint64_t size = 0;
            WriteError error;
            if (!first.opened()) {
                failed(WriteError::cannotRead, item.name);
                return false;
            }
            if (!CopyInput(first, nothing, progress_, item.name, kAnySize, size, e.crc, error)) {
                failed(error, item.name);
                return false;
            }
        }
        if (!progress_.begin(item.name)) {
            failed(WriteError::cancelled, item.name);
            return false;
        }
        std::string header = LocalHeader(e);
        if (!out_.write(header.data(), header.size())) {
            failed(out_.error(), item.name);
            return false;
        }
        if (!item.isDir) {
            uint64_t dataAt = out_.position();
            e.method = deflate_ ? kDeflated : kStored;
            if (!writeData(item, e, dataAt)) return false;
            // Deflate made it larger (already-compressed data, or nothing at all): store it.
            uint64_t overhead = (e.flags & kFlagEncrypted) ? kEncryptionHeaderSize : 0;
            if (e.method == kDeflated && e.packed >= e.size + overhead) {
                if (!out_.truncate(dataAt)) {
                    failed(out_.error(), item.name);
                    return false;
                }
                e.method = kStored;
                if (!writeData(item, e, dataAt)) return false;
            }
            if (!e.zip64Local && (e.size >= kNoZip64 || e.packed >= kNoZip64)) {
                failed(WriteError::changed, item.name);  // it grew past 4 GiB since it was listed
                return false;
            }
            header = LocalHeader(e);
            if (!out_.patch(e.offset, header.data(), header.size())) {
                failed(out_.error(), item.name);
                return false;
            }
        }
        entries_.push_back(e);
        return true;
    }

    // Writes the item's data by e.method from dataAt on, with the encryption header first
    // when encrypted; sets e.size, e.packed and (unencrypted) e.crc.
    bool writeData(const Item& item, Entry& e, uint64_t dataAt) {
        InputFile input(item.sourcePath);
        if (!input.opened()) {
            failed(WriteError::cannotRead, item.name);
            return false;
        }
        std::unique_ptr<EncryptSink> cipher;
        ByteSink* sink = &out_;
        if (e.flags & kFlagEncrypted) {
            cipher.reset(new EncryptSink(out_, password_));
            unsigned char head[kEncryptionHeaderSize];
            for (size_t i = 0; i + 1 < kEncryptionHeaderSize; ++i) head[i] = random_() & 0xFF;
            head[kEncryptionHeaderSize - 1] = static_cast<unsigned char>(e.crc >> 24);
            if (!cipher->write(head, sizeof head)) {
                failed(out_.error(), item.name);
                return false;
            }
            sink = cipher.get();
        }
        std::unique_ptr<DeflateSink> deflater;
        if (e.method == kDeflated) {
            deflater.reset(new DeflateSink(*sink, 6, -MAX_WBITS));
            sink = deflater.get();
        }
        uint32_t crc = 0;
        WriteError error;
        bool copied = CopyInput(input, *sink, progress_, item.name, kAnySize, e.size, crc, error);
        if (copied && deflater && !deflater->finish()) copied = false;
        if (!copied) {
            if (error == WriteError::none)
                error = deflater && deflater->outOfMemory() ? WriteError::outOfMemory : out_.error();
            failed(error, item.name);
            return false;
        }
        if (e.flags & kFlagEncrypted) {
            if (crc != e.crc) {
                failed(WriteError::changed, item.name);  // changed between the two readings
                return false;
            }
        } else {
            e.crc = crc;
        }
        e.packed = out_.position() - dataAt;
        return true;
    }

    const WriteJob& job_;
    const bool deflate_;
    const std::string password_;
    ArchiveOutput out_;
    WriteProgress progress_;
    std::mt19937 random_;
    std::vector<Entry> entries_;
    WriteResult result_;
};

}  // namespace

WriteResult WriteZipArchive(const WriteJob& job, bool deflate, const std::string& password) {
    return ZipWriter(job, deflate, password).run();
}

bool WriteZip(const std::string& archive, const std::vector<Item>& items, bool deflate) {
    WriteJob job;
    job.archive = archive;
    job.items = items;
    return WriteZipArchive(job, deflate, std::string()).ok();
}

bool WriteZipEncrypted(const std::string& archive, const std::vector<Item>& items, bool deflate,
                       const std::string& password) {
    if (password.empty()) return false;
    WriteJob job;
    job.archive = archive;
    job.items = items;
    return WriteZipArchive(job, deflate, password).ok();
}

}  // namespace standin
