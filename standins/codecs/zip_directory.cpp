#include "standins/codecs/zip_directory.h"

#include "standins/codecs/deflate64.h"

#include <algorithm>
#include <new>
#include <vector>

namespace standin {
namespace {

const uint32_t kCentralSignature = 0x02014b50;
const uint32_t kLocalSignature = 0x04034b50;
const uint32_t kEndSignature = 0x06054b50;
const uint32_t kEnd64Signature = 0x06064b50;
const uint32_t kLocatorSignature = 0x07064b50;
const size_t kEndSize = 22, kLocatorSize = 20, kEnd64Size = 56, kCentralSize = 46;
const size_t kLocalSize = 30;
const size_t kMaxComment = 65535;

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const unsigned char* p) { return le16(p) | static_cast<uint32_t>(le16(p + 2)) << 16; }
uint64_t le64(const unsigned char* p) { return le32(p) | static_cast<uint64_t>(le32(p + 4)) << 32; }

// Reads a fixed-size record; sourceFailed only for a real read error, corruptHeader when the
// record would pass the end of the archive.
CodecStatus readRecord(RandomAccess& archive, uint64_t offset, unsigned char* buffer,
                       size_t size) {
    if (offset > archive.size() || size > archive.size() - offset)
        return CodecStatus::corruptHeader;
    return archive.readAt(offset, buffer, size) ? CodecStatus::ok : CodecStatus::sourceFailed;
}

bool hasSignature(RandomAccess& archive, uint64_t offset, uint32_t signature) {
    unsigned char bytes[4];
    return readRecord(archive, offset, bytes, 4) == CodecStatus::ok && le32(bytes) == signature;
}

}  // namespace

CodecStatus ZipDirectory::open() {
    open_ = false;
    const uint64_t size = archive_.size();
    if (size < kEndSize) return CodecStatus::notArchive;

    // The end record sits in the last 22 bytes plus at most a 64 KiB comment.
    const size_t tailSize =
        static_cast<size_t>(size < kEndSize + kMaxComment ? size : kEndSize + kMaxComment);
    const uint64_t tailAt = size - tailSize;
    std::vector<unsigned char> tail;
    try {
        tail.resize(tailSize);
    } catch (...) {
        return CodecStatus::outOfMemory;
    }
    if (!archive_.readAt(tailAt, tail.data(), tailSize)) return CodecStatus::sourceFailed;
    size_t end = tailSize - kEndSize + 1;
    bool found = false;
    while (end-- > 0) {
        const unsigned char* p = tail.data() + end;
        // The comment must fit inside the file; the last such record wins, as in unzip.
        if (le32(p) == kEndSignature && end + kEndSize + le16(p + 20) <= tailSize) {
            found = true;
            break;
        }
    }
    if (!found) return CodecStatus::notArchive;
    const unsigned char* e = tail.data() + end;
    const uint64_t endAt = tailAt + end;
    if (le16(e + 4) != le16(e + 6) || le16(e + 8) != le16(e + 10)) return CodecStatus::multiVolume;
    if (le16(e + 4) != 0 && le16(e + 4) != 0xFFFF) return CodecStatus::multiVolume;
    count_ = le16(e + 10);
    uint64_t directorySize = le32(e + 12);
    uint64_t directoryOffset = le32(e + 16);
    uint64_t directoryEndsBefore = endAt;  // where the directory's bytes must stop

    // ZIP64: a locator just before the end record points to a larger end record.
    if (endAt >= kLocatorSize && hasSignature(archive_, endAt - kLocatorSize, kLocatorSignature)) {
        unsigned char locator[kLocatorSize];
        CodecStatus status = readRecord(archive_, endAt - kLocatorSize, locator, kLocatorSize);
        if (status != CodecStatus::ok) return status;
        if (le32(locator + 16) > 1 || le32(locator + 4) != 0) return CodecStatus::multiVolume;
        uint64_t recordAt = le64(locator + 8);
        // Behind a stub the stored offset is short by the stub's length; the record then
        // normally ends right at the locator.
        if (!hasSignature(archive_, recordAt, kEnd64Signature)) {
            if (endAt < kLocatorSize + kEnd64Size) return CodecStatus::corruptHeader;
            recordAt = endAt - kLocatorSize - kEnd64Size;
            if (!hasSignature(archive_, recordAt, kEnd64Signature))
                return CodecStatus::corruptHeader;
        }
        unsigned char record[kEnd64Size];
        status = readRecord(archive_, recordAt, record, kEnd64Size);
        if (status != CodecStatus::ok) return status;
        if (le32(record + 16) != 0 || le32(record + 20) != 0 ||
            le64(record + 24) != le64(record + 32))
            return CodecStatus::multiVolume;
        count_ = le64(record + 32);
        directorySize = le64(record + 40);
        directoryOffset = le64(record + 48);
        directoryEndsBefore = recordAt;
    }

    if (directorySize > directoryEndsBefore) return CodecStatus::corruptHeader;
    const uint64_t directoryAt = directoryEndsBefore - directorySize;
    if (directoryOffset > directoryAt) return CodecStatus::corruptHeader;
    // Stored offsets count from the archive's start; a stub in front shifts them all. Take
    // the stored offset when a directory entry is there (an adjusted stub, or junk between
    // the directory and its end record), else the shift the end record's position implies.
    shift_ = 0;
    if (count_ != 0 && !hasSignature(archive_, directoryOffset, kCentralSignature))
        shift_ = directoryAt - directoryOffset;
    directoryAt_ = directoryOffset + shift_;
    directoryEnd_ = directoryAt_ + directorySize;
    cursor_ = directoryAt_;
    seen_ = 0;
    open_ = true;
    return CodecStatus::ok;
}

