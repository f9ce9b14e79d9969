#include "airports/stand_table.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "airports/stand_distances.h"
#include "tests/airports/stand_fixtures.h"

namespace crv {
namespace {

using testing::kApron;
using testing::makeStand;
using testing::makeUsage;
using testing::pointAt;

TEST(StandTableTest, FindStandByNameIsExact) {
  StandTable stands{makeStand("A10", kApron, 20.0), makeStand("A1", kApron, 20.0)};
  EXPECT_EQ(findStandByName(stands, "A1"), stands.begin() + 1);
  EXPECT_EQ(findStandByName(stands, "a10"), stands.end());
}

TEST(StandTableTest, NeighboursAreStandsThatOverlap) {
  StandTable stands;
  stands.push_back(makeStand("A", kApron, 25.0));
  stands.push_back(makeStand("B", pointAt(kApron, 40.0), 25.0));   // 40 x 1.1 = 44 < 50
  stands.push_back(makeStand("C", pointAt(kApron, 86.0), 25.0));   // 46 m from B: 50.6 > 50
  stands.push_back(makeStand("D", pointAt(kApron, 40.0, 0.0), 5.0));

  numberStandsAndFindNeighbours(stands);

  // D is 40 m away with 25 + 5 m.
  std::string numbered;  // id: neighbours
  for (const ParkingPosition& stand : stands) {
    numbered += std::to_string(stand.id) + ":";
    for (const std::uint32_t neighbour : stand.neighbours) numbered += std::to_string(neighbour) + ",";
    numbered += " ";
  }
  EXPECT_EQ(numbered, "1:2, 2:1, 3: 4: ");

  // Renumbering after a stand went away gives fresh numbers and lists.
  stands.erase(stands.begin());
  numberStandsAndFindNeighbours(stands);
  EXPECT_EQ(stands[0].id, 1U);
  EXPECT_TRUE(stands[0].neighbours.empty());
}

// An entry matches by either callsign or by airline and type; one out of use
// or a soft one never counts.
TEST(UsageEntryTest, MatchesAndUseAtASlot) {
  UsageEntry entry = makeUsage(1, 3, 20, "KLM123", "KLM", "B738");
  entry.cs2 = "KLM77A";
  for (const auto& [callsign, airline, type, matches] :
       {std::tuple{"KLM123", "TRA", "A320", true}, {"KLM77A", "TRA", "A320", true}, {"TRA456", "KLM", "B738", true},
        {"TRA456", "KLM", "B739", false}}) {
    EXPECT_EQ(usageMatchesAircraft(callsign, airline, type, entry), matches) << callsign << " " << type;
  }
  EXPECT_TRUE(isUsedAt(entry, {3, 20}));
  EXPECT_FALSE(isUsedAt(entry, {4, 20}) || isUsedAt(entry, {3, 21}));
  EXPECT_THROW(isUsedAt(entry, {3, 48}), std::out_of_range);

  entry.cs2.clear();
  EXPECT_FALSE(usageMatchesAircraft("", "TRA", "A320", entry));  // no callsign matches an empty one
  entry.kind = kSoftUsage;
  EXPECT_FALSE(usageMatchesAircraft("KLM123", "KLM", "B738", entry));
  entry.kind = kRealUsage;
  entry.id = 0;
  EXPECT_FALSE(isUsedAt(entry, {3, 20}) || usageMatchesAircraft("KLM123", "KLM", "B738", entry));
}

TEST(UsageEntryTest, NewIdIsOneAboveTheLargestOfTheStand) {
  EXPECT_EQ(nextUsageId({}), 1U);
  std::vector<UsageEntry> entries{makeUsage(1, 1, 1), makeUsage(5, 1, 2), makeUsage(3, 1, 3)};
  EXPECT_EQ(nextUsageId(entries), 6U);

  // The last entry taken out of use does not give its number away again.
  entries[1].id = 0;
  entries.push_back(makeUsage(6, 1, 4));
  entries.back().id = 0;
  EXPECT_EQ(nextUsageId(entries), 4U);
}

// A learning within three half hours (1.5 hours) of the key's last one is
// refused, also across midnight and from Sunday into Monday; the same time of
// another day is long enough ago; force accepts.
TEST(StandSlotFreeTest, RefusesALearningWithinOneAndAHalfHoursOfTheLast) {
  struct Step {
    DaySlot slot;
    bool force;
    bool granted;
  };
  const std::vector<Step> steps[] = {
      {{{2, 46}, false, true}, {{2, 47}, false, false}, {{3, 0}, false, false}, {{3, 1}, false, true}},
      {{{2, 20}, false, true}, {{5, 20}, false, true}, {{5, 21}, false, false}, {{5, 21}, true, true}},
      // Sunday evening into Monday morning.
      {{{7, 47}, false, true}, {{1, 0}, false, false}, {{1, 1}, false, false}, {{1, 2}, false, true}},
      {{{7, 46}, false, true}, {{1, 0}, false, false}, {{1, 1}, false, true}},
      // Eight hours on the same day, and days later at an earlier time of day.
      {{{2, 10}, false, true}, {{2, 26}, false, true}, {{4, 1}, false, true}, {{4, 3}, false, false}},
  };
  for (const auto& walk : steps) {
    std::vector<StandLastUse> lastUse;
    DaySlot last;
    for (const Step& step : walk) {
      EXPECT_EQ(standSlotFree(lastUse, step.slot, 4711, step.force), step.granted)
          << step.slot.weekday << "/" << step.slot.halfHour;
      if (step.granted) last = step.slot;
      ASSERT_EQ(lastUse.size(), 1U);
      EXPECT_EQ(lastUse[0].weekHalfHour, static_cast<std::uint32_t>(last.weekIndex()));
    }
  }
}

// Every writer of the last learning stores the same half hour of the week,
// so the guard reads what it was given.
TEST(StandSlotFreeTest, TheRememberedLearningGuardsTheNextOne) {
  std::vector<StandLastUse> lastUse;
  rememberStandLearning(lastUse, 4711, {2, 46});
  rememberStandLearning(lastUse, 4712, {7, 47});
  rememberStandLearning(lastUse, 4711, {3, 47});
  ASSERT_EQ(lastUse.size(), 2U);
  EXPECT_FALSE(standSlotFree(lastUse, {4, 1}, 4711, false));
  EXPECT_TRUE(standSlotFree(lastUse, {4, 2}, 4711, false));
  EXPECT_FALSE(standSlotFree(lastUse, {1, 1}, 4712, false));
  EXPECT_TRUE(standSlotFree(lastUse, {1, 2}, 4712, false));
  // A key seen for the first time is granted and remembered.
  EXPECT_TRUE(standSlotFree(lastUse, {3, 2}, 4713, false));
  EXPECT_EQ(lastUse.size(), 3U);
}

TEST(StandRadiusStep, StepsGroupSimilarStands) {
  ParkingPosition stand("A1", {}, {50.0, 8.0, 0.0}, 20.0, true, true, true);
  auto meters = [](double m) { return m / kMetersPerNm; };
  ParkingPosition large("B1", {}, {50.0, 8.0, 0.0}, 40.0, true, true, true);
  // 20 m: -5 / 14 rounds to 0, -8 / 14 to -1; 40 m: -9 / 21 rounds to 0, -12 / 21 to -1.
  for (const auto& [step, radiusMeters, same] :
       {std::tuple{&stand, 20.0, true}, {&stand, 21.8, true}, {&stand, 21.9, false}, {&stand, 15.0, true},
        {&stand, 12.0, false}, {&large, 31.0, true}, {&large, 28.0, false}}) {
    EXPECT_EQ(isSameRadiusStep(*step, meters(radiusMeters)), same) << step->name << " " << radiusMeters;
  }
}

}  // namespace
}  // namespace crv
