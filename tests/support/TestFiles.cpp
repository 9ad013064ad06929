#include "tests/support/TestFiles.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace testing_support {

TempDir::TempDir() {
    char base[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, base);
    std::string root(base, n);
    if (!root.empty() && root.back() != '\\') root += '\\';
    static unsigned serial = 0;
    for (;;) {
        char name[64];
        std::snprintf(name, sizeof name, "zbt%lu_%u_%lu", GetCurrentProcessId(), ++serial,
                      GetTickCount());
        path_ = root + name;
        if (CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
}

TempDir::~TempDir() { RemoveTree(path_); }

CurrentFolderScope::CurrentFolderScope(const std::string& folder) {
    char buffer[MAX_PATH] = "";
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    if (length > 0 && length < MAX_PATH) previous_.assign(buffer, length);
    changed_ = SetCurrentDirectoryA(folder.c_str()) != 0;
}

CurrentFolderScope::~CurrentFolderScope() {
    if (!previous_.empty()) SetCurrentDirectoryA(previous_.c_str());
}

bool WriteTextFile(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

bool ReadTextFile(const std::string& path, std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(h);
    return true;
}

bool MakeDir(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        std::vector<std::string> names;
        do {
            std::string n = fd.cFileName;
            if (n != "." && n != "..") names.push_back(n);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
        for (const auto& n : names) RemoveTree(path + "\\" + n);
    }
    RemoveDirectoryA(path.c_str());
}

std::string GetEnv(const char* name) {
    char buf[32768];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string();
}

std::string WindowsPathOf(std::string path) {
    if (path.empty() || path[0] != '/') return path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

HDROP MakeDrop(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) list += name + '\0';
    list += '\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size());
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::string StandinDir() { return WindowsPathOf(GetEnv("ZIBRAK_STANDIN_DIR")); }

}  // namespace testing_support
