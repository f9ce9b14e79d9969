#include "traffic/statics/static_parking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "foundation/settings.h"
#include "tests/support/log_capture.h"
#include "tests/support/settings_fixture.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"
#include "tests/traffic/stand_grid.h"
#include "traffic/statics/static_callsign.h"

namespace crv::testing {
namespace {

EngineHooks staticHooks(StaticParking* const& slot) {
  EngineHooks hooks;
  StaticParking::fillEngineHooks(hooks, slot);
  return hooks;
}

// Stands 30 m apart in rows of six: the stands of a row overlap their
// neighbours, the rows do not.
class StaticParkingTest : public ::testing::Test {
 protected:
  StaticParkingTest() {
    slot = &parking;
    EngineHarness::installTestAircraftTypes();
    parking.seedRandom(7);
    par_MAX_FIT.setValue(4);
    par_WEEK.setValue(false);
    par_PARK_SOFT.setValue(false);
    par_PARK_FAKE.setValue(false);
  }
  ~StaticParkingTest() override { resetAllSettings(); }

  StaticParkingServices services() {
    StaticParkingServices s;
    s.matchLivery = [this](AircraftBase& base, const ParkingPosition&) {
      base.liveryTitle = liveryFound ? "Livery " + base.identity.icaoType : "";
      return liveryFound;
    };
    s.currentSlot = [this] { return now; };
    s.halfSpanNm = [](std::string_view) { return 18.0 / kMetersPerNm; };
    s.stopCollectingLive = [this] { readerCalls.push_back("stop"); };
    s.takeCollectedLive = [this] {
      readerCalls.push_back("take");
      return collected;
    };
    s.requestParkedTraffic = [this] { return &parked; };
    return s;
  }
  // Every stand used now by its own aircraft.
  void fillEveryStand() {
    for (ParkingPosition& stand : stands) {
      stand.usage.push_back(dlhUsage(1, now.weekday, {now.halfHour}, "DLH" + stand.name, "D-A" + stand.name));
    }
  }

  ParkedTrafficRecord parkedAt(const std::string& standName, std::uint32_t key, const std::string& callsign, int age) {
    return parkedRecordOn(stands, standName, key, callsign, age);
  }

