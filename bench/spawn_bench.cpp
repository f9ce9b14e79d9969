// Spawning: trySpawn for 100 buffered aircraft at once, with the park
// airport's 400 stands and their 2,000 usage entries.
//   BM_TrySpawnStanding: each stands on a stand and is spawned onto it (the
//     stand search, the stand-conflict and neighbour checks, make-way).
//   BM_TrySpawnAirborne: the same aircraft in the air (no stand search), the
//     base line of the ratio.

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "airports/stand_table.h"
#include "foundation/geodesy.h"
#include "simlink/sim_queues.h"
#include "tests/traffic/engine_test_access.h"
#include "traffic/live/live_rules.h"
#include "traffic/traffic_engine.h"

namespace crv {
namespace {

constexpr int kStandRows = 20;
constexpr int kStandColumns = 20;
constexpr int kUsagePerStand = 5;
constexpr std::uint32_t kAircraft = 100;
constexpr GeoPoint kApron{50.03, 8.57};
constexpr double kMetersPerDegree = 111132.95;

GeoPoint offset(double northMeters, double eastMeters) {
  return {kApron.latitude + northMeters / kMetersPerDegree,
          kApron.longitude + eastMeters / (kMetersPerDegree * std::cos(kApron.latitude * kDegreesToRadians))};
}

StandTable airportStands() {
  StandTable stands;
  const char* airlines[] = {"DLH", "BAW", "KLM", "AFR", "RYR"};
  for (int row = 0; row < kStandRows; ++row) {
    for (int column = 0; column < kStandColumns; ++column) {
      std::vector<UsageEntry> usage;
      for (int u = 0; u < kUsagePerStand; ++u) {
        UsageEntry entry;
        entry.airl = airlines[u];
        entry.type = u % 2 == 0 ? "A320" : "B738";
        entry.reg = "D-A" + std::to_string(row * 100 + column * 5 + u);
        entry.cs = entry.airl + std::to_string(column * 10 + u);
        entry.hh.set(static_cast<std::size_t>((row + u) % kSlotsPerDay));
        entry.id = static_cast<std::uint32_t>(u + 1);
        entry.day = static_cast<std::uint32_t>(u % 7 + 1);
        usage.push_back(std::move(entry));
      }
      const GeoPoint place = offset(row * 90.0, column * 60.0);
      stands.emplace_back("S" + std::to_string(row) + "_" + std::to_string(column), std::move(usage),
                          std::array<double, 3>{place.latitude, place.longitude, 0.0}, 20.0, true, true, true);
    }
  }
  numberStandsAndFindNeighbours(stands);
  return stands;
}

EngineConfig benchConfig(StandTable* stands) {
  EngineConfig config;
  config.stands = stands;
  config.callsignListFile = "bench_spawn_Callsign2ObjectId.txt";
  // Wednesday 9 December 2026, 10:10 UTC: half hour 20 of weekday 3.
  config.now = [] { return std::chrono::system_clock::time_point(std::chrono::seconds(1796775000 + 36000)); };
  return config;
}

LiveRulesServices benchServices() {
  LiveRulesServices services;
  services.matchLiveryAtSpawn = [](AircraftBase& base) { base.liveryTitle = "Livery " + base.identity.icaoType; };
  services.userOnGround = [] { return true; };
  return services;
}

// A buffered aircraft standing on every fourth stand (or cruising above it),
// its two points due now.
LiveAc buffered(std::uint32_t index, const ParkingPosition& stand, bool airborne) {
  AircraftIdentity identity;
  identity.callsign = "DLH" + std::to_string(100 + index);
  identity.icaoType = "A320";
  AircraftBase base = buildAircraftObject(identity);
  base.key = 20000 + index;
  PathPoint point;
  point.latitude = stand.latitude;
  point.longitude = stand.longitude;
  point.airborne = airborne;
  point.altitudeFeet = airborne ? 10000.0 : 0.0;
  point.speedKnots = airborne ? 250.0 : 0.0;
  LiveAc aircraft = makeLiveAc(base, point, 1000.0);
  PathPoint second = point;
  second.stationary = !airborne;
  second.latitude += airborne ? 0.01 : 0.0;
  second.dueTick = 500;
  aircraft.path.push_back(second);
  return aircraft;
}

void trySpawnAll(benchmark::State& state, bool airborne) {
  StandTable stands = airportStands();
  SimQueues link;
  for (auto _ : state) {
    state.PauseTiming();
    auto engine = std::make_unique<TrafficEngine>(link, EngineHooks{}, benchConfig(&stands));
    LiveRules rules(*engine, benchServices());
    rules.setParkAirport(offset(kStandRows * 45.0, kStandColumns * 30.0));
    UserAcData user;
    const GeoPoint userPlace = offset(-3000.0, 0.0);
    user.latitude = userPlace.latitude;
    user.longitude = userPlace.longitude;
    EngineTestAccess::setUserAircraft(*engine, user);
    for (ParkingPosition& stand : stands) {
      stand.occupied = false;
    }
    for (std::uint32_t i = 0; i < kAircraft; ++i) {
      EngineTestAccess::addLive(*engine, buffered(i, stands[i * 4], airborne));
    }
    state.ResumeTiming();
    for (LiveAc& aircraft : engine->liveAircraft()) {
      rules.trySpawn(aircraft);
    }
    benchmark::DoNotOptimize(engine->addingStack().data());
    state.PauseTiming();
    if (engine->addingStack().size() != kAircraft) {
      state.SkipWithError("not every aircraft was spawned");
    }
    engine.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kAircraft);
}

void BM_TrySpawnStanding(benchmark::State& state) { trySpawnAll(state, false); }
void BM_TrySpawnAirborne(benchmark::State& state) { trySpawnAll(state, true); }

BENCHMARK(BM_TrySpawnStanding)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TrySpawnAirborne)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace crv

BENCHMARK_MAIN();
