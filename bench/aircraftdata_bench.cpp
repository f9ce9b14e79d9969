// Loading the shipped aircraft-type database and the size lookups that every
// spawned and parked aircraft asks.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/type_lookups.h"

namespace {

const std::filesystem::path kShippedDbase = CRVN_SHIPPED_DBASE_ENC;

std::filesystem::path plainPathForBench() {
  return std::filesystem::temp_directory_path() / "crvn_bench_dbase.xml";
}

void loadShippedDbase() { crv::readDbase(kShippedDbase, plainPathForBench()); }

void BM_readDbase(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(crv::readDbase(kShippedDbase, plainPathForBench()));
  }
}
BENCHMARK(BM_readDbase)->Unit(benchmark::kMillisecond);

// A mix as live traffic brings it: common airliners, a heavy, a business jet,
// a light aircraft, a helicopter and types the database does not know.
const std::vector<std::string>& trafficTypes() {
  static const std::vector<std::string> types = {"B738", "A320", "A20N", "B77W", "E190", "C172",
                                                 "GLF5", "AT76", "EC35", "XXXX", "", "B744",
                                                 "CRJ9", "DH8D", "PC12", "ZZZZ"};
  return types;
}

// One lookup of each traffic type in turn, from the shipped database.
template <typename Lookup>
void lookUpTrafficTypes(benchmark::State& state, Lookup lookup) {
  loadShippedDbase();
  const auto& types = trafficTypes();
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lookup(types[next]));
    next = (next + 1) % types.size();
  }
}

void BM_aircraftCategory(benchmark::State& state) {
  lookUpTrafficTypes(state, [](const std::string& type) { return crv::aircraftCategory(type); });
}
BENCHMARK(BM_aircraftCategory);

void BM_wingspanOfType(benchmark::State& state) {
  lookUpTrafficTypes(state, [](const std::string& type) { return crv::wingspanOfType(type); });
}
BENCHMARK(BM_wingspanOfType);

}  // namespace

BENCHMARK_MAIN();
