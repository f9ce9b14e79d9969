#pragma once

#include <cstdint>
#include <string>

#include "foundation/day_slot.h"

namespace crv {

// Seconds since 1970 UTC of the latest traffic data, 0 when none. The
// Traffic Reader is its one writer; any thread reads it. While a time shift
// is active, a usable traffic time also measures the shift: how far the
// traffic lies behind the system time.
double lastTrafficTime();
void setLastTrafficTime(double secondsSince1970);

// Set while a time shift of more than 0 minutes is applied. Clearing it
// forgets the shift.
bool timeShiftActive();
void setTimeShiftActive(bool active);
// Applies a time shift of the minutes the traffic is asked for: active when
// more than 0, and the shift the clock keeps until traffic measures it.
void setTimeShiftMinutes(std::int32_t minutes);

// The system's UTC time in whole seconds.
std::int64_t systemTimeSeconds();

// The program's "now": the latest traffic time while a time shift is active,
// else the system time. While a shift is active and no traffic time is known
// (an empty batch, a non-finite or out-of-range time), the system time less
// the last known shift, so that the clock does not fall back to the present.
std::int64_t currentTime();

// "Sat Dec 05 10:29:30 2026"; "Invalid time" when the time cannot be broken
// down.
std::string timeText(std::int64_t secondsSince1970);

// hh:mm:ss of the system time.
std::string clockText();
// "Dec 05, 2026" of the system time.
std::string dateText();
// "<<< hh:mm:ss" of currentTime while it is shifted, else the clock.
std::string timeShiftText();

// Shown in place of a clock or date that cannot be made.
inline constexpr const char* kNoClockText = "--:--:--";
inline constexpr const char* kNoDateText = "---, ----";

// The half hour of the day 0..47 (hh:00:00 to hh:29:29 is the first, from
// hh:29:30 the second), -1 when the time cannot be broken down.
int halfHourSlotAt(std::int64_t secondsSince1970);
int halfHourSlot();

// Weekday (Monday 1 to Sunday 7) and half hour of a time.
DaySlot weekdayAndSlotAt(std::int64_t secondsSince1970);
DaySlot weekdayAndSlot();

}  // namespace crv
