#pragma once

// The recorded flights that the replay checks fly: a departure from its
// stand to the climb-out and an arrival from the approach to its stand.

#include <vector>

#include "foundation/geodesy.h"
#include "tests/traffic/track_builder.h"

namespace crv::testing {

// The arrival's last airborne report comes this long into its track.
inline constexpr double kTouchdownSeconds = 210.0;

// An approach from 8 nm south at 140 kt, touching down after 210 s, the
// roll-out, a right turn off the runway, a left one and the taxi north to
// `start` offset by the way it went, where it stops.
std::vector<TrackPoint> arrivalFrom(GeoPoint start);
// The same arrival, started where it ends on the stand.
std::vector<TrackPoint> arrivalTo(GeoPoint stand);

// The recorded push back begins this long into the departure's track.
inline constexpr double kPushbackStartSeconds = 160.0;

// The departure stands at `stand` (nose north), pushes back with its tail
// turning to the east (a negative rate) or the west, starts its engines,
// taxis away from the side the tail went and south round two corners, lines
// up to the east and takes off.
std::vector<TrackPoint> departureFrom(GeoPoint stand, double tailTurnDegreesPerSecond);

}  // namespace crv::testing
