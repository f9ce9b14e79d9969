// Ground movements of real feeds as a pilot parked beside them judges them,
// frame by frame, replayed through the feed's decoder, the engine, the
// simulator link and the simulator stand-in: no taxi above the taxi
// maximum, even inside a curve, and right after a runway exit no faster
// than its records, nor slower where they report more; no nose that
// swings faster than the aircraft can turn; no surge on a landing roll whose
// records fall due at other intervals than their positions were taken; no
// arrival that rolls on past where its records stop it on the runway. The
// pictures in replay_pictures/ are drawn from them by tools/trace-plot:
//   CRVN_REPLAY_PICTURES=DIR test_traffic --gtest_filter='ReplayGroundLimits.*'
//   trace-plot DIR/taxi-corner.csv taxi-corner.png --stands DIR/taxi-corner-stands.csv

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "foundation/geodesy.h"
#include "tests/traffic/replay_frame_checks.h"
#include "tests/traffic/replay_ground_flights.h"
#include "tests/traffic/replay_scenario.h"
#include "traffic/motion/live_motion.h"

namespace crv::testing {
namespace {

// Far from the stands: nothing parks there.
const GeoPoint kTaxiway = offsetMeters(kApronOrigin, -700.0, -300.0);
// The runway arrivals start 5 km south, 1.5 km west of the stands.
const GeoPoint kApproachStart = offsetMeters(kApronOrigin, -5000.0, -1500.0);

// What the stand-in's rounding of positions may add to a frame's speed.
constexpr double kFrameSpeedToleranceKnots = 0.1;

// The replay keeps to the recorded times (median |lag| at most 1 s, the
// 95th percentile at most 3 s), and for the pictures beside this test
// CRVN_REPLAY_PICTURES names the folder the traces are written to.
void expectOnTime(const ReplayScenario& replay, std::uint32_t key, const std::string& name, double fromSeconds) {
  const LagFigures figures = lagFigures(replay.lags(key));
  std::printf("%s: %zu moving records, median |lag| %.2f s, 95th percentile %.2f s, largest %.2f s\n", name.c_str(),
              figures.records, figures.medianAbsSeconds, figures.p95AbsSeconds, figures.largestAbsSeconds);
  ASSERT_GE(figures.records, 10U) << name;
  EXPECT_LE(figures.medianAbsSeconds, 1.0) << name;
  EXPECT_LE(figures.p95AbsSeconds, 3.0) << name;
  if (const char* folder = std::getenv("CRVN_REPLAY_PICTURES")) {
    const std::filesystem::path pictures(folder);
    replay.writePicture(key, pictures / (name + ".csv"), pictures / (name + "-stands.csv"), fromSeconds);
  }
}

FrameFigures printedFigures(const std::string& name, const std::vector<FrameMotion>& frames, double fromSeconds,
                            double untilSeconds) {
  const FrameFigures figures = frameFigures(frames, fromSeconds, untilSeconds);
  std::printf("%s: fastest frame %.1f kt, fastest turn %.1f deg/s, largest speed change between frames %.1f kt\n",
              name.c_str(), figures.fastestKnots, figures.fastestTurnDegreesPerSecond,
              figures.largestSpeedChangeKnots);
  return figures;
}

// A 60-degree taxiway corner rounded in one curve over two record legs
// (2.4 and 6 s long) whose corner record is stamped seconds late: its
// positions ask one half of the curve for more than the taxi maximum, or,
// where the records report three quarters of the speed, for far more than
// they show. Every frame keeps to the taxi maximum, and each half of the
// curve to a few knots of the records' speeds.
TEST(ReplayGroundLimits, ATaxiCornerWhoseRecordsFallDueAtOtherIntervalsKeepsEachHalfNearTheirSpeeds) {
  struct Case {
    const char* name;
    double knots;
    double cornerStampLateSeconds;
    double reportedShare;
  };
  for (const Case& c : {Case{"taxi-corner", 20.0, 2.4, 1.0}, Case{"taxi-corner-understated", 12.0, 3.4, 0.75}}) {
    ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
    const std::vector<TrackPoint> taxi = taxiCornerFrom(kTaxiway, c.knots, c.cornerStampLateSeconds, c.reportedShare);
    replay.replayWhole(0x3c6a11, "DLH7TC", "A320", taxi, 5.0);
    const std::vector<FrameMotion> frames = frameMotions(replay.tracedPositions(0x3c6a11));
    const FrameFigures figures = printedFigures(c.name, frames, 0.0, replay.secondsNow());
    EXPECT_LE(figures.fastestKnots, kTaxiMaximumKnots + kFrameSpeedToleranceKnots) << c.name;

    const double beforeDue = kTaxiCornerSeconds - kBeforeCornerSeconds + kLiveDelaySeconds;
    const double cornerDue = kTaxiCornerSeconds + c.cornerStampLateSeconds + kLiveDelaySeconds;
    const double afterDue = kTaxiCornerSeconds + kAfterCornerSeconds + kLiveDelaySeconds;
    const double recordedKnots = c.knots * c.reportedShare;
    for (const auto& [from, until] : {std::pair{beforeDue, cornerDue}, std::pair{cornerDue, afterDue}}) {
      const FrameFigures half = frameFigures(frames, from + 0.05, until - 0.05);
      std::printf("%s: from %.1f s to %.1f s at %.1f to %.1f kt, the records reporting %.1f kt\n", c.name, from, until,
                  half.slowestKnots, half.fastestKnots, recordedKnots);
      EXPECT_LE(half.fastestKnots, recordedKnots + 4.0) << c.name << " from " << from;
      EXPECT_GE(half.slowestKnots, recordedKnots - 4.0) << c.name << " from " << from;
    }
    expectOnTime(replay, 0x3c6a11, c.name, 0.0);
  }
}

// Replays the arrival to its end and 5 s more; the second its landing roll
// ended (the aircraft turned off the runway), or -1.
double replayToRollEnd(ReplayScenario& replay, std::uint32_t key, const std::string& callsign,
                       const std::vector<TrackPoint>& arrival) {
  replay.addFlight(key, callsign, "B738", arrival);
  double rollEndSeconds = -1.0;
  bool rolled = false;
  const double endSeconds = arrival.back().seconds + kLiveDelaySeconds + 5.0;
  for (double seconds = 0.0; seconds < endSeconds; seconds += 0.01) {
    replay.runUntilSecond(seconds);
    const LiveAc* aircraft = replay.scenario.engine.findLiveByKey(key);
    if (aircraft == nullptr) {
      continue;
    }
    rolled = rolled || aircraft->motion.landingRoll;
    if (rolled && !aircraft->motion.landingRoll && rollEndSeconds < 0.0) {
      rollEndSeconds = seconds;
    }
  }
  return rollEndSeconds;
}

// A landing whose high-speed exit is recorded at 31 kt, just above the taxi
// maximum, though the aircraft drives 35: once the landing roll is over the
// aircraft runs no faster than its records report (a leg whose records
// report more than a taxi is timed by them).
TEST(ReplayGroundLimits, ATaxiAfterALandingWhoseFirstRecordReports31KnotsRunsNoFasterThanItsRecords) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const std::vector<TrackPoint> arrival = fastExitFrom(kApproachStart);
  const double rollEndSeconds = replayToRollEnd(replay, 0x484a31, "KLM1731", arrival);
  ASSERT_GT(rollEndSeconds, 0.0);
  const std::vector<FrameMotion> frames = frameMotions(replay.tracedPositions(0x484a31));
  const FrameFigures taxi = printedFigures("fast-exit", frames, rollEndSeconds, replay.secondsNow());
  std::printf("fast-exit: the landing roll ended at %.2f s\n", rollEndSeconds);
  EXPECT_LE(taxi.fastestKnots, kFastExitKnots * kFastExitReportedShare + kFrameSpeedToleranceKnots);
  expectOnTime(replay, 0x484a31, "fast-exit", kRunwayArrivalTouchdownSeconds + kLiveDelaySeconds - 10.0);
}

// Rapid exits taken at 40 and 45 kt, recorded every 2 s at their true
// speed: after the landing roll the aircraft keeps to its records' times.
TEST(ReplayGroundLimits, ARapidExitTakenAboveTheTaxiMaximumKeepsToItsRecords) {
  for (const double exitKnots : {40.0, 45.0}) {
    const std::string name = fmt::format("rapid-exit-{:.0f}", exitKnots);
    ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
    const double rollEndSeconds =
        replayToRollEnd(replay, 0x484a40, "KLM1740", rapidExitFrom(kApproachStart, exitKnots));
    ASSERT_GT(rollEndSeconds, 0.0) << name;
    const double largestSeconds = largestAbsLagFrom(replay.lags(0x484a40), rollEndSeconds);
    std::printf("%s: the landing roll ended at %.2f s, largest |lag| after it %.2f s\n", name.c_str(), rollEndSeconds,
                largestSeconds);
    EXPECT_LE(largestSeconds, 1.0) << name;
    expectOnTime(replay, 0x484a40, name, kRunwayArrivalTouchdownSeconds + kLiveDelaySeconds - 10.0);
  }
}

// A 40-degree taxiway turn rounded over legs of 1.5 and 2.6 s: the nose
// swings at most about twice the base turn rate of the aircraft's size, and
// faces the way the aircraft moves once the turn is rounded, while its
// position keeps to the records.
TEST(ReplayGroundLimits, AFortyDegreeTaxiwayTurnOnAShortLegSwingsTheNoseAtMostTwiceTheBaseRate) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const std::vector<TrackPoint> taxi = shortLegBendFrom(kTaxiway);
  replay.replayWhole(0x3c6b40, "DLH40B", "A320", taxi, 5.0);
  const LiveAc* aircraft = replay.scenario.engine.findLiveByKey(0x3c6b40);
  ASSERT_NE(aircraft, nullptr);
  const double baseDegreesPerSecond = aircraft->base.baseTurnRateRadians * 100.0 * kRadiansToDegrees;
  const std::vector<platform::TracePosition> positions = replay.tracedPositions(0x3c6b40);
  const FrameFigures figures = printedFigures("short-leg-bend", frameMotions(positions), 0.0, replay.secondsNow());
  std::printf("short-leg-bend: base turn rate %.1f deg/s\n", baseDegreesPerSecond);
  EXPECT_LE(figures.fastestTurnDegreesPerSecond, 2.0 * baseDegreesPerSecond + 0.1);
  EXPECT_LE(figures.fastestKnots, kTaxiMaximumKnots + kFrameSpeedToleranceKnots);
  const double roundedSeconds = kBendSeconds + kAfterBendSeconds + kLiveDelaySeconds;
  const auto rounded = std::find_if(positions.begin(), positions.end(),
                                    [&](const platform::TracePosition& p) { return p.seconds >= roundedSeconds; });
  ASSERT_NE(rounded, positions.end());
  const double noseOffDegrees =
      std::fabs(std::remainder(rounded->headingRadians * kRadiansToDegrees - kAfterBendTrackDegrees, 360.0));
  std::printf("short-leg-bend: the nose %.1f degrees off the track once the turn is rounded\n", noseOffDegrees);
  EXPECT_LE(noseOffDegrees, 3.0);
  expectOnTime(replay, 0x3c6b40, "short-leg-bend", 0.0);
}

