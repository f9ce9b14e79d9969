#include <gtest/gtest.h>

#include "foundation/errors.h"
#include "foundation/settings.h"
#include "simlink/sim_ids.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

using Kind = RecordingSimRequests::Kind;

TEST(SimEvents, ABoundAircraftTurnsActiveAfterTwoSecondsWithLightTogglesOnTheWay) {
  int flightPlans = 0;
  int parkedOver = 0;
  int configured = 0;
  EngineHooks hooks;
  hooks.createFlightPlan = [&](LiveAc&) { ++flightPlans; };
  hooks.parkLiveOverStatic = [&](LiveAc&) { ++parkedOver; };
  hooks.configureActiveAircraft = [&](LiveAc& a) {
    ++configured;
    EXPECT_EQ(a.state, SimState::active);
  };
  EngineHarness harness(hooks);
  EngineTestAccess::setTick(harness.engine, 1000);
  harness.placeLive(0x3C6589, "DLH4AB", SimState::adding2sim);
  harness.bindLive(0x3C6589, 412);
  harness.step(199);
  const LiveAc& aircraft = *harness.engine.findLiveByKey(0x3C6589);
  EXPECT_EQ(aircraft.objectId, 412U);
  EXPECT_EQ(aircraft.state, SimState::adding2sim);
  EXPECT_EQ(harness.sim.ticksOf(Kind::AllLightsToggle), (std::vector<std::int64_t>{1049, 1099}));
  EXPECT_EQ(harness.sim.callsOf(Kind::AllLightsToggle).front().value, 412U);
  ASSERT_EQ(harness.sim.callsOf(Kind::StaticCg).size(), 1U);
  EXPECT_EQ(harness.sim.callsOf(Kind::StaticCg).front().value, 412U);
  EXPECT_EQ(harness.sim.callsOf(Kind::StaticCg).front().tick, 1000);
  EXPECT_EQ(flightPlans, 1);
  EXPECT_EQ(parkedOver, 0);  // airborne
  EXPECT_EQ(configured, 0);

  harness.step();  // the 200th step after the bind
  EXPECT_EQ(aircraft.state, SimState::active);
  EXPECT_EQ(configured, 1);
  EXPECT_EQ(EngineTestAccess::deferredEventCount(harness.engine), 0U);
  harness.step(300);
  EXPECT_EQ(configured, 1);
  EXPECT_EQ(harness.sim.callsOf(Kind::AllLightsToggle).size(), 2U);
}

TEST(SimEvents, BindsOfLowObjectIdsOrUnknownAircraftAreIgnored) {
  int parkedOver = 0;
  EngineHooks hooks;
  hooks.parkLiveOverStatic = [&](LiveAc&) { ++parkedOver; };
  EngineHarness harness(hooks);
  LiveAc& aircraft = harness.placeLive(20001, "DLH4AB", SimState::adding2sim);
  aircraft.path.front().airborne = false;
  for (std::uint32_t id : {0U, 1U, 2U}) {
    harness.bindLive(20001, id);
  }
  harness.bindLive(29999, 500);
  harness.step();
  EXPECT_EQ(EngineTestAccess::deferredEventCount(harness.engine), 0U);
  EXPECT_TRUE(harness.sim.callsOf(Kind::StaticCg).empty());
  harness.bindLive(20001, 3);
  harness.step();
  EXPECT_EQ(EngineTestAccess::deferredEventCount(harness.engine), 1U);
  EXPECT_EQ(parkedOver, 1);  // its first point is on the ground
}

TEST(SimEvents, AnAircraftGoneBeforeActivationLeavesNoEventForItsKey) {
  EngineHarness harness;
  harness.placeLive(20001, "DLH4AB", SimState::adding2sim);
  harness.bindLive(20001, 420);
  harness.step(10);
  harness.objectRemoved(420);
  harness.step(200);
  EXPECT_EQ(EngineTestAccess::deferredEventCount(harness.engine), 0U);
  // A new aircraft of the same key is not made active by the old event.
  harness.placeLive(20001, "DLH4AB", SimState::buffer);
  harness.step(5);
  EXPECT_EQ(harness.engine.findLiveByKey(20001)->state, SimState::buffer);
}

