// An archiver backed by one DLL of the archiver-DLL family: every request becomes one
// command text passed to the DLL's command entry point.
#include <windows.h>

#include <cstring>
#include <string>

#include "archivers/Archiver.h"
#include "archivers/CommandText.h"
#include "base/Handles.h"
#include "shell/SpecialDirs.h"

DllArchiver::~DllArchiver() {
    if (module != nullptr) FreeLibrary(module);
}

bool DllArchiver::LoadDll(const char* dllFile, const char* versionName, const char* commandName,
                          const char* checkName) {
    // The name comes first so that Describe can name a DLL that is missing.
    dllName.assign(dllFile);
    module = LoadLibraryA(dllFile);
    if (module == nullptr) return false;
    if (versionName != nullptr)
        getVersion = reinterpret_cast<GetVersionProc>(
            reinterpret_cast<void*>(GetProcAddress(module, versionName)));
    if (commandName != nullptr)
        command = reinterpret_cast<CommandProc>(
            reinterpret_cast<void*>(GetProcAddress(module, commandName)));
    if (checkName != nullptr)
        checkArchive = reinterpret_cast<CheckArchiveProc>(
            reinterpret_cast<void*>(GetProcAddress(module, checkName)));
    return true;
}

void DllArchiver::AddFormat(const char* label, const char* extension,
                            const char* compressTemplate) {
    if (formatCount >= 3) return;
    labels[formatCount].assign(label);
    extensions[formatCount].assign(extension);
    compressTemplates[formatCount].assign(compressTemplate);
    ++formatCount;
}

namespace {

// The full 64-bit size: a file of a multiple of 4 GiB is not empty. False when the file
// cannot be opened or measured.
bool GetFileSize64(const char* path, LONGLONG& size) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER value;
    if (!GetFileSizeEx(file.get(), &value)) return false;
    size = value.QuadPart;
    return true;
}

bool IsDirectoryPath(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The format slot offering label, compared byte for byte; -1 if none. Only the slots in
// use count: an unused one holds an empty label, which would make an archiver without
// formats (UnZip32.dll) offer the empty text with an empty template.
int FindFormatSlot(const Archiver& archiver, const StrBuf& label) {
    for (int slot = 0; slot < archiver.formatCount && slot < 3; ++slot) {
        if (std::strcmp(archiver.labels[slot].text(), label.text()) == 0) return slot;
    }
    return -1;
}

// The file-list argument: the base directory, then each entry by its name relative to it.
// One growing string, so a drop of tens of thousands of entries has no length limit.
std::string BuildFileListArgument(const FileList& files, const std::string& baseDirectory) {
    std::string list;
    AppendListHead(list, baseDirectory);
    for (int32_t i = 0; i < files.count(); ++i) {
        const char* entry = files.at(i).text();
        AppendListEntry(list, ListEntryName(entry, baseDirectory), IsDirectoryPath(entry));
    }
    return list;
}

}  // namespace

