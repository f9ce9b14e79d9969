// The livery database over a generated list of 20,000 installed liveries:
// building every index with the registration codes, and matching a livery
// for each aircraft of a realistic traffic mix.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "aircraftdata/aircraft_base.h"
#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/data_file_key.h"
#include "aircraftdata/livery_database.h"
#include "aircraftdata/livery_matching.h"
#include "aircraftdata/type_lookups.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "tools/datatool/stream_encrypt.h"
#include "tools/liverygen/livery_generator.h"

namespace {

namespace fs = std::filesystem;

// A program folder with the delivered regcode file and one user file, made
// once; the benchmarks run inside it.
class BenchFolder {
 public:
  BenchFolder() : path_(fs::temp_directory_path() / "crvn_bench_liveries") {
    fs::remove_all(path_);
    fs::create_directories(path_ / "input" / "my_regcodes");
    crv::setDataFolderPath(path_ / "data");
    crv::readDbase(CRVN_SHIPPED_DBASE_ENC, path_ / "dbase.xml");
    liveries_ = crv::liverygen::generateLiveries(crv::aircraftDatabase(), {});
    crv::datatool::encryptFile(crv::kDataFileKey, writePlainAig(), path_ / "input" / "AIG-regcodes.enc");
    std::ofstream(path_ / "input" / "my_regcodes" / "mine.txt")
        << liveries_.front().title << ";MY-REG1,MY-REG2\n"
        << liveries_.back().title << ";MY-REG3\n";
    fs::current_path(path_);
  }

  const crv::LiveryList& liveries() const { return liveries_; }

 private:
  fs::path writePlainAig() {
    const fs::path plain = path_ / "aig-plain.xml";
    std::ofstream(plain) << crv::liverygen::generateAigRegcodesXml(liveries_, 1);
    return plain;
  }

  fs::path path_;
  crv::LiveryList liveries_;
};

BenchFolder& benchFolder() {
  static BenchFolder folder;
  return folder;
}

void BM_buildLiveryDatabase(benchmark::State& state) {
  const crv::LiveryList& liveries = benchFolder().liveries();
  for (auto _ : state) {
    auto database = std::make_unique<crv::LiveryDatabase>();
    database->build(liveries);
    benchmark::DoNotOptimize(database->regcodes.regcodeMap.size());
    state.PauseTiming();
    database.reset();
    state.ResumeTiming();
  }
  state.counters["liveries"] = static_cast<double>(liveries.size());
}
BENCHMARK(BM_buildLiveryDatabase)->Unit(benchmark::kMillisecond);

crv::AircraftBase makeAircraft(std::string airline, std::string type, std::string registration) {
  crv::AircraftBase base;
  base.identity.airline = std::move(airline);
  base.identity.icaoType = std::move(type);
  base.identity.registration = std::move(registration);
  base.identity.callsign = "BENCH1";
  base.category = crv::aircraftCategory(base.identity.icaoType);
  return base;
}

// Live traffic as it comes: most aircraft of an airline and type that is
// installed, some with their own special livery, some of a type the airline
// flies only in a similar variant, some of airlines without liveries, private
// aircraft and a few types nobody installed.
std::vector<crv::AircraftBase> trafficMix(const crv::LiveryList& liveries) {
  std::vector<const crv::LiveryData*> pool;
  for (const auto& livery : liveries) pool.push_back(&livery);
  std::mt19937 random(5);
  auto any = [&] { return pool[random() % pool.size()]; };
  const std::vector<std::string> similar = {"A319", "A320", "A321", "B738", "B739", "A20N", "B38M"};
  const std::vector<std::string> privateTypes = {"C172", "SR22", "PC12", "C56X", "EC35", "R44"};
  std::vector<crv::AircraftBase> mix;
  for (int i = 0; i < 4096; ++i) {
    const int roll = static_cast<int>(random() % 100);
    const crv::LiveryData& livery = *any();
    if (roll < 15 && !livery.atcid.empty()) {
      mix.push_back(makeAircraft(livery.airl, livery.type, livery.atcid));
    } else if (roll < 65) {
      mix.push_back(makeAircraft(livery.airl, livery.type, "N" + std::to_string(10000 + i)));
      mix.back().cargo = livery.cargo;
    } else if (roll < 75) {
      mix.push_back(makeAircraft(livery.airl, similar[random() % similar.size()], ""));
    } else if (roll < 85) {
      mix.push_back(makeAircraft("Q" + std::to_string(i % 90 + 10), livery.type, ""));
    } else if (roll < 95) {
      mix.push_back(makeAircraft("PVT", privateTypes[random() % privateTypes.size()], "N" + std::to_string(i)));
    } else {
      mix.push_back(makeAircraft("DLH", "ZZ99", ""));
    }
  }
  return mix;
}

void BM_matchLiveryAtSpawn(benchmark::State& state) {
  const crv::LiveryList& liveries = benchFolder().liveries();
  crv::LiveryDatabase database;
  database.build(liveries);
  crv::par_LOG.setValue(false);
  crv::par_MATCHING_DEPTH.setValue(4);
  const std::vector<crv::AircraftBase> mix = trafficMix(liveries);
  crv::MatchStepCounters counters;
  crv::LiveryMatcher matcher(database, {}, counters);
  std::size_t next = 0;
  std::size_t matched = 0;
  crv::AircraftBase aircraft;
  for (auto _ : state) {
    aircraft = mix[next];
    matcher.matchLiveryAtSpawn(aircraft);
    matched += aircraft.liveryTitle.empty() ? 0 : 1;
    next = (next + 1) % mix.size();
  }
  state.counters["matched%"] = 100.0 * static_cast<double>(matched) / static_cast<double>(state.iterations());
  for (int step = 1; step <= crv::kMatchStepCount; ++step) {
    state.counters["step" + std::to_string(step)] = counters.count(step);
  }
}
BENCHMARK(BM_matchLiveryAtSpawn);

}  // namespace

BENCHMARK_MAIN();
