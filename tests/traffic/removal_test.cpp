// No simulator object is removed twice, none is left behind, and a create
// not yet sent is cancelled rather than sent and removed. Every rule that
// removes an aircraft says so in the log, with its figures.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "foundation/settings.h"
#include "tests/support/log_capture.h"
#include "tests/support/settings_fixture.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"
#include "tests/traffic/flight_driver.h"
#include "tests/traffic/stand_grid.h"

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

// A point at the offsets from the apron's origin, airborne above 0 ft.
PathPoint pointAt(double northMeters, std::int64_t dueTick, double knots, double altitudeFeet = 0.0) {
  const GeoPoint at = offsetMeters(kApronOrigin, northMeters, 0.0);
  PathPoint p;
  p.latitude = at.latitude;
  p.longitude = at.longitude;
  p.dueTick = dueTick;
  p.speedKnots = knots;
  p.altitudeFeet = altitudeFeet;
  p.airborne = altitudeFeet > 0.0;
  return p;
}

// An active aircraft standing at its path's first point: taxiing on the
// ground, else flying.
LiveAc& placed(FlightDriver& d, std::uint32_t key, const std::string& callsign, LivePath::Points path) {
  LiveAc& a = d.harness.placeLive(key, callsign, SimState::active, 100 + key);
  a.path = std::move(path);
  a.onGround = !a.path.front().airborne;
  a.phase = a.onGround ? FlightPhase::taxi : FlightPhase::flying;
  a.position.latitude = a.path.front().latitude;
  a.position.longitude = a.path.front().longitude;
  a.position.altitudeFeet = a.path.front().altitudeFeet;
  return a;
}

// On stand A1 of the apron, parked.
LiveAc& parkedOnA1(FlightDriver& d, std::uint32_t key, const std::string& callsign) {
  LiveAc& a = placed(d, key, callsign, {pointAt(0, 0, 0)});
  a.phase = FlightPhase::parked;
  a.standId = 1;
  a.standLatitude = kApronOrigin.latitude;
  a.standLongitude = kApronOrigin.longitude;
  return a;
}

// A RYR A320 whose create is with the simulator, on stand A1 of a one-stand
// apron, makes way for a DLH A320 parked there.
void staticBeingCreatedMakesWayOnA1(FlightDriver& d, std::uint32_t staticKey, std::uint32_t liveKey) {
  d.setParkAirport(kApronOrigin, standGrid(1, 1));
  StaticAc& parked = d.harness.placeStatic(staticKey, "RYR" + std::to_string(staticKey) + "*", SimState::adding2sim);
  parked.standId = 1;
  parked.base.identity.airline = "RYR";
  parked.base.identity.icaoType = "A320";
  LiveAc& live = parkedOnA1(d, liveKey, "T" + std::to_string(liveKey));
  live.base.identity.airline = "DLH";
  live.base.identity.icaoType = "A320";
  d.rules.makeWay(live, d.harness.engine.standTable()->front());
}

