#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "foundation/settings.h"
#include "tests/support/settings_fixture.h"
#include "tests/traffic/stand_checks.h"
#include "tests/traffic/week_driver.h"

namespace crv::testing {
namespace {

constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 24 * kHour;

// Each day three waves of arrivals on the A stands, the last one staying
// over midnight (Sunday's into the next Monday); each aircraft stays one to
// two and a half hours.
std::vector<Visit> weekOfVisits() {
  std::vector<Visit> visits;
  const std::int64_t waves[] = {6 * kHour + 600, 13 * kHour + 2400, 23 * kHour + 1200};
  std::uint32_t key = 0x3c0000;
  for (std::int64_t day = 0; day < 7; ++day) {
    for (std::int64_t wave : waves) {
      for (int s = 0; s < 6; ++s) {
        Visit v;
        v.key = ++key;
        v.callsign = "DLH" + std::to_string(key % 10000);
        v.registration = "D-A" + std::to_string(key % 10000);
        v.stand = "A" + std::to_string(s + 1);
        v.arriveSecond = day * kDay + wave;
        v.departSecond = v.arriveSecond + kHour + (s % 3) * 2700;
        visits.push_back(v);
      }
    }
  }
  return visits;
}

// Learnings of a soft stand within three half hours (1.5 hours) after the
// aircraft's previous learning; learning the same half hour again is no new
// learning.
std::vector<Learning> learningsInsideTheGuard(const std::vector<Learning>& learnings) {
  std::map<std::uint32_t, Learning> last;
  std::vector<Learning> inside;
  for (const Learning& learning : learnings) {
    const auto previous = last.find(learning.key);
    if (learning.soft && previous != last.end() && learning.halfHour - previous->second.halfHour < 3 &&
        !(previous->second.soft && previous->second.halfHour == learning.halfHour)) {
      inside.push_back(learning);
    }
    last[learning.key] = learning;
  }
  return inside;
}

class WeekSimulationTest : public ::testing::Test {
 protected:
  WeekSimulationTest() {
    par_parking_percentage.setValue(100);
    par_MAX_FIT.setValue(2);
    par_LEARN_SOFT.setValue(false);  // only what really parked is learned
    par_RT_PARKTRAFFIC_ONLY.setValue(false);
    par_INITIAL_LOAD_ONLY.setValue(false);
  }
  ~WeekSimulationTest() override { resetAllSettings(); }
};

TEST_F(WeekSimulationTest, AdjustmentsKeepTheFeedsAircraftAndTheLearnedFileHoldsWhatParked) {
  WeekDriver week;
  for (const Visit& v : weekOfVisits()) {
    week.addVisit(v);
  }
  // B5 and B6 hold aircraft the feed reports parked; on Thursday noon one
  // leaves and another one parks on B3.
  week.parkedTraffic = {week.parkedRecord("B5", 0x400005, "BAW5", 4), week.parkedRecord("B6", 0x400006, "AFR6", 10)};
  week.runUntil(3 * kDay + 12 * kHour);
  week.parkedTraffic = {week.parkedRecord("B5", 0x400005, "BAW5", 4), week.parkedRecord("B3", 0x400003, "KLM3", 0)};
  week.runUntil(3 * kDay + 13 * kHour);
  const auto placed = week.staticsByStand();
  EXPECT_EQ(std::count(placed.begin(), placed.end(), std::pair<std::string, std::string>("B6", "AFR6*")), 0);
  EXPECT_EQ(std::count(placed.begin(), placed.end(), std::pair<std::string, std::string>("B3", "KLM3*")), 1);
  week.runUntil(WeekDriver::kWeekSeconds + 3 * kHour);
  EXPECT_EQ(week.secondsWithStandsOccupiedByNobody, 0);
  EXPECT_TRUE(learningsInsideTheGuard(week.learnings).empty());
  week.schedule.clearParkAirportTraffic();

  // An adjustment every 20 minutes kept the feed's aircraft where they were.
  EXPECT_GE(week.adjustments, 7 * 72);
  EXPECT_EQ(week.staticCreates["BAW5*"], 1);
  EXPECT_EQ(week.staticCreates["AFR6*"], 1);
  EXPECT_EQ(week.staticCreates["KLM3*"], 1);
  EXPECT_GT(week.mostStaticsAtOnce, 2u);  // learned usage placed statics too
  EXPECT_EQ(week.sharedStands, 0);
  week.stepEngine(2);
  EXPECT_TRUE(week.staticsByStand().empty());  // leaving took every static away

  // The learned file holds, stand by stand, the weekdays and half hours in
  // which each aircraft stood there, and nothing else.
  // Saved at renewals that learned something, and at the leaving.
  ASSERT_GT(week.saves, 1);
  EXPECT_EQ(week.badIdsAtSave, 0);
  std::map<UseKey, HalfHours> learned;
  int entries = 0;
  for (const ParkingPosition& stand : week.readLearnedFile()) {
    for (const UsageEntry& entry : stand.usage) {
      ++entries;
      EXPECT_EQ(entry.kind, kRealUsage);
      learned[{stand.name, static_cast<int>(entry.day), entry.reg}] |= entry.hh;
    }
  }
  EXPECT_EQ(static_cast<std::size_t>(entries), learned.size()) << "one entry per aircraft, stand and weekday";
  EXPECT_EQ(learned, week.observedParking);
  EXPECT_EQ(week.observedParking.size(), 7u * 3 * 6 + 7u * 6);  // the night stays on two weekdays
}

// Every night an aircraft parks on B6 late in the evening and drops out of
// the feed while parked; the same aircraft turns up again after midnight
// and stops short of a stand twice, at 00:20 and at 01:50. Its soft stand
// may be learned only the second time: the first is within 1.5 hours of its
// arrival, also from Sunday into Monday. Every morning four aircraft appear
// on the B stands together, one whose create the simulator refuses, and a
// time shift takes everything away while their creates are under way.
TEST_F(WeekSimulationTest, LostCreatesFreeTheirStandsAndSoftLearningKeepsTheGuard) {
  par_LEARN_SOFT.setValue(true);
  par_MAX_HOLDING_MINUTES.setValue(1);
  WeekDriver week;
  std::uint32_t key = 0x500000;
  for (std::int64_t day = 0; day < 7; ++day) {
    Visit night;
    night.key = ++key;
    night.callsign = "DLH" + std::to_string(key % 10000);
    night.registration = "D-A" + std::to_string(key % 10000);
    night.stand = "B6";
    night.arriveSecond = day * kDay + 23 * kHour + 2100;
    night.departSecond = night.arriveSecond + 900;
    night.vanishesParked = true;
    week.addVisit(night);
    for (const std::int64_t after : {20 * 60, 110 * 60}) {
      Visit lost = night;
      lost.stand = "A3";
      lost.vanishesParked = false;
      lost.stopsShortOfStand = true;
      lost.arriveSecond = (day + 1) * kDay + after;
      week.addVisit(lost);
    }
    for (int s = 1; s <= 4; ++s) {
      Visit standing;
      standing.key = ++key;
      standing.callsign = "BAW" + std::to_string(key % 10000);
      standing.registration = "G-B" + std::to_string(key % 10000);
      standing.stand = "B" + std::to_string(s);
      standing.arriveSecond = day * kDay + 10 * kHour;
      standing.departSecond = standing.arriveSecond + kHour;
      standing.appearsOnStand = true;
      if (s == 1) {
        standing.type = "B738";
        week.failingCreates.insert(key);
      }
      week.addVisit(standing);
    }
  }
  int cancelledCreates = 0;
  for (std::int64_t day = 0; day < 7; ++day) {
    // Second by second until the four are spawned: their creates leave one
    // every half second, so some still wait.
    const std::int64_t morning = day * kDay + 10 * kHour;
    week.runUntil(morning);
    for (std::int64_t t = morning + 1;
         week.engine.addingStack().empty() && week.engine.liveCreateQueue().empty() && t < morning + 120; ++t) {
      week.runUntil(t);
    }
    week.timeShift();
    for (const LiveAc& a : std::as_const(week.engine).liveAircraft()) cancelledCreates += a.createCancelled ? 1 : 0;
  }
  week.runUntil(WeekDriver::kWeekSeconds + 3 * kHour);
  EXPECT_GT(week.failedCreates, 0);
  EXPECT_GT(cancelledCreates, 0);
  EXPECT_EQ(week.secondsWithStandsOccupiedByNobody, 0);
  ASSERT_NE(week.engine.standTable(), nullptr);
  EXPECT_EQ(standsOccupiedByNobody(*week.engine.standTable(), std::as_const(week.engine).liveAircraft()),
            std::vector<std::string>{});

  // Each night's aircraft learned its soft stand once, after the guard.
  const auto inside = learningsInsideTheGuard(week.learnings);
  EXPECT_TRUE(inside.empty()) << inside.size() << " soft learnings within 1.5 hours, the first of key "
                              << (inside.empty() ? 0 : inside.front().key) << " at half hour "
                              << (inside.empty() ? 0 : inside.front().halfHour);
  std::map<std::uint32_t, int> softByKey;
  for (const Learning& learning : week.learnings) softByKey[learning.key] += learning.soft ? 1 : 0;
  for (std::uint32_t nightKey = 0x500001; nightKey < key; nightKey += 5) {
    EXPECT_EQ(softByKey[nightKey], 1) << nightKey;
  }
}

}  // namespace
}  // namespace crv::testing
