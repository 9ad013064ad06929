#include "standins/codecs/tests/test_files.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

namespace codec_test {

namespace {

// A fixed generator, so every run archives the same bytes.
std::string randomBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::string textOf(size_t size) {
    static const char* const words[] = {"archive", "window ",  "huffman ", "stand-in ",
                                        "zibrak\n", "deflate ", "lz77 ",    "entry "};
    std::string text;
    uint32_t seed = 7;
    while (text.size() < size) {
        seed = seed * 1664525u + 1013904223u;
        text += words[seed >> 29];
    }
    // A random block repeated 20 KiB and 40 KiB later: matches far back in the window.
    std::string block = randomBytes(3000, 99);
    text.replace(1000, block.size(), block);
    text.replace(21000, block.size(), block);
    text.replace(41000, block.size(), block);
    text.resize(size);
    return text;
}

}  // namespace

std::vector<SampleFile> sampleFiles() {
    std::string repetitive;
    while (repetitive.size() < 200000) repetitive += "abcabcabd";
    return {
        {"empty", "", false},
        {"one", "x", false},
        {"repetitive", repetitive, false},
        {"random", randomBytes(70000, 1), false},
        {"text", textOf(300000), false},
        {"folder", "", true},
        {"folder/inner.txt", "inside a folder\n", false},
        {"folder/nothing", "", true},
        {"\x83\x65\x83\x58\x83\x67.txt", "Shift-JIS name", false},  // "テスト.txt"
    };
}

TempDir::TempDir() {
    char pattern[] = "/tmp/codec_test.XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
}

TempDir::~TempDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
}

void writeSampleFiles(const std::string& folder, const std::vector<SampleFile>& files) {
    for (const SampleFile& file : files) {
        std::string path = folder + "/" + file.name;
        if (file.directory) {
            mkdir(path.c_str(), 0755);
        } else {
            writeFile(path, file.bytes);
        }
    }
}

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

int runIn(const std::string& folder, const std::string& command) {
    std::string line = "cd '" + folder + "' && " + command + " >/dev/null 2>&1";
    return std::system(line.c_str());
}

std::string quotedTopNames(const std::vector<SampleFile>& files) {
    std::set<std::string> top;
    for (const SampleFile& file : files) top.insert(file.name.substr(0, file.name.find('/')));
    std::string args;
    for (const std::string& name : top) args += " '" + name + "'";
    return args;
}

}  // namespace codec_test
