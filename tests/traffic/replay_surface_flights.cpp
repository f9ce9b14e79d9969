#include "tests/traffic/replay_surface_flights.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace crv::testing {

namespace {

constexpr double kPi = 3.141592653589793;

double turnedDegrees(double from, double to, double fraction) {
  const double difference = std::remainder(to - from, 360.0);
  return std::fmod(from + difference * fraction + 360.0, 360.0);
}

TrackPoint between(const TrackPoint& a, const TrackPoint& b, double seconds) {
  const double fraction = b.seconds > a.seconds ? (seconds - a.seconds) / (b.seconds - a.seconds) : 0.0;
  TrackPoint p = b;
  p.seconds = seconds;
  p.latitude = a.latitude + (b.latitude - a.latitude) * fraction;
  p.longitude = a.longitude + (b.longitude - a.longitude) * fraction;
  p.altitudeFeet = a.altitudeFeet + (b.altitudeFeet - a.altitudeFeet) * fraction;
  p.speedKnots = a.speedKnots + (b.speedKnots - a.speedKnots) * fraction;
  p.trackDegrees = turnedDegrees(a.trackDegrees, b.trackDegrees, fraction);
  p.verticalSpeedFpm = a.verticalSpeedFpm + (b.verticalSpeedFpm - a.verticalSpeedFpm) * fraction;
  return p;
}

// The track's points from `fromSeconds` on, sampled as a receiver would.
void appendSampled(const std::vector<TrackPoint>& track, double fromSeconds, double untilSeconds,
                   const std::vector<double>& intervalsSeconds, std::vector<TrackPoint>& into) {
  std::size_t segment = 0;
  std::size_t interval = 0;
  for (double t = fromSeconds; t <= untilSeconds + 1e-9;
       t += intervalsSeconds[interval++ % intervalsSeconds.size()]) {
    while (segment + 2 < track.size() && track[segment + 1].seconds < t) {
      ++segment;
    }
    into.push_back(between(track[segment], track[segment + 1], std::clamp(t, track[segment].seconds,
                                                                           track[segment + 1].seconds)));
  }
}

// Gathers or loses speed a knot a second on the course.
void changeSpeed(TrackBuilder& builder, double fromKnots, double toKnots, double courseDegrees) {
  const double step = toKnots > fromKnots ? 1.0 : -1.0;
  for (double knots = fromKnots + step; step * (toKnots - knots) >= 0.0; knots += step) {
    builder.leg(1, knots, courseDegrees, 0, 0, 1);
  }
}

// Ground records of many receivers carry no true heading.
void withoutHeadingOnTheGround(std::vector<TrackPoint>& points) {
  for (TrackPoint& p : points) {
    p.reportsHeading = p.altitudeFeet > 0.0;
  }
}

}  // namespace

std::vector<TrackPoint> sampledAt(const std::vector<TrackPoint>& track, const std::vector<double>& intervalsSeconds) {
  std::vector<TrackPoint> sampled;
  appendSampled(track, track.front().seconds, track.back().seconds, intervalsSeconds, sampled);
  return sampled;
}

const std::vector<double>& irregularSurfaceIntervals() {
  static const std::vector<double> intervals{0.4, 3.6, 5.0, 2.0, 8.0, 0.4, 4.6, 12.0, 6.0, 20.0, 3.0, 7.0};
  return intervals;
}

std::vector<TrackPoint> understatedTaxiFrom(GeoPoint start, double reportedShare) {
  const std::vector<TrackPoint> moved = TrackBuilder(start.latitude, start.longitude, 0.0)
                                            .leg(50, 10, 90, 0, 0, 1)
                                            .leg(30, 9, 90, 0, 3.0, 1)
                                            .leg(60, 12, 180, 0, 0, 1)
                                            .leg(30, 9, 180, 0, 3.0, 1)
                                            .leg(50, 11, 270, 0, 0, 1)
                                            .leg(30, 9, 270, 0, 3.0, 1)
                                            .leg(50, 10, 0, 0, 0, 1)
                                            .stand(40, 1)
                                            .points();
  // A record tells the stop when it comes.
  const double stopSeconds = 300.0;
  std::vector<TrackPoint> reported;
  appendSampled(moved, 0.0, stopSeconds - 1.0, irregularSurfaceIntervals(), reported);
  appendSampled(moved, stopSeconds + 1.0, moved.back().seconds, {10.0}, reported);
  for (TrackPoint& p : reported) {
    p.speedKnots *= reportedShare;
  }
  withoutHeadingOnTheGround(reported);
  return reported;
}

