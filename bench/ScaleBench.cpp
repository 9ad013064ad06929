// Zibrak's own work on big drops, timed inside one process with the program's own code and
// the stand-in DLLs from this program's folder. It prints figures and judges nothing.
//   bench_scale.exe scale FILES ARCHIVES OUTPUT
//     For 1,000, 10,000 and 100,000 files: a real drop handle over FILES\f000000.txt...,
//     the FileList filled from it, the all-archives decision over the chain, and the LZH
//     command text; then the decision alone over as many ZIP archives, ARCHIVES\a000000.zip...,
//     where every file is tested against the chain.
//   bench_scale.exe job FILES COUNT OUTPUT
//     The whole job on a drop of COUNT files, compressed into OUTPUT, and the process's peak
//     working set before and after it.
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archivers/Chain.h"
#include "base/FileList.h"
#include "bench/BenchProcess.h"
#include "bench/BenchStats.h"
#include "jobs/Jobs.h"
#include "settings/Options.h"

namespace {

// A drop handle as the shell hands one over: DROPFILES and the names, each NUL-ended, in
// one movable block that DragFinish frees.
HDROP MakeDrop(const std::vector<std::string>& names) {
    size_t bytes = 1;
    for (const std::string& name : names) bytes += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    if (memory == nullptr) return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    char* out = reinterpret_cast<char*>(header) + sizeof(DROPFILES);
    for (const std::string& name : names) {
        std::memcpy(out, name.c_str(), name.size() + 1);
        out += name.size() + 1;
    }
    *out = '\0';
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::vector<std::string> NumberedNames(const std::string& folder, const char* pattern, int count) {
    std::vector<std::string> names;
    names.reserve(count);
    char name[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, pattern, i);
        names.push_back(folder + "\\" + name);
    }
    return names;
}

DllArchiver* FindLzhCompressor(const StrBuf& label) {
    for (Archiver* archiver = ArchiverChain; archiver; archiver = archiver->next)
        if (archiver->SupportsFormat(label)) return dynamic_cast<DllArchiver*>(archiver);
    return nullptr;
}

double PeakWorkingSetMiB() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return double(counters.PeakWorkingSetSize) / (1 << 20);
}

bool LoadChain() {
    SetDllDirectoryA(ProgramFolder().c_str());
    BuildArchiverChain();
    if (!Unlha32Loaded) std::printf("Unlha32.dll is not beside bench_scale.exe\n");
    return Unlha32Loaded;
}

struct ScaleFigures {
    double fill = 0, decide = 0, text = 0;
    size_t textBytes = 0;
};

bool TimeOrdinaryDrop(const std::vector<std::string>& names, const StrBuf& destination,
                      ScaleFigures& figures) {
    const StrBuf label("LH5(lzh)");
    DllArchiver* compressor = FindLzhCompressor(label);
    if (compressor == nullptr) return false;
    const HDROP drop = MakeDrop(names);
    if (drop == nullptr) return false;
    FileList files;
    const double start = NowSeconds();
    files.fillFromDrop(drop);
    const double filled = NowSeconds();
    const bool extraction = IsExtraction(files);
    const double decided = NowSeconds();
    std::string text;
    const bool built = compressor->BuildCompressCommand(label, files, destination, text);
    const double done = NowSeconds();
    figures = {filled - start, decided - filled, done - decided, text.size()};
    if (extraction || !built || files.count() != static_cast<int32_t>(names.size())) {
        std::printf("the drop of %u files went wrong\n", static_cast<unsigned>(names.size()));
        return false;
    }
    return true;
}

bool TimeArchiveDecision(const std::vector<std::string>& names, double& seconds) {
    const HDROP drop = MakeDrop(names);
    if (drop == nullptr) return false;
    FileList files;
    files.fillFromDrop(drop);
    const double start = NowSeconds();
    const bool extraction = IsExtraction(files);
    seconds = NowSeconds() - start;
    if (!extraction) std::printf("not every archive was recognised\n");
    return extraction;
}

