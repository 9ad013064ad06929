// The command texts the stand-in DLLs understand, one reading per DLL, and what they share:
// gathering the files to pack, the archive test and the journal.
#include <windows.h>

#include <set>

#include "standins/command.h"

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

const Identity kIdentities[] = {
    {"Unlha32.dll", "Unlha", 267},  {"UnZip32.dll", "UnZip", 542}, {"Zip32j.dll", "Zip", 230},
    {"Cab32.dll", "Cab", 98},       {"Unrar32.dll", "Unrar", 17},  {"Unarj32j.dll", "Unarj", 101},
    {"Tar32.dll", "Tar", 239},
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

// A command text cut into switches (unquoted tokens beginning with '-') and the other
// arguments, both in order.
struct Command {
    std::vector<std::string> switches;
    std::vector<std::string> args;

    bool has(const char* name) const {
        for (const std::string& s : switches) {
            if (lstrcmpiA(s.c_str(), name) == 0) return true;
        }
        return false;
    }
    std::string arg(size_t i) const { return i < args.size() ? args[i] : std::string(); }
};

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
    case Dll::Tar: return kind == Kind::Tar || kind == Kind::Gzip;
    }
    return false;
}

// Archive, base directory and entries from args[first]...; false when something is missing.
bool GatherFromArgs(const Command& command, size_t first, std::vector<Item>& items,
                    std::string& message) {
    if (command.args.size() < first + 3) {
        message = "archive, base folder and files expected";
        return false;
    }
    std::vector<std::string> entries(command.args.begin() + first + 2, command.args.end());
    if (!GatherItems(command.args[first + 1], entries, command.args[first], items)) {
        message = "a file to pack cannot be read";
        return false;
    }
    if (items.empty()) {
        message = "nothing to pack";
        return false;
    }
    return true;
}

int Extract(Dll dll, const std::string& archive, const std::string& dest, bool overwrite,
            std::string& message) {
    if (archive.empty() || dest.empty()) {
        message = "archive and destination expected";
        return kErrorCommand;
    }
    Kind kind = DetectKind(archive);
    if (!ReadsKind(dll, kind)) {
        message = "not an archive of this DLL";
        return kErrorNotArchive;
    }
    ExtractOptions options;
    options.destDir = WithSeparator(dest);
    options.overwrite = overwrite;
    CreateParents(options.destDir);
    if (!ExtractArchive(kind, archive, options)) {
        message = "the archive cannot be read";
        return kErrorFile;
    }
    message = "extracted";
    return kOk;
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

int MakeSfx(Dll dll, const std::string& archive, const std::string& dir, std::string& message) {
    if (archive.empty()) {
        message = "archive expected";
        return kErrorCommand;
    }
    Kind kind = DetectKind(archive);
    bool ownKind = dll == Dll::Zip ? kind == Kind::Zip : ReadsKind(dll, kind);
    if (!ownKind) {
        message = "not an archive of this DLL";
        return kErrorNotArchive;
    }
    if (!WriteSfx(archive, ProgramPath(archive, dir))) {
        message = "the program cannot be written";
        return kErrorFile;
    }
    message = "self-extracting program written";
    return kOk;
}

int Written(bool ok, std::string& message) {
    message = ok ? "archive written" : "the archive cannot be written";
    return ok ? kOk : kErrorFile;
}

int RunUnlha(const Command& command, std::string& message) {
    std::string verb = command.arg(0);
    if (verb == "a" || verb == "u") {
        std::vector<Item> items;
        if (!GatherFromArgs(command, 1, items, message)) return kErrorFile;
        return Written(WriteLzh(command.arg(1), items, true), message);
    }
    if (verb == "e" || verb == "x") {
        return Extract(Dll::Unlha, command.arg(1), command.arg(2), command.has("-m1"), message);
    }
    if (verb == "s") return MakeSfx(Dll::Unlha, command.arg(1), command.arg(2), message);
    message = "unknown command";
    return kErrorCommand;
}

int RunZip(const Command& command, std::string& message) {
    if (command.has("--sfx")) return MakeSfx(Dll::Zip, command.arg(0), std::string(), message);
    std::string password;
    if (command.has("-e")) {
        password = ArchivePassword();
        if (password.empty()) {
            message = "no password";
            return kErrorPassword;
        }
    }
    std::vector<Item> items;
    if (!GatherFromArgs(command, 0, items, message)) return kErrorFile;
    bool ok = password.empty() ? WriteZip(command.arg(0), items, true)
                               : WriteZipEncrypted(command.arg(0), items, true, password);
    return Written(ok, message);
}

int RunCab(const Command& command, std::string& message) {
    if (command.has("-a")) {
        std::vector<Item> items;
        if (!GatherFromArgs(command, 0, items, message)) return kErrorFile;
        return Written(WriteCab(command.arg(0), items), message);
    }
    if (command.has("-x")) {
        return Extract(Dll::Cab, command.arg(0), command.arg(1), command.has("-o"), message);
    }
    if (command.has("-f")) return MakeSfx(Dll::Cab, command.arg(0), command.arg(1), message);
    message = "unknown command";
    return kErrorCommand;
}

int RunTar(const Command& command, std::string& message) {
    std::string letters = command.arg(0);
    bool create = letters.find('c') != std::string::npos;
    if (command.has("--self-extracting=1") && create) {
        return MakeSfx(Dll::Tar, command.arg(1), command.arg(2), message);
    }
    if (create) {
        if (letters.find('B') != std::string::npos || letters.find('j') != std::string::npos) {
            message = "bzip2 is not available in this build";
            return kErrorUnsupported;
        }
        std::vector<Item> items;
        if (!GatherFromArgs(command, 1, items, message)) return kErrorFile;
        bool gzip = letters.find('z') != std::string::npos;
        return Written(WriteTar(command.arg(1), items, gzip), message);
    }
    if (letters.find('x') != std::string::npos) {
        return Extract(Dll::Tar, command.arg(1), command.arg(2), false, message);
    }
    message = "unknown command";
    return kErrorCommand;
}

}  // namespace

const Identity& IdentityOf(Dll dll) {
    return kIdentities[static_cast<int>(dll)];
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

int RunCommand(Dll dll, const std::string& text, std::string& message) {
    Command command = ParseCommand(text);
    switch (dll) {
    case Dll::Unlha: return RunUnlha(command, message);
    case Dll::UnZip:
        return Extract(dll, command.arg(0), command.arg(1), command.has("-o"), message);
    case Dll::Zip: return RunZip(command, message);
    case Dll::Cab: return RunCab(command, message);
    case Dll::Unrar: return Extract(dll, command.arg(0), command.arg(1), false, message);
    case Dll::Unarj:
        if (command.arg(0) != "x" && command.arg(0) != "e") {
            message = "unknown command";
            return kErrorCommand;
        }
        return Extract(dll, command.arg(1), command.arg(2), false, message);
    case Dll::Tar: return RunTar(command, message);
    }
    return kErrorCommand;
}

bool AcceptsArchive(Dll dll, const std::string& path) {
    return ReadsKind(dll, DetectKind(path));
}

void AppendJournal(Dll dll, const std::string& entry, const std::string& argument) {
    char journal[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableA("ARCHIVER_JOURNAL", journal, sizeof journal);
    if (n == 0 || n >= sizeof journal) return;
    AppendToFile(journal,
                 std::string(IdentityOf(dll).fileName) + "\t" + entry + "\t" + argument + "\r\n");
}

}  // namespace standin
