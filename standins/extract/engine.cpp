// The extraction engine: libarchive decodes, this file decides what reaches the disk.
// Names are checked against the destination before anything is written; data is copied a
// block at a time into "<name>.~zb<n>" beside the final name and renamed into place only
// after libarchive has checked the entry whole; links are never created.
#include "standins/extract/engine.h"

#include <windows.h>

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <map>
#include <new>
#include <set>

#include "standins/core/identity.h"
#include "standins/core/file_streams.h"
#include "standins/core/formats.h"
#include "standins/core/names.h"
#include "standins/extract/archive_reader.h"

namespace standin {
namespace {

const size_t kBlockSize = 64 * 1024;
const size_t kMaxListedFailures = 12;  // more would not fit a message box

// Texts of the message box, one place each.
const char kReasonCrc[] = "CRC が一致しません。データが壊れています";
const char kReasonPassword[] = "パスワードが違うか、入力されていません";
const char kReasonPasswordOrDamage[] = "パスワードが違うか、データが壊れています";
const char kReasonMethod[] = "この圧縮方式には対応していません";
const char kReasonEncrypted[] = "暗号化されたデータには対応していません";
const char kReasonEncryptedRest[] = "暗号化された書庫なので、これ以降のファイルも展開できません";
const char kReasonTruncated[] = "書庫が途中で切れています";
const char kReasonBroken[] = "書庫が壊れています";
const char kReasonNotArchive[] = "この DLL が読める書庫ではありません";
const char kReasonOpen[] = "書庫を開けません";
const char kReasonRead[] = "書庫を読み込めません";
const char kReasonMemory[] = "メモリが足りません";
const char kReasonUnsafeName[] = "展開先の外や装置を指す名前なので展開しません";
const char kReasonSymlink[] = "シンボリックリンクは作成しません";
const char kReasonSpecial[] = "特殊ファイルは作成しません";
const char kReasonLinkOutside[] = "リンク先がこの書庫で展開したファイルではないので作成しません";
const char kReasonDiskFull[] = "ディスクの空きが足りません";
const char kReasonCannotWrite[] = "ファイルを書き込めません";
const char kReasonMakeDir[] = "フォルダを作成できません";
const char kReasonThroughLink[] = "展開先にあるリンクを通る名前なので展開しません";
const char kReasonFileInTheWay[] = "同じ名前のファイルがあるのでフォルダを作成できません";
const char kReasonFolderInTheWay[] = "同じ名前のフォルダがあるので書き込めません";
const char kReasonCancelled[] = "キャンセルされました";
const char kReasonMultiVolume[] = "分割された書庫には対応していません";
const char kFailureHeader[] = "書庫の処理中に問題がありました。";
const char kRenamedHeader[] = "名前を変えて展開したファイルがあります。";
const char kRenamedLabel[] = "名前を変えて展開したファイル:";
const char kRenameArrow[] = " → ";
const char kArchiveLabel[] = "書庫: ";
const char kMoreFailuresBefore[] = "ほか ";  // "ほか 3 件": the count, then kMoreFailuresAfter
const char kMoreFailuresAfter[] = " 件";

// The archive file as libarchive's byte source: read, skip and seek through one handle.
struct Source {
    FileHandle file;
    std::string buffer = std::string(kBlockSize, '\0');
    uint64_t size = 0;
};

la_ssize_t ReadSource(struct archive* a, void* data, const void** block) {
    Source* source = static_cast<Source*>(data);
    DWORD got = 0;
    if (!ReadFile(source->file.get(), &source->buffer[0], static_cast<DWORD>(kBlockSize), &got,
                  nullptr)) {
        archive_set_error(a, EIO, "read error");
        return -1;
    }
    *block = source->buffer.data();
    return static_cast<la_ssize_t>(got);
}

la_int64_t SeekSource(struct archive*, void* data, la_int64_t offset, int whence) {
    Source* source = static_cast<Source*>(data);
    LARGE_INTEGER move;
    move.QuadPart = offset;
    LARGE_INTEGER now;
    DWORD method = whence == SEEK_SET ? FILE_BEGIN : whence == SEEK_CUR ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(source->file.get(), move, &now, method)) return ARCHIVE_FATAL;
    return now.QuadPart;
}

la_int64_t SkipSource(struct archive* a, void* data, la_int64_t request) {
    Source* source = static_cast<Source*>(data);
    LARGE_INTEGER zero{};
    LARGE_INTEGER now;
    if (!SetFilePointerEx(source->file.get(), zero, &now, FILE_CURRENT)) return 0;
    // Skipping past the end would hide a truncated archive; stop at the end instead.
    int64_t left = static_cast<int64_t>(source->size) - now.QuadPart;
    if (request > left) request = left > 0 ? left : 0;
    return SeekSource(a, data, request, SEEK_CUR) < 0 ? 0 : request;
}

bool Contains(const char* text, const char* part) {
    return text && strstr(text, part) != nullptr;
}

// Sorts libarchive's error into the family's code and a Japanese reason; libarchive's own
// words follow in brackets for whoever has to look closer.
Failure Classify(struct archive* a, const std::string& entry, int fallbackCode) {
    const char* text = archive_error_string(a);
    Failure f;
    f.entry = entry;
    if (archive_errno(a) == ENOMEM) {
        f.code = kErrorEnoughMemory;
        f.reason = kReasonMemory;
    } else if (Contains(text, "assphrase")) {
        f.code = kErrorPassword;
        f.reason = kReasonPassword;
    } else if (Contains(text, "CRC") || Contains(text, "hecksum")) {
        f.code = kErrorFileCrc;
        f.reason = kReasonCrc;
    } else if (Contains(text, "ncrypt") || Contains(text, "ecrypt")) {
        f.code = kErrorMethod;
        f.reason = kReasonEncrypted;
    } else if (Contains(text, "nsupported") || Contains(text, "not supported") ||
               Contains(text, "codec ID")) {
        f.code = kErrorMethod;
        f.reason = kReasonMethod;
    } else if (Contains(text, "runcated") || Contains(text, "remature") ||
               Contains(text, "nexpected end")) {
        f.code = kErrorHeaderBroken;
        f.reason = kReasonTruncated;
    } else if (Contains(text, "read error")) {
        f.code = kErrorCannotRead;
        f.reason = kReasonRead;
    } else {
        f.code = fallbackCode;
        f.reason = kReasonBroken;
    }
    if (text && *text) f.reason += std::string(" (") + text + ")";
    return f;
}

Failure Make(const std::string& entry, const char* reason, int code) {
    Failure f;
    f.entry = entry;
    f.reason = reason;
    f.code = code;
    return f;
}

Failure FailureOf(const std::string& entry, CodecStatus status) {
    switch (status) {
    case CodecStatus::crcMismatch: return Make(entry, kReasonCrc, kErrorFileCrc);
    case CodecStatus::unsupportedMethod: return Make(entry, kReasonMethod, kErrorMethod);
    case CodecStatus::encrypted: return Make(entry, kReasonEncrypted, kErrorMethod);
    case CodecStatus::multiVolume: return Make(entry, kReasonMultiVolume, kErrorMethod);
    case CodecStatus::truncated: return Make(entry, kReasonTruncated, kErrorHeaderBroken);
    case CodecStatus::notArchive: return Make(entry, kReasonNotArchive, kErrorNotArcFile);
    case CodecStatus::sourceFailed: return Make(entry, kReasonRead, kErrorCannotRead);
    case CodecStatus::outOfMemory: return Make(entry, kReasonMemory, kErrorEnoughMemory);
    case CodecStatus::sinkRefused: return Make(entry, kReasonCannotWrite, kErrorCannotWrite);
    default: return Make(entry, kReasonBroken, kErrorHeaderBroken);
    }
}

Failure WriteFailure(const std::string& entry, DWORD error) {
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
        return Make(entry, kReasonDiskFull, kErrorDiskSpace);
    return Make(entry, kReasonCannotWrite, kErrorCannotWrite);
}

// True when a name's wide form could also be its stored bytes one to a code unit: nothing
// above U+00FF, and something above ASCII (ASCII reads the same either way).
bool IsByteLike(const wchar_t* wide) {
    bool high = false;
    for (const wchar_t* p = wide; *p; ++p) {
        if (*p > 0xFF) return false;
        high = high || *p >= 0x80;
    }
    return high;
}

// The wide form's code units taken as bytes.
std::string UnitsAsBytes(const wchar_t* wide) {
    std::string out;
    for (const wchar_t* p = wide; *p; ++p) out += static_cast<char>(*p);
    return out;
}

// The stored bytes with every 0x5C a '/', as the ZIP reader turns them for a name made on
// MS-DOS and as cabinets separate folders: so that a name looked up and the name in the
// headers compare alike.
std::string WithSlashes(std::string bytes) {
    for (char& c : bytes)
        if (c == '\\') c = '/';
    return bytes;
}

// True for a name whose components are all "." or empty: the destination itself.
bool NamesTheTop(const std::string& name) {
    std::string component;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/' || name[i] == '\\') {
            if (!component.empty() && component != ".") return false;
            component.clear();
        } else {
            component += name[i];
        }
    }
    return !name.empty();
}

