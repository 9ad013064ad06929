// Path and file helpers shared by the stand-in extractors and writers.
#include "standins/core/formats.h"

#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "standins/core/file_streams.h"
#include "standins/core/names.h"

namespace standin {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDeviceName(const std::string& part) {
    std::string base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    bool port = base.size() >= 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0);
    if (!port) return false;
    std::string number = base.substr(3);
    // Windows takes the superscript digits too: "COM¹" is a port.
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == u8"\u00B9" ||
           number == u8"\u00B2" || number == u8"\u00B3";
}

bool HasDrive(const std::string& name) {
    return name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
}

// One component as Windows can hold it; false when it names the folder above or nothing.
bool MapComponent(std::string& part, bool& mapped) {
    // Windows drops trailing dots and spaces, so ".. " would still mean "..".
    if (part.find_first_not_of(". ") == std::string::npos) return false;
    for (char& c : part) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || strchr("<>:\"|?*", c)) {
            c = '_';
            mapped = true;
        }
    }
    size_t keep = part.find_last_not_of(". ") + 1;
    if (keep < part.size()) {
        part.resize(keep);
        mapped = true;
    }
    if (IsDeviceName(part)) {
        part.insert(part.begin(), '_');
        mapped = true;
    }
    return true;
}

// Splits a decoded entry name into the components it lands as; false for anything that
// could leave the destination: a leading separator, a drive, "..".
bool SplitName(const std::string& name, std::vector<std::string>& parts, bool& mapped) {
    parts.clear();
    if (name.empty() || IsSeparator(name[0]) || HasDrive(name)) return false;
    std::string part;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !IsSeparator(name[i])) {
            part += name[i];
            continue;
        }
        if (!part.empty() && part != ".") {
            if (!MapComponent(part, mapped)) return false;
            parts.push_back(part);
        }
        part.clear();
    }
    return !parts.empty();
}

bool WriteAll(HANDLE h, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > (1u << 24) ? (1u << 24) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(h, p, chunk, &written, nullptr) || written != chunk) return false;
        p += chunk;
        size -= chunk;
    }
    return true;
}

const uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

}  // namespace

bool SafeJoin(const std::string& destDir, const std::string& name, std::string& out,
              bool* mapped) {
    std::vector<std::string> parts;
    bool changed = false;
    if (!SplitName(name, parts, changed)) return false;
    if (mapped) *mapped = changed;
    out = destDir;
    if (!out.empty() && !IsSeparator(out.back())) out += '\\';
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '\\';
        out += parts[i];
    }
    return true;
}

void CreateParents(const std::string& path) {
    bool afterName = false;  // the previous character was part of a name, not ':' or a separator
    for (size_t i = 0; i < path.size(); ++i) {
        // The root ("C:\\" or leading separators) cannot be created and is skipped.
        if (IsSeparator(path[i]) && afterName)
            CreateDirectoryW(ExtendedPath(path.substr(0, i)).data(), nullptr);
        afterName = !IsSeparator(path[i]) && path[i] != ':';
    }
}

bool ReadFilePart(const std::string& path, uint64_t offset, size_t maxBytes, std::string& data,
                  uint64_t& fileSize) {
    data.clear();
    fileSize = 0;
    FileHandle file(CreateFileW(ExtendedAnsiPath(path).data(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return false;
    fileSize = static_cast<uint64_t>(size.QuadPart);
    if (offset >= fileSize) return true;
    uint64_t want = fileSize - offset;
    if (want > maxBytes) want = maxBytes;
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.get(), pos, nullptr, FILE_BEGIN)) return false;
    data.resize(static_cast<size_t>(want));
    size_t done = 0;
    while (done < data.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 24));
        DWORD got = 0;
        if (!ReadFile(file.get(), &data[done], chunk, &got, nullptr)) {
            data.clear();
            return false;
        }
        if (got == 0) break;
        done += got;
    }
    data.resize(done);
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& data) {
    // A 32-bit process cannot hold more than this in one piece anyway.
    const size_t kLimit = 0x40000000;
    uint64_t size = 0;
    if (!ReadFilePart(path, 0, kLimit, data, size)) return false;
    if (size > kLimit) {
        data.clear();
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& data) {
    std::string temp = path + ".~zbtmp";
    {
        FileHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) return false;
        if (!WriteAll(file.get(), data.data(), data.size())) {
            file.close();
            DeleteFileA(temp.c_str());
            return false;
        }
    }
    if (!MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(temp.c_str());
        return false;
    }
    return true;
}

bool AppendToFile(const std::string& path, const std::string& data) {
    FileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && WriteAll(file.get(), data.data(), data.size());
}

uint32_t GetLe16(const std::string& s, size_t at) {
    return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}

uint32_t GetLe32(const std::string& s, size_t at) {
    return GetLe16(s, at) | (GetLe16(s, at + 2) << 16);
}

uint64_t GetLe64(const std::string& s, size_t at) {
    return GetLe32(s, at) | static_cast<uint64_t>(GetLe32(s, at + 4)) << 32;
}

void AppendLe16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void AppendLe32(std::string& s, uint32_t v) {
    AppendLe16(s, v & 0xFFFF);
    AppendLe16(s, v >> 16);
}

void AppendLe64(std::string& s, uint64_t v) {
    AppendLe32(s, static_cast<uint32_t>(v));
    AppendLe32(s, static_cast<uint32_t>(v >> 32));
}

void SetLe16(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void SetLe32(std::string& s, size_t at, uint32_t v) {
    SetLe16(s, at, v & 0xFFFF);
    SetLe16(s, at + 2, v >> 16);
}

uint32_t Crc32(const std::string& s, size_t at, uint64_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    const Bytef* p = reinterpret_cast<const Bytef*>(s.data()) + at;
    while (size > 0) {
        uInt chunk = size > (1u << 30) ? (1u << 30) : static_cast<uInt>(size);
        crc = crc32(crc, p, chunk);
        p += chunk;
        size -= chunk;
    }
    return static_cast<uint32_t>(crc);
}

uint32_t UnixTimeToDos(uint32_t unixTime) {
    uint64_t t = static_cast<uint64_t>(unixTime) * 10000000ULL + kUnixEpochAsFileTime;
    FILETIME utc, local;
    utc.dwLowDateTime = static_cast<DWORD>(t);
    utc.dwHighDateTime = static_cast<DWORD>(t >> 32);
    WORD date = 0, time = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return (static_cast<uint32_t>(date) << 16) | time;
}

uint32_t DosTimeToUnix(uint32_t dosTime) {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(HIWORD(dosTime), LOWORD(dosTime), &local)) return 0;
    if (!LocalFileTimeToFileTime(&local, &utc)) return 0;
    uint64_t t = (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
    if (t < kUnixEpochAsFileTime) return 0;
    uint64_t secs = (t - kUnixEpochAsFileTime) / 10000000ULL;
    return secs > 0xFFFFFFFFULL ? 0 : static_cast<uint32_t>(secs);
}

}  // namespace standin
