#include "platform/simconnect/sim_ground.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kMetersPerDegree = 111132.95;

// Flat-earth distance; the areas are an airport's size.
double distanceMeters(const GroundArea& area, double latitudeDegrees, double longitudeDegrees) {
  const double north = (latitudeDegrees - area.latitudeDegrees) * kMetersPerDegree;
  double eastDegrees = longitudeDegrees - area.longitudeDegrees;
  if (eastDegrees > 180.0) eastDegrees -= 360.0;
  if (eastDegrees < -180.0) eastDegrees += 360.0;
  const double east = eastDegrees * kMetersPerDegree * std::cos(area.latitudeDegrees * kRadiansPerDegree);
  return std::hypot(north, east);
}

}  // namespace

double groundElevationFeet(const std::vector<GroundArea>& airports, double fieldElevationFeet,
                           double latitudeDegrees, double longitudeDegrees) {
  for (const GroundArea& area : airports) {
    if (distanceMeters(area, latitudeDegrees, longitudeDegrees) <= area.radiusMeters) return area.elevationFeet;
  }
  return fieldElevationFeet;
}

void feelGround(SimObjectState& state, double groundElevationFeet) {
  state.groundAltitudeFeet = groundElevationFeet;
  state.altitudeAboveGroundFeet = std::max(0.0, state.altitudeFeet - groundElevationFeet);
  state.onGround =
      state.altitudeFeet <= groundElevationFeet + state.staticCgToGroundFeet + kGroundContactToleranceFeet;
}

}  // namespace platform
