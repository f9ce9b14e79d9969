#include "foundation/geodesy.h"

#include <algorithm>
#include <cmath>

namespace crv {

double gf_distanceNm(const GeoPoint& a, const GeoPoint& b) {
  const double pa = a.latitude * kDegreesToRadians;
  const double pb = b.latitude * kDegreesToRadians;
  const double s1 = std::sin((pb - pa) * 0.5);
  const double s2 = std::sin((b.longitude * kDegreesToRadians - a.longitude * kDegreesToRadians) * 0.5);
  // Rounding can push the haversine term just outside [0, 1] for nearly
  // antipodal points; the square roots would then give NaN.
  const double h = std::clamp(std::cos(pb) * std::cos(pa) * s2 * s2 + s1 * s1, 0.0, 1.0);
  return std::atan2(std::sqrt(h), std::sqrt(1.0 - h)) * kTwoEarthRadiiNm;
}

double gf_bearing(const GeoPoint& from, const GeoPoint& to) {
  const double p2 = to.latitude * kDegreesToRadians;
  const double dl = (to.longitude - from.longitude) * kDegreesToRadians;
  const double p1 = from.latitude * kDegreesToRadians;
  const double y = std::sin(dl) * std::cos(p2);
  const double x = std::sin(p2) * std::cos(p1) - std::sin(p1) * std::cos(p2) * std::cos(dl);
  double bearing = std::atan2(y, x);
  if (bearing < 0.0) {
    bearing += kFullCircle;
  }
  // A tiny angle west of north rounds up to a full circle, and north along
  // a negative zero comes out as -0.0: both are north.
  if (bearing >= kFullCircle || bearing == 0.0) {
    return 0.0;
  }
  return bearing;
}

GeoPoint gf_destination(const GeoPoint& from, double courseRadians, double distanceFeet) {
  const double p1 = from.latitude * kDegreesToRadians;
  const double delta = distanceFeet * kInverseEarthRadiusFeet;
  const double sinP2 = std::cos(courseRadians) * (std::sin(delta) * std::cos(p1)) + std::cos(delta) * std::sin(p1);
  const double p2 = std::asin(std::clamp(sinP2, -1.0, 1.0));
  const double l = std::atan2(std::sin(courseRadians) * std::sin(delta) * std::cos(p1),
                              std::cos(delta) - std::sin(p2) * std::sin(p1));
  const double l2 = std::remainder(l + from.longitude * kDegreesToRadians, kFullCircle);
  return {p2 * kRadiansToDegrees, l2 * kRadiansToDegrees};
}

}  // namespace crv
