// UnZip32.dll's command: "-x <archive> <destination>", "-o" to replace existing files.
// libarchive reads the archive; Deflate64 entries, which it refuses, go to our own decoder.
#include "standins/command/command.h"
#include "standins/zip/zip.h"

namespace standin {

int RunUnZip(const std::string& text, std::string& message) {
    Command command = ParseCommand(text);
    return ExtractCommand(Dll::UnZip, &EnableZipReaders, command.arg(0), command.arg(1),
                          command.has("-o"), message, nullptr, nullptr, &DecodeZipRefused, nullptr,
                          &ListZipStoredNames);
}

}  // namespace standin
