// The readers Unlha32.dll registers: LZH archives. Alone in its object file, so that no
// other DLL links them.
#include <archive.h>

#include "standins/lzh/lzh.h"

namespace standin {

bool EnableLzhReaders(struct archive* reader) {
    return archive_read_support_format_lha(reader) == ARCHIVE_OK;
}

}  // namespace standin
