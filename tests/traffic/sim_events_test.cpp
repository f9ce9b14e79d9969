#include <gtest/gtest.h>

#include <algorithm>
#include <span>

#include "foundation/errors.h"
#include "foundation/geodesy.h"
#include "simlink/sim_ids.h"
#include "tests/support/log_capture.h"
#include "tests/support/thrown_text.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

using Kind = RecordingSimRequests::Kind;
using Call = RecordingSimRequests::Call;

TEST(SimEvents, ABoundAircraftTurnsActiveAfterTwoSecondsWithLightTogglesOnTheWay) {
  int flightPlans = 0;
  int configured = 0;
  EngineHooks hooks;
  hooks.createFlightPlan = [&](LiveAc&) { ++flightPlans; };
  hooks.configureActiveAircraft = [&](LiveAc& a) {
    ++configured;
    EXPECT_EQ(a.state, SimState::active);
  };
  EngineHarness harness(hooks);
  EngineTestAccess::setTick(harness.engine, 1000);
  const LiveAc& aircraft = harness.placeLive(0x3C6589, "DLH4AB", SimState::adding2sim);
  harness.bindLive(0x3C6589, 412);
  harness.step(199);
  EXPECT_EQ(aircraft.objectId, 412U);
  EXPECT_EQ(aircraft.state, SimState::adding2sim);
  EXPECT_EQ(harness.sim.calls[Kind::StaticCg], (std::vector<Call>{{1000, 412}}));
  EXPECT_EQ(harness.sim.calls[Kind::AllLightsToggle], (std::vector<Call>{{1049, 412}, {1099, 412}}));
  EXPECT_EQ(flightPlans, 1);
  EXPECT_EQ(configured, 0);

  harness.step();  // the 200th step after the bind
  EXPECT_EQ(aircraft.state, SimState::active);
  harness.step(300);
  EXPECT_EQ(configured, 1);
  EXPECT_EQ(harness.sim.calls[Kind::AllLightsToggle].size(), 2U);
  EXPECT_EQ(EngineTestAccess::deferredEventCount(harness.engine), 0U);
}

TEST(SimEvents, BindsOfLowObjectIdsAreIgnoredAndAnObjectWhoseAircraftWentIsRemoved) {
  int parkedOver = 0;
  EngineHooks hooks;
  hooks.parkLiveOverStatic = [&](LiveAc&) { ++parkedOver; };
  EngineHarness harness(hooks);
  harness.placeLive(20001, "DLH4AB", SimState::adding2sim).path.front().airborne = false;
  for (std::uint32_t id : {0U, 1U, 2U}) {
    harness.bindLive(20001, id);
  }
  harness.bindLive(29999, 650);
  harness.bindStatic(99, 651);
  harness.step(30);
  EXPECT_EQ(EngineTestAccess::deferredEventCount(harness.engine), 0U);
  EXPECT_TRUE(harness.sim.calls[Kind::StaticCg].empty());
  ASSERT_EQ(harness.removes.size(), 2U);
  EXPECT_EQ(harness.removes[0].item, 650U);
  EXPECT_EQ(harness.removes[1].item, 651U);

  harness.bindLive(20001, 3);
  harness.step();
  EXPECT_EQ(EngineTestAccess::deferredEventCount(harness.engine), 1U);
  EXPECT_EQ(parkedOver, 1);  // its first point is on the ground
}

TEST(SimEvents, AnObjectRemovedBeforeActivationEndsItsRecordAndLeavesNoEventForItsKey) {
  EngineHarness harness;
  harness.placeLive(20001, "DLH4AB", SimState::adding2sim);
  harness.placeStatic(7, "RYR7*", SimState::adding2sim);
  harness.bindLive(20001, 420);
  harness.bindStatic(7, 640);
  harness.step(50);
  harness.objectRemoved(420);
  harness.objectRemoved(640);
  harness.step();
  // A new aircraft of the same key is not made active by the old event.
  harness.placeLive(20001, "DLH4AB", SimState::buffer);
  harness.step(200);
  EXPECT_EQ(harness.engine.findLiveByKey(20001)->state, SimState::buffer);
  EXPECT_EQ(harness.engine.findStaticByKey(7), nullptr);
  EXPECT_TRUE(harness.clientEventsOf(640).empty());  // never configured as parked
  EXPECT_EQ(EngineTestAccess::deferredEventCount(harness.engine), 0U);
}

