#include "traffic/motion/curve_length.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace crv::motion {

CurveOffset curveOffset(const CurveState& curve, double t) {
  return {2.0 * (1.0 - t) * t * curve.controlNorthMeters + t * t * curve.endNorthMeters,
          2.0 * (1.0 - t) * t * curve.controlEastMeters + t * t * curve.endEastMeters};
}

void measureCurve(CurveState& curve) {
  // Straight between the steps: for a curve of up to 160 degrees the chords
  // fall short of its length by less than a thousandth.
  CurveOffset last;
  curve.arcMeters[0] = 0.0;
  for (std::size_t i = 1; i <= CurveState::kArcSteps; ++i) {
    const CurveOffset point = curveOffset(curve, static_cast<double>(i) / CurveState::kArcSteps);
    const double step = std::hypot(point.northMeters - last.northMeters, point.eastMeters - last.eastMeters);
    curve.arcMeters[i] = curve.arcMeters[i - 1] + (std::isfinite(step) ? step : 0.0);
    last = point;
  }
}

double lengthAtParameter(const CurveState& curve, double t) {
  const double steps = (t > 0.0 ? std::min(t, 1.0) : 0.0) * CurveState::kArcSteps;
  const auto below = std::min(static_cast<std::size_t>(steps), CurveState::kArcSteps - 1);
  const double within = steps - static_cast<double>(below);
  return curve.arcMeters[below] + within * (curve.arcMeters[below + 1] - curve.arcMeters[below]);
}

double parameterAtLength(const CurveState& curve, double meters) {
  const auto& lengths = curve.arcMeters;
  const auto above = std::upper_bound(lengths.begin() + 1, lengths.end() - 1, meters);
  const auto below = above - 1;
  const double span = *above - *below;
  const double within = span > 0.0 ? std::clamp((meters - *below) / span, 0.0, 1.0) : 0.0;
  return (static_cast<double>(below - lengths.begin()) + within) / CurveState::kArcSteps;
}

}  // namespace crv::motion
