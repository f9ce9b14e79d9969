#include "feed/downloader.h"

#include <gtest/gtest.h>

#include <thread>

#include "feed/version_check.h"
#include "foundation/session_flags.h"
#include "tests/feed/download_test_support.h"

namespace crv {
namespace {

using namespace std::chrono_literals;
using standin::Fault;
using testing::readFile;
using testing::writeFile;

class DownloaderTest : public ::testing::Test {
 protected:
  DownloaderTest() {
    body_.resize(200 * 1024);
    for (std::size_t i = 0; i < body_.size(); ++i) {
      body_[i] = static_cast<char>((i * 7919) % 251);
    }
    writeFile(world_.sitePath("data.bin"), body_);
    writeFile(target_, "installed");
  }

  DownloadOutcome download(const DownloadOptions& options, const DownloadCheck& check = {}) {
    return downloadToFile(handle_, world_.site().baseUrl + "data.bin", target_, true, options, check);
  }

  bool partFileLeft() const { return std::filesystem::exists(target_.string() + ".part"); }

  testing::DownloadWorld world_;
  CurlHandle handle_ = makeCurlHandle("download");
  std::filesystem::path target_ = world_.programFolder() / "data.bin";
  std::string body_;
};

struct FailureCase { const char* name; Fault fault; const char* reason; };

// Only a complete download replaces the target.
TEST_F(DownloaderTest, AFailedDownloadLeavesTheTargetAsItWas) {
  DownloadOptions tight = world_.site().options;
  tight.maximumBytes = 1000;
  const FailureCase cases[] = {
      {"404", Fault::notFound(), "HTTP status 404"},
      {"cut transfer", Fault::cut(), "Transferred a partial file"},
      {"stalled transfer", Fault::slow(3000ms), "Timeout was reached"},
  };
  for (const FailureCase& failure : cases) {
    world_.standIn().setFault("data.bin", failure.fault);
    const DownloadOutcome outcome = download(world_.site().options);
    EXPECT_FALSE(outcome) << failure.name;
    EXPECT_NE(outcome.failure.find(failure.reason), std::string::npos) << failure.name << ": " << outcome.failure;
    EXPECT_EQ(readFile(target_), "installed") << failure.name;
    EXPECT_FALSE(partFileLeft()) << failure.name;
  }
  world_.standIn().clearFaults();
  EXPECT_EQ(download(tight).failure, "longer than 1000 bytes");
  EXPECT_EQ(download(world_.site().options, [](const auto&) { return std::string("bad"); }).failure, "bad");
  EXPECT_EQ(readFile(target_), "installed");
  EXPECT_FALSE(partFileLeft());

  const DownloadOutcome outcome = download(world_.site().options);
  ASSERT_TRUE(outcome) << outcome.failure;
  EXPECT_EQ(readFile(target_), body_);
  EXPECT_FALSE(partFileLeft());
}

TEST_F(DownloaderTest, AStopAbortsARunningTransferQuickly) {
  world_.standIn().setFault("data.bin", Fault::slow(20ms, 8192));
  std::atomic<bool> stop{false};
  DownloadOptions options = world_.site().options;
  options.stop = &stop;
  std::chrono::steady_clock::time_point raisedAt;
  std::thread stopper([&] {
    // Raise the stop once the body is flowing.
    while (!std::filesystem::exists(target_.string() + ".part") ||
           std::filesystem::file_size(target_.string() + ".part") == 0) {
      std::this_thread::sleep_for(1ms);
    }
    raisedAt = std::chrono::steady_clock::now();
    stop.store(true);
  });
  const DownloadOutcome outcome = download(options);
  const auto returnedAt = std::chrono::steady_clock::now();
  stopper.join();
  EXPECT_EQ(outcome.failure, "stopped");
  // The transfer looks at the flag every 50 ms; the margin is for a loaded machine.
  EXPECT_LT(returnedAt - raisedAt, 250ms);
  EXPECT_EQ(readFile(target_), "installed");
  EXPECT_FALSE(partFileLeft());
}

TEST_F(DownloaderTest, AnUnwritableTargetOrAMissingHandleSendsNothing) {
  const std::filesystem::path nowhere = world_.programFolder() / "missing" / "data.bin";
  EXPECT_FALSE(downloadToFile(handle_, world_.site().baseUrl + "data.bin", nowhere, true));
  EXPECT_TRUE(world_.logContains("Could not open output file: " + nowhere.string() + ".part"));
  EXPECT_FALSE(downloadToFile(CurlHandle{}, world_.site().baseUrl + "data.bin", target_, true));
  EXPECT_EQ(world_.standIn().requestCount("data.bin"), 0u);
  EXPECT_EQ(readFile(target_), "installed");
}

// The downloader handed to the airport scan; the archive's addresses are
// the download-site stand-in's own test.
TEST_F(DownloaderTest, TheInjectedDownloaderKeepsToItsStopAndLogsAFailureWithItsAddress) {
  const UrlDownloader download = makeUrlDownloader(world_.site().options);
  const std::atomic<bool> stop{false};
  const std::filesystem::path copy = world_.programFolder() / "copy.bin";
  ASSERT_EQ(download(world_.site().baseUrl + "data.bin", copy, stop), DownloadResult::downloaded);
  EXPECT_EQ(readFile(copy), body_);
  EXPECT_EQ(download(world_.site().baseUrl + "missing.bin", copy, stop), DownloadResult::notThere);
  EXPECT_TRUE(world_.logContains(world_.site().baseUrl + "missing.bin: HTTP status 404"));
  const std::atomic<bool> stopped{true};
  EXPECT_EQ(download(world_.site().baseUrl + "data.bin", world_.programFolder() / "stopped.bin", stopped),
            DownloadResult::stopped);
  EXPECT_TRUE(world_.logContains(world_.site().baseUrl + "data.bin: stopped"));
  EXPECT_EQ(downloadBaseUrl(world_.site(), true), world_.site().baseUrl + "MSFS/");
}

// Downloads that the user's close cuts short, of the program's data files,
// of the version list and of airport files, are no failed downloads.
TEST_F(DownloaderTest, DownloadsStoppedByAUserCloseAreLoggedAsTheCloseNotAsFailures) {
  DownloadSite site = world_.site();
  site.options.stop = &stopRequestedFlag();
  setAirportDownloadSite({site.baseUrl, makeUrlDownloader(site.options), {}});
  setUserClosedWindow(true);
  raiseStop();
  EXPECT_FALSE(downloadFromSite(site, "data.bin", target_));
  checkVersions(site);
  EXPECT_EQ(downloadAirportFile("archive/stock/EHAM.xml", world_.programFolder() / "airport.xml"),
            "download stopped: '" + site.baseUrl + "MSFS/archive/stock/EHAM.xml'");
  EXPECT_FALSE(prepareOfflineLearning("EHAM"));
  clearStopRequest();
  setUserClosedWindow(false);
  setAirportDownloadSite({});

  const std::string log = world_.log();
  const std::string closed = ": stopped as the user closed CRVN";
  EXPECT_EQ(testing::missingPieces(log, {site.baseUrl + "data.bin" + closed, site.baseUrl + "versions.json" + closed,
                                         site.baseUrl + "MSFS/archive/stock/EHAM.xml" + closed}),
            "")
      << log;
  EXPECT_EQ(log.find("ailed"), std::string::npos) << log;
  EXPECT_EQ(readFile(target_), "installed");
}

}  // namespace
}  // namespace crv
