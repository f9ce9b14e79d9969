#include <gtest/gtest.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "airports/airport_downloads.h"
#include "airports/airport_locations.h"
#include "airports/airports_database.h"
#include "airports/closest_stand.h"
#include "foundation/session_flags.h"
#include "tests/airports/airport_file_fixtures.h"
#include "tools/download-standin/download_standin.h"

namespace crv {
namespace {

using testing::apfText;
using testing::baseParameters;
using testing::parameter;

// What the session wires in from the feed: a client with timeouts that gives
// up on stop and writes the target only when the whole body arrived.
DownloadFunction httpDownload(int port) {
  return [port](const std::string& url, const std::filesystem::path& target, const std::atomic<bool>& stop) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(std::chrono::seconds(2));
    std::string body;
    const auto result = client.Get(
        url.substr(url.find('/', std::string("http://").size())),
        [&body](const char* data, std::size_t length) { return body.append(data, length), true; },
        [&stop](std::uint64_t, std::uint64_t) { return !stop.load(); });
    if (result && (result->status == 404 || result->status == 410)) return DownloadResult::notThere;
    if (!result || result->status != 200) return DownloadResult::failed;
    testing::writeFile(target, body);
    return DownloadResult::downloaded;
  };
}

// The download site's stand-in on 127.0.0.1 serves a temporary folder;
// "MSFS/slow" trickles a byte every 100 ms.
class AirportDownloadsTest : public testing::AirportFilesTest {
 protected:
  AirportDownloadsTest() {
    put("MSFS/slow", std::string(100, '<'));
    standIn_.setFault("MSFS/slow", standin::Fault::slow(std::chrono::milliseconds(100), 1));
    setAirportDownloadSite({standIn_.baseUrl(), httpDownload(standIn_.port()), [this] { return now_.load(); }});
  }
  ~AirportDownloadsTest() override {
    setAirportDownloadSite({});
    setMsfs2020(true);
    clearStopRequest();
  }

  void put(const std::string& sitePath, std::string_view content) { testing::writeFile(site_ / sitePath, content); }
  int requests(const std::string& sitePath) const { return static_cast<int>(standIn_.requestCount(sitePath)); }

