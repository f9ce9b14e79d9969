// The add-on airport scan over a generated Community folder of 2,000 BGL
// files (one airport each: 2 helipads and 40 parkings, no publisher, so
// every airport becomes a generated airport file), against a plain read of
// the same files in the same run: the same walk reading every BGL file
// whole, on one thread. A third measure adds to that plain read the file
// work that the scan cannot avoid, for reference: the folder of generated
// files emptied and one file written into it per BGL file.
//
// The tree lies in the temporary folder (TMPDIR). On a file system without a
// journal, ext4 passes over recently deleted inodes when it creates a file,
// so every file created soon after thousands were deleted costs more; the
// scan and the reference pay it alike.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "airportscan/airport_scan.h"
#include "foundation/files.h"
#include "foundation/settings.h"
#include "foundation/workers.h"
#include "tests/airportscan/bgl_builder.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFileCount = 2000;

std::string airportBgl(int index) {
  using namespace crv::testing;
  std::vector<BglParkingSpec> parkings;
  for (int stand = 0; stand < 40; ++stand) {
    parkings.push_back({10, static_cast<unsigned>(stand + 1), 1 + static_cast<unsigned>(stand % 7), 20.0F, 90.0F,
                        40.0 + index * 0.001 + stand * 0.0001, 4.0 + index * 0.001, 1});
  }
  return bglFile({bglAirport(BglAirportSpec{
      fmt::format("{}{}{:02}", static_cast<char>('A' + index / 100 % 26), static_cast<char>('A' + index / 10 % 10),
                  index % 100),
      1000,
      {bglHelipad({40.5, 4.5, 20.0F}), bglHelipad({40.6, 4.6, 20.0F}), bglParkingList(parkings)}})});
}

class ScanTree {
 public:
  ScanTree() : root_(fs::temp_directory_path() / fmt::format("crvn-apscan-bench-{}", ::getpid())) {
    fs::create_directories(root_);
    previous_ = fs::current_path();
    fs::current_path(root_);
    for (int index = 0; index < kFileCount; ++index) {
      const fs::path folder = community() / fmt::format("dev-pkg-{}", index / 20) / "scenery";
      fs::create_directories(folder);
      const std::string bytes = airportBgl(index);
      std::ofstream(folder / fmt::format("ap{}.bgl", index), std::ios::binary) << bytes;
      bytes_ += bytes.size();
    }
  }
  ~ScanTree() {
    fs::current_path(previous_);
    fs::remove_all(root_);
  }
  fs::path community() const { return root_ / "Community"; }
  std::size_t bytes() const { return bytes_; }

 private:
  fs::path root_;
  fs::path previous_;
  std::size_t bytes_ = 0;
};

ScanTree& tree() {
  static ScanTree generated;
  return generated;
}

void BM_AirportScan(benchmark::State& state) {
  crv::setWorkerLimit(static_cast<int>(std::max(1U, std::thread::hardware_concurrency())));
  crv::setMsfs2020(true);
  crv::AirportScanOptions options;
  options.folders = {tree().community()};
  options.isSuitableForOfflineLearning = [](const std::string&) { return false; };
  for (auto _ : state) {
    crv::scanAddonAirports(options);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tree().bytes()));
}

void BM_PlainReadOfTheSameFiles(benchmark::State& state) {
  for (auto _ : state) {
    std::size_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(tree().community())) {
      if (entry.is_regular_file() && entry.path().extension() == ".bgl") {
        std::string bytes;
        crv::readFileBytes(entry.path(), bytes);
        total += bytes.size();
      }
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tree().bytes()));
}

// Reference: the plain read plus the file work the scan cannot avoid: the
// folder of generated files emptied, then one file of the same size per BGL
// file written into it by the atomic write, on one thread.
void BM_PlainReadAndWriteOfTheSameFiles(benchmark::State& state) {
  const fs::path out = fs::current_path() / "writes";
  fs::create_directories(out);
  for (auto _ : state) {
    crv::emptyFolder(out);
    std::size_t total = 0;
    int index = 0;
    for (const auto& entry : fs::recursive_directory_iterator(tree().community())) {
      if (entry.is_regular_file() && entry.path().extension() == ".bgl") {
        std::string bytes;
        crv::readFileBytes(entry.path(), bytes);
        total += bytes.size();
        crv::writeFileAtomically(out / fmt::format("{}.xml", index++), bytes, crv::Durability::Regenerable);
      }
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tree().bytes()));
}

BENCHMARK(BM_AirportScan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainReadOfTheSameFiles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainReadAndWriteOfTheSameFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
