#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "foundation/settings.h"
#include "tests/support/settings_fixture.h"
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
  ASSERT_EQ(week.saves, 1);
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

}  // namespace
}  // namespace crv::testing
