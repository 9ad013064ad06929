// Self-extracting programs: the stub program is a resource of every stand-in DLL, so a DLL
// copied alone still writes them.
#include <windows.h>

#include <cstring>

#include "standins/command.h"

namespace standin {

const char kSfxMagic[8] = {'Z', 'B', 'S', 'F', 'X', 0, 0, 1};

namespace {

const size_t kTrailerSize = 16;

// The stub embedded in the module that holds this code (a DLL, or the stub itself).
bool LoadStub(std::string& stub) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&LoadStub), &module)) {
        return false;
    }
    HRSRC found = FindResourceA(module, "SFXSTUB", MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) return false;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(module, found);
    if (!bytes || size == 0) return false;
    stub.assign(static_cast<const char*>(bytes), size);
    return true;
}

}  // namespace

bool WriteSfx(const std::string& archive, const std::string& program) {
    std::string stub;
    std::string data;
    if (!LoadStub(stub) || !ReadWholeFile(archive, data)) return false;
    std::string out = stub + data;
    uint64_t offset = stub.size();
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((offset >> (8 * i)) & 0xFF));
    out.append(kSfxMagic, sizeof kSfxMagic);
    return WriteFileAtomically(program, out);
}

bool ReadSfxPayload(const std::string& path, std::string& archive) {
    std::string self;
    if (!ReadWholeFile(path, self) || self.size() < kTrailerSize) return false;
    const char* trailer = self.data() + self.size() - kTrailerSize;
    if (memcmp(trailer + 8, kSfxMagic, sizeof kSfxMagic) != 0) return false;
    uint64_t offset = 0;
    for (int i = 7; i >= 0; --i) offset = (offset << 8) | static_cast<unsigned char>(trailer[i]);
    if (offset > self.size() - kTrailerSize) return false;
    archive = self.substr(static_cast<size_t>(offset),
                          self.size() - kTrailerSize - static_cast<size_t>(offset));
    return !archive.empty();
}

}  // namespace standin
