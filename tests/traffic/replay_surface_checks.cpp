#include "tests/traffic/replay_surface_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "foundation/geodesy.h"

namespace crv::testing {

namespace {

constexpr double kMetersPerNm = 1852.0;
constexpr double kFacingDegrees = 20.0;

GeoPoint placeOf(const platform::TracePosition& p) { return {p.latitudeDegrees, p.longitudeDegrees}; }

double degreesBetween(double aDegrees, double bDegrees) { return std::fabs(std::remainder(aDegrees - bDegrees, 360.0)); }

}  // namespace

double fastestKnots(const std::vector<platform::TracePosition>& positions, double fromSeconds, double untilSeconds) {
  double fastest = 0.0;
  std::size_t back = 0;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    while (positions[i].seconds - positions[back].seconds > 1.0) {
      ++back;
    }
    const double seconds = positions[i].seconds - positions[back].seconds;
    if (positions[i].seconds < fromSeconds || positions[i].seconds > untilSeconds || seconds < 0.5) {
      continue;
    }
    fastest = std::max(fastest, gf_distanceNm(placeOf(positions[back]), placeOf(positions[i])) * 3600.0 / seconds);
  }
  return fastest;
}

PushSeen pushSeen(const std::vector<platform::TracePosition>& positions, const std::vector<TrackPoint>& track,
                  double fromSeconds, double untilSeconds, double dueOffsetSeconds) {
  PushSeen seen;
  for (const TrackPoint& record : track) {
    if (record.speedKnots <= 0.0 || record.seconds < fromSeconds || record.seconds > untilSeconds) {
      continue;
    }
    const double due = record.seconds + dueOffsetSeconds;
    const auto at = std::lower_bound(positions.begin(), positions.end(), due,
                                     [](const platform::TracePosition& p, double s) { return p.seconds < s; });
    const auto later = std::lower_bound(at, positions.end(), due + 1.0,
                                        [](const platform::TracePosition& p, double s) { return p.seconds < s; });
    if (at == positions.begin() || later == positions.end()) {
      continue;
    }
    ++seen.records;
    const double headingDegrees = at->headingRadians * kRadiansToDegrees;
    seen.facingRecorded += degreesBetween(headingDegrees, record.trackDegrees) <= kFacingDegrees ? 1 : 0;
    if (gf_distanceNm(placeOf(*at), placeOf(*later)) * kMetersPerNm > 0.3) {
      const double moving = degreesBetween(gf_bearing(placeOf(*at), placeOf(*later)) * kRadiansToDegrees, headingDegrees);
      seen.tailFirst += moving > 120.0 ? 1 : 0;
      seen.noseFirst += moving < 60.0 ? 1 : 0;
    }
  }
  std::printf("push back: %zu records, facing the recorded nose at %zu, moving tail first at %zu, nose first at %zu\n",
              seen.records, seen.facingRecorded, seen.tailFirst, seen.noseFirst);
  return seen;
}

std::optional<double> firstMovedSeconds(const std::vector<platform::TracePosition>& positions, double restSeconds,
                                        double meters) {
  const auto rest = std::lower_bound(positions.begin(), positions.end(), restSeconds,
                                     [](const platform::TracePosition& p, double s) { return p.seconds < s; });
  if (rest == positions.end()) {
    return std::nullopt;
  }
  const auto moved = std::find_if(rest, positions.end(), [&](const platform::TracePosition& p) {
    return gf_distanceNm(placeOf(*rest), placeOf(p)) * kMetersPerNm >= meters;
  });
  return moved == positions.end() ? std::nullopt : std::optional<double>(moved->seconds);
}

