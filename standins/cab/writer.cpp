// Microsoft cabinets written as a stream: one folder, stored, MSZIP or LZX with a 2 MiB
// window, cut into CFDATA blocks of 32 KiB of input each. Names are code page bytes when
// they fit it, else UTF-8 marked with _A_NAME_IS_UTF.
#include "standins/core/formats.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "standins/codecs/lzx_encoder.h"
#include "standins/core/names.h"
#include "standins/codecs/mszip_encoder.h"
#include "standins/write/writer_io.h"
#include "standins/cab/cab.h"

namespace standin {
namespace {

const size_t kHeaderSize = 36;
const size_t kFolderSize = 8;
const size_t kBlockSize = 32768;
const uint16_t kTypeStored = 0;
// A folder counts its blocks in 16 bits, and a cabinet's offsets are read as signed by
// some readers: 65535 blocks of 32 KiB is the most one folder holds.
const uint64_t kMaxFolderInput = 0xFFFFull * kBlockSize;
const uint64_t kMaxCabinet = 0x7FFFFFFFull;
const uint16_t kNameIsUtf = 0x80;  // _A_NAME_IS_UTF: the record's name is UTF-8

// The cabinet checksum: little-endian words XORed, the odd tail bytes taken high to low.
uint32_t Checksum(const unsigned char* p, size_t n, uint32_t seed) {
    uint32_t sum = seed;
    for (; n >= 4; n -= 4, p += 4)
        sum ^= p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    uint32_t tail = 0;
    switch (n) {
        case 3:
            tail |= static_cast<uint32_t>(*p++) << 16;
            [[fallthrough]];
        case 2:
            tail |= static_cast<uint32_t>(*p++) << 8;
            [[fallthrough]];
        case 1:
            tail |= *p;
            break;
        default:
            break;
    }
    return sum ^ tail;
}

// Names inside a cabinet use '\\' only. The stored bytes, and whether they are UTF-8.
std::string StoredName(const std::string& utf8Name, bool& isUtf8) {
    std::string name = utf8Name;
    std::replace(name.begin(), name.end(), '/', '\\');
    while (!name.empty() && name[0] == '\\') name.erase(0, 1);
    std::string bytes;
    isUtf8 = !Utf8FitsCodePage(name, &bytes);
    return isUtf8 ? name : bytes;
}

// Collects the folder's input across files into 32 KiB frames and writes each as one
// CFDATA block through the folder's method.
class FolderSink : public ByteSink {
public:
    FolderSink(ArchiveOutput& out, CabMethod method) : out_(out) {
        frame_.reserve(kBlockSize);
        if (method == CabMethod::mszip) mszip_.reset(new MszipEncoder);
        if (method == CabMethod::lzx21) lzx_.reset(new LzxEncoder(21));
    }
    uint16_t folderType() const {
        if (mszip_) return MszipEncoder::kCabinetType;
        if (lzx_) return lzx_->cabinetType();
        return kTypeStored;
    }
    bool write(const void* data, size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            size_t n = std::min(size, kBlockSize - frame_.size());
            frame_.append(p, n);
            p += n;
            size -= n;
            if (frame_.size() == kBlockSize && !emit()) return false;
        }
        return true;
    }
    // Writes the last, shorter frame.
    bool finish() { return frame_.empty() || emit(); }
    uint32_t blocks() const { return blocks_; }
    bool codecFailed() const { return codecFailed_; }

private:
    bool emit() {
        block_.assign(8, '\0');
        const uint8_t* data = reinterpret_cast<const uint8_t*>(frame_.data());
        if (mszip_) {
            if (!mszip_->encodeFrame(data, frame_.size(), block_)) {
                codecFailed_ = true;
                return false;
            }
        } else if (lzx_) {
            lzx_->encodeFrame(data, frame_.size(), block_);
        } else {
            block_ += frame_;
        }
        size_t packed = block_.size() - 8;
        if (packed > 0xFFFF) {
            codecFailed_ = true;
            return false;
        }
        SetLe16(block_, 4, static_cast<uint32_t>(packed));
        SetLe16(block_, 6, static_cast<uint32_t>(frame_.size()));
        SetLe32(block_, 0, BlockChecksum(block_, packed));
        frame_.clear();
        ++blocks_;
        return out_.write(block_.data(), block_.size());
    }

    // Covers the data, then the two size fields that precede it.
    static uint32_t BlockChecksum(const std::string& block, size_t dataLen) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(block.data());
        return Checksum(p + 4, 4, Checksum(p + 8, dataLen, 0));
    }

    ArchiveOutput& out_;
    std::unique_ptr<MszipEncoder> mszip_;
    std::unique_ptr<LzxEncoder> lzx_;
    std::string frame_;
    std::string block_;
    uint32_t blocks_ = 0;
    bool codecFailed_ = false;
};

}  // namespace

