#include "jobs/tests/JobFixture.h"

#include <algorithm>

#include "archivers/Chain.h"
#include "jobs/Jobs.h"
#include "settings/Options.h"
#include "shell/SpecialDirs.h"

namespace job_tests {

using testing_support::StandinDir;

namespace {

void BuildChainFrom(const std::string& folder) {
    SetDllDirectoryA(folder.c_str());
    BuildArchiverChain();
}

}  // namespace

void JobTest::SetUp() {
    Options = OptionValues{};
    Options.MeltOpenDir = false;
    Options.CompOpenDir = false;
    Options.CompWarn = false;
    journal_ = journalDir_ / "journal.txt";
    SetEnvironmentVariableA("ARCHIVER_JOURNAL", journal_.c_str());
}

void JobTest::TearDown() {
    DestroyArchiverChain();
    ArchiverChain = nullptr;
    SetDllDirectoryA(nullptr);
    SetEnvironmentVariableA("ARCHIVER_JOURNAL", nullptr);
    SettingsWindow = nullptr;
    Options = OptionValues{};
}

void JobTest::LoadArchivers() { BuildChainFrom(StandinDir()); }

void JobTest::LoadArchivers(std::initializer_list<const char*> dlls) {
    for (const char* dll : dlls)
        ASSERT_TRUE(CopyFileA((StandinDir() + "\\" + dll).c_str(), (dlls_ / dll).c_str(), FALSE));
    BuildChainFrom(dlls_.path());
}

std::string JobTest::Write(const std::string& name, const std::string& bytes) {
    const std::string path = work / name;
    EXPECT_TRUE(testing_support::WriteTextFile(path, bytes));
    return path;
}

std::string JobTest::Pack(const char* label, const std::string& file, const std::string& folder) {
    FileList list;
    list.add(file.c_str());
    const StrBuf format(label);
    for (Archiver* archiver = ArchiverChain; archiver; archiver = archiver->next) {
        if (!archiver->SupportsFormat(format)) continue;
        archiver->Compress(format, list, StrBuf((folder + "\\").c_str()));
        const auto* dll = static_cast<DllArchiver*>(archiver);
        for (int slot = 0; slot < dll->formatCount; ++slot) {
            if (std::string(dll->labels[slot].text()) != label) continue;
            const std::string name = file.substr(file.rfind('\\') + 1);
            return folder + "\\" + name.substr(0, name.rfind('.')) + "." +
                   dll->extensions[slot].text();
        }
    }
    ADD_FAILURE() << "no archiver offers " << label;
    return std::string();
}

std::string JobTest::MakeZip(const std::string& name) {
    const std::string archive = Pack("ZIP_6(zip)", Write(name + ".txt", name), work.path());
    DeleteFileA((work / (name + ".txt")).c_str());
    EXPECT_TRUE(testing_support::FileExists(archive));
    return archive;
}

std::vector<std::string> JobTest::Commands() const {
    std::vector<std::string> commands;
    const std::string text = Read(journal_);
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = text.substr(start, end - start);
        const size_t tab1 = line.find('\t');
        const size_t tab2 = line.find('\t', tab1 + 1);
        const std::string entry = line.substr(tab1 + 1, tab2 - tab1 - 1);
        // Only the command entry points: their names carry no suffix.
        if (entry.find("GetVersion") != std::string::npos ||
            entry.find("CheckArchive") != std::string::npos)
            continue;
        commands.push_back(line.substr(0, tab1) + "|" + line.substr(tab2 + 1));
    }
    return commands;
}

void JobTest::ClearJournal() const { DeleteFileA(journal_.c_str()); }

std::string ExplorerLine(const std::string& folder) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\explorer.exe \"" + folder + "\"";
}

std::string Desktop() {
    char desktop[MAX_PATH];
    GetSpecialDir(desktop, 16, nullptr);
    return std::string(desktop) + "\\";
}

std::string MissingDrive() {
    const DWORD drives = GetLogicalDrives();
    for (char letter = 'Q'; letter <= 'Y'; ++letter)
        if (!(drives & (1u << (letter - 'A')))) return std::string(1, letter) + ":";
    return "Q:";
}

FileList& Fill(FileList& list, std::initializer_list<std::string> paths) {
    for (const std::string& path : paths) list.add(path.c_str());
    return list;
}

std::string Read(const std::string& path) {
    std::string bytes;
    testing_support::ReadTextFile(path, bytes);
    return bytes;
}

}  // namespace job_tests
