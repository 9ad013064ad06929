// The command texts the archivers send, built by the real chain's archivers over stand-in
// DLLs that record what they receive: Compress with any number of paths, CompressSfx and
// Extract. Paths are any bytes but '"' and NUL, which no Windows name holds. Checks:
// - the text is the template with each %s replaced once, and nothing else changed;
// - every path is in quotes, one space after each item of the file list, which starts
//   with the base folder; each entry is named relative to the base folder exactly when it
//   lies in it (letters compared without regard to case) and gets "\\*.*" exactly when
//   the disk holds a folder there;
// - the archive is the destination, the base name, '.' and the label's extension;
// - CompressSfx writes into the temporary folder, then issues its own template there,
//   deletes the temporary archive and moves the program to the destination;
// - Extract puts the overwrite switch of the archiver's place before the template.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "archivers/Chain.h"
#include "archivers/CommandText.h"
#include "base/Paths.h"
#include "fuzz/native/StandIn.h"
#include "fuzz/program/Check.h"

namespace {

const char* const kLabels[] = {"LH0(lzh)",   "LH5(lzh)",    "LH7(lzh)",
                               "ZIP_6(zip)", "ZIP_Cr(ZCr)", "MSZIP(cab)",
                               "LZX_21(cab)", "GZIP_6(tgz)", "BZIP2_9(bz2)"};

std::string PathFrom(FuzzedDataProvider& input, size_t longest) {
    std::string path = input.ConsumeRandomLengthString(longest);
    std::string clean;
    for (char c : path)
        if (c != '"' && c != '\0') clean += c;
    return clean;
}

std::string Quoted(const std::string& path) { return '"' + path + '"'; }

// The template with its %s replaced in order, written out here without FillTemplate.
std::string Filled(const std::string& form, const std::string& first, const std::string& second) {
    std::string text;
    int used = 0;
    for (size_t i = 0; i < form.size(); ++i) {
        if (form.compare(i, 2, "%s") == 0) {
            text += used++ == 0 ? first : second;
            ++i;
        } else {
            text += form[i];
        }
    }
    return text;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (IsLeadByte(a[i]) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

bool IsFolderOnDisk(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Checks the file-list argument item by item.
void CheckFileList(const std::string& list, const FileList& files) {
    const std::string baseDirectory = ArchiveBaseDirectory(files.at(0).text());
    size_t at = 0;
    for (int32_t item = -1; item < files.count(); ++item) {
        Require(at < list.size() && list[at] == '"', "an item opens with a quote");
        const size_t close = list.find('"', at + 1);
        Require(close != std::string::npos, "an item closes with a quote");
        Require(close + 1 < list.size() && list[close + 1] == ' ', "a space after each item");
        const std::string name = list.substr(at + 1, close - at - 1);
        at = close + 2;
        if (item < 0) {
            Require(name == baseDirectory, "the list starts with the base folder");
            continue;
        }
        const std::string entry = files.at(item).text();
        std::string plain = name;
        const bool folder = IsFolderOnDisk(entry.c_str());
        if (folder) {
            Require(name.size() >= 4 && name.compare(name.size() - 4, 4, "\\*.*") == 0,
                    "a folder is listed with \\*.*");
            plain.resize(name.size() - 4);
        }
        const bool inBase = entry.size() >= baseDirectory.size() &&
                            SameIgnoringAsciiCase(entry.substr(0, baseDirectory.size()), baseDirectory);
        Require(plain == (inBase ? entry.substr(baseDirectory.size()) : entry),
                "an entry is relative exactly when it lies in the base folder");
    }
    Require(at == list.size(), "nothing after the last item");
}

void CheckCompress(const std::string& text, const DllArchiver& archiver, int slot,
                   const FileList& files, const std::string& destination) {
    const std::string form = archiver.compressTemplates[slot].text();
    const size_t first = form.find("%s");
    const size_t second = form.find("%s", first + 2);
    Require(second != std::string::npos && form.find("%s", second + 2) == std::string::npos,
            "a compress template has two %s");
    const std::string archive = destination + ArchiveBaseName(files.at(0).text()) + "." +
                                archiver.extensions[slot].text();
    const std::string head = form.substr(0, first) + Quoted(archive) +
                             form.substr(first + 2, second - first - 2);
    const std::string tail = form.substr(second + 2);
    Require(text.size() >= head.size() + tail.size() && text.compare(0, head.size(), head) == 0 &&
                text.compare(text.size() - tail.size(), tail.size(), tail) == 0,
            "the archive in quotes where the template puts it");
    CheckFileList(text.substr(head.size(), text.size() - head.size() - tail.size()), files);
}

std::vector<DllArchiver*> Chain() {
    static const std::vector<DllArchiver*> chain = [] {
        standin::ResetArchivers({});
        BuildArchiverChain();
        std::vector<DllArchiver*> all;
        for (Archiver* a = ArchiverChain; a != nullptr; a = a->next)
            all.push_back(static_cast<DllArchiver*>(a));
        Require(all.size() == 7, "seven archivers");
        return all;
    }();
    return chain;
}

const char* SwitchAt(int32_t place) {
    if (place == 1) return " -m1 ";
    if (place == 2 || place == 4) return " -o ";
    return "";
}

void FuzzExtract(FuzzedDataProvider& input) {
    const std::string archive = PathFrom(input, 300);
    const std::string destination = PathFrom(input, 300);
    const bool overwrite = input.ConsumeBool();
    const std::vector<DllArchiver*> chain = Chain();
    for (size_t i = 0; i < chain.size(); ++i) {
        DllArchiver& archiver = *chain[i];
        const int32_t place = input.ConsumeBool() ? static_cast<int32_t>(i + 1)
                                                  : input.ConsumeIntegral<int32_t>();
        standin::ClearCommands();
        const bool issued = archiver.Extract(StrBuf(archive.c_str()), StrBuf(destination.c_str()),
                                             place, overwrite);
        Require(issued == (archiver.extractTemplate.length() > 0), "Extract issues a command");
        if (!issued) continue;
        Require(standin::Commands().size() == 1, "one command per extraction");
        const std::string expected =
            Filled(std::string(overwrite ? SwitchAt(place) : "") + archiver.extractTemplate.text(),
                   Quoted(archive), Quoted(destination));
        Require(standin::Commands()[0].text == expected, "the extract text");
        Require(standin::Commands()[0].dll == archiver.dllName.text(), "sent to its own DLL");
    }
}

void FuzzCompress(FuzzedDataProvider& input) {
    std::string destination = PathFrom(input, 200);
    if (destination.empty() || destination.back() != '\\') destination += '\\';
    const std::string temp = PathFrom(input, 100);
    standin::SetTempFolder(temp.empty() ? "C:\\Temp" : temp);
    const std::string tempFolder = (temp.empty() ? "C:\\Temp" : temp) + "\\";
    const size_t labelIndex = input.ConsumeIntegralInRange<size_t>(0, 9);
    const std::string label = labelIndex < 9 ? kLabels[labelIndex] : PathFrom(input, 20);
    const bool sfx = input.ConsumeBool();
    // Now and then a list of thousands: the last path again and again.
    const size_t repeats =
        input.ConsumeIntegral<uint8_t>() == 0xFF ? input.ConsumeIntegralInRange<size_t>(0, 5000) : 0;

    standin::ClearDisk();
    FileList files;
    std::string last;
    while (input.remaining_bytes() > 0 || files.count() == 0) {
        last = PathFrom(input, 120);
        const bool folder = input.ConsumeBool();
        const size_t name = static_cast<size_t>(LastSeparator(last.c_str()) + 1);
        standin::PutOnDisk(last, {folder ? FILE_ATTRIBUTE_DIRECTORY | 0x27u : 0x20u,
                                  last.substr(name), 1});
        files.add(last.c_str());
    }
    for (size_t i = 0; i < repeats; ++i) files.add(last.c_str());

    DllArchiver* archiver = nullptr;
    int slot = -1;
    for (DllArchiver* candidate : Chain()) {
        if (!candidate->SupportsFormat(StrBuf(label.c_str()))) continue;
        archiver = candidate;
        for (int s = 0; s < candidate->formatCount; ++s)
            if (label == candidate->labels[s].text()) slot = s;
        break;
    }
    standin::ClearCommands();
    if (archiver == nullptr) {
        for (DllArchiver* candidate : Chain())
            Require(!candidate->Compress(StrBuf(label.c_str()), files, StrBuf(destination.c_str())),
                    "no archiver compresses a text that is not its label");
        Require(standin::Commands().empty(), "nothing issued for a foreign label");
        return;
    }
    Require(slot >= 0, "a supported label has its slot");

    if (!(sfx && archiver->CanMakeSfx())) {
        Require(archiver->Compress(StrBuf(label.c_str()), files, StrBuf(destination.c_str())),
                "Compress issues its command");
        Require(standin::Commands().size() == 1, "one command per compression");
        CheckCompress(standin::Commands()[0].text, *archiver, slot, files, destination);
        return;
    }

    Require(archiver->CompressSfx(StrBuf(label.c_str()), files, StrBuf(destination.c_str())),
            "CompressSfx issues its commands");
    Require(standin::Commands().size() == 2, "two commands for a self-extracting archive");
    CheckCompress(standin::Commands()[0].text, *archiver, slot, files, tempFolder);
    const std::string baseName = ArchiveBaseName(files.at(0).text());
    const std::string tempArchive = tempFolder + baseName + "." + archiver->extensions[slot].text();
    const std::string tempProgram = tempFolder + baseName + ".exe";
    Require(standin::Commands()[1].text ==
                Filled(archiver->sfxTemplate.text(), Quoted(tempArchive), Quoted(tempFolder)),
            "the self-extracting text names the temporary archive and folder");
    const std::vector<std::string>& operations = standin::FileOperations();
    Require(!operations.empty() && operations.back() == "move " + tempProgram + " > " +
                                                             destination + baseName + ".exe",
            "the program moves from the temporary folder to the destination");
    Require(operations.size() >= 2 && operations[operations.size() - 2] == "delete " + tempArchive,
            "the temporary archive is deleted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool())
        FuzzExtract(input);
    else
        FuzzCompress(input);
    return 0;
}
