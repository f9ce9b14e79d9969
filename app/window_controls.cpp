#include "app/window_controls.h"

#include <atomic>
#include <cstdint>

#include "app/sim_choice.h"
#include "foundation/setting_controls.h"
#include "foundation/status_line.h"

namespace crv {

namespace {

using platform::ControlKind;

ControlSpec check(const BoolControlParameter& setting, int x) { return {&setting, ControlKind::CheckBox, EditKind::none, x, 12, 12}; }
ControlSpec combo(const ParameterControl& setting, int x, int width, int listHeight) {
  return {&setting, ControlKind::ComboBox, EditKind::none, x, width, listHeight};
}
ControlSpec edit(const ParameterControl& setting, EditKind kind, int x, int width) {
  return {&setting, ControlKind::EditBox, kind, x, width, 16};
}
ControlSpec button(const ButtonControl& setting, int x, int width) {
  return {&setting, ControlKind::PushButton, EditKind::none, x, width, 20};
}

std::atomic<platform::WindowModel*> controlsWindow{nullptr};
std::atomic<bool> timeShiftActive{true};
std::atomic<bool> busy{false};
std::atomic<std::int32_t> renewalMinutes{19};
constexpr std::int32_t kNoUserMaxLive = INT32_MIN;
std::atomic<std::int32_t> userMaxLive{kNoUserMaxLive};
constexpr int kRenewalIntervalMinutes = 20;

void enable(const ParameterControl& setting, bool on) {
  platform::mainWindowControls().setEnabled(setting.controlId(), on);
}

}  // namespace

const std::vector<ControlSpec>& mainWindowControlTable() {
  static const std::vector<ControlSpec> table = {
      combo(par_SIM_CHOICE, 5, 105, 80),
      edit(par_ALL_INSTALL_PATH, EditKind::text, 111, 1200),
      check(par_SCAN_LIVERIES, 5),
      check(par_LIG_AUTOMATIC, 217),
      combo(par_AI_PACKAGE_SELECTOR, 308, 125, 144),
      check(par_LIG_PRIORITIZE, 450),
      check(par_SUPPRESS_STUB, 536),
      check(par_LOG, 652),
      check(par_ALWAYS_ON_TOP, 748),
      check(par_SCAN_AIRPORTS, 5),
      check(par_NAV_LIGHTS_WHILE_PARKED, 652),
      check(par_LEARN_SOFT, 748),
      combo(par_MATCHING_DEPTH, 217, 40, 120),
      check(par_LIGHT_AIRCRAFT, 323),
      check(par_HELICOPTERS, 430),
      check(par_HIGH_PERF_AIRCRAFT, 536),
      check(par_GUID_CHANGES, 748),
      combo(par_RANGE, 217, 50, 200),
      check(par_AUTO_RANGE, 323),
      combo(par_AR_ABOVE_HEIGHT, 455, 70, 230),
      check(par_CALLSIGN_OBJECTIDS, 652),
      edit(par_TIME_SHIFT_DAYS, EditKind::integer, 748, 30),
      check(par_COLLISION_USER_GND, 217),
      check(par_COLLISION_USER_AIR, 323),
      check(par_COLLISION_LIVE_PARKED_GND, 430),
      check(par_SIM_TIME, 652),
      edit(par_TIME_SHIFT_HOURS, EditKind::integer, 748, 30),
      edit(par_BLOCK_CALLSIGN, EditKind::text, 217, 100),
      button(button_Unblock, 323, 70),
      edit(par_CALLSIGN_2_OBJECTID, EditKind::text, 460, 95),
      check(par_KEEP_SIM_TIME_PAR, 652),
      edit(par_TIME_SHIFT_MINS, EditKind::integer, 748, 30),
      combo(par_MAX_PARK_SEL, 323, 55, 144),
      combo(par_MAX_LIVE_SEL, 536, 55, 144),
      edit(par_DESTINATION, EditKind::text, 217, 50),
      combo(par_AIRP_RANGE, 353, 45, 144),
      combo(par_AIRP_HEIGHT, 566, 70, 230),
      check(par_STRAIGHT_PBS_ONLY, 652),
      check(par_PARK_FAKE, 5),
      check(par_WEEK, 71),
      check(par_PARK_SOFT, 151),
      edit(par_parking_percentage, EditKind::integer, 323, 34),
      check(par_INITIAL_LOAD_ONLY, 430),
      edit(par_MAX_FIT_FL, EditKind::floating, 566, 34),
      check(par_RT_PARKTRAFFIC_ONLY, 642),
      button(button_Reread, 758, 90),
      button(button_FlushStatic, 758, 90),
  };
  return table;
}

const ControlSpec* controlSpecOf(std::uint16_t id) {
  for (const ControlSpec& controlEntry : mainWindowControlTable()) {
    if (controlEntry.setting->controlId() == id) return &controlEntry;
  }
  return nullptr;
}

platform::ControlRect controlRect(const ControlSpec& controlEntry) {
  const int row = static_cast<int>(controlEntry.setting->row());
  switch (controlEntry.kind) {
    case ControlKind::CheckBox:
      return {controlEntry.x, row + 2, 12, 12};
    case ControlKind::EditBox:
      return {controlEntry.x, row, controlEntry.width, 16};
    case ControlKind::ComboBox:
      return {controlEntry.x, row - 5, controlEntry.width, 20};
    case ControlKind::PushButton:
      return {controlEntry.x, row, controlEntry.width, 20};
  }
  return {};
}

void setControlsWindow(platform::WindowModel* window) { controlsWindow.store(window); }

void invalidateControls() {
  if (platform::WindowModel* window = controlsWindow.load()) {
    window->invalidate();
  }
}

void applyAlwaysOnTop() {
  if (platform::WindowModel* window = controlsWindow.load()) {
    window->setTopmost(par_ALWAYS_ON_TOP.value());
  }
}

void createControls(platform::ControlModel& controls, platform::WindowModel* window) {
  setControlsWindow(window);
  for (const ControlSpec& controlEntry : mainWindowControlTable()) {
    const bool startsEnabled = controlEntry.kind == ControlKind::CheckBox || controlEntry.kind == ControlKind::ComboBox;
    std::u16string caption;
    if (const auto* pushButton = dynamic_cast<const ButtonControl*>(controlEntry.setting)) {
      caption.assign(pushButton->name().begin(), pushButton->name().end());
    }
    controls.createControl(controlEntry.setting->controlId(), controlEntry.kind, controlRect(controlEntry), caption, startsEnabled);
    // A check box shows its value; the lists and boxes stay empty until the
    // session start fills them.
    if (const auto* flag = dynamic_cast<const BoolControlParameter*>(controlEntry.setting)) {
      setCheckBox(*flag);
    }
  }
  invalidateControls();
}

void enableTimeShiftControls(bool on) {
  enable(par_TIME_SHIFT_DAYS, on);
  enable(par_TIME_SHIFT_HOURS, on);
  enable(par_TIME_SHIFT_MINS, on);
  enable(par_SIM_TIME, on);
  enable(par_KEEP_SIM_TIME_PAR, on);
  timeShiftActive.store(on);
  invalidateControls();
}

bool timeShiftControlsActive() { return timeShiftActive.load(); }

void initControlStates() {
  for (const ParameterControl* control : std::initializer_list<const ParameterControl*>{&par_LOG, &par_ALWAYS_ON_TOP}) {
    enable(*control, true);
  }
  enable(par_LEARN_SOFT, false);
  for (const ParameterControl* control : std::initializer_list<const ParameterControl*>{
           &par_NAV_LIGHTS_WHILE_PARKED, &par_GUID_CHANGES, &par_CALLSIGN_OBJECTIDS, &par_SCAN_LIVERIES,
           &par_LIG_AUTOMATIC, &par_LIG_PRIORITIZE, &par_SCAN_AIRPORTS, &par_MATCHING_DEPTH, &par_LIGHT_AIRCRAFT,
           &par_HELICOPTERS, &par_HIGH_PERF_AIRCRAFT}) {
    enable(*control, true);
  }
  fillIntCombo(par_MATCHING_DEPTH);
  const bool autoRange = par_AUTO_RANGE.value();
  enable(par_RANGE, !autoRange);
  fillIntCombo(par_RANGE);
  enable(par_AUTO_RANGE, true);
  enable(par_AR_ABOVE_HEIGHT, autoRange);
  fillIntCombo(par_AR_ABOVE_HEIGHT);
  for (const ParameterControl* control : std::initializer_list<const ParameterControl*>{
           &par_COLLISION_USER_GND, &par_COLLISION_USER_AIR, &par_COLLISION_LIVE_PARKED_GND, &par_BLOCK_CALLSIGN}) {
    enable(*control, true);
  }
  enable(button_Unblock, !par_BLOCK_CALLSIGN.isEmpty());
  enable(par_MAX_PARK_SEL, true);
  fillIntCombo(par_MAX_PARK_SEL);
  enable(par_MAX_LIVE_SEL, true);
  fillIntCombo(par_MAX_LIVE_SEL);
  enable(par_STRAIGHT_PBS_ONLY, true);
  enable(par_CALLSIGN_2_OBJECTID, false);
  fillStringCombo(par_AI_PACKAGE_SELECTOR);
  enable(par_AI_PACKAGE_SELECTOR, par_LIG_AUTOMATIC.value());
  applySimChoice();
  enable(par_SIM_CHOICE, true);
  fillStringCombo(par_SIM_CHOICE);
  enable(par_CALLSIGN_OBJECTIDS, isMsfs2020());
  enable(par_DESTINATION, false);
  enable(par_AIRP_RANGE, true);
  fillIntCombo(par_AIRP_RANGE);
  enable(par_AIRP_HEIGHT, true);
  fillIntCombo(par_AIRP_HEIGHT);
  enable(button_Reread, false);
  for (const ParameterControl* control :
       std::initializer_list<const ParameterControl*>{&par_PARK_FAKE, &par_WEEK, &par_PARK_SOFT}) {
    enable(*control, true);
  }
  // The target percentage starts at 30 each session and is never stored.
  enable(par_parking_percentage, false);
  par_parking_percentage.setValue(30);
  setControlInt(par_parking_percentage);
  clearControlText(par_parking_percentage.controlId());
  enable(par_INITIAL_LOAD_ONLY, true);
  par_MAX_FIT_FL.setValue(maxFitHours(par_MAX_FIT.value()));
  enable(par_MAX_FIT_FL, false);
  clearControlText(par_MAX_FIT_FL.controlId());
  enable(button_FlushStatic, false);
  enable(par_RT_PARKTRAFFIC_ONLY, true);
  refreshParkingControls();
}

void refreshParkingControls() {
  const bool on = !par_RT_PARKTRAFFIC_ONLY.value();
  enable(par_parking_percentage, on);
  enable(par_MAX_FIT_FL, on);
  enable(par_INITIAL_LOAD_ONLY, on);
  enable(par_PARK_SOFT, on);
  enable(par_PARK_FAKE, on);
  enable(par_WEEK, on);
  if (on) {
    setControlInt(par_parking_percentage);
    setControlFloat(par_MAX_FIT_FL);
  } else {
    clearControlText(par_parking_percentage.controlId());
    clearControlText(par_MAX_FIT_FL.controlId());
  }
  invalidateControls();
}

void busyOn() {
  busy.exchange(true);
  for (const ParameterControl* control :
       std::initializer_list<const ParameterControl*>{&par_parking_percentage, &par_INITIAL_LOAD_ONLY, &par_PARK_FAKE,
                                                      &par_PARK_SOFT, &par_MAX_PARK_SEL, &par_RT_PARKTRAFFIC_ONLY,
                                                      &par_MAX_FIT_FL, &par_WEEK, &button_FlushStatic,
                                                      &button_Reread}) {
    enable(*control, false);
  }
  clearStatusLine();
  invalidateControls();
}

void busyOff() {
  busy.store(false);
  renewalMinutes.store(19);
  enable(par_MAX_PARK_SEL, true);
  enable(par_RT_PARKTRAFFIC_ONLY, true);
  refreshParkingControls();
  enable(button_FlushStatic, true);
  enable(button_Reread, true);
  clearStatusLine();
  invalidateControls();
}

bool parkingBusy() { return busy.load(); }
std::int32_t minutesToRenewal() { return renewalMinutes.load(); }

std::int32_t minutesToNextRenewal(int secondCounter) {
  const int minutes = secondCounter / 60;
  return kRenewalIntervalMinutes * (minutes / kRenewalIntervalMinutes + 1) - minutes;
}

bool countDownToRenewal(int secondCounter) {
  if (secondCounter % 60 != 0) return false;
  renewalMinutes.store(minutesToNextRenewal(secondCounter));
  invalidateControls();
  return true;
}

void enableDestinationBox() {
  enable(par_DESTINATION, true);
  invalidateControls();
}

void rereadServed() {
  enable(button_Reread, true);
  enable(par_DESTINATION, true);
  invalidateControls();
}

void disableParkAirportControls() {
  enable(button_FlushStatic, false);
  enable(par_parking_percentage, false);
  invalidateControls();
}

void rememberUserMaxLive(std::int32_t maxLive) { userMaxLive.store(maxLive); }

bool restoreUserMaxLive() {
  const std::int32_t chosen = userMaxLive.load();
  if (chosen == kNoUserMaxLive || par_MAX_LIVE_SEL.value() == chosen) return false;
  par_MAX_LIVE_SEL.setValue(par_MAX_LIVE_SEL.clamped(chosen));
  setControlInt(par_MAX_LIVE_SEL);
  invalidateControls();
  return true;
}

}  // namespace crv
