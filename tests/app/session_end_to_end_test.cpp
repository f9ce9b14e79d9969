// The whole program against both stand-ins: a session starts, logs in,
// takes history and live traffic, and ends (and restarts) for every reason.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "app/rt_account.h"
#include "app/sim_choice.h"
#include "feed/json_reading.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "tests/support/settings_fixture.h"
#include "platform/os/timer_period.h"
#include "tests/app/program_harness.h"
#include "tests/support/log_capture.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kExitWithin = 20s;

class SessionEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    harness_.start();
    ASSERT_TRUE(harness_.waitUntilRunning()) << harness_.log();
  }

  // Waits for the second session to run, then checks the first one's exit
  // reason and the countdown before the restart.
  void expectRestartAfter(const std::string& reason, int seconds) {
    ASSERT_TRUE(ProgramHarness::waitFor([this] { return harness_.session().sessionsStarted() >= 2; }, kExitWithin))
        << harness_.log();
    ASSERT_TRUE(harness_.waitUntilRunning()) << harness_.log();
    EXPECT_NE(harness_.log().find("Exiting: " + reason), std::string::npos);
    EXPECT_NE(harness_.log().find(fmt::format("Restarting after {} seconds\n\n\n\n\n", seconds)), std::string::npos);
    EXPECT_TRUE(harness_.sawStatus(fmt::format("Restarting after {} seconds", seconds)));
    EXPECT_TRUE(harness_.sawStatus("Restarting after 2 seconds"));
    EXPECT_TRUE(harness_.sawStatus("Restarting after 1 second"));
  }

  ProgramHarness harness_;
};

TEST_F(SessionEndToEndTest, ASessionLogsInTakesTrafficAndClosesWithinASecond) {
  ASSERT_TRUE(ProgramHarness::waitFor([this] { return harness_.session().display().liveKnown.load() >= 1; }, 10s))
      << harness_.log();
  EXPECT_GE(harness_.rt().requestCount(standin::kAuthPath), 1u);
  EXPECT_EQ(platform::openTimerPeriods(), 2);  // the main loop and the SimClient's dispatch loop

  const auto clicked = std::chrono::steady_clock::now();
  harness_.clickClose();
  const auto code = harness_.waitForExit(kExitWithin);
  const auto closing = std::chrono::steady_clock::now() - clicked;
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0);
  EXPECT_LT(closing, 1s);
  const std::string log = harness_.log();
  EXPECT_EQ(countOf(log, "Exiting: USER CLOSED SIM"), 1u);
  EXPECT_EQ(harness_.rt().requestCount(standin::kDeauthPath), 1u);
  EXPECT_NE(par_LAST_EPOCH_TIME.value(), 0);
  EXPECT_EQ(harness_.session().sessionsStarted(), 1u);
}

// The session's own waits at their real length, and a service that asks for
// seconds between weather requests: once logged in the session shows that
// it waits for traffic, not that it still logs in.
TEST(LoginPhaseTest, OnceAuthenticatedTheSessionShowsThatItWaitsForTraffic) {
  ProgramHarness harness({}, 1.0);
  harness.rt().setPace(500, 2000);
  harness.start();
  ASSERT_TRUE(harness.waitForLog("Authenticated at RT server", kExitWithin)) << harness.log();
  const auto& phase = harness.session().display().phase;
  EXPECT_TRUE(ProgramHarness::waitFor([&phase] { return phase.load() != SessionDisplay::Phase::loggingIn; }, 300ms))
      << phaseText(phase.load());
  EXPECT_TRUE(harness.waitUntilRunning()) << harness.log();
  harness.clickClose();
  EXPECT_EQ(harness.waitForExit(kExitWithin), 0);
}

