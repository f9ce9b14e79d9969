#include "tests/traffic/replay_flights.h"

namespace crv::testing {

std::vector<TrackPoint> arrivalFrom(GeoPoint start) {
  return TrackBuilder(start.latitude, start.longitude, 2450.0)
      .leg(kTouchdownSeconds, 140, 0, -700)
      .leg(12, 120, 0, 0, 0, 3)
      .leg(12, 80, 0, 0, 0, 3)
      .leg(12, 40, 0, 0, 0, 3)
      .leg(30, 15, 0, 0, 3.0, 3)
      .leg(40, 15, 90)
      .leg(30, 15, 90, 0, -3.0, 3)
      .leg(40, 15, 0)
      .stand(60, 16)
      .points();
}

std::vector<TrackPoint> arrivalTo(GeoPoint stand) {
  const std::vector<TrackPoint> trial = arrivalFrom(stand);
  return arrivalFrom({2.0 * stand.latitude - trial.back().latitude, 2.0 * stand.longitude - trial.back().longitude});
}

std::vector<TrackPoint> departureFrom(GeoPoint stand, double tailTurnDegreesPerSecond) {
  const double taxiCourse = tailTurnDegreesPerSecond < 0.0 ? 270.0 : 90.0;
  const double turnToSouth = taxiCourse == 270.0 ? -3.0 : 3.0;
  return TrackBuilder(stand.latitude, stand.longitude, 0.0)
      .stand(kPushbackStartSeconds, 16)
      .pushBack(12, 3, 180, 0.0, 2)
      .pushBack(30, 3, 180, tailTurnDegreesPerSecond, 2)
      .stand(20, 5)
      .leg(30, 10, taxiCourse, 0, 0, 3)
      .leg(30, 10, taxiCourse, 0, turnToSouth, 3)
      .leg(60, 15, 180, 0, 0, 4)
      .leg(30, 12, 180, 0, -3.0, 3)
      .leg(8, 40, 90, 0, 0, 2)
      .leg(8, 80, 90, 0, 0, 2)
      .leg(8, 120, 90, 0, 0, 2)
      .leg(8, 150, 90, 0, 0, 2)
      .leg(60, 160, 90, 2000)
      .points();
}

}  // namespace crv::testing
