// Unarj32j.dll's commands: "x" and "e" extract an ARJ archive, with the project's own
// decoder (methods 0-4, each entry's CRC-32 checked).
#include "standins/command/command.h"
#include "standins/arj/arj.h"

namespace standin {

int RunUnarj(const std::string& text, std::string& message) {
    const Dll dll = Dll::Unarj;
    Command command = ParseCommand(text);
    if (command.arg(0) != "x" && command.arg(0) != "e") return UnknownCommand(dll, text, message);
    return ExtractCommand(dll, nullptr, command.arg(1), command.arg(2), false, message, nullptr,
                          &WalkArj);
}

}  // namespace standin
