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
#include <new>
#include <set>

#include "standins/core/identity.h"
#include "standins/core/file_streams.h"
#include "standins/core/formats.h"

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
const char kReasonFolderInTheWay[] = "同じ名前のフォルダがあるので書き込めません";
const char kReasonCancelled[] = "キャンセルされました";
const char kReasonMultiVolume[] = "分割された書庫には対応していません";
const char kFailureHeader[] = "書庫の処理中に問題がありました。";
const char kArchiveLabel[] = "書庫: ";
const char kMoreFailuresBefore[] = "ほか ";  // "ほか 3 件": the count, then kMoreFailuresAfter
const char kMoreFailuresAfter[] = " 件";

// Owns a libarchive reader.
class Reader {
public:
    Reader() : a_(archive_read_new()) {}
    ~Reader() {
        if (a_) archive_read_free(a_);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    struct archive* get() const { return a_; }

private:
    struct archive* a_;
};

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

// UTF-16 to the system code page; a character it lacks becomes '_'.
std::string ToAnsi(const wchar_t* wide) {
    int length = static_cast<int>(wcslen(wide));
    if (length == 0) return std::string();
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, "_",
                                nullptr);
    if (n <= 0) return std::string();
    std::string out(n, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, &out[0], n, "_", nullptr);
    return out;
}

// UTF-8 to the system code page, the same way.
std::string Utf8ToAnsiOr(const char* utf8) {
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (length <= 0) return std::string();
    std::vector<wchar_t> wide(length);  // not std::wstring, whose class is 35 KB of a stub
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), length);
    return ToAnsi(wide.data());
}

