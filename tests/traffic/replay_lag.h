#pragma once

// How a replay kept to its records: for each record, when the simulated
// aircraft came closest to it against when the record fell due.

#include <cstddef>
#include <vector>

namespace crv::testing {

// One moving record and how the replay kept to it.
struct RecordLag {
  double dueSeconds = 0.0;      // scenario seconds at which the record fell due
  double closestSeconds = 0.0;  // when the aircraft came closest to it
  double closestMeters = 0.0;   // how close that was
  double lagSeconds() const { return closestSeconds - dueSeconds; }
};

// A record where it fell due, and a position where the aircraft was.
struct TimedPlace {
  double seconds = 0.0;
  double latitude = 0.0;
  double longitude = 0.0;
};

// For every record, the aircraft's closest approach among the positions
// from `windowSeconds` before to after its due second; records with no
// position in that time are left out.
std::vector<RecordLag> closestApproaches(const std::vector<TimedPlace>& records,
                                         const std::vector<TimedPlace>& positions, double windowSeconds);

struct LagFigures {
  std::size_t records = 0;
  double medianAbsSeconds = 0.0;
  double p95AbsSeconds = 0.0;
  double largestAbsSeconds = 0.0;
};
LagFigures lagFigures(const std::vector<RecordLag>& lags);

// The largest |lag| of the records due from `fromSeconds` on; 0 when none is.
double largestAbsLagFrom(const std::vector<RecordLag>& lags, double fromSeconds);

}  // namespace crv::testing