  testing::TempFolder site_;
  standin::DownloadStandIn standIn_{site_.path()};
  std::atomic<std::int64_t> now_{1'800'000'000};
};

TEST_F(AirportDownloadsTest, ArchiveProbesAreRememberedInsteadOfRepeatedEvery16Seconds) {
  EXPECT_FALSE(ensureAirportFile("EHAM"));
  now_ += 16;
  EXPECT_FALSE(ensureAirportFile("EHAM"));
  EXPECT_EQ(findAirportFilePath("EHAM"), "");
  EXPECT_EQ(requests("MSFS/archive/stock/EHAM.xml"), 1);
  now_ += kArchiveProbeSeconds;
  put("MSFS/archive/stock/EHAM.xml", apfText(baseParameters("stock"), testing::twoGates()));
  EXPECT_TRUE(ensureAirportFile("EHAM"));
  EXPECT_EQ(findAirportFilePath("EHAM"), "archive/stock/EHAM.xml");
  EXPECT_EQ(requests("MSFS/archive/stock/EHAM.xml"), 2);
  EXPECT_FALSE(std::filesystem::exists(path("EHAM.xml")));  // the probe's copy is gone

  EXPECT_FALSE(downloadArchivedAirport("../EHAM"));  // no plain code, no request
  EXPECT_EQ(requests("MSFS/archive/stock/../EHAM.xml"), 0);
}

TEST_F(AirportDownloadsTest, ArchivedBaseFileIsReadFromItsLocalCopy) {
  put("MSFS/archive/stock/EHAM.xml", apfText(baseParameters("stock"), testing::twoGates()));
  QualityFactors quality;
  EXPECT_EQ(gf_readApf("archive/stock/EHAM.xml", "EHAM", parkAirportHeader, quality, parkAirportStands()), "");
  EXPECT_EQ(parkAirportStands().size(), 2U);
  EXPECT_TRUE(std::filesystem::exists(path("airports/park_airport.xml")));

  setMsfs2020(false);
  EXPECT_EQ(downloadAirportFile("EHAM_addon.xml", "x.xml"),
            "failed to download: '" + standIn_.baseUrl() + "MSFS2024/EHAM_addon.xml'");
  EXPECT_EQ(gf_readApf("archive/stock/LEMD.xml", "LEMD", parkAirportHeader, quality, parkAirportStands()),
            "failed to download: '" + standIn_.baseUrl() + "MSFS/archive/stock/LEMD.xml'");
}

TEST_F(AirportDownloadsTest, StopEndsASlowDownloadAndIsNotRemembered) {
  std::thread stopper([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    raiseStop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NE(downloadAirportFile("slow", "slow.xml"), "");
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(std::filesystem::exists(path("slow.xml")));
}

TEST_F(AirportDownloadsTest, OfflineLearningNeedsAQualityFactorAndAFullWeek) {
  const auto archived = [](const char* real, const char* soft, const char* week) {
    return apfText(baseParameters("stock") + parameter("Qf_real", real) + parameter("Qf_soft", soft) +
                       parameter("RT_traffic_week", week),
                   "");
  };
  put("MSFS/archive/stock/EHAM.xml", archived("-1", "12", "27"));
  put("MSFS/archive/stock/EGLL.xml", archived("-1", "12", "26"));
  put("MSFS/archive/stock/LFPG.xml", archived("-1", "-1", "40"));
  put("MSFS/archive/stock/EDDF.xml", "<parameters><cut");
  EXPECT_TRUE(prepareOfflineLearning("EHAM"));
  EXPECT_FALSE(prepareOfflineLearning("EGLL"));
  EXPECT_FALSE(prepareOfflineLearning("LFPG"));
  EXPECT_FALSE(prepareOfflineLearning("EDDF"));
  EXPECT_FALSE(prepareOfflineLearning("KJFK"));
  for (const char* file : {"EHAM.xml", "EGLL.xml", "LFPG.xml", "EDDF.xml"}) {
    EXPECT_FALSE(std::filesystem::exists(path(file))) << file;
  }
  const std::string text = log();
  EXPECT_EQ(testing::missingPieces(text, {"===> EGLL not suitable for offline learning", "===> Failed to load EDDF.xml",
                                          "===> Failed to download KJFK.xml"}), "");
}

TEST_F(AirportDownloadsTest, ANeighbourWithACloserStandWinsTheClosestAirport) {
  const GeoPoint user{52.3000, 4.7600};
  AirportsDatabase& database = airportsDb();
  const AirportsDatabase saved = database;
  database.airports = {{"EHAA", "", 52.3300, 4.7600, 0.0}, {"EHAM", "", 52.3010, 4.7610, 0.0}};
  database.loaded = true;
  // EHAM, the nearer airport, has its stands far away on the site; EHAA,
  // met first and displaced by EHAM, has one 20 m from the user.
  put("MSFS/archive/stock/EHAM.xml",
            apfText(baseParameters("stock"), R"(<parkpos id="F1" latitude="52.31" longitude="4.78"/>)"));
  write("airports/my_thirdparty/EHAA.xml",
        apfText(baseParameters("MyPub"), R"(<parkpos id="X1" latitude="52.30018" longitude="4.76"/>)"));

  std::string standName;
  EXPECT_NEAR(gf_readDestApfForClosestStand("EHAA", user, standName), 20.0 / 1852.0, 0.001);
  EXPECT_EQ(standName, "X1");
  const std::optional<AirportRecord> closest = findClosestAirport(user);
  ASSERT_TRUE(closest);
  EXPECT_EQ(closest->code, "EHAA");
  EXPECT_FALSE(std::filesystem::exists(path("airport.xml")));
  EXPECT_NE(log().find("Airport EHAM is closest, but stand X1 at neighbouring airport EHAA is closer at 20 meters"),
            std::string::npos);
  standName = "kept";
  EXPECT_EQ(gf_readDestApfForClosestStand("LFPG", user, standName), kNoStandDistanceNm);
  EXPECT_EQ(standName, "kept");
  database = saved;
}

}  // namespace
}  // namespace crv
