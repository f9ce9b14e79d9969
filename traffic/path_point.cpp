#include "traffic/path_point.h"

namespace crv {

PathPoint pathPointOf(const LiveTrafficRecord& record, std::int64_t dueTick) {
  PathPoint point;
  point.latitude = record.latitude;
  point.longitude = record.longitude;
  point.altitudeFeet = record.altitudeFeet;
  point.speedKnots = record.speedKnots;
  point.trackDegrees = record.trackDegrees;
  point.verticalSpeedFpm = record.verticalSpeedFpm;
  point.trueAirspeedKnots = record.trueAirspeedKnots;
  point.dueTick = dueTick;
  point.airborne = record.airborne;
  point.stationary = record.stationary;
  point.headingValid = record.hasTrueHeading;
  point.trueHeadingRadians = record.trueHeadingRadians.value_or(0.0);
  point.bankValid = record.bankRadians.has_value();
  point.bankRadians = record.bankRadians.value_or(0.0);
  return point;
}

std::int64_t dueTickOf(std::uint32_t storedDueTick, std::int64_t currentTick) {
  const auto currentLow = static_cast<std::uint32_t>(currentTick);
  return currentTick + static_cast<std::int32_t>(storedDueTick - currentLow);
}

}  // namespace crv
