// One engine step with the live motion: live aircraft in mixed phases
// (cruising and turning, approaching, taxiing through turns, on the
// take-off roll and climbing out, parked) plus static aircraft.
//   BM_EngineStepWithMotion/1000/300 and /2000/600: compare the two medians.

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/engine_bench_setup.h"
#include "foundation/geodesy.h"
#include "simlink/sim_queues.h"
#include "tests/traffic/engine_test_access.h"
#include "traffic/motion/live_motion.h"
#include "traffic/traffic_engine.h"

namespace crv {
namespace {

constexpr int kPointsPerPath = 150;
// Both sizes step through the same 100 s of their flights. With a count
// chosen by time the smaller table would run further along its paths than
// the larger one, and, run long enough, past their ends.
constexpr benchmark::IterationCount kTimedSteps = 10000;

// A path of points every `everySeconds`, turning by `turnDegrees` at each.
std::deque<PathPoint> pathFrom(GeoPoint at, double altitudeFeet, double knots, double courseDegrees,
                               double turnDegrees, double everySeconds, double verticalSpeedFpm) {
  std::deque<PathPoint> path;
  for (int i = 0; i < kPointsPerPath; ++i) {
    PathPoint p;
    p.latitude = at.latitude;
    p.longitude = at.longitude;
    p.altitudeFeet = altitudeFeet;
    p.speedKnots = knots;
    p.trueAirspeedKnots = knots;
    p.trackDegrees = courseDegrees;
    p.verticalSpeedFpm = verticalSpeedFpm;
    p.airborne = altitudeFeet > 0.0;
    p.stationary = knots == 0.0 && i > 0;
    p.dueTick = static_cast<std::int64_t>(i * everySeconds * 100.0);
    path.push_back(p);
    courseDegrees = std::fmod(courseDegrees + turnDegrees + 360.0, 360.0);
    at = gf_destination(at, courseDegrees * kDegreesToRadians, knots * everySeconds / 3600.0 * kFeetPerNm);
    altitudeFeet = std::max(altitudeFeet + verticalSpeedFpm * everySeconds / 60.0, 0.0);
  }
  return path;
}

void addLive(TrafficEngine& engine, std::uint32_t index) {
  AircraftIdentity identity;
  identity.callsign = "C" + std::to_string(index);
  identity.icaoType = index % 3 == 0 ? "B744" : "A320";
  identity.airline = "DLH";
  AircraftBase base = buildAircraftObject(identity);
  base.key = 20000 + index;
  base.turnRateRadians = base.baseTurnRateRadians;
  base.maxClimbPerTickFeet = 0.6;
  base.taxiSpeedKnots = 4.0;
  const GeoPoint at{50.0 + (index % 50) * 0.02, 8.0 + (index / 50 % 50) * 0.02};
  LiveAc a;
  a.base = base;
  a.state = SimState::active;
  a.objectId = 100 + index;
  switch (index % 5) {
    case 0:  // cruising through turns
      a.path = pathFrom(at, 12000.0, 280.0, index % 360, 4.0, 8.0, 0.0);
      a.phase = FlightPhase::flying;
      break;
    case 1:  // approaching
      a.path = pathFrom(at, 3000.0, 150.0, index % 360, 0.0, 8.0, -700.0);
      a.phase = FlightPhase::flying;
      a.motion.approach = true;
      break;
    case 2:  // taxiing through turns
      a.path = pathFrom(at, 0.0, 15.0, index % 360, 20.0, 4.0, 0.0);
      a.phase = FlightPhase::taxi;
      a.onGround = true;
      break;
    case 3:  // on the roll, then climbing out
      a.path = pathFrom(at, 0.0, 150.0, index % 360, 0.0, 4.0, 0.0);
      for (std::size_t i = 3; i < a.path.size(); ++i) {
        a.path[i].airborne = true;
        a.path[i].altitudeFeet = 200.0 * static_cast<double>(i);
        a.path[i].verticalSpeedFpm = 2000.0;
      }
      a.phase = FlightPhase::taxi;
      a.onGround = true;
      a.motion.takeOffRoll = true;
      break;
    default:  // parked
      a.path = pathFrom(at, 0.0, 0.0, 0.0, 0.0, 600.0, 0.0);
      a.phase = FlightPhase::parked;
      a.onGround = true;
      break;
  }
  a.position.latitude = at.latitude;
  a.position.longitude = at.longitude;
  a.position.altitudeFeet = a.path.front().altitudeFeet;
  a.position.headingRadians = a.path.front().trackDegrees * kDegreesToRadians;
  a.motion.heightAboveGroundFeet = a.path.front().altitudeFeet;
  EngineTestAccess::addLive(engine, std::move(a));
}

void BM_EngineStepWithMotion(benchmark::State& state) {
  const auto liveCount = static_cast<std::uint32_t>(state.range(0));
  const auto staticCount = static_cast<std::uint32_t>(state.range(1));
  SimQueues link;
  link.reserveSimQueues();
  MotionContext motion;
  EngineHooks hooks;
  installLiveMotion(hooks, motion);
  TrafficEngine engine(link, hooks, benchEngineConfig("bench_motion_Callsign2ObjectId.txt"));
  motion.engine = &engine;
  engine.reserveSessionTables();
  for (std::uint32_t i = 0; i < liveCount; ++i) {
    addLive(engine, i);
  }
  for (std::uint32_t i = 0; i < staticCount; ++i) {
    addShownStaticAc(engine, i, 50000 + i);
  }
  // Into steady motion first: every aircraft starts its first leg.
  SimFrameBatch frame;
  for (int i = 0; i < 200; ++i) {
    engine.step();
    link.tryTakeFrame(frame);
  }
  for (auto _ : state) {
    engine.step();
    state.PauseTiming();
    link.tryTakeFrame(frame);  // the link's frame, not the engine's step
    state.ResumeTiming();
  }
  state.counters["active"] = static_cast<double>(engine.activeLiveCount());
  motion.engine = nullptr;
}
BENCHMARK(BM_EngineStepWithMotion)
    ->Args({1000, 300})
    ->Args({2000, 600})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(kTimedSteps);

}  // namespace
}  // namespace crv

BENCHMARK_MAIN();
