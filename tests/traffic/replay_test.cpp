// Recorded flights replayed through the feed's decoder, the engine, the
// simulator link and the simulator stand-in, which feels the ground under
// each aircraft as the simulator does.

#include <gtest/gtest.h>

#include <cmath>

#include "foundation/geodesy.h"
#include "tests/traffic/replay_scenario.h"

namespace crv::testing {
namespace {

constexpr double kPi = 3.141592653589793;

// A track ending at `end`: built from `start`, then moved as a whole.
std::vector<TrackPoint> endingAt(std::vector<TrackPoint> track, GeoPoint end) {
  const double north = end.latitude - track.back().latitude;
  const double east = end.longitude - track.back().longitude;
  for (TrackPoint& point : track) {
    point.latitude += north;
    point.longitude += east;
  }
  return track;
}

// An approach from 8 nm south at 140 kt, touching down after 206 s, the
// roll-out, a right turn off the runway, a left one and the taxi north to
// `stand`, where it stops.
std::vector<TrackPoint> arrivalTo(GeoPoint stand) {
  return endingAt(TrackBuilder(0.0, 0.0, 2400.0)
                      .leg(206, 140, 0, -700)
                      .leg(12, 120, 0, 0, 0, 3)
                      .leg(12, 80, 0, 0, 0, 3)
                      .leg(12, 40, 0, 0, 0, 3)
                      .leg(30, 15, 0, 0, 3.0, 3)
                      .leg(40, 15, 90)
                      .leg(30, 15, 90, 0, -3.0, 3)
                      .leg(40, 15, 0)
                      .stand(60, 16)
                      .points(),
                  stand);
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
  // Touched down on the runway, not short of it: the recorded touchdown is
  // the last airborne record's end, 206 s into the track.
  const TrackPoint& runway = arrival[206 / 4 + 1];
  EXPECT_LT(gf_distanceNm({runway.latitude, runway.longitude}, *replay.touchdown(0x484f6d)) * 1852.0, 400.0);
  // On its wheels: the ground at 0 ft plus the centre of gravity's 8 ft.
  EXPECT_GE(replay.lowestAltitudeFeet(0x484f6d), 7.0);
  EXPECT_NEAR(aircraft->position.altitudeFeet, 8.0, 0.5);
}

}  // namespace
}  // namespace crv::testing
