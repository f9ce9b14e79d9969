#pragma once

// How many live aircraft got their livery at each matching step (1 to 6),
// counted from the program's start and never reset.

#include <array>
#include <atomic>
#include <cstdint>

namespace crv {

inline constexpr int kMatchStepCount = 6;

class MatchStepCounters {
 public:
  // Step 1 to 6; any other step throws std::out_of_range.
  void increment(int step);
  std::uint32_t count(int step) const;

 private:
  std::array<std::atomic<std::uint32_t>, kMatchStepCount> counters_{};
};

// The program's counters.
MatchStepCounters& matchStepCounters();

}  // namespace crv
