// The program inside every self-extracting archive the stand-ins write: it extracts the
// archive appended to itself into the folder given as its first argument, or else into the
// folder that holds it. It asks before replacing an existing file. It shows the family DLL's progress window,
// asks for a password when an entry needs one, and names what failed in a message box. The
// build makes one per family: the readers it registers are STANDIN_SFX_READERS
// (EnableLzhReaders, EnableZipReaders...), declared in the family's header
// STANDIN_SFX_HEADER, and STANDIN_SFX_DLL the DLL whose windows it shows (Unlha, UnZip,
// Cab, Tar).
#include <windows.h>

#include "standins/core/formats.h"
#include "standins/core/names.h"
#include "standins/extract/engine.h"
#include "standins/core/ui.h"
#include "standins/sfx/sfx.h"
#include STANDIN_SFX_HEADER

#if !defined(STANDIN_SFX_READERS) || !defined(STANDIN_SFX_DLL) || !defined(STANDIN_SFX_HEADER)
#error "STANDIN_SFX_READERS and STANDIN_SFX_DLL must name the family's readers and DLL"
#endif

namespace {

std::string OwnPath() {
    char buffer[MAX_PATH * 2];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();
    return std::string(buffer, n);
}

const standin::Dll kDll = standin::Dll::STANDIN_SFX_DLL;

const char kNoPayload[] = "このプログラムには書庫が付いていないか、書庫を読み出せません。";
const char kNoTemporary[] = "一時ファイルを作成できません。";

// A failure before any entry: the message box, and the exit code.
int Fail(const std::string& self, const char* reason) {
    standin::ShowFailure(kDll, standin::AnsiToUtf8(self + "\r\n\r\n" + reason));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string self = OwnPath();
    standin::ExtractJob job;
    if (argc > 1 && argv[1][0] != '\0') {
        job.destDir = argv[1];
    } else {
        size_t separator = standin::LastSeparatorIndex(self);
        job.destDir = separator == std::string::npos ? std::string() : self.substr(0, separator);
    }
    if (job.destDir.empty() ||
        standin::LastSeparatorIndex(job.destDir) + 1 != job.destDir.size()) {
        job.destDir += '\\';
    }
    standin::TemporaryFile temp;
    if (temp.path().empty()) return Fail(self, kNoTemporary);
    if (self.empty() || !standin::CopySfxPayload(self, temp.path())) return Fail(self, kNoPayload);
    standin::CreateParents(standin::AnsiToUtf8(job.destDir));
    job.archive = temp.path();
    job.enable = &standin::STANDIN_SFX_READERS;
#ifdef STANDIN_SFX_STORED_NAMES
    // How the archive's headers store each name, where libarchive's forms cannot tell.
    job.storedNames = &standin::STANDIN_SFX_STORED_NAMES;
#endif
    standin::ExtractResult result;
    {
        // Shown and asked under the program's own name: the copy in %TEMP% means nothing to
        // the user.
        standin::Progress progress(kDll, self);
        job.progress = [&](const std::string& entry, uint64_t done, uint64_t total) {
            return progress.update(entry, done, total);
        };
        job.askPassword = [&](const std::string& entry, std::string& password) {
            return standin::AskPassword(kDll, self, entry, false, password);
        };
        job.askOverwrite = [&](const std::string& entry) {
            return standin::AskOverwrite(kDll, self, entry);
        };
        result = standin::ExtractWithReaders(job);
    }
    // The user who pressed Cancel knows; a box would only be one more click.
    if (!result.cancelled && (!result.failures.empty() || !result.renamed.empty()))
        standin::ShowFailure(kDll, standin::DescribeFailures(self, result));
    return result.failures.empty() ? 0 : 1;
}
