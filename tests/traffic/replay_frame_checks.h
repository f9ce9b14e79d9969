#pragma once

// What a pilot sees of a replayed aircraft from one frame of the simulator
// to the next: how fast it moves and how fast its nose swings.

#include <vector>

#include "platform/simconnect/sim_trace.h"

namespace crv::testing {

// The motion between one position the stand-in received and the one before.
struct FrameMotion {
  double seconds = 0.0;  // of the later position
  double knots = 0.0;
  double turnDegreesPerSecond = 0.0;
};
std::vector<FrameMotion> frameMotions(const std::vector<platform::TracePosition>& positions);

// The largest of each from `fromSeconds` to `untilSeconds`, and the slowest
// frame (0 when there is none).
struct FrameFigures {
  double slowestKnots = 0.0;
  double fastestKnots = 0.0;
  double fastestTurnDegreesPerSecond = 0.0;
  double largestSpeedChangeKnots = 0.0;  // between two frames in a row
};
FrameFigures frameFigures(const std::vector<FrameMotion>& frames, double fromSeconds, double untilSeconds);

}  // namespace crv::testing
