// Zip32j.dll's commands: write a ZIP ("-e" encrypts it), or "--sfx" a self-extracting
// program of one.
#include "standins/codecs/zip_directory.h"
#include "standins/command/command.h"
#include "standins/zip/zip.h"
#include "standins/core/file_streams.h"
#include "standins/core/ui.h"

namespace standin {
namespace {

const char kReasonNoPassword[] = "パスワードが入力されていません";

// The self-extracting program reads stored, deflate, bzip2 and PPMd entries and traditional
// encryption: what Zip32j writes and more. Not LZMA or xz (liblzma would be a seventh of the
// program), Deflate64 or AES.
bool SfxReadsZip(const std::string& archive) {
    FileInput input(archive);
    if (!input.valid()) return false;
    ZipDirectory directory(input);
    if (directory.open() != CodecStatus::ok) return false;
    ZipEntry entry;
    CodecStatus status;
    while ((status = directory.next(entry)) == CodecStatus::ok) {
        bool readable = entry.method == 0 || entry.method == 8 || entry.method == 12 ||
                        entry.method == 98;
        bool strong = (entry.flags & 0x0040) != 0;  // strong (AES, RC4...) encryption
        if (!readable || strong) return false;
    }
    return status == CodecStatus::end;
}

}  // namespace

int RunZip(const std::string& text, std::string& message) {
    const Dll dll = Dll::Zip;
    Command command = ParseCommand(text);
    if (command.has("--sfx")) {
        return MakeSfx(dll, command.arg(0), std::string(), message, &SfxReadsZip);
    }
    std::string password;
    if (command.has("-e")) {
        // A script sets ARCHIVER_PASSWORD; a person is asked, twice to catch a typing slip.
        password = ArchivePassword();
        if (password.empty() && !AskPassword(dll, command.arg(0), std::string(), true, password)) {
            message = "cancelled";
            return kErrorUserCancel;
        }
        if (password.empty()) return Refuse(dll, command.arg(0), kReasonNoPassword, kErrorPassword, message);
    }
    WriteJob job;
    job.archive = command.arg(0);
    int gathered = GatherFromArgs(dll, command, 0, job.items, message);
    if (gathered != kOk) return gathered;
    return WriteCommand(dll, std::move(job), [&](const WriteJob& j) {
        return WriteZipArchive(j, true, password);
    }, message);
}

}  // namespace standin
