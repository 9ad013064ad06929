#include "archivers/tests/StandinFixture.h"

#include <algorithm>
#include <vector>

#include "base/Handles.h"

namespace archiver_tests {

using testing_support::GetEnv;
using testing_support::ReadTextFile;

const std::initializer_list<const char*> kAllStandins = {
    "Unlha32.dll", "UnZip32.dll",  "Zip32j.dll", "Cab32.dll",
    "Unrar32.dll", "Unarj32j.dll", "Tar32.dll",  "Zcrypt32.dll"};

bool InstallStandins(const std::string& folder, std::initializer_list<const char*> names,
                     const std::string& from) {
    std::string source = StandinDir();
    if (!from.empty()) source += "\\" + from;
    for (const char* name : names) {
        const std::string target = folder + "\\" + name;
        if (!CopyFileA((source + "\\" + name).c_str(), target.c_str(), FALSE)) return false;
    }
    return true;
}

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

ChainScope::ChainScope(const std::string& folder) {
    SetDllDirectoryA(folder.c_str());
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

TempFolderScope::TempFolderScope(const std::string& folder)
    : oldTmp_(GetEnv("TMP")), oldTemp_(GetEnv("TEMP")) {
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());
}

TempFolderScope::~TempFolderScope() {
    SetEnvironmentVariableA("TMP", oldTmp_.empty() ? nullptr : oldTmp_.c_str());
    SetEnvironmentVariableA("TEMP", oldTemp_.empty() ? nullptr : oldTemp_.c_str());
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
