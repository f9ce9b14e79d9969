#include "tests/traffic/replay_ground_flights.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "tests/traffic/replay_surface_flights.h"
#include "tests/traffic/stand_grid.h"

namespace crv::testing {

namespace {

// Seconds from `fromSeconds` on, each a step of `steps` in turn after the
// one before, short of `beforeSeconds`.
void appendEvery(std::vector<double>& seconds, double fromSeconds, double beforeSeconds,
                 const std::vector<double>& steps) {
  std::size_t step = 0;
  for (double t = fromSeconds; t < beforeSeconds; t += steps[step++ % steps.size()]) {
    seconds.push_back(t);
  }
}

// The approach of the runway arrivals: 60 s at 140 kt from 700 ft, recorded
// every 4 s, down to the runway running north (reached a little before the
// 60 s are over, where the track stays on the ground).
TrackBuilder approachFrom(GeoPoint start) {
  TrackBuilder builder(start.latitude, start.longitude, 700.0);
  builder.leg(kRunwayArrivalTouchdownSeconds, 140, 0, -710, 0, 1);
  return builder;
}

void appendApproachRecords(std::vector<double>& seconds) {
  appendEvery(seconds, 0.0, kRunwayArrivalTouchdownSeconds - 1.0, {4.0});
}

// The roll-out north from 130 kt, slowing by `knotsPerSecond` a second
// while above `knots`; its seconds.
double rollOutTo(TrackBuilder& builder, double knots, double knotsPerSecond) {
  double seconds = 0.0;
  for (double rolling = 130.0; rolling > knots; rolling -= knotsPerSecond) {
    builder.leg(1, rolling, 0, 0, 0, 1);
    seconds += 1.0;
  }
  return seconds;
}

}  // namespace

std::vector<TrackPoint> recordsTakenAt(const std::vector<TrackPoint>& track, const std::vector<double>& takenSeconds,
                                       const std::vector<double>& stampedSeconds, double reportedShare) {
  if (takenSeconds.size() != stampedSeconds.size() || takenSeconds.empty() ||
      takenSeconds.front() != track.front().seconds) {
    throw std::invalid_argument("records must be taken from the track's first second on, one stamp each");
  }
  std::vector<double> intervals;
  for (std::size_t i = 1; i < takenSeconds.size(); ++i) {
    intervals.push_back(takenSeconds[i] - takenSeconds[i - 1]);
  }
  std::vector<TrackPoint> records = sampledAt(track, intervals.empty() ? std::vector<double>{1.0} : intervals);
  records.resize(std::min(records.size(), takenSeconds.size()));
  for (std::size_t i = 0; i < records.size(); ++i) {
    TrackPoint& record = records[i];
    record.seconds = stampedSeconds[i];
    if (record.altitudeFeet <= 0.0) {
      record.reportsHeading = false;
      record.reportsAltitude = false;
      record.speedKnots *= reportedShare;
    }
  }
  return records;
}

std::vector<TrackPoint> taxiCornerFrom(GeoPoint start, double knots, double cornerStampLateSeconds,
                                       double reportedShare) {
  constexpr double kAfterCornerTaxiSeconds = 40.0;
  constexpr double kStandSeconds = 30.0;
  const std::vector<TrackPoint> track = TrackBuilder(start.latitude, start.longitude, 0.0)
                                            .leg(kTaxiCornerSeconds, knots, 90, 0, 0, 1)
                                            .leg(kAfterCornerTaxiSeconds, knots, 30, 0, 0, 1)
                                            .stand(kStandSeconds, 1)
                                            .points();
  const std::vector<double> steps{2.0, 3.4, 1.6, 2.8, 2.2};
  const double stopSeconds = kTaxiCornerSeconds + kAfterCornerTaxiSeconds;
  std::vector<double> taken;
  appendEvery(taken, 0.0, kTaxiCornerSeconds - kBeforeCornerSeconds - 1.0, steps);
  taken.push_back(kTaxiCornerSeconds - kBeforeCornerSeconds);
  const std::size_t corner = taken.size();
  taken.push_back(kTaxiCornerSeconds);
  appendEvery(taken, kTaxiCornerSeconds + kAfterCornerSeconds, stopSeconds - 1.0, steps);
  appendEvery(taken, stopSeconds + 1.0, stopSeconds + kStandSeconds, {10.0});
  std::vector<double> stamped = taken;
  stamped[corner] += cornerStampLateSeconds;
  std::vector<TrackPoint> records = recordsTakenAt(track, taken, stamped, reportedShare);
  // Half way round the corner.
  records[corner].trackDegrees = 60.0;
  return records;
}

std::vector<TrackPoint> fastExitFrom(GeoPoint threshold) {
  TrackBuilder builder = approachFrom(threshold);
  const double rollSeconds = rollOutTo(builder, kFastExitKnots, 4.0);
  constexpr double kExitSeconds = 5.0;
  constexpr double kTaxiSeconds = 48.0;
  constexpr double kStandSeconds = 30.0;
  const std::vector<TrackPoint> track = builder.leg(kExitSeconds, kFastExitKnots, 0, 0, 30.0 / kExitSeconds, 1)
                                            .leg(6, kFastExitKnots, 30, 0, 0, 1)
                                            .leg(4, 28, 30, 0, 0, 1)
                                            .leg(4, 24, 30, 0, 0, 1)
                                            .leg(kTaxiSeconds - 14.0, 20, 30, 0, 0, 1)
                                            .stand(kStandSeconds, 1)
                                            .points();
  const double stopSeconds = kRunwayArrivalTouchdownSeconds + rollSeconds + kExitSeconds + kTaxiSeconds;
  std::vector<double> taken;
  appendApproachRecords(taken);
  appendEvery(taken, kRunwayArrivalTouchdownSeconds, stopSeconds - 1.0, {1.4, 3.0, 0.4, 2.2, 1.0, 3.6, 2.4, 1.8});
  appendEvery(taken, stopSeconds + 1.0, stopSeconds + kStandSeconds, {10.0});
  return recordsTakenAt(track, taken, taken, kFastExitReportedShare);
}

std::vector<TrackPoint> rapidExitFrom(GeoPoint threshold, double exitKnots) {
  TrackBuilder builder = approachFrom(threshold);
  double groundSeconds = rollOutTo(builder, exitKnots, 4.0);
  constexpr double kExitSeconds = 5.0;
  constexpr double kHeldSeconds = 8.0;
  builder.leg(kExitSeconds, exitKnots, 0, 0, 30.0 / kExitSeconds, 1).leg(kHeldSeconds, exitKnots, 30, 0, 0, 1);
  groundSeconds += kExitSeconds + kHeldSeconds;
  for (double knots = exitKnots - 4.0; knots > 20.0; knots -= 4.0) {
    builder.leg(1, knots, 30, 0, 0, 1);
    groundSeconds += 1.0;
  }
  constexpr double kTaxiSeconds = 30.0;
  constexpr double kStandSeconds = 30.0;
  const std::vector<TrackPoint> track = builder.leg(kTaxiSeconds, 20, 30, 0, 0, 1).stand(kStandSeconds, 1).points();
  const double stopSeconds = kRunwayArrivalTouchdownSeconds + groundSeconds + kTaxiSeconds;
  std::vector<double> taken;
  appendApproachRecords(taken);
  appendEvery(taken, kRunwayArrivalTouchdownSeconds, stopSeconds - 1.0, {2.0});
  appendEvery(taken, stopSeconds + 1.0, stopSeconds + kStandSeconds, {10.0});
  return recordsTakenAt(track, taken, taken);
}

std::vector<TrackPoint> shortLegBendFrom(GeoPoint start) {
  constexpr double kKnots = 14.0;
  constexpr double kBeforeBendSeconds = 1.5;
  constexpr double kAfterBendTaxiSeconds = 30.0;
  constexpr double kStandSeconds = 30.0;
  const std::vector<TrackPoint> track = TrackBuilder(start.latitude, start.longitude, 0.0)
                                            .leg(kBendSeconds, kKnots, 90, 0, 0, 1)
                                            .leg(kAfterBendTaxiSeconds, kKnots, kAfterBendTrackDegrees, 0, 0, 1)
                                            .stand(kStandSeconds, 1)
                                            .points();
  const std::vector<double> steps{2.4, 3.0, 2.0, 2.6};
  const double stopSeconds = kBendSeconds + kAfterBendTaxiSeconds;
  // The record before the one ahead of the bend comes 3 s before that one,
  // so that the straight-line thinning keeps it.
  constexpr double kEarlierSeconds = 3.0;
  std::vector<double> taken;
  appendEvery(taken, 0.0, kBendSeconds - kBeforeBendSeconds - kEarlierSeconds - 1.0, steps);
  taken.push_back(kBendSeconds - kBeforeBendSeconds - kEarlierSeconds);
  taken.push_back(kBendSeconds - kBeforeBendSeconds);
  const std::size_t bend = taken.size();
  taken.push_back(kBendSeconds);
  appendEvery(taken, kBendSeconds + kAfterBendSeconds, stopSeconds - 1.0, steps);
  appendEvery(taken, stopSeconds + 1.0, stopSeconds + kStandSeconds, {10.0});
  std::vector<TrackPoint> records = recordsTakenAt(track, taken, taken);
  // Half way round the bend.
  records[bend].trackDegrees = 70.0;
  return records;
}

std::vector<TrackPoint> unevenRollFrom(GeoPoint threshold) {
  TrackBuilder builder = approachFrom(threshold);
  const double rollSeconds = rollOutTo(builder, kUnevenRollEndKnots, 3.0);
  constexpr double kTurnOffSeconds = 18.0;
  constexpr double kTaxiSeconds = 20.0;
  constexpr double kStandSeconds = 30.0;
  const std::vector<TrackPoint> track = builder.leg(kTurnOffSeconds, 20, 0, 0, 90.0 / kTurnOffSeconds, 1)
                                            .leg(kTaxiSeconds, 20, 90, 0, 0, 1)
                                            .stand(kStandSeconds, 1)
                                            .points();
  const double stopSeconds = kRunwayArrivalTouchdownSeconds + rollSeconds + kTurnOffSeconds + kTaxiSeconds;
  std::vector<double> taken;
  appendApproachRecords(taken);
  const std::size_t firstOnGround = taken.size();
  appendEvery(taken, kRunwayArrivalTouchdownSeconds + 0.5, stopSeconds - 1.0, {1.4, 3.0});
  std::vector<double> stamped = taken;
  for (std::size_t i = firstOnGround; i < taken.size(); ++i) {
    stamped[i] = taken[firstOnGround] + 2.2 * static_cast<double>(i - firstOnGround);
  }
  const std::size_t stops = taken.size();
  appendEvery(taken, stopSeconds + 1.0, stopSeconds + kStandSeconds, {10.0});
  stamped.insert(stamped.end(), taken.begin() + static_cast<std::ptrdiff_t>(stops), taken.end());
  return recordsTakenAt(track, taken, stamped);
}

RunwayBacktrack runwayBacktrackFrom(GeoPoint threshold) {
  TrackBuilder builder = approachFrom(threshold);
  double rollSeconds = 0.0;
  for (double knots = 130.0; knots > 0.0; knots -= knots > 30.0 ? 4.0 : 2.0) {
    builder.leg(1, knots, 0, 0, 0, 1);
    rollSeconds += 1.0;
  }
  constexpr double kStandSeconds = 45.0;
  constexpr double kTurnRoundSeconds = 15.0;
  constexpr double kTaxiBackSeconds = 40.0;
  constexpr double kStandAfterSeconds = 30.0;
  builder.stand(kStandSeconds, 1);
  const std::vector<TrackPoint> track = builder.leg(kTurnRoundSeconds, 6, 0, 0, 180.0 / kTurnRoundSeconds, 1)
                                            .leg(kTaxiBackSeconds, 15, 180, 0, 0, 1)
                                            .stand(kStandAfterSeconds, 1)
                                            .points();
  RunwayBacktrack backtrack;
  backtrack.stopSeconds = kRunwayArrivalTouchdownSeconds + rollSeconds;
  backtrack.turnSeconds = backtrack.stopSeconds + kStandSeconds;
  const double taxiEndSeconds = backtrack.turnSeconds + kTurnRoundSeconds + kTaxiBackSeconds;
  const std::vector<double> movingSteps{1.4, 3.0, 0.4, 2.2, 1.0, 3.6, 2.4, 1.8};
  std::vector<double> taken;
  appendApproachRecords(taken);
  appendEvery(taken, kRunwayArrivalTouchdownSeconds, backtrack.stopSeconds - 1.0, movingSteps);
  const std::size_t firstStanding = taken.size();
  appendEvery(taken, backtrack.stopSeconds + 1.5, backtrack.turnSeconds - 0.5, {2.0, 9.0, 15.0, 4.0, 12.0});
  const std::size_t setOff = taken.size();
  appendEvery(taken, backtrack.turnSeconds + 1.0, taxiEndSeconds - 1.0, movingSteps);
  appendEvery(taken, taxiEndSeconds + 1.0, taxiEndSeconds + kStandAfterSeconds, {10.0});
  backtrack.records = recordsTakenAt(track, taken, taken, 0.9);
  const TrackPoint& stopped = backtrack.records[firstStanding];
  backtrack.stop = {stopped.latitude, stopped.longitude};
  // Metres north and east of the stop.
  static constexpr std::pair<double, double> kScatter[] = {{1.8, -1.2}, {-2.1, 0.9}, {2.6, 1.5},
                                                           {-0.7, -2.4}, {1.2, 2.2}, {-1.6, -0.4}};
  for (std::size_t i = firstStanding; i < setOff; ++i) {
    const auto [north, east] = kScatter[(i - firstStanding) % std::size(kScatter)];
    const GeoPoint at = offsetMeters(backtrack.stop, north, east);
    backtrack.records[i].latitude = at.latitude;
    backtrack.records[i].longitude = at.longitude;
  }
  return backtrack;
}

}  // namespace crv::testing
