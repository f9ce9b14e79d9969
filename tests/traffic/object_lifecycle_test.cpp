// No simulator object is removed twice, none is left behind, and none is
// taken for active after the simulator removed it.

#include <gtest/gtest.h>

#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

TEST(ObjectLifecycle, ASecondRemovalOfAnAircraftOnItsWayOutQueuesNothing) {
  EngineHarness harness;
  LiveAc& live = harness.placeLive(20001, "DLH4AB", SimState::active, 530);
  StaticAc& parked = harness.placeStatic(7, "RYR7*", SimState::active, 531);
  harness.engine.removeAircraftFromSim(live);
  harness.engine.removeAircraftFromSim(live);
  harness.engine.removeAircraftFromSim(parked);
  harness.engine.removeAircraftFromSim(parked);
  EXPECT_EQ(harness.engine.removeQueue(), (std::deque<std::uint32_t>{530, 531}));
}

TEST(ObjectLifecycle, AnAircraftInLiveryRespawnIsNotQueuedAgainAndEndsWithItsObject) {
  EngineHarness harness;
  LiveAc& live = harness.placeLive(20001, "DLH4AB", SimState::liveryrespawn, 530);
  harness.engine.queueObjectRemoval(530);  // queued by the respawn
  harness.engine.removeAircraftFromSim(live);
  EXPECT_EQ(harness.engine.removeQueue().size(), 1U);
  harness.objectRemoved(530);
  harness.step();
  EXPECT_EQ(harness.engine.findLiveByKey(20001), nullptr);  // not created again
}

TEST(ObjectLifecycle, AStaticRemovedBySimulatorDuringActivationIsDroppedNotActivated) {
  EngineHarness harness;
  harness.placeStatic(7, "RYR7*", SimState::adding2sim);
  harness.bindStatic(7, 640);
  harness.step(50);
  harness.objectRemoved(640);
  harness.step(200);
  EXPECT_EQ(harness.engine.findStaticByKey(7), nullptr);
  EXPECT_TRUE(harness.clientEventsOf(640).empty());  // never configured as parked
  EXPECT_EQ(EngineTestAccess::deferredEventCount(harness.engine), 0U);
}

TEST(ObjectLifecycle, ABindForAnAircraftAlreadyGoneRemovesTheNewObject) {
  EngineHarness harness;
  harness.bindLive(29999, 650);
  harness.bindStatic(99, 651);
  harness.step(30);
  ASSERT_EQ(harness.removes.size(), 2U);
  EXPECT_EQ(harness.removes[0].item, 650U);
  EXPECT_EQ(harness.removes[1].item, 651U);
  EXPECT_EQ(EngineTestAccess::deferredEventCount(harness.engine), 0U);
}

TEST(ObjectLifecycle, AFailedCreateWithAnEmptyTitleExcludesNothing) {
  EngineHarness harness;
  harness.placeLive(20001, "DLH4AB", SimState::adding2sim).base.liveryTitle.clear();
  harness.createFailed(20001);
  harness.step();
  EXPECT_TRUE(harness.engine.reports().exclusionList().empty());
}

}  // namespace
}  // namespace crv::testing
