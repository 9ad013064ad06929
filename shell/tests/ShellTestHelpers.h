// Registry, INI and link readers for the shell tests. They use the plain Win32 calls
// (RegDeleteTreeA and the like), never the code under test.
#pragma once
#include <windows.h>

#include <string>

namespace shell_tests {

// What a test sees when there is nothing to read.
extern const char kNoKey[];
extern const char kNoValue[];

std::string ExecutablePath();
std::string DirectoryOf(const std::string& path);

bool KeyExists(HKEY root, const std::string& path);
// The value's text, kNoKey or kNoValue; name nullptr reads the default value.
std::string ReadString(HKEY root, const std::string& path, const char* name = nullptr);
// The value's size in bytes as the registry reports it, or 0 when missing.
DWORD ValueSize(HKEY root, const std::string& path, const char* name);
DWORD SubkeyCount(HKEY root, const std::string& path);
void WriteString(HKEY root, const std::string& path, const char* name, const std::string& text);
void DeleteTree(HKEY root, const std::string& path);

std::string ReadIni(const std::string& iniFile, const char* section, const char* key);
void WriteIni(const std::string& iniFile, const char* section, const char* key,
              const std::string& value);

// The parts of a shell link that CreateShortcut sets; loaded is false for no readable link.
struct LinkParts {
    bool loaded = false;
    std::string target;
    std::string workingDir;
    std::string description;
};
LinkParts ReadLink(const std::string& linkPath);

// Keeps an extension key's default value and puts it back at the end, and removes the
// Zibrak ProgID of the extension, which the code under test writes.
class ExtensionGuard {
public:
    explicit ExtensionGuard(const std::string& extension);
    ~ExtensionGuard();
    ExtensionGuard(const ExtensionGuard&) = delete;
    ExtensionGuard& operator=(const ExtensionGuard&) = delete;

private:
    std::string extension_;
    bool existed_;
    bool hadDefault_;
    std::string defaultValue_;
};

}  // namespace shell_tests