// One CFFILE record: its size and offset are those of the data as it was read.
std::string FileRecord(const Item& item, const std::string& name, bool isUtf8, uint64_t size,
                       uint64_t at) {
    std::string r;
    AppendLe32(r, static_cast<uint32_t>(size));
    AppendLe32(r, static_cast<uint32_t>(at));
    AppendLe16(r, 0);  // folder 0
    AppendLe16(r, item.dosTime >> 16);
    AppendLe16(r, item.dosTime & 0xFFFF);
    AppendLe16(r, (item.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE)) |
                      (isUtf8 ? kNameIsUtf : 0));
    r += name;
    r += '\0';
    return r;
}

WriteResult WriteCabArchive(const WriteJob& job, CabMethod method) {
    WriteResult result;
    auto fail = [&](WriteError error, const std::string& entry) {
        result.error = error;
        result.entry = entry;
        return result;
    };
    std::vector<const Item*> files;
    std::vector<std::string> names;
    std::vector<bool> utf8;
    uint64_t listed = 0;
    size_t recordsSize = 0;
    for (const Item& item : job.items) {
        if (item.isDir) continue;  // cabinets have no folder entries; paths carry the folders
        bool isUtf8 = false;
        std::string name = StoredName(item.name, isUtf8);
        if (name.empty()) return fail(WriteError::cannotWrite, item.name);
        // Refused before anything is written when the listed sizes already say so.
        listed += item.size;
        if (files.size() == 0xFFFF || listed > kMaxFolderInput)
            return fail(WriteError::tooLarge, std::string());
        recordsSize += FileRecord(item, name, isUtf8, 0, 0).size();
        files.push_back(&item);
        names.push_back(name);
        utf8.push_back(isUtf8);
    }
    ArchiveOutput out(job.archive);
    if (!out.opened()) return fail(WriteError::cannotWrite, std::string());
    FolderSink folder(out, method);

    // The CFFILE records go before the data but are written after it, in the room kept for
    // them (their length depends only on the names), with the sizes as actually read.
    size_t filesAt = kHeaderSize + kFolderSize;
    size_t dataAt = filesAt + recordsSize;
    std::string head;
    head += "MSCF";
    AppendLe32(head, 0);
    AppendLe32(head, 0);  // cabinet size, patched at the end
    AppendLe32(head, 0);
    AppendLe32(head, static_cast<uint32_t>(filesAt));
    AppendLe32(head, 0);
    head += '\x03';  // version 1.3
    head += '\x01';
    AppendLe16(head, 1);  // folders
    AppendLe16(head, static_cast<uint32_t>(files.size()));
    AppendLe16(head, 0);  // flags
    AppendLe16(head, 0);  // set id
    AppendLe16(head, 0);  // cabinet index
    AppendLe32(head, static_cast<uint32_t>(dataAt));
    AppendLe16(head, 0);  // blocks, patched at the end
    AppendLe16(head, folder.folderType());
    head.append(recordsSize, '\0');
    if (!out.write(head.data(), head.size())) return fail(out.error(), std::string());

    auto sinkError = [&]() {
        return folder.codecFailed() ? WriteError::outOfMemory : out.error();
    };
    WriteProgress progress(job);
    std::string records;
    uint64_t folderSize = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const Item& item = *files[i];
        if (!progress.begin(item.name)) return fail(WriteError::cancelled, item.name);
        InputFile input(item.sourcePath);
        if (!input.opened()) return fail(WriteError::cannotRead, item.name);
        uint64_t size = 0;
        uint32_t crc = 0;
        WriteError error;
        if (!CopyInput(input, folder, progress, item.name, kAnySize, size, crc, error))
            return fail(error == WriteError::none ? sinkError() : error, item.name);
        if (size > kMaxFolderInput - folderSize || out.position() > kMaxCabinet)
            return fail(WriteError::tooLarge, std::string());
        records += FileRecord(item, names[i], utf8[i], size, folderSize);
        folderSize += size;
    }
    if (!folder.finish()) return fail(sinkError(), std::string());
    if (out.position() > kMaxCabinet) return fail(WriteError::tooLarge, std::string());

    std::string size;
    AppendLe32(size, static_cast<uint32_t>(out.position()));
    std::string blocks;
    AppendLe16(blocks, folder.blocks());
    if (!out.patch(8, size.data(), size.size()) ||
        !out.patch(kHeaderSize + 4, blocks.data(), blocks.size()) ||
        !out.patch(filesAt, records.data(), records.size()) || !out.commit())
        return fail(out.error(), std::string());
    return result;
}

bool WriteCab(const std::string& archive, const std::vector<Item>& items) {
    WriteJob job;
    job.archive = archive;
    job.items = items;
    return WriteCabArchive(job, CabMethod::stored).ok();
}

}  // namespace standin
