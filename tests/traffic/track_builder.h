#pragma once

// Synthetic tracks of the feed: timed reports along legs flown at a constant
// speed, course and vertical speed.

#include <vector>

namespace crv::testing {

// One report of the feed.
struct TrackPoint {
  double seconds = 0.0;
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  double speedKnots = 0.0;
  double trackDegrees = 0.0;
  double verticalSpeedFpm = 0.0;  // airborne when above 0 ft
  // When the report reaches the engine, when not at its own time.
  double handedOverSeconds = -1.0;
  // The report's true heading is its track; without one it has none, as
  // many transponders on the ground.
  bool reportsHeading = true;
  // Many receivers give no altitude on the surface, and no true airspeed.
  bool reportsAltitude = true;
  bool reportsTrueAirspeed = true;
};

// Builds a track from legs flown at a constant speed, course and vertical
// speed, one report every `everySeconds`.
class TrackBuilder {
 public:
  TrackBuilder(double latitude, double longitude, double altitudeFeet, double startSeconds = 0.0);
  // Flies or drives for the time; the altitude changes by the vertical speed,
  // never below 0 (on the ground). A turn rate turns the course each second.
  TrackBuilder& leg(double seconds, double speedKnots, double trackDegrees, double verticalSpeedFpm = 0.0,
                    double turnDegreesPerSecond = 0.0, double everySeconds = 4.0);
  // Moves tail first along the track (the tail's course), reporting no true
  // heading, as a pushback is seen.
  TrackBuilder& pushBack(double seconds, double speedKnots, double trackDegrees, double turnDegreesPerSecond = 0.0,
                         double everySeconds = 4.0);
  // Stands still, reporting every `everySeconds`.
  TrackBuilder& stand(double seconds, double everySeconds = 10.0);
  // No reports for the time; the aircraft moves on meanwhile as in the leg.
  TrackBuilder& gap(double seconds, double speedKnots, double trackDegrees);
  std::vector<TrackPoint> points() const { return points_; }

 private:
  void report();
  std::vector<TrackPoint> points_;
  double seconds_;
  double latitude_;
  double longitude_;
  double altitudeFeet_;
  double speedKnots_ = 0.0;
  double courseDegrees_ = 0.0;
  double verticalSpeedFpm_ = 0.0;
};

}  // namespace crv::testing