TEST_F(SessionEndToEndTest, ANewPackagesPathRestartsAfterThreeSeconds) {
  const std::string typed = (harness_.packagesFolder() / "Community").string();
  EXPECT_EQ(lf_newSimPath(par_MSFS_INSTALL_PATH, typed), NewPathOutcome::accepted);
  expectRestartAfter("NEW SETTINGS", 3);
  EXPECT_EQ(par_MSFS_INSTALL_PATH.value(), harness_.packagesFolder().string());
}

TEST_F(SessionEndToEndTest, AFailedSimulatorRequestRestartsAfterNineSecondsWithoutRescans) {
  harness_.sim().failNext(platform::SimFunction::RequestDataOnSimObjectType, 1);
  expectRestartAfter("SIMCONNECT ERROR", 9);
  EXPECT_NE(harness_.log().find("SimConnect request error"), std::string::npos);
  EXPECT_FALSE(par_SCAN_LIVERIES.value());
  EXPECT_FALSE(par_SCAN_AIRPORTS.value());
}

// A user error ends the SimClient thread and closes its connection while
// the flight still counts as running: the next request fails on the closed
// link and the session starts again.
TEST_F(SessionEndToEndTest, AVersionMismatchWhileAFlightRunsRestartsAfterNineSeconds) {
  harness_.sim().raiseException(SIMCONNECT_EXCEPTION_VERSION_MISMATCH, 0, 3);
  expectRestartAfter("SIMCONNECT ERROR", 9);
  EXPECT_NE(harness_.log().find("95: SimConnect Version Mismatch, dwIndex: 3"), std::string::npos) << harness_.log();
}

TEST_F(SessionEndToEndTest, AnUnauthorizedReaderRestartsAfterFifteenSeconds) {
  harness_.rt().queueJson(standin::kTrafficPath, {{"status", kStatusReauthenticate}});
  expectRestartAfter("READER ERROR", 15);
  // Both readers were logged out and joined before the new session logged in.
  EXPECT_EQ(harness_.rt().requestCount(standin::kDeauthPath), 1u);
  EXPECT_EQ(harness_.rt().requestCount(standin::kAuthPath), 2u);
  // The restart logs every setting it read again.
  const std::string log = harness_.log();
  EXPECT_EQ(countOf(log, "\nMAX_LIVE_SEL=500\n"), 2u) << log;
  EXPECT_EQ(countOf(log, "\nSIM_CHOICE=\"MSFS 2020\"\n"), 2u) << log;
}

TEST_F(SessionEndToEndTest, ACloseDuringTheRestartCountdownQuits) {
  harness_.rt().queueJson(standin::kTrafficPath, {{"status", kStatusReauthenticate}});
  ASSERT_TRUE(ProgramHarness::waitFor([this] { return harness_.sawStatus("Restarting after 12 seconds"); }, kExitWithin));
  harness_.clickClose();
  const auto code = harness_.waitForExit(kExitWithin);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(harness_.session().sessionsStarted(), 1u);
  EXPECT_FALSE(harness_.sawStatus("Restarting after 1 second"));
}

TEST_F(SessionEndToEndTest, ACloseWhileTheSessionStopsForARestartQuits) {
  // The logout is answered late: the close comes while closing down waits
  // for it, before any countdown.
  harness_.rt().queueAnswer(standin::kDeauthPath, standin::Answer::json({{"status", 200}}, 3s));
  harness_.rt().queueJson(standin::kTrafficPath, {{"status", kStatusReauthenticate}});
  ASSERT_TRUE(harness_.waitForLog("Exiting: READER ERROR", kExitWithin)) << harness_.log();
  harness_.clickClose();
  const auto code = harness_.waitForExit(kExitWithin);
  ASSERT_TRUE(code.has_value()) << harness_.log();
  EXPECT_EQ(*code, 0);
  EXPECT_EQ(harness_.session().sessionsStarted(), 1u);
  EXPECT_EQ(harness_.rt().requestCount(standin::kAuthPath), 1u);
  EXPECT_TRUE(harness_.sawStatus("User closed CRVN"));
  EXPECT_EQ(harness_.log().find("Restarting after"), std::string::npos) << harness_.log();
}

