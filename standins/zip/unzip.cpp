// UnZip32.dll's command: "-x <archive> <destination>", "-o" to replace existing files.
// The central directory is read first (overlapping entries, split and empty archives);
// libarchive then reads the archive, and Deflate64 entries, which it refuses, go to our own
// decoder.
#include "standins/command/command.h"
#include "standins/zip/zip.h"

namespace standin {

int RunUnZip(const std::string& text, std::string& message) {
    Command command = ParseCommand(text);
    ZipCentralDirectory directory;
    return ExtractCommand(
        Dll::UnZip, &EnableZipReaders, command.arg(0), command.arg(1), command.has("-o"),
        message, nullptr, nullptr,
        [&](uint64_t dataOffset, ByteSink& sink, CodecStatus& status) {
            return directory.decode(dataOffset, sink, status);
        },
        nullptr, &ListZipStoredNames,
        [&](const std::string& path, Failure& refusal) { return directory.check(path, refusal); });
}

}  // namespace standin
