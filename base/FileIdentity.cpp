#include "base/FileIdentity.h"

#include <vector>

#include "base/Handles.h"
#include "base/Paths.h"

namespace {

std::string FullPath(const char* path) {
    char buffer[MAX_PATH];
    char* name = nullptr;
    const DWORD length = GetFullPathNameA(path, MAX_PATH, buffer, &name);
    if (length > 0 && length < MAX_PATH) return buffer;
    if (length == 0) return std::string();
    std::vector<char> longer(length);
    const DWORD again = GetFullPathNameA(path, length, longer.data(), &name);
    return again > 0 && again < length ? std::string(longer.data()) : std::string();
}

// The long form of a full path that exists; false when it does not.
bool ExistingLongPath(const std::string& full, std::string& longPath) {
    const DWORD length = GetLongPathNameA(full.c_str(), nullptr, 0);
    if (length == 0) return false;
    std::vector<char> buffer(length);
    const DWORD written = GetLongPathNameA(full.c_str(), buffer.data(), length);
    if (written == 0 || written >= length) return false;
    longPath = buffer.data();
    return true;
}

}  // namespace

bool operator==(const FileId& a, const FileId& b) {
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

bool ReadFileId(const char* path, FileId& id) {
    // No access rights are asked for, so a file that another program holds open still
    // answers; a folder opens only with backup semantics.
    const FileHandle file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                   FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                      nullptr));
    if (!file) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.get(), &info)) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.indexHigh = info.nFileIndexHigh;
    id.indexLow = info.nFileIndexLow;
    return true;
}

std::string FullLongPath(const char* path) {
    std::string full = FullPath(path);
    if (full.empty()) return full;
    // The missing tail is kept as written; the existing head gets its long names.
    std::string tail;
    for (;;) {
        std::string longHead;
        if (ExistingLongPath(full, longHead))
            return tail.empty() ? longHead : WithTrailingSeparator(longHead) + tail;
        const int separator = LastSeparator(full.c_str());
        if (separator <= 0) return full + (tail.empty() ? "" : "\\" + tail);
        const std::string name = full.substr(static_cast<size_t>(separator) + 1);
        tail = tail.empty() ? name : name + "\\" + tail;
        full.resize(static_cast<size_t>(separator));
    }
}

bool NameSameFile(const char* a, const char* b) {
    FileId idA;
    FileId idB;
    if (ReadFileId(a, idA) && ReadFileId(b, idB)) return idA == idB;
    const std::string fullA = FullLongPath(a);
    return !fullA.empty() && SamePathText(fullA, FullLongPath(b));
}

bool LiesBelowFolder(const char* path, const char* folder) {
    const std::string fullPath = FullLongPath(path);
    const std::string fullFolder = FullLongPath(folder);
    if (fullPath.empty() || fullFolder.empty()) return false;
    const std::string folderText = WithTrailingSeparator(fullFolder);
    if (fullPath.size() > folderText.size() && LiesInDirectory(fullPath.c_str(), folderText))
        return true;

    FileId folderId;
    if (!ReadFileId(fullFolder.c_str(), folderId)) return false;
    std::string up = fullPath;
    for (int separator = LastSeparator(up.c_str()); separator > 0;
         separator = LastSeparator(up.c_str())) {
        up.resize(static_cast<size_t>(separator));
        FileId id;
        if (ReadFileId(WithTrailingSeparator(up).c_str(), id) && id == folderId) return true;
    }
    return false;
}