std::vector<TrackPoint> loneTaxiFrom(GeoPoint start) {
  constexpr double kStandSeconds = 120.0;
  TrackBuilder builder(start.latitude, start.longitude, 0.0);
  builder.stand(kStandSeconds, 1);
  changeSpeed(builder, 0, 14, 90);
  builder.leg(30, 14, 90, 0, 0, 1);
  changeSpeed(builder, 14, 10, 90);
  builder.leg(30, 10, 90, 0, 3.0, 1);
  changeSpeed(builder, 10, 16, 180);
  builder.leg(50, 16, 180, 0, 0, 1);
  changeSpeed(builder, 16, 10, 180);
  builder.leg(15, 10, 180, 0, -3.0, 1);
  changeSpeed(builder, 10, 12, 135);
  builder.leg(40, 12, 135, 0, 0, 1);
  const std::vector<TrackPoint> moved = builder.stand(20, 1).points();
  const double stopSeconds = moved.back().seconds - 20.0;
  std::vector<TrackPoint> reported;
  appendSampled(moved, 0.0, kStandSeconds - 1.0, irregularSurfaceIntervals(), reported);
  appendSampled(moved, kStandSeconds + 1.1, stopSeconds - 1.0,
                {1.3, 3.1, 2.2, 1.7, 2.9, 1.5, 2.6, 1.9, 3.1, 1.4, 2.4, 1.6, 9.0, 2.8, 1.3, 2.0, 3.0, 1.8}, reported);
  appendSampled(moved, stopSeconds + 1.0, moved.back().seconds, {5.0}, reported);
  for (TrackPoint& p : reported) {
    p.speedKnots *= 0.85;
  }
  withoutHeadingOnTheGround(reported);
  return reported;
}

std::vector<TrackPoint> servedOnePerAnswer(const std::vector<TrackPoint>& track, double pollSeconds,
                                           double firstPollSeconds) {
  std::vector<TrackPoint> served;
  std::size_t heard = 0;
  for (double poll = firstPollSeconds; heard < track.size(); poll += pollSeconds) {
    while (heard < track.size() && track[heard].seconds <= poll) {
      ++heard;
    }
    if (heard > 0 && (served.empty() || served.back().seconds < track[heard - 1].seconds)) {
      served.push_back(track[heard - 1]);
      served.back().handedOverSeconds = poll;
    }
  }
  return served;
}

double nosePushNoseDegrees(double seconds) {
  const double pushed = std::clamp((seconds - kNosePushStartSeconds) / kNosePushSeconds, 0.0, 1.0);
  return turnedDegrees(kNosePushFirstNoseDegrees, kNosePushLastNoseDegrees, pushed);
}

namespace {

// Each record up to 2 m off where the aircraft stands, reporting the speed.
void scatterAtRest(std::vector<TrackPoint>& records, double restKnots) {
  constexpr double kScatterMeters[][2] = {{1.2, -0.8}, {-1.5, 0.9}, {0.4, 1.8}, {-0.9, -1.6}, {1.9, 0.3},
                                          {-0.3, -1.1}, {0.8, 1.5}, {-1.8, -0.6}, {1.0, -1.7}};
  constexpr double kFeetPerMeter = 1.0 / 0.3048;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const double* scatter = kScatterMeters[i % std::size(kScatterMeters)];
    const GeoPoint north = gf_destination({records[i].latitude, records[i].longitude}, 0.0, scatter[0] * kFeetPerMeter);
    const GeoPoint off = gf_destination(north, kPi / 2.0, scatter[1] * kFeetPerMeter);
    records[i].latitude = off.latitude;
    records[i].longitude = off.longitude;
    records[i].speedKnots = restKnots;
  }
}

// The push back and taxi of nosePushbackFrom, second by second, its track
// the nose.
std::vector<TrackPoint> nosePushMoved(GeoPoint stand) {
  constexpr double kStandStillSeconds = 20.0;
  const double taxiFromSeconds = kNosePushStartSeconds + kNosePushSeconds + kStandStillSeconds;
  // The tug pushes the tail towards 195 degrees at first and 185 at the end.
  std::vector<TrackPoint> moved = TrackBuilder(stand.latitude, stand.longitude, 0.0)
                                      .stand(kNosePushStartSeconds, 1)
                                      .leg(kNosePushSeconds, 3, 195, 0, -10.0 / kNosePushSeconds, 1)
                                      .stand(kStandStillSeconds, 1)
                                      .leg(40, 8, kNosePushLastNoseDegrees, 0, 0, 1)
                                      .leg(30, 8, kNosePushLastNoseDegrees, 0, 2.0, 1)
                                      .leg(60, 10, kNosePushLastNoseDegrees + 60.0, 0, 0, 1)
                                      .stand(30, 1)
                                      .points();
  for (TrackPoint& p : moved) {
    if (p.seconds <= taxiFromSeconds) {
      p.trackDegrees = nosePushNoseDegrees(p.seconds);
    }
  }
  return moved;
}

}  // namespace

