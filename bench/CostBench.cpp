// Times Zibrak.exe against the benchmark's bare programs, A and B in turns, in one Wine
// prefix. It prints figures and judges nothing.
//   bench_cost.exe job NAME PAIRS TARGET OUTPUT
//     A: Zibrak.exe "TARGET"; B: bench_driver.exe with the command text Zibrak sent in a
//     first, untimed run (read from the stand-ins' journal). OUTPUT (what the job makes)
//     is removed before every run and must be there after it.
//   bench_cost.exe startup PAIRS
//     A: Zibrak.exe with no file, until its settings window is shown and idle;
//     B: bench_dialog.exe, the same for an empty dialog ("empty"), then
//     bench_dialog_settings.exe, Zibrak's own template shown bare ("template").
// Both programs are taken from this program's folder.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchProcess.h"
#include "bench/BenchStats.h"

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

void PrintSummary(const char* kind, const char* name, const PairSummary& summary) {
    std::printf("%-8s %-12s pairs %2u   A %8.1f ms   B %8.1f ms   A/B %5.2f   A-B %+7.1f ms\n",
                kind, name, static_cast<unsigned>(summary.pairs), summary.medianA * 1e3,
                summary.medianB * 1e3, summary.medianRatio, summary.medianDifference * 1e3);
    std::fflush(stdout);
}

// One run of either side: clean, run, check that the job left its output.
bool RunSide(const std::string& commandLine, const std::string& output, double& seconds) {
    if (!RemoveTree(output)) {
        std::printf("cannot remove %s\n", output.c_str());
        return false;
    }
    DWORD exitCode = 0;
    if (!RunTimed(commandLine, seconds, exitCode)) {
        std::printf("did not finish: %s\n", commandLine.c_str());
        return false;
    }
    if (!PathIsThere(output)) {
        std::printf("no %s after: %s (exit code %lu)\n", output.c_str(), commandLine.c_str(),
                    static_cast<unsigned long>(exitCode));
        return false;
    }
    return true;
}

// Runs Zibrak once with the journal on and writes the last command it sent for the driver.
bool RecordCommand(const std::string& zibrak, const std::string& output,
                   const std::string& commandFile) {
    const std::string journal = ProgramFolder() + "bench-journal.txt";
    RemoveTree(journal);
    SetEnvironmentVariableA("ARCHIVER_JOURNAL", journal.c_str());
    double seconds = 0;
    const bool ran = RunSide(zibrak, output, seconds);
    // The timed runs write no journal: it would be work neither side does for a user.
    SetEnvironmentVariableA("ARCHIVER_JOURNAL", nullptr);
    std::string text;
    JournalCall call;
    if (!ran || !ReadWholeFile(journal, text) || !FindLastCommand(text, call)) {
        std::printf("no command in the journal %s\n", journal.c_str());
        return false;
    }
    RemoveTree(journal);
    return WriteWholeFile(commandFile, call.dll + "\n" + call.entry + "\n" + call.argument + "\n");
}

int RunJobPairs(const char* name, int pairs, const std::string& target, const std::string& output) {
    const std::string folder = ProgramFolder();
    const std::string zibrak = Quoted(folder + "Zibrak.exe") + " " + Quoted(target);
    const std::string commandFile = folder + "bench-command-" + name + ".txt";
    if (!RecordCommand(zibrak, output, commandFile)) return 1;
    const std::string driver = Quoted(folder + "bench_driver.exe") + " " + Quoted(commandFile);

    std::vector<double> a, b;
    for (int i = 0; i < pairs; ++i) {
        double secondsA = 0, secondsB = 0;
        // The order turns every pair, so that neither side always runs on a warmer cache.
        const bool aFirst = i % 2 == 0;
        if (aFirst && !RunSide(zibrak, output, secondsA)) return 1;
        if (!RunSide(driver, output, secondsB)) return 1;
        if (!aFirst && !RunSide(zibrak, output, secondsA)) return 1;
        a.push_back(secondsA);
        b.push_back(secondsB);
    }
    RemoveTree(output);
    RemoveTree(commandFile);
    PrintSummary("job", name, SummarisePairs(a, b));
    return 0;
}

// From the start until the first window is shown and the program waits for input.
bool TimeUntilIdle(const std::string& commandLine, double& seconds) {
    ChildProcess child;
    const double start = NowSeconds();
    if (!child.Start(commandLine)) return false;
    const DWORD waited = WaitForInputIdle(child.process(), 30000);
    seconds = NowSeconds() - start;
    // Ended by force: closing the window would run its closing work, which is not start-up.
    child.Terminate();
    if (waited != 0) std::printf("never idle: %s\n", commandLine.c_str());
    return waited == 0;
}

int RunStartupPairs(const char* name, const char* yardstick, int pairs) {
    const std::string folder = ProgramFolder();
    const std::string zibrak = Quoted(folder + "Zibrak.exe");
    const std::string dialog = Quoted(folder + yardstick);
    std::vector<double> a, b;
    for (int i = 0; i < pairs; ++i) {
        double secondsA = 0, secondsB = 0;
        const bool aFirst = i % 2 == 0;
        if (aFirst && !TimeUntilIdle(zibrak, secondsA)) return 1;
        if (!TimeUntilIdle(dialog, secondsB)) return 1;
        if (!aFirst && !TimeUntilIdle(zibrak, secondsA)) return 1;
        a.push_back(secondsA);
        b.push_back(secondsB);
    }
    PrintSummary("startup", name, SummarisePairs(a, b));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "job" && argc == 6) return RunJobPairs(argv[2], std::atoi(argv[3]), argv[4], argv[5]);
    if (mode == "startup" && argc == 3) {
        const int pairs = std::atoi(argv[2]);
        if (RunStartupPairs("empty", "bench_dialog.exe", pairs) != 0) return 1;
        return RunStartupPairs("template", "bench_dialog_settings.exe", pairs);
    }
    std::printf("usage: bench_cost job NAME PAIRS TARGET OUTPUT | bench_cost startup PAIRS\n");
    return 2;
}
