#include "platform/os/timer_period.h"

#include <windows.h>
#include <timeapi.h>

#include <atomic>

namespace platform {
namespace {

std::atomic<int> openPeriods{0};

}  // namespace

// The system's multimedia timer period, counted as elsewhere so that tests
// see every begin ended.
std::uint32_t timeBeginPeriod(std::uint32_t periodMs) {
  const MMRESULT result = ::timeBeginPeriod(periodMs);
  if (result == TIMERR_NOERROR) openPeriods.fetch_add(1);
  return result;
}

std::uint32_t timeEndPeriod(std::uint32_t periodMs) {
  int open = openPeriods.load();
  while (open > 0) {
    if (openPeriods.compare_exchange_weak(open, open - 1)) {
      return ::timeEndPeriod(periodMs);
    }
  }
  return kTimerNoCanDo;
}

int openTimerPeriods() { return openPeriods.load(); }

}  // namespace platform
