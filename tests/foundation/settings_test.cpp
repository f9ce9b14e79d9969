#include "foundation/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>

#include "foundation/parameters_file.h"
#include "foundation/setting_controls.h"
#include "platform/window/control_model.h"
#include "tests/support/settings_fixture.h"

namespace crv {
namespace {

using platform::mainWindowControls;

std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::vector<const ParameterControl*> everyControl() {
  std::vector<const ParameterControl*> controls;
  const LoadLists lists = buildLoadLists();
  for (auto* s : lists.checkBoxes) controls.push_back(s);
  for (auto* s : lists.intControls) controls.push_back(s);
  for (auto* s : lists.textControls) controls.push_back(s);
  for (const ParameterControl* c :
       std::initializer_list<const ParameterControl*>{&par_AI_PACKAGE_SELECTOR, &par_ALL_INSTALL_PATH,
                                                      &par_CALLSIGN_2_OBJECTID, &par_DESTINATION,
                                                      &par_parking_percentage, &par_MAX_FIT_FL, &button_Unblock,
                                                      &button_Reread, &button_FlushStatic}) {
    controls.push_back(c);
  }
  return controls;
}

TEST(SettingsCatalogueTest, ControlIdsAreUnique) {
  std::set<std::uint16_t> ids;
  for (const ParameterControl* control : everyControl()) {
    EXPECT_TRUE(ids.insert(control->controlId()).second) << control->controlId();
  }
  EXPECT_EQ(ids.size(), 48U);  // 47 controls and MAX_FIT's id
}

TEST(SettingsCatalogueTest, MaxFitHalfHoursStayInsideTheDay) {
  EXPECT_FLOAT_EQ(maxFitHours(47), 24.0F);
  EXPECT_FLOAT_EQ(maxFitHours(0), 0.5F);
  const std::pair<float, int> cases[] = {
      {0.5F, 0}, {24.0F, 47}, {3.0F, 5}, {99.0F, 47}, {0.0F, 0}, {std::numeric_limits<float>::quiet_NaN(), 47}};
  for (const auto& [hours, halfHours] : cases) EXPECT_EQ(maxFitHalfHours(hours), halfHours) << hours;
}

using SettingControlsTest = SettingsFixture;

TEST_F(SettingControlsTest, IntComboIsRefilledAndAValueBetweenStepsSelectsNothing) {
  createSettingControls();
  par_RANGE.setValue(25);
  fillIntCombo(par_RANGE);
  par_RANGE.setValue(7);
  fillIntCombo(par_RANGE);
  EXPECT_EQ(mainWindowControls().currentSelection(par_RANGE.controlId()), platform::kComboError);
  EXPECT_EQ(mainWindowControls().items(par_RANGE.controlId()).size(), kRangeValues.size());
}

TEST_F(SettingControlsTest, StringComboSelectsByCaseInsensitivePrefixOrLeavesTheSelection) {
  createSettingControls();
  par_SIM_CHOICE.setValue("msfs 2024");
  fillStringCombo(par_SIM_CHOICE);
  EXPECT_EQ(mainWindowControls().currentSelection(par_SIM_CHOICE.controlId()), 1);

  par_AI_PACKAGE_SELECTOR.setValue("jf, f");
  fillStringCombo(par_AI_PACKAGE_SELECTOR);
  EXPECT_EQ(mainWindowControls().selectedItem(par_AI_PACKAGE_SELECTOR.controlId()), u"JF, FSLTL, AIG");
  mainWindowControls().setCurrentSelection(par_AI_PACKAGE_SELECTOR.controlId(), 3);
  par_AI_PACKAGE_SELECTOR.setValue("PMDG");
  setControlText(par_AI_PACKAGE_SELECTOR);
  EXPECT_EQ(mainWindowControls().currentSelection(par_AI_PACKAGE_SELECTOR.controlId()), 3);
}

TEST_F(SettingControlsTest, MissingControlsAreOnlyLogged) {
  EXPECT_NO_THROW(fillIntCombo(par_RANGE));
  EXPECT_NO_THROW(fillStringCombo(par_SIM_CHOICE));
  EXPECT_FALSE(mainWindowControls().exists(par_RANGE.controlId()));
  par_TIME_SHIFT_HOURS.setValue(5);
  setControlInt(par_TIME_SHIFT_HOURS);
  clearControlText(par_DESTINATION.controlId());
  const std::string log = logText();
  EXPECT_EQ(testing::missingPieces(log, {"GetDlgItem failed for ID 32860\n", "GetDlgItem failed for ID 32839\n"}), "");
}

TEST_F(SettingControlsTest, TextThatIsNotUtf8IsLoggedNotShown) {
  createSettingControls();
  par_BLOCK_CALLSIGN.setValue("AB\xff");
  EXPECT_NO_THROW(setControlText(par_BLOCK_CALLSIGN));
  EXPECT_EQ(mainWindowControls().text(par_BLOCK_CALLSIGN.controlId()), u"");
  EXPECT_NE(logText().find("setControlText: BLOCK_CALLSIGN"), std::string::npos);
}

TEST_F(SettingControlsTest, ControlsShowTheLoadedValues) {
  createSettingControls();
  fillIntCombo(par_RANGE);
  fillIntCombo(par_AIRP_HEIGHT);
  fillStringCombo(par_SIM_CHOICE);
  writeParameters(parameterNodes({{"PROGRAM_VERSION", "11.0.2"}, {"RANGE", "25"}, {"AIRP_HEIGHT", "7000"},
                                  {"SIM_CHOICE", "MSFS 2024"}, {"LOG", "false"}, {"WEEK", "true"},
                                  {"TIME_SHIFT_HOURS", "5"}, {"MAX_FIT", "10"}, {"BLOCK_CALLSIGN", "DLH1,BAW2"}}));

  gf_readParameters();

  auto& controls = mainWindowControls();
  EXPECT_EQ(controls.selectedItem(par_RANGE.controlId()), u"25");
  EXPECT_EQ(controls.currentSelection(par_AIRP_HEIGHT.controlId()), platform::kComboError);
  EXPECT_EQ(controls.selectedItem(par_SIM_CHOICE.controlId()), u"MSFS 2024");
  EXPECT_EQ(controls.isChecked(par_LOG.controlId()), false);
  EXPECT_EQ(controls.isChecked(par_WEEK.controlId()), true);
  EXPECT_EQ(controls.text(par_TIME_SHIFT_HOURS.controlId()), u"5");
  EXPECT_EQ(controls.text(par_MAX_FIT_FL.controlId()), u"5.5");
  EXPECT_EQ(controls.text(par_BLOCK_CALLSIGN.controlId()), u16("DLH1,BAW2"));
  EXPECT_EQ(logText().find("GetDlgItem failed"), std::string::npos);

  // A fresh start without a file shows the defaults.
  std::filesystem::remove(parametersPath());
  gf_readParameters();
  EXPECT_EQ(controls.selectedItem(par_RANGE.controlId()), u"40");
  EXPECT_EQ(controls.selectedItem(par_SIM_CHOICE.controlId()), u"MSFS 2020");
  EXPECT_EQ(controls.isChecked(par_LOG.controlId()), true);
  EXPECT_EQ(controls.text(par_MAX_FIT_FL.controlId()), u"24");
}

}  // namespace
}  // namespace crv
