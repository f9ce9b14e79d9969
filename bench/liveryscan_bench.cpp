// The livery scan over a generated installation of 10,000 aircraft.cfg
// files (about 30,000 liveries of real types and airlines, in three AI
// packages), against a plain read of the same files in the same run: a walk
// of the same folders reading every aircraft.cfg whole, on one thread.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "aircraftdata/aircraft_database.h"
#include "foundation/files.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/workers.h"
#include "liveryscan/livery_scan.h"
#include "tools/liverygen/livery_generator.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFileCount = 10000;
constexpr std::size_t kLiveriesPerFile = 3;

// One aircraft.cfg as the AI packages write them: a [General] block, then
// one [fltsim.N] section per livery with the usual keys.
std::string aircraftCfg(const std::vector<const crv::LiveryData*>& liveries) {
  std::string text = fmt::format(
      "[VERSION]\nmajor = 1\nminor = 0\n\n[GENERAL]\natc_type = \"TT:ATCCOM.ATC_NAME {0}.0.text\"\n"
      "atc_model = \"TT:ATCCOM.AC_MODEL_{0}.0.text\"\nicao_type_designator = \"{0}\"\n"
      "Category = airplane\nperformance = \"\"\n\n",
      liveries.front()->type);
  for (std::size_t index = 0; index < liveries.size(); ++index) {
    const crv::LiveryData& livery = *liveries[index];
    text += fmt::format(
        "[FLTSIM.{}]\ntitle = \"{}\" ; livery\nmodel = \"\"\ntexture = \"{}\"\nui_manufacturer = "
        "\"TT:AIRCRAFT.UI_MANUFACTURER\"\nui_type = \"{}\"\nui_variation = \"{}\"\natc_airline = \"$$:{}\"\n"
        "atc_id = \"{}\"\nicao_airline = \"{}\"\natc_parking_types = \"{}\"\natc_parking_codes = \"{}\"\n"
        "description = \"Generated for the benchmark\"\n\n",
        index, livery.title, livery.airl, livery.type, livery.title, livery.airl, livery.atcid,
        livery.airl == "PVT" ? "" : livery.airl, livery.cargo ? "CARGO" : "GATE,RAMP", livery.airl);
  }
  return text;
}

class Installation {
 public:
  Installation() : path_(fs::temp_directory_path() / "crvn_bench_liveryscan") {
    fs::remove_all(path_);
    fs::create_directories(path_);
    crv::setDataFolderPath(path_ / "data");
    crv::readDbase(CRVN_SHIPPED_DBASE_ENC, path_ / "dbase.xml");
    const crv::LiveryList liveries =
        crv::liverygen::generateLiveries(crv::aircraftDatabase(), {kFileCount * (kLiveriesPerFile + 1), 300, 7});
    // Liveries of one type share a file, as in the packages.
    std::map<std::string, std::vector<const crv::LiveryData*>> byType;
    for (const crv::LiveryData& livery : liveries) byType[livery.type].push_back(&livery);
    const char* packages[] = {"aig-aitraffic-oci", "fsltl-traffic-base", "user-aitraffic"};
    std::size_t file = 0;
    for (const auto& [type, ofType] : byType) {
      for (std::size_t first = 0; first < ofType.size() && file < kFileCount; first += kLiveriesPerFile, ++file) {
        const std::vector<const crv::LiveryData*> chunk(
            ofType.begin() + static_cast<std::ptrdiff_t>(first),
            ofType.begin() + static_cast<std::ptrdiff_t>(std::min(first + kLiveriesPerFile, ofType.size())));
        const fs::path folder = path_ / "Community" / packages[file % 3] / "SimObjects" / "Airplanes" /
                                fmt::format("{}_{}", type, file);
        fs::create_directories(folder);
        std::ofstream(folder / "aircraft.cfg") << aircraftCfg(chunk);
      }
    }
    files_ = file;
    for (const char* package : packages) folders_.push_back((path_ / "Community" / package).string());
    fs::current_path(path_);
    crv::setWorkerLimit(static_cast<int>(std::thread::hardware_concurrency()));
  }

  const std::vector<std::string>& folders() const { return folders_; }
  std::size_t files() const { return files_; }

 private:
  fs::path path_;
  std::vector<std::string> folders_;
  std::size_t files_ = 0;
};

Installation& installation() {
  static Installation installation;
  return installation;
}

void BM_PlainRead(benchmark::State& state) {
  const Installation& install = installation();
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (const std::string& folder : install.folders()) {
      for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().filename() != "aircraft.cfg") continue;
        std::string content;
        crv::readFileBytes(entry.path(), content);
        bytes += content.size();
      }
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["files"] = static_cast<double>(install.files());
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_LiveryScan(benchmark::State& state) {
  const Installation& install = installation();
  crv::LiveryScanContext context;
  std::size_t liveries = 0;
  for (auto _ : state) {
    if (crv::scanLiveryFolders(install.folders(), context) != crv::FolderScanResult::Found) {
      state.SkipWithError("the scan found nothing");
      return;
    }
  }
  crv::readLiveriesScannedXml();
  liveries = crv::scannedLiveries().size();
  state.counters["files"] = static_cast<double>(install.files());
  state.counters["liveries"] = static_cast<double>(liveries);
}
BENCHMARK(BM_LiveryScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
