// Cab32.dll's commands: "-a" writes a cabinet ("-mz" MSZIP, "-ml21" LZX, else stored), "-x"
// extracts ("-o" replaces existing files), "-f" writes a self-extracting program.
#include "standins/command/command.h"
#include "standins/cab/cab.h"

namespace standin {

int RunCab(const std::string& text, std::string& message) {
    const Dll dll = Dll::Cab;
    Command command = ParseCommand(text);
    if (command.has("-a")) {
        // "-mz" MSZIP, "-ml21" LZX with a 2 MiB window; no method switch stores.
        CabMethod method = CabMethod::stored;
        if (command.has("-mz")) method = CabMethod::mszip;
        if (command.has("-ml21")) method = CabMethod::lzx21;
        WriteJob job;
        job.archive = command.arg(0);
        int gathered = GatherFromArgs(dll, command, 0, job.items, message);
        if (gathered != kOk) return gathered;
        return WriteCommand(dll, std::move(job), [method](const WriteJob& j) {
            return WriteCabArchive(j, method);
        }, message);
    }
    if (command.has("-x")) {
        return ExtractCommand(dll, &EnableCabReaders, command.arg(0), command.arg(1),
                              command.has("-o"), message, nullptr, nullptr, nullptr, nullptr,
                              &ListCabStoredNames);
    }
    if (command.has("-f")) return MakeSfx(dll, command.arg(0), command.arg(1), message);
    return UnknownCommand(dll, text, message);
}

}  // namespace standin