SetOffSeen setOffSeen(const std::vector<platform::TracePosition>& positions, double restSeconds,
                      double recordedStartSeconds) {
  constexpr double kMovedMeters = 0.5;
  SetOffSeen seen;
  const auto rest = std::lower_bound(positions.begin(), positions.end(), restSeconds,
                                     [](const platform::TracePosition& p, double s) { return p.seconds < s; });
  if (rest == positions.end()) {
    seen.startErrorSeconds = std::numeric_limits<double>::quiet_NaN();
    return seen;
  }
  std::optional<double> firstMoved;
  for (auto p = rest; p != positions.end(); ++p) {
    const double meters = gf_distanceNm(placeOf(*rest), placeOf(*p)) * kMetersPerNm;
    if (p->seconds <= recordedStartSeconds - 1.0) {
      seen.movedBeforeMeters = std::max(seen.movedBeforeMeters, meters);
    }
    if (p->seconds <= recordedStartSeconds) {
      seen.movedAtStartMeters = meters;
    }
    if (!firstMoved && meters >= kMovedMeters) {
      firstMoved = p->seconds;
    }
  }
  seen.startErrorSeconds =
      firstMoved ? *firstMoved - recordedStartSeconds : std::numeric_limits<double>::quiet_NaN();
  std::printf("set off: moved %.2f m until a second before the recorded start, %.2f m at it, first moved %.2f s "
              "against it\n",
              seen.movedBeforeMeters, seen.movedAtStartMeters, seen.startErrorSeconds);
  return seen;
}

std::vector<LegSpeed> legSpeeds(const std::vector<platform::TracePosition>& positions,
                                const std::vector<TrackPoint>& track, double dueOffsetSeconds) {
  constexpr double kPassedMeters = 3.0;
  constexpr double kShortestLegMeters = 20.0;
  constexpr double kWindowSeconds = 60.0;
  std::vector<TimedPlace> places;
  places.reserve(positions.size());
  for (const platform::TracePosition& p : positions) {
    places.push_back({p.seconds, p.latitudeDegrees, p.longitudeDegrees});
  }
  std::vector<LegSpeed> legs;
  constexpr double kRisingSpeedFactor = 1.05;
  const TrackPoint* from = nullptr;  // the record the leg begins at, passed
  double fromPassedSeconds = 0.0;
  bool fromInRunUp = true;
  bool runUp = true;  // after a standstill, while the speed rises
  double lastKnots = 0.0;
  for (const TrackPoint& record : track) {
    if (record.speedKnots <= 0.0 || record.altitudeFeet > 0.0) {
      from = nullptr;
      runUp = true;
      lastKnots = 0.0;
      continue;
    }
    runUp = runUp && record.speedKnots > lastKnots * kRisingSpeedFactor;
    lastKnots = record.speedKnots;
    const std::vector<RecordLag> passed = closestApproaches(
        {{record.seconds + dueOffsetSeconds, record.latitude, record.longitude}}, places, kWindowSeconds);
    if (passed.empty() || passed.front().closestMeters > kPassedMeters) {
      from = nullptr;
      continue;
    }
    const double passedSeconds = passed.front().closestSeconds;
    if (from != nullptr) {
      const double meters =
          gf_distanceNm({from->latitude, from->longitude}, {record.latitude, record.longitude}) * kMetersPerNm;
      if (meters < kShortestLegMeters) {
        continue;
      }
      const double replayedSeconds = passedSeconds - fromPassedSeconds;
      if (replayedSeconds > 0.0 && !fromInRunUp) {
        const double knotsPerMeterSecond = 3600.0 / kMetersPerNm;
        legs.push_back({from->seconds, meters / (record.seconds - from->seconds) * knotsPerMeterSecond,
                        meters / replayedSeconds * knotsPerMeterSecond});
      }
    }
    from = &record;
    fromPassedSeconds = passedSeconds;
    fromInRunUp = runUp;
  }
  return legs;
}

LegSpeedFigures legSpeedFigures(const std::vector<LegSpeed>& legs, const std::string& name) {
  std::vector<double> errors;
  for (const LegSpeed& leg : legs) {
    errors.push_back(std::fabs(leg.error()));
  }
  std::sort(errors.begin(), errors.end());
  LegSpeedFigures figures;
  if (!errors.empty()) {
    figures.medianError = errors[errors.size() / 2];
    figures.largestError = errors.back();
  }
  std::printf("%s: %zu ground legs, speed off its records' spacing by %.0f %% at the median, %.0f %% at most\n",
              name.c_str(), legs.size(), 100.0 * figures.medianError, 100.0 * figures.largestError);
  return figures;
}

}  // namespace crv::testing
