// The livery-match summary in the log.

#include <gtest/gtest.h>

#include <string>

#include "aircraftdata/match_summary.h"
#include "tests/aircraftdata/dbase_test_files.h"

namespace crv {
namespace {

TEST(MatchSummaryTest, CountsGrowAcrossSessionsAndRefusedTitlesAreListed) {
  const std::string opening = "\n" + std::string(31, '*') + " live traffic livery matching summary " + std::string(31, '*');
  MatchStepCounters counters;
  const testing::LogCapture log;
  writeLiveryMatchSummary(counters, {});
  counters.increment(2);
  counters.increment(2);
  counters.increment(6);
  writeLiveryMatchSummary(counters, {"  B744 KLM Title one", "  A320 DLH Title two"});
  const std::string expected = opening + "\nMatches at step: \n  1: 0\n  2: 0\n  3: 0\n  4: 0\n  5: 0\n  6: 0\n" +
                                 std::string(100, '*') + "\n\n" + opening +
                                 "\nMatches at step: \n  1: 0\n  2: 2\n  3: 0\n  4: 0\n  5: 0\n  6: 1\n\n"
                                 "Could not be created by MSFS:\n  B744 KLM Title one\n  A320 DLH Title two\n" +
                                 std::string(100, '*') + "\n\n";
  EXPECT_EQ(testing::missingPieces(log.text(), {expected}), "");
  EXPECT_THROW(counters.increment(0), std::out_of_range);
  EXPECT_THROW(counters.count(7), std::out_of_range);
}

}  // namespace
}  // namespace crv
