// Recorded flights replayed through the feed's decoder, the engine, the
// simulator link and the simulator stand-in, which feels the ground under
// each aircraft as the simulator does. The pictures in replay_pictures/ are
// drawn from the departure, the arrival and the windy arrival by
// tools/trace-plot:
//   CRVN_REPLAY_PICTURES=DIR test_traffic --gtest_filter='Replay.*'
//   trace-plot DIR/arrival.csv arrival.png --stands DIR/arrival-stands.csv

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "foundation/geodesy.h"
#include "tests/traffic/replay_flights.h"
#include "tests/traffic/replay_scenario.h"
#include "tests/traffic/replay_windy_arrival.h"

namespace crv::testing {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kMetersPerNm = 1852.0;

// Metres along and across the line from `origin` on the bearing.
std::pair<double, double> alongAndAcross(GeoPoint origin, double bearingRadians, GeoPoint point) {
  const double distance = gf_distanceNm(origin, point) * kMetersPerNm;
  const double angle = gf_bearing(origin, point) - bearingRadians;
  return {distance * std::cos(angle), distance * std::sin(angle)};
}

// The replay keeps to the recorded times: median |lag| at most 1 s, the 95th
// percentile at most 3 s, and the aircraft passes within a few metres of
// nearly every record.
void expectOnTime(const ReplayScenario& replay, std::uint32_t key, const std::string& name,
                  std::pair<double, double> groundSeconds) {
  const std::vector<RecordLag> lags = replay.lags(key);
  const LagFigures figures = lagFigures(lags);
  std::printf("%s: %zu moving records, median |lag| %.2f s, 95th percentile %.2f s, largest %.2f s\n",
              name.c_str(), figures.records, figures.medianAbsSeconds, figures.p95AbsSeconds,
              figures.largestAbsSeconds);
  ASSERT_GT(figures.records, 40U) << name;
  EXPECT_LE(figures.medianAbsSeconds, 1.0) << name;
  EXPECT_LE(figures.p95AbsSeconds, 3.0) << name;
  std::size_t farRecords = 0;
  for (const RecordLag& lag : lags) {
    farRecords += lag.closestMeters > 30.0 ? 1 : 0;
  }
  EXPECT_LE(farRecords, figures.records / 20) << name << ": records the aircraft never came near";
  // For the pictures beside this test: CRVN_REPLAY_PICTURES names the folder
  // the traces are written to, for tools/trace-plot.
  if (const char* folder = std::getenv("CRVN_REPLAY_PICTURES")) {
    const std::filesystem::path pictures(folder);
    replay.writePicture(key, pictures / (name + ".csv"), pictures / (name + "-stands.csv"));
    replay.writePicture(key, pictures / (name + "-ground.csv"), pictures / (name + "-stands.csv"),
                        groundSeconds.first, groundSeconds.second);
  }
}

// With nobody telling it by hand, the stand-in feels the arrival's wheels on
// the runway: the aircraft lands, rolls out and never sinks into the ground.
TEST(Replay, AnArrivalCreatedInTheAirTouchesDownWhereTheStandInFeelsTheGround) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const std::vector<TrackPoint> arrival = arrivalTo(kApronOrigin);
  replay.addFlight(0x484f6d, "KLM1234", "B738", arrival);
  replay.runUntilSecond(280.0);
  const LiveAc* aircraft = replay.scenario.engine.findLiveByKey(0x484f6d);
  ASSERT_NE(aircraft, nullptr);
  EXPECT_TRUE(aircraft->onGround);
  EXPECT_TRUE(aircraft->motion.landed);
  ASSERT_TRUE(replay.touchdown(0x484f6d).has_value());
  // Touched down on the runway, not short of it: the last airborne record
  // is 2 s before the recorded touchdown.
  const TrackPoint& runway = arrival[static_cast<std::size_t>(kTouchdownSeconds) / 4];
  EXPECT_LT(gf_distanceNm({runway.latitude, runway.longitude}, *replay.touchdown(0x484f6d)) * 1852.0, 400.0);
  // On its wheels: the ground at 0 ft plus the centre of gravity's 8 ft.
  EXPECT_GE(replay.lowestAltitudeFeet(0x484f6d), 7.0);
  EXPECT_NEAR(aircraft->position.altitudeFeet, 8.0, 0.5);
}

