#include "tests/traffic/replay_windy_arrival.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>

namespace crv::testing {

namespace {

constexpr double kWindFromDegrees = 0.0;
constexpr double kWindKnots = 40.0;
// Gusts: the wind's speed swings by this much either way in this time.
constexpr double kGustKnots = 6.0;
constexpr double kGustSeconds = 23.0;
constexpr double kStepSeconds = 0.1;
constexpr double kPi = 3.141592653589793;

// Seconds between the airborne records, in turn: as irregular as a real
// receiver network hears a transponder.
constexpr double kRecordSpacings[] = {7.0, 0.4, 12.0, 3.0, 21.0, 5.0, 1.5, 9.0, 0.4, 16.0, 4.0, 2.5};

// Flown through the air for `seconds`: the airspeed changes evenly from
// `fromKnots` to `toKnots`, the heading by the turn rate a second.
struct AirLeg {
  double seconds = 0.0;
  double fromKnots = 0.0;
  double toKnots = 0.0;
  double turnDegreesPerSecond = 0.0;
  double verticalSpeedFpm = 0.0;
  bool heard = true;  // false: the receivers hear nothing meanwhile
};

// Descends from 4350 ft on a heading of 030 to meet the ground after the
// last leg; the wind drifts every leg to the south.
constexpr AirLeg kApproach[] = {
    {50.0, 210.0, 200.0, 0.0, -900.0},
    {110.0, 200.0, 200.0, 3.0, -500.0},  // 330 degrees to the right onto north
    {40.0, 200.0, 170.0, 0.0, -700.0},
    {kWindySilenceSeconds, 170.0, 145.0, 0.0, -700.0, false},
    {130.0, 145.0, 140.0, 0.0, -700.0},
};
constexpr double kStartAltitudeFeet = 4350.0;
constexpr double kStartHeadingDegrees = 30.0;

// The approach's records, and where it meets the ground.
std::vector<TrackPoint> approachFrom(GeoPoint start, GeoPoint& touchdown) {
  std::vector<TrackPoint> points;
  GeoPoint at = start;
  double altitude = kStartAltitudeFeet;
  double heading = kStartHeadingDegrees;
  double seconds = 0.0;
  double nextRecord = 0.0;
  std::size_t spacing = 0;
  for (const AirLeg& leg : kApproach) {
    const auto steps = static_cast<int>(std::lround(leg.seconds / kStepSeconds));
    for (int step = 0; step <= steps; ++step) {
      const double fraction = static_cast<double>(step) / static_cast<double>(steps);
      const double airspeed = leg.fromKnots + (leg.toKnots - leg.fromKnots) * fraction;
      const double wind = kWindKnots + kGustKnots * std::sin(2.0 * kPi * seconds / kGustSeconds);
      const double north = airspeed * std::cos(heading * kDegreesToRadians) -
                           wind * std::cos(kWindFromDegrees * kDegreesToRadians);
      const double east = airspeed * std::sin(heading * kDegreesToRadians) -
                          wind * std::sin(kWindFromDegrees * kDegreesToRadians);
      const double groundSpeed = std::hypot(north, east);
      const double track = std::fmod(std::atan2(east, north) * kRadiansToDegrees + 360.0, 360.0);
      // A silence ends with the record that breaks it.
      if (seconds >= nextRecord - 1e-6 && (leg.heard || step == steps)) {
        points.push_back({seconds, at.latitude, at.longitude, std::max(altitude, 1.0), std::round(groundSpeed),
                          std::round(track), leg.verticalSpeedFpm});
        points.back().reportsTrueAirspeed = false;
        nextRecord = seconds + kRecordSpacings[spacing++ % std::size(kRecordSpacings)];
      }
      if (step == steps) {
        break;
      }
      at = gf_destination(at, track * kDegreesToRadians, groundSpeed * kStepSeconds / 3600.0 * kFeetPerNm);
      altitude += leg.verticalSpeedFpm / 60.0 * kStepSeconds;
      heading = std::fmod(heading + leg.turnDegreesPerSecond * kStepSeconds + 360.0, 360.0);
      seconds += kStepSeconds;
    }
  }
  touchdown = at;
  return points;
}

std::vector<TrackPoint> windyArrivalFrom(GeoPoint start) {
  GeoPoint touchdown;
  std::vector<TrackPoint> points = approachFrom(start, touchdown);
  // The roll-out to the north against the wind, then the taxi to the stand.
  const std::vector<TrackPoint> surface =
      TrackBuilder(touchdown.latitude, touchdown.longitude, 0.0, kWindyTouchdownSeconds)
          .leg(4, 95, 0, 0, 0, 2)
          .leg(4, 82, 0, 0, 0, 1)
          .leg(4, 70, 0, 0, 0, 3)
          .leg(4, 58, 0, 0, 0, 2)
          .leg(4, 46, 0, 0, 0, 1)
          .leg(4, 35, 0, 0, 0, 3)
          .leg(4, 25, 0, 0, 0, 2)
          .leg(4, 18, 0, 0, 0, 2)
          .leg(30, 15, 0, 0, 3.0, 3)
          .leg(40, 15, 90, 0, 0, 5)
          .leg(30, 15, 90, 0, -3.0, 3)
          .leg(40, 15, 0, 0, 0, 5)
          .stand(60, 16)
          .points();
  for (std::size_t i = 1; i < surface.size(); ++i) {
    TrackPoint point = surface[i];
    point.reportsAltitude = false;
    point.reportsTrueAirspeed = false;
    points.push_back(point);
  }
  return points;
}

}  // namespace

std::vector<TrackPoint> windyArrivalTo(GeoPoint stand) {
  const std::vector<TrackPoint> trial = windyArrivalFrom(stand);
  return windyArrivalFrom(
      {2.0 * stand.latitude - trial.back().latitude, 2.0 * stand.longitude - trial.back().longitude});
}

}  // namespace crv::testing