TEST(RemovalLines, EveryRuleThatRemovesAnAircraftNamesItselfAndItsFigures) {
  struct Case {
    std::string line;
    std::function<void(FlightDriver&)> act;
    // Where set, no other line names the aircraft.
    std::string callsign = {};
  };
  const Case cases[] = {
      {"          T1       removed: its path holds 201 points (limit 200)",
       [](FlightDriver& d) {
         LiveAc& a = placed(d, 1, "T1", {pointAt(0, 0, 15)});
         for (int i = 1; i <= 200; ++i) a.path.push_back(pointAt(i, i * 100, 15));
         PathPoint p = pointAt(201, 20100, 15);
         decodeExisting(d.motion, a, p);
       }},
      {"          T2       removed: a record 320 m from its holding point (limit 250 m)",
       [](FlightDriver& d) {
         LiveAc& a = placed(d, 2, "T2", {pointAt(0, 0, 0)});
         a.motion.holding = true;
         PathPoint p = pointAt(320, 1000, 0);
         decodeExisting(d.motion, a, p);
       }},
      {"          T4       removed: holding 20 m from T3 taxiing (limit 44 m)",
       [](FlightDriver& d) {
         placed(d, 3, "T3", {pointAt(20, 0, 0), pointAt(20, 500, 0)}).base.halfSpanNm = 0.01;
         placed(d, 4, "T4", {pointAt(0, 0, 0)}).base.halfSpanNm = 0.01;
         nextPosMain(d.motion, *d.aircraft(4));
       }},
      {"          T5       removed: holding for 21 min (limit 20 min)",
       [](FlightDriver& d) {
         EngineTestAccess::setTick(d.harness.engine, 200000);
         LiveAc& a = placed(d, 5, "T5", {pointAt(0, 200000, 0)});
         a.motion.holding = true;
         a.motion.holdStartTick = 200000 - 21 * 6000;
         nextPosMain(d.motion, a);
       }},
      // Its records end at second 60, due at 90; the eight legs made up
      // after them end at 152.
      {"          DLH1     removed: no record for 62 s, its path ran out",
       [](FlightDriver& d) {
         d.addFlight(40001, "DLH1", "A320", TrackBuilder(52.0, 4.0, 12000.0).leg(60, 280, 90).points());
         d.runUntilSecond(160);
       }},
      {"          T6       removed: its path ran out, Light aircraft are switched off",
       [](FlightDriver& d) {
         par_LIGHT_AIRCRAFT.setValue(false);
         LiveAc& a = placed(d, 6, "T6", {pointAt(0, 0, 120, 5000)});
         a.base.category = SizeCategory::Light;
         nextPosMain(d.motion, a);
       }},
      {"          F10      removed: the farthest live aircraft, 11.00 nm from the user aircraft, over the maximum "
       "of 10 (MAX_LIVE_SEL)",
       [](FlightDriver& d) {
         par_MAX_LIVE_SEL.setValue(10);
         UserAcData user;
         user.latitude = kApronOrigin.latitude;
         user.longitude = kApronOrigin.longitude;
         EngineTestAccess::setUserAircraft(d.harness.engine, user);
         for (std::uint32_t n = 0; n <= 10; ++n) {
           placed(d, 10 + n, "F" + std::to_string(n), {pointAt((n + 1) * kMetersPerNm, 0, 250, 9000)});
         }
         d.harness.engine.enforceMaxLive();
       }},
      {"A1      : T8       removed: the stand was taken first by T7",
       [](FlightDriver& d) {
         d.setParkAirport(kApronOrigin, standGrid(1, 1));
         for (std::uint32_t key : {7U, 8U}) {
           parkedOnA1(d, key, "T" + std::to_string(key)).phase = FlightPhase::parking;
         }
         arriveAtStand(d.motion, *d.aircraft(7));
         arriveAtStand(d.motion, *d.aircraft(8));
       }},
      {"A1      : T9       removed: a record 230 m from its stand while parked (limit 200 m)",
       [](FlightDriver& d) {
         d.setParkAirport(kApronOrigin, standGrid(1, 1));
         PathPoint p = pointAt(230, 1000, 10);
         d.rules.checkStandApproach(parkedOnA1(d, 9, "T9"), p);
       }},
      {"A1      : T30      removed: no record near its stand for 95 s (limit 90 s)",
       [](FlightDriver& d) {
         d.setParkAirport(kApronOrigin, standGrid(1, 1));
         EngineTestAccess::setTick(d.harness.engine, 20000);
         parkedOnA1(d, 30, "T30").motion.standLastApproachTick = 20000 - 9500;
         d.rules.collectParkedLive();
       }},
      {"A1      : T31      removed: the stand is the user's reserved stand",
       [](FlightDriver& d) {
         d.setParkAirport(kApronOrigin, standGrid(1, 1));
         parkedOnA1(d, 31, "T31");
         d.rules.setReservedStand("A1");
         d.rules.freeReservedStand();
       }},
      {"A1      : RYR32*   removed: the stand is the user's reserved stand",
       [](FlightDriver& d) {
         d.setParkAirport(kApronOrigin, standGrid(1, 1));
         d.harness.placeStatic(32, "RYR32*", SimState::active, 532).standId = 1;
         d.rules.setReservedStand("A1");
         d.rules.freeReservedStand();
       }},
      // Two time shifts within one second: the create the first cancelled
      // is not named again by the second.
      {"A1      : RYR33*   removed: the traffic starts again at the new time shift",
       [](FlightDriver& d) {
         d.setParkAirport(kApronOrigin, standGrid(1, 1));
         d.harness.placeStatic(33, "RYR33*", SimState::adding2sim).standId = 1;
         CreateRequest request;
         request.key = 33;
         d.harness.engine.queueStaticCreate(request);
         for (int shift = 0; shift < 2; ++shift) {
           d.rules.removeAllStaticAc("the traffic starts again at the new time shift");
         }
       }},
      // A static whose create is with the simulator makes way for a live
      // aircraft: named when its object is bound and goes.
      {"A1      : RYR34*   RYR A320 makes way for T35 DLH A320 ",
       [](FlightDriver& d) {
         staticBeingCreatedMakesWayOnA1(d, 34, 35);
         d.harness.bindStatic(34, 534);
         d.harness.step(300);
         EXPECT_EQ(d.harness.removes.size(), 1U);
       }},
      // Removed while created, the object goes before it turns active: named
      // by the rule that removed it when the simulator takes the object.
      {"          T36      removed: its path holds 201 points (limit 200)",
       [](FlightDriver& d) {
         LiveAc& a = d.harness.placeLive(36, "T36", SimState::adding2sim);
         a.phase = FlightPhase::taxi;
         a.onGround = true;
         while (a.path.size() <= 200) a.path.push_back(pointAt(200, 20000, 15));
         PathPoint p = pointAt(201, 20100, 15);
         decodeExisting(d.motion, a, p);
         d.harness.bindLive(36, 536);
         d.harness.step(10);
         d.harness.objectRemoved(536);
         d.harness.step(300);
         EXPECT_EQ(d.aircraft(36), nullptr);
         EXPECT_TRUE(d.harness.removes.empty());
       },
       "T36"},
      {"A1      : RYR37*   RYR A320 makes way for T38 DLH A320 ",
       [](FlightDriver& d) {
         staticBeingCreatedMakesWayOnA1(d, 37, 38);
         d.harness.bindStatic(37, 537);
         d.harness.step(10);
         d.harness.objectRemoved(537);
         d.harness.step(300);
         EXPECT_TRUE(d.harness.engine.staticAircraft().empty());
         EXPECT_TRUE(d.harness.removes.empty());
       },
       "RYR37*"},
      // A create that the time shift cancelled is gone already when a live
      // aircraft takes the stand in the same step: it makes way for nobody.
      {"A1      : RYR39*   removed: the traffic starts again at the new time shift",
       [](FlightDriver& d) {
         d.setParkAirport(kApronOrigin, standGrid(1, 1));
         StaticAc& parked = d.harness.placeStatic(39, "RYR39*", SimState::adding2sim);
         parked.standId = 1;
         CreateRequest request;
         request.key = 39;
         d.harness.engine.queueStaticCreate(request);
         d.rules.removeAllStaticAc("the traffic starts again at the new time shift");
         d.rules.makeWay(parkedOnA1(d, 40, "T40"), d.harness.engine.standTable()->front());
         d.harness.step(300);
         EXPECT_TRUE(d.harness.engine.staticAircraft().empty());
         EXPECT_TRUE(d.harness.creates.empty());
       },
       "RYR39*"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    {
      FlightDriver driver;
      c.act(driver);
    }
    resetAllSettings();
    EXPECT_EQ(countOf(log.text(), c.line + "\n"), 1U) << c.line << "\n" << log.text();
    if (!c.callsign.empty()) {
      EXPECT_EQ(countOf(log.text(), " " + c.callsign + " "), 1U) << c.line << "\n" << log.text();
    }
  }
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
