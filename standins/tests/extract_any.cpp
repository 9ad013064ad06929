// One switch from a detected kind to its readers, for the tests. No DLL links it: it names
// every family's readers.
#include "standins/tests/extract_any.h"

#include "standins/arj/arj.h"
#include "standins/cab/cab.h"
#include "standins/lzh/lzh.h"
#include "standins/rar/rar.h"
#include "standins/tar/tar.h"
#include "standins/zip/zip.h"

namespace standin {

bool ExtractArchive(Kind kind, const std::string& archive, const ExtractOptions& options) {
    EnableReaders enable = nullptr;
    switch (kind) {
    case Kind::Lzh: enable = &EnableLzhReaders; break;
    case Kind::Zip: enable = &EnableZipReaders; break;
    case Kind::Cab: enable = &EnableCabReaders; break;
    case Kind::Rar: enable = &EnableRarReaders; break;  // with RarStoredCrc below
    case Kind::Arj: break;  // walked by WalkArj below
    case Kind::Tar:
    case Kind::Gzip:
    case Kind::Bzip2:
    case Kind::Xz:
    case Kind::Compress:
    case Kind::Zstd:
    case Kind::Lz4:
    case Kind::Lzip:
    case Kind::SevenZip:
    case Kind::Iso:
    case Kind::Cpio:
    case Kind::Deb: enable = &EnableTarReaders; break;
    case Kind::None: return false;
    }
    ExtractJob job;
    job.archive = archive;
    job.destDir = options.destDir;
    job.overwrite = options.overwrite;
    job.enable = enable;
    if (kind == Kind::Rar) job.storedCrc = &RarStoredCrc;
    if (kind == Kind::Arj) job.walk = &WalkArj;
    ZipCentralDirectory directory;
    if (kind == Kind::Zip) {
        Failure refusal;
        if (!directory.check(archive, refusal)) return false;
        job.decodeRefused = [&](uint64_t at, ByteSink& sink, CodecStatus& status) {
            return directory.decode(at, sink, status);
        };
    }
    if (kind == Kind::Zip) job.storedNames = &ListZipStoredNames;
    if (kind == Kind::Cab) job.storedNames = &ListCabStoredNames;
    if (enable == &EnableTarReaders) job.lone = &EnableLoneFileReaders;
    if (enable == &EnableTarReaders) job.storedNames = &ListTarStoredNames;
    return ExtractWithReaders(job).failures.empty();
}

}  // namespace standin
