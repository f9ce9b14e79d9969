// The add-on airport scan as the session runs it at its start.

#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "airportscan/airport_scan.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "tests/airportscan/bgl_builder.h"
#include "tests/app/program_harness.h"

namespace crv::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string airportWithParkings(const std::string& icao, int parkings) {
  std::vector<BglParkingSpec> list;
  for (int index = 0; index < parkings; ++index) {
    list.push_back({10, static_cast<unsigned>(index + 1), 1, 20.0F, 90.0F, 52.46 + index * 0.001, 5.52, 0});
  }
  return bglFile({bglAirport(BglAirportSpec{icao, 0, {bglParkingList(list)}})});
}

TEST(AddonScanSession, AnUndeletableFileEndsTheSessionWithErrorFiveAndAKnownCreatorsAirportIsCollectedForOfflineLearning) {
#ifdef _WIN32
  GTEST_SKIP() << "the entries of a proc file system folder stand for locked files here";
#endif
  ProgramHarness harness([](SessionOptions& options) {
    options.scanAddonAirports = [] {
      AirportScanOptions scan;
      scan.folders = {fs::current_path() / "Packages" / "Community"};
      scan.isSuitableForOfflineLearning = [](const std::string&) { return true; };
      scanAddonAirports(scan);
    };
  });
  const fs::path community = harness.packagesFolder() / "Community";
  writeFile(community / "dev-ehle" / "manifest.json", R"({"creator": "Qwerty Sceneries", "title": "Lelystad"})");
  writeFile(community / "dev-ehle" / "scenery" / "ehle.bgl", airportWithParkings("EHLE", 3));
  // Nobody, root included, can delete the entries of /proc/self/fdinfo: a
  // my_simaddon folder that leads there holds nothing but locked files.
  const fs::path airports = harness.folder() / "airports";
  fs::create_directories(airports);
  fs::create_directory_symlink("/proc/self/fdinfo", airports / "my_simaddon");
  writeFile(airports / "my_thirdparty" / "OLD1.xml", "<old/>");

  harness.start();
  ASSERT_TRUE(ProgramHarness::waitFor([] { return errorLineText().starts_with("5: "); }, 20s)) << harness.log();
  EXPECT_NE(errorLineText().find("my_simaddon"), std::string::npos) << errorLineText();
  EXPECT_TRUE(harness.waitForLog("Exiting: SYSTEM ERROR", 20s)) << harness.log();
  EXPECT_TRUE(fs::exists(airports / "my_thirdparty" / "OLD1.xml")) << "the scan ended before it";
  EXPECT_TRUE(par_SCAN_AIRPORTS.value()) << "nothing was scanned";
  harness.clickClose();
  ASSERT_TRUE(harness.waitForExit().has_value());

  // The user closes the program that held the file and starts again.
  fs::remove(airports / "my_simaddon");
  harness.startAgain();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  const std::string log = harness.log();
  EXPECT_EQ(log.find("SYSTEM ERROR"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(airports / "my_thirdparty" / "OLD1.xml")) << "the rest is emptied as before";
  EXPECT_FALSE(par_SCAN_AIRPORTS.value());
  // Its creator names the airport's maker: a copy for offline learning.
  EXPECT_TRUE(fs::exists(harness.folder() / "TBLO" / "EHLE.xml")) << log;
  harness.clickClose();
  EXPECT_TRUE(harness.waitForExit().has_value());
}

}  // namespace
}  // namespace crv::testing
