// Unrar32.dll's command: "-x <archive> <destination>".
#include "standins/command/command.h"
#include "standins/rar/rar.h"

namespace standin {

int RunUnrar(const std::string& text, std::string& message) {
    Command command = ParseCommand(text);
    return ExtractCommand(Dll::Unrar, &EnableRarReaders, command.arg(0), command.arg(1), false,
                          message, &RarStoredCrc);
}

}  // namespace standin
