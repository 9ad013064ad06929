#include "bench/BenchStats.h"

#include <algorithm>

namespace {

bool EndsWith(const std::string& text, const char* tail) {
    const std::string suffix(tail);
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Splits one journal line at its first two tabs; the argument keeps any tab of its own.
bool ParseJournalLine(const std::string& line, JournalCall& call) {
    const size_t first = line.find('\t');
    if (first == std::string::npos) return false;
    const size_t second = line.find('\t', first + 1);
    if (second == std::string::npos) return false;
    call.dll = line.substr(0, first);
    call.entry = line.substr(first + 1, second - first - 1);
    call.argument = line.substr(second + 1);
    return !call.dll.empty() && !call.entry.empty();
}

}  // namespace

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + middle);
    return (lower + upper) / 2;
}

PairSummary SummarisePairs(const std::vector<double>& a, const std::vector<double>& b) {
    PairSummary summary;
    summary.pairs = std::min(a.size(), b.size());
    std::vector<double> ratios, differences;
    for (size_t i = 0; i < summary.pairs; ++i) {
        if (b[i] > 0) ratios.push_back(a[i] / b[i]);
        differences.push_back(a[i] - b[i]);
    }
    summary.medianA = Median(std::vector<double>(a.begin(), a.begin() + summary.pairs));
    summary.medianB = Median(std::vector<double>(b.begin(), b.begin() + summary.pairs));
    summary.medianRatio = Median(ratios);
    summary.medianDifference = Median(differences);
    return summary;
}

bool FindLastCommand(const std::string& journal, JournalCall& call) {
    bool found = false;
    size_t start = 0;
    while (start < journal.size()) {
        size_t end = journal.find('\n', start);
        if (end == std::string::npos) end = journal.size();
        std::string line = journal.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        JournalCall candidate;
        if (ParseJournalLine(line, candidate) && !EndsWith(candidate.entry, "CheckArchive") &&
            !EndsWith(candidate.entry, "GetVersion")) {
            call = candidate;
            found = true;
        }
        start = end + 1;
    }
    return found;
}
