#include "foundation/sleep.h"

#include <algorithm>
#include <thread>

namespace crv {

void sleepMilliseconds(long milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool sleepUnlessStopped(std::chrono::milliseconds duration, const std::atomic<bool>& stop) {
  constexpr std::chrono::milliseconds kSlice(100);
  const auto end = std::chrono::steady_clock::now() + duration;
  while (!stop.load()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) {
      return true;
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kSlice, end - now));
  }
  return false;
}

}  // namespace crv
