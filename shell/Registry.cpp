#include "shell/Registry.h"

RegKey OpenKey(HKEY root, const char* path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, access, &key) != ERROR_SUCCESS) return RegKey();
    return RegKey(key);
}

RegKey CreateKey(HKEY root, const char* path, REGSAM access) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, access, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return RegKey();
    }
    return RegKey(key);
}

bool ReadDefaultValue(HKEY key, char* buffer, DWORD size) {
    DWORD bytes = size;
    if (RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                         &bytes) != ERROR_SUCCESS) {
        buffer[0] = '\0';
        return false;
    }
    // The registry does not promise a terminating NUL; in a full buffer the last byte
    // gives way to one.
    buffer[bytes < size ? bytes : size - 1] = '\0';
    return true;
}

bool WriteStringValue(HKEY key, const char* name, const char* text) {
    const DWORD bytes = static_cast<DWORD>(lstrlenA(text)) + 1;
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
           ERROR_SUCCESS;
}

void DeleteKeyTree(HKEY key) {
    // A subkey that cannot be removed stays at its index; step past it rather than find it
    // again for ever.
    DWORD index = 0;
    for (;;) {
        char name[1200];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return;
        }
        if (const RegKey subkey = OpenKey(key, name, KEY_ENUMERATE_SUB_KEYS)) {
            DeleteKeyTree(subkey.get());
        }  // closed before its deletion
        if (RegDeleteKeyA(key, name) != ERROR_SUCCESS) ++index;
    }
}