// True when bytes are well-formed UTF-8 with at least one character beyond ASCII. A
// Shift-JIS name almost never is: its lead bytes 0x81-0x9F cannot start a UTF-8 sequence.
bool IsMultibyteUtf8(const std::string& bytes) {
    bool multibyte = false;
    for (size_t i = 0; i < bytes.size();) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        size_t n = c < 0x80 ? 0 : (c >= 0xC2 && c <= 0xDF) ? 1 : (c >= 0xE0 && c <= 0xEF) ? 2
                 : (c >= 0xF0 && c <= 0xF4) ? 3 : 99;
        if (n == 99) return false;
        for (size_t k = 1; k <= n; ++k) {
            if (i + k >= bytes.size() || (static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        multibyte = multibyte || n > 0;
        i += n + 1;
    }
    return multibyte;
}

// The entry's name (or link target) in the system code page.
//
// libarchive hands names over in two ways. Converted ones (a ZIP name with the UTF-8 flag, a
// RAR 5 or pax name, an LZH or CAB name read in the header charset we give) have a true
// wide or UTF-8 form. Names it takes as bytes come through the C runtime's "C" locale, which
// maps each byte to the code unit of the same value, so their wide form has nothing above
// 0xFF and the narrow form is the stored bytes: a Shift-JIS name byte for byte, or the UTF-8
// that tar and zip write on Linux, which is recognised and converted.
//
// The RAR 1.5-4.x reader, and the ZIP reader for a name made on MS-DOS with no '/', turn
// every byte 0x5C into '/', the trail byte of "表" (0x95 0x5C) included. A '/' right after
// a lead byte, never a trail byte of its own, is put back.
std::string NameOf(const wchar_t* wide, const char* utf8, const char* narrow) {
    bool unicode = false;
    for (const wchar_t* p = wide; p && *p; ++p) unicode = unicode || *p > 0xFF;
    if (unicode) return ToAnsi(wide);
    if (!narrow) {
        if (wide) return ToAnsi(wide);
        return utf8 ? Utf8ToAnsiOr(utf8) : std::string();
    }
    std::string name = narrow;
    if (IsMultibyteUtf8(name)) return Utf8ToAnsiOr(name.c_str());
    for (size_t i = 0; i + 1 < name.size(); ++i) {
        if (!IsLeadByte(static_cast<unsigned char>(name[i]))) continue;
        if (name[i + 1] == '/') name[i + 1] = '\\';
        ++i;
    }
    return name;
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
        if (GetFileAttributesA(temp.c_str()) == INVALID_FILE_ATTRIBUTES) return temp;
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

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
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

// One run over an archive.
class Extraction : public EntryTarget {
public:
    Extraction(const ExtractJob& job, ExtractResult& result) : job_(job), result_(result) {}

    // EntryTarget: the entries of a decoder of our own.
    bool folder(const std::string& name) override {
        if (!reportProgress(name)) return false;
        std::string path;
        if (NamesTheTop(name)) return true;
        if (!pathFor(name, path)) return true;
        createFolder(path, name);
        return true;
    }

    bool file(const std::string& name, uint32_t dosTime,
              const std::function<CodecStatus(ByteSink& sink)>& decode) override {
        if (!reportProgress(name)) return false;
        std::string path;
        bool keep = false;
        if (!pathFor(name, path) || !mayReplace(path, name, keep)) return true;
        CreateParents(path);
        std::string temp = TemporaryNameFor(path);
        FileHandle out(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out.valid()) {
            fail(WriteFailure(name, GetLastError()));
            return true;
        }
        std::function<bool()> progress = [&]() { return reportProgress(name); };
        FileSink sink(out.get(), progress);
        CodecStatus status = decode(sink);
        if (status != CodecStatus::ok) {
            out.close();
            DeleteFileA(temp.c_str());
            if (sink.cancelled()) return false;  // reportProgress has said so
            fail(sink.error() ? WriteFailure(name, sink.error()) : FailureOf(name, status));
            return true;
        }
        if (dosTime != 0) SetDosWriteTime(out.get(), dosTime);
        closeAndPutInPlace(out, temp, path, name);
        return true;
    }

    void fail(const std::string& entry, CodecStatus status) override {
        fail(FailureOf(entry, status));
    }

    void run() {
        if (job_.walk) {
            if (GetFileAttributesA(job_.archive.c_str()) == INVALID_FILE_ATTRIBUTES) {
                fail(Make(std::string(), kReasonOpen, kErrorArcFileOpen));
                return;
            }
            job_.walk(job_.archive, *this);
            return;
        }
        // Shared for writing too: an archive another program still holds open (a download
        // being finished, an editor) is readable, as the archive test found it.
        source_.file.reset(CreateFileA(job_.archive.c_str(), GENERIC_READ,
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
    struct archive* a() const { return reader_.get(); }
    int formatBase() const { return archive_format(a()) & ARCHIVE_FORMAT_BASE_MASK; }

    bool openReader() {
        if (!job_.enable(a())) {
            fail(Make(std::string(), kReasonMemory, kErrorEnoughMemory));
            return false;
        }
        // See NameOf. LZH and CAB names are read in the system code page: both readers turn
        // '\\' into '/' and need to know which 0x5C bytes are trail bytes. The others keep
        // their bytes. A format this DLL does not register refuses the option; no matter.
        std::string charset = "CP" + std::to_string(GetACP());
        for (const char* format : {"lha", "cab"})
            archive_read_set_format_option(a(), format, "hdrcharset", charset.c_str());
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
            return LoneFileName(job_.archive, s);
        }
        return NameOf(archive_entry_pathname_w(entry), archive_entry_pathname_utf8(entry),
                      archive_entry_pathname(entry));
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
        if (type == AE_IFDIR) return makeFolder(path, name);
        if (type == AE_IFLNK || (archive_entry_symlink(entry) && !hardlink)) {
            fail(Make(name, kReasonSymlink, kErrorCannotWrite));
            return skipData(name);
        }
        bool hasData = !archive_entry_size_is_set(entry) || archive_entry_size(entry) > 0;
        if (hardlink && !hasData) {
            return copyLink(path, name,
                            NameOf(archive_entry_hardlink_w(entry),
                                   archive_entry_hardlink_utf8(entry),
                                   archive_entry_hardlink(entry)));
        }
        if (type != AE_IFREG && !hardlink && type != 0) {
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
        result_.cancelled = true;
        fail(Make(name, kReasonCancelled, kErrorUserCancel));
        return false;
    }

    // The full path for name; false (the failure kept) when the name would leave the
    // destination.
    bool pathFor(const std::string& name, std::string& path) {
        if (!name.empty() && SafeJoin(job_.destDir, name, path)) return true;
        fail(Make(name, kReasonUnsafeName, kErrorCannotWrite));
        return false;
    }

    void createFolder(const std::string& path, const std::string& name) {
        CreateParents(path);
        if (CreateDirectoryA(path.c_str(), nullptr)) {
            ++result_.written;
            return;
        }
        DWORD attrs = GetFileAttributesA(path.c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY))
            fail(Make(name, kReasonMakeDir, kErrorMakeDirectory));
    }

    bool makeFolder(const std::string& path, const std::string& name) {
        createFolder(path, name);
        return skipData(name);
    }

    // Whether the final name may be written: true to go on, false to keep what is there.
    // A folder in the way is a failure.
    bool mayReplace(const std::string& path, const std::string& name, bool& keep) {
        keep = false;
        DWORD attrs = GetFileAttributesA(path.c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES) return true;
        if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
            fail(Make(name, kReasonFolderInTheWay, kErrorCannotWrite));
            return false;
        }
        if (!job_.overwrite) {
            keep = true;
            return false;
        }
        return true;
    }

    // Renames the finished temporary file into place; removes it on failure.
    // Closes a whole temporary file and renames it into place. A full disk may show only at
    // the close; the temporary file then goes and the entry is reported.
    void closeAndPutInPlace(FileHandle& file, const std::string& temp, const std::string& path,
                            const std::string& name) {
        if (!file.close()) {
            DWORD error = GetLastError();
            DeleteFileA(temp.c_str());
            fail(WriteFailure(name, error));
            return;
        }
        putInPlace(temp, path, name);
    }

    bool putInPlace(const std::string& temp, const std::string& path, const std::string& name) {
        if (job_.overwrite) {
            DWORD attrs = GetFileAttributesA(path.c_str());
            if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
                SetFileAttributesA(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
        }
        DWORD flags = job_.overwrite ? MOVEFILE_REPLACE_EXISTING : 0;
        if (!MoveFileExA(temp.c_str(), path.c_str(), flags)) {
            DWORD error = GetLastError();
            DeleteFileA(temp.c_str());
            fail(WriteFailure(name, error));
            return false;
        }
        extracted_.insert(LowerAscii(path));
        ++result_.written;
        return true;
    }

    bool writeFile(struct archive_entry* entry, const std::string& path, const std::string& name) {
        bool keep = false;
        if (!mayReplace(path, name, keep)) return skipData(name);
        uint32_t expectedCrc = 0;
        bool checkCrc = job_.storedCrc &&
                        job_.storedCrc(job_.archive, archive_read_header_position(a()), expectedCrc);
        uLong crc = crc32(0, Z_NULL, 0);
        CreateParents(path);
        std::string temp = TemporaryNameFor(path);
        FileHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            fail(WriteFailure(name, GetLastError()));
            return skipData(name);
        }
        // Any way out below that is not the rename removes the temporary file.
        auto discard = [&]() {
            file.close();
            DeleteFileA(temp.c_str());
        };
        bool any = false;
        for (;;) {
            la_ssize_t n = archive_read_data(a(), &data_[0], data_.size());
            if (n == 0) break;
            if (n < 0 && !any && job_.decodeRefused &&
                Classify(a(), name, kErrorHeaderBroken).code == kErrorMethod) {
                // A method libarchive lacks (Deflate64): our own decoder, into the same file.
                std::function<bool()> progress = [&]() { return reportProgress(name); };
                FileSink sink(file.get(), progress);
                CodecStatus status = CodecStatus::ok;
                if (job_.decodeRefused(job_.archive, name, sink, status)) {
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
        closeAndPutInPlace(file, temp, path, name);
        return true;
    }

    // A hard link becomes a copy of a file this run has already written; anything else
    // (a path outside, a file that was there before) is refused.
    bool copyLink(const std::string& path, const std::string& name,
                  const std::string& targetName) {
        std::string targetPath;
        if (targetName.empty() || !SafeJoin(job_.destDir, targetName, targetPath) ||
            extracted_.count(LowerAscii(targetPath)) == 0) {
            fail(Make(name, kReasonLinkOutside, kErrorCannotWrite));
            return skipData(name);
        }
        bool keep = false;
        if (!mayReplace(path, name, keep)) return skipData(name);
        CreateParents(path);
        std::string temp = TemporaryNameFor(path);
        if (!CopyFileA(targetPath.c_str(), temp.c_str(), TRUE)) {
            DWORD error = GetLastError();
            DeleteFileA(temp.c_str());
            fail(WriteFailure(name, error));
            return skipData(name);
        }
        putInPlace(temp, path, name);
        return skipData(name);
    }

    bool emptyCompressedTar_ = false;
    const ExtractJob& job_;
    ExtractResult& result_;
    Source source_;
    Reader reader_;
    std::string data_;
    std::string current_;
    std::string password_;
    unsigned passwordTries_ = 0;
    std::set<std::string> extracted_;  // final paths written, ASCII case folded
};

bool EndsWithNoCase(const std::string& s, const char* suffix) {
    size_t n = strlen(suffix);
    return s.size() > n && lstrcmpiA(s.c_str() + s.size() - n, suffix) == 0;
}

}  // namespace

std::string StoredNameToAnsi(const std::string& bytes, bool utf8) {
    if (utf8) return Utf8ToAnsiOr(bytes.c_str());
    return NameOf(nullptr, nullptr, bytes.c_str());
}

std::string LoneFileName(const std::string& archive, const std::string& storedName) {
    size_t separator = LastSeparatorIndex(storedName);
    std::string stored =
        separator == std::string::npos ? storedName : storedName.substr(separator + 1);
    if (!stored.empty() && stored != "." && stored != "..") return stored;
    separator = LastSeparatorIndex(archive);
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
    std::string text = std::string(kFailureHeader) + "\r\n" + kArchiveLabel + archive + "\r\n";
    size_t listed = 0;
    for (const Failure& f : result.failures) {
        if (listed == kMaxListedFailures) {
            // Not snprintf: MinGW's own printf is 18 KB of every self-extracting program.
            text += std::string("\r\n") + kMoreFailuresBefore +
                    std::to_string(result.failures.size() - listed) + kMoreFailuresAfter;
            break;
        }
        text += "\r\n";
        if (!f.entry.empty()) text += f.entry + ": ";
        text += f.reason;
        ++listed;
    }
    return text;
}

}  // namespace standin