// Bound 14.4 s after its first record fell due, between two records 8 s
// apart, a cruising aircraft starts where its track puts it at that moment
// and keeps to every later record's time.
TEST(Replay, AnAircraftBoundLateStartsWhereItsTrackPutsItNowAndKeepsTime) {
  FlightDriver driver;
  driver.bindDelaySeconds = 13.4;
  const std::vector<TrackPoint> cruise = TrackBuilder(52.0, 4.0, 12000.0).leg(120, 280, 90, 0, 0, 8).points();
  driver.addFlight(40010, "DLH10", "A320", cruise);
  driver.runUntilSecond(160);
  std::vector<TimedPlace> records;
  for (const TrackPoint& point : cruise) {
    records.push_back({point.seconds + kLiveDelaySeconds, point.latitude, point.longitude});
  }
  std::vector<TimedPlace> positions;
  for (const SentPosition& sent : driver.positionsOf(40010)) {
    positions.push_back({static_cast<double>(sent.tick) / 100.0, sent.block.latitude, sent.block.longitude});
  }
  ASSERT_FALSE(positions.empty());
  const double firstSeconds = positions.front().seconds;
  EXPECT_GT(firstSeconds, 40.0) << "bound late";
  std::size_t checked = 0;
  for (const RecordLag& lag : closestApproaches(records, positions, 30.0)) {
    if (lag.dueSeconds > firstSeconds + 1.0 && lag.dueSeconds < 145.0) {
      EXPECT_LE(std::fabs(lag.lagSeconds()), 0.3) << "record due at " << lag.dueSeconds;
      ++checked;
    }
  }
  EXPECT_GE(checked, 10U);
}

// A taxiing aircraft bound 15 s late catches up on its recorded times,
// never taxiing more than a fifth faster than the records, and never
// squeezes a leg into a burst of speed when the lag outgrows the delay
// window.
TEST(Replay, ALateTaxiCatchesUpWithinTheTaxiSpeedAndKeepsTimeAfter) {
  FlightDriver driver;
  driver.setParkAirport(kApronOrigin, {});
  driver.bindDelaySeconds = 15.0;
  constexpr double kTaxiKnots = 15.0;
  const std::vector<TrackPoint> taxi = TrackBuilder(kApronOrigin.latitude, kApronOrigin.longitude, 0.0)
                                           .leg(60, kTaxiKnots, 90)
                                           .leg(30, kTaxiKnots, 90, 0, 3.0)
                                           .leg(150, kTaxiKnots, 180)
                                           .points();
  driver.addFlight(40011, "KLM11", "B738", taxi);
  driver.runUntilSecond(270);
  const auto& sent = driver.positionsOf(40011);
  ASSERT_GT(sent.size(), 1000U);
  std::vector<TimedPlace> positions;
  double fastestKnots = 0.0;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    positions.push_back({static_cast<double>(sent[i].tick) / 100.0, sent[i].block.latitude, sent[i].block.longitude});
    if (i >= 100) {  // over a second, as a pilot would judge a speed
      const double nm = gf_distanceNm({sent[i - 100].block.latitude, sent[i - 100].block.longitude},
                                      {sent[i].block.latitude, sent[i].block.longitude});
      fastestKnots = std::max(fastestKnots, nm * 3600.0 * 100.0 / static_cast<double>(sent[i].tick - sent[i - 100].tick));
    }
  }
  EXPECT_LE(fastestKnots, kTaxiKnots * 1.2 + 0.5);
  std::vector<TimedPlace> records;
  for (const TrackPoint& point : taxi) {
    records.push_back({point.seconds + kLiveDelaySeconds, point.latitude, point.longitude});
  }
  const std::vector<RecordLag> lags = closestApproaches(records, positions, 30.0);
  ASSERT_FALSE(lags.empty());
  EXPECT_GT(lags.front().lagSeconds(), 10.0) << "it starts late";
  std::size_t checked = 0;
  for (const RecordLag& lag : lags) {
    if (lag.dueSeconds >= 150.0 && lag.dueSeconds <= 260.0) {
      EXPECT_LE(std::fabs(lag.lagSeconds()), 0.5) << "record due at " << lag.dueSeconds;
      ++checked;
    }
  }
  EXPECT_GE(checked, 20U);
}

