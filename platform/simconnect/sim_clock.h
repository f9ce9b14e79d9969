#pragma once

#include <atomic>
#include <chrono>

namespace platform {

// The time source of the simulator stand-in. Frames, once-a-second replies
// and the simulator's UTC time follow it.
class StandInClock {
 public:
  virtual ~StandInClock() = default;
  virtual std::chrono::nanoseconds now() const = 0;
  // True when time moves only on request, so no backlog is ever skipped.
  virtual bool isManual() const = 0;
};

// Moves only when told to; the clock of the tests.
class ManualStandInClock : public StandInClock {
 public:
  std::chrono::nanoseconds now() const override { return std::chrono::nanoseconds{nowNs_.load()}; }
  bool isManual() const override { return true; }
  void advance(std::chrono::nanoseconds step) { nowNs_.fetch_add(step.count()); }

 private:
  std::atomic<std::chrono::nanoseconds::rep> nowNs_{0};
};

// The steady clock of the machine, counted from the clock's creation.
class SteadyStandInClock : public StandInClock {
 public:
  std::chrono::nanoseconds now() const override { return std::chrono::steady_clock::now() - start_; }
  bool isManual() const override { return false; }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace platform
