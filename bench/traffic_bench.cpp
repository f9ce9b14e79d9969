// The engine's 10 ms step with full tables, and the intake of a large batch.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/engine_bench_setup.h"
#include "simlink/sim_queues.h"
#include "tests/traffic/engine_test_access.h"
#include "traffic/traffic_engine.h"

namespace crv {
namespace {

LiveTrafficRecord recordFor(std::uint32_t key, double timestamp) {
  LiveTrafficRecord r;
  r.identity.callsign = "C" + std::to_string(key);
  r.identity.icaoType = "A320";
  r.identity.airline = "DLH";
  r.latitude = 50.0 + (key % 100) * 0.01;
  r.longitude = 8.0 + (key / 100 % 100) * 0.01;
  r.altitudeFeet = 15000.0;
  r.speedKnots = 250.0;
  r.trackDegrees = static_cast<double>(key % 360);
  r.airborne = true;
  r.timestamp = timestamp + (key % 7) * 0.3;
  r.key = key;
  return r;
}

EngineConfig benchConfig() { return benchEngineConfig("bench_Callsign2ObjectId.txt"); }

void fillTables(TrafficEngine& engine, std::uint32_t liveCount = 1000) {
  for (std::uint32_t i = 0; i < liveCount; ++i) {
    const LiveTrafficRecord r = recordFor(20000 + i, 1000.0);
    AircraftBase base = buildAircraftObject(r.identity);
    base.key = r.key;
    LiveAc aircraft = makeLiveAc(base, pathPointOf(r, 0), r.timestamp);
    aircraft.path.push_back(pathPointOf(r, 3000));
    aircraft.state = SimState::active;
    aircraft.objectId = 100 + i;
    aircraft.position.latitude = r.latitude;
    aircraft.position.longitude = r.longitude;
    EngineTestAccess::addLive(engine, std::move(aircraft));
  }
  for (std::uint32_t i = 0; i < 300; ++i) {
    addShownStaticAc(engine, i, 5000 + i);
  }
}

void BM_EngineStep(benchmark::State& state) {
  SimQueues link;
  link.reserveSimQueues();
  TrafficEngine engine(link, {}, benchConfig());
  fillTables(engine);
  SimFrameBatch frame;
  for (auto _ : state) {
    engine.step();
    link.tryTakeFrame(frame);  // the link's frame, so the buffers stay small
  }
  state.counters["live"] = static_cast<double>(engine.liveAircraft().size());
  state.counters["static"] = static_cast<double>(engine.staticAircraft().size());
}
BENCHMARK(BM_EngineStep);

void BM_IntakeLiveBatch(benchmark::State& state) {
  SimQueues link;
  TrafficEngine engine(link, {}, benchConfig());
  engine.setSessionActive(true);
  std::vector<LiveTrafficRecord> records;
  for (std::uint32_t i = 0; i < 1000; ++i) {
    records.push_back(recordFor(20000 + i, 1000.0));
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<LiveTrafficRecord> batch = records;
    for (int i = 0; i < 500; ++i) {
      engine.step();  // empties the previous hand-over
    }
    engine.resetTrafficState();
    state.ResumeTiming();
    engine.intakeTrafficBatch(batch, kLiveDelaySeconds);
  }
}
BENCHMARK(BM_IntakeLiveBatch);

// A whole batch of the feed, one record for each known aircraft.
void BM_ApplyBatchToKnownAircraft(benchmark::State& state) {
  const auto count = static_cast<std::uint32_t>(state.range(0));
  SimQueues link;
  TrafficEngine engine(link, {}, benchConfig());
  fillTables(engine, count);
  double timestamp = 2000.0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<LiveTrafficRecord> batch;
    for (std::uint32_t i = 0; i < count; ++i) {
      batch.push_back(recordFor(20000 + i, timestamp));
    }
    timestamp += 10.0;
    state.ResumeTiming();
    engine.intakeTrafficBatch(batch, 0);
  }
}
BENCHMARK(BM_ApplyBatchToKnownAircraft)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace crv

BENCHMARK_MAIN();
