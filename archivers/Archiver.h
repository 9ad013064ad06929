// Archiver: one archiver DLL behind eight virtual operations, in this slot order.
// The base class refuses everything; DllArchiver is the only concrete class.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "base/FileList.h"
#include "base/StrBuf.h"

class Archiver {
public:
    Archiver() = default;
    Archiver(const Archiver&) = delete;
    Archiver& operator=(const Archiver&) = delete;

    virtual ~Archiver() = default;
    virtual bool CanExtract(const StrBuf& path);
    virtual bool SupportsFormat(const StrBuf& label);
    virtual bool CanMakeSfx();
    virtual bool Extract(const StrBuf& archive, const StrBuf& destination, int32_t chainPosition,
                         bool overwrite);
    virtual bool Compress(const StrBuf& label, const FileList& files, const StrBuf& destination);
    virtual bool CompressSfx(const StrBuf& label, const FileList& files,
                             const StrBuf& destination);
    virtual void Describe(StrBuf& out);

    Archiver* next = nullptr;  // set only by AppendArchiver
    int32_t formatCount = 0;
    StrBuf labels[3];
};

// The archiver DLLs' three entry points, Windows API calling convention.
using GetVersionProc = WORD(WINAPI*)();
using CommandProc = int(WINAPI*)(HWND window, LPCSTR commandText, LPSTR output, DWORD outputSize);
using CheckArchiveProc = BOOL(WINAPI*)(LPCSTR path, int mode);

class DllArchiver : public Archiver {
public:
    DllArchiver() = default;
    ~DllArchiver() override;

    bool LoadDll(const char* dllFile, const char* versionName, const char* commandName,
                 const char* checkName);
    void AddFormat(const char* label, const char* extension, const char* compressTemplate);

    bool CanExtract(const StrBuf& path) override;
    bool SupportsFormat(const StrBuf& label) override;
    bool CanMakeSfx() override;
    // The text Compress would send for these arguments; false (text empty) where Compress
    // would refuse without calling the DLL.
    bool BuildCompressCommand(const StrBuf& label, const FileList& files,
                              const StrBuf& destination, std::string& text) const;
    bool Extract(const StrBuf& archive, const StrBuf& destination, int32_t chainPosition,
                 bool overwrite) override;
    bool Compress(const StrBuf& label, const FileList& files, const StrBuf& destination) override;
    bool CompressSfx(const StrBuf& label, const FileList& files,
                     const StrBuf& destination) override;
    void Describe(StrBuf& out) override;

    HMODULE module = nullptr;
    GetVersionProc getVersion = nullptr;
    CommandProc command = nullptr;
    CheckArchiveProc checkArchive = nullptr;
    StrBuf dllName;
    StrBuf compressTemplates[3];
    StrBuf extensions[3];
    StrBuf extractTemplate;
    StrBuf sfxTemplate;
};

// The name, without extension, of every archive made of files: the first file's long name
// (FileList::longNameAt), so that an 8.3 alias given for a name the code page cannot hold
// never names an archive.
std::string ArchiveBaseName(const FileList& files);

// The two files CompressSfx writes in the temporary folder before it moves the program
// out: the archive (base name + "." + extension) and the program (base name + ".exe").
// False when the system names no temporary folder.
struct SfxTemporaryFiles {
    std::string folder;  // with its trailing '\\'
    std::string archive;
    std::string program;
};
bool FindSfxTemporaryFiles(const FileList& list, const char* extension,
                           SfxTemporaryFiles& files);
