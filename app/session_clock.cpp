#include "app/session_clock.h"

#include <algorithm>
#include <thread>

namespace crv {

namespace {

constexpr auto kLongestSlice = std::chrono::milliseconds(100);

}  // namespace

SessionClock::SessionClock(double speedUp)
    : speedUp_(speedUp > 0.0 ? speedUp : 1.0), start_(std::chrono::steady_clock::now()) {}

SessionClock::Duration SessionClock::elapsed() const {
  const auto real = std::chrono::steady_clock::now() - start_;
  return std::chrono::duration_cast<Duration>(real * speedUp_);
}

bool SessionClock::waitFor(Duration duration, const std::function<bool()>& wake) const {
  const auto real = std::chrono::duration_cast<std::chrono::steady_clock::duration>(duration / speedUp_);
  const auto deadline = std::chrono::steady_clock::now() + real;
  while (true) {
    if (wake && wake()) {
      return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      return true;
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(deadline - now, kLongestSlice));
  }
}

void SessionClock::sleepFor(Duration duration) const { waitFor(duration, {}); }

}  // namespace crv
