// Tar32.dll's commands: "c..." writes a tar (with "z" a tar.gz, with "zB" a tar.bz2),
// "x..." extracts a tar, a compressed tar, a lone compressed file, a 7z, an ISO image, a
// cpio archive or a Debian package,
// "--self-extracting=1" writes a program.
#include "standins/command/command.h"
#include "standins/tar/tar.h"

namespace standin {
namespace {

// The self-extracting program reads what Tar32 writes, and compress; liblzma, for xz,
// would be a seventh of its size, and the other formats Tar32 reads would grow it too.
bool SfxReadsTar(const std::string& archive) {
    Kind kind = DetectKind(archive);
    return kind == Kind::Tar || kind == Kind::Gzip || kind == Kind::Bzip2 ||
           kind == Kind::Compress;
}

}  // namespace

int RunTar(const std::string& text, std::string& message) {
    const Dll dll = Dll::Tar;
    Command command = ParseCommand(text);
    std::string letters = command.arg(0);
    bool create = letters.find('c') != std::string::npos;
    if (command.has("--self-extracting=1") && create) {
        return MakeSfx(dll, command.arg(1), command.arg(2), message, &SfxReadsTar);
    }
    if (create) {
        // "z" alone is gzip; "zB" (or "j") is bzip2, as Tar32's command texts say it.
        TarFilter filter = TarFilter::none;
        if (letters.find('B') != std::string::npos || letters.find('j') != std::string::npos) {
            filter = TarFilter::bzip2;
        } else if (letters.find('z') != std::string::npos) {
            filter = TarFilter::gzip;
        }
        WriteJob job;
        job.archive = command.arg(1);
        int gathered = GatherFromArgs(dll, command, 1, job.items, message);
        if (gathered != kOk) return gathered;
        return WriteCommand(dll, std::move(job), [filter](const WriteJob& j) {
            return WriteTarArchive(j, filter);
        }, message);
    }
    if (letters.find('x') != std::string::npos) {
        return ExtractCommand(dll, &EnableTarReaders, command.arg(1), command.arg(2), false,
                              message, nullptr, nullptr, nullptr,
                              &EnableLoneFileReaders, &ListTarStoredNames, nullptr,
                              &ExplainTarFailure);
    }
    return UnknownCommand(dll, text, message);
}

}  // namespace standin