CodecStatus ZipDirectory::next(ZipEntry& entry) {
    if (!open_) return CodecStatus::corruptHeader;
    if (cursor_ == directoryEnd_) return CodecStatus::end;
    if (seen_ >= count_ && !hasSignature(archive_, cursor_, kCentralSignature))
        return CodecStatus::end;
    unsigned char h[kCentralSize];
    if (directoryEnd_ - cursor_ < kCentralSize) return CodecStatus::corruptHeader;
    CodecStatus status = readRecord(archive_, cursor_, h, kCentralSize);
    if (status != CodecStatus::ok) return status;
    if (le32(h) != kCentralSignature) return CodecStatus::corruptHeader;
    const size_t nameLength = le16(h + 28), extraLength = le16(h + 30),
                 commentLength = le16(h + 32);
    const uint64_t variable = uint64_t(nameLength) + extraLength + commentLength;
    if (directoryEnd_ - cursor_ - kCentralSize < variable) return CodecStatus::corruptHeader;

    std::vector<unsigned char> extra;
    try {
        entry.name.resize(nameLength);
        extra.resize(extraLength);
    } catch (...) {
        return CodecStatus::outOfMemory;
    }
    if (nameLength != 0 &&
        !archive_.readAt(cursor_ + kCentralSize, &entry.name[0], nameLength))
        return CodecStatus::sourceFailed;
    if (extraLength != 0 &&
        !archive_.readAt(cursor_ + kCentralSize + nameLength, extra.data(), extraLength))
        return CodecStatus::sourceFailed;

    entry.versionMadeBy = le16(h + 4);
    entry.flags = le16(h + 8);
    entry.method = le16(h + 10);
    entry.dosTime = le16(h + 12);
    entry.dosDate = le16(h + 14);
    entry.crc32 = le32(h + 16);
    entry.packedSize = le32(h + 20);
    entry.originalSize = le32(h + 24);
    entry.externalAttributes = le32(h + 38);
    uint64_t offset = le32(h + 42);

    // The ZIP64 extra field holds, in this order, only the values whose 32-bit field is full.
    for (size_t at = 0; at + 4 <= extraLength;) {
        const size_t id = le16(&extra[at]), length = le16(&extra[at + 2]);
        if (length > extraLength - at - 4) return CodecStatus::corruptHeader;
        if (id == 0x0001) {
            const unsigned char* field = &extra[at + 4];
            size_t left = length;
            uint64_t* wanted[3] = {&entry.originalSize, &entry.packedSize, &offset};
            for (uint64_t* value : wanted) {
                if (*value != 0xFFFFFFFFu) continue;
                if (left < 8) return CodecStatus::corruptHeader;
                *value = le64(field);
                field += 8;
                left -= 8;
            }
        }
        at += 4 + length;
    }
    if (offset > UINT64_MAX - shift_) return CodecStatus::corruptHeader;
    entry.localHeaderOffset = offset + shift_;
    cursor_ += kCentralSize + variable;
    ++seen_;
    return CodecStatus::ok;
}

