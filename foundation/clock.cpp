#include "foundation/clock.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <ctime>
#include <optional>

#include <fmt/format.h>

namespace crv {
namespace {

std::atomic<double> latestTrafficTime{0.0};
std::atomic<bool> timeShifted{false};
// How far the traffic lies behind the system time, while a shift is active:
// as applied, then as the latest traffic time measured it.
std::atomic<std::int64_t> knownShiftSeconds{0};

constexpr std::size_t kTimeTextLength = 24;

// The UTC calendar date and time of a moment, worked out here rather than by
// the C runtime, whose range differs between systems (Windows stops at the
// year 3000); none when the year does not fit the structure.
std::optional<std::tm> brokenDownUtc(std::int64_t secondsSince1970) {
  constexpr std::int64_t kSecondsPerDay = 86400;
  constexpr std::int64_t kDaysPer400Years = 146097;
  std::int64_t days = secondsSince1970 / kSecondsPerDay;
  std::int64_t secondOfDay = secondsSince1970 % kSecondsPerDay;
  if (secondOfDay < 0) {
    secondOfDay += kSecondsPerDay;
    --days;
  }
  // Days counted from 0000-03-01, in eras of 400 Gregorian years.
  const std::int64_t shifted = days + 719468;
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - (kDaysPer400Years - 1)) / kDaysPer400Years;
  const std::int64_t dayOfEra = shifted - era * kDaysPer400Years;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  const std::int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  if (year - 1900 > std::numeric_limits<int>::max() || year - 1900 < std::numeric_limits<int>::min()) {
    return std::nullopt;
  }
  std::tm parts{};
  parts.tm_year = static_cast<int>(year - 1900);
  parts.tm_mon = static_cast<int>(month - 1);
  parts.tm_mday = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  parts.tm_hour = static_cast<int>(secondOfDay / 3600);
  parts.tm_min = static_cast<int>(secondOfDay / 60 % 60);
  parts.tm_sec = static_cast<int>(secondOfDay % 60);
  parts.tm_wday = static_cast<int>(((days + 4) % 7 + 7) % 7);  // 1970-01-01 was a Thursday
  return parts;
}

// The latest traffic time in whole seconds, or 0 when there is none or it is
// not a usable time.
std::int64_t trafficTimeSeconds() {
  const double rounded = std::round(latestTrafficTime.load(std::memory_order_relaxed));
  constexpr double kLimit = 9.0e18;
  if (!std::isfinite(rounded) || rounded <= -kLimit || rounded >= kLimit) {
    return 0;
  }
  return static_cast<std::int64_t>(rounded);
}

// The program's shifted "now", none while no shift is active or known.
std::optional<std::int64_t> shiftedTime() {
  if (!timeShifted.load(std::memory_order_relaxed)) {
    return std::nullopt;
  }
  if (const std::int64_t traffic = trafficTimeSeconds(); traffic != 0) {
    return traffic;
  }
  const std::int64_t shift = knownShiftSeconds.load(std::memory_order_relaxed);
  if (shift == 0) {
    return std::nullopt;
  }
  return systemTimeSeconds() - shift;
}

std::string clockPartOf(const std::string& text) {
  if (text.size() != kTimeTextLength) {
    return kNoClockText;
  }
  return text.substr(kTimeTextLength - 13, 8);
}

}  // namespace

double lastTrafficTime() { return latestTrafficTime.load(std::memory_order_relaxed); }

void setLastTrafficTime(double secondsSince1970) {
  latestTrafficTime.store(secondsSince1970, std::memory_order_relaxed);
  if (timeShifted.load(std::memory_order_relaxed)) {
    if (const std::int64_t traffic = trafficTimeSeconds(); traffic != 0) {
      knownShiftSeconds.store(systemTimeSeconds() - traffic, std::memory_order_relaxed);
    }
  }
}

bool timeShiftActive() { return timeShifted.load(std::memory_order_relaxed); }

void setTimeShiftActive(bool active) {
  timeShifted.store(active, std::memory_order_relaxed);
  if (!active) {
    knownShiftSeconds.store(0, std::memory_order_relaxed);
  }
}

void setTimeShiftMinutes(std::int32_t minutes) {
  constexpr std::int64_t kSecondsPerMinute = 60;
  knownShiftSeconds.store(minutes > 0 ? minutes * kSecondsPerMinute : 0, std::memory_order_relaxed);
  timeShifted.store(minutes > 0, std::memory_order_relaxed);
}

std::int64_t systemTimeSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::int64_t currentTime() { return shiftedTime().value_or(systemTimeSeconds()); }

std::string timeText(std::int64_t secondsSince1970) {
  static constexpr std::array<const char*, 8> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Okt", "Nov", "Dec"};
  const auto parts = brokenDownUtc(secondsSince1970);
  if (!parts) {
    return "Invalid time";
  }
  // The platform's Sunday (0) takes the name of weekday 7.
  const int weekday = parts->tm_wday == 0 ? 7 : parts->tm_wday;
  const char* weekdayName = (weekday >= 1 && weekday <= 7) ? kWeekdays[static_cast<std::size_t>(weekday)] : "???";
  const char* monthName = (parts->tm_mon >= 0 && parts->tm_mon < 12) ? kMonths[static_cast<std::size_t>(parts->tm_mon)] : "???";
  return fmt::format("{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}", weekdayName, monthName, parts->tm_mday,
                     parts->tm_hour, parts->tm_min, parts->tm_sec, parts->tm_year + 1900);
}

std::string clockText() { return clockPartOf(timeText(systemTimeSeconds())); }

std::string dateText() {
  const std::string text = timeText(systemTimeSeconds());
  if (text.size() != kTimeTextLength) {
    return kNoDateText;
  }
  return fmt::format("{}, {}", text.substr(4, 6), text.substr(20, 4));
}

std::string timeShiftText() {
  if (const std::optional<std::int64_t> shifted = shiftedTime()) {
    return fmt::format("<<< {}", clockPartOf(timeText(*shifted)));
  }
  return clockText();
}

int halfHourSlotAt(std::int64_t secondsSince1970) {
  const auto parts = brokenDownUtc(secondsSince1970);
  if (!parts) {
    return -1;
  }
  int slot = 2 * parts->tm_hour;
  if (parts->tm_min >= 30 || (parts->tm_min == 29 && parts->tm_sec >= 30)) {
    ++slot;
  }
  return slot % kSlotsPerDay;
}

int halfHourSlot() { return halfHourSlotAt(currentTime()); }

DaySlot weekdayAndSlotAt(std::int64_t secondsSince1970) {
  const auto parts = brokenDownUtc(secondsSince1970);
  DaySlot slot;
  if (parts) {
    slot.weekday = parts->tm_wday == 0 ? 7 : parts->tm_wday;
  }
  slot.halfHour = halfHourSlotAt(secondsSince1970);
  return slot;
}

DaySlot weekdayAndSlot() { return weekdayAndSlotAt(currentTime()); }

}  // namespace crv
