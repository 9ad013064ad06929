// The native stand-ins behind fuzz/native/windows.h and its companions, and the program's
// own functions that the readers call beyond themselves (the person seam, GetSpecialDir).
// They keep the Windows rules a reader relies on and nothing more.
#include "fuzz/native/StandIn.h"

#include <shellapi.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "base/Person.h"
#include "shell/SpecialDirs.h"

namespace {

bool IsLead(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Single-byte letters folded to lower case; a double-byte character is kept as it is, so
// a trail byte in 'A'..'Z' is never folded.
std::string Fold(const std::string& text) {
    std::string folded = text;
    for (size_t i = 0; i < folded.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(folded[i]);
        if (IsLead(byte)) {
            ++i;
        } else if (byte >= 'A' && byte <= 'Z') {
            folded[i] = static_cast<char>(byte - 'A' + 'a');
        }
    }
    return folded;
}

// ---- the disk

std::map<std::string, standin::DiskEntry>& Disk() {
    static std::map<std::string, standin::DiskEntry> disk;
    return disk;
}

const standin::DiskEntry* FindOnDisk(const char* path) {
    // The ANSI calls cannot take a path of MAX_PATH bytes or more.
    if (std::strlen(path) >= MAX_PATH) return nullptr;
    const auto found = Disk().find(Fold(path));
    return found == Disk().end() ? nullptr : &found->second;
}

// One search is open at a time in every reader under test; its handle is this address.
char searchToken;

// ---- the INI file

struct ProfileKey {
    std::string name;
    std::optional<std::string> value;  // none for a line without '='
};
struct ProfileSection {
    std::string name;
    std::vector<ProfileKey> keys;
};
std::vector<ProfileSection> profile;

bool IsProfileBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A;
}

std::string TrimLeft(const std::string& text) {
    size_t start = 0;
    while (start < text.size() && IsProfileBlank(text[start])) ++start;
    return text.substr(start);
}

std::string TrimRight(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && IsProfileBlank(text[end - 1])) --end;
    return text.substr(0, end);
}

ProfileSection* FindSection(const char* name) {
    const std::string wanted = Fold(name);
    for (ProfileSection& section : profile)
        if (Fold(section.name) == wanted) return &section;
    return nullptr;
}

ProfileKey* FindKey(ProfileSection& section, const char* name) {
    const std::string wanted = Fold(name);
    for (ProfileKey& key : section.keys)
        if (Fold(key.name) == wanted) return &key;
    return nullptr;
}

// The value of section/key with one pair of enclosing quotes taken off; none when missing.
std::optional<std::string> ReadProfileValue(const char* section, const char* key) {
    ProfileSection* found = FindSection(section);
    if (found == nullptr) return std::nullopt;
    ProfileKey* entry = FindKey(*found, key);
    if (entry == nullptr || !entry->value) return std::nullopt;
    std::string value = *entry->value;
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return value;
}

// Copies at most size - 1 bytes; the text comes from a wide-character conversion, so a
// double-byte character is never cut in two.
DWORD CopyOut(const std::string& value, LPSTR buffer, DWORD size) {
    if (size == 0) return 0;
    size_t take = 0;
    while (take < value.size()) {
        const size_t step = IsLead(static_cast<unsigned char>(value[take])) ? 2 : 1;
        if (take + step > size - 1) break;
        take += step;
    }
    take = std::min(take, value.size());
    std::memcpy(buffer, value.data(), take);
    buffer[take] = '\0';
    return static_cast<DWORD>(take);
}

// The integer reading of the profile functions: blanks and control bytes skipped, a sign,
// then "0x", "0o" or "0b" choose the base; digits up to the first other byte; wraps
// around in 32 bits.
UINT ParseProfileInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        const char prefix = text[i + 1];
        if (prefix == 'x') base = 16;
        if (prefix == 'o') base = 8;
        if (prefix == 'b') base = 2;
        if (base != 10) i += 2;
    }
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit = 99;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'z') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'Z') digit = static_cast<unsigned>(c - 'A' + 10);
        if (digit >= base) break;
        value = value * base + digit;
    }
    return negative ? 0u - value : value;
}

