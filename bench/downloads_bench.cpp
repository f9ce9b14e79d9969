// Downloading and installing a 20 MB data file from the download-site
// stand-in, against a plain HTTP fetch of the same file into a file.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "feed/downloader.h"
#include "tools/download-standin/download_standin.h"
#include "tools/download-standin/site_builder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPlainBytes = 20u * 1024u * 1024u;

struct BenchSite {
  BenchSite() {
    folder = fs::temp_directory_path() / ("crvn-bench-downloads-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder / "site");
    fs::create_directories(folder / "input");
    std::string plain(kPlainBytes, '\0');
    std::mt19937 random(7);
    for (char& c : plain) {
      c = static_cast<char>('A' + random() % 26);
    }
    crv::standin::writeEncrypted(folder / "site" / "dbase.enc", plain);
    standIn = std::make_unique<crv::standin::DownloadStandIn>(folder / "site");
    site.baseUrl = standIn->baseUrl();
  }
  ~BenchSite() {
    standIn.reset();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  fs::path folder;
  std::unique_ptr<crv::standin::DownloadStandIn> standIn;
  crv::DownloadSite site;
};

BenchSite& benchSite() {
  static BenchSite site;
  return site;
}

std::size_t writeToFile(char* data, std::size_t size, std::size_t count, void* file) {
  return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
}

void BM_PlainHttpFetch(benchmark::State& state) {
  BenchSite& site = benchSite();
  const std::string url = site.site.baseUrl + "dbase.enc";
  const fs::path target = site.folder / "plain.enc";
  for (auto _ : state) {
    CURL* handle = curl_easy_init();
    std::FILE* file = std::fopen(target.c_str(), "wb");
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &writeToFile);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, file);
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    const CURLcode code = curl_easy_perform(handle);
    std::fclose(file);
    curl_easy_cleanup(handle);
    if (code != CURLE_OK) {
      state.SkipWithError("plain fetch failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(target)));
}
BENCHMARK(BM_PlainHttpFetch)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DownloadAndInstallDataFile(benchmark::State& state) {
  BenchSite& site = benchSite();
  const fs::path target = site.folder / "input" / "dbase.enc";
  for (auto _ : state) {
    if (!crv::downloadFromSite(site.site, "dbase.enc", target)) {
      state.SkipWithError("download failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(target)));
}
BENCHMARK(BM_DownloadAndInstallDataFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