int RunScale(const std::string& filesFolder, const std::string& archivesFolder,
             const std::string& output) {
    // The chain is every start's fixed cost: seven DLLs loaded, Zcrypt32.dll probed.
    const double beforeChain = NowSeconds();
    if (!LoadChain()) return 1;
    std::printf("chain     the seven archivers loaded in %.1f ms\n",
                (NowSeconds() - beforeChain) * 1e3);
    const StrBuf destination((output + "\\").c_str());
    std::printf("%-9s %7s %9s %9s %9s %9s %9s %11s\n", "scale", "files", "fill ms", "decide ms",
                "text ms", "total ms", "us/file", "text bytes");
    double perFile10k = 0, perFile100k = 0, decideAndText10k = 0;
    for (int count : {1000, 10000, 100000}) {
        const std::vector<std::string> names = NumberedNames(filesFolder, "f%06d.txt", count);
        const int runs = count < 100000 ? 5 : 3;
        std::vector<double> fill, decide, text, total;
        ScaleFigures figures;
        for (int run = 0; run < runs; ++run) {
            if (!TimeOrdinaryDrop(names, destination, figures)) return 1;
            fill.push_back(figures.fill);
            decide.push_back(figures.decide);
            text.push_back(figures.text);
            total.push_back(figures.fill + figures.decide + figures.text);
        }
        const double perFile = Median(total) / count;
        if (count == 10000) {
            perFile10k = perFile;
            std::vector<double> decideAndText;
            for (size_t i = 0; i < decide.size(); ++i) decideAndText.push_back(decide[i] + text[i]);
            decideAndText10k = Median(decideAndText);
        }
        if (count == 100000) perFile100k = perFile;
        std::printf("%-9s %7d %9.1f %9.1f %9.1f %9.1f %9.2f %11u\n", "scale", count,
                    Median(fill) * 1e3, Median(decide) * 1e3, Median(text) * 1e3,
                    Median(total) * 1e3, perFile * 1e6, static_cast<unsigned>(figures.textBytes));
        std::fflush(stdout);
    }
    std::printf("scale     10,000 files: decision and command text %.1f ms\n",
                decideAndText10k * 1e3);
    std::printf("scale     time per file at 100,000 / at 10,000: %.2f\n", perFile100k / perFile10k);

    std::printf("%-9s %7s %9s %9s\n", "archives", "files", "decide ms", "us/file");
    for (int count : {1000, 10000, 100000}) {
        const std::vector<std::string> names = NumberedNames(archivesFolder, "a%06d.zip", count);
        const int runs = count < 100000 ? 3 : 1;
        std::vector<double> decide;
        for (int run = 0; run < runs; ++run) {
            double seconds = 0;
            if (!TimeArchiveDecision(names, seconds)) return 1;
            decide.push_back(seconds);
        }
        std::printf("%-9s %7d %9.1f %9.2f\n", "archives", count, Median(decide) * 1e3,
                    Median(decide) / count * 1e6);
        std::fflush(stdout);
    }
    DestroyArchiverChain();
    return 0;
}

int RunWholeJob(const std::string& filesFolder, int count, const std::string& output) {
    const double atStart = PeakWorkingSetMiB();
    if (!LoadChain()) return 1;
    // The settings under which nothing but the archive happens: LH5 into OUTPUT, no question,
    // no Explorer window.
    Options.CompType = 0;
    Options.LzhType = 1;
    Options.MakeSFX = false;
    Options.CompDirType = 3;
    Options.CompPath.assign((output + "\\").c_str());
    Options.CompOverWrite = true;
    Options.CompWarn = false;
    Options.CompOpenDir = false;
    const std::string archive = output + "\\f000000.lzh";
    RemoveTree(archive);

    const double withChain = PeakWorkingSetMiB();
    FileList files;
    files.fillFromDrop(MakeDrop(NumberedNames(filesFolder, "f%06d.txt", count)));
    const double withList = PeakWorkingSetMiB();
    const double start = NowSeconds();
    RunJob(files);
    const double seconds = NowSeconds() - start;
    const double peak = PeakWorkingSetMiB();
    DestroyArchiverChain();
    if (!PathIsThere(archive)) {
        std::printf("the job on %d files wrote no %s\n", count, archive.c_str());
        return 1;
    }
    RemoveTree(archive);
    std::printf("memory    job on %d files: peak working set %.1f MiB; on the way: %.1f MiB "
                "before Zibrak's code ran, %.1f with the chain loaded, %.1f with the list "
                "filled; the job took %.0f ms\n",
                count, peak, atStart, withChain, withList, seconds * 1e3);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "scale" && argc == 5) return RunScale(argv[2], argv[3], argv[4]);
    if (mode == "job" && argc == 5) return RunWholeJob(argv[2], std::atoi(argv[3]), argv[4]);
    std::printf("usage: bench_scale scale FILES ARCHIVES OUTPUT | bench_scale job FILES COUNT OUTPUT\n");
    return 2;
}
