// Unlha32.dll's commands: "a"/"u" add to an LZH archive, "e"/"x" extract, "s" writes a
// self-extracting program.
#include "standins/command.h"

namespace standin {

int RunUnlha(const std::string& text, std::string& message) {
    const Dll dll = Dll::Unlha;
    Command command = ParseCommand(text);
    std::string verb = command.arg(0);
    if (verb == "a" || verb == "u") {
        std::vector<Item> items;
        int gathered = GatherFromArgs(dll, command, 1, items, message);
        if (gathered != kOk) return gathered;
        return Written(dll, command.arg(1), WriteLzh(command.arg(1), items, true), message);
    }
    if (verb == "e" || verb == "x") {
        return ExtractCommand(dll, &EnableLzhReaders, command.arg(1), command.arg(2),
                              command.has("-m1"), message);
    }
    if (verb == "s") return MakeSfx(dll, command.arg(1), command.arg(2), message);
    return UnknownCommand(dll, text, message);
}

}  // namespace standin
