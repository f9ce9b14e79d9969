// The edit boxes of the main window in the running program, used as a
// person would: a click into the box, the text typed, Enter.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "aircraftdata/livery_data.h"
#include "aircraftdata/livery_database.h"
#include "app/sim_choice.h"
#include "app/status_panel.h"
#include "foundation/parameters_file.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/text.h"
#include "platform/window/control_model.h"
#include "tests/app/program_harness.h"
#include "tests/app/window_user.h"
#include "tests/support/settings_fixture.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

std::string boxText(const ParameterControl& box) {
  std::string utf8;
  for (const char16_t unit : platform::mainWindowControls().text(box.controlId()).value_or(u"")) {
    utf8 += static_cast<char>(unit);  // the tests' texts are ASCII
  }
  return utf8;
}

bool enabled(const ParameterControl& control) {
  return platform::mainWindowControls().isEnabled(control.controlId()).value_or(false);
}

TEST(InstallPathBoxTest, ANewSessionShowsTheStoredPathInTheBoxThatTakesInput) {
  ProgramHarness program;
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  EXPECT_TRUE(enabled(par_ALL_INSTALL_PATH));
  EXPECT_EQ(boxText(par_ALL_INSTALL_PATH), program.packagesFolder().string());
}

TEST(InstallPathBoxTest, NoPackagesFolderIsAnsweredByTypingItsPathAndTheCloseButtonRestartsTheProgramWithIt) {
  ProgramHarness program;
  // Neither simulator's folder stored, and none to be found on this machine.
  writeFile(parametersFilePath(), "<parameters>" + parameterNodes({{"SIM_CHOICE", kSimChoiceMsfs2020}}) +
                                      "</parameters>");
  program.start();
  ASSERT_TRUE(ProgramHarness::waitFor([] { return errorLineText().starts_with("150: No install path detected"); },
                                      20s))
      << program.log();
  WindowUser user(program.window());
  EXPECT_FALSE(user.typeAndEnter(par_CALLSIGN_2_OBJECTID.controlId(), "KLM123")) << "no session runs";
  // Closing down has saved the settings and waits for the user.
  ASSERT_TRUE(ProgramHarness::waitFor(
      [&] {
        const std::string log = program.log();
        return log.find("TIME_SHIFT_MINS=", log.find("Exiting: SYSTEM ERROR")) != std::string::npos;
      },
      10s))
      << program.log();
  const std::string typed = (program.packagesFolder() / "Community").string();
  ASSERT_TRUE(user.typeAndEnter(par_ALL_INSTALL_PATH.controlId(), typed)) << "the box takes input";
  ASSERT_TRUE(ProgramHarness::waitFor(
      [&] { return program.sawStatus(fmt::format("Community path found, {} will restart ...", "CRVN")); }, 10s));
  EXPECT_EQ(errorLineText(), "") << "the typed path answers the error";
  EXPECT_EQ(par_MSFS_INSTALL_PATH.value(), program.packagesFolder().string());
  // Closing down keeps waiting for the close button (half-second checks,
  // here at the harness's speed) ...
  EXPECT_FALSE(ProgramHarness::waitFor([&] { return program.log().find("Restarting after") != std::string::npos; },
                                       500ms))
      << program.log();
  EXPECT_EQ(program.session().sessionsStarted(), 1u);
  EXPECT_FALSE(program.sawStatus("User closed CRVN"));
  // ... and the close restarts the program with the new path.
  program.clickClose();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return program.session().sessionsStarted() >= 2; }, 20s))
      << program.log();
  EXPECT_TRUE(program.sawStatus("User closed CRVN"));
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  EXPECT_EQ(boxText(par_ALL_INSTALL_PATH), program.packagesFolder().string());
  const std::string log = program.log();
  EXPECT_NE(log.find("Exiting: SYSTEM ERROR"), std::string::npos);
  EXPECT_NE(log.find("Restarting after 3 seconds"), std::string::npos);
  EXPECT_NE(readFile(parametersFilePath()).find(program.packagesFolder().string()), std::string::npos)
      << "the path is saved";
}

TEST(InstallPathBoxTest, APathTypedTheMomentTheErrorShowsStillRestartsTheProgram) {
  ProgramHarness program;
  writeFile(parametersFilePath(), "<parameters>" + parameterNodes({{"SIM_CHOICE", kSimChoiceMsfs2020}}) +
                                      "</parameters>");
  // The quickest user there can be: the path is taken in the very repaint
  // that shows the error, before the worker has gone on by one instruction.
  const std::string typed = (program.packagesFolder() / "Community").string();
  bool answered = false;
  setStatusRepaintCallback([&] {
    if (!answered && errorLineText().starts_with("150: No install path detected")) {
      answered = true;
      lf_newSimPath(par_MSFS_INSTALL_PATH, typed);
    }
  });
  program.start();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return program.session().sessionsStarted() >= 2; }, 20s))
      << program.log();
  EXPECT_TRUE(program.waitUntilRunning()) << program.log();
  setStatusRepaintCallback({});
}