  DaySlot now{3, 20};
  bool liveryFound = true;
  std::vector<std::string> readerCalls;
  LiveIdentities collected;
  std::vector<ParkedTrafficRecord> parked;
  StaticParking* slot = nullptr;  // the engine's hooks reach the parking through it
  StandTable stands = standGrid(2, 6, 30.0, 20.0);
  EngineHarness harness{staticHooks(slot), &stands};
  StaticParking parking{harness.engine, services()};
};

TEST_F(StaticParkingTest, FullCalculationReachesWantedWithoutNeighbouringPlacements) {
  ASSERT_FALSE(stands[0].neighbours.empty());
  fillEveryStand();
  EXPECT_EQ(parking.recalcStaticParking(5), 5u);
  std::set<std::uint32_t> chosen;
  for (const PendingStatic& p : parking.pendingStatics()) {
    EXPECT_TRUE(chosen.insert(p.standId).second);
  }
  for (std::uint32_t id : chosen) {
    for (std::uint32_t neighbour : stands[id - 1].neighbours) {
      EXPECT_FALSE(chosen.contains(neighbour)) << stands[id - 1].name;
    }
  }
  // Twelve stands in two chains of six hold at most six.
  EXPECT_EQ(parking.recalcStaticParking(12), 6u);
}

TEST_F(StaticParkingTest, LookBackCrossesMidnightWithinMaxFit) {
  struct Case {
    DaySlot now;
    int entryDay;
    int entryHalfHour;
    int maxFit;
    std::size_t found;
    std::uint32_t age;
  };
  const Case cases[] = {
      {{1, 0}, 7, 47, 1, 1, 1},  // Monday 00:00 looks back into Sunday
      {{1, 0}, 7, 47, 0, 0, 0},  // MAX_FIT 0: only the current half hour
      {{4, 2}, 3, 46, 4, 1, 4},
      {{4, 2}, 4, 2, 0, 1, 0},
  };
  for (const Case& c : cases) {
    now = c.now;
    par_MAX_FIT.setValue(c.maxFit);
    stands[0].usage = {dlhUsage(1, c.entryDay, {c.entryHalfHour}, "DLH1", "D-AIPA")};
    ASSERT_EQ(parking.recalcStaticParking(1), c.found) << c.entryDay << " " << c.entryHalfHour;
    if (c.found == 1) {
      EXPECT_EQ(parking.pendingStatics()[0].ageHalfHours, c.age);
    }
  }
}

TEST_F(StaticParkingTest, PlacesOnePerHalfSecondOnlyWithoutLiveCreate) {
  fillEveryStand();
  ASSERT_EQ(parking.recalcStaticParking(4), 4u);
  parking.setStaticKeyCounter(9998);
  CreateRequest live;
  live.key = 4000000;
  EngineTestAccess::queueLiveCreate(harness.engine, live);
  harness.step(260);
  std::vector<std::uint32_t> staticKeys;
  std::vector<std::int64_t> ticks;
  for (const auto& c : harness.creates) {
    if (c.item.key < 10000) {
      staticKeys.push_back(c.item.key);
      ticks.push_back(c.tick);
    }
  }
  // The first slot served the live create; keys wrap after 9999.
  EXPECT_EQ(staticKeys, (std::vector<std::uint32_t>{9999, 0, 1, 2}));
  for (std::size_t i = 1; i < ticks.size(); ++i) {
    EXPECT_EQ(ticks[i] - ticks[i - 1], 50);
  }
  EXPECT_EQ(harness.engine.staticAircraft().size(), 4u);
  EXPECT_TRUE(parking.pendingStatics().empty());
}

TEST_F(StaticParkingTest, PlacementKnowsBothCoupledCallsigns) {
  // Parked at 20 but not at 21: the second callsign flies out.
  stands[0].usage = {dlhUsage(1, now.weekday, {20}, "DLH100", "D-AIPA", "DLH101")};
  ASSERT_EQ(parking.recalcStaticParking(1), 1u);
  parking.chooseStaticStand();
  ASSERT_EQ(harness.engine.staticAircraft().size(), 1u);
  const StaticAc& placed = harness.engine.staticAircraft()[0];
  EXPECT_EQ(placed.base.identity.callsign, "DLH101*");
  EXPECT_EQ(placed.base.identity.thirdCallsign, "DLH101");
  EXPECT_EQ(DaySlot::fromPacked(placed.slot), now);
}

TEST_F(StaticParkingTest, RefusedPlacementsLeaveNoTrace) {
  fillEveryStand();
  ASSERT_EQ(parking.recalcStaticParking(1), 1u);
  const std::uint32_t standId = parking.pendingStatics()[0].standId;
  // A live aircraft parking next door: dropped, not postponed.
  LiveAc& live = harness.placeLive(4000001, "BAW1", SimState::active, 9);
  live.phase = FlightPhase::parking;
  live.standId = stands[standId - 1].neighbours.front();
  parking.chooseStaticStand();
  EXPECT_TRUE(parking.pendingStatics().empty());
  EXPECT_TRUE(harness.engine.staticAircraft().empty());

  live.phase = FlightPhase::flying;
  live.standId = 0;
  liveryFound = false;
  ASSERT_EQ(parking.recalcStaticParking(1), 1u);
  parking.chooseStaticStand();
  EXPECT_TRUE(harness.engine.staticAircraft().empty());
  EXPECT_TRUE(harness.engine.staticCreateQueue().empty());
}

TEST_F(StaticParkingTest, ExcludedEntryKeepsItsIdAndComesBackNextCalculation) {
  stands[0].usage = {dlhUsage(5, now.weekday, {now.halfHour}, "DLH100", "D-AIPA")};
  StaticAc& other = harness.placeStatic(77, "XYZ1*", SimState::active, 3);
  other.base.identity.registration = "D-AIPA";
  other.standId = 12;
  EXPECT_EQ(parking.recalcStaticParking(1), 0u);
  EXPECT_EQ(stands[0].usage[0].id, 5u);
  EXPECT_TRUE(stands[0].usage[0].excludedForNow);

  other.base.identity.registration = "D-ABCD";
  EXPECT_EQ(parking.recalcStaticParking(1), 1u);
  EXPECT_FALSE(stands[0].usage[0].excludedForNow);

  // Empty texts name no aircraft: neither a registration nor a second
  // callsign missing on both sides, but a live callsign with its "_".
  other.base.identity.registration.clear();
  other.base.identity.secondCallsign.clear();
  const UsageEntry entry = dlhUsage(1, now.weekday, {now.halfHour}, "DLH100", "");
  parking.pendingStatics().clear();
  EXPECT_FALSE(parking.isExcludedUsage(entry));
  LiveIdentities live;
  live.callsigns = {"DLH100_"};
  parking.takeLiveIdentities(std::move(live));
  EXPECT_TRUE(parking.isExcludedUsage(entry));
}

TEST_F(StaticParkingTest, ParkedTrafficTakesFreeStandsAndSkipsLiveAircraft) {
  collected.keys = {0x400003};
  collected.callsigns = {"AFR9_"};
  parked = {parkedAt("A1", 0x400001, "BAW1", 2), parkedAt("A3", 0x400002, "", 1), parkedAt("A5", 0x400003, "KLM3", 1),
            parkedAt("B1", 0x400004, "AFR9", 1), parkedAt("B4", 0x400005, "EZY5", 0)};
  parked.back().latitude += 0.01;  // a kilometre from any stand
  par_RT_PARKTRAFFIC_ONLY.setValue(true);
  const std::size_t n = parking.recalcStaticParking(0);
  EXPECT_EQ(readerCalls, (std::vector<std::string>{"stop", "take"}));
  ASSERT_EQ(n, 1u);
  const PendingStatic& p = parking.pendingStatics()[0];
  EXPECT_EQ(p.address, 0x400001u);
  EXPECT_EQ(p.fromUsage, 0u);
  EXPECT_EQ(p.standId, findStandByName(stands, "A1")->id);
  EXPECT_EQ(p.ageHalfHours, 2u);
}

TEST_F(StaticParkingTest, OlderStaticFromParkedTrafficGivesWayToALaterArrival) {
  struct Case {
    DaySlot placed;
    int recordAge;
    bool replaced;
  };
  const Case cases[] = {{{3, 18}, 1, true}, {{3, 19}, 1, true}, {{3, 19}, 3, false}};
  StaticAc& old = harness.placeStatic(12, "DLH7*", SimState::active, 5);
  old.fromUsage = 0;
  old.standId = findStandByName(stands, "A1")->id;
  for (const Case& c : cases) {
    old.state = SimState::active;
    old.slot = c.placed.packed();
    parked = {parkedAt("A1", 0x400001, "BAW1", c.recordAge)};
    const std::size_t removalsBefore = harness.engine.removeQueue().size();
    parking.recalcStaticParking(3);
    ASSERT_EQ(parking.pendingStatics().size(), 1u);
    EXPECT_EQ(parking.pendingStatics()[0].callsign, c.replaced ? "BAW1" : "DLH7");
    // The aircraft that gives way leaves the simulator at the end of the calculation.
    EXPECT_EQ(old.state, c.replaced ? SimState::removingfromsim : SimState::active);
    EXPECT_EQ(harness.engine.removeQueue().size() - removalsBefore, c.replaced ? 1u : 0u);
    EXPECT_TRUE(parking.staticsToRemove().empty());
  }
}

// Two entries from the feed pending and a learned stand found at offset 0:
// the excess over wanted (three) is dropped from the list's end only when
// the list holds that many.
TEST_F(StaticParkingTest, TheFitDropsItsExcessOnlyWhenTheListHoldsIt) {
  struct Case {
    std::size_t placed;
    std::size_t pendingAfter;
  };
  const Case cases[] = {{1, 2}, {2, 1}, {3, 0}, {5, 2}};
  findStandByName(stands, "B4")->usage = {dlhUsage(1, now.weekday, {now.halfHour}, "DLH4", "D-AIPD")};
  for (const Case& c : cases) {
    parking.clearStandMarks();
    parking.pendingStatics().clear();
    for (const char* name : {"A1", "B1"}) {
      ParkingPosition& stand = *findStandByName(stands, name);
      PendingStatic fromFeed;
      fromFeed.standId = stand.id;
      fromFeed.callsign = std::string("BAW") + name;
      parking.pendingStatics().push_back(fromFeed);
      parking.markTaken(stand);
    }
    parking.fitStaticKind(now, 3, c.placed, kRealFit);
    EXPECT_EQ(parking.pendingStatics().size(), c.pendingAfter) << c.placed;
    EXPECT_TRUE(findStandByName(stands, "B4")->staticTaken) << c.placed;
  }
}

// An aircraft set leaving goes at the end of the calculation; when the
// calculation fails before its end, it stays.
TEST_F(StaticParkingTest, AStaticSetLeavingIsRemovedAtTheEndOrStaysWhenTheCalculationFails) {
  StaticAc& parkedStatic = harness.placeStatic(12, "DLH7*", SimState::active, 5);
  parkedStatic.standId = findStandByName(stands, "A1")->id;
  const std::size_t removalsBefore = harness.engine.removeQueue().size();
  parking.setLeaving(parkedStatic, "the parked traffic no longer shows it on its stand");
  EXPECT_EQ(parkedStatic.state, SimState::removingfromsim);
  parking.dropListedStatics();
  EXPECT_EQ(parkedStatic.state, SimState::active);
  EXPECT_TRUE(parking.staticsToRemove().empty());

  parking.setLeaving(parkedStatic, "the parked traffic no longer shows it on its stand");
  parking.removeListedStatics();
  EXPECT_EQ(parkedStatic.state, SimState::removingfromsim);
  EXPECT_EQ(harness.engine.removeQueue().size() - removalsBefore, 1u);
  EXPECT_TRUE(parking.staticsToRemove().empty());
}

TEST_F(StaticParkingTest, ResetHookEmptiesThePendingList) {
  fillEveryStand();
  ASSERT_GT(parking.recalcStaticParking(3), 0u);
  harness.engine.hooks().resetLaterParts();
  EXPECT_TRUE(parking.pendingStatics().empty());
}

TEST(StaticParking, StaticCallsignsEndInAStarNeverAnUnderscore) {
  LogCapture log;
  EXPECT_EQ(staticCallsign("DLH4AB_"), "DLH4AB*");
  EXPECT_EQ(staticCallsign("DLH4AB__"), "DLH4AB*");
  EXPECT_EQ(staticCallsign("BAW1*"), "BAW1*");
  // The first callsign when the flight continues, else the second; the
  // other when the chosen one is empty.
  EXPECT_EQ(pendingStaticCallsign("A", "B", true), "A");
  EXPECT_EQ(pendingStaticCallsign("A", "B", false), "B");
  EXPECT_EQ(pendingStaticCallsign("", "B", true), "B");
  EXPECT_EQ(pendingStaticCallsign("A", "", false), "A");
  EXPECT_EQ(pendingStaticCallsign("", "", false), "");
  EXPECT_TRUE(log.contains("===> lf_detcs callsign is empty.."));
}

}  // namespace
}  // namespace crv::testing