// The recorded push back falls due a feed delay after it began.
constexpr double kPushbackDueSeconds = kPushbackStartSeconds + kLiveDelaySeconds;

TEST(Replay, ADepartureKeepsToItsRecordedTimesFromPushbackToClimbOut) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const GeoPoint standA2 = offsetMeters(kApronOrigin, 0.0, 80.0);
  replay.addFlight(0x4ca7b4, "EIN605", "A320", departureFrom(standA2, -3.0));
  replay.runUntilSecond(510.0);
  const LiveAc* aircraft = replay.scenario.engine.findLiveByKey(0x4ca7b4);
  ASSERT_NE(aircraft, nullptr);
  EXPECT_EQ(aircraft->phase, FlightPhase::flying);
  // It leaves its stand when the recorded aircraft did, not when the record
  // that tells it comes, a feed delay earlier.
  const auto push = replay.pushback(0x4ca7b4);
  ASSERT_TRUE(push.has_value());
  std::printf("departure: push back from %.1f s to %.1f s, recorded from %.1f s to %.1f s\n", push->first,
              push->second, kPushbackDueSeconds, kPushbackDueSeconds + 42.0);
  EXPECT_NEAR(push->first, kPushbackDueSeconds, 3.0);
  expectOnTime(replay, 0x4ca7b4, "departure", {150.0, 425.0});
}

// A push back recorded with the tail going to the east (the nose turning
// left) and one to the west, both without a true heading: the aircraft turns
// its tail the same way and ends facing the way it then taxis.
TEST(Replay, APushbackTurnsToTheSideItsRecordsShow) {
  for (const double tailTurn : {-3.0, 3.0}) {
    ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
    const GeoPoint standA2 = offsetMeters(kApronOrigin, 0.0, 80.0);
    replay.addFlight(0x4ca7b4, "EIN605", "A320", departureFrom(standA2, tailTurn));
    const double taxiCourse = tailTurn < 0.0 ? 270.0 : 90.0;
    bool pushedBack = false;
    for (double second = 180.0; second < 270.0 && !pushedBack; second += 0.5) {
      replay.runUntilSecond(second);
      const LiveAc* a = replay.scenario.engine.findLiveByKey(0x4ca7b4);
      ASSERT_NE(a, nullptr);
      if (a->phase == FlightPhase::pushed_back) {
        pushedBack = true;
        EXPECT_NEAR(std::remainder(a->position.headingRadians * kRadiansToDegrees - taxiCourse, 360.0), 0.0, 15.0)
            << tailTurn;
        const double east = alongAndAcross(standA2, 0.0, {a->position.latitude, a->position.longitude}).second;
        EXPECT_GT(tailTurn < 0.0 ? east : -east, 10.0) << "the tail went " << (tailTurn < 0.0 ? "east" : "west");
      }
    }
    EXPECT_TRUE(pushedBack) << tailTurn;
  }
}