std::string TemporaryNameFor(const std::string& path) {
    static unsigned counter = 0;
    for (;;) {
        std::string temp = path + ".~zb" + std::to_string(++counter);
        if (GetFileAttributesW(ExtendedPath(temp).data()) == INVALID_FILE_ATTRIBUTES) return temp;
    }
}

bool SetWriteTime(HANDLE file, time_t mtime) {
    // Unix seconds to FILETIME's 100 ns steps since 1601.
    uint64_t t = static_cast<uint64_t>(mtime) * 10000000ULL + 116444736000000000ULL;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return SetFileTime(file, nullptr, nullptr, &ft) != 0;
}

bool SetDosWriteTime(HANDLE file, uint32_t dosTime) {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(HIWORD(dosTime), LOWORD(dosTime), &local) ||
        !LocalFileTimeToFileTime(&local, &utc))
        return false;
    return SetFileTime(file, nullptr, nullptr, &utc) != 0;
}

// A path as Windows compares it: case folded the Unicode way, and with the long names of
// what already exists on the disk, so that "LONG~LMQ.TXT" and "LongName.txt" are one file.
std::string ComparablePath(const std::string& path) {
    WideText wide = ExtendedPath(path);
    // Wine resolves a short alias only in a path's plain form.
    WideText plain = Utf8ToWide(path);
    const wchar_t* query = plain.size() < MAX_PATH ? plain.data() : wide.data();
    WideText resolved(wide.size() + MAX_PATH, L'\0');
    DWORD n = GetLongPathNameW(query, resolved.data(), static_cast<DWORD>(resolved.size()));
    if (n > 0 && n < resolved.size()) {
        resolved.resize(n + 1);
    } else {
        // Not there yet: the long name of its folder, and its own name.
        size_t cut = path.find_last_of('\\');
        if (cut != std::string::npos && cut > 0) {
            std::string parent = ComparablePath(path.substr(0, cut));
            WideText leaf = Utf8ToWide(path.substr(cut));
            WideText upper(leaf.size() * 2 + 1, L'\0');
            int m = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, leaf.data(),
                                 static_cast<int>(leaf.size() - 1), upper.data(),
                                 static_cast<int>(upper.size()));
            return parent + WideToUtf8(upper.data(), m > 0 ? m : 0);
        }
        resolved = wide;
    }
    // One form for every path, whichever of the two was asked.
    size_t skip = 0;
    if (resolved.size() > 4 && resolved[0] == L'\\' && resolved[1] == L'\\' && resolved[2] == L'?' &&
        resolved[3] == L'\\')
        skip = 4;
    WideText upper(resolved.size() * 2 + 1, L'\0');
    int m = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, resolved.data() + skip,
                         static_cast<int>(resolved.size() - 1 - skip), upper.data(),
                         static_cast<int>(upper.size()));
    return WideToUtf8(upper.data(), m > 0 ? m : 0);
}

