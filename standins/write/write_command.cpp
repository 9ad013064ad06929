// Writing an archive on behalf of a DLL's command: the progress window, and the message box
// that names what failed.
#include "standins/command/command.h"
#include "standins/core/names.h"
#include "standins/core/ui.h"

namespace standin {
namespace {

const char kWriteFailureHeader[] = "書庫を作成できませんでした。";
const char kArchiveLabel[] = "書庫: ";

struct Reason {
    WriteError error;
    int code;
    const char* text;
};

const Reason kReasons[] = {
    {WriteError::cannotRead, kErrorFileOpen, "ファイルを読み込めません"},
    {WriteError::changed, kErrorFileOpen, "圧縮中にファイルの大きさが変わりました"},
    {WriteError::cannotWrite, kErrorCannotWrite, "書庫を書き込めません"},
    {WriteError::diskFull, kErrorDiskSpace, "ディスクの空き容量が足りません"},
    {WriteError::tooLarge, kErrorCannotWrite, "CAB 形式の上限 (2 GB) を超えるため作成できません"},
    {WriteError::cancelled, kErrorUserCancel, "中止しました"},
    {WriteError::outOfMemory, kErrorEnoughMemory, "メモリが足りません"},
};

const Reason& ReasonOf(WriteError error) {
    for (const Reason& r : kReasons) {
        if (r.error == error) return r;
    }
    return kReasons[2];
}

}  // namespace

int WriteCommand(Dll dll, WriteJob job, const ArchiveWriter& writer, std::string& message) {
    WriteResult result;
    {
        Progress progress(dll, job.archive);
        job.progress = [&](const std::string& entry, uint64_t done, uint64_t total) {
            return progress.update(entry, done, total);
        };
        result = writer(job);
    }
    if (result.ok()) {
        message = "archive written";
        return kOk;
    }
    const Reason& reason = ReasonOf(result.error);
    // The user who pressed Cancel knows; a box would only be one more click.
    if (result.error == WriteError::cancelled) {
        message = reason.text;
        return reason.code;
    }
    return RefuseWrite(dll, job.archive, result.entry, reason.text, reason.code, message);
}

int RefuseWrite(Dll dll, const std::string& archive, const std::string& entry,
                const char* reason, int code, std::string& message) {
    // entry is UTF-8 and shown as it is; the caller's message is in the code page.
    std::string head =
        std::string(kWriteFailureHeader) + "\r\n" + kArchiveLabel + archive + "\r\n\r\n";
    std::string shown = AnsiToUtf8(head);
    message = head;
    if (!entry.empty()) {
        shown += entry + ": ";
        message += Utf8ToAnsiLossy(entry) + ": ";
    }
    ShowFailure(dll, shown + AnsiToUtf8(reason));
    message += reason;
    return code;
}

}  // namespace standin