TEST_F(SessionEndToEndTest, TheSimulatorQuittingEndsTheProgram) {
  harness_.sim().quit();
  const auto code = harness_.waitForExit(kExitWithin);
  ASSERT_TRUE(code.has_value()) << harness_.log();
  const std::string log = harness_.log();
  EXPECT_NE(log.find("Flight Simulator no longer connected, CRVN will stop ..."), std::string::npos);
  EXPECT_NE(log.find("Exiting: SIM WAS CLOSED"), std::string::npos);
  EXPECT_EQ(harness_.session().sessionsStarted(), 1u);
  EXPECT_FALSE(harness_.session().link().simRunning.load());
}

TEST_F(SessionEndToEndTest, ANewFlightShowsItsNoticeAndEndsTheProgram) {
  harness_.sim().loadFlight("flight.FLT", platform::FlightLoadedForm::Event);
  const auto code = harness_.waitForExit(kExitWithin);
  ASSERT_TRUE(code.has_value()) << harness_.log();
  EXPECT_NE(harness_.log().find("Exiting: NEW FLIGHT"), std::string::npos);
  EXPECT_TRUE(harness_.sawStatus("New flight detected, CRVN will close, please restart manually ..."));
  EXPECT_EQ(harness_.session().sessionsStarted(), 1u);
}

TEST_F(SessionEndToEndTest, ASystemErrorWaitsForTheUserToClose) {
  harness_.rt().queueJson(standin::kTrafficPath, {{"status", kStatusDataRefused}});
  ASSERT_TRUE(harness_.waitForLog("Exiting: SYSTEM ERROR", kExitWithin)) << harness_.log();
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(harness_.waitForExit(0ms).has_value());
  harness_.clickClose();
  const auto code = harness_.waitForExit(kExitWithin);
  ASSERT_TRUE(code.has_value());
  EXPECT_TRUE(harness_.sawStatus("User closed CRVN"));
  EXPECT_EQ(harness_.session().sessionsStarted(), 1u);
}

// A save killed halfway leaves its temporary beside the file it would have
// replaced; the next start removes every such one, and nothing else.
TEST(StartTest, TemporariesOfKilledSavesBesideEveryAtomicallyWrittenFileAreRemoved) {
  ProgramHarness harness;
  const std::filesystem::path stale[] = {
      harness.folder() / "airports" / "learned" / "thirdparty" / "Pub" / "EHAM.xml.tmp0badf00d",
      harness.folder() / "airports" / "learned" / "stock" / "EGLL.xml.tmp12345678",
      harness.folder() / "airports" / "my_park_airports.txt.tmpabcdef01",
      harness.folder() / "output" / "LiveriesScanned.xml.tmp00000000",
      harness.folder() / "input" / "dbase.enc.tmpffffffff",
  };
  for (const auto& path : stale) {
    writeFile(path, "half a save");
  }
  const std::filesystem::path notOurs = harness.folder() / "airports" / "my_park_airports.txt.tmp-by-hand";
  writeFile(notOurs, "kept");
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  for (const auto& path : stale) {
    EXPECT_FALSE(std::filesystem::exists(path)) << path;
  }
  EXPECT_TRUE(std::filesystem::exists(notOurs));
  EXPECT_NE(harness.log().find("EHAM.xml.tmp0badf00d', left by an interrupted save"), std::string::npos);
}

