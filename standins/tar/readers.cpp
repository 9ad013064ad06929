// The readers Tar32.dll registers: tar (ustar, pax, GNU), 7z, ISO 9660 (with Joliet and
// Rock Ridge names), cpio and ar (Debian packages; detection keeps other ar files away),
// plain or inside gzip, bzip2, xz, compress, zstd, lz4 or lzip, and a lone compressed file,
// which libarchive's "raw" format hands over as one entry (every other format outbids it
// whenever the stream holds an archive). Alone in its object file, so that no other DLL
// links them.
#include <archive.h>

#include "standins/tar/tar.h"

namespace standin {
namespace {

bool EnableFilters(struct archive* reader) {
    return archive_read_support_filter_gzip(reader) == ARCHIVE_OK &&
           archive_read_support_filter_bzip2(reader) == ARCHIVE_OK &&
           archive_read_support_filter_xz(reader) == ARCHIVE_OK &&
           archive_read_support_filter_lzip(reader) == ARCHIVE_OK &&
           archive_read_support_filter_compress(reader) == ARCHIVE_OK &&
           archive_read_support_filter_zstd(reader) == ARCHIVE_OK &&
           archive_read_support_filter_lz4(reader) == ARCHIVE_OK;
}

}  // namespace

bool EnableTarReaders(struct archive* reader) {
    return EnableFilters(reader) && archive_read_support_format_tar(reader) == ARCHIVE_OK &&
           archive_read_support_format_7zip(reader) == ARCHIVE_OK &&
           archive_read_support_format_iso9660(reader) == ARCHIVE_OK &&
           archive_read_support_format_cpio(reader) == ARCHIVE_OK &&
           archive_read_support_format_ar(reader) == ARCHIVE_OK &&
           archive_read_support_format_raw(reader) == ARCHIVE_OK;
}

bool EnableLoneFileReaders(struct archive* reader) {
    return EnableFilters(reader) && archive_read_support_format_raw(reader) == ARCHIVE_OK;
}

void ListTarStoredNames(const std::string& archive, std::set<std::string>& marked,
                        std::set<std::string>& unmarked) {
    ListTarNamesThrough(&EnableLoneFileReaders, archive, marked, unmarked);
}

}  // namespace standin
