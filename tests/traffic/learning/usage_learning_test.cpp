#include "traffic/learning/usage_learning.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/traffic/engine_harness.h"
#include "tests/traffic/stand_grid.h"

namespace crv::testing {
namespace {

UsageEntry entry(std::uint32_t id, const std::string& registration, std::uint32_t weekday,
                 std::initializer_list<std::size_t> halfHours) {
  UsageEntry e;
  e.id = id;
  e.reg = registration;
  e.day = weekday;
  e.airl = "DLH";
  e.type = "A320";
  for (std::size_t h : halfHours) e.hh.set(h);
  return e;
}

TEST(UsageLearning, HalfHourMatchesTakeTheNeighboursAcrossMidnight) {
  const UsageEntry late = entry(1, "D-AIPA", 3, {47});
  EXPECT_TRUE(matchesUsageAtHalfHour(3, 0, "D-AIPA", late));  // 23:30 neighbours 00:00 of the same weekday
  EXPECT_TRUE(matchesUsageAtHalfHour(3, 46, "D-AIPA", late));
  EXPECT_FALSE(matchesUsageAtHalfHour(3, 45, "D-AIPA", late));
  EXPECT_FALSE(matchesUsageAtHalfHour(4, 47, "D-AIPA", late));
  EXPECT_FALSE(matchesUsageAtHalfHour(3, 47, "D-AIPB", late));
  UsageEntry early = entry(2, "D-AIPA", 3, {0});
  EXPECT_TRUE(matchesUsageAtHalfHour(3, 47, "D-AIPA", early));
  EXPECT_THROW(matchesUsageAtHalfHour(3, 48, "D-AIPA", early), std::out_of_range);
  AircraftIdentity aircraft;
  aircraft.airline = "DLH";
  aircraft.icaoType = "A320";
  EXPECT_TRUE(usageMatchesAircraft("XXX1", aircraft, early));
  aircraft.icaoType = "A321";
  EXPECT_FALSE(usageMatchesAircraft("XXX1", aircraft, early));
  early.kind = kSoftUsage;
  EXPECT_FALSE(matchesUsageAtHalfHour(3, 0, "D-AIPA", early));
  early.kind = kRealUsage;
  early.id = 0;  // retired
  EXPECT_FALSE(matchesUsageAtHalfHour(3, 0, "D-AIPA", early));
}

TEST(UsageLearning, CallsignsAndHalfHoursAreMarkedInTheNamedEntries) {
  std::vector<UsageEntry> entries{entry(1, "D-AIPA", 1, {}), entry(2, "D-AIPA", 1, {})};
  setSecondCallsign(entries, 1, "DLH4AB_");
  EXPECT_EQ(entries[0].cs, "DLH4AB");
  setSecondCallsign(entries, 1, "DLH4AB");
  EXPECT_TRUE(entries[0].cs2.empty());
  setSecondCallsign(entries, 1, "LH4AB");
  EXPECT_EQ(entries[0].cs2, "LH4AB");

  EXPECT_TRUE(updateOptions(entries, {3, 4}, 2));
  EXPECT_TRUE(entries[1].hh.test(3) && entries[1].hh.test(4));
  EXPECT_FALSE(updateOptions(entries, {3}, 9));
  EXPECT_FALSE(updateOptions(entries, {5, 48}, 2));  // logged, not thrown

  // Back from Monday 01:00: 2, 1, 0, then Sunday's 47 ends the list.
  markParkedHalfHours(entries, DaySlot{1, 2}, "BAW1_", 6, 1, 2);
  for (const UsageEntry& e : entries) {
    EXPECT_TRUE(e.hh.test(2) && e.hh.test(1) && e.hh.test(0) && e.hh.test(47));
    EXPECT_FALSE(e.hh.test(46));
  }
  EXPECT_EQ(entries[0].cs2, "BAW1");
  EXPECT_EQ(entries[1].cs, "BAW1");
}

TEST(UsageLearning, NewUsageEntriesTakeTheirTypeFromTheRegistration) {
  EngineHarness::installTestAircraftTypes();
  std::vector<UsageEntry> entries{entry(0, "X-OLD", 2, {1}), entry(3, "X-OLD2", 2, {1})};
  AircraftIdentity aircraft;
  aircraft.airline = "EWG";
  aircraft.icaoType = "A319";

  EXPECT_EQ(addUsageEntry(entries, aircraft, kRealUsage, 5, 20, "DLH4AB_", ""), std::make_pair(0U, false));
  EXPECT_EQ(addUsageEntry(entries, aircraft, kRealUsage, 5, 20, "DLH4AB_", "D-AIPA"), std::make_pair(4U, true));
  EXPECT_EQ(entries.back().type, "A320");  // the registration's, not the aircraft's
  EXPECT_EQ(entries.back().airl, "DLH");
  EXPECT_EQ(addUsageEntry(entries, aircraft, kRealUsage, 5, 20, "DLH4AB", "D-AIPA"), std::make_pair(4U, false));
  ASSERT_TRUE(addUsageEntry(entries, aircraft, kSoftUsage, 5, 21, "EWG1", "D-ABCD").second);
  EXPECT_EQ(entries.back().type, "A319");  // an unknown registration: the aircraft's
  EXPECT_THROW(addUsageEntry(entries, aircraft, kRealUsage, 5, 48, "EWG1", "D-ABCE"), std::out_of_range);
}

TEST(EngineQueries, UsageMatchesOfParkedAndLiveAircraft) {
  EngineHarness harness;
  StaticAc& parked = harness.placeStatic(3, "RYR3*", SimState::active, 700);
  parked.base.identity.secondCallsign = "RYR3";
  parked.base.identity.registration = "EI-ABC";
  UsageEntry byCallsign = entry(1, "EI-XYZ", 1, {});
  byCallsign.cs2 = "RYR3";
  EXPECT_TRUE(harness.engine.staticMatchesUsage(byCallsign, "EI-XYZ"));
  EXPECT_TRUE(harness.engine.staticMatchesUsage(entry(1, "", 1, {}), "EI-ABC"));
  // Empty texts on both sides are no match.
  parked.base.identity.secondCallsign.clear();
  EXPECT_FALSE(harness.engine.staticMatchesUsage(entry(1, "", 1, {}), ""));
  EXPECT_FALSE(harness.engine.liveMatchesUsage(byCallsign, "EI-ABC"));
}

TEST(EngineQueries, NeighbourStandsHoldingAParkedAircraftCollide) {
  StandTable stands = standGrid(1, 3, 33.0);  // A3 is 66 m from A1
  EngineHarness harness({}, &stands);
  LiveAc arriving;
  arriving.base.identity.callsign = "NEW1";
  arriving.base.halfSpanNm = 0.01;
  LiveAc& neighbour = harness.placeLive(2, "OLD1", SimState::active);
  neighbour.base.halfSpanNm = 0.01;
  neighbour.phase = FlightPhase::parked;
  neighbour.standId = 2;
  EXPECT_EQ(harness.engine.findCollidingStand({3, 2}, stands[0], arriving), 2U);

  neighbour.phase = FlightPhase::taxi;
  EXPECT_EQ(harness.engine.findCollidingStand({2}, stands[0], arriving), 0U);
  neighbour.phase = FlightPhase::pushing_back;
  EXPECT_EQ(harness.engine.findCollidingStand({2}, stands[0], arriving), 2U);
  arriving.base.identity.callsign = "OLD1";
  EXPECT_EQ(harness.engine.findCollidingStand({2}, stands[0], arriving), 0U);
  arriving.base.identity.callsign = "NEW1";
  arriving.base.halfSpanNm = 0.001;
  neighbour.base.halfSpanNm = 0.001;  // 2 x 0.001 x 1.1 nm = 4 m: clear
  EXPECT_EQ(harness.engine.findCollidingStand({2}, stands[0], arriving), 0U);
}

}  // namespace
}  // namespace crv::testing
