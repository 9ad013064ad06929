// LZH archives: writes level 2 with stored (-lh0-) data, and reads the level 0-2 headers of
// an archive it adds to (libarchive reads them for extraction).
#include "standins/formats.h"

#include <windows.h>

#include <ctime>

namespace standin {
namespace {

const unsigned char kPathSeparator = 0xFF;  // separator inside LZH directory headers

uint16_t Crc16(const void* data, size_t size, uint16_t crc = 0) {
    static uint16_t table[256];
    static bool ready = false;
    if (!ready) {
        for (unsigned i = 0; i < 256; ++i) {
            uint16_t c = static_cast<uint16_t>(i);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ p[i]) & 0xFF]);
    return crc;
}

// Splits a '\\' or '/' separated name into components, leaving double-byte characters whole.
std::vector<std::string> SplitComponents(const std::string& name) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i < name.size(); ++i) {
        if (IsLeadByte(name[i]) && i + 1 < name.size()) {
            part += name[i];
            part += name[++i];
        } else if (name[i] == '\\' || name[i] == '/' ||
                   static_cast<unsigned char>(name[i]) == kPathSeparator) {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += name[i];
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
        for (size_t i = 0; i < part.size(); ++i) {
            char c = part[i];
            if (IsLeadByte(c) && i + 1 < part.size()) {
                key += c;
                key += part[++i];
            } else {
                key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            }
        }
    }
    return key;
}

struct LzhEntry {
    size_t start = 0;  // first byte of the header
    size_t dataStart = 0;
    uint64_t dataSize = 0;  // packed bytes
    uint32_t originalSize = 0;
    std::string method;
    std::string name;  // '\\' separated
    uint16_t crc = 0;
    uint32_t dosTime = 0;
    int level = 0;
};

struct ExtHeaders {
    std::string fileName, dirName;
    bool hasHeaderCrc = false;
    size_t headerCrcAt = 0;  // offset of the CRC inside the archive
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
        } else if (type == 0x01) {
            ext.fileName = data;
        } else if (type == 0x02) {
            ext.dirName = data;
        }
        size_t next = pos + nextSize;
        nextSize = GetLe16(a, next - 2);
        pos = next;
    }
    end = pos;
    return true;
}

std::string JoinName(std::string dir, std::string file) {
    for (char& c : dir)
        if (static_cast<unsigned char>(c) == kPathSeparator) c = '\\';
    for (char& c : file)
        if (static_cast<unsigned char>(c) == kPathSeparator) c = '\\';
    if (!dir.empty() && dir.back() != '\\') dir += '\\';
    return dir + file;
}

// Parses the entry at pos; false at the end mark or on a header that does not hold together.
bool ParseEntry(const std::string& a, size_t pos, LzhEntry& e) {
    if (pos + 22 > a.size() || a[pos] == 0) return false;
    e = LzhEntry();
    e.start = pos;
    e.level = static_cast<unsigned char>(a[pos + 20]);
    e.method = a.substr(pos + 2, 5);
    if (e.method[0] != '-' || e.method[1] != 'l' || e.method[4] != '-') return false;
    uint32_t packed = GetLe32(a, pos + 7);
    e.originalSize = GetLe32(a, pos + 11);
    ExtHeaders ext;
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
            e.dataSize = packed;
            e.name = JoinName("", baseName);
        } else {
            if (crcAt + 5 > baseEnd) return false;
            size_t extEnd = 0;
            if (!ReadExtHeaders(a, baseEnd, a.size(), GetLe16(a, crcAt + 3), ext, extEnd))
                return false;
            // Level 1 counts its extended headers in the packed size.
            if (extEnd - baseEnd > packed) return false;
            e.dataStart = extEnd;
            e.dataSize = packed - (extEnd - baseEnd);
            e.name = JoinName(ext.dirName, ext.fileName.empty() ? baseName : ext.fileName);
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
            if (Crc16(header.data(), header.size()) != stored) return false;
        }
        e.crc = static_cast<uint16_t>(GetLe16(a, pos + 21));
        e.dosTime = UnixTimeToDos(GetLe32(a, pos + 15));
        e.dataStart = pos + total;
        e.dataSize = packed;
        e.name = JoinName(ext.dirName, ext.fileName);
    } else {
        return false;
    }
    return e.dataStart + e.dataSize <= a.size();
}

