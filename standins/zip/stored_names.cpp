// UnZip32.dll's look at how each ZIP name is stored: libarchive decodes the names flagged
// UTF-8 and keeps the others as bytes, and for a name of Latin-1 letters alone its forms do
// not tell which it did. The central directory does.
#include "standins/codecs/zip_directory.h"
#include "standins/core/file_streams.h"
#include "standins/zip/zip.h"

namespace standin {

void ListZipStoredNames(const std::string& archive, std::set<std::string>& flagged,
                        std::set<std::string>& unflagged) {
    FileInput input(archive);
    if (!input.valid()) return;
    ZipDirectory directory(input);
    if (directory.open() != CodecStatus::ok) return;
    ZipEntry entry;
    while (directory.next(entry) == CodecStatus::ok) {
        (entry.utf8() ? flagged : unflagged).insert(entry.name);
    }
}

}  // namespace standin
