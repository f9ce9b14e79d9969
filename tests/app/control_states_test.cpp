// Every session starts from the same control states, whatever the session
// before it left enabled, disabled or filled in.

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>

#include "app/window_controls.h"
#include "foundation/settings.h"
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
                      StoredChoices{"AutoRange2024ParkTrafficOnly", true, true, "KLM1", kSimChoiceMsfs2024, true}),
    [](const ::testing::TestParamInfo<StoredChoices>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace crv::testing
