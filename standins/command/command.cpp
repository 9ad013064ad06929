// The command texts the stand-in DLLs understand, one reading per DLL, and what they share:
// gathering the files to pack, the archive test and the journal.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <set>

#include "standins/command/command.h"
#include "standins/core/file_streams.h"
#include "standins/core/names.h"
#include "standins/core/ui.h"
#include "standins/sfx/sfx.h"

namespace standin {
namespace {

// The gathering works in UTF-8 (the command text's code page paths converted once) and
// reaches the disk through the wide API, so that a file whose name the code page cannot hold
// is found, read and stored by its own name.

class FindHandle {
public:
    FindHandle(const std::string& pattern, WIN32_FIND_DATAW& data)
        : h_(FindFirstFileW(ExtendedPath(pattern).data(), &data)) {}
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

// In UTF-8 no byte of a multibyte character is '\\' or '/', so these scan bytes.
bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool EndsWithUtf8Separator(const std::string& path) {
    return !path.empty() && IsSeparator(path.back());
}

std::string WithUtf8Separator(const std::string& dir) {
    return EndsWithUtf8Separator(dir) ? dir : dir + "\\";
}

size_t LastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find_first_of("\\/", at);
        if (end == std::string::npos) end = path.size();
        if (end > at) parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

bool HasDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool IsFullPath(const std::string& path) {
    return HasDrive(path) || (!path.empty() && IsSeparator(path[0]));
}

// The name a full path is stored under: without its drive and leading separators.
std::string StoredNameOf(const std::string& fullPath) {
    size_t at = HasDrive(fullPath) ? 2 : 0;
    while (at < fullPath.size() && IsSeparator(fullPath[at])) ++at;
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

// A path the wide API gave back in its "\\?\" form, without that prefix.
std::string PlainPath(const WideText& wide) {
    std::string path = WideToUtf8(wide.data());
    if (path.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\" + path.substr(7);
    if (path.compare(0, 4, "\\\\?\\") == 0) return path.substr(4);
    return path;
}

std::string FullPathOf(const std::string& path) {
    return PlainPath(ExtendedPath(path));
}

bool SameComponent(const std::string& a, const std::string& b) {
    WideText wa = Utf8ToWide(a);
    WideText wb = Utf8ToWide(b);
    return CompareStringOrdinal(wa.data(), -1, wb.data(), -1, TRUE) == CSTR_EQUAL;
}

// The full path with every alias on it expanded; false when it cannot be (nothing there).
bool LongPathOf(const std::string& path, std::string& longPath) {
    // Wine hands a "\\?\" path back unchanged, so only a path too long for the plain
    // form is given in that one.
    WideText given = ExtendedPath(path);
    if (given.size() < MAX_PATH) given = Utf8ToWide(PlainPath(given));
    DWORD n = GetLongPathNameW(given.data(), nullptr, 0);
    if (n == 0) return false;
    WideText expanded(n + 1, L'\0');
    DWORD got = GetLongPathNameW(given.data(), expanded.data(), n + 1);
    if (got == 0 || got > n) return false;
    expanded.resize(got + 1);
    longPath = PlainPath(expanded);
    return true;
}

// Zibrak gives a file whose name the code page cannot hold by its 8.3 alias ("CAF~1.TXT").
// Such a path is resolved to its long form, and each of the stored name's components that
// is an alias becomes the long name the user sees; a component that differs only in case
// stays as given. Every alias has a '~', so other paths are left as they are. A name with
// "." or ".." components is not matched up: the full path has those folded away.
void ExpandAliases(std::string& path, std::string& name) {
    std::string longPath;
    if (path.find('~') == std::string::npos || !LongPathOf(path, longPath)) return;
    std::vector<std::string> names = Components(name);
    std::vector<std::string> longs = Components(longPath);
    for (const std::string& part : names)
        if (part == "." || part == "..") return;
    if (names.size() > longs.size()) return;
    std::string rebuilt;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& long_ = longs[longs.size() - names.size() + i];
        if (i > 0) rebuilt += '\\';
        rebuilt += SameComponent(names[i], long_) ? names[i] : long_;
    }
    path = longPath;
    name = rebuilt;
}

// What tells one folder from every other on the machine, whatever path leads to it.
struct FolderId {
    DWORD volume = 0, high = 0, low = 0;
    bool operator==(const FolderId& o) const {
        return volume == o.volume && high == o.high && low == o.low;
    }
};

// False when the file system gives no identity (then no loop can be told).
bool FolderIdOf(const std::string& path, FolderId& id) {
    FileHandle folder(CreateFileW(ExtendedPath(path).data(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder.valid() || !GetFileInformationByHandle(folder.get(), &info)) return false;
    if (info.nFileIndexHigh == 0 && info.nFileIndexLow == 0) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.high = info.nFileIndexHigh;
    id.low = info.nFileIndexLow;
    return true;
}

uint64_t SizeOf(DWORD high, DWORD low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

class Gatherer {
public:
    Gatherer(const std::string& exclude, std::vector<Item>& items) : items_(items) {
        std::string full;
        if (!exclude.empty()) {
            if (!LongPathOf(exclude, full)) full = FullPathOf(exclude);
            exclude_ = Utf8ToWide(full);
        }
    }

    // path exists on disk; name is what it is stored as.
    bool addPath(const std::string& path, const std::string& name) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(ExtendedPath(path).data(), GetFileExInfoStandard, &data))
            return failedAt(name.empty() ? path : name);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return addFolder(path, name, data.dwFileAttributes, data.ftLastWriteTime);
        addFile(path, name, data.dwFileAttributes, data.ftLastWriteTime,
                SizeOf(data.nFileSizeHigh, data.nFileSizeLow));
        return true;
    }

    const std::string& failed() const { return failed_; }

private:
    // The folder's content, recursively; an empty folder becomes a directory entry.
    // A folder reached again below itself (a junction, a symbolic link or a mount that leads
    // back up) is not walked again: its content is already being stored under the first
    // path, and walking it would never end. Links that lead elsewhere are followed, so what
    // they hold is packed as the user sees it in Explorer.
    bool addFolder(const std::string& path, const std::string& name, DWORD attributes,
                   const FILETIME& written) {
        FolderId id;
        bool known = FolderIdOf(path, id);
        if (known) {
            for (const FolderId& walking : walking_)
                if (walking == id) return true;
            walking_.push_back(id);
        }
        bool ok = walkFolder(path, name, attributes, written);
        if (known) walking_.pop_back();
        return ok;
    }

    bool walkFolder(const std::string& path, const std::string& name, DWORD attributes,
                    const FILETIME& written) {
        std::string dir = WithUtf8Separator(path);
        WIN32_FIND_DATAW found;
        FindHandle find(dir + "*", found);
        // Gone or unreadable since it was named: the folder is to blame.
        if (!find.valid()) return failedAt(name.empty() ? path : name);
        bool empty = true;
        do {
            if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
                continue;
            empty = false;
            std::string child = WideToUtf8(found.cFileName);
            std::string childName = name.empty() ? child : WithUtf8Separator(name) + child;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!addFolder(dir + child, childName, found.dwFileAttributes,
                               found.ftLastWriteTime))
                    return false;
            } else {
                addFile(dir + child, childName, found.dwFileAttributes, found.ftLastWriteTime,
                        SizeOf(found.nFileSizeHigh, found.nFileSizeLow));
            }
        } while (FindNextFileW(find.get(), &found));
        if (GetLastError() != ERROR_NO_MORE_FILES) return failedAt(name.empty() ? path : name);
        if (empty && !name.empty()) {
            Item item;
            item.name = name;
            item.isDir = true;
            item.dosTime = DosTimeOf(written);
            item.attributes = attributes;
            add(item);
        }
        return true;
    }

    void addFile(const std::string& path, const std::string& name, DWORD attributes,
                 const FILETIME& written, uint64_t size) {
        if (!exclude_.empty()) {
            WideText full = Utf8ToWide(FullPathOf(path));
            if (CompareStringOrdinal(full.data(), -1, exclude_.data(), -1, TRUE) == CSTR_EQUAL)
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

    bool failedAt(const std::string& what) {
        failed_ = what;
        return false;
    }

    WideText exclude_;
    std::vector<Item>& items_;
    std::set<std::string> names_;
    std::vector<FolderId> walking_;  // the folders from the entry given down to this one
    std::string failed_;
};

// The archive's and the destination's paths, in the code page as the command text gives them.
bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && LastSeparatorIndex(path) == path.size() - 1;
}

std::string WithSeparator(const std::string& dir) {
    return EndsWithSeparator(dir) ? dir : dir + "\\";
}

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
const char kReasonPayload[] = "自己解凍書庫の中の書庫を読み出せません";

// The kind of archive path holds; for a self-extracting program the stand-ins wrote
// (program then true), the kind of the archive it carries.
Kind KindThrough(const std::string& path, bool& program) {
    uint64_t offset = 0, size = 0;
    program = FindSfxPayload(path, offset, size);
    return program ? DetectKindIn(path, offset, size) : DetectKind(path);
}

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
    std::string failed;
    if (!GatherItems(command.args[first + 1], entries, archive, items, &failed)) {
        return RefuseWrite(dll, archive, failed, kReasonPackRead, kErrorFileOpen, message);
    }
    if (items.empty()) return RefuseWrite(dll, archive, kReasonPackNothing, kErrorFileOpen, message);
    return kOk;
}

int ReportFailures(Dll dll, const std::string& archive, const ExtractResult& result,
                   std::string& message) {
    if (result.failures.empty() && result.renamed.empty()) {
        message = "extracted";
        return kOk;
    }
    std::string text = DescribeFailures(archive, result);
    ShowFailure(dll, text);
    message = Utf8ToAnsiLossy(text);
    if (result.failures.empty()) return kOk;
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
                   EnableReaders lone, ListStoredNames storedNames,
                   const ArchiveCheck& check, ExplainFailure explain) {
    if (archive.empty() || dest.empty()) {
        return Refuse(dll, archive, kReasonArguments, kErrorCommandName, message);
    }
    if (GetFileAttributesW(ExtendedAnsiPath(archive).data()) == INVALID_FILE_ATTRIBUTES) {
        return Refuse(dll, archive, kReasonMissingArchive, kErrorArcFileOpen, message);
    }
    bool program = false;
    if (!ReadsKind(dll, KindThrough(archive, program))) {
        return Refuse(dll, archive, kReasonNotOwnArchive, kErrorNotArcFile, message);
    }
    // A program is read through a copy of its archive, as the program itself reads it; the
    // boxes still name the program.
    std::unique_ptr<TemporaryFile> payload;
    if (program) {
        payload.reset(new TemporaryFile);
        if (payload->path().empty() || !CopySfxPayload(archive, payload->path()))
            return Refuse(dll, archive, kReasonPayload, kErrorCannotRead, message);
    }
    const std::string& source = program ? payload->path() : archive;
    Failure refusal;
    if (check && !check(source, refusal)) {
        if (refusal.code != kOk)
            return Refuse(dll, archive, refusal.reason.c_str(), refusal.code, message);
        ShowFailure(dll, AnsiToUtf8(archive + "\r\n\r\n" + refusal.reason));
        message = refusal.reason;
        return kOk;
    }
    ExtractJob job;
    job.archive = source;
    job.destDir = WithSeparator(dest);
    job.overwrite = overwrite;
    job.enable = enable;
    job.storedCrc = storedCrc;
    job.walk = walk;
    job.decodeRefused = decodeRefused;
    job.lone = lone;
    job.storedNames = storedNames;
    job.explain = explain;
    // Zibrak sends Tar32, Unrar32 and Unarj32j no overwrite switch, so they ask too.
    if (!overwrite)
        job.askOverwrite = [&](const std::string& entry) { return AskOverwrite(dll, archive, entry); };
    CreateParents(AnsiToUtf8(job.destDir));
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
                 const std::string& exclude, std::vector<Item>& items, std::string* failed) {
    // An empty base leaves the entries relative to the current folder, as a bare name is.
    std::string base = baseDir.empty() ? std::string() : WithUtf8Separator(AnsiToUtf8(baseDir));
    Gatherer gatherer(AnsiToUtf8(exclude), items);
    for (const std::string& given : entries) {
        std::string entry = AnsiToUtf8(given);
        // "<dir>\*.*" (or "*.*" alone, the base folder) means the folder's whole content.
        size_t separator = LastSeparator(entry);
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
        std::replace(name.begin(), name.end(), '/', '\\');
        while (!name.empty() && EndsWithUtf8Separator(name)) name.pop_back();
        ExpandAliases(path, name);
        if (!gatherer.addPath(path, name)) {
            if (failed) *failed = gatherer.failed();
            return false;
        }
    }
    return true;
}

bool AcceptsArchive(Dll dll, const std::string& path) {
    bool program = false;
    return ReadsKind(dll, KindThrough(path, program));
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
