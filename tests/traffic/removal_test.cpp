#include <gtest/gtest.h>

#include "foundation/settings.h"
#include "simlink/sim_ids.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

CreateRequest requestFor(std::uint32_t key, const std::string& callsign) {
  CreateRequest request;
  request.key = key;
  request.callsign = callsign;
  return request;
}

TEST(Removal, ACreateStillQueuedIsCancelledAndNeverReachesTheSimulator) {
  EngineHarness harness;
  harness.spawnLive(20001, "DLH4AB");
  harness.spawnLive(20002, "DLH5CD");
  harness.step(2);  // both requests are queued, the first leaves at tick 50
  ASSERT_EQ(harness.engine.liveCreateQueue().size(), 2U);
  LiveAc& first = *harness.engine.findLiveByKey(20001);
  harness.engine.removeAircraftFromSim(first);
  harness.step(200);
  ASSERT_EQ(harness.creates.size(), 1U);
  EXPECT_EQ(harness.creates.front().item.key, 20002U);
  EXPECT_EQ(harness.engine.findLiveByKey(20001), nullptr);
  EXPECT_TRUE(harness.removes.empty());
}

TEST(Removal, AnAircraftStillOnTheAddingStackIsCancelledToo) {
  EngineHarness harness;
  LiveAc& aircraft = harness.spawnLive(20001, "DLH4AB");
  harness.engine.removeAircraftFromSim(aircraft);
  EXPECT_TRUE(harness.engine.addingStack().empty());
  harness.step(100);
  EXPECT_TRUE(harness.creates.empty());
  EXPECT_TRUE(harness.engine.liveAircraft().empty());
}

TEST(Removal, AnAircraftRemovedWhileItsCreateIsUnderWayGoesOnceItBinds) {
  EngineHarness harness;
  harness.spawnLive(20001, "DLH4AB");
  harness.step(51);
  ASSERT_EQ(harness.creates.size(), 1U);  // with the link now
  LiveAc* aircraft = harness.engine.findLiveByKey(20001);
  harness.engine.removeAircraftFromSim(*aircraft);
  harness.engine.removeAircraftFromSim(*aircraft);  // twice is once
  EXPECT_TRUE(aircraft->removeOnceCreated);
  EXPECT_EQ(aircraft->state, SimState::adding2sim);

  harness.bindLive(20001, 512);
  harness.step(300);
  ASSERT_EQ(harness.removes.size(), 1U);
  EXPECT_EQ(harness.removes.front().item, 512U);
  aircraft = harness.engine.findLiveByKey(20001);
  ASSERT_NE(aircraft, nullptr);
  EXPECT_EQ(aircraft->state, SimState::removingfromsim);
  EXPECT_FALSE(aircraft->removeOnceCreated);

  harness.objectRemoved(512);
  harness.step();
  EXPECT_TRUE(harness.engine.liveAircraft().empty());
}

TEST(Removal, AStaticAircraftRemovedWhileCreatingGoesOnceItBinds) {
  EngineHarness harness;
  StaticAc& parked = harness.placeStatic(9, "RYR9*", SimState::adding2sim);
  harness.engine.removeAircraftFromSim(parked);
  EXPECT_TRUE(parked.removeOnceCreated);
  harness.bindStatic(9, 520);
  harness.step(250);
  ASSERT_EQ(harness.removes.size(), 1U);
  EXPECT_EQ(harness.removes.front().item, 520U);
  EXPECT_EQ(harness.engine.findStaticByKey(9)->state, SimState::removingfromsim);

  // One whose request still waits is cancelled and erased.
  harness.placeStatic(10, "RYR10*", SimState::adding2sim);
  harness.engine.queueStaticCreate(requestFor(10, "RYR10*"));
  harness.engine.removeAircraftFromSim(*harness.engine.findStaticByKey(10));
  harness.step();
  EXPECT_EQ(harness.engine.findStaticByKey(10), nullptr);
  EXPECT_TRUE(harness.engine.staticCreateQueue().empty());
}

TEST(Removal, BufferedAircraftAreDroppedAndActiveOnesQueuedForTheSimulator) {
  int watchResets = 0;
  EngineHooks hooks;
  hooks.watchedAircraftRemoved = [&] { ++watchResets; };
  EngineHarness harness(hooks);
  harness.engine.removeAircraftFromSim(harness.placeLive(20001, "BUF1", SimState::buffer));
  harness.engine.removeAircraftFromSim(harness.placeStatic(11, "STA11*", SimState::buffer));
  harness.engine.watchObject(530);
  harness.engine.removeAircraftFromSim(harness.placeLive(20002, "ACT2", SimState::active, 530));
  harness.engine.removeAircraftFromSim(harness.placeStatic(12, "STA12*", SimState::active, 531));
  EXPECT_EQ(harness.engine.watchedObjectId(), 0U);
  EXPECT_EQ(watchResets, 1);
  harness.step(11);
  EXPECT_EQ(harness.engine.findLiveByKey(20001), nullptr);
  EXPECT_EQ(harness.engine.findStaticByKey(11), nullptr);
  ASSERT_EQ(harness.removes.size(), 2U);
  EXPECT_EQ(harness.removes[0].item, 530U);
  EXPECT_EQ(harness.removes[0].tick, 0);
  EXPECT_EQ(harness.removes[1].item, 531U);
  EXPECT_EQ(harness.removes[1].tick, 10);
}

