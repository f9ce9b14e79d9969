#pragma once

namespace crv {

struct GeoPoint {
  double latitude = 0.0;   // degrees, north positive
  double longitude = 0.0;  // degrees, east positive
};

inline constexpr double kDegreesToRadians = 0.017453292519943295;
inline constexpr double kRadiansToDegrees = 57.29577951308232;
// A sphere on which one minute of arc is one nautical mile.
inline constexpr double kTwoEarthRadiiNm = 6875.493541569878;
inline constexpr double kInverseEarthRadiusFeet = 4.787404208238998e-8;
inline constexpr double kFullCircle = 6.283185307179586;
inline constexpr double kMetersPerNm = 1852.0;
inline constexpr double kFeetPerNm = 6076.11549;

// Great-circle distance in nautical miles.
double gf_distanceNm(const GeoPoint& a, const GeoPoint& b);

// Initial great-circle course in radians, 0 (north) to below 2 pi, clockwise.
double gf_bearing(const GeoPoint& from, const GeoPoint& to);

// The point reached on a course (radians) after a distance in feet.
GeoPoint gf_destination(const GeoPoint& from, double courseRadians, double distanceFeet);

}  // namespace crv
