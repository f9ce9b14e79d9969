#include "traffic/learning/stand_learning.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/traffic/engine_harness.h"
#include "tests/traffic/stand_grid.h"

namespace crv::testing {
namespace {

AircraftBase aircraft(std::uint32_t key, std::string callsign, std::string registration,
                      SizeCategory category = SizeCategory::Large, bool cargo = false) {
  AircraftBase base;
  base.key = key;
  base.identity.airline = "DLH";
  base.identity.icaoType = "A320";
  base.identity.callsign = std::move(callsign);
  base.identity.registration = std::move(registration);
  base.category = category;
  base.cargo = cargo;
  return base;
}

std::set<int> halfHoursOf(const UsageEntry& entry) {
  std::set<int> hours;
  for (int h = 0; h < kSlotsPerDay; ++h) {
    if (entry.hh.test(static_cast<std::size_t>(h))) hours.insert(h);
  }
  return hours;
}

class StandLearningTest : public ::testing::Test {
 protected:
  StandLearningTest() { EngineHarness::installTestAircraftTypes(); }
  std::vector<UsageEntry>& usage() { return stands[0].usage; }
  bool learn(const AircraftBase& a, DaySlot slot, bool fillGap = true, std::uint32_t kind = kRealUsage) {
    return addStandOption(stands, stands[0].id, a, slot, kind, fillGap);
  }
  StandTable stands = standGrid(1, 3);
};

TEST_F(StandLearningTest, GapsAreFilledInsideTheLearnWindowOnly) {
  struct Case {
    SizeCategory category;
    bool cargo;
    int gap;
    bool filled;
  };
  const Case cases[] = {
      {SizeCategory::Large, false, 5, true}, {SizeCategory::Large, false, 6, false},
      {SizeCategory::Heavy, false, 7, true}, {SizeCategory::Heavy, false, 8, false},
      {SizeCategory::Large, true, 11, true}, {SizeCategory::Large, true, 12, false},
  };
  for (const Case& c : cases) {
    stands = standGrid(1, 3);
    const AircraftBase a = aircraft(4711, "DLH1", "D-AIPA", c.category, c.cargo);
    ASSERT_TRUE(learn(a, {2, 10}));
    ASSERT_TRUE(learn(a, {2, 10 + c.gap}));
    // Outside the window the aircraft gets a second entry of that day.
    ASSERT_EQ(usage().size(), c.filled ? 1u : 2u) << c.gap;
    EXPECT_EQ(halfHoursOf(usage()[0]).size(), c.filled ? static_cast<std::size_t>(c.gap + 1) : 1u) << c.gap;
  }
  // A second stay that day (its arrival learned without filling) is filled
  // from that arrival, not from the first stay.
  stands = standGrid(1, 3);
  const AircraftBase a = aircraft(4711, "DLH1", "D-AIPA");
  ASSERT_TRUE(learn(a, {2, 10}));
  ASSERT_TRUE(learn(a, {2, 12}, false));
  ASSERT_TRUE(learn(a, {2, 14}));
  EXPECT_EQ(halfHoursOf(usage()[0]), (std::set<int>{10, 12, 13, 14}));
}

TEST_F(StandLearningTest, GapAcrossMidnightSetsEachHalfHourInItsOwnWeekday) {
  const AircraftBase a = aircraft(4711, "DLH1", "D-AIPA");
  ASSERT_TRUE(learn(a, {7, 46}));        // Sunday 23:00
  ASSERT_TRUE(learn(a, {1, 0}, false));  // Monday 00:00: Monday's entry exists
  ASSERT_TRUE(learn(a, {1, 2}));         // Monday 01:00 after a gap of 2
  ASSERT_EQ(usage().size(), 2u);
  EXPECT_EQ(usage()[0].day, 7u);
  EXPECT_EQ(halfHoursOf(usage()[0]), std::set<int>{46});
  EXPECT_EQ(usage()[1].day, 1u);
  EXPECT_EQ(halfHoursOf(usage()[1]), (std::set<int>{0, 1, 2}));

  // Sunday 47 to Monday 0 is a distance of one; a gap from Sunday 45 to
  // Monday 1 fills 46 and 47 in Sunday's entry and 0 and 1 in Monday's.
  stands = standGrid(1, 3);
  ASSERT_TRUE(learn(a, {7, 45}));
  ASSERT_TRUE(learn(a, {1, 1}, false));
  stands[0].realLearning[a.key] = {{7, 45}, usage()[0].id};
  stands[0].usage[1].hh.reset();
  ASSERT_TRUE(learn(a, {1, 1}));
  EXPECT_EQ(halfHoursOf(usage()[0]), (std::set<int>{45, 46, 47}));
  EXPECT_EQ(halfHoursOf(usage()[1]), (std::set<int>{0, 1}));
  EXPECT_EQ(stands[0].realLearning[a.key].slot, (DaySlot{1, 1}));
  EXPECT_EQ(stands[0].realLearning[a.key].usageId, usage()[1].id);
}

TEST_F(StandLearningTest, KeyTextStandAndFileEntriesDecide) {
  AircraftBase noRegistration = aircraft(1, "DLH9", "");
  ASSERT_TRUE(learn(noRegistration, {3, 20}));
  EXPECT_EQ(usage().back().reg, "DLH9");

  EXPECT_FALSE(learn(aircraft(2, "", ""), {3, 20}));
  EXPECT_FALSE(addStandOption(stands, 99, aircraft(3, "DLH3", "D-AIPB"), {3, 20}, kRealUsage, true));

  // The file's entry of D-AIPC on Wednesday holds only 05:00.
  UsageEntry fromFile = dlhUsage(40, 3, {10}, "", "D-AIPC");
  fromFile.fromFile = 1;
  usage().push_back(fromFile);
  const std::uint32_t before = standUpdates();
  EXPECT_FALSE(learn(aircraft(4, "DLH4", "D-AIPC"), {3, 20}));
  EXPECT_EQ(standUpdates(), before);
  EXPECT_TRUE(learn(aircraft(4, "DLH4", "D-AIPC"), {3, 10}));
  EXPECT_EQ(standUpdates(), before + 1);

  // Soft and real usage are learned apart.
  const std::size_t entries = usage().size();
  EXPECT_TRUE(learn(noRegistration, {3, 21}, true, kSoftUsage));
  ASSERT_EQ(usage().size(), entries + 1);
  EXPECT_EQ(usage().back().kind, kSoftUsage);
}

TEST_F(StandLearningTest, CoupledCallsignsNearTheHalfHour) {
  usage() = {dlhUsage(1, 4, {30}, "DLH100", "", "DLH101"), dlhUsage(2, 4, {30}, "DLH100", "")};

  struct Case {
    std::string callsign;
    std::string airline;
    SizeCategory category;
    DaySlot slot;
    bool found;
  };
  const Case cases[] = {
      {"DLH101_", "DLH", SizeCategory::Large, {4, 20}, true},  // 10 half hours away, "_" dropped
      {"DLH100", "DLH", SizeCategory::Large, {4, 19}, false},  // 11 away
      {"DLH100", "DLH", SizeCategory::Heavy, {4, 16}, true},   // 14 away for a Heavy
      {"DLH100", "DLH", SizeCategory::Large, {5, 30}, false},  // another weekday
      {"DLH100", "KLM", SizeCategory::Large, {4, 30}, false},  // another airline
  };
  for (const Case& c : cases) {
    AircraftBase a = aircraft(7, c.callsign, "D-AIPA", c.category);
    a.identity.airline = c.airline;
    searchCoupledCallsigns(stands, c.slot, a);
    EXPECT_EQ(a.identity.secondCallsign, c.found ? "DLH100" : "") << c.callsign;
    EXPECT_EQ(a.identity.thirdCallsign, c.found ? "DLH101" : "") << c.callsign;
  }
}

}  // namespace
}  // namespace crv::testing
