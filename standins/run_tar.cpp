// Tar32.dll's commands: "c..." writes a tar (with "z" a tar.gz), "x..." extracts a tar,
// a compressed tar or a lone compressed file, "--self-extracting=1" writes a program.
#include "standins/command.h"

namespace standin {
namespace {

const char kReasonNoBzip2[] = "BZIP2 形式の書庫はまだ作成できません";

}  // namespace

int RunTar(const std::string& text, std::string& message) {
    const Dll dll = Dll::Tar;
    Command command = ParseCommand(text);
    std::string letters = command.arg(0);
    bool create = letters.find('c') != std::string::npos;
    if (command.has("--self-extracting=1") && create) {
        return MakeSfx(dll, command.arg(1), command.arg(2), message);
    }
    if (create) {
        if (letters.find('B') != std::string::npos || letters.find('j') != std::string::npos) {
            return Refuse(dll, command.arg(1), kReasonNoBzip2, kErrorMethod, message);
        }
        std::vector<Item> items;
        int gathered = GatherFromArgs(dll, command, 1, items, message);
        if (gathered != kOk) return gathered;
        bool gzip = letters.find('z') != std::string::npos;
        return Written(dll, command.arg(1), WriteTar(command.arg(1), items, gzip), message);
    }
    if (letters.find('x') != std::string::npos) {
        return ExtractCommand(dll, &EnableTarReaders, command.arg(1), command.arg(2), false,
                              message);
    }
    return UnknownCommand(dll, text, message);
}

}  // namespace standin
