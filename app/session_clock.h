#pragma once

// The session's waits and its notion of elapsed time. The program uses the
// machine's steady clock; tests run the long waits (restart countdowns, the
// revisit hold, the new-flight notice, the first-traffic time-out) faster,
// or give a time of their own to check how a wait is sliced.

#include <chrono>
#include <functional>

namespace crv {

// Where a session clock takes real time from: now, and a sleep.
struct RealTime {
  std::function<std::chrono::steady_clock::time_point()> now;
  std::function<void(std::chrono::steady_clock::duration)> sleepFor;
};
// The machine's steady clock and std::this_thread::sleep_for.
RealTime machineTime();

class SessionClock {
 public:
  using Duration = std::chrono::nanoseconds;

  // speedUp: how many session seconds pass in one real second (1 in the
  // program).
  explicit SessionClock(double speedUp = 1.0, RealTime realTime = machineTime());

  // Session time since the clock was made.
  Duration elapsed() const;

  // Waits the session duration in slices of at most 100 ms of real time;
  // returns false as soon as wake() is true (checked before every slice).
  bool waitFor(Duration duration, const std::function<bool()>& wake) const;
  // Waits without a wake condition.
  void sleepFor(Duration duration) const;

  double speedUp() const { return speedUp_; }

  // The longest real time between two checks of a wait's wake condition.
  static constexpr std::chrono::milliseconds kLongestSlice{100};

 private:
  double speedUp_;
  RealTime realTime_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace crv