// ---- the archiver DLLs

std::vector<std::string> missing;
std::vector<std::string> loaded;  // module handle n is loaded[n - 1]
std::vector<standin::Command> commands;
std::vector<std::string> fileOperations;

template <int Module>
int WINAPI CommandEntry(HWND, LPCSTR text, LPSTR, DWORD) {
    commands.push_back({loaded.at(Module - 1), text});
    return 0;
}

WORD WINAPI VersionEntry() { return 100; }
BOOL WINAPI CheckEntry(LPCSTR, int) { return FALSE; }

using CommandPointer = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
const CommandPointer kCommandEntries[] = {CommandEntry<1>, CommandEntry<2>, CommandEntry<3>,
                                          CommandEntry<4>, CommandEntry<5>, CommandEntry<6>,
                                          CommandEntry<7>, CommandEntry<8>};

// ---- the shell drop

std::vector<std::string> droppedFiles;
std::vector<char> dropBlock;  // droppedFiles as the DROPFILES block a drop handle holds
bool dropReleased = false;

// ---- the person

std::vector<std::string> messages;
int answer = IDOK;

class RecordingPerson : public Person {
public:
    int ShowMessage(HWND, const char* text, const char*, UINT) override {
        messages.push_back(text);
        return answer;
    }
    int ShowWideMessage(HWND, const WCHAR* text, const WCHAR*, UINT) override {
        std::string narrow;
        for (; *text != 0; ++text) narrow += *text <= 0xFF ? static_cast<char>(*text) : '_';
        messages.push_back(narrow);
        return answer;
    }
    bool BrowseForFolder(HWND, const char*, UINT, char*) override { return false; }
    bool ChooseSaveFile(OPENFILENAMEA&) override { return false; }
    void StartExplorer(const char*) override {}
    void OpenDocument(const char*) override {}
    void EndProcess(int) override {}
};

std::string tempFolder = "C:\\Temp";

}  // namespace

namespace standin {

void ClearDisk() { Disk().clear(); }

void PutOnDisk(const std::string& path, const DiskEntry& entry) { Disk()[Fold(path)] = entry; }

void LoadProfile(const std::string& text) {
    profile.clear();
    profile.push_back({});  // keys before any section header
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = TrimLeft(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        if (line[0] == '[') {
            const size_t close = line.rfind(']');
            if (close != std::string::npos) {
                profile.push_back({line.substr(1, close - 1), {}});
                continue;
            }
        }
        line = TrimRight(line);
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            profile.back().keys.push_back({line, std::nullopt});
        } else {
            profile.back().keys.push_back(
                {TrimRight(line.substr(0, equals)), TrimLeft(line.substr(equals + 1))});
        }
    }
}

std::string SaveProfile() {
    std::string text;
    for (size_t i = 0; i < profile.size(); ++i) {
        if (i > 0) text += "[" + profile[i].name + "]\r\n";
        for (const ProfileKey& key : profile[i].keys)
            text += key.value ? key.name + "=" + *key.value + "\r\n" : key.name + "\r\n";
    }
    return text;
}

void SetDroppedFiles(const std::vector<std::string>& names) {
    droppedFiles = names;
    dropReleased = false;
    DROPFILES header{};
    header.pFiles = sizeof header;
    dropBlock.assign(reinterpret_cast<const char*>(&header),
                     reinterpret_cast<const char*>(&header) + sizeof header);
    for (const std::string& name : names) dropBlock.insert(dropBlock.end(), name.c_str(),
                                                           name.c_str() + name.size() + 1);
    dropBlock.push_back('\0');
}

bool DropReleased() { return dropReleased; }