// A landing roll whose records were taken 1.4 and 3 s apart but fall due
// 2.2 s apart: no frame runs more than a fifth and 5 kt above the records
// of its time.
TEST(ReplayGroundLimits, ALandingRollWhoseRecordsFallDueEvenlyRunsNoFasterThanTheyReport) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const std::vector<TrackPoint> arrival = unevenRollFrom(kApproachStart);
  replay.replayWhole(0x484b14, "KLM1414", "B738", arrival, 5.0);
  const LiveAc* aircraft = replay.scenario.engine.findLiveByKey(0x484b14);
  ASSERT_NE(aircraft, nullptr);
  ASSERT_TRUE(aircraft->motion.landed);
  // The roll: from the first ground record to the last that reports more
  // than the roll's end speed.
  double rollFromSeconds = 0.0;
  double rollUntilSeconds = 0.0;
  for (const TrackPoint& record : arrival) {
    if (record.altitudeFeet > 0.0) {
      continue;
    }
    if (rollFromSeconds == 0.0) {
      rollFromSeconds = record.seconds + kLiveDelaySeconds;
    }
    if (record.speedKnots > kUnevenRollEndKnots) {
      rollUntilSeconds = record.seconds + kLiveDelaySeconds;
    }
  }
  const std::vector<FrameMotion> frames = frameMotions(replay.tracedPositions(0x484b14));
  printedFigures("uneven-roll", frames, rollFromSeconds, rollUntilSeconds);
  double largestExcessKnots = -1.0e9;
  for (const FrameMotion& frame : frames) {
    if (frame.seconds < rollFromSeconds || frame.seconds > rollUntilSeconds) {
      continue;
    }
    // The records of its time: those due 3 s either side.
    double recordedKnots = 0.0;
    for (const TrackPoint& record : arrival) {
      if (std::fabs(record.seconds + kLiveDelaySeconds - frame.seconds) <= 3.0) {
        recordedKnots = std::max(recordedKnots, record.speedKnots);
      }
    }
    const double excessKnots = frame.knots - (1.2 * recordedKnots + 5.0);
    largestExcessKnots = std::max(largestExcessKnots, excessKnots);
    EXPECT_LE(excessKnots, 0.0) << "frame at " << frame.seconds << " s: " << frame.knots << " kt, the records "
                                << recordedKnots << " kt";
    if (excessKnots > 0.0) {
      break;
    }
  }
  std::printf("uneven-roll: largest frame speed above 1.2 x the records + 5 kt: %.1f kt\n", largestExcessKnots);
  expectOnTime(replay, 0x484b14, "uneven-roll", rollFromSeconds - 10.0);
}