bool DllArchiver::CanExtract(const StrBuf& path) {
    // Without its command export the DLL could recognise the archive but never extract it.
    if (module == nullptr || checkArchive == nullptr || command == nullptr) return false;
    // A failed query gives all bits set, so a missing path is refused here too.
    if ((GetFileAttributesA(path.text()) & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    LONGLONG size = 0;
    if (!GetFileSize64(path.text(), size) || size == 0) return false;
    return checkArchive(path.text(), 0) == 1;
}

bool DllArchiver::SupportsFormat(const StrBuf& label) {
    // A DLL without its command export offers nothing, so the job says it cannot compress
    // rather than deleting an old archive and writing nothing.
    if (module == nullptr || command == nullptr) return false;
    return FindFormatSlot(*this, label) >= 0;
}

bool DllArchiver::CanMakeSfx() { return module != nullptr && sfxTemplate.length() > 0; }

void DllArchiver::Describe(StrBuf& out) {
    out.assign(dllName);
    if (module == nullptr) {
        out.append("   Not Installed");
        return;
    }
    if (getVersion == nullptr) {
        out.append("   Invalid");
        return;
    }
    const unsigned version = static_cast<unsigned>(getVersion()) & 0xFFFFu;
    char status[64];
    // user32's formatter: the C library's brings its floating-point code into the program.
    wsprintfA(status, "   version %u.%02u", version / 100, version % 100);
    out.append(status);
}

bool DllArchiver::BuildCompressCommand(const StrBuf& label, const FileList& files,
                                       const StrBuf& destination, std::string& text) const {
    text.clear();
    if (module == nullptr) return false;
    const int slot = FindFormatSlot(*this, label);
    if (slot < 0) return false;
    // A DLL without its command export is never called.
    if (command == nullptr || files.count() == 0) return false;

    const char* first = files.at(0).text();
    const std::string baseDirectory = ArchiveBaseDirectory(first);
    const std::string archive = std::string(destination.text()) + ArchiveBaseName(files) + "." +
                                extensions[slot].text();
    text = FillTemplate(compressTemplates[slot].text(), QuoteArgument(archive),
                        BuildFileListArgument(files, baseDirectory));
    return true;
}

bool DllArchiver::Compress(const StrBuf& label, const FileList& files,
                           const StrBuf& destination) {
    std::string text;
    if (!BuildCompressCommand(label, files, destination, text)) return false;
    command(nullptr, text.c_str(), nullptr, 0);
    return true;
}

std::string ArchiveBaseName(const FileList& files) {
    return ArchiveBaseName(files.longNameAt(0).c_str());
}

bool FindSfxTemporaryFiles(const FileList& list, const char* extension,
                           SfxTemporaryFiles& files) {
    char tempBuffer[MAX_PATH] = "";
    GetSpecialDir(tempBuffer, DIR_TEMP, nullptr);
    if (tempBuffer[0] == '\0') return false;
    const std::string baseName = ArchiveBaseName(list);
    files.folder = std::string(tempBuffer) + "\\";
    files.archive = files.folder + baseName + "." + extension;
    files.program = files.folder + baseName + ".exe";
    return true;
}

bool DllArchiver::CompressSfx(const StrBuf& label, const FileList& files,
                              const StrBuf& destination) {
    if (module == nullptr || command == nullptr || sfxTemplate.length() == 0) return false;
    const int slot = FindFormatSlot(*this, label);
    if (slot < 0 || files.count() == 0) return false;

    SfxTemporaryFiles temporary;
    if (!FindSfxTemporaryFiles(files, extensions[slot].text(), temporary))
        return false;
    const std::string& tempDirectory = temporary.folder;
    const std::string& tempArchive = temporary.archive;
    const std::string& tempProgram = temporary.program;
    const std::string finalProgram =
        std::string(destination.text()) + ArchiveBaseName(files) + ".exe";

    // Leftovers of an earlier run would be added to or carried out as the new program.
    DeleteFileA(tempArchive.c_str());
    DeleteFileA(tempProgram.c_str());

    if (!Compress(label, files, StrBuf(tempDirectory.c_str()))) return false;

    const std::string text = FillTemplate(sfxTemplate.text(), QuoteArgument(tempArchive),
                                          QuoteArgument(tempDirectory));
    command(nullptr, text.c_str(), nullptr, 0);
    DeleteFileA(tempArchive.c_str());
    MoveFileA(tempProgram.c_str(), finalProgram.c_str());
    return true;
}

bool DllArchiver::Extract(const StrBuf& archive, const StrBuf& destination,
                          int32_t chainPosition, bool overwrite) {
    // Without a command export or an extract template there is nothing sound to issue.
    if (command == nullptr || extractTemplate.length() == 0) return false;
    std::string format = overwrite ? OverwriteSwitch(chainPosition) : "";
    format += extractTemplate.text();
    const std::string text = FillTemplate(format.c_str(), QuoteArgument(archive.text()),
                                          QuoteArgument(destination.text()));
    command(nullptr, text.c_str(), nullptr, 0);
    return true;
}