TEST(SimEvents, CentreOfGravityRepliesAreCheckedForPlausibility) {
  struct Case {
    double heightFeet, pitchDegrees, keptHeightFeet, keptPitchDegrees;
  };
  EngineHarness harness;
  LiveAc& aircraft = harness.placeLive(20001, "DLH4AB", SimState::active, 430);
  aircraft.base.staticCgHeightFeet = 8.0;
  // Implausible pitches give the default 0.7 degrees; implausible heights keep the last.
  for (const Case c : {Case{0.5, 1.0, 8.0, 1.0}, Case{35.0, -1.0, 35.0, 0.7}, Case{12.0, 2.5, 12.0, 2.5},
                       Case{35.5, 2.6, 12.0, 0.7}}) {
    harness.engine.pushSimEvent({430, 0, 0, SimEventType::staticCg, c.heightFeet, c.pitchDegrees * kDegreesToRadians});
    harness.step();
    EXPECT_DOUBLE_EQ(aircraft.base.staticCgHeightFeet, c.keptHeightFeet) << c.heightFeet;
    EXPECT_NEAR(aircraft.base.restPitchRadians / kDegreesToRadians, c.keptPitchDegrees, 1e-9) << c.pitchDegrees;
  }
}

TEST(SimEvents, GroundInformationSetsAircraftOnTheGroundExceptDuringTakeOff) {
  int groundSlots = 0;
  EngineHooks hooks;
  hooks.onGroundSlots = [&](LiveAc&) { ++groundSlots; };
  EngineHarness harness(hooks);
  LiveAc& landing = harness.placeLive(20001, "DLH4AB", SimState::active, 440);
  landing.base.staticCgHeightFeet = 9.0;
  landing.base.maxClimbPerTickFeet = 0.6;
  landing.motion.climbPerTickFeet = -0.1;
  landing.motion.approach = true;
  LiveAc& departing = harness.placeLive(20002, "DLH5CD", SimState::active, 441);
  departing.phase = FlightPhase::take_off;
  departing.position.altitudeFeet = 400.0;
  for (std::uint32_t objectId : {440U, 441U, 999U}) {
    harness.engine.pushSimEvent({objectId, 1, 0, SimEventType::groundInfo, 364.0, objectId == 440 ? 3.0 : 20.0});
  }
  harness.step();
  EXPECT_TRUE(landing.onGround);
  EXPECT_EQ(groundSlots, 1);
  EXPECT_EQ(landing.motion.climbPerTickFeet, 0.0);
  EXPECT_EQ(landing.base.maxClimbPerTickFeet, 0.6);
  EXPECT_DOUBLE_EQ(landing.position.altitudeFeet, 373.0);
  EXPECT_DOUBLE_EQ(landing.motion.heightAboveGroundFeet, 3.0);
  EXPECT_FALSE(departing.onGround);
  EXPECT_DOUBLE_EQ(departing.motion.heightAboveGroundFeet, 20.0);
  EXPECT_DOUBLE_EQ(departing.position.altitudeFeet, 400.0);
}

