// Unarj32j.dll's commands: "x" and "e" extract an ARJ archive.
#include "standins/command.h"

namespace standin {
namespace {

const char kReasonArjUnreadable[] = "書庫を読み込めません";

}  // namespace

int RunUnarj(const std::string& text, std::string& message) {
    const Dll dll = Dll::Unarj;
    Command command = ParseCommand(text);
    if (command.arg(0) != "x" && command.arg(0) != "e") return UnknownCommand(dll, text, message);
    const std::string archive = command.arg(1);
    std::string dest = command.arg(2);
    if (archive.empty() || dest.empty() || !ReadsKind(dll, DetectKind(archive))) {
        return Refuse(dll, archive, kReasonArjUnreadable, kErrorNotArcFile, message);
    }
    ExtractOptions options;
    options.destDir = LastSeparatorIndex(dest) + 1 == dest.size() ? dest : dest + "\\";
    CreateParents(options.destDir);
    if (!ExtractArj(archive, options)) {
        return Refuse(dll, archive, kReasonArjUnreadable, kErrorHeaderBroken, message);
    }
    message = "extracted";
    return kOk;
}

}  // namespace standin