TEST(Removal, ALiveAircraftLeavingFreesItsStand) {
  StandTable stands;
  stands.emplace_back("B7", std::vector<UsageEntry>{}, std::array<double, 3>{50.0, 8.0, 0.0}, 20.0, true, true, true);
  stands.back().id = 1;
  stands.back().occupied = true;
  SimQueues link;
  EngineConfig config;
  config.stands = &stands;
  TrafficEngine engine(link, {}, config);
  LiveAc aircraft;
  aircraft.state = SimState::active;
  aircraft.standId = 1;
  aircraft.objectId = 540;
  engine.removeAircraftFromSim(aircraft);
  EXPECT_FALSE(stands.front().occupied);
  EXPECT_EQ(engine.removeQueue(), (std::deque<std::uint32_t>{540}));
}

TEST(Removal, CancellingACreateLeavesAnotherAircraftOfTheSameCallsignAlone) {
  EngineHarness harness;
  harness.spawnLive(20001, "DLH4AB");
  harness.spawnLive(20002, "DLH4AB");  // a second aircraft with the callsign
  harness.step(2);
  ASSERT_EQ(harness.engine.liveCreateQueue().size(), 2U);
  harness.engine.removeAircraftFromSim(*harness.engine.findLiveByKey(20002));
  ASSERT_EQ(harness.engine.liveCreateQueue().size(), 1U);
  EXPECT_EQ(harness.engine.liveCreateQueue().front().key, 20001U);
  harness.step(100);
  ASSERT_EQ(harness.creates.size(), 1U);
  EXPECT_EQ(harness.creates.front().item.key, 20001U);
}

TEST(Commands, FlapsAndThrottleSendOnlyChanges) {
  EngineHarness harness;
  LiveAc& aircraft = harness.placeLive(20001, "DLH4AB", SimState::active, 550);
  TrafficEngine& engine = harness.engine;
  engine.setFlaps(aircraft, 2);
  engine.setFlaps(aircraft, 2);
  engine.setFlaps(aircraft, 4);
  engine.setFlaps(aircraft, 7);
  EXPECT_EQ(aircraft.flapsIndex, 4U);
  engine.setThrottle(aircraft, 4);
  engine.setThrottle(aircraft, 5);
  EXPECT_EQ(aircraft.throttleIndex, 5U);
  engine.setThrottle(aircraft, 1);

  LiveAc& helicopter = harness.placeLive(20002, "CHX1", SimState::active, 551);
  helicopter.base.category = SizeCategory::Rotorcraft;
  engine.setFlaps(helicopter, 1);
  EXPECT_EQ(helicopter.flapsIndex, 4U);

  harness.step();
  EXPECT_EQ(harness.clientEventsOf(550),
            (std::vector<ClientEventRecord>{{550, 217, 10240}, {550, 217, 0}, {550, 222, 16383}, {550, 222, 4914}}));
  EXPECT_TRUE(harness.clientEventsOf(551).empty());
}

TEST(Commands, AParkedLiveAircraftIsShutDownWithItsCabinLightMostlyOn) {
  EngineHarness harness;
  int cabinOn = 0;
  for (std::uint32_t i = 0; i < 200; ++i) {
    LiveAc& aircraft = harness.placeLive(20000 + i, "P" + std::to_string(i), SimState::active, 600 + i);
    aircraft.throttleIndex = 0;
    aircraft.flapsIndex = 0;
    harness.engine.shutdownParked(aircraft);
  }
  harness.step();
  for (std::uint32_t i = 0; i < 200; ++i) {
    const std::vector<ClientEventRecord> events = harness.clientEventsOf(600 + i);
    ASSERT_EQ(events.size(), 8U);  // engines off and seven lights; throttle and flaps already 0
    EXPECT_EQ(events.front().eventId, 221U);
    EXPECT_EQ(events.back().eventId, 211U);
    cabinOn += static_cast<int>(events.back().value);
  }
  EXPECT_GT(cabinOn, 150);
  EXPECT_LT(cabinOn, 200);
}

}  // namespace
}  // namespace crv::testing
