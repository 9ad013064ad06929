// Zip32j.dll's commands: write a ZIP ("-e" encrypts it), or "--sfx" a self-extracting
// program of one.
#include "standins/command.h"
#include "standins/ui.h"

namespace standin {
namespace {

const char kReasonNoPassword[] = "パスワードが入力されていません";

}  // namespace

int RunZip(const std::string& text, std::string& message) {
    const Dll dll = Dll::Zip;
    Command command = ParseCommand(text);
    if (command.has("--sfx")) return MakeSfx(dll, command.arg(0), std::string(), message);
    std::string password;
    if (command.has("-e")) {
        // A script sets ARCHIVER_PASSWORD; a person is asked, twice to catch a typing slip.
        password = ArchivePassword();
        if (password.empty() && !AskPassword(dll, command.arg(0), std::string(), true, password)) {
            message = "cancelled";
            return kErrorUserCancel;
        }
        if (password.empty()) return Refuse(dll, command.arg(0), kReasonNoPassword, kErrorPassword, message);
    }
    std::vector<Item> items;
    int gathered = GatherFromArgs(dll, command, 0, items, message);
    if (gathered != kOk) return gathered;
    bool ok = password.empty() ? WriteZip(command.arg(0), items, true)
                               : WriteZipEncrypted(command.arg(0), items, true, password);
    return Written(dll, command.arg(0), ok, message);
}

}  // namespace standin
