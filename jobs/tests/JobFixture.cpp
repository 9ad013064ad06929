#include "jobs/tests/JobFixture.h"

#include <cstdint>

#include "archivers/Chain.h"
#include "jobs/Formats.h"
#include "jobs/Jobs.h"
#include "settings/Options.h"
#include "shell/SpecialDirs.h"

namespace job_tests {

void JobTest::SetUp() {
    Options = OptionValues{};
    Options.MeltOpenDir = false;
    Options.CompOpenDir = false;
    Options.CompWarn = false;
}

void JobTest::TearDown() {
    chain_.reset();
    SettingsWindow = nullptr;
    Options = OptionValues{};
}

void JobTest::LoadArchivers(const std::vector<const char*>& dlls) {
    chain_.reset();  // the old chain goes before the new one is built
    chain_.reset(new archiver_tests::ChainScope(dlls));
}

std::string JobTest::Write(const std::string& name, const std::string& bytes) {
    const std::string path = work / name;
    EXPECT_TRUE(testing_support::WriteTextFile(path, bytes));
    return path;
}

std::string JobTest::Pack(const char* label, const std::string& name) {
    const std::string text = Write(name + ".txt", name);
    FileList list;
    list.add(text.c_str());
    const StrBuf format(label);
    const StrBuf folder((work.path() + "\\").c_str());
    for (Archiver* archiver = ArchiverChain; archiver; archiver = archiver->next)
        if (archiver->Compress(format, list, folder)) break;
    DeleteFileA(text.c_str());
    const std::string archive = work / (name + "." + ArchiveExtension(label));
    EXPECT_TRUE(testing_support::FileExists(archive)) << archive;
    return archive;
}

std::vector<std::string> JobTest::Commands() const {
    std::vector<std::string> commands;
    const std::string text = journal_.read();
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

std::string Box(const PersonCall& call) {
    return Box(call.text, call.caption.c_str(), call.flags, call.owner);
}

std::string Box(const std::string& text, const char* caption, UINT flags, HWND owner) {
    return std::to_string(reinterpret_cast<uintptr_t>(owner)) + "|" + text + "|" + caption +
           "|" + std::to_string(flags);
}

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

std::string Read(const std::string& path) {
    std::string bytes;
    testing_support::ReadTextFile(path, bytes);
    return bytes;
}

}  // namespace job_tests
