// The readers Cab32.dll registers: Microsoft cabinets. Alone in its object file, so that no
// other DLL links them.
#include <archive.h>

#include "standins/cab/cab.h"

namespace standin {

bool EnableCabReaders(struct archive* reader) {
    return archive_read_support_format_cab(reader) == ARCHIVE_OK;
}

}  // namespace standin
