// The benchmark's arithmetic and its reading of the archiver journal: pure byte and number
// work, free of <windows.h>, so that it is tested like any other code.
#pragma once
#include <string>
#include <vector>

// The middle value; the mean of the two middle ones for an even count; 0 for none.
double Median(std::vector<double> values);

// A and B timed in turns. The ratio is taken pair by pair before the median, so that a
// burst of load from other processes spoils one pair rather than one side.
struct PairSummary {
    double medianA = 0;
    double medianB = 0;
    double medianRatio = 0;       // median of a[i] / b[i]
    double medianDifference = 0;  // median of a[i] - b[i]
    size_t pairs = 0;
};
// Pairs up to the shorter of the two lists; a pair whose B took no time is left out of the
// ratio (it would be infinite).
PairSummary SummarisePairs(const std::vector<double>& a, const std::vector<double>& b);

// One line of the stand-ins' journal: "<dll>\t<entry>\t<argument>\r\n".
struct JournalCall {
    std::string dll;
    std::string entry;
    std::string argument;
};
// The last call of a command entry (neither the archive test nor the version query) in the
// journal's text. False when there is none.
bool FindLastCommand(const std::string& journal, JournalCall& call);
