// What the window shows of a session that cannot go on, or that has to
// catch up on something: the RealTraffic box after a refused login, the
// error line of a format error or of a damaged liveries file, the liveries
// box ticked for a rescan.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <fmt/format.h>

#include "app/program_parts.h"
#include "feed/json_reading.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "platform/window/control_model.h"
#include "tests/app/program_harness.h"
#include "tests/support/settings_fixture.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

constexpr platform::Colour kRed = 0x0000FF;
constexpr platform::Colour kGreen = 0x32CD32;

// The colour the RealTraffic box was filled with in the window's last
// paint; none when it was not painted.
std::optional<platform::Colour> realTrafficBox(const platform::WindowModel& window) {
  std::optional<platform::Colour> colour;
  for (const platform::PaintItem& item : window.lastPaint()) {
    if (item.kind == platform::PaintItem::Kind::FillRect && item.rect == platform::Rect{425, 30, 453, 112}) {
      colour = item.colour;
    }
  }
  return colour;
}

TEST(SessionNoticesTest, AfterARefusedLoginTheRealTrafficBoxIsRedUntilTheUserCloses) {
  ProgramHarness program;
  program.rt().queueJson(standin::kAuthPath, {{"status", kStatusKeyRefused}, {"message", "unknown key"}});
  program.start();
  ASSERT_TRUE(ProgramHarness::waitFor([] { return !errorLineText().empty(); }, 20s)) << program.log();
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return realTrafficBox(program.window()) == kRed; }, 20s));
  program.clickClose();
  ASSERT_TRUE(program.waitForExit().has_value());
}

TEST(SessionNoticesTest, LoggedInTheRealTrafficBoxIsGreen) {
  ProgramHarness program;
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return realTrafficBox(program.window()) == kGreen; }, 20s));
}

TEST(SessionNoticesTest, AFormatErrorShowsItsTextAloneOnTheErrorLineAndItsOriginInTheLog) {
  ProgramHarness program(
      [](SessionOptions& options) { options.checkVersions = [] { throw fmt::format_error("argument not found"); }; });
  program.start();
  ASSERT_TRUE(ProgramHarness::waitFor([] { return errorLineText() == "argument not found"; }, 20s))
      << errorLineText() << program.log();
  EXPECT_TRUE(program.waitForLog("Error std::format error: argument not found", 20s));
  EXPECT_TRUE(program.waitForLog("Exiting: SYSTEM ERROR", 20s));
  program.clickClose();
  ASSERT_TRUE(program.waitForExit().has_value());
}

TEST(SessionNoticesTest, ADamagedLiveriesFileEndsTheSessionWithItsErrorAndStaysAsItIs) {
  ProgramHarness program([](SessionOptions& options) { options.scanLiveries = programSessionOptions().scanLiveries; });
  program.storeSettings({{"SIM_CHOICE", "MSFS 2020"}, {"SCAN_LIVERIES", "false"}});
  const std::filesystem::path scanned = program.folder() / "output" / "LiveriesScanned.xml";
  const std::string damaged = "<other/>";
  writeFile(scanned, damaged);
  program.start();
  const std::string error =
      fmt::format("52: {} does not contain a <liveries> section", programPaths().liveriesScannedXml.string());
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return errorLineText() == error; }, 20s))
      << errorLineText() << program.log();
  EXPECT_TRUE(program.waitForLog("Error " + error, 20s));
  EXPECT_TRUE(program.waitForLog("Exiting: SYSTEM ERROR", 20s)) << program.log();
  EXPECT_EQ(readFile(scanned), damaged);
  EXPECT_FALSE(par_SCAN_LIVERIES.value());
  program.clickClose();
  ASSERT_TRUE(program.waitForExit().has_value());
  EXPECT_EQ(readFile(scanned), damaged);
}

TEST(SessionNoticesTest, AMissingLiveriesFileSwitchesTheLiveryScanOnAndTicksItsBox) {
  ProgramHarness program;
  program.storeSettings({{"SIM_CHOICE", "MSFS 2020"}, {"SCAN_LIVERIES", "false"}});
  std::filesystem::remove(program.folder() / "output" / "LiveriesScanned.xml");
  platform::mainWindowControls().setChecked(par_SCAN_LIVERIES.controlId(), false);  // as the setting was
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  EXPECT_TRUE(par_SCAN_LIVERIES.value());
  EXPECT_EQ(platform::mainWindowControls().isChecked(par_SCAN_LIVERIES.controlId()), std::optional<bool>(true));
  EXPECT_EQ(storedValue(parametersFilePath(), "SCAN_LIVERIES"), "true");
  EXPECT_TRUE(program.sawStatus(
      fmt::format("File {} is gone, rescan liveries", programPaths().liveriesScannedXml.string())));
}

// A file-system error of the session start shows on the error line with
// the operation that failed.
TEST(SessionNoticesTest, AFileSystemErrorOfTheSessionStartNamesItsOperation) {
  namespace fs = std::filesystem;
  struct Case {
    const char* spoiled;
    std::function<void(const fs::path& folder)> spoil;
    const char* operation;
  };
  const Case cases[] = {
      {"the liveries file links to itself",
       [](const fs::path& folder) {
         fs::remove(folder / "output" / "LiveriesScanned.xml");
         fs::create_symlink("LiveriesScanned.xml", folder / "output" / "LiveriesScanned.xml");
       },
       "filesystem error: exists: "},
      {"a file where a data folder belongs",
       [](const fs::path& folder) { writeFile(folder / "airports" / "learned", "not a folder"); },
       "filesystem error: create_directories: "},
  };
  for (const Case& c : cases) {
    ProgramHarness program;
    c.spoil(program.folder().path());
    program.start();
    EXPECT_TRUE(ProgramHarness::waitFor([&] { return errorLineText().starts_with(c.operation); }, 20s))
        << c.spoiled << ": " << errorLineText();
    program.clickClose();
    ASSERT_TRUE(program.waitForExit().has_value()) << c.spoiled;
  }
}

}  // namespace
}  // namespace crv::testing
