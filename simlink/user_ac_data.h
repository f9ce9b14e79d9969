#pragma once

#include <cstdint>

namespace crv {

// The user aircraft as the link last heard of it (data definition 403).
struct UserAcData {
  double latitude = 0.0;           // degrees; within 0.0001 of 0 while unknown
  double longitude = 0.0;          // degrees
  double pitchRadians = 0.0;
  double bankRadians = 0.0;
  double headingRadians = 0.0;
  double altitudeFeet = 0.0;
  double altitudeAboveGroundFeet = 0.0;
  double groundSpeedKnots = 0.0;
  std::int64_t zuluTimeSeconds = 0;
  std::int64_t zuluDayOfYear = 0;
  std::int64_t zuluYear = 0;
  std::int64_t lightStates = 0;
};

}  // namespace crv
