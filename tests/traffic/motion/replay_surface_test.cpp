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
#include <string>

#include "foundation/geodesy.h"
#include "tests/traffic/replay_scenario.h"
#include "tests/traffic/replay_surface_checks.h"
#include "tests/traffic/replay_surface_flights.h"
#include "traffic/motion/live_motion.h"

namespace crv::testing {
namespace {

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
// nose, 17 degrees turning to 323 while the aircraft moves towards 190: the
// aircraft moves tail first facing the recorded nose, whether it pushes back
// from a stand of the park airport or is first seen already being pushed.
TEST(ReplaySurface, APushbackWhoseTrackIsTheNoseMovesTailFirstFacingIt) {
  struct Case {
    const char* name;
    bool fromStand;
    GeoPoint stand;
  };
  const GeoPoint standA2 = offsetMeters(kApronOrigin, 0.0, 80.0);
  for (const Case& c : {Case{"nose-pushback-stand", true, standA2}, Case{"nose-pushback-created", false, kTaxiway}}) {
    StandTable stands = standGrid(1, 4, 80.0, 20.0);
    for (ParkingPosition& stand : stands) {
      stand.heading = kNosePushFirstNoseDegrees * kDegreesToRadians;
    }
    ReplayScenario replay(stands);
    const std::vector<TrackPoint> track = nosePushbackFrom(c.stand, c.fromStand);
    replay.replayWhole(0x4ca8e1, "EIN711", "A320", track, 5.0);
    // From the push's 20th second, when the nose has begun to turn.
    const PushSeen seen = pushSeen(replay.tracedPositions(0x4ca8e1), track, kNosePushStartSeconds + 20.0,
                                   kNosePushStartSeconds + kNosePushSeconds, kLiveDelaySeconds);
    ASSERT_GE(seen.records, 5U) << c.name;
    EXPECT_GE(seen.facingRecorded, seen.records - 1) << c.name;
    EXPECT_EQ(seen.noseFirst, 0U) << c.name;
    EXPECT_GE(seen.tailFirst, seen.records / 2) << c.name;
    expectOnTime(replay, 0x4ca8e1, c.name);
    EXPECT_LE(fastestGroundKnots(replay, 0x4ca8e1, 0.0, replay.secondsNow()), kTaxiMaximumKnots) << c.name;
  }
}

// A push back whose records at rest scatter by up to 2 m about the stand,
// reporting no speed or a few knots, and whose moving records report 0.6
// of the speed their positions show: the aircraft stands still, within
// 2 m, until a second before the recorded push began, sets off within a
// second of it, then keeps to the records' times.
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
