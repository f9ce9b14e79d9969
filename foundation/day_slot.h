#pragma once

#include <cstdint>

namespace crv {

inline constexpr int kSlotsPerDay = 48;
inline constexpr int kSlotsPerWeek = 336;

// A half hour of the week: weekday 1 (Monday) to 7 (Sunday) and half hour of
// the day 0 to 47. Carried as one 64-bit value with the weekday in the low 32
// bits and the half hour in the high 32 bits. An invalid time has -1 parts.
struct DaySlot {
  int weekday = -1;
  int halfHour = -1;

  bool isValid() const { return weekday >= 1 && weekday <= 7 && halfHour >= 0 && halfHour < kSlotsPerDay; }

  // weekday x 48 + half hour, as the stand schedules index it.
  int weekIndex() const { return weekday * kSlotsPerDay + halfHour; }

  // The half hour before: from half hour 0 to 47 of the day before, from
  // Monday back to Sunday.
  DaySlot previous() const;
  // The half hour after: from 47 to 0 of the next day, from Sunday to Monday.
  DaySlot next() const;

  std::uint64_t packed() const;
  static DaySlot fromPacked(std::uint64_t value);

  friend bool operator==(const DaySlot&, const DaySlot&) = default;
};

}  // namespace crv
