// Writing self-extracting programs: the stub program is a resource of every stand-in DLL that
// writes them, so a DLL copied alone still does.
#include <windows.h>

#include <cstring>

#include "standins/sfx/sfx.h"
#include "standins/core/file_streams.h"
#include "standins/write/writer_io.h"

namespace standin {

namespace {

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

// Copies source to its end into out, a piece at a time.
bool CopyAll(ByteSource& source, ArchiveOutput& out) {
    std::string piece(kWriteChunk, '\0');
    for (;;) {
        size_t got = 0;
        if (!source.read(&piece[0], piece.size(), got)) return false;
        if (got == 0) return true;
        if (!out.write(piece.data(), got)) return false;
    }
}

}  // namespace

bool WriteSfx(const std::string& archive, const std::string& program) {
    std::string stub;
    if (!LoadStub(stub)) return false;
    FileInput in(archive);
    if (!in.valid() || in.size() == 0) return false;
    ArchiveOutput out(program);
    RangeSource payload(in, 0, in.size());
    if (!out.write(stub.data(), stub.size()) || !CopyAll(payload, out) ||
        out.position() != stub.size() + in.size())
        return false;
    char trailer[kSfxTrailerSize];
    uint64_t offset = stub.size();
    for (int i = 0; i < 8; ++i) trailer[i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
    memcpy(trailer + 8, kSfxMagic, sizeof kSfxMagic);
    return out.write(trailer, sizeof trailer) && out.commit();
}

}  // namespace standin
