#include "jobs/Compression.h"

#include <windows.h>
#include <commdlg.h>

#include "archivers/Chain.h"
#include "archivers/CommandText.h"
#include "base/FileIdentity.h"
#include "base/Handles.h"
#include "base/Paths.h"
#include "base/Person.h"
#include "base/WideNames.h"
#include "jobs/Destinations.h"
#include "jobs/Formats.h"
#include "jobs/Jobs.h"
#include "settings/Options.h"

namespace {

const char kFailedText[] = "圧縮に失敗しました";
const char kFailedCaption[] = "圧縮失敗";
const char kSaveTitle[] = "圧縮ファイルの指定";
const char kInvalidDestination[] = "圧縮先の指定が不正です。圧縮作業を中断します";
const char kOverwriteHead[] = "同名のファイル";
const char kOverwriteTail[] = "が存在します。上書きしますか";
const char kOverwriteCaption[] = "上書き確認";
const char kSizeText[] = "ファイルの総量が指定された限度を越えています。圧縮しますか";
const char kSizeCaption[] = "確認";

Archiver* FindCompressor(const StrBuf& label) {
    for (Archiver* archiver = ArchiverChain; archiver; archiver = archiver->next)
        if (archiver->SupportsFormat(label)) return archiver;
    return nullptr;
}

template <typename FindData>
int64_t FoundSize(const FindData& found) {
    return (static_cast<int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

template <typename FindData>
bool IsDirectory(const FindData& found) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Walked by wide names: a file whose name the code page cannot hold comes back from
// FindFirstFileA in a spelling that opens nothing, and a folder of that name would not
// be counted.
void SumWideDirSize(const WideText& directory, int64_t& total) {
    WIN32_FIND_DATAW found;
    const FindHandle search(FindFirstFileW((directory + L"\\*").c_str(), &found));
    if (!search) return;
    do {
        const WideText name = found.cFileName;
        if (!IsDirectory(found))
            total += FoundSize(found);
        else if (name != L"." && name != L"..")
            SumWideDirSize(directory + L"\\" + name, total);
    } while (FindNextFileW(search.get(), &found));
}

// Asks for the archive's file name, proposing one after namedAfter (the first file's long
// name); only the chosen name's folder is used. False when the user cancelled or the
// dialog failed.
bool ChooseArchiveFolder(const std::string& namedAfter, std::string& folder) {
    const std::string proposed =
        std::string(SplitPath(namedAfter.c_str()).base) + SaveDialogExtension(Options.CompType);
    char name[MAX_PATH] = "";
    proposed.copy(name, MAX_PATH - 1);

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = nullptr;
    dialog.lpstrFilter = SaveDialogFilter(Options.CompType);
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = kSaveTitle;
    // No overwrite prompt here: the job asks about the archive it will really write.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!CurrentPerson().ChooseSaveFile(dialog)) return false;

    folder.assign(name, static_cast<size_t>(LastSeparator(name) + 1));
    return true;
}

// True when path is a file of the job or lies inside one of its dropped folders, judged
// by what the paths name: a relative entry, '/' separators or an 8.3 alias name the same
// file as the archive's full path. Whether path exists yet does not matter, so that no
// archiver packs a folder while it writes into it.
bool TouchesJob(const std::string& path, const FileList& files) {
    bool pathIsDir = false;
    const bool pathExists = PathExists(path.c_str(), pathIsDir);
    for (int32_t i = 0; i < files.count(); ++i) {
        const char* entry = files.at(i).text();
        bool isDir = false;
        if (!PathExists(entry, isDir)) continue;  // nothing there to lose
        // A path that does not exist yet cannot be an entry that does.
        if (pathExists && NameSameFile(path.c_str(), entry)) return true;
        if (isDir && LiesBelowFolder(path.c_str(), entry)) return true;
    }
    return false;
}

// The files the compression deletes or writes before it has read every input: the
// archive, and on the self-extracting road the two temporary files it clears first.
bool WouldTouchJob(const std::string& archivePath, bool selfExtracting, const StrBuf& label,
                   const FileList& files) {
    if (TouchesJob(archivePath, files)) return true;
    if (!selfExtracting) return false;
    SfxTemporaryFiles temporary;
    if (!FindSfxTemporaryFiles(files, ArchiveExtension(label.text()), temporary))
        return false;
    return TouchesJob(temporary.archive, files) || TouchesJob(temporary.program, files);
}

bool ConfirmReplace(const StrBuf& archivePath) {
    const std::string question =
        std::string(kOverwriteHead) + archivePath.text() + kOverwriteTail;
    return CurrentPerson().ShowMessage(nullptr, question.c_str(), kOverwriteCaption,
                                       MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

// Makes room for the new archive. The old one is moved to a fresh temporary name in its
// own folder, so that it can be put back when no new archive appears; aside is that name,
// or empty. A read-only file or a folder is only offered to DeleteFileA, which refuses
// both. False when the old archive is still in the way: a DLL would add to it, or fail to
// replace it and leave it looking like the new one.
bool MakeRoom(const StrBuf& archivePath, const std::string& folder, std::string& aside) {
    aside.clear();
    const DWORD attributes = GetFileAttributesA(archivePath.text());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    char name[MAX_PATH] = "";
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0 &&
        GetTempFileNameA(folder.c_str(), "zib", 0, name) != 0) {
        // GetTempFileNameA has created the file it names; the move replaces it.
        if (MoveFileExA(archivePath.text(), name, MOVEFILE_REPLACE_EXISTING)) {
            aside = name;
            return true;
        }
        DeleteFileA(name);
    }
    DeleteFileA(archivePath.text());
    return GetFileAttributesA(archivePath.text()) == INVALID_FILE_ATTRIBUTES;
}

void ReportFailure() {
    CurrentPerson().ShowMessage(SettingsWindow, kFailedText, kFailedCaption, MB_OK);
}

bool SizeIsAccepted(const FileList& files) {
    const int64_t limit = static_cast<int64_t>(Options.CompWarnSize) * (int64_t{1} << 20);
    if (SumListSize(files) <= limit) return true;
    return CurrentPerson().ShowMessage(nullptr, kSizeText, kSizeCaption,
                                       MB_YESNO | MB_DEFBUTTON2) != IDNO;
}

}  // namespace

void SumDirSize(const std::string& directory, int64_t& total) {
    SumWideDirSize(ToWide(directory), total);
}

int64_t SumListSize(const FileList& files) {
    int64_t total = 0;
    for (int32_t i = 0; i < files.count(); ++i) {
        const char* path = files.at(i).text();
        WIN32_FIND_DATAA found;
        const FindHandle search(FindFirstFileA(path, &found));
        if (!search) continue;
        if (IsDirectory(found))
            SumDirSize(path, total);
        else
            total += FoundSize(found);
    }
    return total;
}

bool RunCompression(const FileList& files, const StrBuf& desktop) {
    const StrBuf label(ChooseFormatLabel(Options.CompType, Options.LzhType, Options.CabType,
                                         Options.ZipCrypt, Zcrypt32Present));
    Archiver* archiver = FindCompressor(label);
    if (!archiver) {
        ReportFailure();
        return false;
    }

    const char* firstEntry = files.at(0).text();
    const std::string namedAfter = files.longNameAt(0);
    const auto choose = [&namedAfter](std::string& chosen) {
        return ChooseArchiveFolder(namedAfter, chosen);
    };
    std::string folder;
    if (!DestinationFolder(Options.CompDirType, firstEntry, Options.CompPath, desktop, choose,
                           folder)) {
        CurrentPerson().EndProcess(1);
        return true;
    }
    const StrBuf destination(folder.c_str());

    const bool selfExtracting = Options.MakeSFX && archiver->CanMakeSfx();
    const std::string archiveName = ArchiveBaseName(files) + "." +
                                    (selfExtracting ? "exe" : ArchiveExtension(label.text()));
    const StrBuf archivePath((folder + archiveName).c_str());

    if (!PrepareFolder(folder) ||
        WouldTouchJob(archivePath.text(), selfExtracting, label, files)) {
        CurrentPerson().ShowMessage(nullptr, kInvalidDestination, kInvalidFolderCaption, MB_OK);
        return true;
    }

    bool deleteOld = Options.CompOverWrite;
    bool isDir = false;
    if (!deleteOld && PathExists(archivePath.text(), isDir)) {
        if (!ConfirmReplace(archivePath)) return true;
        deleteOld = true;
    }
    if (Options.CompWarn && !SizeIsAccepted(files)) return true;

    // Only now, so that a No to either question leaves the old archive in place.
    std::string aside;
    if (deleteOld && !MakeRoom(archivePath, folder, aside)) {
        ReportFailure();
        return true;
    }

    if (selfExtracting)
        archiver->CompressSfx(label, files, destination);
    else
        archiver->Compress(label, files, destination);

    // The DLL's own result says little; what is on disk says whether the archive was made.
    if (!PathExists(archivePath.text(), isDir) || isDir) {
        if (!aside.empty()) MoveFileA(aside.c_str(), archivePath.text());
        ReportFailure();
        return true;
    }
    if (!aside.empty()) DeleteFileA(aside.c_str());

    if (Options.CompOpenDir && !destination.equalsIgnoreCase(desktop)) OpenInExplorer(destination);
    return true;
}
