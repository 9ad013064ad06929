// Cab32.dll's commands: "-a" writes a cabinet, "-x" extracts ("-o" replaces existing files),
// "-f" writes a self-extracting program.
#include "standins/command.h"

namespace standin {

int RunCab(const std::string& text, std::string& message) {
    const Dll dll = Dll::Cab;
    Command command = ParseCommand(text);
    if (command.has("-a")) {
        std::vector<Item> items;
        int gathered = GatherFromArgs(dll, command, 0, items, message);
        if (gathered != kOk) return gathered;
        return Written(dll, command.arg(0), WriteCab(command.arg(0), items), message);
    }
    if (command.has("-x")) {
        return ExtractCommand(dll, &EnableCabReaders, command.arg(0), command.arg(1),
                              command.has("-o"), message);
    }
    if (command.has("-f")) return MakeSfx(dll, command.arg(0), command.arg(1), message);
    return UnknownCommand(dll, text, message);
}

}  // namespace standin
