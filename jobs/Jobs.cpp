#include "jobs/Jobs.h"

#include <shlobj.h>

#include <string>

#include "archivers/Chain.h"
#include "archivers/CommandText.h"
#include "base/Paths.h"
#include "base/Person.h"
#include "jobs/Compression.h"
#include "jobs/Destinations.h"
#include "settings/Options.h"

HWND SettingsWindow = nullptr;

namespace {

const char kBrowseTitle[] = "解凍先";
const char kInvalidDestination[] = "解凍先の指定が不正です。解凍作業を中断します";
// An extraction folder must leave room within MAX_PATH for an 8.3 name (12 bytes), the
// room Windows' CreateDirectoryA keeps too; in a longer one every entry would fail to be
// written by the DLL, and nobody would hear of it.
constexpr size_t kLongestExtractFolder = MAX_PATH - 1 - 12;
const WCHAR kUnnamedCaption[] = L"圧縮できません";
const WCHAR kUnnamedTail[] = L"は名前に使えない文字を含むため圧縮できません";

// The first archiver of the chain that recognises path, and its 1-based place there.
Archiver* FindExtractor(const StrBuf& path, int32_t& chainPosition) {
    chainPosition = 1;
    for (Archiver* archiver = ArchiverChain; archiver; archiver = archiver->next) {
        if (archiver->CanExtract(path)) return archiver;
        ++chainPosition;
    }
    chainPosition = 0;
    return nullptr;
}

bool EveryFileIsArchive(const FileList& files) {
    int32_t place = 0;
    for (int32_t i = 0; i < files.count(); ++i)
        if (!FindExtractor(files.at(i), place)) return false;
    return true;
}

// Asks for the folder of one archive. False when the user cancelled.
bool ChooseExtractFolder(std::string& folder) {
    char path[MAX_PATH] = "";
    if (!CurrentPerson().BrowseForFolder(nullptr, kBrowseTitle,
                                         BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN, path))
        return false;
    folder = WithTrailingSeparator(path);
    return true;
}

enum class Outcome { Done, Cancelled };

Outcome ExtractOne(const StrBuf& archivePath, const StrBuf& desktop) {
    int32_t chainPosition = 0;
    Archiver* archiver = FindExtractor(archivePath, chainPosition);
    if (!archiver) return Outcome::Done;  // the file changed since the decision

    std::string folder;
    if (!DestinationFolder(Options.MeltDirType, archivePath.text(), Options.MeltPath, desktop,
                           ChooseExtractFolder, folder))
        return Outcome::Cancelled;
    if (!folder.empty() && Options.MeltMakeDir)
        folder += ArchiveBaseName(archivePath.text()) + '\\';

    const StrBuf destination(folder.c_str());
    if (folder.size() > kLongestExtractFolder || !PrepareFolder(folder)) {
        CurrentPerson().ShowMessage(nullptr, kInvalidDestination, kInvalidFolderCaption, MB_OK);
        return Outcome::Done;
    }

    archiver->Extract(archivePath, destination, chainPosition, Options.MeltOverWrite);

    // Straight onto the desktop there is nothing new to show.
    if (Options.MeltOpenDir && (!destination.equalsIgnoreCase(desktop) || Options.MeltMakeDir))
        OpenInExplorer(destination);
    return Outcome::Done;
}

}  // namespace

bool IsExtraction(const FileList& files) {
    // Several files are unpacked one by one only when the user asked for that.
    if (files.count() != 1 && !Options.MeltForAllArc) return false;
    return EveryFileIsArchive(files);
}

bool RunJob(const FileList& files) {
    // A file this program cannot even open: packing the others would lose it unseen.
    if (!files.refused().empty()) {
        const WideText text = files.refused().front() + kUnnamedTail;
        CurrentPerson().ShowWideMessage(nullptr, text.c_str(), kUnnamedCaption, MB_OK);
        return true;
    }
    if (files.count() == 0) return false;
    const bool extraction = IsExtraction(files);
    const StrBuf desktop = DesktopPath();
    if (!extraction) return RunCompression(files, desktop);

    for (int32_t i = 0; i < files.count(); ++i) {
        if (ExtractOne(files.at(i), desktop) == Outcome::Cancelled) {
            CurrentPerson().EndProcess(1);
            return true;
        }
    }
    return true;
}

void OpenInExplorer(const StrBuf& directory) {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    // Quoted, or Explorer takes a comma in the folder's name for the end of its argument.
    const std::string commandLine =
        std::string(windows) + "\\explorer.exe \"" + directory.text() + "\"";
    CurrentPerson().StartExplorer(commandLine.c_str());
}
