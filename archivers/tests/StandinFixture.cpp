#include "archivers/tests/StandinFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/Handles.h"

namespace archiver_tests {

using testing_support::GetEnv;
using testing_support::StandinDir;

const char* const kChainDlls[7] = {"Unlha32.dll", "UnZip32.dll",  "Zip32j.dll", "Cab32.dll",
                                   "Unrar32.dll", "Unarj32j.dll", "Tar32.dll"};

const std::vector<const char*> kAllStandins = {
    "Unlha32.dll", "UnZip32.dll",  "Zip32j.dll", "Cab32.dll",
    "Unrar32.dll", "Unarj32j.dll", "Tar32.dll",  "Zcrypt32.dll"};

Journal::Journal() : path_(dir_ / "journal.txt") {
    SetEnvironmentVariableA("ARCHIVER_JOURNAL", path_.c_str());
}

Journal::~Journal() { SetEnvironmentVariableA("ARCHIVER_JOURNAL", nullptr); }

std::string Journal::read() const {
    std::string bytes;
    if (!ReadTextFile(path_, bytes)) return std::string();
    return bytes;
}

void Journal::clear() { DeleteFileA(path_.c_str()); }

std::string Journal::Line(const char* dll, const char* entry, const std::string& argument) {
    return std::string(dll) + "\t" + entry + "\t" + argument + "\r\n";
}

ChainScope::ChainScope(const std::vector<const char*>& dlls, const std::string& from) {
    std::string source = StandinDir();
    if (!from.empty()) source += "\\" + from;
    for (const char* name : dlls) {
        EXPECT_TRUE(CopyFileA((source + "\\" + name).c_str(), (dlls_ / name).c_str(), FALSE))
            << name;
    }
    SetDllDirectoryA(dlls_.path().c_str());
    BuildArchiverChain();
}

ChainScope::~ChainScope() {
    DestroyArchiverChain();
    ArchiverChain = nullptr;
    SetDllDirectoryA(nullptr);
}

Archiver* ChainScope::at(int place) const {
    Archiver* archiver = ArchiverChain;
    for (int i = 1; i < place && archiver != nullptr; ++i) archiver = archiver->next;
    return archiver;
}

int ChainScope::extractorOf(const std::string& path) const {
    int place = 1;
    for (Archiver* archiver = ArchiverChain; archiver != nullptr; archiver = archiver->next) {
        if (archiver->CanExtract(StrBuf(path.c_str()))) return place;
        ++place;
    }
    return 0;
}

TempFolderScope::TempFolderScope(const std::string& folder)
    : oldTmp_(GetEnv("TMP")), oldTemp_(GetEnv("TEMP")) {
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());
}

TempFolderScope::~TempFolderScope() {
    SetEnvironmentVariableA("TMP", oldTmp_.empty() ? nullptr : oldTmp_.c_str());
    SetEnvironmentVariableA("TEMP", oldTemp_.empty() ? nullptr : oldTemp_.c_str());
}

StrBuf Destination(const TempDir& folder) { return StrBuf((folder.path() + "\\").c_str()); }

FileList& Fill(FileList& list, std::initializer_list<std::string> paths) {
    for (const std::string& path : paths) list.add(path.c_str());
    return list;
}

bool MakeLargeFile(const std::string& path, LONGLONG size) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD returned = 0;
    // Where sparse files are unknown, a plain file of that size does as well.
    DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    return SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
}

std::string ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (find) {
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        } while (FindNextFileA(find.get(), &found));
    }
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string& name : names) list += name + ";";
    return list;
}

}  // namespace archiver_tests
