#pragma once

// What a replayed surface movement is checked by, on the positions the
// simulator stand-in received: the speed it went on the ground, whether it
// moved tail first facing the recorded nose.

#include <cstddef>
#include <optional>
#include <string>
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

// When the aircraft first lay `meters` from where it stood at
// `restSeconds`; none while it never did.
std::optional<double> firstMovedSeconds(const std::vector<platform::TracePosition>& positions, double restSeconds,
                                        double meters);

// One leg between two moving ground records of a track: the speed their
// positions and times show, and the speed at which the aircraft went from
// the one to the other (from passing the first to passing the second).
struct LegSpeed {
  double fromSeconds = 0.0;  // the first record's second of the track
  double recordedKnots = 0.0;
  double replayedKnots = 0.0;
  double error() const { return replayedKnots / recordedKnots - 1.0; }
};
// The legs between moving ground records of the track that the aircraft
// passed within 3 m of, the records falling due about `dueOffsetSeconds`
// after their own second on the positions' clock. A leg runs on to the first
// such record 20 m on, as the engine's ground legs do (it leaves out closer
// records of a straight taxi). The run-up after a standstill is left out,
// from the first moving record on as long as the reported speed rises by
// more than a twentieth from record to record: the aircraft sets off at that
// record's speed and gathers speed as it sees fit, and the engine keeps too
// few of the records of a gathering taxi (those 20 m apart) to follow it.
std::vector<LegSpeed> legSpeeds(const std::vector<platform::TracePosition>& positions,
                                const std::vector<TrackPoint>& track, double dueOffsetSeconds);

// How far the legs' replayed speeds were off their records' (|error|), at
// the median and at most; printed with the name.
struct LegSpeedFigures {
  double medianError = 0.0;
  double largestError = 0.0;
};
LegSpeedFigures legSpeedFigures(const std::vector<LegSpeed>& legs, const std::string& name);

}  // namespace crv::testing
