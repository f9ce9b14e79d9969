#include "tests/traffic/replay_frame_checks.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/geodesy.h"

namespace crv::testing {

std::vector<FrameMotion> frameMotions(const std::vector<platform::TracePosition>& positions) {
  std::vector<FrameMotion> frames;
  for (std::size_t i = 1; i < positions.size(); ++i) {
    const platform::TracePosition& before = positions[i - 1];
    const platform::TracePosition& after = positions[i];
    const double seconds = after.seconds - before.seconds;
    if (seconds <= 0.0) {
      continue;
    }
    const double nm = gf_distanceNm({before.latitudeDegrees, before.longitudeDegrees},
                                    {after.latitudeDegrees, after.longitudeDegrees});
    const double turnDegrees =
        std::fabs(std::remainder(after.headingRadians - before.headingRadians, kFullCircle)) * kRadiansToDegrees;
    frames.push_back({after.seconds, nm * 3600.0 / seconds, turnDegrees / seconds});
  }
  return frames;
}

FrameFigures frameFigures(const std::vector<FrameMotion>& frames, double fromSeconds, double untilSeconds) {
  FrameFigures figures;
  figures.slowestKnots = std::numeric_limits<double>::infinity();
  const FrameMotion* before = nullptr;
  for (const FrameMotion& frame : frames) {
    if (frame.seconds < fromSeconds || frame.seconds > untilSeconds) {
      before = nullptr;
      continue;
    }
    figures.slowestKnots = std::min(figures.slowestKnots, frame.knots);
    figures.fastestKnots = std::max(figures.fastestKnots, frame.knots);
    figures.fastestTurnDegreesPerSecond = std::max(figures.fastestTurnDegreesPerSecond, frame.turnDegreesPerSecond);
    if (before != nullptr) {
      const double changeKnots = std::fabs(frame.knots - before->knots);
      figures.largestSpeedChangeKnots = std::max(figures.largestSpeedChangeKnots, changeKnots);
    }
    before = &frame;
  }
  if (std::isinf(figures.slowestKnots)) {
    figures.slowestKnots = 0.0;
  }
  return figures;
}

}  // namespace crv::testing
