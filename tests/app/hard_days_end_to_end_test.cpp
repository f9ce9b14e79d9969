// The whole program against both stand-ins on hard days: a disk that fills
// up, outside bytes that would steer a terminal, a setting written by hand,
// a login that never succeeds.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "app/sim_choice.h"
#include "feed/json_reading.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "liveryscan/livery_scan.h"
#include "tests/app/program_harness.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/log_capture.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kWithin = 30s;

// Bytes of a log line that are neither text nor its line end.
bool holdsControlBytes(const std::string& log) {
  return std::any_of(log.begin(), log.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20U && c != '\n' && c != '\r' && c != '\t') || byte == 0x7FU;
  });
}

#ifndef _WIN32
TEST(HardDaysTest, AFullDiskIsShownOnTheErrorLineAndTheLogGoesOnOnceSpaceReturns) {
  ProgramHarness harness;
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  {
    ScopedFileSizeLimit full(std::filesystem::file_size(harness.folder() / "Log.txt"));
    // The reader's failure ends the session and restarts it: many lines.
    harness.rt().queueJson(standin::kTrafficPath, {{"status", kStatusReauthenticate}});
    ASSERT_TRUE(ProgramHarness::waitFor(
        [] { return errorLineText().starts_with("Writing Log.txt failed (File too large)"); }, kWithin));
    full.lift();
  }
  ASSERT_TRUE(ProgramHarness::waitFor([&harness] { return harness.session().sessionsStarted() >= 2; }, kWithin));
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  harness.clickClose();
  ASSERT_TRUE(harness.waitForExit(kWithin).has_value());
  const std::string log = harness.log();
  EXPECT_EQ(countOf(log, " lines lost\n"), 1u) << log;
  // The session after the gap is logged, and the program's end.
  EXPECT_LT(log.find(" lines lost\n"), log.rfind("Authenticated at RT server")) << log;
  EXPECT_NE(log.find("Exiting: USER CLOSED SIM"), std::string::npos) << log;
  EXPECT_EQ(errorLineText(), "");
}
#endif

TEST(HardDaysTest, ControlBytesOfTheServersAnswerReachTheLogEscaped) {
  ProgramHarness harness;
  harness.rt().queueJson(standin::kAuthPath, {{"status", 200},
                                              {"GUID", "guid-1"},
                                              {"server", std::string("rt\x1B[2J\r\x07\0x", 10)},
                                              {"rrl", 200},
                                              {"wrrl", 200}});
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  ASSERT_TRUE(harness.waitForLog("Authenticated at RT server", kWithin));
  const std::string log = harness.log();
  EXPECT_NE(log.find("Authenticated at RT server 'rt\\x1B[2J\\x0D\\x07\\x00x'"), std::string::npos) << log;
  EXPECT_FALSE(holdsControlBytes(log));
}

// The simulator is MSFS 2020 exactly when the choice reads "MSFS 2020": a
// choice written by hand in lower case is kept as written and chooses MSFS
// 2024, so the user is told that MSFS 2020 runs.
TEST(HardDaysTest, ASimulatorChoiceWrittenInLowerCaseIsKeptWithAWarningAndChoosesMsfs2024) {
  ProgramHarness harness;
  std::filesystem::create_directories(harness.packagesFolder() / "Official2024");
  harness.storeSettings({{"SIM_CHOICE", "msfs 2020"}});
  harness.start();
  ASSERT_TRUE(ProgramHarness::waitFor(
      [] { return errorLineText().find("MSFS 2020 is running") != std::string::npos; }, kWithin))
      << errorLineText() << harness.log();
  EXPECT_FALSE(isMsfs2020());
  EXPECT_EQ(par_SIM_CHOICE.value(), "msfs 2020");
  EXPECT_NE(harness.log().find("===> Parameter 'SIM_CHOICE' has the value \"msfs 2020\", which is none of "
                               "\"MSFS 2020\" or \"MSFS 2024\"; \"msfs 2020\" is used"),
            std::string::npos)
      << harness.log();
  harness.clickClose();
  ASSERT_TRUE(harness.waitForExit(kWithin).has_value());
  clearErrorLine();
}

// A package order written by hand is kept as well; the automatic livery
// scan, which knows six orders, tells the user it is not set.
TEST(HardDaysTest, APackageOrderWrittenByHandIsKeptAndTheAutomaticScanSaysItIsNotSet) {
  ProgramHarness harness([](SessionOptions& options) {
    options.scanLiveries = [] {
      LiveryScanContext context;
      context.communityFolder = packagesPathForSim("Community");
      scanLiveries(context);
    };
  });
  harness.storeSettings({{"SIM_CHOICE", kSimChoiceMsfs2020},
                         {"SCAN_LIVERIES", "true"},
                         {"LIG_AUTOMATIC", "true"},
                         {"AI_PACKAGE_SELECTOR", "PMDG"}});
  harness.start();
  ASSERT_TRUE(ProgramHarness::waitFor([] { return !errorLineText().empty(); }, kWithin)) << harness.log();
  EXPECT_EQ(errorLineText(), "AI_PACKAGE_SELECTOR not set") << harness.log();
  EXPECT_EQ(par_AI_PACKAGE_SELECTOR.value(), "PMDG");
  clearErrorLine();
}

TEST(HardDaysTest, ALoginThatFailsAtEveryRestartKeepsEverySessionInTheLog) {
  ProgramHarness harness;
  for (int answer = 0; answer < 200; ++answer) {
    harness.rt().queueAnswer(standin::kAuthPath, standin::Answer::httpError(500, "<html>Internal Server Error</html>"));
  }
  harness.start();
  const auto sessions = [&harness](std::size_t count) {
    return ProgramHarness::waitFor([&harness, count] { return harness.session().sessionsStarted() >= count; },
                                   60s);
  };
  ASSERT_TRUE(sessions(4)) << harness.log();
  const std::string afterFour = harness.log();
  ASSERT_TRUE(sessions(8)) << harness.log();
  harness.clickClose();
  ASSERT_TRUE(harness.waitForExit(kWithin).has_value());
  const std::string log = harness.log();
  const std::size_t sessionsRun = harness.session().sessionsStarted();
  // Every restart still asked the service.
  EXPECT_GE(harness.rt().requestCount(standin::kAuthPath), 7u);
  // What was written stays as it was written, the later sessions after it.
  EXPECT_EQ(log.substr(0, afterFour.size()), afterFour);
  // Each session's lines, the same as the one before, are all there.
  EXPECT_EQ(countOf(log, "parameters *"), sessionsRun) << log;
  // (The user may end the last one before it asks.)
  EXPECT_GE(countOf(log, "/v4/auth: HTTP 500"), sessionsRun - 1) << log;
  EXPECT_LE(countOf(log, "/v4/auth: HTTP 500"), sessionsRun) << log;
  EXPECT_EQ(countOf(log, "===> authenticate: [json.exception.parse_error"), countOf(log, "/v4/auth: HTTP 500")) << log;
  EXPECT_EQ(log.find("more time"), std::string::npos) << log;
  EXPECT_NE(log.find("Exiting: USER CLOSED SIM"), std::string::npos) << log;
}

}  // namespace
}  // namespace crv::testing
