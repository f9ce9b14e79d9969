#include "aircraftdata/match_step_counters.h"

#include <stdexcept>
#include <string>

namespace crv {

namespace {

std::size_t stepSlot(int step) {
  if (step < 1 || step > kMatchStepCount) {
    throw std::out_of_range("livery match step " + std::to_string(step) + " does not exist");
  }
  return static_cast<std::size_t>(step - 1);
}

}  // namespace

void MatchStepCounters::increment(int step) { counters_[stepSlot(step)].fetch_add(1, std::memory_order_relaxed); }

std::uint32_t MatchStepCounters::count(int step) const {
  return counters_[stepSlot(step)].load(std::memory_order_relaxed);
}

MatchStepCounters& matchStepCounters() {
  static MatchStepCounters counters;
  return counters;
}

}  // namespace crv
