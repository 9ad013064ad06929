// The command texts the stand-in DLLs understand, one reading per DLL, and what they share:
// gathering the files to pack, the archive test and the journal.
#include <windows.h>

#include <set>

#include "standins/command/command.h"
#include "standins/core/ui.h"
#include "standins/sfx/sfx.h"

namespace standin {
namespace {

class FindHandle {
public:
    FindHandle(const std::string& pattern, WIN32_FIND_DATAA& data)
        : h_(FindFirstFileA(pattern.c_str(), &data)) {}
    ~FindHandle() {
        if (valid()) FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && LastSeparatorIndex(path) == path.size() - 1;
}

std::string WithSeparator(const std::string& dir) {
    return EndsWithSeparator(dir) ? dir : dir + "\\";
}

bool HasDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool IsFullPath(const std::string& path) {
    return HasDrive(path) || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

// The name a full path is stored under: without its drive and leading separators.
std::string StoredNameOf(const std::string& fullPath) {
    size_t at = HasDrive(fullPath) ? 2 : 0;
    while (at < fullPath.size() && (fullPath[at] == '\\' || fullPath[at] == '/')) ++at;
    return fullPath.substr(at);
}

uint32_t DosTimeOf(const FILETIME& written) {
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    if (!FileTimeToLocalFileTime(&written, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time)) {
        return 0;
    }
    return (static_cast<uint32_t>(date) << 16) | time;
}

std::string FullPathOf(const std::string& path) {
    char buffer[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (n == 0 || n >= sizeof buffer) return path;
    return std::string(buffer, n);
}

class Gatherer {
public:
    Gatherer(const std::string& exclude, std::vector<Item>& items)
        : exclude_(exclude.empty() ? std::string() : FullPathOf(exclude)), items_(items) {}

    // path exists on disk; name is what it is stored as.
    bool addPath(const std::string& path, const std::string& name) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return addFolder(path, name, data);
        addFile(path, name, data.dwFileAttributes, data.ftLastWriteTime,
                (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        return true;
    }

    // The folder's content, recursively; an empty folder becomes a directory entry.
    bool addFolder(const std::string& path, const std::string& name,
                   const WIN32_FILE_ATTRIBUTE_DATA& folder) {
        std::string dir = WithSeparator(path);
        WIN32_FIND_DATAA found;
        FindHandle find(dir + "*", found);
        if (!find.valid()) return false;
        bool empty = true;
        do {
            std::string child = found.cFileName;
            if (child == "." || child == "..") continue;
            empty = false;
            std::string childName = name.empty() ? child : WithSeparator(name) + child;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                WIN32_FILE_ATTRIBUTE_DATA sub{};
                sub.dwFileAttributes = found.dwFileAttributes;
                sub.ftLastWriteTime = found.ftLastWriteTime;
                if (!addFolder(dir + child, childName, sub)) return false;
            } else {
                addFile(dir + child, childName, found.dwFileAttributes, found.ftLastWriteTime,
                        (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
            }
        } while (FindNextFileA(find.get(), &found));
        if (GetLastError() != ERROR_NO_MORE_FILES) return false;
        if (empty && !name.empty()) {
            Item item;
            item.name = name;
            item.isDir = true;
            item.dosTime = DosTimeOf(folder.ftLastWriteTime);
            item.attributes = folder.dwFileAttributes;
            add(item);
        }
        return true;
    }

private:
    void addFile(const std::string& path, const std::string& name, DWORD attributes,
                 const FILETIME& written, uint64_t size) {
        if (!exclude_.empty() && lstrcmpiA(FullPathOf(path).c_str(), exclude_.c_str()) == 0) {
            return;
        }
        Item item;
        item.name = name;
        item.sourcePath = path;
        item.size = size;
        item.dosTime = DosTimeOf(written);
        item.attributes = attributes;
        add(item);
    }

    // A name given twice (a file and the folder holding it) is stored once.
    void add(const Item& item) {
        if (names_.insert(item.name).second) items_.push_back(item);
    }

    std::string exclude_;
    std::vector<Item>& items_;
    std::set<std::string> names_;
};

// <dir>\<archive name without its extension>.exe; ".tar.gz" counts as one extension.
std::string ProgramPath(const std::string& archive, const std::string& dir) {
    size_t separator = LastSeparatorIndex(archive);
    std::string name = separator == std::string::npos ? archive : archive.substr(separator + 1);
    if (name.size() > 7 && lstrcmpiA(name.c_str() + name.size() - 7, ".tar.gz") == 0) {
        name.resize(name.size() - 7);
    } else {
        size_t dot = name.rfind('.');  // '.' is never a trail byte
        if (dot != std::string::npos) name.resize(dot);
    }
    std::string folder = dir;
    if (folder.empty()) {
        folder = separator == std::string::npos ? std::string() : archive.substr(0, separator + 1);
    }
    return (folder.empty() ? folder : WithSeparator(folder)) + name + ".exe";
}

const char kReasonArguments[] = "書庫と展開先が指定されていません";
const char kReasonNoArchiveName[] = "書庫が指定されていません";
const char kReasonNotOwnArchive[] = "この DLL が扱う書庫ではありません";
const char kReasonProgram[] = "自己解凍書庫を書き込めません";
const char kReasonSfxMethod[] = "自己解凍書庫では展開できない圧縮方式が含まれています";
const char kReasonArchiveWrite[] = "書庫を書き込めません";
const char kReasonUnknownCommand[] = "このコマンドには対応していません";
const char kReasonMissingArchive[] = "書庫が見つかりません";
const char kReasonPackArguments[] = "書庫、基準フォルダ、ファイルが指定されていません";
const char kReasonPackRead[] = "圧縮するファイルを読み込めません";
const char kReasonPackNothing[] = "圧縮するファイルがありません";

}  // namespace

int Refuse(Dll dll, const std::string& archive, const char* reason, int code,
           std::string& message) {
    ExtractResult result;
    Failure f;
    f.reason = reason;
    f.code = code;
    result.code = code;
    result.failures.push_back(f);
    return ReportFailures(dll, archive, result, message);
}

bool Command::has(const char* name) const {
    for (const std::string& s : switches) {
        if (lstrcmpiA(s.c_str(), name) == 0) return true;
    }
    return false;
}

Command ParseCommand(const std::string& text) {
    Command command;
    for (const Token& token : SplitCommand(text)) {
        if (!token.quoted && !token.text.empty() && token.text[0] == '-') {
            command.switches.push_back(token.text);
        } else {
            command.args.push_back(token.text);
        }
    }
    return command;
}

bool ReadsKind(Dll dll, Kind kind) {
    switch (dll) {
    case Dll::Unlha: return kind == Kind::Lzh;
    case Dll::UnZip: return kind == Kind::Zip;
    case Dll::Zip: return false;  // Zip32j only writes
    case Dll::Cab: return kind == Kind::Cab;
    case Dll::Unrar: return kind == Kind::Rar;
    case Dll::Unarj: return kind == Kind::Arj;
    case Dll::Tar:
        return kind == Kind::Tar || kind == Kind::Gzip || kind == Kind::Bzip2 ||
               kind == Kind::Xz || kind == Kind::Compress || kind == Kind::Zstd ||
               kind == Kind::Lz4 || kind == Kind::Lzip || kind == Kind::SevenZip ||
               kind == Kind::Iso || kind == Kind::Cpio || kind == Kind::Deb;
    }
    return false;
}

int GatherFromArgs(Dll dll, const Command& command, size_t first, std::vector<Item>& items,
                   std::string& message) {
    const std::string archive = command.arg(first);
    // Told as a failure to write the archive, not to extract one.
    if (command.args.size() < first + 3) {
        return RefuseWrite(dll, archive, kReasonPackArguments, kErrorCommandName, message);
    }
    std::vector<std::string> entries(command.args.begin() + first + 2, command.args.end());
    if (!GatherItems(command.args[first + 1], entries, archive, items)) {
        return RefuseWrite(dll, archive, kReasonPackRead, kErrorFileOpen, message);
    }
    if (items.empty()) return RefuseWrite(dll, archive, kReasonPackNothing, kErrorFileOpen, message);
    return kOk;
}

int ReportFailures(Dll dll, const std::string& archive, const ExtractResult& result,
                   std::string& message) {
    if (result.failures.empty()) {
        message = "extracted";
        return kOk;
    }
    std::string text = DescribeFailures(archive, result);
    ShowFailure(dll, text);
    message = text;
    return result.code != kOk ? result.code : result.failures.front().code;
}

int MakeSfx(Dll dll, const std::string& archive, const std::string& dir, std::string& message,
            SfxReads reads) {
    if (archive.empty()) return Refuse(dll, archive, kReasonNoArchiveName, kErrorCommandName, message);
    Kind kind = DetectKind(archive);
    bool ownKind = dll == Dll::Zip ? kind == Kind::Zip : ReadsKind(dll, kind);
    if (!ownKind) return Refuse(dll, archive, kReasonNotOwnArchive, kErrorNotArcFile, message);
    if (reads && !reads(archive)) {
        return Refuse(dll, archive, kReasonSfxMethod, kErrorMethod, message);
    }
    if (!WriteSfx(archive, ProgramPath(archive, dir))) {
        return Refuse(dll, archive, kReasonProgram, kErrorCannotWrite, message);
    }
    message = "self-extracting program written";
    return kOk;
}

int Written(Dll dll, const std::string& archive, bool ok, std::string& message) {
    if (ok) {
        message = "archive written";
        return kOk;
    }
    return Refuse(dll, archive, kReasonArchiveWrite, kErrorCannotWrite, message);
}

int UnknownCommand(Dll dll, const std::string& text, std::string& message) {
    return Refuse(dll, text, kReasonUnknownCommand, kErrorCommandName, message);
}

int ExtractCommand(Dll dll, EnableReaders enable, const std::string& archive,
                   const std::string& dest, bool overwrite, std::string& message,
                   StoredCrc storedCrc, WalkEntries walk, DecodeRefused decodeRefused,
                   EnableReaders lone, ExplainFailure explain) {
    if (archive.empty() || dest.empty()) {
        return Refuse(dll, archive, kReasonArguments, kErrorCommandName, message);
    }
    if (GetFileAttributesA(archive.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return Refuse(dll, archive, kReasonMissingArchive, kErrorArcFileOpen, message);
    }
    if (!ReadsKind(dll, DetectKind(archive))) {
        return Refuse(dll, archive, kReasonNotOwnArchive, kErrorNotArcFile, message);
    }
    ExtractJob job;
    job.archive = archive;
    job.destDir = WithSeparator(dest);
    job.overwrite = overwrite;
    job.enable = enable;
    job.storedCrc = storedCrc;
    job.walk = walk;
    job.decodeRefused = decodeRefused;
    job.lone = lone;
    job.explain = explain;
    CreateParents(job.destDir);
    ExtractResult result;
    {
        Progress progress(dll, archive);
        job.progress = [&](const std::string& entry, uint64_t done, uint64_t total) {
            return progress.update(entry, done, total);
        };
        // A password in ARCHIVER_PASSWORD is offered once, with no dialog: scripts set it.
        std::string scripted = ArchivePassword();
        bool offered = false;
        job.askPassword = [&](const std::string& entry, std::string& password) {
            if (!scripted.empty()) {
                if (offered) return false;
                offered = true;
                password = scripted;
                return true;
            }
            return AskPassword(dll, archive, entry, false, password);
        };
        result = ExtractWithReaders(job);
    }
    return ReportFailures(dll, archive, result, message);
}

std::vector<Token> SplitCommand(const std::string& text) {
    std::vector<Token> tokens;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        // Neither ' ' nor '"' occurs as a Shift-JIS trail byte, so no double-byte stepping.
        Token token;
        while (at < text.size() && text[at] != ' ') {
            if (text[at] == '"') {
                token.quoted = true;
                size_t close = text.find('"', at + 1);
                if (close == std::string::npos) close = text.size();
                token.text.append(text, at + 1, close - at - 1);
                at = close < text.size() ? close + 1 : close;
            } else {
                token.text.push_back(text[at++]);
            }
        }
        tokens.push_back(token);
    }
    return tokens;
}

bool GatherItems(const std::string& baseDir, const std::vector<std::string>& entries,
                 const std::string& exclude, std::vector<Item>& items) {
    // An empty base leaves the entries relative to the current folder, as a bare name is.
    std::string base = baseDir.empty() ? std::string() : WithSeparator(baseDir);
    Gatherer gatherer(exclude, items);
    for (const std::string& given : entries) {
        std::string entry = given;
        // "<dir>\*.*" (or "*.*" alone, the base folder) means the folder's whole content.
        size_t separator = LastSeparatorIndex(entry);
        std::string last = separator == std::string::npos ? entry : entry.substr(separator + 1);
        if (last == "*.*" || last == "*") {
            entry.resize(separator == std::string::npos ? 0 : separator);
        }
        std::string path;
        std::string name;
        if (IsFullPath(entry)) {
            path = entry;
            name = StoredNameOf(entry);
        } else {
            path = entry.empty() ? (base.empty() ? std::string(".") : base) : base + entry;
            name = entry;
        }
        name = ReplaceSeparators(name, '/', '\\');
        while (!name.empty() && EndsWithSeparator(name)) name.pop_back();
        if (!gatherer.addPath(path, name)) return false;
    }
    return true;
}

bool AcceptsArchive(Dll dll, const std::string& path) {
    return ReadsKind(dll, DetectKind(path));
}

std::string ArchivePassword() {
    char buffer[512];
    DWORD n = GetEnvironmentVariableA("ARCHIVER_PASSWORD", buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();
    return std::string(buffer, n);
}

void AppendJournal(Dll dll, const std::string& entry, const std::string& argument) {
    char journal[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableA("ARCHIVER_JOURNAL", journal, sizeof journal);
    if (n == 0 || n >= sizeof journal) return;
    AppendToFile(journal,
                 std::string(IdentityOf(dll).fileName) + "\t" + entry + "\t" + argument + "\r\n");
}

}  // namespace standin
