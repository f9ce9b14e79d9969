// Reading and saving the park airport's files: a base file of 400 stands and
// its learned file with 2,000 usage entries, in a program folder of its own.
// The plain XML parse of the same two files is the yardstick.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <system_error>

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/apf_reader.h"
#include "airports/learned_save.h"

namespace {

using namespace crv;

constexpr int kStandCount = 400;
constexpr int kUsageCount = 2000;
const std::string kBasePath = "airports/my_thirdparty/EHAM.xml";
const std::string kLearnedPath = "airports/learned/thirdparty/BenchPub/EHAM.xml";
constexpr const char* kMeta =
    R"(<meta><info name="author" value="CRVN"/><info name="version" value="11.0.2"/><info name="date" value="Dec 06, 2026"/></meta>)";

void writeText(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A program folder in the temporary folder with both files, made on first
// use and removed when the benchmark program ends.
class ProgramFolder {
 public:
  ProgramFolder() : path_(std::filesystem::temp_directory_path() / fmt::format("crvn-bench-{}", getpid())) {
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
    writeFiles();
  }
  ~ProgramFolder() {
    std::error_code error;
    std::filesystem::current_path(path_.parent_path(), error);
    std::filesystem::remove_all(path_, error);
  }
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

 private:
  static void writeFiles();

  std::filesystem::path path_;
};

void ProgramFolder::writeFiles() {
  std::mt19937 random(20261206);
  std::string base = std::string(kMeta) +
                     R"(<parameters><parameter name="airport_name" value="Bench"/><parameter name="publisher" value="BenchPub"/>)"
                     R"(<parameter name="altitude" value="-11"/></parameters><parkpositions>)";
  std::string learned = std::string(kMeta) + R"(<parameters><parameter name="airport_name" value="Bench"/></parameters><parkpositions>)";
  for (int i = 0; i < kStandCount; ++i) {
    base += fmt::format(R"(<parkpos id="S{}" latitude="{:.6f}" longitude="{:.6f}" heading="{}.0" radius="{}.0" cargo="false" ramp="{}"/>)",
                        i, 52.30 + (i / 20) * 0.0007, 4.76 + (i % 20) * 0.001, i % 360, 15 + i % 25,
                        i % 7 == 0 ? "true" : "false");
    learned += fmt::format(R"(<parkpos id="S{}">)", i);
    for (int n = 0; n < kUsageCount / kStandCount; ++n) {
      const int day = 1 + static_cast<int>(random() % 7);
      const int hour = static_cast<int>(random() % 45);
      learned += fmt::format(R"(<opt reg="PH-{}{}" airl="KLM" type="B738" day="{}" hh="{},{},{}" cs="KLM{}"/>)", i, n, day,
                             hour, hour + 1, hour + 2, i * 10 + n);
    }
    learned += "</parkpos>";
  }
  writeText(kBasePath, base + "</parkpositions>");
  writeText(kLearnedPath, learned + "</parkpositions>");
}

void prepareProgramFolder() { static const ProgramFolder folder; }

void BM_ParseBothFilesOnly(benchmark::State& state) {
  prepareProgramFolder();
  for (auto _ : state) {
    pugi::xml_document base;
    pugi::xml_document learned;
    benchmark::DoNotOptimize(base.load_file(kBasePath.c_str()));
    benchmark::DoNotOptimize(learned.load_file(kLearnedPath.c_str()));
  }
}
BENCHMARK(BM_ParseBothFilesOnly)->Unit(benchmark::kMillisecond);

void BM_LoadAirportFile(benchmark::State& state) {
  prepareProgramFolder();
  ParkAirportHeader header;
  QualityFactors quality;
  StandTable stands;
  for (auto _ : state) {
    stands.clear();
    gf_readApf(kBasePath, "EHAM", header, quality, stands);
  }
  state.counters["usage"] = static_cast<double>(
      std::accumulate(stands.begin(), stands.end(), std::size_t{0},
                      [](std::size_t sum, const ParkingPosition& stand) { return sum + stand.usage.size(); }));
}
BENCHMARK(BM_LoadAirportFile)->Unit(benchmark::kMillisecond);

void BM_SaveLearnedAirportFile(benchmark::State& state) {
  prepareProgramFolder();
  ParkAirportHeader header;
  QualityFactors quality;
  StandTable stands;
  gf_readApf(kBasePath, "EHAM", header, quality, stands);
  for (auto _ : state) {
    benchmark::DoNotOptimize(saveAirportFile("EHAM", header, stands));
  }
}
BENCHMARK(BM_SaveLearnedAirportFile)->Unit(benchmark::kMillisecond);

}  // namespace