void ResetArchivers(const std::vector<std::string>& missingDlls) {
    missing = missingDlls;
    loaded.clear();
    commands.clear();
    fileOperations.clear();
}

const std::vector<Command>& Commands() { return commands; }
void ClearCommands() {
    commands.clear();
    fileOperations.clear();
}
const std::vector<std::string>& FileOperations() { return fileOperations; }

void ResetMessages(int reply) {
    messages.clear();
    answer = reply;
}
const std::vector<std::string>& Messages() { return messages; }

void SetTempFolder(const std::string& folder) { tempFolder = folder; }

}  // namespace standin

// ---- Win32

DWORD GetFileAttributesA(LPCSTR path) {
    const standin::DiskEntry* entry = FindOnDisk(path);
    return entry ? entry->attributes : INVALID_FILE_ATTRIBUTES;
}

HANDLE FindFirstFileA(LPCSTR path, WIN32_FIND_DATAA* found) {
    const standin::DiskEntry* entry = FindOnDisk(path);
    if (entry == nullptr) return INVALID_HANDLE_VALUE;
    *found = {};
    found->dwFileAttributes = entry->attributes;
    found->nFileSizeHigh = static_cast<DWORD>(entry->size >> 32);
    found->nFileSizeLow = static_cast<DWORD>(entry->size);
    entry->storedName.copy(found->cFileName, MAX_PATH - 1);
    return &searchToken;
}

BOOL FindNextFileA(HANDLE, WIN32_FIND_DATAA*) { return FALSE; }
BOOL FindClose(HANDLE) { return TRUE; }

HANDLE CreateFileA(LPCSTR, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
    return INVALID_HANDLE_VALUE;
}
BOOL GetFileSizeEx(HANDLE, LARGE_INTEGER*) { return FALSE; }
BOOL CloseHandle(HANDLE) { return TRUE; }

BOOL DeleteFileA(LPCSTR path) {
    fileOperations.push_back(std::string("delete ") + path);
    return TRUE;
}

BOOL MoveFileA(LPCSTR from, LPCSTR to) {
    fileOperations.push_back(std::string("move ") + from + " > " + to);
    return TRUE;
}

HMODULE LoadLibraryA(LPCSTR file) {
    for (const std::string& name : missing)
        if (Fold(name) == Fold(file)) return nullptr;
    if (loaded.size() >= sizeof kCommandEntries / sizeof kCommandEntries[0]) return nullptr;
    loaded.push_back(file);
    return reinterpret_cast<HMODULE>(loaded.size());
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    const size_t index = reinterpret_cast<size_t>(module);
    if (index == 0 || index > loaded.size()) return nullptr;
    const std::string entry = name;
    auto ends = [&entry](const char* tail) {
        const size_t length = std::strlen(tail);
        return entry.size() >= length && entry.compare(entry.size() - length, length, tail) == 0;
    };
    if (ends("GetVersion")) return reinterpret_cast<FARPROC>(VersionEntry);
    if (ends("CheckArchive")) return reinterpret_cast<FARPROC>(CheckEntry);
    return reinterpret_cast<FARPROC>(kCommandEntries[index - 1]);
}

BOOL FreeLibrary(HMODULE) { return TRUE; }
long RegCloseKey(HKEY) { return 0; }

int CompareStringA(DWORD, DWORD, LPCSTR a, int, LPCSTR b, int) {
    return Fold(a) == Fold(b) ? CSTR_EQUAL : 1;
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int fallback, LPCSTR) {
    // The value is read into a buffer of 30 characters first; an empty one is no value.
    const std::optional<std::string> value = ReadProfileValue(section, key);
    if (!value || value->empty()) return static_cast<UINT>(fallback);
    return ParseProfileInt(value->substr(0, 29));
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer,
                               DWORD size, LPCSTR) {
    const std::optional<std::string> value = ReadProfileValue(section, key);
    return CopyOut(value ? *value : std::string(fallback), buffer, size);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR) {
    ProfileSection* found = FindSection(section);
    if (found == nullptr) {
        profile.push_back({section, {}});
        found = &profile.back();
    }
    // Leading blanks are not kept; trailing ones go when the file is read again.
    const std::string text = TrimLeft(value);
    if (ProfileKey* entry = FindKey(*found, key)) {
        entry->value = text;
    } else {
        found->keys.push_back({key, text});
    }
    return TRUE;
}

