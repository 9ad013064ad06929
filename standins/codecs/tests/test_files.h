// The data set the codec tests archive with Debian's tools, and the little file handling
// they need around those tools.
#pragma once
#include <string>
#include <vector>

namespace codec_test {

struct SampleFile {
    std::string name;  // relative, '/'-separated, in the bytes the archive should store
    std::string bytes;
    bool directory = false;
};

// Empty, one byte, highly repetitive, random, text larger than both windows with matches
// far back, a folder with a file and an empty folder, and a Shift-JIS name.
std::vector<SampleFile> sampleFiles();

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void writeSampleFiles(const std::string& folder, const std::vector<SampleFile>& files);
bool readFile(const std::string& path, std::string& bytes);
void writeFile(const std::string& path, const std::string& bytes);
// Runs a shell command in folder with its output discarded; the exit code.
int runIn(const std::string& folder, const std::string& command);
// The command-line arguments naming files' top-level names, each quoted for the shell.
std::string quotedTopNames(const std::vector<SampleFile>& files);

}  // namespace codec_test
