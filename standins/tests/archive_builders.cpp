// Archives of the read-only formats built byte by byte, so the extractors are tested against
// bytes no code under test wrote.
#include "standins/cab/cab.h"
#include "standins/core/names.h"
#include "standins/lzh/lzh.h"
#include "standins/tar/tar.h"
#include "standins/tests/archive_builders.h"
#include "standins/zip/zip.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "tests/support/TestFiles.h"

namespace standin_test {

standin::Item FileItem(const std::string& name, const std::string& source) {
    standin::Item item;
    item.name = standin::AnsiToUtf8(name);
    item.sourcePath = standin::AnsiToUtf8(source);
    item.dosTime = kDosTime;
    item.attributes = FILE_ATTRIBUTE_ARCHIVE;
    return item;
}

standin::Item DirItem(const std::string& name) {
    standin::Item item;
    item.name = standin::AnsiToUtf8(name);
    item.isDir = true;
    item.dosTime = kDosTime;
    item.attributes = FILE_ATTRIBUTE_DIRECTORY;
    return item;
}

std::string Le16(uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}
std::string Le32(uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

static uint32_t Crc32(const std::string& s) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

static uint16_t Crc16(const std::string& s) {
    uint16_t crc = 0;
    for (unsigned char c : s) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

std::string LzhLevel0(const std::string& name, const std::string& data,
                      const char* method, uint16_t crc, bool useCrc) {
    std::string base = std::string(method, 5) + Le32(static_cast<uint32_t>(data.size())) +
                       Le32(static_cast<uint32_t>(data.size())) + Le32(kDosTime) + '\x20' + '\0' +
                       static_cast<char>(name.size()) + name + Le16(useCrc ? crc : Crc16(data));
    unsigned sum = 0;
    for (unsigned char c : base) sum += c;
    return std::string(1, static_cast<char>(base.size())) + static_cast<char>(sum & 0xFF) + base +
           data;
}

// Level 1 with the folder in a directory extended header, counted in the packed size.
std::string LzhLevel1(const std::string& dir, const std::string& name, const std::string& data) {
    std::string ext = '\x02' + dir + '\xFF' + Le16(0);
    std::string base = std::string("-lh0-") +
                       Le32(static_cast<uint32_t>(ext.size() + data.size())) +
                       Le32(static_cast<uint32_t>(data.size())) + Le32(kDosTime) + '\x20' + '\x01' +
                       static_cast<char>(name.size()) + name + Le16(Crc16(data)) + 'M' +
                       Le16(static_cast<uint32_t>(ext.size()));
    unsigned sum = 0;
    for (unsigned char c : base) sum += c;
    return std::string(1, static_cast<char>(base.size())) + static_cast<char>(sum & 0xFF) + base +
           ext + data;
}

// ---- RAR 1.5-4.x ----

static std::string Rar4Block(unsigned type, uint32_t flags, const std::string& body) {
    std::string h = std::string(1, static_cast<char>(type)) + Le16(flags) +
                    Le16(static_cast<uint32_t>(7 + body.size())) + body;
    return Le16(Crc32(h) & 0xFFFF) + h;
}

std::string Rar4File(const std::string& name, const std::string& data, unsigned method,
                     uint32_t flags, uint32_t attr, uint32_t crc, bool useCrc) {
    uint32_t size = static_cast<uint32_t>(data.size());
    std::string body = Le32(size) + Le32(size) + '\x02' + Le32(useCrc ? crc : Crc32(data)) +
                       Le32(kDosTime) + '\x1d' + static_cast<char>(method) +
                       Le16(static_cast<uint32_t>(name.size())) + Le32(attr) + name;
    return Rar4Block(0x74, flags, body) + data;
}

std::string Rar4Archive(const std::string& entries) {
    return std::string("Rar!\x1a\x07\x00", 7) + Rar4Block(0x73, 0, std::string(6, '\0')) + entries +
           Rar4Block(0x7B, 0x4000, "");
}

// ---- RAR 5 ----

static std::string Vint(uint64_t v) {
    std::string s;
    do {
        unsigned char b = v & 0x7F;
        v >>= 7;
        s += static_cast<char>(v ? (b | 0x80) : b);
    } while (v);
    return s;
}

static std::string Rar5Block(uint64_t type, const std::string& body, const std::string& data = "",
                             bool hasData = false) {
    std::string h = Vint(type) + Vint(hasData ? 2 : 0) + (hasData ? Vint(data.size()) : "") + body;
    std::string full = Vint(h.size()) + h;
    return Le32(Crc32(full)) + full + data;
}

std::string Rar5File(const std::string& utf8Name, const std::string& data, bool dir,
                     uint64_t method) {
    std::string body = Vint(dir ? 0x07 : 0x06) + Vint(data.size()) + Vint(dir ? 0x10 : 0x20) +
                       Le32(1683376496) + Le32(Crc32(data)) + Vint(method << 7) + Vint(0) +
                       Vint(utf8Name.size()) + utf8Name;
    // WinRAR gives a folder's block an empty data area too, and libarchive insists on it.
    return Rar5Block(2, body, data, true);
}

std::string Rar5Archive(const std::string& entries) {
    return std::string("Rar!\x1a\x07\x01\x00", 8) + Rar5Block(1, Vint(0)) + entries +
           Rar5Block(5, Vint(0));
}

// ---- ARJ ----

std::string ArjHeader(unsigned fileType, unsigned method, const std::string& name,
                      const std::string& data, unsigned flags) {
    uint32_t size = static_cast<uint32_t>(data.size());
    std::string basic = std::string{30,
                                    11,
                                    1,
                                    0,
                                    static_cast<char>(flags),
                                    static_cast<char>(method),
                                    static_cast<char>(fileType),
                                    0} +
                        Le32(kDosTime) + Le32(size) + Le32(size) + Le32(Crc32(data)) + Le16(0) +
                        Le16(0x20) + Le16(0) + name + '\0' + '\0';
    return std::string("\x60\xEA", 2) + Le16(static_cast<uint32_t>(basic.size())) + basic +
           Le32(Crc32(basic)) + Le16(0) + data;
}

std::string ArjArchive(const std::string& entries) {
    return ArjHeader(2, 0, "test.arj", "") + entries + std::string("\x60\xEA\0\0", 4);
}

namespace {

void ListInto(const std::string& dir, const std::string& prefix, FileDetail detail,
              std::vector<std::string>& out) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(prefix + name + "\\");
            ListInto(dir + "\\" + name, prefix + name + "\\", detail, out);
        } else {
            std::string content;
            testing_support::ReadTextFile(dir + "\\" + name, content);
            out.push_back(prefix + name + "=" +
                          (detail == FileDetail::content ? content
                                                         : std::to_string(content.size())));
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

void ListIntoUtf8(const std::wstring& dir, const std::string& prefix,
                  std::vector<std::string>& out) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring wide = found.cFileName;
        if (wide == L"." || wide == L"..") continue;
        std::string name = standin::WideToUtf8(wide.c_str());
        std::wstring path = dir + L"\\" + wide;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(prefix + name + "\\");
            ListIntoUtf8(path, prefix + name + "\\", out);
            continue;
        }
        std::string content;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char buffer[4096];
            DWORD got = 0;
            while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
                content.append(buffer, got);
            CloseHandle(file);
        }
        out.push_back(prefix + name + "=" + content);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

}  // namespace

std::string ListTreeUtf8(const std::string& dir) {
    standin::WideText wide = standin::ExtendedPath(standin::AnsiToUtf8(dir));
    std::vector<std::string> names;
    ListIntoUtf8(std::wstring(wide.data()), "", names);
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& n : names) out += n + "|";
    return out;
}

std::string ListTree(const std::string& dir, FileDetail detail) {
    std::vector<std::string> names;
    ListInto(dir, "", detail, names);
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& n : names) out += n + "|";
    return out;
}

}  // namespace standin_test
