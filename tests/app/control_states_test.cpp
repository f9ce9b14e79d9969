// Every session starts from the same control states, whatever the session
// before it left enabled, disabled or filled in.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "app/window_controls.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "platform/window/control_model.h"
#include "tests/app/program_harness.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

struct StoredChoices {
  const char* name;
  bool autoRange;
  bool ligAutomatic;
  const char* blockedCallsign;
  std::string_view simChoice;
  bool parkTrafficOnly;
  bool simTime = false;
};
void PrintTo(const StoredChoices& choices, std::ostream* out) { *out << choices.name; }

// Whether each control of the band is enabled once the session has prepared.
std::map<std::uint16_t, bool> expectedEnabled(const StoredChoices& choices) {
  std::map<std::uint16_t, bool> expected;
  auto set = [&](const ParameterControl& control, bool on) { expected[control.controlId()] = on; };
  for (const ControlSpec& entry : mainWindowControlTable()) set(*entry.setting, true);
  // The session start leaves these two as they are.
  expected.erase(par_ALL_INSTALL_PATH.controlId());
  expected.erase(par_SUPPRESS_STUB.controlId());
  for (const ParameterControl* off : std::initializer_list<const ParameterControl*>{
           &par_LEARN_SOFT, &par_CALLSIGN_2_OBJECTID, &par_DESTINATION, &button_Reread, &button_FlushStatic}) {
    set(*off, false);
  }
  set(par_RANGE, !choices.autoRange);
  set(par_AR_ABOVE_HEIGHT, choices.autoRange);
  set(button_Unblock, std::string_view(choices.blockedCallsign) != "");
  set(par_AI_PACKAGE_SELECTOR, choices.ligAutomatic);
  set(par_CALLSIGN_OBJECTIDS, choices.simChoice == kSimChoiceMsfs2020);
  for (const ParameterControl* parkingControl : std::initializer_list<const ParameterControl*>{
           &par_PARK_FAKE, &par_WEEK, &par_PARK_SOFT, &par_parking_percentage, &par_INITIAL_LOAD_ONLY,
           &par_MAX_FIT_FL}) {
    set(*parkingControl, !choices.parkTrafficOnly);
  }
  return expected;
}

class ControlStatesTest : public ::testing::TestWithParam<StoredChoices> {};

TEST_P(ControlStatesTest, TheSessionStartSetsEveryControlOfTheBand) {
  const StoredChoices& choices = GetParam();
  const std::map<std::uint16_t, bool> expected = expectedEnabled(choices);
  platform::ControlModel& controls = platform::mainWindowControls();
  std::atomic<bool> prepared{false};
  std::map<std::uint16_t, platform::ControlState> afterPreparation;
  ProgramHarness harness([&](SessionOptions& options) {
    // What the last session left: every control the other way round, the
    // lists empty and the parking boxes filled.
    options.checkVersions = [&] {
      for (const auto& [id, on] : expected) controls.setEnabled(id, !on);
      for (const ControlSpec& entry : mainWindowControlTable()) {
        if (entry.kind == platform::ControlKind::ComboBox) controls.resetContent(entry.setting->controlId());
      }
      controls.setText(par_parking_percentage.controlId(), u"55");
      controls.setText(par_MAX_FIT_FL.controlId(), u"1.5");
      par_parking_percentage.setValue(55);
      par_MAX_FIT_FL.setValue(1.5F);
    };
    options.scanLiveries = [&] {
      for (const std::uint16_t id : controls.controlIds()) afterPreparation.emplace(id, *controls.control(id));
      prepared.store(true);
    };
  });
  const auto flag = [](bool on) { return on ? "true" : "false"; };
  harness.storeSettings({{"AUTO_RANGE", flag(choices.autoRange)},
                         {"LIG_AUTOMATIC", flag(choices.ligAutomatic)},
                         {"RT_PARKTRAFFIC_ONLY", flag(choices.parkTrafficOnly)},
                         {"BLOCK_CALLSIGN", choices.blockedCallsign},
                         {"SIM_CHOICE", choices.simChoice},
                         {"SIM_TIME", flag(choices.simTime)},
                         {"MAX_FIT", "9"}});

  harness.start();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return prepared.load(); }, 20s)) << harness.log();

  for (const auto& [id, control] : afterPreparation) {
    if (expected.contains(id)) {
      EXPECT_EQ(control.enabled, expected.at(id)) << "control " << id;
    }
    if (control.kind == platform::ControlKind::ComboBox) {
      EXPECT_FALSE(control.items.empty()) << "list " << id << " not refilled";
    }
  }
  EXPECT_EQ(par_parking_percentage.value(), 30);
  EXPECT_FLOAT_EQ(par_MAX_FIT_FL.value(), 5.0F);
  EXPECT_EQ(afterPreparation.at(par_parking_percentage.controlId()).text, choices.parkTrafficOnly ? u"" : u"30");
  EXPECT_EQ(afterPreparation.at(par_MAX_FIT_FL.controlId()).text, choices.parkTrafficOnly ? u"" : u"5");
}