std::vector<TrackPoint> nosePushbackFrom(GeoPoint stand, bool fromStand) {
  const std::vector<TrackPoint> moved = nosePushMoved(stand);
  std::vector<TrackPoint> reported;
  if (fromStand) {
    appendSampled(moved, 0.0, kNosePushStartSeconds, {10.0}, reported);
  }
  const double stopSeconds = moved.back().seconds - 30.0;
  appendSampled(moved, kNosePushStartSeconds + (fromStand ? 2.0 : 6.0), stopSeconds - 1.0,
                irregularSurfaceIntervals(), reported);
  appendSampled(moved, stopSeconds + 1.0, moved.back().seconds, {10.0}, reported);
  withoutHeadingOnTheGround(reported);
  return reported;
}

std::vector<TrackPoint> understatedPushbackFrom(GeoPoint stand, double restKnots) {
  const std::vector<TrackPoint> moved = nosePushMoved(stand);
  std::vector<TrackPoint> reported;
  // At rest, heard at irregular times until a second before the push, each
  // record up to 2 m off where the aircraft stands.
  appendSampled(moved, 0.0, kNosePushStartSeconds - 1.0, {7.0, 4.6, 12.0, 3.0, 9.0, 6.4, 10.0}, reported);
  scatterAtRest(reported, restKnots);
  const double stopSeconds = moved.back().seconds - 30.0;
  const std::size_t moving = reported.size();
  appendSampled(moved, kNosePushStartSeconds + 1.4, stopSeconds - 1.0, irregularSurfaceIntervals(), reported);
  appendSampled(moved, stopSeconds + 1.0, moved.back().seconds, {10.0}, reported);
  for (std::size_t i = moving; i < reported.size(); ++i) {
    reported[i].speedKnots *= kUnderstatedPushShare;
  }
  withoutHeadingOnTheGround(reported);
  return reported;
}

std::vector<TrackPoint> standSetOffFrom(GeoPoint stand, const StandSetOffRecords& records) {
  // nosePushMoved's push begins at its second kNosePushStartSeconds.
  const std::vector<TrackPoint> moved = nosePushMoved(stand);
  const double shift = kNosePushStartSeconds - records.startSeconds();
  const auto movedAt = [&](double seconds) {
    const double at = std::max(seconds + shift, 0.0);
    std::vector<TrackPoint> one;
    appendSampled(moved, at, at, {1.0}, one);
    one.front().seconds = seconds;
    return one.front();
  };
  std::vector<double> restSeconds{0.0};
  const double lastRest = records.lastRestSeconds();
  const auto before = static_cast<int>(std::floor(lastRest / records.restEverySeconds));
  for (int k = before; k >= 0; --k) {
    const double seconds = lastRest - k * records.restEverySeconds;
    if (seconds > restSeconds.back() + 0.2) {
      restSeconds.push_back(seconds);
    }
  }
  std::vector<TrackPoint> reported;
  for (const double seconds : restSeconds) {
    reported.push_back(movedAt(seconds));
  }
  scatterAtRest(reported, records.restKnots);
  // Forty seconds of the push.
  for (double seconds = lastRest + records.firstPushAfterSeconds; seconds <= records.startSeconds() + 40.0;
       seconds += records.pushEverySeconds) {
    reported.push_back(movedAt(seconds));
    reported.back().speedKnots *= records.pushShare;
  }
  withoutHeadingOnTheGround(reported);
  return reported;
}

std::vector<TrackPoint> sparseTakeOffFrom(GeoPoint start) {
  constexpr double kTaxiSeconds = 60.0;
  TrackBuilder builder(start.latitude, start.longitude, 0.0);
  builder.leg(kTaxiSeconds, 10, 90, 0, 0, 1).stand(kSparseRollStartSeconds - kTaxiSeconds, 1);
  constexpr double kRollKnotsPerSecond = 6.0;
  constexpr double kLiftOffKnots = 150.0;
  for (double knots = kRollKnotsPerSecond; knots <= kLiftOffKnots; knots += kRollKnotsPerSecond) {
    builder.leg(1, knots, 90, 0, 0, 1);
  }
  const std::vector<TrackPoint> moved = builder.leg(90, 160, 90, 2000, 0, 1).points();
  std::vector<TrackPoint> reported;
  appendSampled(moved, 0.0, kTaxiSeconds - 1.0, irregularSurfaceIntervals(), reported);
  appendSampled(moved, kTaxiSeconds + 1.0, moved.back().seconds, {15.0}, reported);
  withoutHeadingOnTheGround(reported);
  return reported;
}

}  // namespace crv::testing