// An exception that escapes a control's handler is a warning in the log,
// also while the session stops (here after an error, waiting for the user).
TEST(ControlHandlerTest, AnExceptionOfAHandlerIsLoggedAsAWarningWhileTheSessionStops) {
  ProgramHarness program([](SessionOptions& options) {
    options.scanLiveries = [] { throw std::runtime_error("scan failed"); };
  });
  // A simulator switch cannot remove the liveries file: a folder with a file
  // stands in its place.
  const std::filesystem::path liveriesFile = program.folder() / "output" / "LiveriesScanned.xml";
  std::filesystem::remove(liveriesFile);
  writeFile(liveriesFile / "kept", "x");
  program.start();
  ASSERT_TRUE(ProgramHarness::waitFor([] { return errorLineText() == "scan failed"; }, 20s)) << program.log();
  ASSERT_TRUE(stopRequested());
  const std::vector<std::u16string> choices = platform::mainWindowControls().items(par_SIM_CHOICE.controlId());
  const auto msfs2024 = std::find(choices.begin(), choices.end(), u"MSFS 2024");
  ASSERT_NE(msfs2024, choices.end());
  WindowUser user(program.window());
  ASSERT_TRUE(user.choose(par_SIM_CHOICE.controlId(), static_cast<int>(msfs2024 - choices.begin())));
  EXPECT_TRUE(program.waitForLog("===> lf_HandleWMCOMMAND exception filesystem error: remove: ", 10s))
      << program.log();
  program.clickClose();
  EXPECT_TRUE(program.waitForExit().has_value());
}

TEST(InstallPathBoxTest, EnterOnThePathInUseLeavesTheSessionRunning) {
  ProgramHarness program;
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  WindowUser user(program.window());
  ASSERT_TRUE(user.typeAndEnter(par_ALL_INSTALL_PATH.controlId(), program.packagesFolder().string()));
  // The Block box's answer comes after the path box's Enter was handled.
  ASSERT_TRUE(user.typeAndEnter(par_BLOCK_CALLSIGN.controlId(), "AB"));
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return program.sawStatus("callsign 'AB' is not valid"); }, 10s));
  EXPECT_FALSE(stopRequested());
  EXPECT_FALSE(program.sawStatus(fmt::format("Community path found, {} will restart ...", "CRVN")));
  EXPECT_EQ(program.log().find("Exiting: NEW SETTINGS"), std::string::npos);
  EXPECT_EQ(program.session().display().phase.load(), SessionDisplay::Phase::running);
  EXPECT_EQ(par_MSFS_INSTALL_PATH.value(), program.packagesFolder().string());
}

// The callsign and object id of a live aircraft in the simulator, read on
// the worker that owns the engine's tables.
struct LiveInSim {
  std::string callsign;
  std::uint32_t objectId = 0;
};

std::optional<LiveInSim> liveAircraftInSim(ProgramHarness& program) {
  struct Probe {
    std::mutex mutex;  // guards found and answered
    std::optional<LiveInSim> found;
    bool answered = false;
  };
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < deadline) {
    auto probe = std::make_shared<Probe>();
    program.session().postToWorker([&session = program.session(), probe] {
      std::lock_guard lock(probe->mutex);
      for (const LiveAc& aircraft : session.engine().liveAircraft()) {
        if (aircraft.state == SimState::active && !aircraft.base.identity.callsign.empty()) {
          probe->found = LiveInSim{aircraft.base.identity.callsign, aircraft.objectId};
          break;
        }
      }
      probe->answered = true;
    });
    ProgramHarness::waitFor(
        [&probe] {
          std::lock_guard lock(probe->mutex);
          return probe->answered;
        },
        5s);
    std::lock_guard lock(probe->mutex);
    if (probe->found) {
      return probe->found;
    }
  }
  return std::nullopt;
}

// Liveries for the aircraft of the Schiphol scenario, so that they are
// created in the simulator.
void buildScenarioLiveries() {
  LiveryList liveries = {{"KLM", "B738", "KLM Boeing 737-800", "", 0, false},
                         {"EIN", "A320", "Aer Lingus A320", "", 0, false}};
  sortScannedLiveries(liveries);
  liveryDatabase().build(liveries);
}