CodecStatus ZipDirectory::locateData(const ZipEntry& entry, uint64_t& dataOffset) {
    unsigned char h[kLocalSize];
    CodecStatus status = readRecord(archive_, entry.localHeaderOffset, h, kLocalSize);
    if (status != CodecStatus::ok) return status;
    if (le32(h) != kLocalSignature) return CodecStatus::corruptHeader;
    const uint64_t at = entry.localHeaderOffset + kLocalSize + le16(h + 26) + le16(h + 28);
    const uint64_t size = archive_.size();
    if (at > size || entry.packedSize > size - at) return CodecStatus::truncated;
    dataOffset = at;
    return CodecStatus::ok;
}

CodecStatus ZipDirectory::extract(const ZipEntry& entry, ByteSink& sink) {
    if (entry.encrypted()) return CodecStatus::encrypted;
    if (entry.method != 0 && entry.method != 9) return CodecStatus::unsupportedMethod;
    uint64_t at = 0;
    CodecStatus status = locateData(entry, at);
    if (status != CodecStatus::ok) return status;
    RangeSource source(archive_, at, entry.packedSize);
    CrcSink checked(sink);
    try {
        if (entry.method == 9) {
            status = inflate64(source, checked, entry.originalSize);
        } else if (entry.packedSize != entry.originalSize) {
            status = CodecStatus::corruptHeader;
        } else {
            unsigned char buffer[16384];
            size_t got = 0;
            while (status == CodecStatus::ok) {
                if (!source.read(buffer, sizeof buffer, got)) {
                    status = CodecStatus::sourceFailed;
                } else if (got == 0) {
                    break;
                } else if (!checked.write(buffer, got)) {
                    status = CodecStatus::sinkRefused;
                }
            }
        }
    } catch (...) {
        return CodecStatus::outOfMemory;  // only a sink throws
    }
    if (status != CodecStatus::ok) return status;
    if (checked.count() != entry.originalSize) return CodecStatus::corruptData;
    return checked.crc() == entry.crc32 ? CodecStatus::ok : CodecStatus::crcMismatch;
}

CodecStatus ReadZipSpans(ZipDirectory& directory, std::vector<ZipSpan>& spans) {
    spans.clear();
    CodecStatus status = CodecStatus::ok;
    try {
        for (;;) {
            ZipSpan span;
            status = directory.next(span.entry);
            if (status != CodecStatus::ok) break;
            const uint64_t start = span.entry.localHeaderOffset;
            span.located = directory.locateData(span.entry, span.dataOffset) == CodecStatus::ok;
            // locateData has checked that the data ends inside the file.
            span.end = span.located ? span.dataOffset + span.entry.packedSize
                                    : (start > UINT64_MAX - kLocalSize ? UINT64_MAX
                                                                       : start + kLocalSize);
            spans.push_back(std::move(span));
        }
        std::stable_sort(spans.begin(), spans.end(), [](const ZipSpan& a, const ZipSpan& b) {
            return a.entry.localHeaderOffset < b.entry.localHeaderOffset;
        });
    } catch (const std::bad_alloc&) {
        return CodecStatus::outOfMemory;
    }
    return status;
}

size_t CountOverlapping(const std::vector<ZipSpan>& spans, uint64_t directoryStart,
                        uint64_t directoryEnd) {
    std::vector<bool> overlapping(spans.size(), false);
    // Sorted by start, an entry overlaps an earlier one exactly when it starts before the
    // furthest end reached so far.
    size_t furthest = spans.size();
    for (size_t i = 0; i < spans.size(); ++i) {
        const uint64_t start = spans[i].entry.localHeaderOffset;
        if (furthest != spans.size() && start < spans[furthest].end)
            overlapping[i] = overlapping[furthest] = true;
        if (directoryStart < directoryEnd && start < directoryEnd && spans[i].end > directoryStart)
            overlapping[i] = true;
        if (furthest == spans.size() || spans[i].end > spans[furthest].end) furthest = i;
    }
    return static_cast<size_t>(std::count(overlapping.begin(), overlapping.end(), true));
}

}  // namespace standin
