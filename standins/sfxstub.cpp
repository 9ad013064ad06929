// The program inside every self-extracting archive the stand-ins write: it extracts the
// archive appended to itself into the folder given as its first argument, or else into the
// folder that holds it. Existing files are kept. The build makes one per family: the
// readers it registers are STANDIN_SFX_READERS (EnableLzhReaders, EnableZipReaders...).
#include <windows.h>

#include <cstdio>

#include "standins/command.h"
#include "standins/engine.h"

#ifndef STANDIN_SFX_READERS
#error "STANDIN_SFX_READERS must name the family's readers"
#endif

namespace {

std::string OwnPath() {
    char buffer[MAX_PATH * 2];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();
    return std::string(buffer, n);
}

// A temporary file removed when it goes out of scope.
class TempFile {
public:
    TempFile() {
        char dir[MAX_PATH];
        char name[MAX_PATH];
        DWORD n = GetTempPathA(sizeof dir, dir);
        if (n > 0 && n < sizeof dir && GetTempFileNameA(dir, "sfx", 0, name)) path_ = name;
    }
    ~TempFile() {
        if (!path_.empty()) DeleteFileA(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

int main(int argc, char** argv) {
    std::string self = OwnPath();
    std::string archive;
    if (self.empty() || !standin::ReadSfxPayload(self, archive)) {
        fprintf(stderr, "no archive is attached to this program\n");
        return 1;
    }
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
    TempFile temp;
    if (temp.path().empty() || !standin::WriteFileAtomically(temp.path(), archive)) {
        fprintf(stderr, "cannot write a temporary file\n");
        return 1;
    }
    standin::CreateParents(job.destDir);
    job.archive = temp.path();
    job.enable = &standin::STANDIN_SFX_READERS;
    standin::ExtractResult result = standin::ExtractWithReaders(job);
    for (const standin::Failure& f : result.failures)
        fprintf(stderr, "%s: %s\n", f.entry.c_str(), f.reason.c_str());
    if (!result.failures.empty()) return 1;
    printf("extracted into %s\n", job.destDir.c_str());
    return 0;
}
