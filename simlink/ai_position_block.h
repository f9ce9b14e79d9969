#pragma once

#include <cstdint>

namespace crv {

// The position the simulator takes for an AI aircraft: the 64 bytes written
// with data definition 402 once per frame.
struct AiPositionBlock {
  double latitude = 0.0;            // degrees
  double longitude = 0.0;           // degrees
  double pitchRadians = 0.0;
  double bankRadians = 0.0;
  double headingRadians = 0.0;      // true
  double altitudeFeet = 0.0;
  double verticalSpeedFps = 0.0;    // feet per second
  double trueAirspeedKnots = 0.0;
};
static_assert(sizeof(AiPositionBlock) == 64);

}  // namespace crv
