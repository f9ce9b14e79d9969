#pragma once

// What a replayed surface movement is checked by, on the positions the
// simulator stand-in received: the speed it went on the ground, whether it
// moved tail first facing the recorded nose.

#include <cstddef>
#include <vector>

#include "platform/simconnect/sim_trace.h"
#include "tests/traffic/replay_lag.h"
#include "tests/traffic/track_builder.h"

namespace crv::testing {

// The fastest the aircraft went from `fromSeconds` to `untilSeconds`, over
// a second at a time as a pilot would judge a speed.
double fastestKnots(const std::vector<platform::TracePosition>& positions, double fromSeconds, double untilSeconds);

// How the aircraft moved while the records from `fromSeconds` to
// `untilSeconds` of the track fell due (`dueOffsetSeconds` after their own
// second, on the positions' clock): at each, its heading against the
// record's nose (the track of a ground record), and the way it went over
// the next second against its heading.
struct PushSeen {
  std::size_t records = 0;
  std::size_t facingRecorded = 0;  // heading within 20 degrees of the record's nose
  std::size_t tailFirst = 0;       // moving, tail first
  std::size_t noseFirst = 0;       // moving, nose first
};
PushSeen pushSeen(const std::vector<platform::TracePosition>& positions, const std::vector<TrackPoint>& track,
                  double fromSeconds, double untilSeconds, double dueOffsetSeconds);

// How the aircraft set off from where it stood at `restSeconds`, against
// `recordedStartSeconds`, when the recorded aircraft began to move (both on
// the positions' clock).
struct SetOffSeen {
  double movedBeforeMeters = 0.0;   // the farthest until a second before the recorded start
  double movedAtStartMeters = 0.0;  // at the recorded start
  double startErrorSeconds = 0.0;   // when it first moved half a metre, against the recorded start
};
SetOffSeen setOffSeen(const std::vector<platform::TracePosition>& positions, double restSeconds,
                      double recordedStartSeconds);

}  // namespace crv::testing
