// Surface movements of real feeds replayed through the feed's decoder, the
// engine, the simulator link and the simulator stand-in: surface speeds that
// understate the movement, a track that is the nose, a take-off roll
// reported every 15 s. The pictures in replay_pictures/ are drawn from them
// by tools/trace-plot:
//   CRVN_REPLAY_PICTURES=DIR test_traffic --gtest_filter='ReplaySurface.*'
//   trace-plot DIR/understated-taxi.csv understated-taxi.png --stands DIR/understated-taxi-stands.csv

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "foundation/geodesy.h"
#include "foundation/settings.h"
#include "tests/traffic/replay_scenario.h"
#include "tests/traffic/replay_surface_checks.h"
#include "tests/traffic/replay_surface_flights.h"
#include "traffic/motion/live_motion.h"
#include "traffic/motion/motion_support.h"

namespace crv::testing {
namespace {

using motion::degreesOf;
using motion::kPi;
using motion::normalizedAngle;

constexpr double kMetersPerFoot = 0.3048;

// Far from the stands: nothing parks there.
const GeoPoint kTaxiway = offsetMeters(kApronOrigin, -700.0, -300.0);

// Median |lag| at most 1 s, the 95th percentile at most 3 s and, a minute
// after the first record fell due, no lag above 2 s.
void expectOnTime(const ReplayScenario& replay, std::uint32_t key, const std::string& name) {
  const std::vector<RecordLag> lags = replay.lags(key);
  const LagFigures figures = lagFigures(lags);
  const double largestLater = lags.empty() ? 0.0 : largestAbsLagFrom(lags, lags.front().dueSeconds + 60.0);
  std::printf("%s: %zu moving records, median |lag| %.2f s, 95th percentile %.2f s, largest %.2f s, "
              "largest after the first minute %.2f s\n",
              name.c_str(), figures.records, figures.medianAbsSeconds, figures.p95AbsSeconds,
              figures.largestAbsSeconds, largestLater);
  ASSERT_GE(figures.records, 10U) << name;
  EXPECT_LE(figures.medianAbsSeconds, 1.0) << name;
  EXPECT_LE(figures.p95AbsSeconds, 3.0) << name;
  EXPECT_LE(largestLater, 2.0) << name;
  if (const char* folder = std::getenv("CRVN_REPLAY_PICTURES")) {
    const std::filesystem::path pictures(folder);
    replay.writePicture(key, pictures / (name + ".csv"), pictures / (name + "-stands.csv"));
  }
}

double fastestGroundKnots(const ReplayScenario& replay, std::uint32_t key, double fromSeconds, double untilSeconds) {
  return fastestKnots(replay.tracedPositions(key), fromSeconds, untilSeconds);
}

// A taxi whose records report 0.55 of the speed their positions show keeps
// to their times, never above the taxi maximum.
TEST(ReplaySurface, ATaxiWhoseRecordsUnderstateItsSpeedKeepsToTheirTimes) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const std::vector<TrackPoint> taxi = understatedTaxiFrom(kTaxiway, 0.55);
  replay.replayWhole(0x3c6752, "DLH4TX", "A320", taxi, 5.0);
  expectOnTime(replay, 0x3c6752, "understated-taxi");
  EXPECT_LE(fastestGroundKnots(replay, 0x3c6752, 0.0, replay.secondsNow()), kTaxiMaximumKnots);
}

// A push back whose records carry no true heading and whose track is the
// nose, 17 degrees turning to 323 while the aircraft moves towards 190, first
// seen while it is already being pushed: the aircraft moves tail first
// facing the recorded nose.
TEST(ReplaySurface, APushbackFirstSeenBeingPushedWhoseTrackIsTheNoseMovesTailFirstFacingIt) {
  StandTable stands = standGrid(1, 4, 80.0, 20.0);
  for (ParkingPosition& stand : stands) {
    stand.heading = kNosePushFirstNoseDegrees * kDegreesToRadians;
  }
  ReplayScenario replay(stands);
  const std::vector<TrackPoint> track = nosePushbackFrom(kTaxiway, false);
  replay.replayWhole(0x4ca8e1, "EIN711", "A320", track, 5.0);
  // From the push's 20th second, when the nose has begun to turn.
  const PushSeen seen = pushSeen(replay.tracedPositions(0x4ca8e1), track, kNosePushStartSeconds + 20.0,
                                 kNosePushStartSeconds + kNosePushSeconds, kLiveDelaySeconds);
  ASSERT_GE(seen.records, 5U);
  EXPECT_GE(seen.facingRecorded, seen.records - 1);
  EXPECT_EQ(seen.noseFirst, 0U);
  EXPECT_GE(seen.tailFirst, seen.records / 2);
  expectOnTime(replay, 0x4ca8e1, "nose-pushback-created");
  EXPECT_LE(fastestGroundKnots(replay, 0x4ca8e1, 0.0, replay.secondsNow()), kTaxiMaximumKnots);
}

// What a replay showed of an aircraft's own push back, watched every 50 ms.
struct OwnPushSeen {
  std::vector<FlightPhase> phases;  // in order, each once per change
  GeoPoint stand{};
  double standHeadingRadians = 0.0;
  double halfSpanNm = 0.0;
  bool enginesRanPushing = false;
  std::optional<GeoPoint> pushedBackAt;
  double pushedBackHeadingRadians = 0.0;
  bool enginesRanPushedBack = false;
};

OwnPushSeen watchOwnPush(ReplayScenario& replay, std::uint32_t key, double untilSeconds) {
  OwnPushSeen seen;
  while (replay.secondsNow() < untilSeconds) {
    replay.runUntilSecond(replay.secondsNow() + 0.05);
    const LiveAc* aircraft = replay.scenario.engine.findLiveByKey(key);
    if (aircraft == nullptr || aircraft->state != SimState::active) {
      continue;
    }
    if (seen.phases.empty() || seen.phases.back() != aircraft->phase) {
      seen.phases.push_back(aircraft->phase);
    }
    const std::optional<platform::SimObjectRecord> object = replay.scenario.sim->object(aircraft->objectId);
    const bool enginesRunning = object && object->enginesRunning;
    if (aircraft->phase == FlightPhase::parked) {
      seen.stand = {aircraft->standLatitude, aircraft->standLongitude};
      seen.standHeadingRadians = aircraft->standHeadingRadians;
      seen.halfSpanNm = aircraft->base.halfSpanNm;
    } else if (aircraft->phase == FlightPhase::pushing_back) {
      seen.enginesRanPushing = seen.enginesRanPushing || enginesRunning;
    } else if (aircraft->phase == FlightPhase::pushed_back && !seen.pushedBackAt) {
      seen.pushedBackAt = GeoPoint{aircraft->position.latitude, aircraft->position.longitude};
      seen.pushedBackHeadingRadians = aircraft->position.headingRadians;
      seen.enginesRanPushedBack = enginesRunning;
    }
  }
  return seen;
}

// The same push back from a stand of the park airport: the aircraft leaves
// its stand by a push of its own, tail first, straight back 2.5 stand radii
// and round a quarter turn to the side its records' nose turns to (left),
// or straight back alone when every push back is to be straight; pushed
// back, it starts its engines, then taxis on to its records and keeps to
// their times.
TEST(ReplaySurface, APushbackFromItsStandWhoseTrackIsTheNoseIsTheAircraftsOwnPush) {
  constexpr double kStandRadiusMeters = 20.0;
  const GeoPoint standA2 = offsetMeters(kApronOrigin, 0.0, 80.0);
  for (const bool straightOnly : {false, true}) {
    SCOPED_TRACE(straightOnly ? "straight push backs only" : "push backs turn");
    par_STRAIGHT_PBS_ONLY.setValue(straightOnly);
    StandTable stands = standGrid(1, 4, 80.0, kStandRadiusMeters);
    for (ParkingPosition& stand : stands) {
      stand.heading = kNosePushFirstNoseDegrees * kDegreesToRadians;
    }
    ReplayScenario replay(stands);
    const std::vector<TrackPoint> track = nosePushbackFrom(standA2, true);
    replay.addFlight(0x4ca8e1, "EIN711", "A320", track);
    const OwnPushSeen seen =
        watchOwnPush(replay, 0x4ca8e1, track.back().seconds + kLiveDelaySeconds + 5.0);
    const std::vector<FlightPhase> wanted{FlightPhase::parked, FlightPhase::pushing_back, FlightPhase::pushed_back,
                                          FlightPhase::taxi};
    EXPECT_TRUE(std::search(seen.phases.begin(), seen.phases.end(), wanted.begin(), wanted.end()) !=
                seen.phases.end());
    ASSERT_TRUE(seen.pushedBackAt.has_value());
    const double back = seen.standHeadingRadians + kPi;
    const GeoPoint p1 = gf_destination(seen.stand, back, 2.5 * kStandRadiusMeters / kMetersPerFoot);
    const GeoPoint end =
        straightOnly ? p1 : gf_destination(p1, back - kPi / 2.0, seen.halfSpanNm * kFeetPerNm);
    const double endHeading = straightOnly ? seen.standHeadingRadians : seen.standHeadingRadians - kPi / 2.0;
    std::printf("%s: pushed back %.2f m from where the push was to end, heading %.1f degrees off\n",
                straightOnly ? "straight push back" : "push back with a turn",
                gf_distanceNm(*seen.pushedBackAt, end) * kMetersPerNm,
                degreesOf(normalizedAngle(seen.pushedBackHeadingRadians - endHeading)));
    EXPECT_LE(gf_distanceNm(*seen.pushedBackAt, end) * kMetersPerNm, 1.0);
    EXPECT_LE(std::fabs(degreesOf(normalizedAngle(seen.pushedBackHeadingRadians - endHeading))), 2.0);
    EXPECT_FALSE(seen.enginesRanPushing);
    EXPECT_TRUE(seen.enginesRanPushedBack);
    const std::optional<std::pair<double, double>> push = replay.pushback(0x4ca8e1);
    ASSERT_TRUE(push.has_value());
    const PushSeen moved = pushSeen(replay.tracedPositions(0x4ca8e1), track, push->first - kLiveDelaySeconds,
                                    push->second - kLiveDelaySeconds, kLiveDelaySeconds);
    EXPECT_EQ(moved.noseFirst, 0U);
    // Pushed back elsewhere than the recorded aircraft, it taxis on to its
    // records: those due from 30 s after its push on keep their times.
    const std::string name = straightOnly ? "nose-pushback-stand-straight" : "nose-pushback-stand";
    const std::vector<RecordLag> lags = replay.lags(0x4ca8e1);
    const double rejoinedSeconds = push->second + 30.0;
    const auto rejoined = std::count_if(lags.begin(), lags.end(),
                                        [&](const RecordLag& lag) { return lag.dueSeconds >= rejoinedSeconds; });
    const LagFigures figures = lagFigures(lags);
    const double largestRejoined = largestAbsLagFrom(lags, rejoinedSeconds);
    std::printf("%s: %zu moving records, median |lag| %.2f s, largest %.2f s; %td due from 30 s after the push, "
                "largest |lag| %.2f s\n",
                name.c_str(), figures.records, figures.medianAbsSeconds, figures.largestAbsSeconds, rejoined,
                largestRejoined);
    EXPECT_GE(rejoined, 10);
    EXPECT_LE(largestRejoined, 1.0);
    if (const char* folder = std::getenv("CRVN_REPLAY_PICTURES")) {
      const std::filesystem::path pictures(folder);
      replay.writePicture(0x4ca8e1, pictures / (name + ".csv"), pictures / (name + "-stands.csv"));
    }
    EXPECT_LE(fastestGroundKnots(replay, 0x4ca8e1, 0.0, replay.secondsNow()), kTaxiMaximumKnots);
  }
  par_STRAIGHT_PBS_ONLY.setValue(false);
}

// A push back whose records at rest scatter by up to 2 m about the stand,
// reporting no speed or a few knots, and whose moving records report 0.6
// of the speed their positions show: the aircraft stands still, within
// 2 m, until a second before the recorded push began, sets off on its own
// push back within a second of it, then keeps to the records' times.
TEST(ReplaySurface, APushbackWhoseRecordsUnderstateItsSpeedSetsOffWhenTheRecordedOneDid) {
  StandTable stands = standGrid(1, 4, 80.0, 20.0);
  for (ParkingPosition& stand : stands) {
    stand.heading = kNosePushFirstNoseDegrees * kDegreesToRadians;
  }
  for (const double restKnots : {0.0, 1.0, 1.5, 3.0}) {
    SCOPED_TRACE(fmt::format("rest records at {} kt", restKnots));
    ReplayScenario replay(stands);
    const std::vector<TrackPoint> track = understatedPushbackFrom(offsetMeters(kApronOrigin, 0.0, 80.0), restKnots);
    replay.replayWhole(0x4ca8e3, "EIN713", "A320", track, 5.0);
    const double recordedStart = kNosePushStartSeconds + kLiveDelaySeconds;
    const SetOffSeen setOff = setOffSeen(replay.tracedPositions(0x4ca8e3), recordedStart - 20.0, recordedStart);
    std::printf("understated-pushback, rest records at %.1f kt: set off %.2f s from the recorded start\n", restKnots,
                setOff.startErrorSeconds);
    EXPECT_LE(setOff.movedBeforeMeters, 2.0);
    EXPECT_LE(std::fabs(setOff.startErrorSeconds), 1.0);
    // Records at rest that report a speed are no movement to keep to.
    if (restKnots == 0.0) {
      expectOnTime(replay, 0x4ca8e3, "understated-pushback");
    } else {
      EXPECT_LE(largestAbsLagFrom(replay.lags(0x4ca8e3), recordedStart), 2.0);
    }
    EXPECT_LE(fastestGroundKnots(replay, 0x4ca8e3, 0.0, replay.secondsNow()), kTaxiMaximumKnots);
    const char* folder = std::getenv("CRVN_REPLAY_PICTURES");
    if (folder != nullptr && (restKnots == 0.0 || restKnots == 1.5)) {
      const std::filesystem::path pictures(folder);
      const std::string name = restKnots == 0.0 ? "understated-pushback" : "understated-pushback-rest-1.5kt";
      replay.writePicture(0x4ca8e3, pictures / (name + "-start.csv"), pictures / (name + "-stands.csv"),
                          recordedStart - 30.0, recordedStart + 30.0);
    }
  }
}

// Parked aircraft that push back, as feeds of every kind report them: the
// records at rest report no speed, 1.5 or 3 kt, one every 3, 10 or 15 s,
// scattered by up to 2 m; the push's records come from 0.5 to 5 s after the
// last at rest, every 1, 2 or 5 s, reporting the speed their positions show
// or 0.6 of it; the aircraft is first heard 5, 20 or 60 s before its push or
// long before. Each sets off no earlier than the last record at rest showed
// it standing and within 1.5 s of the recorded start, but where its records
// cannot tell: first heard long before with a record at rest every 15 s, an
// aircraft is created anew from its last record at rest (the feed's intake
// keeps one record of a standing aircraft in 15 s, and a waiting aircraft
// that holds one record when it falls due is dropped). One active in the
// simulator only after the recorded start sets off at once; one that knows
// that single record at rest knows where it stood only to within its
// scatter, and sets off within 2 s.
TEST(ReplaySurface, EveryPushbackSetsOffWhenTheRecordedOneDidWhateverItsRecordsAtRestAndOnThePush) {
  constexpr std::uint32_t kKey = 0x4ca8e5;
  constexpr double kMovedMeters = 0.05;
  constexpr double kWithinSeconds = 1.5;
  constexpr double kAtOnceSeconds = 0.5;
  constexpr double kOneRestRecordWithinSeconds = 2.0;
  StandTable stands = standGrid(1, 4, 80.0, 20.0);
  for (ParkingPosition& stand : stands) {
    stand.heading = kNosePushFirstNoseDegrees * kDegreesToRadians;
  }
  const GeoPoint stand = offsetMeters(kApronOrigin, 0.0, 80.0);
  std::vector<StandSetOffRecords> variants;
  for (const double heard : {5.0, 20.0, 60.0, 150.0}) {
    for (const double restKnots : {0.0, 1.5, 3.0}) {
      for (const double restEvery : {3.0, 10.0, 15.0}) {
        for (const double firstPush : {0.5, 1.0, 2.0, 3.0, 5.0}) {
          for (const double pushEvery : {1.0, 2.0, 5.0}) {
            for (const double share : {1.0, kUnderstatedPushShare}) {
              variants.push_back({restKnots, restEvery, firstPush, pushEvery, share, heard});
            }
          }
        }
      }
    }
  }
  std::size_t activeLate = 0;
  std::size_t oneRestRecord = 0;
  std::size_t never = 0;
  std::size_t off = 0;
  std::size_t beforeRest = 0;
  double earliest = 0.0;
  double latest = 0.0;
  for (const StandSetOffRecords& v : variants) {
    const std::string name = fmt::format(
        "heard {:.0f} s before, rest {:.1f} kt every {:.0f} s, push {:.1f} s after every {:.0f} s at {:.1f}",
        v.heardBeforeSeconds, v.restKnots, v.restEverySeconds, v.firstPushAfterSeconds, v.pushEverySeconds,
        v.pushShare);
    ReplayScenario replay(stands);
    // A simulator's frame rate: the sweep runs the faster.
    replay.scenario.setFrameRate(30.0);
    const std::vector<TrackPoint> track = standSetOffFrom(stand, v);
    replay.addFlight(kKey, "EIN715", "A320", track);
    const double startDue = v.startSeconds() + kLiveDelaySeconds;
    const double lastRestDue = v.lastRestSeconds() + kLiveDelaySeconds;
    // Until it has moved, or is 20 s late; noting when the aircraft was
    // created (anew).
    std::optional<GeoPoint> rested;
    double createdSeconds = 0.0;
    bool known = false;
    while (replay.secondsNow() < startDue + 20.0) {
      const double before = replay.secondsNow();
      replay.runUntilSecond(before + 0.5);
      const LiveAc* aircraft = replay.scenario.engine.findLiveByKey(kKey);
      if (aircraft != nullptr && !known) {
        createdSeconds = before;
      }
      known = aircraft != nullptr;
      if (aircraft == nullptr || aircraft->state != SimState::active) {
        continue;
      }
      const GeoPoint now{aircraft->position.latitude, aircraft->position.longitude};
      if (!rested) {
        rested = now;
      } else if (gf_distanceNm(*rested, now) * kMetersPerNm >= kMovedMeters) {
        break;
      }
    }
    // Positions reach the simulator once the aircraft is active there.
    const std::vector<platform::TracePosition> positions = replay.tracedPositions(kKey);
    ASSERT_FALSE(positions.empty()) << name;
    const double activeSeconds = positions.front().seconds;
    const std::optional<double> setOff = firstMovedSeconds(positions, 0.0, kMovedMeters);
    const double error = setOff ? *setOff - startDue : std::numeric_limits<double>::infinity();
    const bool lateActive = activeSeconds + kAtOnceSeconds > startDue + kWithinSeconds;
    // Created anew from its last record at rest, it knows where it stood only
    // to within that record's scatter of up to 2 m, 1.3 s of the push, and
    // may take the push's first records, as close, for records at rest.
    const auto restKnown = std::count_if(track.begin(), track.end(), [&](const TrackPoint& p) {
      return p.seconds >= createdSeconds && p.seconds <= v.lastRestSeconds();
    });
    const double within = restKnown == 1 ? kOneRestRecordWithinSeconds : kWithinSeconds;
    oneRestRecord += restKnown == 1 ? 1 : 0;
    const double latestAllowed = lateActive ? activeSeconds + kAtOnceSeconds : startDue + within;
    const bool early = setOff && *setOff < lastRestDue;
    const bool wide = std::fabs(error) > kWithinSeconds;
    activeLate += lateActive ? 1 : 0;
    off += wide ? 1 : 0;
    beforeRest += early ? 1 : 0;
    never += setOff ? 0 : 1;
    earliest = std::min(earliest, error);
    latest = setOff ? std::max(latest, error) : latest;
    if (wide || early) {
      std::printf("  %s: set off %+.2f s from the recorded start, %+.2f s from the last record at rest; active "
                  "%+.2f s, %td record(s) at rest known\n",
                  name.c_str(), error, error + startDue - lastRestDue, activeSeconds - startDue, restKnown);
    }
    EXPECT_TRUE(setOff) << name << ": no set-off within 20 s of the recorded start";
    if (setOff) {
      EXPECT_GE(*setOff, lastRestDue) << name;
      EXPECT_GE(error, -kWithinSeconds) << name;
      EXPECT_LE(*setOff, latestAllowed) << name;
    }
    const char* folder = std::getenv("CRVN_REPLAY_PICTURES");
    if (folder != nullptr && v.heardBeforeSeconds == 20.0 && v.restKnots == 3.0 && v.restEverySeconds == 3.0 &&
        v.firstPushAfterSeconds == 1.0 && v.pushEverySeconds == 2.0 && v.pushShare == kUnderstatedPushShare) {
      replay.runUntilSecond(startDue + 20.0);
      const std::filesystem::path pictures(folder);
      replay.writePicture(kKey, pictures / "pushback-heard-20s-before-start.csv",
                          pictures / "pushback-heard-20s-before-stands.csv", startDue - 20.0, startDue + 20.0);
    }
  }
  std::printf("push-back set-off: %zu variants, %zu active only after the recorded start, %zu knowing one record "
              "at rest; %zu off by more than %.1f s (%zu not within 20 s), %zu before the last record at rest; "
              "earliest %+.2f s, latest %+.2f s\n",
              variants.size(), activeLate, oneRestRecord, off, kWithinSeconds, never, beforeRest, earliest, latest);
}

// An aircraft alone in the service's answers, asked every 2 s: each answer
// holds its latest record. Its taxi, recorded 1.3 to 3.1 s apart, goes from
// record to record at the speed their own times show.
TEST(ReplaySurface, ALoneAircraftServedOneRecordPerAnswerKeepsItsRecordsSpacing) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const std::vector<TrackPoint> served = servedOnePerAnswer(loneTaxiFrom(kTaxiway), 2.0, 0.7);
  replay.replayWhole(0x4ca9f3, "EIN823", "A320", served, 5.0);
  const std::vector<LegSpeed> legs = legSpeeds(replay.tracedPositions(0x4ca9f3), served, kLiveDelaySeconds);
  ASSERT_GE(legs.size(), 30U);
  for (const LegSpeed& leg : legs) {
    EXPECT_LE(std::fabs(leg.error()), 0.10) << "leg from second " << leg.fromSeconds << ": recorded "
                                           << leg.recordedKnots << " kt, replayed " << leg.replayedKnots << " kt";
  }
  legSpeedFigures(legs, "lone-taxi");
  expectOnTime(replay, 0x4ca9f3, "lone-taxi");
}

// Records 15 s apart from the holding point at 0 kt into the take-off roll
// at 90 kt and up: the aircraft takes off and keeps to their times.
TEST(ReplaySurface, ATakeOffRollReportedEvery15SecondsFromAStandstillFliesOnTime) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const std::vector<TrackPoint> departure = sparseTakeOffFrom(kTaxiway);
  replay.replayWhole(0x4ca9f2, "EIN822", "A320", departure, 2.0);
  const LiveAc* aircraft = replay.scenario.engine.findLiveByKey(0x4ca9f2);
  ASSERT_NE(aircraft, nullptr);
  EXPECT_EQ(aircraft->phase, FlightPhase::flying);
  expectOnTime(replay, 0x4ca9f2, "sparse-take-off");
  EXPECT_LE(fastestGroundKnots(replay, 0x4ca9f2, 0.0, kSparseRollStartSeconds + kLiveDelaySeconds),
            kTaxiMaximumKnots);
}

}  // namespace
}  // namespace crv::testing