INSTANTIATE_TEST_SUITE_P(
    StoredChoices, ControlStatesTest,
    ::testing::Values(StoredChoices{"ManualRange2020", false, false, "", kSimChoiceMsfs2020, false},
                      StoredChoices{"AutoRange2024ParkTrafficOnly", true, true, "KLM1", kSimChoiceMsfs2024, true},
                      // Time shift is available with Sim Time on as well.
                      StoredChoices{"SimTime2020", false, false, "", kSimChoiceMsfs2020, false, true}),
    [](const ::testing::TestParamInfo<StoredChoices>& info) { return std::string(info.param.name); });

// Sim Time switched on before the login locks the time-shift boxes; the
// login makes them available again.
TEST(TimeShiftControlsTest, TheLoginEnablesTheTimeShiftControlsAgain) {
  ProgramHarness harness([](SessionOptions& options) {
    options.loadAccount = [load = options.loadAccount] {
      enableTimeShiftControls(false);
      return load();
    };
  });
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  for (const ParameterControl* control : std::initializer_list<const ParameterControl*>{
           &par_TIME_SHIFT_DAYS, &par_TIME_SHIFT_HOURS, &par_TIME_SHIFT_MINS, &par_SIM_TIME, &par_KEEP_SIM_TIME_PAR}) {
    EXPECT_EQ(platform::mainWindowControls().isEnabled(control->controlId()), std::optional<bool>(true))
        << control->controlId();
  }
  EXPECT_TRUE(timeShiftControlsActive());
}

// A session that ends before its preparation leaves the controls as they
// were created: the check boxes show their values, the lists and the edit
// boxes are empty.
TEST(ControlCreationTest, ASessionThatEndsBeforeItsPreparationLeavesTheListsAndBoxesEmpty) {
  ProgramHarness harness;
  std::filesystem::remove_all(harness.folder() / "docs");
  harness.start();
  ASSERT_TRUE(ProgramHarness::waitFor([] { return errorLineText().starts_with("41: "); }, 20s)) << harness.log();
  for (const ControlSpec& entry : mainWindowControlTable()) {
    const std::optional<platform::ControlState> control =
        platform::mainWindowControls().control(entry.setting->controlId());
    ASSERT_TRUE(control.has_value());
    if (entry.kind == platform::ControlKind::ComboBox) {
      EXPECT_TRUE(control->items.empty()) << control->id;
      EXPECT_EQ(control->selection, platform::kComboError) << control->id;
    } else if (entry.kind == platform::ControlKind::EditBox) {
      EXPECT_EQ(control->text, u"") << control->id;
    } else if (entry.kind == platform::ControlKind::CheckBox) {
      EXPECT_EQ(control->checked, dynamic_cast<const BoolParameter*>(entry.setting)->value()) << control->id;
    }
  }
  harness.clickClose();
  EXPECT_TRUE(harness.waitForExit().has_value());
}

}  // namespace
}  // namespace crv::testing
