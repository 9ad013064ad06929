// The readers Unrar32.dll registers: RAR 1.5-4.x and RAR 5. Alone in its object file, so
// that no other DLL links them.
#include <archive.h>

#include "standins/rar/rar.h"

namespace standin {

bool EnableRarReaders(struct archive* reader) {
    return archive_read_support_format_rar(reader) == ARCHIVE_OK &&
           archive_read_support_format_rar5(reader) == ARCHIVE_OK;
}

}  // namespace standin
