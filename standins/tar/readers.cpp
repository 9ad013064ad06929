// The readers Tar32.dll registers: tar (ustar, pax, GNU) plain or inside gzip, bzip2, xz or
// compress, and a lone compressed file, which libarchive's "raw" format hands over as one
// entry (tar outbids it whenever the stream holds a tar). Alone in its object file, so that
// no other DLL links them.
#include <archive.h>

#include "standins/tar/tar.h"

namespace standin {

bool EnableTarReaders(struct archive* reader) {
    return archive_read_support_filter_gzip(reader) == ARCHIVE_OK &&
           archive_read_support_filter_bzip2(reader) == ARCHIVE_OK &&
           archive_read_support_filter_xz(reader) == ARCHIVE_OK &&
           archive_read_support_filter_compress(reader) == ARCHIVE_OK &&
           archive_read_support_format_tar(reader) == ARCHIVE_OK &&
           archive_read_support_format_raw(reader) == ARCHIVE_OK;
}

bool EnableLoneFileReaders(struct archive* reader) {
    return archive_read_support_filter_gzip(reader) == ARCHIVE_OK &&
           archive_read_support_filter_bzip2(reader) == ARCHIVE_OK &&
           archive_read_support_filter_xz(reader) == ARCHIVE_OK &&
           archive_read_support_filter_compress(reader) == ARCHIVE_OK &&
           archive_read_support_format_raw(reader) == ARCHIVE_OK;
}

void ListTarStoredNames(const std::string& archive, std::set<std::string>& marked,
                        std::set<std::string>& unmarked) {
    ListTarNamesThrough(&EnableLoneFileReaders, archive, marked, unmarked);
}

}  // namespace standin
