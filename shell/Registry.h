// The registry steps that the association and install code share.
#pragma once
#include <windows.h>

#include "base/Handles.h"

RegKey OpenKey(HKEY root, const char* path, REGSAM access);
// RegCreateKeyExA with no class, options 0 and no security.
RegKey CreateKey(HKEY root, const char* path, REGSAM access);
// The key's default value as text, whatever its registry type, into a buffer of size bytes.
bool ReadDefaultValue(HKEY key, char* buffer, DWORD size);
// A REG_SZ value, its terminating NUL counted in the size; name nullptr is the default value.
bool WriteStringValue(HKEY key, const char* name, const char* text);
// Deletes every subkey of an open key, depth first; the key itself stays.
void DeleteKeyTree(HKEY key);