// An entry's stored name as a hard link names its target: '/' separated, no "." parts.
std::string LinkKey(const std::string& name) {
    std::string out, part;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '/' && name[i] != '\\') {
            part += name[i];
            continue;
        }
        if (!part.empty() && part != ".") out += (out.empty() ? "" : "/") + part;
        part.clear();
    }
    return out;
}

// "name (n).ext" for "name.ext", in the same folder; a dot that begins the name is no
// extension.
std::string NumberedPath(const std::string& path, unsigned n) {
    size_t slash = path.find_last_of('\\');
    size_t start = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= start) dot = path.size();
    return path.substr(0, dot) + " (" + std::to_string(n) + ")" + path.substr(dot);
}

// Entry data into a temporary file, a block at a time, with the job's progress.
class FileSink : public ByteSink {
public:
    FileSink(HANDLE file, const std::function<bool()>& progress)
        : file_(file), progress_(progress) {}
    bool write(const void* data, size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            DWORD chunk = size > (1u << 20) ? (1u << 20) : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(file_, p, chunk, &written, nullptr) || written != chunk) {
                error_ = GetLastError();
                return false;
            }
            p += chunk;
            size -= chunk;
        }
        if (!progress_()) {
            cancelled_ = true;
            return false;
        }
        return true;
    }
    DWORD error() const { return error_; }
    bool cancelled() const { return cancelled_; }

private:
    HANDLE file_;
    const std::function<bool()>& progress_;
    DWORD error_ = 0;
    bool cancelled_ = false;
};

// One run over an archive. Names are UTF-8 from the moment they are decoded; every path is
// the destination (converted once) and the entry's mapped components, reached through the
// wide API in its "\\?\" form.
class Extraction : public EntryTarget {
public:
    Extraction(const ExtractJob& job, ExtractResult& result)
        : job_(job), result_(result), dest_(AnsiToUtf8(job.destDir)) {}

    // EntryTarget: the entries of a decoder of our own, names already decoded.
    bool folder(const std::string& name) override {
        if (!reportProgress(name)) return false;
        if (NamesTheTop(name)) return true;
        std::string path;
        if (pathFor(name, path)) makeFolder(path, name);
        return true;
    }