TEST(SimEvents, CentreOfGravityRepliesAreCheckedForPlausibility) {
  EngineHarness harness;
  LiveAc& aircraft = harness.placeLive(20001, "DLH4AB", SimState::active, 430);
  aircraft.base.staticCgHeightFeet = 8.0;
  auto cg = [&](double heightFeet, double pitchRadians) {
    harness.engine.pushSimEvent({430, 0, 0, SimEventType::staticCg, heightFeet, pitchRadians});
    harness.step();
  };
  const double degree = 0.017453292519943295;
  cg(0.5, 1.0 * degree);
  EXPECT_DOUBLE_EQ(aircraft.base.staticCgHeightFeet, 8.0);
  EXPECT_DOUBLE_EQ(aircraft.base.restPitchRadians, 1.0 * degree);
  cg(35.0, -1.0 * degree);
  EXPECT_DOUBLE_EQ(aircraft.base.staticCgHeightFeet, 35.0);
  EXPECT_DOUBLE_EQ(aircraft.base.restPitchRadians, 0.012217304763960306);
  cg(12.0, 2.5 * degree);
  EXPECT_DOUBLE_EQ(aircraft.base.restPitchRadians, 2.5 * degree);
  cg(35.5, 2.6 * degree);
  EXPECT_DOUBLE_EQ(aircraft.base.staticCgHeightFeet, 12.0);
  EXPECT_DOUBLE_EQ(aircraft.base.restPitchRadians, 0.012217304763960306);
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

  harness.engine.pushSimEvent({440, 1, 0, SimEventType::groundInfo, 364.0, 3.0});
  harness.engine.pushSimEvent({441, 1, 0, SimEventType::groundInfo, 364.0, 20.0});
  harness.engine.pushSimEvent({999, 1, 0, SimEventType::groundInfo, 364.0, 20.0});
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

TEST(SimEvents, AFailedCreateLooksOnlyInTheTableOfItsKey) {
  EngineHarness harness;
  harness.placeLive(10001, "LIVE1", SimState::adding2sim);
  harness.placeStatic(10000, "STAT0*", SimState::adding2sim);
  harness.placeStatic(10001, "STAT1*", SimState::adding2sim);
  harness.createFailed(10000);
  harness.step();
  EXPECT_EQ(harness.engine.findStaticByKey(10000), nullptr);
  EXPECT_NE(harness.engine.findLiveByKey(10001), nullptr);
  harness.createFailed(10001);
  harness.step();
  EXPECT_EQ(harness.engine.findLiveByKey(10001), nullptr);
  EXPECT_NE(harness.engine.findStaticByKey(10001), nullptr);
  EXPECT_TRUE(harness.engine.reports().isExcludedTitle("Boeing 737 STAT0*"));
  EXPECT_TRUE(harness.engine.reports().isExcludedTitle("Airbus A320 LIVE1"));
  EXPECT_EQ(harness.engine.reports().liveriesNotCreated(), (std::vector<std::string>{"  A320 LIV", "  B738 RYR"}));
}

TEST(SimEvents, TheTwentiethDistinctFailedTitleEndsTheSession) {
  EngineHarness harness;
  for (std::uint32_t i = 0; i < 19; ++i) {
    harness.placeLive(20000 + i, "F" + std::to_string(i), SimState::adding2sim);
    harness.createFailed(20000 + i);
    // A title that failed before does not count twice.
    LiveAc& again = harness.placeLive(21000 + i, "F" + std::to_string(i), SimState::adding2sim);
    again.base.identity.icaoType = "B744";
    harness.createFailed(21000 + i);
  }
  EXPECT_NO_THROW(harness.step());
  EXPECT_EQ(harness.engine.reports().exclusionList().size(), 19U);
  EXPECT_TRUE(harness.engine.liveAircraft().empty());

  harness.placeLive(20019, "F19", SimState::adding2sim);
  harness.createFailed(20019);
  try {
    harness.step();
    FAIL() << "no error 81";
  } catch (const UserErrorException& error) {
    EXPECT_STREQ(error.what(),
                 "81: There are too many liveries that could not be created by MSFS!, see Log.txt");
  }
  EXPECT_TRUE(harness.engine.liveAircraft().empty());
}

TEST(SimEvents, ABoundStaticAircraftIsParkedAfterTwoSeconds) {
  EngineHarness harness;
  StaticAc& aircraft = harness.placeStatic(17, "RYR1*", SimState::adding2sim);
  aircraft.standCargo = true;
  harness.bindStatic(17, 450);
  harness.step(199);
  EXPECT_EQ(aircraft.state, SimState::adding2sim);
  EXPECT_TRUE(harness.clientEventsOf(450).empty());
  harness.step();
  EXPECT_EQ(aircraft.state, SimState::active);
  EXPECT_EQ(aircraft.objectId, 450U);
  const std::uint32_t nav = par_NAV_LIGHTS_WHILE_PARKED.value() ? 1 : 0;
  EXPECT_EQ(harness.clientEventsOf(450), (std::vector<ClientEventRecord>{{450, 222, 0},
                                                                         {450, 217, 0},
                                                                         {450, 221, 0},
                                                                         {450, 207, nav},
                                                                         {450, 206, 0},
                                                                         {450, 210, 0},
                                                                         {450, 208, 0},
                                                                         {450, 209, 0},
                                                                         {450, 212, 1},
                                                                         {450, 211, 0}}));
  EXPECT_TRUE(harness.sim.callsOf(Kind::AllLightsToggle).empty());
}

TEST(SimEvents, RemovedObjectsEndOrRestartTheirRecords) {
  std::vector<std::uint32_t> deletedPlans;
  EngineHooks hooks;
  hooks.deleteFlightPlanFile = [&](std::uint32_t id) { deletedPlans.push_back(id); };
  EngineHarness harness(hooks);
  LiveAc& withPlan = harness.placeLive(20001, "DLH4AB", SimState::removingfromsim, 460);
  withPlan.flightPlanWritten = true;
  harness.placeLive(20002, "DLH5CD", SimState::removingfromsim, 461);
  LiveAc& respawning = harness.placeLive(20003, "DLH6EF", SimState::liveryrespawn, 462);
  respawning.throttleIndex = 2;
  respawning.flapsIndex = 1;
  harness.placeStatic(5, "RYR5*", SimState::removingfromsim, 463);
  harness.placeLive(20004, "NEW", SimState::buffer, 0);
  for (std::uint32_t id : {460U, 461U, 462U, 463U, 0U}) {
    harness.objectRemoved(id);
  }
  harness.step();
  EXPECT_EQ(harness.engine.findLiveByKey(20001), nullptr);
  EXPECT_EQ(harness.engine.findLiveByKey(20002), nullptr);
  EXPECT_TRUE(harness.engine.staticAircraft().empty());
  EXPECT_EQ(deletedPlans, (std::vector<std::uint32_t>{460}));
  const LiveAc* again = harness.engine.findLiveByKey(20003);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->state, SimState::buffer);
  EXPECT_EQ(again->objectId, 0U);
  EXPECT_EQ(again->throttleIndex, 5U);
  EXPECT_EQ(again->flapsIndex, 4U);
  EXPECT_NE(harness.engine.findLiveByKey(20004), nullptr);
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

TEST(SimEvents, FailingSimulatorRequestsPauseTheLinkOnce) {
  EngineHarness harness;
  harness.sim.failCalls = true;
  harness.placeLive(20001, "DLH4AB", SimState::adding2sim);
  harness.bindLive(20001, 480);
  harness.step(60);
  EXPECT_TRUE(harness.link.simLinkPaused.load());
  EXPECT_EQ(harness.requestErrors, 1);
  // The aircraft still goes on towards active.
  harness.step(150);
  EXPECT_EQ(harness.engine.findLiveByKey(20001)->state, SimState::active);
}

}  // namespace
}  // namespace crv::testing