// Ground information finds its aircraft by object id through an index:
// the index follows records that move in the table, ids that change between
// steps or within a step's events, and leads with the first of a shared id.
TEST(SimEvents, GroundInformationFindsItsAircraftWhereverTheTableAndTheIdsMove) {
  EngineHarness harness;
  const auto height = [&](std::uint32_t key) { return harness.engine.findLiveByKey(key)->motion.heightAboveGroundFeet; };
  const auto groundInfo = [&](std::uint32_t objectId, double heightFeet) {
    harness.engine.pushSimEvent({objectId, 0, 0, SimEventType::groundInfo, 0.0, heightFeet});
  };
  for (std::uint32_t i = 0; i < 6; ++i) {
    harness.placeLive(20001 + i, "F" + std::to_string(i), SimState::active, 500 + i);
  }
  harness.placeLive(20007, "F7", SimState::buffer);  // no object yet
  for (std::uint32_t i = 0; i < 6; ++i) {
    groundInfo(500 + i, 10.0 + i);
  }
  groundInfo(0, 99.0);  // names no aircraft
  const double untold = height(20007);
  harness.step();
  for (std::uint32_t i = 0; i < 6; ++i) {
    EXPECT_DOUBLE_EQ(height(20001 + i), 10.0 + i) << i;
  }
  EXPECT_DOUBLE_EQ(height(20007), untold);

  // A part changes an id between steps; the old id names nobody any more.
  harness.engine.findLiveByKey(20002)->objectId = 610;
  groundInfo(610, 30.0);
  groundInfo(501, 31.0);
  harness.step();
  EXPECT_DOUBLE_EQ(height(20002), 30.0);

  // The first record leaves and the last takes its place in the same events.
  harness.objectRemoved(500);
  groundInfo(505, 40.0);
  harness.bindLive(20007, 620);
  groundInfo(620, 41.0);
  harness.step();
  EXPECT_EQ(harness.engine.findLiveByKey(20001), nullptr);
  EXPECT_DOUBLE_EQ(height(20006), 40.0);
  EXPECT_DOUBLE_EQ(height(20007), 41.0);

  // A shared id: the first in the table takes the information, as before.
  harness.engine.findLiveByKey(20005)->objectId = 503;
  groundInfo(503, 50.0);
  harness.step();
  const std::span<const LiveAc> table = harness.engine.liveAircraft();
  const auto first = std::find_if(table.begin(), table.end(), [](const LiveAc& a) { return a.objectId == 503; });
  const auto second = std::find_if(first + 1, table.end(), [](const LiveAc& a) { return a.objectId == 503; });
  ASSERT_NE(second, table.end());
  EXPECT_DOUBLE_EQ(first->motion.heightAboveGroundFeet, 50.0);
  EXPECT_NE(second->motion.heightAboveGroundFeet, 50.0);
}

TEST(SimEvents, AFailedCreateLooksOnlyInTheTableOfItsKeyAndExcludesItsTitle) {
  EngineHarness harness;
  harness.placeLive(10001, "LIVE1", SimState::adding2sim);
  harness.placeStatic(10000, "STAT0*", SimState::adding2sim);
  harness.placeStatic(10001, "STAT1*", SimState::adding2sim);
  harness.placeLive(20001, "DLH4AB", SimState::adding2sim).base.liveryTitle.clear();
  harness.createFailed(10000);
  harness.step();
  EXPECT_EQ(harness.engine.findStaticByKey(10000), nullptr);
  EXPECT_NE(harness.engine.findLiveByKey(10001), nullptr);
  harness.createFailed(10001);
  harness.createFailed(20001);
  harness.step();
  EXPECT_EQ(harness.engine.findLiveByKey(10001), nullptr);
  EXPECT_NE(harness.engine.findStaticByKey(10001), nullptr);
  // An empty title is excluded never.
  EXPECT_EQ(harness.engine.reports().exclusionList(),
            (std::vector<std::string>{"Boeing 737 STAT0*", "Airbus A320 LIVE1"}));
  EXPECT_EQ(harness.engine.reports().liveriesNotCreated(),
            (std::vector<std::string>{"  A320 DLH", "  A320 LIV", "  B738 RYR"}));
}

TEST(SimEvents, TheTwentiethDistinctFailedTitleEndsTheSessionAfterItsRecordIsGone) {
  LogCapture log;
  EngineHarness harness;
  for (std::uint32_t i = 0; i < 20; ++i) {
    harness.placeLive(20000 + i, "F" + std::to_string(i), SimState::adding2sim);
    harness.createFailed(20000 + i);
  }
  EXPECT_EQ(thrownText<UserErrorException>([&] { harness.step(); }),
            "81: There are too many liveries that could not be created by MSFS!, see Log.txt");
  EXPECT_TRUE(harness.engine.liveAircraft().empty());
  EXPECT_EQ(log.missing({"===> F0 'Airbus A320 F0' could not be created by your Sim!",
                         "\n===> Error 81, There are too many liveries that could not be created by MSFS!\n"}),
            "");
}

