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

// A learning within three half hours of the key's last one is refused, also
// across midnight and on another day; force accepts.
TEST(StandSlotFreeTest, RefusesALearningWithinThreeHalfHoursOfTheLast) {
  std::vector<StandLastUse> lastUse;
  EXPECT_TRUE(standSlotFree(lastUse, {2, 46}, 4711, false));
  EXPECT_FALSE(standSlotFree(lastUse, {2, 47}, 4711, false));
  EXPECT_FALSE(standSlotFree(lastUse, {3, 0}, 4711, false));
  EXPECT_FALSE(standSlotFree(lastUse, {5, 47}, 4711, false));  // another day, same time of day
  EXPECT_EQ(lastUse[0].halfHour, 46U);
  EXPECT_TRUE(standSlotFree(lastUse, {3, 1}, 4711, false));
  EXPECT_EQ(lastUse[0].halfHour, 1U);
  EXPECT_TRUE(standSlotFree(lastUse, {3, 2}, 4711, true));
  EXPECT_EQ(lastUse[0].halfHour, 2U);

  // Another key has its own last learning.
  EXPECT_TRUE(standSlotFree(lastUse, {3, 2}, 4712, false));
  EXPECT_EQ(lastUse.size(), 2U);
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
