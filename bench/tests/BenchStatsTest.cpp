// The benchmark's arithmetic and its reading of the journal: a wrong median or a command
// taken from the wrong line would print plausible figures that measure the wrong thing.
#include <gtest/gtest.h>

#include "bench/BenchStats.h"

namespace {

TEST(Median, OddEvenEmptyAndUnsorted) {
    EXPECT_DOUBLE_EQ(Median({}), 0);
    EXPECT_DOUBLE_EQ(Median({4}), 4);
    EXPECT_DOUBLE_EQ(Median({9, 1, 5}), 5);
    EXPECT_DOUBLE_EQ(Median({8, 2, 6, 4}), 5);
    EXPECT_DOUBLE_EQ(Median({3, 3, 1, 7, 3}), 3);
}

TEST(SummarisePairs, RatiosArePairedBeforeTheMedian) {
    // One slow pair (a burst of load) moves the side medians little and the ratio not at all.
    const std::vector<double> a = {2.0, 2.2, 9.0, 2.1, 2.0};
    const std::vector<double> b = {1.0, 1.1, 4.5, 1.05, 1.0};
    const PairSummary summary = SummarisePairs(a, b);
    EXPECT_EQ(summary.pairs, 5u);
    EXPECT_DOUBLE_EQ(summary.medianA, 2.1);
    EXPECT_DOUBLE_EQ(summary.medianB, 1.05);
    EXPECT_DOUBLE_EQ(summary.medianRatio, 2.0);
    EXPECT_DOUBLE_EQ(summary.medianDifference, 1.05);
}

TEST(SummarisePairs, UnevenListsAndAZeroB) {
    const PairSummary summary = SummarisePairs({3, 4, 5}, {0, 2});
    EXPECT_EQ(summary.pairs, 2u);
    EXPECT_DOUBLE_EQ(summary.medianRatio, 2.0);  // the zero B is left out of the ratio
    EXPECT_DOUBLE_EQ(summary.medianDifference, 2.5);
    EXPECT_DOUBLE_EQ(summary.medianA, 3.5);
}

TEST(FindLastCommand, TakesTheLastCommandEntryAndNothingElse) {
    const std::string journal =
        "Unlha32.dll\tUnlhaGetVersion\t\r\n"
        "Unlha32.dll\tUnlhaCheckArchive\tC:\\d\\big.zip\r\n"
        "UnZip32.dll\tUnZipCheckArchive\tC:\\d\\big.zip\r\n"
        "UnZip32.dll\tUnZip\t-x \"C:\\d\\big.zip\" \"C:\\d\\big\\\"\r\n"
        "Tar32.dll\tTarCheckArchive\tC:\\d\\other.tgz\r\n";
    JournalCall call;
    ASSERT_TRUE(FindLastCommand(journal, call));
    EXPECT_EQ(call.dll, "UnZip32.dll");
    EXPECT_EQ(call.entry, "UnZip");
    EXPECT_EQ(call.argument, "-x \"C:\\d\\big.zip\" \"C:\\d\\big\\\"");
}

TEST(FindLastCommand, ArgumentKeepsItsTabsAndALastLineNeedsNoEnd) {
    JournalCall call;
    ASSERT_TRUE(FindLastCommand("Tar32.dll\tTar\tcvfz \"a\tb.tgz\" \"x\"", call));
    EXPECT_EQ(call.argument, "cvfz \"a\tb.tgz\" \"x\"");
}

TEST(FindLastCommand, NoCommandInTheJournal) {
    JournalCall call;
    EXPECT_FALSE(FindLastCommand("", call));
    EXPECT_FALSE(FindLastCommand("Cab32.dll\tCabCheckArchive\tC:\\x.cab\r\n", call));
    EXPECT_FALSE(FindLastCommand("a line without tabs\r\n\tUnlha\ttext\r\n", call));
}

}  // namespace