TEST(SimEvents, ABoundStaticAircraftIsParkedAfterTwoSeconds) {
  EngineHarness harness;
  StaticAc& aircraft = harness.placeStatic(17, "RYR1*", SimState::adding2sim);
  harness.bindStatic(17, 450);
  harness.step(199);
  EXPECT_EQ(aircraft.state, SimState::adding2sim);
  EXPECT_TRUE(harness.clientEventsOf(450).empty());
  harness.step();
  EXPECT_EQ(aircraft.state, SimState::active);
  EXPECT_EQ(aircraft.objectId, 450U);
  EXPECT_EQ(harness.clientEventsOf(450).size(), 10U);  // throttle, flaps, engines off and seven lights
  EXPECT_TRUE(harness.sim.calls[Kind::AllLightsToggle].empty());
}

TEST(SimEvents, RemovedObjectsEndOrRestartTheirRecords) {
  std::vector<std::uint32_t> deletedPlans;
  EngineHooks hooks;
  hooks.deleteFlightPlanFile = [&](std::uint32_t id) { deletedPlans.push_back(id); };
  EngineHarness harness(hooks);
  harness.placeLive(20001, "DLH4AB", SimState::removingfromsim, 460).flightPlanWritten = true;
  harness.placeLive(20002, "DLH5CD", SimState::removingfromsim, 461);
  LiveAc& respawning = harness.placeLive(20003, "DLH6EF", SimState::liveryrespawn, 462);
  respawning.throttleIndex = 2;
  respawning.flapsIndex = 1;
  respawning.flightPlanWritten = true;  // its plan goes with its object
  harness.placeStatic(5, "RYR5*", SimState::removingfromsim, 463);
  harness.placeLive(20004, "NEW", SimState::buffer, 0);
  for (std::uint32_t id : {460U, 461U, 462U, 463U, 0U}) {
    harness.objectRemoved(id);
  }
  harness.step();
  EXPECT_EQ(harness.engine.findLiveByKey(20001), nullptr);
  EXPECT_EQ(harness.engine.findLiveByKey(20002), nullptr);
  EXPECT_TRUE(harness.engine.staticAircraft().empty());
  EXPECT_EQ(deletedPlans, (std::vector<std::uint32_t>{460, 462}));
  const LiveAc* again = harness.engine.findLiveByKey(20003);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->state, SimState::buffer);
  EXPECT_EQ(again->objectId, 0U);
  EXPECT_EQ(again->throttleIndex, 5U);
  EXPECT_EQ(again->flapsIndex, 4U);
  EXPECT_FALSE(again->flightPlanWritten) << "the new object has no plan yet";
  EXPECT_NE(harness.engine.findLiveByKey(20004), nullptr);  // an object id of 0 names no aircraft
}

TEST(SimEvents, ABlockedCallsignLeavesTheBufferOrTheSimulator) {
  EngineHarness harness;
  harness.placeLive(20001, "BLK1", SimState::buffer);
  harness.placeLive(20002, "BLK2", SimState::active, 470);
  harness.placeLive(20003, "BLK3", SimState::adding2sim);
  for (std::uint32_t key : {20001U, 20002U, 20003U}) {
    harness.engine.pushSimEvent({0, key, 0, SimEventType::blockedCallsign, 0.0, 0.0});
  }
  harness.step();
  EXPECT_EQ(harness.engine.findLiveByKey(20001), nullptr);
  EXPECT_EQ(harness.engine.findLiveByKey(20002)->state, SimState::removingfromsim);
  EXPECT_EQ(harness.engine.findLiveByKey(20003)->state, SimState::adding2sim);
  ASSERT_EQ(harness.removes.size(), 1U);
  EXPECT_EQ(harness.removes.front().item, 470U);
}

}  // namespace
}  // namespace crv::testing
