// The program inside every self-extracting archive the stand-ins write: it extracts the
// archive appended to itself into the folder given as its first argument, or else into the
// folder that holds it. Existing files are kept.
#include <windows.h>

#include <cstdio>

#include "standins/command.h"

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
    standin::ExtractOptions options;
    if (argc > 1 && argv[1][0] != '\0') {
        options.destDir = argv[1];
    } else {
        size_t separator = standin::LastSeparatorIndex(self);
        options.destDir =
            separator == std::string::npos ? std::string() : self.substr(0, separator);
    }
    if (standin::LastSeparatorIndex(options.destDir) + 1 != options.destDir.size() ||
        options.destDir.empty()) {
        options.destDir += '\\';
    }
    TempFile temp;
    if (temp.path().empty() || !standin::WriteFileAtomically(temp.path(), archive)) {
        fprintf(stderr, "cannot write a temporary file\n");
        return 1;
    }
    standin::CreateParents(options.destDir);
    standin::Kind kind = standin::DetectKind(temp.path());
    if (!standin::ExtractArchive(kind, temp.path(), options)) {
        fprintf(stderr, "the attached archive cannot be read\n");
        return 1;
    }
    printf("extracted into %s\n", options.destDir.c_str());
    return 0;
}
