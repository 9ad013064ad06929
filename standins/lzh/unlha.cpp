// Unlha32.dll's commands: "a"/"u" add to an LZH archive ("-jm0" stores, "-jm2" -lh5-,
// "-jm4" -lh7-), "e"/"x" extract, "s" writes a self-extracting program.
#include <windows.h>

#include "standins/command/command.h"
#include "standins/lzh/lzh.h"

namespace standin {
namespace {

// The method of "-jm<n>": 0 stores, 3 is -lh6-, 4 -lh7-; 2 is -lh5-, which also serves 1
// (-lh1-, which nothing here writes) and a text with no such switch, as LHA's default.
LzhPacking PackingOf(const Command& command) {
    LzhPacking packing = LzhPacking::lh5;
    for (const std::string& s : command.switches) {
        if (s.size() != 4 || CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, s.c_str(), 3,
                                            "-jm", 3) != CSTR_EQUAL)
            continue;
        switch (s[3]) {
        case '0': packing = LzhPacking::stored; break;
        case '3': packing = LzhPacking::lh6; break;
        case '4': packing = LzhPacking::lh7; break;
        default: packing = LzhPacking::lh5; break;
        }
    }
    return packing;
}

}  // namespace

int RunUnlha(const std::string& text, std::string& message) {
    const Dll dll = Dll::Unlha;
    Command command = ParseCommand(text);
    std::string verb = command.arg(0);
    if (verb == "a" || verb == "u") {
        WriteJob job;
        job.archive = command.arg(1);
        int gathered = GatherFromArgs(dll, command, 1, job.items, message);
        if (gathered != kOk) return gathered;
        LzhPacking packing = PackingOf(command);
        return WriteCommand(dll, std::move(job), [packing](const WriteJob& j) {
            return WriteLzhArchive(j, packing, true);
        }, message);
    }
    if (verb == "e" || verb == "x") {
        return ExtractCommand(dll, &EnableLzhReaders, command.arg(1), command.arg(2),
                              command.has("-m1"), message);
    }
    if (verb == "s") return MakeSfx(dll, command.arg(1), command.arg(2), message);
    return UnknownCommand(dll, text, message);
}

}  // namespace standin
