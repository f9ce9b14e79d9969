#include "simlink/sim_queues.h"

#include <atomic>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "foundation/status_line.h"
#include "simlink/sim_ids.h"
#include "tests/support/log_capture.h"

namespace crv {
namespace {

class RecordingRequests : public SimRequests {
 public:
  bool requestAircraftInRange(std::uint32_t) override { return true; }
  bool requestStaticCg(std::uint32_t) override { return true; }
  bool transmitAllLightsToggle(std::uint32_t) override { return true; }
  bool writeSpoilersThrottle(std::uint32_t objectId, const SpoilersThrottleBlock& block) override {
    writes.emplace_back(objectId, block);
    return true;
  }
  std::vector<std::pair<std::uint32_t, SpoilersThrottleBlock>> writes;
};

AiPositionBlock blockAt(double latitude) {
  AiPositionBlock block;
  block.latitude = latitude;
  return block;
}

TEST(SimQueues, LightsGoOutInTheirFixedOrderUnderOneLock) {
  SimQueues queues;
  queues.setLights(42, {1, 0, 1, 0, 1, 1, 0});
  queues.setCabinLights(43, 1);
  queues.queueClientEvent(42, toId(ClientEventId::GearSet), 1);
  const SimFrameBatch frame = queues.takeFrame();
  EXPECT_EQ(frame.clientEvents, (std::vector<ClientEventRecord>{{42, 207, 1}, {42, 206, 0}, {42, 210, 1},
                                                                 {42, 208, 0}, {42, 209, 1}, {42, 212, 1},
                                                                 {42, 211, 0}, {43, 211, 1}, {42, 219, 1}}));
  EXPECT_TRUE(queues.takeFrame().empty());
}

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
  queues.reserveSimQueues();
  queues.appendPosition(blockAt(1.0), 10);
  queues.appendPosition(blockAt(2.0), 11);
  EXPECT_TRUE(queues.takeFrame().positions.empty());
  EXPECT_TRUE(queues.swapPositionBuffers());
  EXPECT_EQ(queues.backPositionCount(), 0U);
  queues.appendPosition(blockAt(3.0), 12);  // the next step's
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
    queues.appendPosition(blockAt(1.0), 10);
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

TEST(SimQueues, SpoilersAndThrottleAreWrittenAtOnce) {
  SimQueues queues;
  queues.setSpoilersThrottle(9, true, false);  // no connection yet: nothing
  RecordingRequests requests;
  queues.attachRequests(&requests);
  queues.setSpoilersThrottle(9, true, false);
  queues.setSpoilersThrottle(9, true, true);
  queues.setSpoilersThrottle(9, false, true);
  std::string written;  // spoilers, throttle 1 and 2 of each write
  for (const auto& [objectId, block] : requests.writes) {
    written += fmt::format("{}:{}/{}/{} ", objectId, block.spoilersHandle, block.throttleLever1, block.throttleLever2);
  }
  EXPECT_EQ(written, "9:100/100/100 9:100/-100/-100 9:0/0/0 ");
  EXPECT_TRUE(queues.takeFrame().empty());
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
    queues.appendPosition(blockAt(1.0), 1);
    queues.swapPositionBuffers();
    queues.appendPosition(blockAt(2.0), 1);
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