    bool file(const std::string& name, uint32_t dosTime,
              const std::function<CodecStatus(ByteSink& sink)>& decode) override {
        if (!reportProgress(name)) return false;
        std::string path;
        bool replace = false;
        if (!pathFor(name, path)) return true;
        Place place = placeFile(name, path, replace);
        if (place != Place::write) return place != Place::stop;
        CreateParents(path);
        std::string temp = TemporaryNameFor(path);
        FileHandle out(CreateFileW(ExtendedPath(temp).data(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out.valid()) {
            fail(WriteFailure(name, GetLastError()));
            return true;
        }
        std::function<bool()> progress = [&]() { return reportProgress(name); };
        FileSink sink(out.get(), progress);
        CodecStatus status = decode(sink);
        if (status != CodecStatus::ok) {
            out.close();
            DeleteFileW(ExtendedPath(temp).data());
            if (sink.cancelled()) return false;  // reportProgress has said so
            fail(sink.error() ? WriteFailure(name, sink.error()) : FailureOf(name, status));
            return true;
        }
        if (dosTime != 0) SetDosWriteTime(out.get(), dosTime);
        closeAndPutInPlace(out, temp, path, name, replace);
        return true;
    }

    void fail(const std::string& entry, CodecStatus status) override {
        fail(FailureOf(entry, status));
    }

    void run() {
        if (job_.walk) {
            if (GetFileAttributesW(ExtendedAnsiPath(job_.archive).data()) == INVALID_FILE_ATTRIBUTES) {
                fail(Make(std::string(), kReasonOpen, kErrorArcFileOpen));
                return;
            }
            job_.walk(job_.archive, *this);
            return;
        }
        // Shared for writing too: an archive another program still holds open (a download
        // being finished, an editor) is readable, as the archive test found it.
        source_.file.reset(CreateFileW(ExtendedAnsiPath(job_.archive).data(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!source_.file.valid()) {
            fail(Make(std::string(), kReasonOpen, kErrorArcFileOpen));
            return;
        }
        LARGE_INTEGER size;
        if (GetFileSizeEx(source_.file.get(), &size)) source_.size = size.QuadPart;
        if (!reader_.get() || !openReader()) return;
        data_.resize(kBlockSize);
        bool first = true;
        for (;;) {
            struct archive_entry* entry = nullptr;
            int r = archive_read_next_header(a(), &entry);
            if (r == ARCHIVE_EOF) {
                emptyCompressedTar_ = first && formatBase() == ARCHIVE_FORMAT_TAR &&
                                      archive_filter_code(a(), 0) != ARCHIVE_FILTER_NONE;
                break;
            }
            if (r == ARCHIVE_RETRY) continue;
            if (r == ARCHIVE_FATAL) {
                // Nothing read yet: not this DLL's archive, or broken at its very start.
                bool unknown = first && Contains(archive_error_string(a()), "nrecognized");
                fail(unknown ? Make(std::string(), kReasonNotArchive, kErrorNotArcFile)
                             : Classify(a(), std::string(), kErrorHeaderBroken));
                break;
            }
            first = false;
            // The ZIP reader has just read the local header: its entry's data begins here.
            dataAt_ = static_cast<uint64_t>(archive_filter_bytes(a(), 0));
            std::string name = nameOf(entry);
            if (r == ARCHIVE_FAILED) {
                fail(Classify(a(), name, kErrorHeaderBroken));
                continue;
            }
            if (!extractEntry(entry, name)) break;
        }
    }

    // A compressed stream that read as a tar without a single entry.
    bool emptyCompressedTar() const { return emptyCompressedTar_; }

private:
    enum class Place { write, skip, stop };

    // What this command has written at one path.
    struct Written {
        std::string stored;  // the entry's decoded name
        bool folder = false;
    };

    struct archive* a() const { return reader_.get(); }
    int formatBase() const { return archive_format(a()) & ARCHIVE_FORMAT_BASE_MASK; }

    bool openReader() {
        if (!job_.enable(a())) {
            fail(Make(std::string(), kReasonMemory, kErrorEnoughMemory));
            return false;
        }
        // No header charset is given: names the format does not mark reach us as their
        // stored bytes (see decodeName). Joliet's UTF-16 names are taken over Rock Ridge's
        // bytes. A format this DLL does not register refuses the option; no matter.
        archive_read_set_format_option(a(), "iso9660", "rockridge", nullptr);
        archive_read_set_passphrase_callback(a(), this, &Extraction::passphrase);
        archive_read_set_read_callback(a(), &ReadSource);
        archive_read_set_seek_callback(a(), &SeekSource);
        archive_read_set_skip_callback(a(), &SkipSource);
        archive_read_set_callback_data(a(), &source_);
        if (archive_read_open1(a()) != ARCHIVE_OK) {
            bool unknown = Contains(archive_error_string(a()), "nrecognized");
            fail(unknown ? Make(std::string(), kReasonNotArchive, kErrorNotArcFile)
                         : Classify(a(), std::string(), kErrorHeaderBroken));
            return false;
        }
        return true;
    }

    static const char* passphrase(struct archive*, void* data) {
        Extraction* self = static_cast<Extraction*>(data);
        try {
            if (++self->passwordTries_ > 3 || !self->job_.askPassword) return nullptr;
            if (!self->job_.askPassword(self->current_, self->password_)) return nullptr;
            return self->password_.c_str();
        } catch (...) {
            return nullptr;
        }
    }

    std::string nameOf(struct archive_entry* entry) {
        if (formatBase() == ARCHIVE_FORMAT_RAW) {
            const char* stored = archive_entry_pathname(entry);
            std::string s = stored && strcmp(stored, "data") != 0 ? stored : std::string();
            return DecodeStoredName(LoneFileName(job_.archive, s), NameBytes::unmarked);
        }
        return decodeName(archive_entry_pathname_w(entry), archive_entry_pathname_utf8(entry),
                          archive_entry_pathname(entry));
    }

    // One entry's name (or link target), decoded once.
    //
    // With no header charset, libarchive keeps a name the format does not mark as its bytes,
    // and its wide form maps each byte to the code unit of the same value (the C runtime's
    // "C" locale). A name the format marks (ZIP's flag and 0x7075 field, pax, RAR 5, RAR 4's
    // Unicode name, CAB's _A_NAME_IS_UTF, LZH's UTF-16 headers, 7-Zip, Joliet) is decoded by
    // libarchive, exactly, to its wide form. The two look alike only when nothing is above
    // U+00FF: "résumé" decoded, or the bytes of a Shift-JIS or UTF-8 name. What the format
    // says then decides (isMarked). A name held as UTF-8 alone (RAR 5) has no wide form in
    // the "C" locale when it is beyond Latin-1.
    std::string decodeName(const wchar_t* wide, const char* utf8, const char* narrow) {
        if (!wide && utf8) return DecodeStoredName(utf8, NameBytes::utf8);
        if (!wide) return narrow ? DecodeStoredName(narrow, NameBytes::unmarked) : std::string();
        if (!IsByteLike(wide)) return DecodeWideName(wide, wcslen(wide));
        std::string bytes = UnitsAsBytes(wide);
        if (isMarked(wide, bytes)) return DecodeWideName(wide, wcslen(wide));
        return DecodeStoredName(bytes, NameBytes::unmarked);
    }

    bool isMarked(const wchar_t* wide, const std::string& bytes) {
        switch (formatBase()) {
        case ARCHIVE_FORMAT_ZIP:
        case ARCHIVE_FORMAT_CAB: return isMarkedInHeaders(wide, bytes, !ReadsAsUnmarkedName(bytes));
        // A pax header's path is UTF-8 (GNU tar and bsdtar write one for every name beyond
        // ASCII), unless the header says hdrcharset=BINARY, as bsdtar does for bytes that are
        // no UTF-8 where it runs: those are Linux's UTF-8 bytes. ustar and GNU names are bytes.
        // Once one pax record has been read, libarchive calls every later entry pax, even a
        // ustar one whose name is Shift-JIS bytes: the headers tell.
        case ARCHIVE_FORMAT_TAR:
            return archive_format(a()) == ARCHIVE_FORMAT_TAR_PAX_INTERCHANGE &&
                   isMarkedInHeaders(wide, bytes, !IsMultibyteUtf8(bytes));
        case ARCHIVE_FORMAT_RAR_V5:
        case ARCHIVE_FORMAT_7ZIP:
        case ARCHIVE_FORMAT_ISO9660: return true;  // without Rock Ridge: Joliet or d-characters
        case ARCHIVE_FORMAT_CPIO:
        case ARCHIVE_FORMAT_AR: return false;
        default:
            // RAR 4 and LZH mark names in headers libarchive does not show: bytes that read as
            // UTF-8 or as Shift-JIS are taken as stored, anything else was decoded.
            return !ReadsAsUnmarkedName(bytes);
        }
    }

    // The archive's own headers say which names are marked (ZIP's directory, CAB's file
    // records, tar's headers): a name libarchive decoded that is one of them, or that is in no header at all
    // (a ZIP name from a 0x7075 field, whose CRC libarchive checked over the stored bytes), is
    // decoded; one whose bytes are an unmarked name's is stored bytes.
    bool isMarkedInHeaders(const wchar_t* wide, const std::string& bytes, bool byDefault) {
        if (!job_.storedNames) return byDefault;
        if (!storedNamesRead_) {
            storedNamesRead_ = true;
            std::set<std::string> marked, unmarked;
            job_.storedNames(job_.archive, marked, unmarked);
            for (const std::string& name : marked) markedNames_.insert(WithSlashes(name));
            for (const std::string& name : unmarked) unmarkedNames_.insert(WithSlashes(name));
        }
        if (markedNames_.empty() && unmarkedNames_.empty()) return byDefault;
        if (markedNames_.count(WithSlashes(WideToUtf8(wide)))) return true;
        return !unmarkedNames_.count(WithSlashes(bytes));
    }

    void fail(const Failure& f) {
        result_.failures.push_back(f);
        if (job_.explain) job_.explain(result_.failures.back());
        if (result_.code == kOk) result_.code = result_.failures.back().code;
    }

    // False stops the whole run (cancel, or a reader that cannot go on).
    bool extractEntry(struct archive_entry* entry, const std::string& name) {
        current_ = name;
        passwordTries_ = 0;
        if (!reportProgress(name)) return false;
        std::string path;
        mode_t type = archive_entry_filetype(entry);
        // "./", as GNU tar stores the folder it was given, is the destination itself.
        if (type == AE_IFDIR && NamesTheTop(name)) return skipData(name);
        if (!pathFor(name, path)) return skipData(name);
        const char* hardlink = archive_entry_hardlink(entry);
        const wchar_t* hardlinkWide = archive_entry_hardlink_w(entry);
        const char* hardlinkUtf8 = archive_entry_hardlink_utf8(entry);
        bool isHardlink = hardlink || hardlinkWide || hardlinkUtf8;
        if (type == AE_IFDIR) {
            makeFolder(path, name);
            return skipData(name);
        }
        if (type == AE_IFLNK || (archive_entry_symlink_w(entry) && !isHardlink)) {
            fail(Make(name, kReasonSymlink, kErrorCannotWrite));
            return skipData(name);
        }
        bool hasData = !archive_entry_size_is_set(entry) || archive_entry_size(entry) > 0;
        if (isHardlink && !hasData)
            return copyLink(path, name, decodeName(hardlinkWide, hardlinkUtf8, hardlink));
        if (type != AE_IFREG && !isHardlink && type != 0) {
            fail(Make(name, kReasonSpecial, kErrorCannotWrite));
            return skipData(name);
        }
        // Only the ZIP reader decrypts; RAR's marks an encrypted entry and would hand over
        // its encrypted bytes as data.
        if (archive_entry_is_data_encrypted(entry) && formatBase() != ARCHIVE_FORMAT_ZIP) {
            fail(Make(name, kReasonEncrypted, kErrorMethod));
            // 7z's reader cannot even step over encrypted data, so the entries after it
            // stay unread: the box says so for the whole archive.
            if (archive_read_data_skip(a()) != ARCHIVE_FATAL) return true;
            fail(Make(std::string(), kReasonEncryptedRest, kErrorMethod));
            return false;
        }
        return writeFile(entry, path, name);
    }

    bool skipData(const std::string& name) {
        int r = archive_read_data_skip(a());
        if (r == ARCHIVE_FATAL) {
            fail(Classify(a(), name, kErrorHeaderBroken));
            return false;
        }
        return true;
    }

    bool reportProgress(const std::string& name) {
        if (!job_.progress) return true;
        // libarchive says how far into the archive it has read; our own decoders do not, so
        // their bar shows no fraction (total 0: unknown).
        uint64_t done = job_.walk ? 0 : static_cast<uint64_t>(archive_filter_bytes(a(), -1));
        uint64_t total = job_.walk ? 0 : source_.size;
        if (job_.progress(name, done, total)) return true;
        cancel(name);
        return false;
    }

    void cancel(const std::string& name) {
        result_.cancelled = true;
        fail(Make(name, kReasonCancelled, kErrorUserCancel));
    }

    // The full path for name, mapped where Windows cannot hold it; false (the failure kept)
    // when the name would leave the destination or pass through a link already there.
    bool pathFor(const std::string& name, std::string& path) {
        bool mapped = false;
        if (name.empty() || !SafeJoin(dest_, name, path, &mapped)) {
            fail(Make(name, kReasonUnsafeName, kErrorCannotWrite));
            return false;
        }
        if (passesThroughLink(path)) {
            fail(Make(name, kReasonThroughLink, kErrorCannotWrite));
            return false;
        }
        mapped_ = mapped;  // listed once the entry's path is final
        return true;
    }

    // True when a component of path below the destination is a symbolic link, junction or
    // mount point already on the disk: writing there would land wherever it points. Folders
    // found plain are remembered, so a deep tree is looked at once.
    bool passesThroughLink(const std::string& path) {
        for (size_t at = dest_.size(); at <= path.size(); ++at) {
            if (at < path.size() && path[at] != '\\') continue;
            std::string part = path.substr(0, at);
            if (part.size() <= dest_.size() || plainFolders_.count(part)) continue;
            WIN32_FIND_DATAW found;
            HANDLE find = FindFirstFileW(ExtendedPath(part).data(), &found);
            if (find == INVALID_HANDLE_VALUE) return false;  // nothing further exists
            FindClose(find);
            // Wine shows a Unix symbolic link as a reparse point with no tag at all.
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                (IsReparseTagNameSurrogate(found.dwReserved0) || found.dwReserved0 == 0))
                return true;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
            plainFolders_.insert(part);
        }
        return false;
    }

    void noteRename(const std::string& name, const std::string& path) {
        Renamed r;
        r.stored = name;
        r.written = path.substr(std::min(path.size(), dest_.size()));
        result_.renamed.push_back(r);
    }

    void makeFolder(const std::string& path, const std::string& name) {
        std::string key = ComparablePath(path);
        auto it = written_.find(key);
        if (it != written_.end() && !it->second.folder) {
            fail(Make(name, kReasonFileInTheWay, kErrorMakeDirectory));
            return;
        }
        CreateParents(path);
        WideText wide = ExtendedPath(path);
        if (CreateDirectoryW(wide.data(), nullptr)) {
            ++result_.written;
        } else {
            DWORD attrs = GetFileAttributesW(wide.data());
            if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
                fail(Make(name, kReasonMakeDir, kErrorMakeDirectory));
                return;
            }
        }
        if (mapped_) noteRename(name, path);
        // Folders that land on one path merge.
        if (it == written_.end()) written_[key] = Written{name, true};
    }

    // Where a file entry goes. A path this command already wrote under another stored name
    // gets "name (2).ext" (listed); the same stored name again (a tar appended to) replaces
    // it. An existing file is replaced with the overwrite switch, else as the user answers.
    Place placeFile(const std::string& name, std::string& path, bool& replace) {
        replace = false;
        std::string key = ComparablePath(path);
        auto it = written_.find(key);
        if (it != written_.end()) {
            if (!it->second.folder && it->second.stored == name) {
                replace = true;
                return Place::write;
            }
            std::string base = path;
            for (unsigned n = 2;; ++n) {
                path = NumberedPath(base, n);
                key = ComparablePath(path);
                if (!written_.count(key) &&
                    GetFileAttributesW(ExtendedPath(path).data()) == INVALID_FILE_ATTRIBUTES)
                    break;
            }
            noteRename(name, path);
            return Place::write;
        }
        DWORD attrs = GetFileAttributesW(ExtendedPath(path).data());
        if (attrs == INVALID_FILE_ATTRIBUTES) {
            if (mapped_) noteRename(name, path);
            return Place::write;
        }
        if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
            fail(Make(name, kReasonFolderInTheWay, kErrorCannotWrite));
            return Place::skip;
        }
        if (!job_.overwrite && !overwriteAll_) {
            if (skipAll_ || !job_.askOverwrite) return Place::skip;
            switch (job_.askOverwrite(name)) {
            case OverwriteAnswer::overwrite: break;
            case OverwriteAnswer::overwriteAll: overwriteAll_ = true; break;
            case OverwriteAnswer::skip: return Place::skip;
            case OverwriteAnswer::skipAll: skipAll_ = true; return Place::skip;
            case OverwriteAnswer::cancel: cancel(name); return Place::stop;
            }
        }
        // Listed only when written: a file the user kept was not renamed.
        if (mapped_) noteRename(name, path);
        replace = true;
        return Place::write;
    }

    // Closes a whole temporary file and renames it into place. A full disk may show only at
    // the close; the temporary file then goes and the entry is reported.
    void closeAndPutInPlace(FileHandle& file, const std::string& temp, const std::string& path,
                            const std::string& name, bool replace) {
        if (!file.close()) {
            DWORD error = GetLastError();
            DeleteFileW(ExtendedPath(temp).data());
            fail(WriteFailure(name, error));
            return;
        }
        putInPlace(temp, path, name, replace);
    }

    bool putInPlace(const std::string& temp, const std::string& path, const std::string& name,
                    bool replace) {
        WideText target = ExtendedPath(path);
        if (replace) {
            DWORD attrs = GetFileAttributesW(target.data());
            if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
                SetFileAttributesW(target.data(), attrs & ~FILE_ATTRIBUTE_READONLY);
        }
        WideText from = ExtendedPath(temp);
        if (!MoveFileExW(from.data(), target.data(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
            DWORD error = GetLastError();
            DeleteFileW(from.data());
            fail(WriteFailure(name, error));
            return false;
        }
        written_[ComparablePath(path)] = Written{name, false};
        linkTargets_[LinkKey(name)] = path;
        ++result_.written;
        return true;
    }

    bool writeFile(struct archive_entry* entry, std::string path, const std::string& name) {
        bool replace = false;
        Place place = placeFile(name, path, replace);
        if (place == Place::stop) return false;
        if (place == Place::skip) return skipData(name);
        uint32_t expectedCrc = 0;
        bool checkCrc = job_.storedCrc &&
                        job_.storedCrc(job_.archive, archive_read_header_position(a()), expectedCrc);
        uLong crc = crc32(0, Z_NULL, 0);
        CreateParents(path);
        std::string temp = TemporaryNameFor(path);
        FileHandle file(CreateFileW(ExtendedPath(temp).data(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            fail(WriteFailure(name, GetLastError()));
            return skipData(name);
        }
        // Any way out below that is not the rename removes the temporary file.
        auto discard = [&]() {
            file.close();
            DeleteFileW(ExtendedPath(temp).data());
        };
        bool any = false;
        for (;;) {
            la_ssize_t n = archive_read_data(a(), &data_[0], data_.size());
            if (n == 0) break;
            if (n < 0 && !any && job_.decodeRefused &&
                Classify(a(), name, kErrorHeaderBroken).code == kErrorMethod) {
                // A method libarchive lacks (Deflate64): our own decoder, into the same file.
                // It looks the entry up by the code page's spelling of its name.
                std::function<bool()> progress = [&]() { return reportProgress(name); };
                FileSink sink(file.get(), progress);
                CodecStatus status = CodecStatus::ok;
                if (job_.decodeRefused(dataAt_, sink, status)) {
                    if (status == CodecStatus::ok) break;
                    discard();
                    if (sink.cancelled()) return false;
                    fail(sink.error() ? WriteFailure(name, sink.error()) : FailureOf(name, status));
                    return true;
                }
            }
            any = true;
            if (n < 0) {
                discard();
                Failure f = Classify(a(), name, kErrorHeaderBroken);
                // Traditional ZIP encryption checks a password against one byte, so a wrong
                // password gets past it once in 256 and the data then fails its CRC.
                if (f.code == kErrorFileCrc && archive_entry_is_data_encrypted(entry)) {
                    f.code = kErrorPassword;
                    f.reason = kReasonPasswordOrDamage;
                }
                fail(f);
                // After a damaged entry the readers still know where the next one starts;
                // only a fatal error ends the run.
                return n != ARCHIVE_FATAL;
            }
            DWORD written = 0;
            if (!WriteFile(file.get(), data_.data(), static_cast<DWORD>(n), &written, nullptr) ||
                written != static_cast<DWORD>(n)) {
                DWORD error = GetLastError();
                discard();
                fail(WriteFailure(name, error));
                return skipData(name);
            }
            if (checkCrc) crc = crc32(crc, reinterpret_cast<const Bytef*>(data_.data()),
                                      static_cast<uInt>(n));
            if (!reportProgress(name)) {
                discard();
                return false;
            }
        }
        if (checkCrc && crc != expectedCrc) {
            discard();
            fail(Make(name, kReasonCrc, kErrorFileCrc));
            return true;
        }
        if (archive_entry_mtime_is_set(entry)) SetWriteTime(file.get(), archive_entry_mtime(entry));
        closeAndPutInPlace(file, temp, path, name, replace);
        return true;
    }

    // A hard link becomes a copy of the file this run wrote for its target, at the path that
    // file got; anything else (a path outside, a file that was there before) is refused.
    bool copyLink(std::string path, const std::string& name, const std::string& targetName) {
        auto target = linkTargets_.find(LinkKey(targetName));
        if (targetName.empty() || target == linkTargets_.end()) {
            fail(Make(name, kReasonLinkOutside, kErrorCannotWrite));
            return skipData(name);
        }
        bool replace = false;
        Place place = placeFile(name, path, replace);
        if (place == Place::stop) return false;
        if (place == Place::skip) return skipData(name);
        CreateParents(path);
        std::string temp = TemporaryNameFor(path);
        if (!CopyFileW(ExtendedPath(target->second).data(), ExtendedPath(temp).data(), TRUE)) {
            DWORD error = GetLastError();
            DeleteFileW(ExtendedPath(temp).data());
            fail(WriteFailure(name, error));
            return skipData(name);
        }
        putInPlace(temp, path, name, replace);
        return skipData(name);
    }

    bool emptyCompressedTar_ = false;
    const ExtractJob& job_;
    ExtractResult& result_;
    const std::string dest_;  // the destination in UTF-8, ending with '\\'
    Source source_;
    ArchiveReader reader_;
    std::string data_;
    std::string current_;
    std::string password_;
    unsigned passwordTries_ = 0;
    bool mapped_ = false;  // the current entry's path was mapped for Windows
    bool overwriteAll_ = false;
    bool skipAll_ = false;
    bool storedNamesRead_ = false;
    std::set<std::string> markedNames_, unmarkedNames_;
    std::map<std::string, Written> written_;          // by ComparablePath
    std::map<std::string, std::string> linkTargets_;  // LinkKey of a stored name -> its path
    std::set<std::string> plainFolders_;               // found on the disk, not links
    uint64_t dataAt_ = 0;  // where the current entry's data begins (see DecodeRefused)
};

bool EndsWithNoCase(const std::string& s, const char* suffix) {
    size_t n = strlen(suffix);
    return s.size() > n && lstrcmpiA(s.c_str() + s.size() - n, suffix) == 0;
}

}  // namespace

std::string LoneFileName(const std::string& archive, const std::string& storedName) {
    size_t separator = LastSeparatorIndex(archive);
    std::string name = separator == std::string::npos ? archive : archive.substr(separator + 1);
    // Suffixes of compressed single files, as gzip -d, bunzip2, unxz and uncompress strip or
    // turn them; ".z" also matches ".Z".
    const struct {
        const char* suffix;
        const char* replacement;
    } suffixes[] = {{".tgz", ".tar"}, {".taz", ".tar"}, {".tbz2", ".tar"}, {".tbz", ".tar"},
                    {".txz", ".tar"}, {".tzst", ".tar"}, {".tlz", ".tar"}, {".gz", ""},
                    {"-gz", ""},      {".z", ""},       {"-z", ""},       {"_z", ""},
                    {".bz2", ""},     {".bz", ""},      {".xz", ""},      {".lzma", ""},
                    {".zst", ""},     {".lz4", ""},     {".lz", ""}};
    for (const auto& s : suffixes) {
        if (EndsWithNoCase(name, s.suffix))
            return name.substr(0, name.size() - strlen(s.suffix)) + s.replacement;
    }
    separator = LastSeparatorIndex(storedName);
    std::string stored =
        separator == std::string::npos ? storedName : storedName.substr(separator + 1);
    if (!stored.empty() && stored != "." && stored != "..") return stored;
    return name + ".out";
}

ExtractResult ExtractWithReaders(const ExtractJob& job) {
    ExtractResult result;
    try {
        Extraction extraction(job, result);
        extraction.run();
        if (extraction.emptyCompressedTar() && job.lone && result.failures.empty()) {
            ExtractJob lone = job;
            lone.enable = job.lone;
            lone.lone = nullptr;
            return ExtractWithReaders(lone);
        }
    } catch (const std::bad_alloc&) {
        Failure f;
        f.reason = kReasonMemory;
        f.code = kErrorEnoughMemory;
        if (result.code == kOk) result.code = f.code;
        result.failures.push_back(f);
    }
    return result;
}

std::string DescribeFailures(const std::string& archive, const ExtractResult& result) {
    // The program's texts are in the code page, names in UTF-8: the box shows them wide.
    const char* header = result.failures.empty() ? kRenamedHeader : kFailureHeader;
    std::string text = AnsiToUtf8(std::string(header) + "\r\n" + kArchiveLabel + archive) + "\r\n";
    size_t listed = 0;
    size_t total = result.failures.size() + result.renamed.size();
    auto more = [&]() {
        if (listed < kMaxListedFailures) return true;
        // Not snprintf: MinGW's own printf is 18 KB of every self-extracting program.
        text += "\r\n" + AnsiToUtf8(kMoreFailuresBefore + std::to_string(total - listed) +
                                    kMoreFailuresAfter);
        return false;
    };
    for (const Failure& f : result.failures) {
        if (!more()) return text;
        text += "\r\n";
        if (!f.entry.empty()) text += f.entry + ": ";
        text += AnsiToUtf8(f.reason);
        ++listed;
    }
    if (!result.renamed.empty() && listed < kMaxListedFailures) {
        if (!result.failures.empty()) text += "\r\n\r\n" + AnsiToUtf8(kRenamedLabel);
    }
    for (const Renamed& r : result.renamed) {
        if (!more()) return text;
        text += "\r\n" + r.stored + AnsiToUtf8(kRenameArrow) + r.written;
        ++listed;
    }
    return text;
}

}  // namespace standin
