#include "platform/os/timer_period.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<int> openPeriods{0};

}  // namespace

std::uint32_t timeBeginPeriod(std::uint32_t periodMs) {
  if (periodMs == 0) {
    return kTimerNoCanDo;
  }
  openPeriods.fetch_add(1);
  return 0;
}

std::uint32_t timeEndPeriod(std::uint32_t periodMs) {
  if (periodMs == 0) {
    return kTimerNoCanDo;
  }
  int open = openPeriods.load();
  while (open > 0) {
    if (openPeriods.compare_exchange_weak(open, open - 1)) {
      return 0;
    }
  }
  return kTimerNoCanDo;
}

int openTimerPeriods() { return openPeriods.load(); }

}  // namespace platform
