#include "shell/tests/ShellTestHelpers.h"

#include <shlobj.h>

#include "base/Handles.h"

namespace shell_tests {

const char kNoKey[] = "<no key>";
const char kNoValue[] = "<no value>";

std::string ExecutablePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string DirectoryOf(const std::string& path) {
    const size_t at = path.find_last_of("\\/");
    return at == std::string::npos ? path : path.substr(0, at);
}

namespace {

RegKey Open(HKEY root, const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS) return RegKey();
    return RegKey(key);
}

}  // namespace

bool KeyExists(HKEY root, const std::string& path) {
    return Open(root, path, KEY_QUERY_VALUE).valid();
}

std::string ReadString(HKEY root, const std::string& path, const char* name) {
    const RegKey key = Open(root, path, KEY_QUERY_VALUE);
    if (!key) return kNoKey;
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS) {
        return kNoValue;
    }
    buffer[size] = '\0';
    return buffer;
}

DWORD ValueSize(HKEY root, const std::string& path, const char* name) {
    const RegKey key = Open(root, path, KEY_QUERY_VALUE);
    DWORD size = 0;
    if (!key || RegQueryValueExA(key.get(), name, nullptr, nullptr, nullptr, &size) !=
                    ERROR_SUCCESS) {
        return 0;
    }
    return size;
}

DWORD SubkeyCount(HKEY root, const std::string& path) {
    const RegKey key = Open(root, path, KEY_QUERY_VALUE);
    DWORD subkeys = 0;
    if (key) {
        RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    return subkeys;
}

void WriteString(HKEY root, const std::string& path, const char* name, const std::string& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    const RegKey owned(key);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size()) + 1);
}

void DeleteTree(HKEY root, const std::string& path) {
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

std::string ReadIni(const std::string& iniFile, const char* section, const char* key) {
    char buffer[MAX_PATH] = {};
    GetPrivateProfileStringA(section, key, kNoValue, buffer, sizeof buffer, iniFile.c_str());
    return buffer;
}

void WriteIni(const std::string& iniFile, const char* section, const char* key,
              const std::string& value) {
    WritePrivateProfileStringA(section, key, value.c_str(), iniFile.c_str());
}

LinkParts ReadLink(const std::string& linkPath) {
    LinkParts parts;
    const ComScope com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.out()))) {
        return parts;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return parts;
    WCHAR widePath[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH);
    if (FAILED(file->Load(widePath, STGM_READ))) return parts;

    char text[MAX_PATH] = {};
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    parts.target = text;
    text[0] = '\0';
    link->GetWorkingDirectory(text, MAX_PATH);
    parts.workingDir = text;
    text[0] = '\0';
    link->GetDescription(text, MAX_PATH);
    parts.description = text;
    parts.loaded = true;
    return parts;
}

ExtensionGuard::ExtensionGuard(const std::string& extension)
    : extension_(extension), existed_(KeyExists(HKEY_CLASSES_ROOT, extension)) {
    defaultValue_ = ReadString(HKEY_CLASSES_ROOT, extension);
    hadDefault_ = existed_ && defaultValue_ != kNoValue;
    // A ProgID left by an earlier run (uninstalling keeps them) would pass for one this
    // test's code wrote.
    DeleteTree(HKEY_CLASSES_ROOT, "Zibrak" + extension_.substr(1));
}

ExtensionGuard::~ExtensionGuard() {
    if (!existed_) {
        DeleteTree(HKEY_CLASSES_ROOT, extension_);
    } else if (hadDefault_) {
        WriteString(HKEY_CLASSES_ROOT, extension_, nullptr, defaultValue_);
    } else {
        const RegKey key = Open(HKEY_CLASSES_ROOT, extension_, KEY_SET_VALUE);
        if (key) RegDeleteValueA(key.get(), nullptr);
    }
    DeleteTree(HKEY_CLASSES_ROOT, "Zibrak" + extension_.substr(1));
}

}  // namespace shell_tests