// 0xFFFFFFFF asks for the count; no buffer asks for a name's length without its NUL;
// otherwise at most size - 1 bytes are copied and their number returned.
UINT DragQueryFileA(HDROP, UINT index, LPSTR buffer, UINT size) {
    if (index == 0xFFFFFFFF) return static_cast<UINT>(droppedFiles.size());
    if (index >= droppedFiles.size()) return 0;
    const std::string& name = droppedFiles[index];
    if (buffer == nullptr) return static_cast<UINT>(name.size());
    if (size == 0) return 0;
    const size_t copied = std::min<size_t>(name.size(), size - 1);
    name.copy(buffer, copied);
    buffer[copied] = '\0';
    return static_cast<UINT>(copied);
}

// DragQueryFileA's names, each byte one code unit (the stand-ins' code page).
UINT DragQueryFileW(HDROP, UINT index, WCHAR* buffer, UINT size) {
    if (index == 0xFFFFFFFF) return static_cast<UINT>(droppedFiles.size());
    if (index >= droppedFiles.size()) return 0;
    const std::string& name = droppedFiles[index];
    if (buffer == nullptr) return static_cast<UINT>(name.size());
    if (size == 0) return 0;
    const size_t copied = std::min<size_t>(name.size(), size - 1);
    for (size_t i = 0; i < copied; ++i) buffer[i] = static_cast<unsigned char>(name[i]);
    buffer[copied] = 0;
    return static_cast<UINT>(copied);
}

void DragFinish(HDROP) { dropReleased = true; }

SIZE_T GlobalSize(HANDLE) { return dropBlock.size(); }
void* GlobalLock(HANDLE) { return dropBlock.empty() ? nullptr : dropBlock.data(); }
BOOL GlobalUnlock(HANDLE) { return TRUE; }

int WideCharToMultiByte(UINT, DWORD, const WCHAR* wide, int wideLength, LPSTR bytes, int size,
                        LPCSTR defaultChar, BOOL* usedDefault) {
    if (usedDefault != nullptr) *usedDefault = FALSE;
    if (bytes != nullptr && size < wideLength) return 0;
    for (int i = 0; i < wideLength; ++i) {
        const bool fits = wide[i] <= 0xFF;
        if (!fits && usedDefault != nullptr) *usedDefault = TRUE;
        if (bytes != nullptr)
            bytes[i] = fits ? static_cast<char>(wide[i]) : (defaultChar ? *defaultChar : '?');
    }
    return wideLength;
}

int MultiByteToWideChar(UINT, DWORD, LPCSTR bytes, int length, WCHAR* wide, int size) {
    if (wide != nullptr && size < length) return 0;
    for (int i = 0; wide != nullptr && i < length; ++i)
        wide[i] = static_cast<unsigned char>(bytes[i]);
    return length;
}

// Every name fits the stand-ins' code page, so no alias is ever asked for.
DWORD GetShortPathNameW(const WCHAR*, WCHAR*, DWORD) { return 0; }
HANDLE FindFirstFileW(const WCHAR*, WIN32_FIND_DATAW*) { return INVALID_HANDLE_VALUE; }

// ---- the program's own functions beyond the readers

Person& CurrentPerson() {
    static RecordingPerson person;
    return person;
}

void SetPerson(Person*) {}

bool GetSpecialDir(char* buffer, int, HWND) {
    tempFolder.copy(buffer, MAX_PATH - 1);
    buffer[std::min<size_t>(tempFolder.size(), MAX_PATH - 1)] = '\0';
    return true;
}
