// The full parking calculation of a large airport: 400 stands with 2,000
// learned usage entries, half of the stands wanted.

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "airports/stand_table.h"
#include "foundation/geodesy.h"
#include "foundation/settings.h"
#include "simlink/sim_queues.h"
#include "traffic/motion/motion_support.h"
#include "traffic/statics/static_parking.h"
#include "traffic/traffic_engine.h"

namespace crv {
namespace {

using motion::kMetersPerDegreeLatitude;

constexpr int kRows = 20;
constexpr int kColumns = 20;
constexpr int kEntriesPerStand = 5;
constexpr double kSpacingMeters = 70.0;
constexpr DaySlot kNow{3, 20};
const std::array<const char*, 6> kAirlines{"DLH", "KLM", "BAW", "AFR", "EZY", "RYR"};
const std::array<const char*, 4> kTypes{"A320", "B738", "A321", "B77W"};

// Each stand has five entries on five weekdays, each a block of six half
// hours, so that about a third of the stands were used around the present
// half hour.
StandTable largeAirport() {
  StandTable stands;
  stands.reserve(kRows * kColumns);
  const double originLatitude = 50.03;
  const double metersPerDegreeLongitude = kMetersPerDegreeLatitude * std::cos(originLatitude * kDegreesToRadians);
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      const int number = row * kColumns + column;
      std::vector<UsageEntry> usage;
      for (int k = 0; k < kEntriesPerStand; ++k) {
        UsageEntry entry;
        entry.airl = kAirlines[static_cast<std::size_t>((number + k) % 6)];
        entry.type = kTypes[static_cast<std::size_t>((number * 3 + k) % 4)];
        entry.reg = "D-" + std::to_string(10000 + number * kEntriesPerStand + k);
        entry.cs = entry.airl + std::to_string(100 + number);
        entry.cs2 = entry.airl + std::to_string(5100 + number);
        entry.id = static_cast<std::uint32_t>(k + 1);
        entry.day = static_cast<std::uint32_t>(1 + (number + k) % 7);
        const int start = (number * 7 + k * 11) % 42;
        for (int h = start; h < start + 6; ++h) entry.hh.set(static_cast<std::size_t>(h));
        usage.push_back(std::move(entry));
      }
      const double latitude = originLatitude + row * kSpacingMeters * 2.0 / kMetersPerDegreeLatitude;
      const double longitude = 8.57 + column * kSpacingMeters / metersPerDegreeLongitude;
      stands.emplace_back("S" + std::to_string(number + 1), std::move(usage),
                          std::array<double, 3>{latitude, longitude, 0.0}, 25.0, true, true, true);
    }
  }
  numberStandsAndFindNeighbours(stands);
  return stands;
}

void BM_FullParkingCalculation(benchmark::State& state) {
  par_parking_percentage.setValue(50);
  par_MAX_FIT.setValue(4);
  par_RT_PARKTRAFFIC_ONLY.setValue(false);
  StandTable stands = largeAirport();
  SimQueues link;
  EngineConfig config;
  config.stands = &stands;
  config.callsignListFile = "bench_parking_Callsign2ObjectId.txt";
  TrafficEngine engine(link, {}, config);
  StaticParkingServices services;
  services.currentSlot = [] { return kNow; };
  services.halfSpanNm = [](std::string_view) { return 17.0 / kMetersPerNm; };
  StaticParking parking(engine, services);
  const auto wanted = static_cast<std::size_t>(engine.wantedStaticCount());
  std::size_t pending = 0;
  for (auto _ : state) {
    parking.seedRandom(1);
    pending = parking.recalcStaticParking(wanted);
    benchmark::DoNotOptimize(pending);
  }
  state.counters["stands"] = static_cast<double>(stands.size());
  state.counters["wanted"] = static_cast<double>(wanted);
  state.counters["pending"] = static_cast<double>(pending);
  par_parking_percentage.setValue(par_parking_percentage.defaultValue());
  par_MAX_FIT.setValue(par_MAX_FIT.defaultValue());
}
BENCHMARK(BM_FullParkingCalculation)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace crv

BENCHMARK_MAIN();
