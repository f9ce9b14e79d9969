#pragma once

#include <cstdint>

namespace platform {

// The multimedia timer period (timeBeginPeriod / timeEndPeriod). Linux
// sleeps are accurate to well under a millisecond already, so both calls
// only count: each begin must be matched by an end of the same period.
// Results follow the Windows calls: 0 for success, 97 (TIMERR_NOCANDO) for a
// period of 0 or an end without a begin.
inline constexpr std::uint32_t kTimerNoCanDo = 97;

std::uint32_t timeBeginPeriod(std::uint32_t periodMs);
std::uint32_t timeEndPeriod(std::uint32_t periodMs);

// Begins still open (tests check that every begin was ended).
int openTimerPeriods();

// Begins a 1 ms period for the lifetime of the object.
class ScopedTimerPeriod {
 public:
  ScopedTimerPeriod() { timeBeginPeriod(1); }
  ~ScopedTimerPeriod() { timeEndPeriod(1); }
  ScopedTimerPeriod(const ScopedTimerPeriod&) = delete;
  ScopedTimerPeriod& operator=(const ScopedTimerPeriod&) = delete;
};

}  // namespace platform
