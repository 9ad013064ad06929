// The readers UnZip32.dll registers: ZIP through its central directory, so that an archive
// behind a self-extracting program and entries with data descriptors read as they should.
// Alone in its object file, so that no other DLL links them.
#include <archive.h>

#include "standins/zip/zip.h"

namespace standin {

bool EnableZipReaders(struct archive* reader) {
    return archive_read_support_format_zip_seekable(reader) == ARCHIVE_OK;
}

}  // namespace standin
