#include <gtest/gtest.h>

#include "tests/support/settings_fixture.h"
#include "tests/traffic/engine_test_access.h"
#include "tests/traffic/rules_harness.h"

namespace crv::testing {
namespace {

TEST(LiveRules, ASpawnRemovesItsGhostAndTheGhostNeverSpawnsAgain) {
  RulesHarness h;
  h.harness.placeLive(20001, "DLH4AB_", SimState::active, 501);
  LiveAc& real = h.buffered(20002, "DLH4AB", offsetMeters(kApronOrigin, 5000.0, 0.0), 250.0, 100, true);
  h.rules.trySpawn(real);
  EXPECT_EQ(h.engine.findLiveByKey(20001)->state, SimState::removingfromsim);
  EXPECT_EQ(h.rules.ghostCallsigns(), std::vector<std::string>{"DLH4AB_"});
  real.state = SimState::removingfromsim;  // even once the real flight has gone
  LiveAc& ghost = h.buffered(20003, "DLH4AB_", offsetMeters(kApronOrigin, 6000.0, 0.0), 250.0, 100, true);
  h.rules.trySpawn(ghost);
  EXPECT_TRUE(ghost.dropFromBuffer);
}

TEST(LiveRules, AStandHolderGivesWayOnlyToTheRightNewcomer) {
  struct Case {
    const char* holder;
    const char* newcomer;
    bool holderReachedStand;
    bool mayTake;
  };
  const Case cases[] = {
      {"DLH4AB", "DLH4AB", true, true},    // the same aircraft again: the old one goes
      {"DLH4AB", "DLH4AB_", false, false}, // the newcomer is the holder's ghost
      {"DLH4AB_", "DLH4AB", true, true},   // the holder is the newcomer's ghost
      {"KLM1", "BAW2_", false, false},     // a ghost never takes a stand
      {"KLM1", "BAW2", true, false},       // a holder on its stand keeps it
      {"KLM1", "BAW2", false, true},       // one still driving onto it does not
  };
  for (const Case& c : cases) {
    RulesHarness h;
    LiveAc& holder = h.parkedLive(20001, c.holder, h.stand("A1"), 501);
    holder.motion.standReached = c.holderReachedStand;
    EXPECT_EQ(h.rules.resolveStandConflict(h.stand("A1").id, c.newcomer), c.mayTake) << c.holder << c.newcomer;
    EXPECT_EQ(holder.state == SimState::removingfromsim, c.mayTake) << c.holder << c.newcomer;
  }
}

TEST(LiveRules, TheMaximumParkedRemovesTheLongestParkedLiveAndTheEarliestPlacedStatic) {
  RulesHarness h;
  h.engine.setParkAirport("EDDF", 0.0);
  par_parking_percentage.setValue(17);  // 2 of the 12 stands
  ASSERT_EQ(h.engine.wantedStaticCount(), 2);
  LiveAc& older = h.parkedLive(20001, "DLH1", h.stand("A1"), 501);
  LiveAc& newer = h.parkedLive(20002, "DLH2", h.stand("A2"), 502);
  older.motion.standLastApproachTick = -6000;
  StaticAc& creating = h.parkedStatic(3, "RYR3*", h.stand("A3"), 0);
  creating.state = SimState::adding2sim;
  creating.slot = DaySlot{1, 0}.packed();  // the earliest, not yet in the simulator
  StaticAc& placed = h.parkedStatic(4, "RYR4*", h.stand("A4"), 504);
  placed.slot = DaySlot{2, 10}.packed();
  h.rules.enforceMaxPark(1);
  EXPECT_EQ(older.state, SimState::removingfromsim);
  EXPECT_EQ(newer.state, SimState::active);
  EXPECT_TRUE(creating.removeOnceCreated) << "the earliest goes once it is created";
  EXPECT_EQ(placed.state, SimState::active);
  // The earliest is on its way out already: no other static goes for it,
  // and its removal is not asked twice.
  h.rules.enforceMaxPark(1);
  EXPECT_EQ(placed.state, SimState::active);
  EXPECT_EQ(h.engine.removeQueue().size(), 1U);  // DLH1's object

  par_RT_PARKTRAFFIC_ONLY.setValue(true);
  h.rules.enforceMaxPark(5);
  EXPECT_EQ(newer.state, SimState::active);
  resetAllSettings();
}

// A static whose create was cancelled earlier in the same step (a spawn
// made way for itself) is gone: the maximum takes the next earliest.
TEST(LiveRules, TheMaximumParkedPassesByAStaticWhoseCreateWasCancelled) {
  RulesHarness h;
  h.engine.setParkAirport("EDDF", 0.0);
  par_parking_percentage.setValue(17);  // 2 of the 12 stands
  ASSERT_EQ(h.engine.wantedStaticCount(), 2);
  StaticAc& cancelled = h.parkedStatic(3, "RYR3*", h.stand("A3"), 0);
  cancelled.state = SimState::adding2sim;
  cancelled.createCancelled = true;
  cancelled.slot = DaySlot{1, 0}.packed();
  StaticAc& placed = h.parkedStatic(4, "RYR4*", h.stand("A4"), 504);
  placed.slot = DaySlot{2, 10}.packed();
  StaticAc& later = h.parkedStatic(5, "RYR5*", h.stand("A5"), 505);
  later.slot = DaySlot{3, 10}.packed();
  h.rules.enforceMaxPark(1);
  EXPECT_EQ(placed.state, SimState::removingfromsim);
  EXPECT_EQ(later.state, SimState::active);
  resetAllSettings();
}

TEST(LiveRules, TheSameRealAircraftReplacesItsStaticTwin) {
  struct Case {
    std::uint32_t fromUsage;
    std::uint32_t feedAddress;
    const char* registration;
    const char* staticCallsign;
    const char* coupled;
    bool removed;
  };
  const Case cases[] = {
      {0, 20001, "", "X1*", "", true},        // parked traffic of the same address
      {1, 20001, "", "X1*", "", false},       // learned usage: the address means nothing
      {1, 0, "D-AIPA", "X1*", "", true},      // same registration
      {1, 0, "", "DLH4AB*", "", true},        // same callsign
      {1, 0, "", "X1*", "DLH4AB", true},      // coupled callsign
      {1, 0, "", "X1*", "", false},
  };
  for (const Case& c : cases) {
    RulesHarness h;
    StaticAc& parked = h.parkedStatic(5, c.staticCallsign, h.stand("A1"), 505);
    parked.fromUsage = c.fromUsage;
    parked.feedAddress = c.feedAddress;
    parked.base.identity.registration = c.registration;
    parked.base.identity.secondCallsign = c.coupled;
    LiveAc& live = h.harness.placeLive(20001, "DLH4AB", SimState::active, 501);
    live.base.identity.registration = "D-AIPA";
    h.rules.queueIdentityCheck(20001);
    h.rules.checkNextIdentity();
    EXPECT_EQ(parked.state == SimState::removingfromsim, c.removed) << c.staticCallsign << c.registration;
    EXPECT_EQ(h.rules.identityChecksWaiting(), 0U);
  }
}

TEST(LiveRules, TheReservedStandIsClearedOnTheNextEngineStep) {
  RulesHarness h;
  h.rules.setReservedStand("A2");
  StaticAc& parked = h.parkedStatic(5, "RYR5*", h.stand("A2"), 505);
  LiveAc& live = h.parkedLive(20001, "DLH4AB", h.stand("A2"), 501);
  h.harness.step();
  EXPECT_EQ(parked.state, SimState::removingfromsim);
  EXPECT_EQ(live.state, SimState::active);  // one a step, the static one first
  h.harness.step();
  EXPECT_EQ(live.state, SimState::removingfromsim);
}

TEST(LiveRules, MakeWayClearsTheStandAndTheNeighboursTheWingsReach) {
  RulesHarness h(standGrid(1, 4, 30.0));
  LiveAc& live = h.harness.placeLive(20001, "DLH4AB", SimState::adding2sim);
  StaticAc& onStand = h.parkedStatic(5, "RYR5*", h.stand("A2"), 505);
  StaticAc& neighbour = h.parkedStatic(6, "RYR6*", h.stand("A3"), 506);
  neighbour.base.identity.icaoType = "A320";
  StaticAc& farAway = h.parkedStatic(7, "RYR7*", h.stand("A4"), 507);
  h.rules.makeWay(live, h.stand("A2"));
  EXPECT_EQ(onStand.state, SimState::removingfromsim);
  EXPECT_EQ(neighbour.state, SimState::removingfromsim);
  EXPECT_EQ(farAway.state, SimState::active);
}

TEST(LiveRules, ATaxiingAircraftRemovesAStaticItWouldTouchButNeverItsOwnCallsign) {
  par_COLLISION_LIVE_PARKED_GND.setValue(true);
  RulesHarness h;
  StaticAc& twin = h.parkedStatic(5, "DLH4AB", h.stand("A1"), 505);
  StaticAc& other = h.parkedStatic(6, "RYR6*", h.stand("A1"), 506);
  LiveAc& live = h.harness.placeLive(20001, "DLH4AB", SimState::active, 501);
  live.onGround = true;
  live.phase = FlightPhase::taxi;
  live.position.latitude = h.stand("A1").latitude;
  live.position.longitude = h.stand("A1").longitude;
  h.rules.removeStaticsForCollision();
  EXPECT_EQ(twin.state, SimState::active);
  EXPECT_EQ(other.state, SimState::removingfromsim);
  resetAllSettings();
}

}  // namespace
}  // namespace crv::testing