TEST(ObjectIdBoxTest, ACallsignTypedInTheOidBoxIsAnsweredWithItsObjectId) {
  ProgramHarness program([](SessionOptions& options) { options.scanLiveries = buildScenarioLiveries; });
  // The flights set out a minute ago: the history brings them at once.
  standin::Scenario scenario = standin::Scenario::load(CRVN_RT_STANDIN_SAMPLE);
  scenario.startEpochSeconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count() -
      60;
  program.rt().setScenario(std::move(scenario));
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  const std::optional<LiveInSim> live = liveAircraftInSim(program);
  ASSERT_TRUE(live) << program.log();
  WindowUser user(program.window());
  ASSERT_TRUE(user.typeAndEnter(par_CALLSIGN_2_OBJECTID.controlId(), toLower(live->callsign)))
      << "the box takes input while the session runs";
  const std::string answer = fmt::format("= {}", live->objectId);
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return panelTexts().objectIdResult == answer; }, 10s))
      << panelTexts().objectIdResult;
  EXPECT_EQ(par_CALLSIGN_2_OBJECTID.value(), live->callsign);
  EXPECT_TRUE(ProgramHarness::waitFor(
      [&] {
        for (const platform::PaintItem& item : program.window().lastPaint()) {
          if (item.rect.left == 561 && item.rect.top == 259 && item.text == answer) return true;
        }
        return false;
      },
      5s))
      << "the answer is painted beside the box";

  ASSERT_TRUE(user.typeAndEnter(par_CALLSIGN_2_OBJECTID.controlId(), "ZZZ9999"));
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return program.sawStatus("callsign 'ZZZ9999' is unknown"); }, 10s));
  EXPECT_EQ(panelTexts().objectIdResult, "");
  ASSERT_TRUE(user.typeAndEnter(par_CALLSIGN_2_OBJECTID.controlId(), "dlh4a1234"));
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return program.sawStatus("callsign 'DLH4A1234' is unknown"); }, 10s));
}

std::int64_t nowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TEST(ObjectIdBoxTest, ATextThatIsNoUtf16IsRefusedWithTheConversionsReason) {
  ProgramHarness program;
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  WindowUser user(program.window());
  ASSERT_TRUE(user.typeAndEnter(par_CALLSIGN_2_OBJECTID.controlId(), std::u16string(u"KLM") + char16_t{0xD800}));
  EXPECT_TRUE(program.waitForLog("===> lf_getTextFromId Invalid UTF-16 sequence found in input string.", 5s))
      << program.log();
  EXPECT_TRUE(par_CALLSIGN_2_OBJECTID.value().empty());
}

TEST(SimTimeTest, WithSimTimeOnTheSimulatorClockSetsAndShowsTheTimeShift) {
  ProgramHarness program;
  program.storeSettings({{"SIM_CHOICE", "MSFS 2020"}, {"SIM_TIME", "true"}, {"KEEP_SIM_TIME_PAR", "true"}});
  // The simulator's clock two hours (and half a minute) behind real time.
  program.sim().setSimulatorUtc(nowSeconds() - 7230);
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  EXPECT_TRUE(ProgramHarness::waitFor([] { return par_TIME_SHIFT_HOURS.value() == 2; }, 10s));
  EXPECT_EQ(par_TIME_SHIFT_DAYS.value(), 0);
  EXPECT_EQ(par_TIME_SHIFT_MINS.value(), 0);
  EXPECT_TRUE(ProgramHarness::waitFor([] { return boxText(par_TIME_SHIFT_HOURS) == "2"; }, 20s));
  EXPECT_TRUE(enabled(par_TIME_SHIFT_HOURS)) << "time shift is available in every session";
  EXPECT_EQ(storedValue(parametersFilePath(), "TIME_SHIFT_HOURS"), "2") << "saved";
  EXPECT_TRUE(program.rt().waitForRequests(standin::kTrafficPath, 1, 20s));
  EXPECT_TRUE(ProgramHarness::waitFor(
      [&] {
        const std::vector<std::string> bodies = program.rt().bodies(standin::kTrafficPath);
        return !bodies.empty() && bodies.back().find("toffset=120") != std::string::npos;
      },
      10s))
      << "the traffic is asked for two hours back";

  // The simulator's clock set ahead of real time: no shift.
  program.sim().setSimulatorUtc(nowSeconds() + 3600);
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return program.sawStatus("Time shift = 0"); }, 10s));
  EXPECT_EQ(par_TIME_SHIFT_HOURS.value(), 0);
  EXPECT_EQ(boxText(par_TIME_SHIFT_HOURS), "");
}

}  // namespace
}  // namespace crv::testing