// Parses every entry; false when the archive breaks off before its end mark.
bool ParseArchive(const std::string& a, std::vector<LzhEntry>& entries) {
    entries.clear();
    size_t pos = 0;
    while (pos < a.size() && a[pos] != 0) {
        LzhEntry e;
        if (!ParseEntry(a, pos, e)) return false;
        entries.push_back(e);
        pos = static_cast<size_t>(e.dataStart + e.dataSize);
    }
    return true;
}

void AddExt(std::string& h, unsigned char type, const std::string& data) {
    h += static_cast<char>(type);
    h += data;
    h += std::string(2, '\0');  // size of the next extended header, filled in later
}

// One level-2 entry, header and stored data.
bool BuildEntry(const Item& item, std::string& out) {
    std::string data;
    if (!item.isDir) {
        if (!ReadWholeFile(item.sourcePath, data) || data.size() > 0xFFFFFFFFu) return false;
    }
    std::vector<std::string> parts = SplitComponents(item.name);
    if (parts.empty()) return false;
    std::string fileName, dirName;
    size_t dirParts = item.isDir ? parts.size() : parts.size() - 1;
    for (size_t i = 0; i < dirParts; ++i) dirName += parts[i] + static_cast<char>(kPathSeparator);
    if (!item.isDir) fileName = parts.back();

    std::string h(26, '\0');
    h.replace(2, 5, item.isDir ? "-lhd-" : "-lh0-");
    SetLe32(h, 7, static_cast<uint32_t>(data.size()));
    SetLe32(h, 11, static_cast<uint32_t>(data.size()));
    uint32_t unixTime = item.dosTime ? DosTimeToUnix(item.dosTime) : 0;
    if (unixTime == 0) unixTime = static_cast<uint32_t>(std::time(nullptr));
    SetLe32(h, 15, unixTime);
    h[19] = 0x20;
    h[20] = 2;
    SetLe16(h, 21, Crc16(data.data(), data.size()));
    h[23] = 'M';
    std::vector<size_t> extStarts;
    extStarts.push_back(h.size());
    AddExt(h, 0x00, std::string(2, '\0'));
    if (!item.isDir) {
        extStarts.push_back(h.size());
        AddExt(h, 0x01, fileName);
    }
    if (!dirName.empty()) {
        extStarts.push_back(h.size());
        AddExt(h, 0x02, dirName);
    }
    extStarts.push_back(h.size());
    std::string attr(2, '\0');
    SetLe16(attr, 0, item.attributes & 0xFFFF);
    AddExt(h, 0x40, attr);
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
    SetLe16(h, extStarts[0] + 1, Crc16(h.data(), h.size()));
    out = h + data;
    return true;
}

}  // namespace

bool WriteLzh(const std::string& archive, const std::vector<Item>& items, bool keepExisting) {
    std::vector<std::string> built(items.size());
    std::vector<std::string> keys(items.size());
    std::vector<bool> used(items.size(), false);
    for (size_t i = 0; i < items.size(); ++i) {
        if (!BuildEntry(items[i], built[i])) return false;
        keys[i] = NameKey(items[i].name);
    }
    std::string out;
    if (keepExisting && GetFileAttributesA(archive.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::string old;
        std::vector<LzhEntry> entries;
        if (!ReadWholeFile(archive, old) || !ParseArchive(old, entries)) return false;
        for (const LzhEntry& e : entries) {
            std::string key = NameKey(e.name);
            bool replaced = false;
            // A replaced entry keeps its place, like LHA's "a".
            for (size_t i = items.size(); i-- > 0;) {
                if (keys[i] != key) continue;
                if (!used[i]) out += built[i];
                used[i] = true;
                replaced = true;
            }
            if (!replaced)
                out.append(old, e.start, static_cast<size_t>(e.dataStart + e.dataSize - e.start));
        }
    }
    for (size_t i = 0; i < items.size(); ++i)
        if (!used[i]) out += built[i];
    out += '\0';
    return WriteFileAtomically(archive, out);
}

}  // namespace standin
