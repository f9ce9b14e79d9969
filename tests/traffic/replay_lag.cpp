#include "tests/traffic/replay_lag.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/geodesy.h"

namespace crv::testing {

namespace {

constexpr double kMetersPerNm = 1852.0;

double percentile(std::vector<double> sorted, double fraction) {
  const auto index = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size()))) - 1;
  return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

LagFigures lagFigures(const std::vector<RecordLag>& lags) {
  LagFigures figures;
  figures.records = lags.size();
  if (lags.empty()) {
    return figures;
  }
  std::vector<double> magnitudes;
  for (const RecordLag& lag : lags) {
    magnitudes.push_back(std::fabs(lag.lagSeconds()));
  }
  std::sort(magnitudes.begin(), magnitudes.end());
  figures.medianAbsSeconds = percentile(magnitudes, 0.5);
  figures.p95AbsSeconds = percentile(magnitudes, 0.95);
  figures.largestAbsSeconds = magnitudes.back();
  return figures;
}

double largestAbsLagFrom(const std::vector<RecordLag>& lags, double fromSeconds) {
  double largest = 0.0;
  for (const RecordLag& lag : lags) {
    if (lag.dueSeconds >= fromSeconds) {
      largest = std::max(largest, std::fabs(lag.lagSeconds()));
    }
  }
  return largest;
}

std::vector<RecordLag> closestApproaches(const std::vector<TimedPlace>& records,
                                         const std::vector<TimedPlace>& positions, double windowSeconds) {
  std::vector<RecordLag> result;
  for (const TimedPlace& record : records) {
    RecordLag lag{record.seconds, 0.0, std::numeric_limits<double>::infinity()};
    for (const TimedPlace& p : positions) {
      if (std::fabs(p.seconds - record.seconds) > windowSeconds) {
        continue;
      }
      const double meters =
          gf_distanceNm({p.latitude, p.longitude}, {record.latitude, record.longitude}) * kMetersPerNm;
      if (meters < lag.closestMeters) {
        lag.closestMeters = meters;
        lag.closestSeconds = p.seconds;
      }
    }
    if (std::isfinite(lag.closestMeters)) {
      result.push_back(lag);
    }
  }
  return result;
}

}  // namespace crv::testing
