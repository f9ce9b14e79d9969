#pragma once

#include <cstdint>

#include "feed/traffic_records.h"

namespace crv {

// One timed point of a live aircraft's path.
struct PathPoint {
  double latitude = 0.0;           // degrees
  double longitude = 0.0;          // degrees
  double altitudeFeet = 0.0;
  double speedKnots = 0.0;
  double trackDegrees = 0.0;
  double verticalSpeedFpm = 0.0;
  double trueAirspeedKnots = 0.0;
  // The engine tick at which the point is due. Signed: a tick before the
  // current one means "due now".
  std::int64_t dueTick = 0;
  bool airborne = false;
  bool stationary = false;         // the same position as the previous point
  bool headingValid = false;
  double trueHeadingRadians = 0.0; // the reported true heading, when headingValid
  double bankRadians = 0.0;
  bool bankValid = false;
};

// The point of a record, due at the given tick.
PathPoint pathPointOf(const LiveTrafficRecord& record, std::int64_t dueTick);

// The signed tick that a record's stored due tick names, read relative to
// the current tick (the record keeps it modulo 2^32).
std::int64_t dueTickOf(std::uint32_t storedDueTick, std::int64_t currentTick);

}  // namespace crv
