#include "foundation/status_line.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/support/log_capture.h"

namespace crv {
namespace {

class StatusLineTest : public ::testing::Test {
 protected:
  void TearDown() override {
    setStatusRepaintCallback(nullptr);
    clearErrorLine();
    clearStatusLine();
  }
};

TEST_F(StatusLineTest, AnErrorLineHidesLaterStatusTexts) {
  testing::LogCapture log;
  setStatusLine("Scanning liveries", true);
  EXPECT_EQ(statusLineText(), "Scanning liveries");
  setErrorLine("41: CRVN must be run from the CRVN folder!");
  setStatusLine("ignored", true);
  EXPECT_EQ(statusLineText(), "Scanning liveries");
  EXPECT_EQ(errorLineText(), "41: CRVN must be run from the CRVN folder!");
  EXPECT_EQ(log.missing({"\nScanning liveries\n", "\nError 41: CRVN must be run from the CRVN folder!\n"}), "");
  EXPECT_FALSE(log.contains("ignored"));
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
