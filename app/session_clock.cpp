#include "app/session_clock.h"

#include <algorithm>
#include <thread>

namespace crv {

RealTime machineTime() {
  return {[] { return std::chrono::steady_clock::now(); },
          [](std::chrono::steady_clock::duration duration) { std::this_thread::sleep_for(duration); }};
}

SessionClock::SessionClock(double speedUp, RealTime realTime)
    : speedUp_(speedUp > 0.0 ? speedUp : 1.0), realTime_(std::move(realTime)), start_(realTime_.now()) {}

SessionClock::Duration SessionClock::elapsed() const {
  const auto real = realTime_.now() - start_;
  return std::chrono::duration_cast<Duration>(real * speedUp_);
}

bool SessionClock::waitFor(Duration duration, const std::function<bool()>& wake) const {
  const auto real = std::chrono::duration_cast<std::chrono::steady_clock::duration>(duration / speedUp_);
  const auto deadline = realTime_.now() + real;
  while (true) {
    if (wake && wake()) {
      return false;
    }
    const auto now = realTime_.now();
    if (now >= deadline) {
      return true;
    }
    realTime_.sleepFor(std::min<std::chrono::steady_clock::duration>(deadline - now, kLongestSlice));
  }
}

void SessionClock::sleepFor(Duration duration) const { waitFor(duration, {}); }

}  // namespace crv