// A landing that stops on the runway without turning off, as to backtrack
// where there is no parallel taxiway: its records stand at 0 kt, scattered
// by up to 3 m, then turn round and taxi back. The aircraft stands within a
// few metres of where its roll-out ended until it sets off to turn round,
// and keeps to its records' times from there.
TEST(ReplayGroundLimits, ALandingThatStopsOnTheRunwayStandsWhereItsRecordsStand) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const RunwayBacktrack backtrack = runwayBacktrackFrom(kApproachStart);
  replay.replayWhole(0x484c18, "KLM1818", "B738", backtrack.records, 5.0);
  const std::vector<platform::TracePosition> positions = replay.tracedPositions(0x484c18);
  const double standFromSeconds = backtrack.stopSeconds + kLiveDelaySeconds;
  const double standUntilSeconds = backtrack.turnSeconds + kLiveDelaySeconds;
  double farthestMeters = 0.0;
  for (const platform::TracePosition& p : positions) {
    if (p.seconds >= standFromSeconds && p.seconds <= standUntilSeconds) {
      farthestMeters = std::max(
          farthestMeters, gf_distanceNm(backtrack.stop, {p.latitudeDegrees, p.longitudeDegrees}) * kMetersPerNm);
    }
  }
  std::printf("runway-stop: farthest %.1f m from the stop while its records stand\n", farthestMeters);
  EXPECT_LE(farthestMeters, 5.0);
  expectOnTime(replay, 0x484c18, "runway-stop", standFromSeconds - 10.0);
}

}  // namespace
}  // namespace crv::testing
