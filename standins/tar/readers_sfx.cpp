// The readers of Tar32's self-extracting program: those of Tar32.dll but xz, which the
// program's small libarchive is built without (Tar32 refuses to make a program of an xz
// archive). Alone in its object file: the xz reader of the DLL's set would otherwise come
// along.
#include <archive.h>

#include "standins/tar/tar.h"

namespace standin {

namespace {

bool EnableSfxLoneFileReaders(struct archive* reader) {
    return archive_read_support_filter_gzip(reader) == ARCHIVE_OK &&
           archive_read_support_filter_bzip2(reader) == ARCHIVE_OK &&
           archive_read_support_filter_compress(reader) == ARCHIVE_OK &&
           archive_read_support_format_raw(reader) == ARCHIVE_OK;
}

}  // namespace

void ListTarSfxStoredNames(const std::string& archive, std::set<std::string>& marked,
                           std::set<std::string>& unmarked) {
    ListTarNamesThrough(&EnableSfxLoneFileReaders, archive, marked, unmarked);
}

bool EnableTarSfxReaders(struct archive* reader) {
    return archive_read_support_filter_gzip(reader) == ARCHIVE_OK &&
           archive_read_support_filter_bzip2(reader) == ARCHIVE_OK &&
           archive_read_support_filter_compress(reader) == ARCHIVE_OK &&
           archive_read_support_format_tar(reader) == ARCHIVE_OK &&
           archive_read_support_format_raw(reader) == ARCHIVE_OK;
}

}  // namespace standin
