// No simulator object is removed twice, none is left behind, and a create
// not yet sent is cancelled rather than sent and removed.

#include <gtest/gtest.h>

#include "tests/traffic/engine_harness.h"

namespace crv::testing {
namespace {

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
  EXPECT_EQ(harness.engine.findLiveByKey(20002), nullptr);
  EXPECT_TRUE(harness.removes.empty());
}

TEST(Removal, ACreateStillOnTheAddingStackOrInTheStaticQueueIsCancelledAndItsRecordErased) {
  EngineHarness harness;
  LiveAc& live = harness.spawnLive(20001, "DLH4AB");
  StaticAc& parked = harness.placeStatic(10, "RYR10*", SimState::adding2sim);
  CreateRequest request;
  request.key = 10;
  request.callsign = "RYR10*";
  harness.engine.queueStaticCreate(request);
  harness.engine.removeAircraftFromSim(live);
  harness.engine.removeAircraftFromSim(parked);
  EXPECT_TRUE(harness.engine.addingStack().empty());
  EXPECT_TRUE(harness.engine.staticCreateQueue().empty());
  harness.step(100);
  EXPECT_TRUE(harness.creates.empty());
  EXPECT_TRUE(harness.engine.liveAircraft().empty());
  EXPECT_TRUE(harness.engine.staticAircraft().empty());
}

TEST(Removal, AnAircraftRemovedWhileItsCreateIsUnderWayGoesOnceItBinds) {
  EngineHarness harness;
  // Their creates are with the link: neither stacked nor queued.
  LiveAc& live = harness.placeLive(20001, "DLH4AB", SimState::adding2sim);
  StaticAc& parked = harness.placeStatic(9, "RYR9*", SimState::adding2sim);
  for (int twice = 0; twice < 2; ++twice) {
    harness.engine.removeAircraftFromSim(live);
    harness.engine.removeAircraftFromSim(parked);
  }
  EXPECT_EQ(live.state, SimState::adding2sim);
  harness.bindLive(20001, 512);
  harness.bindStatic(9, 520);
  harness.step(300);
  ASSERT_EQ(harness.removes.size(), 2U);
  EXPECT_EQ(harness.removes[0].item, 512U);
  EXPECT_EQ(harness.removes[1].item, 520U);
  EXPECT_EQ(live.state, SimState::removingfromsim);
  EXPECT_EQ(parked.state, SimState::removingfromsim);

  harness.objectRemoved(512);
  harness.objectRemoved(520);
  harness.step();
  EXPECT_TRUE(harness.engine.liveAircraft().empty());
  EXPECT_TRUE(harness.engine.staticAircraft().empty());
}

TEST(Removal, BufferedAircraftAreDroppedAndActiveOnesQueuedOnceFreeingTheirStandAndWatch) {
  StandTable stands;
  stands.emplace_back("B7", std::vector<UsageEntry>{}, std::array<double, 3>{50.0, 8.0, 0.0}, 20.0, true, true, true);
  stands.back().id = 1;
  stands.back().occupied = true;
  int watchResets = 0;
  EngineHooks hooks;
  hooks.watchedAircraftRemoved = [&] { ++watchResets; };
  EngineHarness harness(hooks, &stands);
  TrafficEngine& engine = harness.engine;
  engine.removeAircraftFromSim(harness.placeLive(20001, "BUF1", SimState::buffer));
  engine.removeAircraftFromSim(harness.placeStatic(11, "STA11*", SimState::buffer));
  engine.watchObject(530);
  LiveAc& live = harness.placeLive(20002, "ACT2", SimState::active, 530);
  live.standId = 1;
  StaticAc& parked = harness.placeStatic(12, "STA12*", SimState::active, 531);
  for (int twice = 0; twice < 2; ++twice) {
    engine.removeAircraftFromSim(live);
    engine.removeAircraftFromSim(parked);
  }
  EXPECT_FALSE(stands.front().occupied);
  EXPECT_EQ(engine.watchedObjectId(), 0U);
  EXPECT_EQ(watchResets, 1);
  harness.step(50);
  EXPECT_EQ(engine.findLiveByKey(20001), nullptr);
  EXPECT_EQ(engine.findStaticByKey(11), nullptr);
  ASSERT_EQ(harness.removes.size(), 2U);
  EXPECT_EQ(harness.removes[0].item, 530U);
  EXPECT_EQ(harness.removes[1].item, 531U);
}

// A stand stays taken while another aircraft that stays holds it, whichever
// way the first one goes; it is free once the last holder leaves.
TEST(Removal, AStandHeldByAnotherAircraftStaysTakenUntilItsLastHolderLeaves) {
  enum class WayOut { Cancelled, Failed, Removed, ObjectGone };
  for (const WayOut way : {WayOut::Cancelled, WayOut::Failed, WayOut::Removed, WayOut::ObjectGone}) {
    StandTable stands;
    stands.emplace_back("B7", std::vector<UsageEntry>{}, std::array<double, 3>{50.0, 8.0, 0.0}, 20.0, true, true, true);
    stands.back().id = 1;
    stands.back().occupied = true;
    EngineHarness harness({}, &stands);
    TrafficEngine& engine = harness.engine;
    LiveAc& leaving = way == WayOut::Cancelled ? harness.spawnLive(20001, "DLH1")
                      : way == WayOut::Failed  ? harness.placeLive(20001, "DLH1", SimState::adding2sim)
                                               : harness.placeLive(20001, "DLH1", SimState::active, 530);
    leaving.standId = 1;
    harness.placeLive(20002, "DLH2", SimState::active, 531).standId = 1;
    if (way == WayOut::Failed) {
      harness.createFailed(20001);
    } else {
      engine.removeAircraftFromSim(*engine.findLiveByKey(20001));
    }
    if (way == WayOut::ObjectGone) harness.objectRemoved(530);
    harness.step();
    EXPECT_TRUE(stands.front().occupied) << static_cast<int>(way);
    engine.removeAircraftFromSim(*engine.findLiveByKey(20002));
    EXPECT_FALSE(stands.front().occupied) << static_cast<int>(way);
  }
}

TEST(Removal, AnAircraftInLiveryRespawnIsNotQueuedAgainAndEndsWithItsObject) {
  EngineHarness harness;
  LiveAc& live = harness.placeLive(20001, "DLH4AB", SimState::liveryrespawn, 530);
  harness.engine.queueObjectRemoval(530);  // queued by the respawn
  harness.engine.removeAircraftFromSim(live);
  EXPECT_EQ(harness.engine.removeQueue().size(), 1U);
  harness.objectRemoved(530);
  harness.step();
  EXPECT_EQ(harness.engine.findLiveByKey(20001), nullptr);  // not created again
}

TEST(Commands, FlapsAndThrottleSendOnlyChanges) {
  EngineHarness harness;
  LiveAc& aircraft = harness.placeLive(20001, "DLH4AB", SimState::active, 550);
  TrafficEngine& engine = harness.engine;
  for (std::uint32_t flaps : {2U, 2U, 4U, 7U}) {
    engine.setFlaps(aircraft, flaps);
  }
  EXPECT_EQ(aircraft.flapsIndex, 4U);
  for (std::uint32_t throttle : {4U, 4U, 5U, 1U}) {
    engine.setThrottle(aircraft, throttle);
  }
  LiveAc& helicopter = harness.placeLive(20002, "CHX1", SimState::active, 551);
  helicopter.base.category = SizeCategory::Rotorcraft;
  engine.setFlaps(helicopter, 1);
  EXPECT_EQ(helicopter.flapsIndex, 4U);

  harness.step();
  EXPECT_EQ(harness.clientEventsOf(550),
            (std::vector<ClientEventRecord>{{550, 217, 10240}, {550, 217, 0}, {550, 222, 16383}, {550, 222, 4914}}));
  EXPECT_TRUE(harness.clientEventsOf(551).empty());
}

TEST(Commands, AParkedAircraftIsShutDownWithItsCabinLightMostlyOnButDarkOnACargoStand) {
  EngineHarness harness;
  for (std::uint32_t i = 0; i < 300; ++i) {
    LiveAc& aircraft = harness.placeLive(20000 + i, "P" + std::to_string(i), SimState::active, 600 + i);
    aircraft.throttleIndex = 0;
    aircraft.flapsIndex = 0;
    aircraft.standCargo = i >= 200;
    harness.engine.shutdownParked(aircraft);
  }
  harness.step();
  int cabinOn = 0;
  for (std::uint32_t i = 0; i < 300; ++i) {
    const std::vector<ClientEventRecord> events = harness.clientEventsOf(600 + i);
    ASSERT_EQ(events.size(), 8U);  // engines off and seven lights; throttle and flaps already 0
    EXPECT_EQ(events.back().eventId, 211U);
    if (i >= 200) {
      EXPECT_EQ(events.back().value, 0U) << "the cabin on a cargo stand stays dark";
    } else {
      cabinOn += static_cast<int>(events.back().value);
    }
  }
  EXPECT_GT(cabinOn, 150);
  EXPECT_LT(cabinOn, 200);
}

}  // namespace
}  // namespace crv::testing
