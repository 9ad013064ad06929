// SplitPath and the archive's base-name and base-folder rules. Checks, for any bytes:
// - every part fits its 256 bytes, never ends inside a double-byte character, and the
//   parts put together give the path back when nothing had to be cut;
// - the folder part ends in a real separator, the name has none, and the extension is
//   the name's last '.' onwards;
// - the base folder and the file name of the archive rules make up the path, the base
//   name is the file name up to its last '.', and both agree with SplitPath.
#include <string>

#include "archivers/CommandText.h"
#include "base/Paths.h"
#include "fuzz/program/Check.h"

namespace {

void CheckPart(const char (&part)[256]) {
    const size_t length = strnlen(part, sizeof part);
    Require(length <= 255, "a part keeps its NUL within 256 bytes");
    Require(!EndsInLoneLead(std::string(part, length)), "a part ends on a whole character");
}

bool HasSeparatorCharacter(const std::string& text) {
    for (size_t at = 0; at < text.size(); at += IsLeadByte(text[at]) ? 2 : 1)
        if (text[at] == '\\' || text[at] == '/') return true;
    return false;
}

size_t DotCharacters(const std::string& text) {
    size_t dots = 0;
    for (size_t at = 0; at < text.size(); at += IsLeadByte(text[at]) ? 2 : 1)
        if (text[at] == '.') ++dots;
    return dots;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = TextOf(data, size);
    const PathParts parts = SplitPath(path.c_str());
    CheckPart(parts.drive);
    CheckPart(parts.dir);
    CheckPart(parts.base);
    CheckPart(parts.ext);
    const std::string drive = parts.drive, dir = parts.dir, base = parts.base, ext = parts.ext;

    Require(drive.empty() || (drive.size() == 2 && drive[1] == ':'), "the drive is X:");
    Require(ext.empty() || (ext[0] == '.' && DotCharacters(ext) == 1),
            "the extension is one '.' and what follows it");

    // Nothing cut: each piece is shorter than its part's limit and whole characters.
    const bool whole = path.size() < 250 && !EndsInLoneLead(path);
    if (whole) {
        Require(drive + dir + base + ext == path, "the parts make up the path");
        Require(dir.empty() || LastSeparator(dir.c_str()) == static_cast<int>(dir.size()) - 1,
                "the folder ends in a separator");
        Require(!HasSeparatorCharacter(base + ext), "the name holds no separator");
        Require(!ext.empty() || DotCharacters(base) == 0, "a name with a '.' has an extension");
    }

    const std::string baseDirectory = ArchiveBaseDirectory(path.c_str());
    const std::string baseName = ArchiveBaseName(path.c_str());
    Require(path.compare(0, baseDirectory.size(), baseDirectory) == 0,
            "the base folder is the path's start");
    const std::string fileName = path.substr(baseDirectory.size());
    Require(!HasSeparatorCharacter(fileName), "the file name holds no separator");
    Require(baseDirectory.empty() ||
                ((baseDirectory.back() == '\\' || baseDirectory.back() == '/') &&
                 StartsCharacter(path, baseDirectory.size() - 1)),
            "the base folder ends in a separator");
    Require(fileName.compare(0, baseName.size(), baseName) == 0,
            "the base name is the file name's start");
    if (baseName.size() == fileName.size()) {
        Require(DotCharacters(fileName) == 0, "the whole file name only when it has no '.'");
    } else {
        Require(fileName[baseName.size()] == '.' && StartsCharacter(fileName, baseName.size()) &&
                    DotCharacters(fileName.substr(baseName.size())) == 1,
                "the base name stops at the last '.'");
    }

    // The archive rules see a drive as part of the folder ("C:a" has none); SplitPath
    // takes it apart.
    if (whole && drive.empty()) {
        Require(drive + dir == baseDirectory, "both agree on the folder");
        Require(base == baseName, "both agree on the base name");
    }
    return 0;
}
