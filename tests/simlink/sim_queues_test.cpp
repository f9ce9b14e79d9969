#include "simlink/sim_queues.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/status_line.h"
#include "tests/support/log_capture.h"

namespace crv {
namespace {

TEST(SimQueues, ABusyFrameTakesNothingAndTheNextTakesAllInOrder) {
  SimQueues queues;
  CreateRequest request;
  request.callsign = "DLH4AB";
  queues.queueCreateAc(request);
  request.callsign.clear();  // the queue holds its own copy
  queues.queueRemoveAc(77);
  SimFrameBatch frame;
  {
    std::lock_guard busy(queues.simConnectMutex());
    std::atomic<bool> taken{true};
    std::thread link([&] { taken = queues.tryTakeFrame(frame); });
    link.join();
    EXPECT_FALSE(taken.load());
  }
  queues.queueRemoveAc(78);
  ASSERT_TRUE(queues.tryTakeFrame(frame));
  ASSERT_EQ(frame.creates.size(), 1U);
  EXPECT_EQ(frame.creates.front().callsign, "DLH4AB");
  EXPECT_EQ(frame.removes, (std::vector<std::uint32_t>{77, 78}));
  ASSERT_TRUE(queues.tryTakeFrame(frame));
  EXPECT_TRUE(frame.empty());
}

TEST(SimQueues, PositionsReachTheLinkOnlyThroughTheSwap) {
  SimQueues queues;
  queues.setSpoilersThrottle(9, true, false);  // no connection attached: nothing to call
  queues.reserveSimQueues();
  queues.appendPosition(AiPositionBlock{.latitude = 1.0}, 10);
  queues.appendPosition(AiPositionBlock{.latitude = 2.0}, 11);
  EXPECT_TRUE(queues.takeFrame().positions.empty());
  EXPECT_TRUE(queues.swapPositionBuffers());
  EXPECT_EQ(queues.backPositionCount(), 0U);
  queues.appendPosition(AiPositionBlock{.latitude = 3.0}, 12);  // the next step's
  const SimFrameBatch frame = queues.takeFrame();
  ASSERT_EQ(frame.positions.size(), 2U);
  EXPECT_EQ(frame.positions[0].objectId, 10U);
  EXPECT_DOUBLE_EQ(frame.positions[1].block.latitude, 2.0);
  EXPECT_EQ(queues.backPositionCount(), 1U);
}

// At a low frame rate a busy link costs the step its positions; at a high
// one the step waits for the link.
TEST(SimQueues, ABusyLinkCostsTheStepItsPositionsOnlyAtLowFrameRates) {
  for (const float frameRate : {50.0F, 60.0F}) {
    SCOPED_TRACE(frameRate);
    const bool stepWaits = frameRate >= 60.0F;
    SimQueues queues;
    queues.simFrameRate.store(frameRate);
    queues.appendPosition(AiPositionBlock{.latitude = 1.0}, 10);
    std::atomic<bool> swapped{false};
    std::thread worker;
    {
      std::lock_guard busy(queues.simConnectMutex());
      worker = std::thread([&] { swapped = queues.swapPositionBuffers(); });
      if (!stepWaits) worker.join();  // a waiting step would never return here
    }
    if (stepWaits) worker.join();
    EXPECT_EQ(swapped.load(), stepWaits);
    EXPECT_EQ(queues.takeFrame().positions.size(), stepWaits ? 1U : 0U);
  }
}

TEST(SimQueues, AFailedRequestPausesTheLinkAndEndsTheSessionOnce) {
  testing::LogCapture log;
  SimQueues queues;
  int sessionEnds = 0;
  queues.setRequestErrorCallback([&] { ++sessionEnds; });
  queues.simRequestError();
  queues.simRequestError();
  EXPECT_TRUE(queues.simLinkPaused.load());
  EXPECT_EQ(sessionEnds, 1);
  EXPECT_EQ(statusLineText(), "SimConnect request error");
  EXPECT_TRUE(log.contains("SimConnect request error"));
  clearStatusLine();

  queues.reset();
  queues.reserveSimQueues();
  EXPECT_FALSE(queues.simLinkPaused.load());
  queues.simRequestError();
  EXPECT_EQ(sessionEnds, 2);
  clearStatusLine();
}

// While paused the queued work is thrown away; a reset empties every queue.
TEST(SimQueues, DiscardAndResetEmptyEveryQueue) {
  for (const bool reset : {false, true}) {
    SimQueues queues;
    queues.queueCreateAc(CreateRequest{});
    queues.queueRemoveAc(1);
    queues.setCabinLights(1, 1);
    queues.appendPosition(AiPositionBlock{.latitude = 1.0}, 1);
    queues.swapPositionBuffers();
    queues.appendPosition(AiPositionBlock{.latitude = 2.0}, 1);
    if (reset) {
      queues.reset();
      EXPECT_EQ(queues.backPositionCount(), 0U);
    } else {
      queues.discardQueued();
    }
    EXPECT_TRUE(queues.takeFrame().empty()) << reset;
  }
}

}  // namespace
}  // namespace crv
