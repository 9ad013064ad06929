// Cab32.dll's look at how each cabinet name is stored: libarchive decodes the names marked
// _A_NAME_IS_UTF and keeps the others as bytes, and for a name of Latin-1 letters alone its
// forms do not tell which it did. The file records do.
#include "standins/cab/cab.h"
#include "standins/core/formats.h"

namespace standin {
namespace {

const uint32_t kNameIsUtf = 0x80;
const size_t kHeaderSize = 36;
const size_t kFileRecordSize = 16;
const size_t kMaxNameSize = 256;  // the format's limit, with its NUL

}  // namespace

void ListCabStoredNames(const std::string& archive, std::set<std::string>& marked,
                        std::set<std::string>& unmarked) {
    std::string header;
    uint64_t size = 0;
    if (!ReadFilePart(archive, 0, kHeaderSize, header, size) || header.size() < kHeaderSize ||
        header.compare(0, 4, "MSCF") != 0)
        return;
    uint32_t filesAt = GetLe32(header, 16);
    uint32_t count = GetLe16(header, 28);
    std::string records;
    if (!ReadFilePart(archive, filesAt, count * (kFileRecordSize + kMaxNameSize), records, size))
        return;
    size_t at = 0;
    for (uint32_t i = 0; i < count && at + kFileRecordSize < records.size(); ++i) {
        uint32_t attributes = GetLe16(records, at + 14);
        size_t end = records.find('\0', at + kFileRecordSize);
        if (end == std::string::npos) return;
        std::string name = records.substr(at + kFileRecordSize, end - at - kFileRecordSize);
        (attributes & kNameIsUtf ? marked : unmarked).insert(name);
        at = end + 1;
    }
}

}  // namespace standin
