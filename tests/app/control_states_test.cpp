// Every session starts from the same control states, whatever the session
// before it left enabled, disabled or filled in.

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "app/window_controls.h"
#include "foundation/parameters_file.h"
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
  const bool parking = !choices.parkTrafficOnly;
  std::map<std::uint16_t, bool> expected;
  auto set = [&](const ParameterControl& control, bool on) { expected[control.controlId()] = on; };
  for (const ParameterControl* on : std::initializer_list<const ParameterControl*>{
           &par_LOG, &par_ALWAYS_ON_TOP, &par_NAV_LIGHTS_WHILE_PARKED, &par_GUID_CHANGES, &par_SCAN_LIVERIES,
           &par_LIG_AUTOMATIC, &par_LIG_PRIORITIZE, &par_SCAN_AIRPORTS, &par_MATCHING_DEPTH, &par_LIGHT_AIRCRAFT,
           &par_HELICOPTERS, &par_HIGH_PERF_AIRCRAFT, &par_AUTO_RANGE, &par_COLLISION_USER_GND,
           &par_COLLISION_USER_AIR, &par_COLLISION_LIVE_PARKED_GND, &par_BLOCK_CALLSIGN, &par_MAX_PARK_SEL,
           &par_MAX_LIVE_SEL, &par_STRAIGHT_PBS_ONLY, &par_SIM_CHOICE, &par_AIRP_RANGE, &par_AIRP_HEIGHT,
           &par_RT_PARKTRAFFIC_ONLY, &par_KEEP_SIM_TIME_PAR}) {
    set(*on, true);
  }
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
    set(*parkingControl, parking);
  }
  return expected;
}

class ControlStatesTest : public ::testing::TestWithParam<StoredChoices> {};

TEST_P(ControlStatesTest, TheSessionStartSetsEveryControlOfTheBand) {
  const StoredChoices& choices = GetParam();
  const std::map<std::uint16_t, bool> expected = expectedEnabled(choices);
  platform::ControlModel& controls = platform::mainWindowControls();
  std::atomic<bool> prepared{false};
  std::vector<platform::ControlState> afterPreparation;
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
      for (const std::uint16_t id : controls.controlIds()) afterPreparation.push_back(*controls.control(id));
      prepared.store(true);
    };
  });
  par_AUTO_RANGE.setValue(choices.autoRange);
  par_LIG_AUTOMATIC.setValue(choices.ligAutomatic);
  par_RT_PARKTRAFFIC_ONLY.setValue(choices.parkTrafficOnly);
  par_BLOCK_CALLSIGN.setValue(choices.blockedCallsign);
  par_SIM_CHOICE.setValue(std::string(choices.simChoice));
  par_MSFS_2024_INSTALL_PATH.setValue(harness.packagesFolder().string());
  par_MAX_FIT.setValue(9);
  for (const BoolParameter* flag : {&par_AUTO_RANGE, &par_LIG_AUTOMATIC, &par_RT_PARKTRAFFIC_ONLY}) {
    saveBoolParameter(*flag);
  }
  for (const StringParameter* text : std::initializer_list<const StringParameter*>{&par_BLOCK_CALLSIGN, &par_SIM_CHOICE, &par_MSFS_2024_INSTALL_PATH}) {
    saveStringParameter(*text);
  }
  saveIntParameter(par_MAX_FIT);

  harness.start();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return prepared.load(); }, 20s)) << harness.log();
  harness.clickClose();
  ASSERT_TRUE(harness.waitForExit().has_value());

  ASSERT_EQ(afterPreparation.size(), mainWindowControlTable().size());
  for (const platform::ControlState& control : afterPreparation) {
    const auto wanted = expected.find(control.id);
    if (wanted != expected.end()) {
      EXPECT_EQ(control.enabled, wanted->second) << "control " << control.id;
    }
    if (control.kind == platform::ControlKind::ComboBox) {
      EXPECT_FALSE(control.items.empty()) << "list " << control.id << " not refilled";
    }
  }
  EXPECT_EQ(par_parking_percentage.value(), 30);
  EXPECT_FLOAT_EQ(par_MAX_FIT_FL.value(), 5.0F);
  auto textOf = [&](const ParameterControl& box) {
    for (const platform::ControlState& control : afterPreparation) {
      if (control.id == box.controlId()) return control.text;
    }
    return std::u16string(u"missing");
  };
  EXPECT_EQ(textOf(par_parking_percentage), choices.parkTrafficOnly ? u"" : u"30");
  EXPECT_EQ(textOf(par_MAX_FIT_FL), choices.parkTrafficOnly ? u"" : u"5");
}

INSTANTIATE_TEST_SUITE_P(
    StoredChoices, ControlStatesTest,
    ::testing::Values(StoredChoices{"ManualRange2020", false, false, "", kSimChoiceMsfs2020, false},
                      StoredChoices{"AutoRange2024ParkTrafficOnly", true, true, "KLM1", kSimChoiceMsfs2024, true}),
    [](const ::testing::TestParamInfo<StoredChoices>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace crv::testing
