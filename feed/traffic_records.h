#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "aircraftdata/aircraft_base.h"
#include "aircraftdata/aircraft_identity.h"

namespace crv {

// The park elevation while no park airport is known.
inline constexpr double kNoParkElevationFeet = -1000.0;

// One live aircraft of a decoded traffic batch. The fields from latitude to
// the true heading form the position block that the engine copies into a
// path point unchanged.
struct LiveTrafficRecord {
  AircraftIdentity identity;
  double latitude = 0.0;          // degrees
  double longitude = 0.0;         // degrees
  double altitudeFeet = 0.0;      // corrected by the QNH, 0 on the ground
  double speedKnots = 0.0;        // ground speed
  double trackDegrees = 0.0;
  double verticalSpeedFpm = 0.0;
  double trueAirspeedKnots = 0.0;
  std::uint32_t dueTick = 0;      // set by the engine's intake, 10 ms ticks
  bool airborne = false;
  bool stationary = false;        // set by the engine
  bool hasTrueHeading = false;
  std::optional<double> bankRadians;         // airborne aircraft with a reported bank only
  std::optional<double> trueHeadingRadians;
  double timestamp = 0.0;         // seconds since 1970 UTC, as reported
  std::uint32_t key = 0;          // ICAO 24-bit address, always above 10000
};

// One parked aircraft of a parked-traffic answer.
struct ParkedTrafficRecord {
  AircraftIdentity identity;
  double latitude = 0.0;
  double longitude = 0.0;
  std::uint32_t key = 0;  // ICAO 24-bit address, always above 10000
  // The half hour of the UTC day of the reported time (0..47, -1 when the time
  // cannot be converted); after requestParkedTraffic the age in half hours.
  std::int32_t halfHour = -1;
  std::string parkingSpot;
};

}  // namespace crv
