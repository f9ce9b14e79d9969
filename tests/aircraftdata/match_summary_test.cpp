// The livery-match summary in the log.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aircraftdata/match_summary.h"
#include "tests/aircraftdata/dbase_test_files.h"

namespace crv {
namespace {

const std::string kOpening = "\n" + std::string(31, '*') + " live traffic livery matching summary " + std::string(31, '*');
const std::string kClosing = std::string(100, '*') + "\n";

TEST(MatchSummaryTest, BeforeAnyMatchEveryStepShowsZeroAndNoTitleLines) {
  const MatchStepCounters counters;
  EXPECT_EQ(liveryMatchSummaryLines(counters, {}),
            (std::vector<std::string>{kOpening, "Matches at step: ", "  1: 0", "  2: 0", "  3: 0", "  4: 0", "  5: 0",
                                      "  6: 0", kClosing}));
}

TEST(MatchSummaryTest, CountsGrowAcrossSessionsAndRefusedTitlesAreListed) {
  MatchStepCounters counters;
  counters.increment(2);
  counters.increment(2);
  const testing::LogCapture log;
  writeLiveryMatchSummary(counters, {});
  counters.increment(2);
  counters.increment(6);
  writeLiveryMatchSummary(counters, {"  B744 KLM Title one", "  A320 DLH Title two"});
  const std::string text = log.text();
  EXPECT_EQ(testing::missingPieces(text, {"  2: 2\n", "  2: 3\n  3: 0\n  4: 0\n  5: 0\n  6: 1\n\nCould not be created by MSFS:\n"
                                                    "  B744 KLM Title one\n  A320 DLH Title two\n" + kClosing + "\n"}),
            "");
  EXPECT_THROW(counters.increment(0), std::out_of_range);
  EXPECT_THROW(counters.count(7), std::out_of_range);
}

}  // namespace
}  // namespace crv
