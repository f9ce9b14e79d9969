#include "tests/traffic/track_builder.h"

#include <algorithm>
#include <cmath>

#include "foundation/geodesy.h"

namespace crv::testing {

TrackBuilder::TrackBuilder(double latitude, double longitude, double altitudeFeet, double startSeconds)
    : seconds_(startSeconds), latitude_(latitude), longitude_(longitude), altitudeFeet_(altitudeFeet) {}

void TrackBuilder::report() {
  points_.push_back({seconds_, latitude_, longitude_, altitudeFeet_, speedKnots_, courseDegrees_, verticalSpeedFpm_});
}

TrackBuilder& TrackBuilder::leg(double seconds, double speedKnots, double trackDegrees, double verticalSpeedFpm,
                                double turnDegreesPerSecond, double everySeconds) {
  speedKnots_ = speedKnots;
  verticalSpeedFpm_ = verticalSpeedFpm;
  courseDegrees_ = trackDegrees;
  if (points_.empty()) {
    report();
  }
  double sinceReport = 0.0;
  for (double t = 0.0; t < seconds; t += 1.0) {
    const GeoPoint next = gf_destination({latitude_, longitude_}, courseDegrees_ * kDegreesToRadians,
                                         speedKnots / 3600.0 * kFeetPerNm);
    latitude_ = next.latitude;
    longitude_ = next.longitude;
    altitudeFeet_ = std::max(altitudeFeet_ + verticalSpeedFpm / 60.0, 0.0);
    courseDegrees_ = std::fmod(courseDegrees_ + turnDegreesPerSecond + 360.0, 360.0);
    seconds_ += 1.0;
    sinceReport += 1.0;
    if (sinceReport >= everySeconds) {
      sinceReport = 0.0;
      report();
    }
  }
  return *this;
}

TrackBuilder& TrackBuilder::pushBack(double seconds, double speedKnots, double trackDegrees,
                                     double turnDegreesPerSecond, double everySeconds) {
  const std::size_t first = points_.size();
  leg(seconds, speedKnots, trackDegrees, 0.0, turnDegreesPerSecond, everySeconds);
  for (std::size_t i = first; i < points_.size(); ++i) {
    points_[i].reportsHeading = false;
  }
  return *this;
}

TrackBuilder& TrackBuilder::stand(double seconds, double everySeconds) {
  speedKnots_ = 0.0;
  verticalSpeedFpm_ = 0.0;
  for (double t = everySeconds; t <= seconds; t += everySeconds) {
    seconds_ += everySeconds;
    report();
  }
  return *this;
}

TrackBuilder& TrackBuilder::gap(double seconds, double speedKnots, double trackDegrees) {
  const GeoPoint next = gf_destination({latitude_, longitude_}, trackDegrees * kDegreesToRadians,
                                       speedKnots * seconds / 3600.0 * kFeetPerNm);
  latitude_ = next.latitude;
  longitude_ = next.longitude;
  courseDegrees_ = trackDegrees;
  speedKnots_ = speedKnots;
  seconds_ += seconds;
  report();
  return *this;
}

}  // namespace crv::testing
