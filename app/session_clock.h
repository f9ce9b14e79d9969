#pragma once

// The session's waits and its notion of elapsed time. The program uses the
// machine's steady clock; tests run the long waits (restart countdowns, the
// revisit hold, the new-flight notice, the first-traffic time-out) faster.

#include <chrono>
#include <functional>

namespace crv {

class SessionClock {
 public:
  using Duration = std::chrono::nanoseconds;

  // speedUp: how many session seconds pass in one real second (1 in the
  // program).
  explicit SessionClock(double speedUp = 1.0);

  // Session time since the clock was made.
  Duration elapsed() const;

  // Waits the session duration in slices of at most 100 ms of real time;
  // returns false as soon as wake() is true (checked before every slice).
  bool waitFor(Duration duration, const std::function<bool()>& wake) const;
  // Waits without a wake condition.
  void sleepFor(Duration duration) const;

  double speedUp() const { return speedUp_; }

 private:
  double speedUp_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace crv
