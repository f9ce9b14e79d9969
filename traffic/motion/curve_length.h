#pragma once

// The length along a ground curve: where its quadratic Bezier parameter
// lies along it, so that an aircraft rounds the curve at an even speed
// instead of crowding where the curve is drawn to its nearer point.

#include "traffic/live_ac.h"

namespace crv::motion {

// The curve's point at Bezier parameter t, in metres north and east of its
// origin.
struct CurveOffset {
  double northMeters = 0.0;
  double eastMeters = 0.0;
};
CurveOffset curveOffset(const CurveState& curve, double t);

// Fills the curve's lengths at the even steps of its parameter.
void measureCurve(CurveState& curve);

// The length along the curve up to Bezier parameter t (0..1).
double lengthAtParameter(const CurveState& curve, double t);
// The Bezier parameter at a length along the curve.
double parameterAtLength(const CurveState& curve, double meters);

}  // namespace crv::motion
