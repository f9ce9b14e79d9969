#pragma once

// Ground movements as a pilot parked beside them would judge them, recorded
// as real feeds give them: records 0.4 to 10 s apart, surface records
// without a true heading or an altitude, and times that a receiver stamped
// a second or more off the moment its position was taken, so that the
// speeds their positions show over one leg are far off.

#include <vector>

#include "foundation/geodesy.h"
#include "tests/traffic/track_builder.h"

namespace crv::testing {

// The records of a track (one point a second) taken at `takenSeconds` and
// stamped at `stampedSeconds` (one each, in the same order), as a receiver
// reports them: ground records carry no true heading and no altitude, and
// report `reportedShare` of their speed.
std::vector<TrackPoint> recordsTakenAt(const std::vector<TrackPoint>& track, const std::vector<double>& takenSeconds,
                                       const std::vector<double>& stampedSeconds, double reportedShare = 1.0);

// A taxi to the east turns 60 degrees left at this second of its track.
inline constexpr double kTaxiCornerSeconds = 40.0;
// The records that lie on either side of the corner: one 2.4 s before it,
// the corner's own, and one 6 s after it, so that its two legs are 2.4 and
// 6 s long.
inline constexpr double kBeforeCornerSeconds = 2.4;
inline constexpr double kAfterCornerSeconds = 6.0;

// The taxi from `start` at `knots`, recorded every 1.6 to 3.4 s, whose
// corner record (reporting the track half way round) is stamped
// `cornerStampLateSeconds` after it was taken:
// its first leg falls due later and its second sooner than the aircraft
// drove them. Records report `reportedShare` of the speed.
std::vector<TrackPoint> taxiCornerFrom(GeoPoint start, double knots, double cornerStampLateSeconds,
                                       double reportedShare);

// An arrival's last airborne record comes this long into its track; the
// runway runs north.
inline constexpr double kRunwayArrivalTouchdownSeconds = 60.0;

// An approach to `threshold` at 140 kt, a roll-out north slowing from 130 kt
// by 4 kt a second, a high-speed exit 30 degrees to the right at 35 kt and
// the taxi on, slowing to 20 kt, to a stop. Surface records come 0.4 to
// 3.6 s apart and report 0.89 of the speed: the exit's first record 31 kt.
inline constexpr double kFastExitKnots = 35.0;
inline constexpr double kFastExitReportedShare = 0.89;
std::vector<TrackPoint> fastExitFrom(GeoPoint threshold);

// An approach to `threshold` at 140 kt, a roll-out north slowing from 130 kt
// by 4 kt a second to `exitKnots`, a rapid exit 30 degrees to the right
// taken at that speed and held for 8 s, then slowing by 4 kt a second to a
// taxi at 20 kt and a stop. Its surface records come every 2 s and report
// the speed truly.
std::vector<TrackPoint> rapidExitFrom(GeoPoint threshold, double exitKnots);

// A taxi east at 14 kt from `start` that turns 40 degrees left at this
// second of its track, recorded 1.5 s before the bend, at it (reporting the
// track half way round) and 2.6 s after it.
inline constexpr double kBendSeconds = 40.0;
inline constexpr double kAfterBendSeconds = 2.6;
inline constexpr double kAfterBendTrackDegrees = 50.0;
std::vector<TrackPoint> shortLegBendFrom(GeoPoint start);

// An approach to `threshold` at 140 kt and a roll-out north slowing steadily
// from 130 kt by 3 kt a second to 20 kt, a turn off the runway to the east
// and a stop. Its surface records were taken 1.4 and 3 s apart in turn but
// are stamped every 2.2 s.
std::vector<TrackPoint> unevenRollFrom(GeoPoint threshold);
// The roll's records report no more than this once it is over.
inline constexpr double kUnevenRollEndKnots = 30.0;

// An approach to `threshold` at 140 kt and a roll-out north that slows
// from 130 kt to a stop on the runway; the aircraft stands there for 45 s,
// turns round in 15 s and taxis back south along the runway to a stop, as
// where the runway has no parallel taxiway. Its standing records report
// 0 kt, scatter by up to 3 m around the stop and come 2 to 15 s apart; its
// moving surface records come 0.4 to 3.6 s apart and report 0.9 of the
// speed.
struct RunwayBacktrack {
  std::vector<TrackPoint> records;
  GeoPoint stop;             // where the roll-out ended
  double stopSeconds = 0.0;  // of the track
  double turnSeconds = 0.0;  // when it set off to turn round
};
RunwayBacktrack runwayBacktrackFrom(GeoPoint threshold);

}  // namespace crv::testing
