#include "foundation/clock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "foundation/day_slot.h"
#include "tests/support/pattern_matcher.h"

namespace crv {
namespace {

// 2026-12-07 is a Monday; seconds since 1970 at 00:00:00 UTC.
constexpr std::int64_t kMonday = 1796601600;
constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 86400;

std::int64_t at(std::int64_t day, int hour, int minute, int second) {
  return day + hour * kHour + minute * 60 + second;
}

class ShiftedClockTest : public ::testing::Test {
 protected:
  void TearDown() override {
    setTimeShiftActive(false);
    setLastTrafficTime(0.0);
  }
};

TEST(ClockTest, HalfHourSlotTurnsAtTwentyNineThirty) {
  const std::pair<std::int64_t, int> cases[] = {{at(kMonday, 10, 29, 29), 20}, {at(kMonday, 10, 29, 30), 21},
                                                {at(kMonday, 11, 0, 0), 22},   {at(kMonday, 23, 59, 59), 47},
                                                {at(kMonday, 0, 0, 0), 0}};
  for (const auto& [time, slot] : cases) EXPECT_EQ(halfHourSlotAt(time), slot) << time;
}

TEST(ClockTest, WeekdaysRunFromMondayOneToSundaySeven) {
  EXPECT_EQ(weekdayAndSlotAt(at(kMonday, 12, 0, 0)), (DaySlot{1, 24}));
  EXPECT_EQ(weekdayAndSlotAt(at(kMonday - kDay, 23, 45, 0)), (DaySlot{7, 47}));
  EXPECT_EQ(weekdayAndSlotAt(at(kMonday + 5 * kDay, 0, 10, 0)), (DaySlot{6, 0}));
}

TEST(ClockTest, TimeTextHasTheLogLayoutAndOctoberIsOkt) {
  EXPECT_EQ(timeText(at(kMonday, 10, 29, 30)), "Mon Dec 07 10:29:30 2026");
  // 2026-10-04 is a Sunday.
  EXPECT_EQ(timeText(1791072000 + 5), "Sun Okt 04 00:00:05 2026");
  EXPECT_EQ(timeText(0), "Thu Jan 01 00:00:00 1970");
}

TEST(ClockTest, FiveDigitYearsAndUnrepresentableTimesNeverBreakTheTexts) {
  // Year 10000 and beyond makes a longer text; a time far beyond makes none.
  EXPECT_EQ(timeText(253402300800).size(), 25U);
  EXPECT_EQ(timeText(std::numeric_limits<std::int64_t>::max()), "Invalid time");
  EXPECT_EQ(halfHourSlotAt(std::numeric_limits<std::int64_t>::max()), -1);
  EXPECT_EQ(weekdayAndSlotAt(std::numeric_limits<std::int64_t>::max()), (DaySlot{-1, -1}));
}

TEST(ClockTest, ClockAndDateTextsHaveTheirShape) {
  EXPECT_THAT(clockText(), crv::testing::MatchesPattern("[0-9]{2}:[0-9]{2}:[0-9]{2}"));
  EXPECT_THAT(dateText(), crv::testing::MatchesPattern("[A-Z][a-z]{2} [0-9]{2}, [0-9]{4}"));
}

TEST_F(ShiftedClockTest, ShiftFollowsTheTrafficTime) {
  setTimeShiftActive(true);
  setLastTrafficTime(static_cast<double>(at(kMonday, 10, 29, 29)) + 0.6);
  EXPECT_EQ(currentTime(), at(kMonday, 10, 29, 30));
  EXPECT_EQ(halfHourSlot(), 21);
  EXPECT_EQ(timeShiftText(), "<<< 10:29:30");
}

TEST_F(ShiftedClockTest, MissingOrUnusableTrafficTimesFallBackToTheSystemClock) {
  setTimeShiftActive(true);
  for (double bad : {0.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e300, -1e300}) {
    setLastTrafficTime(bad);
    const std::int64_t before = systemTimeSeconds();
    const std::int64_t now = currentTime();
    EXPECT_GE(now, before) << bad;
    EXPECT_LE(now, before + 2) << bad;
    EXPECT_EQ(timeShiftText().find("<<<"), std::string::npos) << bad;
  }
}

// An empty batch leaves no traffic time: the clock keeps the shift that the
// traffic showed last, and its text says so, instead of the present.
TEST_F(ShiftedClockTest, AnEmptyBatchKeepsTheShiftTheTrafficShowedLast) {
  constexpr std::int64_t kShift = 6 * kHour + 20;
  setTimeShiftActive(true);
  setLastTrafficTime(static_cast<double>(systemTimeSeconds() - kShift));
  setLastTrafficTime(0.0);
  const std::int64_t before = systemTimeSeconds();
  const std::int64_t now = currentTime();
  const std::string text = timeShiftText();
  const std::int64_t after = systemTimeSeconds();
  // The shift was measured within a second.
  EXPECT_GE(now, before - kShift - 1);
  EXPECT_LE(now, after - kShift);
  const auto shown = [](std::int64_t time) { return "<<< " + timeText(time).substr(11, 8); };
  EXPECT_TRUE(text == shown(now) || text == shown(now + 1)) << text;
}

TEST_F(ShiftedClockTest, AShiftIntoAFiveDigitYearShowsThePlaceholder) {
  setTimeShiftActive(true);
  setLastTrafficTime(253402300800.0);
  EXPECT_EQ(timeShiftText(), std::string("<<< ") + kNoClockText);
}

TEST(DaySlotTest, StepsAcrossMidnightAndTheWeek) {
  EXPECT_EQ((DaySlot{1, 0}).previous(), (DaySlot{7, 47}));
  EXPECT_EQ((DaySlot{3, 0}).previous(), (DaySlot{2, 47}));
  EXPECT_EQ((DaySlot{3, 5}).previous(), (DaySlot{3, 4}));
  EXPECT_EQ((DaySlot{7, 47}).next(), (DaySlot{1, 0}));
  EXPECT_EQ((DaySlot{2, 47}).next(), (DaySlot{3, 0}));
  EXPECT_EQ((DaySlot{7, 47}).weekIndex(), 7 * 48 + 47);
}

TEST(DaySlotTest, PacksWeekdayLowAndHalfHourHigh) {
  const DaySlot slot{6, 33};
  EXPECT_EQ(slot.packed(), (std::uint64_t{33} << 32U) | 6U);
  EXPECT_EQ(DaySlot::fromPacked(slot.packed()), slot);
  EXPECT_EQ(DaySlot::fromPacked(DaySlot{-1, -1}.packed()), (DaySlot{-1, -1}));
}

}  // namespace
}  // namespace crv
