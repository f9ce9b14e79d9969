#include <bitset>
#include <cmath>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/settings.h"
#include "tests/traffic/engine_test_access.h"
#include "tests/traffic/rules_harness.h"

namespace crv::testing {
namespace {

// Far from every stand and from the user.
const GeoPoint kTaxiway = offsetMeters(kApronOrigin, -1000.0, 0.0);

TEST(Spawn, MovingGroundAircraftLeadByThreeSecondsOthersByOne) {
  struct Case {
    double speedKnots;
    bool airborne;
    std::int64_t lead;
  };
  for (const Case c : {Case{10.0, false, 300}, Case{0.0, false, 100}, Case{250.0, true, 100}, Case{NAN, false, 300}}) {
    RulesHarness h;
    LiveAc& aircraft = h.buffered(20001, "DLH4AB", kTaxiway, c.speedKnots, 1000, c.airborne);
    EngineTestAccess::setTick(h.engine, 1000 - c.lead - 1);
    h.rules.trySpawn(aircraft);
    EXPECT_EQ(aircraft.state, SimState::buffer) << c.speedKnots;
    EngineTestAccess::setTick(h.engine, 1000 - c.lead);
    h.rules.trySpawn(aircraft);
    EXPECT_EQ(aircraft.state, SimState::adding2sim) << c.speedKnots;
    EXPECT_EQ(aircraft.phase, c.airborne ? FlightPhase::flying : FlightPhase::taxi);
  }
}

// The wait before the lead is told by the due tick the path keeps: a front
// moved later after a first look is waited for, one moved sooner goes.
TEST(Spawn, AFrontRetimedWhileWaitingSpawnsByItsNewDueTick) {
  RulesHarness h;
  LiveAc& aircraft = h.buffered(20001, "DLH4AB", kTaxiway, 250.0, 1000, true);
  EngineTestAccess::setTick(h.engine, 500);
  h.rules.trySpawn(aircraft);
  aircraft.path.front().dueTick = 2000;
  EngineTestAccess::setTick(h.engine, 1000);
  h.rules.trySpawn(aircraft);
  EXPECT_EQ(aircraft.state, SimState::buffer);
  aircraft.path.front().dueTick = 1050;
  h.rules.trySpawn(aircraft);
  EXPECT_EQ(aircraft.state, SimState::adding2sim);
}

TEST(Spawn, AirbornePitchFollowsTheClampedVerticalSpeed) {
  for (const auto& [verticalSpeedFpm, pitchDegrees] : {std::pair{3000.0, -11.8}, std::pair{-4000.0, 2.5}}) {
    RulesHarness h;
    LiveAc& aircraft = h.buffered(20001, "DLH4AB", kTaxiway, 250.0, 100, true);
    aircraft.path.front().verticalSpeedFpm = verticalSpeedFpm;
    h.rules.trySpawn(aircraft);
    EXPECT_NEAR(aircraft.position.pitchRadians * kRadiansToDegrees, pitchDegrees, 1e-9);
  }
}

TEST(Spawn, ElevenWaitingLiveCreatesCostTheNewcomerItsFrontPoint) {
  RulesHarness h;
  LiveAc& aircraft = h.buffered(20001, "DLH4AB", kTaxiway, 250.0, 100, true);
  aircraft.path.push_back(aircraft.path.back());
  for (int i = 0; i < 11; ++i) {
    EngineTestAccess::queueLiveCreate(h.engine, {});
  }
  h.rules.trySpawn(aircraft);
  EXPECT_EQ(aircraft.state, SimState::buffer);
  EXPECT_EQ(aircraft.path.size(), 2U);
}

TEST(Spawn, ABlockedCallsignIsDroppedEvenWithALivery) {
  RulesHarness h;
  h.rules.blockedCallsign().publish("DLH4AB");
  LiveAc& aircraft = h.buffered(20001, "DLH4AB", kTaxiway, 250.0, 100, true);
  h.rules.trySpawn(aircraft);
  EXPECT_TRUE(aircraft.dropFromBuffer);
  h.rules.blockedCallsign().publish("");
  LiveAc& again = h.buffered(20002, "DLH4AB", kTaxiway, 250.0, 100, true);
  h.rules.trySpawn(again);
  EXPECT_EQ(again.state, SimState::adding2sim);
}

// The window's thread publishes while the worker spawns (run under TSan).
TEST(Spawn, TheBlockedCallsignIsHandedOverBetweenThreads) {
  BlockedCallsign blocked;
  std::thread window([&] {
    for (int i = 0; i < 2000; ++i) {
      blocked.publish(i % 2 == 0 ? "DLH4AB" : "BAW1");
    }
    blocked.publish("DLH4AB");
  });
  for (int i = 0; i < 2000; ++i) {
    blocked.isBlocked("DLH4AB");
  }
  window.join();
  EXPECT_TRUE(blocked.isBlocked("DLH4AB"));
  EXPECT_FALSE(blocked.isBlocked("BAW1"));
}

// The user flies low over the field; the aircraft waits right ahead of her.
TEST(Spawn, AGroundSpawnAheadOfALowUserIsJudgedFromThePointItself) {
  RulesHarness h;
  h.harness.user.altitudeAboveGroundFeet = 500.0;
  h.harness.user.altitudeFeet = 860.0;
  h.harness.user.headingRadians = 0.0;
  EngineTestAccess::setUserAircraft(h.engine, h.harness.user);
  const GeoPoint ahead = offsetMeters({h.harness.user.latitude, h.harness.user.longitude}, 900.0, 0.0);
  LiveAc& aircraft = h.buffered(20001, "DLH4AB", ahead, 0.0, 100);
  aircraft.path.push_back(aircraft.path.back());
  h.rules.trySpawn(aircraft);
  EXPECT_EQ(aircraft.state, SimState::buffer);
  EXPECT_TRUE(aircraft.spawnConflict);
  EXPECT_EQ(aircraft.path.size(), 2U);
}

TEST(Spawn, ARespawnedAircraftGetsALiveryAgainInAnyPhaseOrIsDropped) {
  for (const bool liveryFound : {true, false}) {
    RulesHarness h;
    h.noLiveries = !liveryFound;
    LiveAc& aircraft = h.buffered(20001, "DLH4AB", kTaxiway, 15.0, 100);
    aircraft.base.identity.registration = "D-AIPA";
    aircraft.phase = FlightPhase::taxi;  // back in the buffer after a respawn
    h.rules.trySpawn(aircraft);
    EXPECT_EQ(h.matchCount, 1);
    if (liveryFound) {
      EXPECT_EQ(aircraft.state, SimState::adding2sim);
      h.harness.step(51);
      ASSERT_EQ(h.harness.creates.size(), 1U);
      EXPECT_EQ(h.harness.creates.front().item.liveryTitle, "Livery A320");
    } else {
      EXPECT_TRUE(aircraft.dropFromBuffer);
      EXPECT_EQ(h.engine.reports().noMatchCount(), 1U);
    }
  }
}

TEST(Spawn, AStandingAircraftSpawnsOnTheNearestFreeStandButNeverTheUsersOrTheReservedOne) {
  for (const char* name : {"A1", "A2", "A3", "A4"}) {
    RulesHarness h;
    h.userStand = "A1";
    h.rules.setReservedStand("A2");
    h.standAtUser = "A3";
    LiveAc& aircraft = h.buffered(20001, "DLH4AB", h.stand(name).position(), 0.0, 100);
    h.rules.trySpawn(aircraft);
    const bool mayTake = std::string(name) == "A4";
    EXPECT_EQ(aircraft.phase, mayTake ? FlightPhase::parked : FlightPhase::taxi) << name;
    EXPECT_EQ(aircraft.standId, mayTake ? h.stand("A4").id : 0U) << name;
    EXPECT_EQ(h.stand(name).occupied, mayTake) << name;
  }
}

// Seen first on its usual stand, an aircraft marks the half hour in its own
// entry of the weekday instead of starting a second one; leaving, it fills
// the half hours since then in that entry.
TEST(Spawn, AnAircraftSpawningOnItsUsualStandMarksTheHalfHourInItsOwnEntry) {
  RulesHarness h;
  h.stand("B2").usage.push_back(dlhUsage(1, 3, {10}, "DLH4AB", "DLH4AB"));
  LiveAc& aircraft = h.buffered(20001, "DLH4AB", h.stand("B2").position(), 0.0, 100);
  h.rules.trySpawn(aircraft);
  ASSERT_EQ(aircraft.standId, h.stand("B2").id);
  const std::vector<UsageEntry>& usage = h.stand("B2").usage;
  ASSERT_EQ(usage.size(), 1U);
  EXPECT_EQ(usage[0].hh, (std::bitset<48>().set(10).set(20)));

  h.slotNow = {3, 23};
  h.rules.updateParkedTimers(aircraft);
  ASSERT_EQ(usage.size(), 1U);
  EXPECT_EQ(usage[0].hh, (std::bitset<48>().set(10).set(20).set(21).set(22).set(23)));
}

TEST(Spawn, AGroundSpawnFortyMetresFromItsLastPointWhileMovingFindsNoStand) {
  RulesHarness h;
  LiveAc& aircraft = h.buffered(20001, "DLH4AB", offsetMeters(h.stand("B2").position(), -40.0, 0.0), 3.0, 100);
  aircraft.path.back().latitude = h.stand("B2").latitude;
  aircraft.path.back().longitude = h.stand("B2").longitude;
  aircraft.path.back().speedKnots = 3.0;
  h.rules.trySpawn(aircraft);
  EXPECT_EQ(aircraft.phase, FlightPhase::taxi);
}

}  // namespace
}  // namespace crv::testing
