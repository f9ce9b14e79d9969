#pragma once

// An arrival as a real feed gives it: a gusty 40 kt wind from the north, so that
// the ground speeds lie far from the airspeeds (and from the table's true
// airspeed the feed falls back on); records 0.4 to 21 s apart with one 60-s
// silence on the descent; a 330-degree turn; surface records without an
// altitude.

#include <vector>

#include "foundation/geodesy.h"
#include "tests/traffic/track_builder.h"

namespace crv::testing {

// The aircraft meets the runway this long into the track; the roll-out's
// records follow every one to three seconds down to taxi speed.
inline constexpr double kWindyTouchdownSeconds = 390.0;
// The roll-out lasts this long after the touchdown.
inline constexpr double kWindyRollOutSeconds = 32.0;
// How long the receivers hear nothing on the descent, 200 s into the track.
inline constexpr double kWindySilenceSeconds = 60.0;

// Ends on `stand`, facing north, after the roll-out to the north, a right
// turn off the runway, a left one and the taxi north.
std::vector<TrackPoint> windyArrivalTo(GeoPoint stand);

}  // namespace crv::testing