TEST(Replay, AnArrivalKeepsToItsRecordedTimesAndTouchesDownOnTheCentreline) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const GeoPoint standA3 = offsetMeters(kApronOrigin, 0.0, 160.0);
  const std::vector<TrackPoint> arrival = arrivalTo(standA3);
  replay.addFlight(0x484f6d, "KLM1234", "B738", arrival);
  replay.runUntilSecond(460.0);
  const LiveAc* aircraft = replay.scenario.engine.findLiveByKey(0x484f6d);
  ASSERT_NE(aircraft, nullptr);
  EXPECT_EQ(aircraft->phase, FlightPhase::parked);
  EXPECT_EQ(aircraft->standId, replay.scenario.stand("A3").id);
  expectOnTime(replay, 0x484f6d, "arrival", {238.0, 460.0});
  // The runway: 300 m before the recorded touchdown, along the course 0 of
  // the roll-out.
  const TrackPoint& lastAirborne = arrival[static_cast<std::size_t>(kTouchdownSeconds) / 4];
  const GeoPoint recordedTouchdown =
      gf_destination({lastAirborne.latitude, lastAirborne.longitude}, 0.0, 2.0 * 140.0 / 3600.0 * kFeetPerNm);
  ASSERT_TRUE(replay.touchdown(0x484f6d).has_value());
  const auto [along, across] = alongAndAcross(recordedTouchdown, 0.0, *replay.touchdown(0x484f6d));
  std::printf("arrival: touchdown %.0f m past the recorded touchdown, %.1f m beside the centreline\n", along, across);
  EXPECT_GE(along, -300.0) << "no ground contact before the runway";
  EXPECT_LE(std::fabs(across), 15.0);
}

// An arrival as a real feed gives it: ground speeds far from the airspeeds
// in a gusty 40 kt wind, records 0.4 to 21 s apart and a minute of silence on the
// descent, a 330-degree turn, surface records without an altitude. Whatever
// lag the irregular records give, the replay keeps to them within a second
// or two after its first minute, lands, rolls out at the recorded speeds and
// parks.
TEST(Replay, AWindyArrivalHeardIrregularlyKeepsToItsRecordedTimesAndSpeeds) {
  ReplayScenario replay(standGrid(1, 4, 80.0, 20.0));
  const GeoPoint standA3 = offsetMeters(kApronOrigin, 0.0, 160.0);
  const std::vector<TrackPoint> arrival = windyArrivalTo(standA3);
  replay.replayWhole(0x4b1a2c, "SWR97", "B738", arrival, 10.0);
  const LiveAc* aircraft = replay.scenario.engine.findLiveByKey(0x4b1a2c);
  ASSERT_NE(aircraft, nullptr);
  EXPECT_EQ(aircraft->phase, FlightPhase::parked);
  EXPECT_EQ(aircraft->standId, replay.scenario.stand("A3").id);
  const double touchdownDue = kWindyTouchdownSeconds + kLiveDelaySeconds;
  expectOnTime(replay, 0x4b1a2c, "windy-arrival", {touchdownDue - 10.0, arrival.back().seconds + kLiveDelaySeconds});
  const std::vector<RecordLag> lags = replay.lags(0x4b1a2c);
  ASSERT_FALSE(lags.empty());
  const double afterFirstMinute = largestAbsLagFrom(lags, lags.front().dueSeconds + 60.0);
  std::printf("windy-arrival: largest |lag| after the first minute %.2f s\n", afterFirstMinute);
  EXPECT_LE(afterFirstMinute, 2.0);

  const auto rollOut =
      replay.speedsAtDue(0x4b1a2c, kWindyTouchdownSeconds + 0.5, kWindyTouchdownSeconds + kWindyRollOutSeconds);
  ASSERT_GE(rollOut.size(), 10U);
  double largestKnots = 0.0;
  for (const ReplayScenario::SpeedAtDue& speed : rollOut) {
    largestKnots = std::max(largestKnots, std::fabs(speed.replayedKnots - speed.recordedKnots));
    EXPECT_NEAR(speed.replayedKnots, speed.recordedKnots, 8.0) << "record due at " << speed.dueSeconds;
  }
  std::printf("windy-arrival: roll-out speed at most %.1f kt off the records\n", largestKnots);
}

}  // namespace
}  // namespace crv::testing
