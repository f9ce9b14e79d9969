// The stop protocol, the revisit hold, the interruptible waits, the
// worker's hand-over of requests from the user-interface thread, and an
// exception while closing down.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "app/exit_reason.h"
#include "app/session.h"
#include "app/session_clock.h"
#include "foundation/session_flags.h"
#include "tests/app/program_harness.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

class StopProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override { end.reset(); }
  void TearDown() override { end.reset(); }
  SessionEnd end;
};

TEST_F(StopProtocolTest, TheFirstOfManyRaisersWinsWithItsReasonAndDelay) {
  std::vector<std::thread> raisers;
  std::atomic<int> winners{0};
  for (const auto& [reason, delay] : {std::pair{ExitReason::simconnectError, 9}, {ExitReason::readerError, 15},
                                      {ExitReason::newSettings, 3}, {ExitReason::simWasClosed, 0}}) {
    raisers.emplace_back([&, reason = reason, delay = delay] { winners += end.endSession(reason, delay) ? 1 : 0; });
  }
  for (std::thread& raiser : raisers) {
    raiser.join();
  }
  EXPECT_EQ(winners.load(), 1);
  EXPECT_TRUE(stopRequested());
  const ExitReason reason = end.reason();
  EXPECT_NE(reason, ExitReason::notYetSet);
  if (restartsAfter(reason)) {
    EXPECT_EQ(end.restartDelaySeconds(), reason == ExitReason::simconnectError ? 9
                                         : reason == ExitReason::readerError   ? 15
                                                                               : 3);
  }
}

TEST_F(StopProtocolTest, TheCloseBoxKeepsAReasonAlreadySetAndCountsItsClicks) {
  end.endSession(ExitReason::readerError, kRestartAfterReaderError);
  end.userClosed();
  EXPECT_EQ(end.reason(), ExitReason::readerError);
  EXPECT_TRUE(userClosedWindow());
  EXPECT_EQ(end.closeClicks(), 1U);

  end.reset();
  end.userClosed();
  EXPECT_EQ(end.reason(), ExitReason::userClosedSim);
}

TEST(RevisitHoldTest, HoldsOnlyTheSecondsLeftOfTwoAndNeverMore) {
  const std::pair<std::int64_t, std::int64_t> cases[] = {
      {0, 2}, {1, 1}, {2, 0}, {1'765'000'000, 0},
      // A stored time in the future, as after the clock was set back, or
      // far beyond any 32-bit difference.
      {-5, 2}, {-4'000'000'000, 2}, {INT64_MIN + 1, 2}};
  for (const auto& [elapsed, hold] : cases) {
    EXPECT_EQ(revisitHoldSeconds(elapsed), hold) << elapsed;
  }
}

// A time of the test's own: each sleep moves it on by the slice asked for.
class TestTime {
 public:
  RealTime realTime() {
    return {[this] { return now; },
            [this](std::chrono::steady_clock::duration slice) {
              longestSlice = std::max(longestSlice, slice);
              now += slice;
            }};
  }
  std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
  std::chrono::steady_clock::duration longestSlice{0};
};

TEST(SessionClockTest, AWaitWakesWithinATenthOfASecondOfAStop) {
  TestTime time;
  const SessionClock clock(1.0, time.realTime());
  const auto stopAt = time.now + 1234ms;
  EXPECT_FALSE(clock.waitFor(std::chrono::hours(1), [&] { return time.now >= stopAt; }));
  EXPECT_LE(time.now - stopAt, SessionClock::kLongestSlice);
  EXPECT_LE(time.longestSlice, SessionClock::kLongestSlice);
}

TEST(SessionClockTest, ASpedUpClockWaitsItsShareOfTheTime) {
  TestTime time;
  const SessionClock clock(100.0, time.realTime());
  const auto start = time.now;
  EXPECT_TRUE(clock.waitFor(std::chrono::seconds(10), {}));
  EXPECT_EQ(time.now - start, 100ms);
  EXPECT_EQ(clock.elapsed(), std::chrono::seconds(10));
}

TEST(SessionWorkerTest, RequestsFromOtherThreadsRunOnTheWorkerAndStaleIdentityChecksAreDropped) {
  ProgramHarness harness;
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning());
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return harness.session().display().liveKnown.load() >= 1; }, 10s));

  std::atomic<bool> ranOnWorker{false};
  const auto testThread = std::this_thread::get_id();
  harness.session().postToWorker([&] {
    ranOnWorker.store(std::this_thread::get_id() != testThread);
    Session& session = harness.session();
    session.queueIdentityCheck(0x999999);  // no such aircraft
    session.queueIdentityCheck(session.engine().liveAircraft().front().base.key);
  });
  // One key a second: the stale key does not hold up the one behind it.
  std::atomic<std::size_t> waiting{99};
  ASSERT_TRUE(ProgramHarness::waitFor(
      [&] {
        harness.session().postToWorker([&] { waiting.store(harness.session().identityChecksWaiting()); });
        return ranOnWorker.load() && waiting.load() == 0;
      },
      10s));
  harness.clickClose();  // before the posted work's variables go
  ASSERT_TRUE(harness.waitForExit().has_value());
}

TEST(ClosingDownTest, AnExceptionWhileClosingDownIsShownAndLoggedAndTheWindowStaysUntilTheUserClosesIt) {
  ProgramHarness harness([](SessionOptions& options) {
    options.clearParkAirportTraffic = [] { throw std::runtime_error("airport file locked"); };
  });
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning());
  harness.clickClose();
  ASSERT_TRUE(harness.waitForLog("lf_closingDown exception airport file locked", 20s)) << harness.log();
  EXPECT_TRUE(harness.sawStatus("lf_closingDown exception airport file locked"));
  EXPECT_FALSE(harness.waitForExit(2s).has_value()) << "nothing is posted: the window stays open";
  // The user's close ends the program.
  harness.clickClose();
  const auto code = harness.waitForExit(5s);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0);
}

}  // namespace
}  // namespace crv::testing
