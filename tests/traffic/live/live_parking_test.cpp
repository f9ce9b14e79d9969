#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "foundation/settings.h"
#include "tests/traffic/engine_test_access.h"
#include "tests/traffic/rules_harness.h"

namespace crv::testing {
namespace {

// A taxiing active aircraft whose path ends at the point.
LiveAc& taxiingTo(RulesHarness& h, std::uint32_t key, const std::string& callsign, GeoPoint end) {
  LiveAc& aircraft = h.harness.placeLive(key, callsign, SimState::active, key - 19000);
  aircraft.phase = FlightPhase::taxi;
  aircraft.onGround = true;
  aircraft.path.back().latitude = end.latitude;
  aircraft.path.back().longitude = end.longitude;
  aircraft.path.back().airborne = false;
  aircraft.path.front().airborne = false;
  return aircraft;
}

TEST(LiveParking, AnArrivalIsDrivenOntoTheNearestStandOnce) {
  RulesHarness h;
  const GeoPoint end = offsetMeters(h.stand("A3").position(), -12.0, 0.0);
  LiveAc& aircraft = taxiingTo(h, 20001, "DLH4AB", end);
  h.rules.try2Park(aircraft, false);
  EXPECT_EQ(aircraft.phase, FlightPhase::parking);
  EXPECT_EQ(aircraft.standId, h.stand("A3").id);
  EXPECT_TRUE(h.stand("A3").occupied);
  ASSERT_EQ(aircraft.path.size(), 3U);  // the front, on the stand, standing still on it
  EXPECT_NEAR(aircraft.path[1].latitude, h.stand("A3").latitude, 1e-12);
  EXPECT_FALSE(aircraft.path[1].stationary);
  EXPECT_TRUE(aircraft.path[2].stationary);
  EXPECT_EQ(aircraft.path[2].dueTick - aircraft.path[1].dueTick, 50);
  EXPECT_GE(aircraft.path[1].dueTick - aircraft.path[0].dueTick, 100);

  // The same path end again changes nothing.
  aircraft.phase = FlightPhase::taxi;
  aircraft.path.resize(1);
  aircraft.path.back().latitude = end.latitude;
  aircraft.path.back().longitude = end.longitude;
  h.rules.try2Park(aircraft, false);
  EXPECT_EQ(aircraft.phase, FlightPhase::taxi);
}

// 70 m from its usual stand and more than 55 m from any other: only wide
// parking takes the stand its usage names, and only for the aircraft it names.
TEST(LiveParking, WideParkingFindsTheUsualStandWithin85Metres) {
  struct Case {
    bool wide;
    const char* callsign;
    bool parks;
  };
  for (const Case c : {Case{true, "DLH4AB", true}, Case{false, "DLH4AB", false}, Case{true, "KLM1", false}}) {
    RulesHarness h(standGrid(1, 2, 200.0));
    h.stand("A2").usage.push_back(dlhUsage(1, 3, {20}, "DLH4AB", "D-AIPA"));
    LiveAc& aircraft = taxiingTo(h, 20001, c.callsign, offsetMeters(h.stand("A2").position(), -70.0, 0.0));
    aircraft.base.identity.airline = "KLM";  // no airline-and-type match: the callsign decides
    h.rules.try2Park(aircraft, c.wide);
    EXPECT_EQ(aircraft.phase, c.parks ? FlightPhase::parking : FlightPhase::taxi) << c.wide << c.callsign;
    EXPECT_EQ(aircraft.standId, c.parks ? h.stand("A2").id : 0U) << c.wide << c.callsign;
  }
}

TEST(LiveParking, TheReservedStandAndTheStandUnderTheUserAreNeverTaken) {
  for (const bool reserved : {true, false}) {
    RulesHarness h;
    if (reserved) {
      h.rules.setReservedStand("A3");
    } else {
      h.standAtUser = "A3";
    }
    LiveAc& aircraft = taxiingTo(h, 20001, "DLH4AB", h.stand("A3").position());
    h.rules.try2Park(aircraft, true);
    EXPECT_EQ(aircraft.phase, FlightPhase::taxi);
    EXPECT_FALSE(h.stand("A3").occupied);
  }
}

// Points (metres from the stand, accepted) of an aircraft with a 25 m half span.
TEST(LiveParking, PointsThatDriftAwayReleaseTheAircraftOnlyOnTheThirdStepHalfASpanAway) {
  const std::vector<std::pair<double, bool>> walks[] = {
      {{2.0, false}, {5.5, false}, {9.0, false}, {12.5, false}, {16.0, true}},
      // Half a span away on the second step still stays; a step back starts the count again.
      {{2.0, false}, {9.0, false}, {16.0, false}, {12.0, false}, {19.5, false}, {23.0, false}, {26.5, true}},
      {{2.0, false}, {30.0, true}},  // more than a span away leaves at once
  };
  for (const auto& walk : walks) {
    RulesHarness h;
    LiveAc& aircraft = h.parkedLive(20001, "DLH4AB", h.stand("A3"), 501);
    aircraft.previousPhase = FlightPhase::parked;
    aircraft.base.halfSpanNm = 0.0135;
    for (const auto& [metres, accepted] : walk) {
      PathPoint p = aircraft.path.back();
      const GeoPoint at = offsetMeters(h.stand("A3").position(), metres, 0.0);
      p.latitude = at.latitude;
      p.longitude = at.longitude;
      EXPECT_EQ(h.rules.checkStandApproach(aircraft, p), accepted) << metres;
    }
    EXPECT_TRUE(aircraft.motion.leavingStand);
  }
}

TEST(LiveParking, AnAircraftThatDrivesOnElsewhereFreesTheStandItWasGiven) {
  RulesHarness h;
  LiveAc& aircraft = taxiingTo(h, 20001, "DLH4AB", h.stand("A3").position());
  h.rules.try2Park(aircraft, false);
  ASSERT_TRUE(h.stand("A3").occupied);
  PathPoint away = aircraft.path.back();
  away.latitude = offsetMeters(h.stand("A3").position(), -250.0, 0.0).latitude;
  EXPECT_TRUE(h.rules.checkStandApproach(aircraft, away));
  EXPECT_EQ(aircraft.phase, FlightPhase::taxi);
  EXPECT_FALSE(h.stand("A3").occupied);
}

TEST(LiveParking, OnlyBusinessJetsAndAirlinersLeavingSoonAfterLandingWereTowed) {
  for (const SizeCategory category : {SizeCategory::Large, SizeCategory::Light, SizeCategory::HighPerf}) {
    RulesHarness h;
    LiveAc& aircraft = h.parkedLive(20001, "DLH4AB", h.stand("A3"), 501);
    aircraft.base.category = category;
    aircraft.generatedLegs = 1;
    aircraft.motion.landed = true;
    aircraft.path.back().dueTick = h.engine.tick() + 60480000 - 6000;  // parked for a minute
    h.stand("A3").occupied = true;
    h.rules.updateParkedTimers(aircraft);
    EXPECT_EQ(aircraft.motion.towed, category == SizeCategory::Large);
    EXPECT_EQ(aircraft.generatedLegs, 0);
    EXPECT_FALSE(h.stand("A3").occupied);
    ASSERT_EQ(h.engine.lastStandUse().size(), 1u);  // the half hour it left in, learned
    EXPECT_EQ(h.engine.lastStandUse()[0].weekHalfHour, static_cast<std::uint32_t>(h.slotNow.weekIndex()));
  }
}

}  // namespace
}  // namespace crv::testing
