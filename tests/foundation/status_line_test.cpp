#include "foundation/status_line.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "foundation/session_flags.h"
#include "tests/support/log_capture.h"

namespace crv {
namespace {

class StatusLineTest : public ::testing::Test {
 protected:
  void TearDown() override {
    setStatusRepaintCallback(nullptr);
    clearErrorLine();
    clearStatusLine();
    setStatusClockSeconds(0);
  }
};

TEST_F(StatusLineTest, AnErrorLineHidesLaterStatusTexts) {
  testing::LogCapture log;
  setStatusLine("Scanning liveries", true);
  EXPECT_EQ(statusLineText(), "Scanning liveries");
  setErrorLine("41: CRVN must be run from the CRVN folder!");
  setStatusLine("ignored", true);
  EXPECT_EQ(statusLineText(), "") << "the error line empties the status text";
  EXPECT_EQ(errorLineText(), "41: CRVN must be run from the CRVN folder!");
  EXPECT_EQ(log.missing({"\nScanning liveries\n", "\nError 41: CRVN must be run from the CRVN folder!\n"}), "");
  EXPECT_FALSE(log.contains("ignored"));
  clearErrorLine();
  EXPECT_EQ(statusLineText(), "") << "the old status text does not come back";
  EXPECT_EQ(statusSetTime(), 0);
}

TEST_F(StatusLineTest, AnErrorShownWhileStoppingStaysOutOfTheLog) {
  testing::LogCapture log;
  raiseStop();
  setErrorLine("71: MSFS 2024 is running");
  clearStopRequest();
  EXPECT_EQ(errorLineText(), "71: MSFS 2024 is running");
  EXPECT_FALSE(log.contains("Error 71")) << log.text();
}

// A status text ages from when it was set, a new setting of the same text
// included; one set at second 0 counts as set at second 1.
TEST_F(StatusLineTest, AStatusTextIsClearedTwentyFiveSecondsAfterItWasSet) {
  struct Step {
    int second;
    const char* set;  // nullptr: nothing set this second
    bool cleared;
  };
  const Step steps[] = {{0, "a", false},   {1, nullptr, false}, {25, nullptr, false}, {26, nullptr, true},
                        {30, "b", false},  {50, "b", false},    {54, nullptr, false}, {70, nullptr, false},
                        {75, nullptr, true}, {80, "", false}, {200, nullptr, false}};
  for (const Step& step : steps) {
    setStatusClockSeconds(step.second);
    if (step.set != nullptr) setStatusLine(step.set);
    EXPECT_EQ(clearStatusLineOlderThan(25), step.cleared) << step.second;
  }
  setStatusClockSeconds(0);
  setStatusLine("stamped");
  EXPECT_EQ(statusSetTime(), 1);
  clearStatusLine();
  EXPECT_EQ(statusSetTime(), 0);
}

TEST_F(StatusLineTest, EveryChangeAsksForARepaint) {
  std::atomic<int> repaints{0};
  setStatusRepaintCallback([&repaints] { repaints.fetch_add(1); });
  setStatusLine("a");
  clearStatusLine();
  setErrorLine("e");
  EXPECT_EQ(repaints.load(), 3);
}

TEST_F(StatusLineTest, SafeFromManyThreads) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 300; ++i) {
        setStatusLine(std::string(20, static_cast<char>('a' + t)));
        const std::string shown = statusLineText();
        ASSERT_TRUE(shown.empty() || shown == std::string(20, shown[0]));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(statusLineText().size(), 20U);
}

}  // namespace
}  // namespace crv
