#pragma once

// Surface movements as real feeds report them: records at irregular times
// with gaps, surface speeds that understate the movement, a track that is
// the nose on the ground, and a take-off roll reported every 15 s.

#include <vector>

#include "foundation/geodesy.h"
#include "tests/traffic/track_builder.h"

namespace crv::testing {

// The track as a receiver samples it: reports at the second of the track's
// start and then after each of `intervalsSeconds` in turn (repeated until the
// track ends), each interpolated between the track's points.
std::vector<TrackPoint> sampledAt(const std::vector<TrackPoint>& track, const std::vector<double>& intervalsSeconds);

// The intervals of a real surface feed: pairs 0.4 s apart, 2 to 12 s
// between reports and gaps of 20 s.
const std::vector<double>& irregularSurfaceIntervals();

// Five minutes of taxi from `start` at 9 to 12 kt round four corners to a
// stop, each record reporting `reportedShare` of the speed its positions
// show.
std::vector<TrackPoint> understatedTaxiFrom(GeoPoint start, double reportedShare);

// Two minutes standing at `start`, heard at a real surface feed's intervals,
// then three minutes of taxi at 10 to 16 kt round two corners, gathering
// and losing speed a knot a second, and a stop, recorded 1.3 to 3.1 s apart
// with one gap of 9 s; each record reports 0.85 of the speed its positions
// show.
std::vector<TrackPoint> loneTaxiFrom(GeoPoint start);

// The records of a track as the service serves an aircraft alone in its
// answers, asked every `pollSeconds` from `firstPollSeconds` on: each answer
// holds the latest record heard, which reaches the engine with the answer;
// a record superseded between two answers is never served.
std::vector<TrackPoint> servedOnePerAnswer(const std::vector<TrackPoint>& track, double pollSeconds,
                                           double firstPollSeconds);

// The recorded push back begins this long into the push-back track.
inline constexpr double kNosePushStartSeconds = 60.0;
// It moves tail first for this long.
inline constexpr double kNosePushSeconds = 60.0;
// The nose when the push begins and when it ends.
inline constexpr double kNosePushFirstNoseDegrees = 17.0;
inline constexpr double kNosePushLastNoseDegrees = 323.0;

// An aircraft facing 17 degrees stands at `stand` for a minute, is pushed
// back towards 190 degrees for a minute while its nose turns to 323 degrees,
// stands 20 s, taxis away nose first for two minutes and stops. Its records
// carry no true heading and their track is the nose. Without the first minute (`fromStand` false)
// the aircraft is first seen while it is already being pushed back.
std::vector<TrackPoint> nosePushbackFrom(GeoPoint stand, bool fromStand);
// The nose the push-back track shows at one of its seconds.
double nosePushNoseDegrees(double seconds);

// The moving records of the understated push back report this share of the
// speed their positions show.
inline constexpr double kUnderstatedPushShare = 0.6;

// The push back and taxi of nosePushbackFrom from the stand, as a real feed
// reports them: the records at rest, at irregular times until a second
// before the push, scatter by up to 2 m about the stand and report
// `restKnots` (some surface reports give a standing aircraft a few knots);
// the records from 1.4 s into the push on report 0.6 of the speed their
// positions show.
std::vector<TrackPoint> understatedPushbackFrom(GeoPoint stand, double restKnots = 0.0);

// One way a feed may report a parked aircraft and its push back (that of
// nosePushbackFrom): the records at rest scatter by up to 2 m about the
// stand and report `restKnots`, one every `restEverySeconds`; the push's
// records come every `pushEverySeconds` from `firstPushAfterSeconds` after
// the last at rest and report `pushShare` of the speed their positions
// show. The aircraft is first heard `heardBeforeSeconds` before its push,
// which begins halfway between the last record at rest and the first that
// moved.
struct StandSetOffRecords {
  double restKnots = 0.0;
  double restEverySeconds = 10.0;
  double firstPushAfterSeconds = 2.0;
  double pushEverySeconds = 2.0;
  double pushShare = 1.0;
  double heardBeforeSeconds = 60.0;

  // Of the track's clock: its first record is heard at second 0.
  double startSeconds() const { return heardBeforeSeconds; }
  double lastRestSeconds() const { return heardBeforeSeconds - firstPushAfterSeconds / 2.0; }
};
std::vector<TrackPoint> standSetOffFrom(GeoPoint stand, const StandSetOffRecords& records);

// The take-off roll begins this long into the sparse departure's track.
inline constexpr double kSparseRollStartSeconds = 120.0;

// A taxi of a minute east to the holding point at `start` plus 300 m, a
// minute standing there, then the take-off roll to the east at 6 kt a second
// and the climb-out, all recorded every 15 s from the holding point on: the
// first record of the roll reports 90 kt after one at 0 kt.
std::vector<TrackPoint> sparseTakeOffFrom(GeoPoint start);

}  // namespace crv::testing