// A pasted text that cannot be a key stops the session at its start with
// error 151, before any login: no login that fails and restarts for ever.
TEST(StartTest, AKeyThatCannotBeOneIsRefusedBeforeAnyLogin) {
  ProgramHarness harness([](SessionOptions& options) { options.loadAccount = loadRtAccount; });
  setenv(kRtKeyVariable, std::string(10 * 1024, 'k').c_str(), 1);
  harness.start();
  const bool shown = ProgramHarness::waitFor(
      [] { return errorLineText().starts_with("151: The RealTraffic key from CRVN_RT_KEY cannot be a key (10240"); },
      kExitWithin);
  unsetenv(kRtKeyVariable);
  ASSERT_TRUE(shown) << harness.log();
  EXPECT_EQ(harness.rt().requestCount(standin::kAuthPath), 0u);
  EXPECT_TRUE(harness.waitForLog("Exiting: SYSTEM ERROR", kExitWithin)) << harness.log();
  harness.clickClose();
  ASSERT_TRUE(harness.waitForExit(kExitWithin).has_value());
  EXPECT_EQ(harness.session().sessionsStarted(), 1u);
}

// A logout the service never answers: the settings are saved before it,
// closing waits for it only briefly, and a second close gives it up.
TEST(ClosingTest, AStalledLogoutComesAfterTheSavesAndHoldsClosingOnlyBriefly) {
  for (const bool secondClick : {false, true}) {
    SCOPED_TRACE(secondClick ? "closed twice" : "closed once");
    // The service's own transfer limit: 30 s.
    ProgramHarness harness([](SessionOptions& options) { options.requestTimeouts.transfer = 30s; });
    harness.storeSettings({{"SIM_CHOICE", kSimChoiceMsfs2020}, {"DESTINATION", "EHAM"}});
    harness.start();
    ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
    harness.rt().queueAnswer(standin::kDeauthPath, standin::Answer::hang());

    const auto clicked = std::chrono::steady_clock::now();
    harness.clickClose();
    ASSERT_TRUE(harness.rt().waitForRequests(standin::kDeauthPath, 1, kExitWithin)) << harness.log();
    EXPECT_EQ(storedValue(parametersFilePath(), "DESTINATION"), "") << "saved before the logout";
    if (secondClick) {
      harness.clickClose();
    }
    ASSERT_TRUE(harness.waitForExit(kExitWithin).has_value()) << harness.log();
    EXPECT_LT(std::chrono::steady_clock::now() - clicked, secondClick ? 2s : 5s);
    // Given up at its limit it failed; given up at the user's second close
    // it was stopped, which is no failure.
    EXPECT_NE(harness.log().find(secondClick ? "Deauthentication: stopped as the user closed CRVN"
                                             : "Deauthentication failed: "),
              std::string::npos)
        << harness.log();
    if (secondClick) {
      EXPECT_EQ(harness.log().find("Deauthentication failed"), std::string::npos) << harness.log();
    }
  }
}

// The user closes the program while the service holds the login open: the
// program ends at once, and nothing speaks of an error.
TEST(ClosingTest, ACloseDuringTheLoginEndsTheProgramWithoutAnError) {
  ProgramHarness harness;
  harness.rt().queueAnswer(standin::kAuthPath, standin::Answer::hang());
  harness.start();
  ASSERT_TRUE(harness.rt().waitForRequests(standin::kAuthPath, 1, kExitWithin)) << harness.log();
  harness.clickClose();
  const auto code = harness.waitForExit(kExitWithin);
  ASSERT_TRUE(code.has_value()) << harness.log();
  EXPECT_EQ(*code, 0);
  EXPECT_EQ(harness.session().sessionsStarted(), 1u);
  const std::string log = harness.log();
  EXPECT_EQ(missingPieces(log, {"Waiting for authentication at RT server ...",
                                "Authentication: stopped as the user closed CRVN", "Exiting: USER CLOSED SIM"}),
            "")
      << log;
  EXPECT_EQ(log.find("Authentication failed"), std::string::npos) << log;
  EXPECT_EQ(log.find("has stopped with an error"), std::string::npos) << log;
  EXPECT_FALSE(harness.sawStatus("The Authenticater has stopped with an error"));
}

}  // namespace
}  // namespace crv::testing
