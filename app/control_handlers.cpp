#include "app/control_handlers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include <fmt/format.h>

#include "aircraftdata/livery_database.h"
#include "airports/airports_database.h"
#include "airports/park_airport_state.h"
#include "airports/park_airports.h"
#include "app/exit_reason.h"
#include "app/sim_choice.h"
#include "app/window_controls.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/setting_controls.h"
#include "foundation/status_line.h"
#include "foundation/text.h"
#include "foundation/utf8.h"
#include "foundation/version.h"
#include "foundation/version_update.h"
#include "platform/os/utf16.h"
#include "platform/window/control_model.h"
#include "simlink/sim_ids.h"

namespace crv {

namespace {

constexpr std::size_t kMaxControlText = 1023;
constexpr std::size_t kMaxCallsignLength = 8;
constexpr std::size_t kMinCallsignLength = 4;
constexpr std::size_t kIcaoCodeLength = 4;
constexpr int kRoundSeconds = 15;

platform::ControlModel& controls() { return platform::mainWindowControls(); }

void enable(const ParameterControl& control, bool on) { controls().setEnabled(control.controlId(), on); }

// The characters of a UTF-8 text: every byte that does not continue a
// character starts one.
std::size_t characterCount(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(
      utf8.begin(), utf8.end(), [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
}

// The one-line notices of the plain check boxes: the text shown when turned
// on and when turned off; empty clears the status line.
struct CheckBoxNotice {
  const BoolControlParameter* setting;
  const char* whenOn;
  const char* whenOff;
};

const std::vector<CheckBoxNotice>& checkBoxNotices() {
  static const std::vector<CheckBoxNotice> notices = {
      {&par_LIG_AUTOMATIC, "", "The liveries defined by your lfolder parameters will be scanned"},
      {&par_LIG_PRIORITIZE, "Liveries, for airl+model, in lower lfolders that are already available will be skipped",
       ""},
      {&par_COLLISION_LIVE_PARKED_GND, "",
       "Be aware, no collision avoidance with live aircraft vs parked static on the ground"},
      {&par_COLLISION_USER_GND, "", "Be aware, no collision avoidance with user aircraft on the ground"},
      {&par_COLLISION_USER_AIR, "", "Be aware, no collision avoidance with user aircraft in the air"},
      {&par_INITIAL_LOAD_ONLY,
       "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes", ""},
      {&par_SUPPRESS_STUB, "Exclude FSLTL-liveries titles ending with _STUB from scan", ""},
      {&par_GUID_CHANGES, "", "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!"},
  };
  return notices;
}

BoolControlParameter* checkBoxSetting(std::uint16_t id) {
  const ControlSpec* controlEntry = controlSpecOf(id);
  if (controlEntry == nullptr || controlEntry->kind != platform::ControlKind::CheckBox) return nullptr;
  return const_cast<BoolControlParameter*>(dynamic_cast<const BoolControlParameter*>(controlEntry->setting));
}

// The settings that the park airport's learned file keeps for the airport
// (MAX_FIT through its box in hours).
bool keptPerAirport(const ParameterControl* setting) {
  static const std::array<const ParameterControl*, 11> kept = {
      &par_RANGE,     &par_AUTO_RANGE,         &par_WEEK,              &par_PARK_FAKE,
      &par_PARK_SOFT, &par_parking_percentage, &par_INITIAL_LOAD_ONLY, &par_MAX_FIT_FL,
      &par_RT_PARKTRAFFIC_ONLY, &par_MAX_LIVE_SEL, &par_LEARN_SOFT};
  return std::find(kept.begin(), kept.end(), setting) != kept.end();
}

// A setting the airport keeps was changed in the window while a park
// airport is loaded: its learned file is written when the airport is left,
// even without a stand update.
void noteAirportSettingChange(const ParameterControl* setting) {
  if (keptPerAirport(setting) && parkAirportActive()) {
    setAirportParametersChanged(true);
  }
}

void showNotice(const char* text) {
  if (text[0] == '\0') {
    clearStatusLine();
  } else {
    setStatusLine(text, false);
  }
}

}  // namespace

std::size_t queueParkedNavLights(TrafficEngine& engine, bool on) {
  const std::uint32_t value = on ? 1 : 0;
  std::size_t queued = 0;
  for (const StaticAc& aircraft : engine.staticAircraft()) {
    if (aircraft.state != SimState::active) continue;
    engine.link().queueClientEvent(aircraft.objectId, toId(ClientEventId::NavLightsSet), value);
    ++queued;
  }
  for (const LiveAc& aircraft : engine.liveAircraft()) {
    if (aircraft.state != SimState::active || aircraft.phase != FlightPhase::parked) continue;
    engine.link().queueClientEvent(aircraft.objectId, toId(ClientEventId::NavLightsSet), value);
    ++queued;
  }
  return queued;
}

int secondsToNextRound(int secondCounter) { return kRoundSeconds * (secondCounter / kRoundSeconds + 1) - secondCounter; }

std::string lf_getTextFromId(std::uint16_t id) {
  std::optional<std::u16string> text = controls().text(id);
  if (!text) {
    gf_logLineUnlessStopping(fmt::format("GetDlgItem failed for ID {}", id));
    return {};
  }
  if (text->size() > kMaxControlText) text->resize(kMaxControlText);
  try {
    return utf16ToUtf8(*text);
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{} {}", "lf_getTextFromId", error.what()));
    return {};
  }
}

bool ControlHandlers::onCommand(std::uint64_t wParam) {
  const auto id = static_cast<std::uint16_t>(wParam & 0xFFFF);
  const auto notifyCode = static_cast<std::uint16_t>((wParam >> 16) & 0xFFFF);
  try {
    if (notifyCode == kEditEnterPressed) {
      return handleEditEnter(id);
    }
    if (handleButtons(id) || handleOptionCheckBoxes(id) || handleComboBoxes(wParam)) {
      return true;
    }
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{} exception {}", "lf_HandleWMCOMMAND", error.what()));
  }
  invalidateControls();
  return false;
}

bool ControlHandlers::handleButtons(std::uint16_t id) {
  if (id == button_Unblock.controlId()) {
    if (par_BLOCK_CALLSIGN.isEmpty()) {
      setStatusLine("Nothing to block or unblock...", false);
    } else {
      unblockCallsign();
    }
  } else if (id == button_Reread.controlId()) {
    session_.rereadRequested.exchange(true);
    enable(button_Reread, false);
    enable(par_DESTINATION, false);
  } else if (id == button_FlushStatic.controlId()) {
    setStatusLine("All static parked aircraft will be removed ...", false);
    session_.flushStaticRequested.exchange(true);
    enable(button_FlushStatic, false);
  } else {
    return false;
  }
  return true;
}

bool ControlHandlers::handleOptionCheckBoxes(std::uint16_t id) {
  BoolControlParameter* setting = checkBoxSetting(id);
  if (setting == nullptr) return false;
  const bool on = !controls().isChecked(id).value_or(setting->value());
  controls().setChecked(id, on);
  setting->setValue(on);
  saveBoolParameter(*setting);
  noteAirportSettingChange(setting);

  for (const CheckBoxNotice& notice : checkBoxNotices()) {
    if (notice.setting == setting) showNotice(on ? notice.whenOn : notice.whenOff);
  }
  if (setting == &par_LIG_AUTOMATIC) {
    enable(par_AI_PACKAGE_SELECTOR, on);
  } else if (setting == &par_INITIAL_LOAD_ONLY) {
    invalidateControls();
    if (parkAirportActive()) session_.recalcRequest.store(true);
  } else if (setting == &par_ALWAYS_ON_TOP) {
    if (on) {
      setStatusLine(fmt::format("{}'s window will remain visible", kProgramName), false);
    } else {
      clearStatusLine();
    }
    applyAlwaysOnTop();
  } else if (setting == &par_RT_PARKTRAFFIC_ONLY) {
    refreshParkingControls();
    session_.recalcRequest.store(true);
    session_.parkTrafficOnlyChange.exchange(on);
    announceResponseDelay();
    invalidateControls();
  } else if (setting == &par_SIM_TIME) {
    applySimTimeOption();
  } else if (setting == &par_PARK_SOFT || setting == &par_PARK_FAKE || setting == &par_WEEK) {
    announceResponseDelay();
  } else if (setting == &par_LEARN_SOFT) {
    if (parkAirportActive()) session_.recalcRequest.store(true);
  } else if (setting == &par_NAV_LIGHTS_WHILE_PARKED) {
    session_.postToWorker([&engine = session_.engine(), on] { queueParkedNavLights(engine, on); });
  } else if (setting == &par_AUTO_RANGE) {
    session_.recalcRequest.store(true);
    if (on) {
      session_.autoRangeSwitchedOn();
    } else {
      session_.autoRangeSwitchedOff();
      clearStatusLine();
    }
    enable(par_RANGE, !on);
    enable(par_AR_ABOVE_HEIGHT, on);
  } else if (setting == &par_SCAN_LIVERIES || setting == &par_SCAN_AIRPORTS) {
    if (on) {
      scanRequested(setting == &par_SCAN_LIVERIES);
    } else {
      clearStatusLine();
    }
    invalidateControls();
  }
  return true;
}

void ControlHandlers::scanRequested(bool liveries) {
  const std::string_view what = liveries ? "liveries" : "airports";
  if (session_.link().simConnectedFlag.load()) {
    setStatusLine(liveries ? fmt::format("Your liveries will be scanned at the next start of {}, recommended after "
                                         "you have add/removed AI aircraft models/liveries",
                                         kProgramName)
                           : fmt::format("Your airports will be scanned at the next start of {}, recommended after "
                                         "you have add/removed airports",
                                         kProgramName),
                  false);
    return;
  }
  if (liveries) {
    clearLiveryDatabase();
  }
  setStatusLine(fmt::format("Your {} will be scanned", what), true);
  sessionEnd().endSession(ExitReason::newSettings, 2);
}

bool ControlHandlers::handleComboBoxes(std::uint64_t wParam) {
  const auto id = static_cast<std::uint16_t>(wParam & 0xFFFF);
  if (((wParam >> 16) & 0xFFFF) != kComboSelectionChanged) return false;
  const ControlSpec* controlEntry = controlSpecOf(id);
  if (controlEntry == nullptr || controlEntry->kind != platform::ControlKind::ComboBox) return false;
  const int index = controls().currentSelection(id);
  const std::optional<std::u16string> item = controls().selectedItem(id);
  if (index == platform::kComboError || !item) return false;
  std::string text;
  platform::convertUtf16ToUtf8(*item, text);

  if (id == par_SIM_CHOICE.controlId()) {
    if (text != par_SIM_CHOICE.value()) {
      par_SIM_CHOICE.setValue(text);
      saveStringParameter(par_SIM_CHOICE);
      setMsfs2020(text == kSimChoiceMsfs2020);
      switchSimulator();
    }
    return true;
  }
  if (id == par_AI_PACKAGE_SELECTOR.controlId()) {
    if (text != par_AI_PACKAGE_SELECTOR.value()) {
      par_AI_PACKAGE_SELECTOR.setValue(text);
      saveStringParameter(par_AI_PACKAGE_SELECTOR);
      setControlText(par_AI_PACKAGE_SELECTOR);
    }
    return true;
  }
  auto* list = const_cast<IntListParameter*>(dynamic_cast<const IntListParameter*>(controlEntry->setting));
  if (list == nullptr || static_cast<std::size_t>(index) >= list->allowedValues().size()) return false;
  list->setValue(list->clamped(list->allowedValues()[static_cast<std::size_t>(index)]));
  saveIntParameter(*list);
  setControlInt(*list);
  noteAirportSettingChange(list);
  if (list == &par_MAX_PARK_SEL) {
    announceResponseDelay();
  } else if (list == &par_RANGE) {
    setRange(par_RANGE.value());
    session_.manualRangeChosen(par_RANGE.value());
    session_.recalcRequest.store(true);
  } else if (list == &par_MAX_LIVE_SEL) {
    rememberUserMaxLive(par_MAX_LIVE_SEL.value());
    // The engine's limit is the setting itself; with a park airport the
    // calculation shares it out anew.
    if (parkAirportActive()) session_.recalcRequest.store(true);
    session_.postToWorker([&engine = session_.engine()] { engine.enforceMaxLive(); });
  }
  return true;
}

bool ControlHandlers::handleEditEnter(std::uint16_t id) {
  const ControlSpec* controlEntry = controlSpecOf(id);
  if (controlEntry == nullptr || controlEntry->kind != platform::ControlKind::EditBox) return false;
  clearStatusLine();
  const std::string typed = lf_getTextFromId(id);
  if (id == par_BLOCK_CALLSIGN.controlId()) {
    blockCallsign(typed);
  } else if (id == par_DESTINATION.controlId()) {
    processDestination(typed);
  } else if (id == par_CALLSIGN_2_OBJECTID.controlId()) {
    processObjectIdCallsign(typed);
  } else if (id == par_ALL_INSTALL_PATH.controlId()) {
    StringParameter& path = isMsfs2020() ? par_MSFS_INSTALL_PATH : par_MSFS_2024_INSTALL_PATH;
    try {
      // Enter on the path in use changes nothing.
      if (typed != path.value()) lf_newSimPath(path, typed);
    } catch (const std::exception& error) {
      setErrorLine(error.what());
    }
  } else if (id == par_MAX_FIT_FL.controlId()) {
    if (parkAirportActive() && lf_processTbFloat(par_MAX_FIT_FL)) {
      noteAirportSettingChange(&par_MAX_FIT_FL);
      announceResponseDelay();
    }
  } else {
    auto* setting = const_cast<IntControlParameter*>(dynamic_cast<const IntControlParameter*>(controlEntry->setting));
    const bool changed = lf_processTbInt(*setting);
    if (changed) noteAirportSettingChange(setting);
    if (changed && setting != &par_parking_percentage) {
      const std::int64_t minutes =
          (static_cast<std::int64_t>(par_TIME_SHIFT_DAYS.value()) * 24 + par_TIME_SHIFT_HOURS.value()) * 60 +
          par_TIME_SHIFT_MINS.value();
      applyTimeShift(static_cast<std::int32_t>(std::min<std::int64_t>(minutes, INT32_MAX)), false);
    }
  }
  return true;
}

void ControlHandlers::publishBlockedCallsign(std::string callsign) {
  session_.publishBlockedCallsign(std::move(callsign));
  session_.blockRequest.exchange(true);
}

void ControlHandlers::blockCallsign(const std::string& typed) {
  if (typed.empty()) {
    if (!par_BLOCK_CALLSIGN.isEmpty()) unblockCallsign();
    return;
  }
  const std::size_t length = characterCount(typed);
  if (length < kMinCallsignLength || length > kMaxCallsignLength) {
    setStatusLine(fmt::format("callsign '{}' is not valid", typed), true);
    setControlText(par_BLOCK_CALLSIGN);
    return;
  }
  const std::string callsign = toUpper(typed);
  if (callsign == par_BLOCK_CALLSIGN.value()) {
    setStatusLine(fmt::format("callsign '{}' was already set ...", callsign), true);
    setControlText(par_BLOCK_CALLSIGN);
    return;
  }
  par_BLOCK_CALLSIGN.setValue(callsign);
  saveStringParameter(par_BLOCK_CALLSIGN);
  setControlText(par_BLOCK_CALLSIGN);
  enable(button_Unblock, true);
  setStatusLine(fmt::format("live aircraft with callsign '{}' will be blocked", callsign), true);
  publishBlockedCallsign(callsign);
}

void ControlHandlers::unblockCallsign() {
  if (par_BLOCK_CALLSIGN.isEmpty()) return;
  const std::string old = par_BLOCK_CALLSIGN.value();
  par_BLOCK_CALLSIGN.setValue("");
  saveStringParameter(par_BLOCK_CALLSIGN);
  setControlText(par_BLOCK_CALLSIGN);
  enable(button_Unblock, false);
  setStatusLine(fmt::format("no more blocking of live aircraft '{}'", old), true);
  publishBlockedCallsign("");
}

void ControlHandlers::processDestination(const std::string& typed) {
  if (typed.empty()) {
    par_DESTINATION.setValue("");
    enable(button_Reread, true);
    setStatusLine("destination set to empty", true);
    return;
  }
  if (characterCount(typed) != kIcaoCodeLength) {
    setStatusLine(fmt::format("destination '{}' is not valid", typed), true);
    setControlText(par_DESTINATION);
    return;
  }
  const std::string code = toUpper(typed);
  if (code == par_DESTINATION.value()) {
    setStatusLine(fmt::format("destination '{}' was already set ...", code), true);
    setControlText(par_DESTINATION);
    return;
  }
  const std::optional<AirportRecord> airport = findReadAirport(code);
  if (!airport) {
    setStatusLine(fmt::format("destination '{}' is unknown ...", code), true);
    setControlText(par_DESTINATION);
    return;
  }
  setDestination(code, {airport->lat, airport->lon});
}

void ControlHandlers::setDestination(const std::string& code, const GeoPoint& position) {
  par_DESTINATION.setValue(code);
  saveStringParameter(par_DESTINATION);
  setControlText(par_DESTINATION);
  setStatusLine(fmt::format("New destination: {}", code), true);
  // The park-airport list and its file are the worker's.
  parkAirportList().requestMoveToFront(code, position);
  session_.postToWorker([] { parkAirportList().applyRequests(); });
  enable(button_Reread, false);
}

void ControlHandlers::processObjectIdCallsign(const std::string& typed) {
  if (typed.empty()) {
    if (!par_CALLSIGN_2_OBJECTID.isEmpty()) {
      par_CALLSIGN_2_OBJECTID.setValue("");
      setControlText(par_CALLSIGN_2_OBJECTID);
    }
    return;
  }
  // Any text is looked up: one that is no callsign finds no aircraft, and
  // the lookup says so.
  par_CALLSIGN_2_OBJECTID.setValue(toUpper(typed));
  setControlText(par_CALLSIGN_2_OBJECTID);
  session_.objectIdLookupRequest.exchange(true);
}

bool ControlHandlers::lf_processTbInt(IntControlParameter& setting) {
  const std::string typed = lf_getTextFromId(setting.controlId());
  const bool savedHere = &setting != &par_parking_percentage && &setting != &par_TIME_SHIFT_DAYS &&
                         &setting != &par_TIME_SHIFT_HOURS && &setting != &par_TIME_SHIFT_MINS;
  bool changed = false;
  try {
    if (typed.empty()) {
      setting.setValue(&setting == &par_parking_percentage ? 0 : setting.clamped(setting.defaultValue()));
      if (&setting != &par_parking_percentage) saveIntParameter(setting);
      changed = true;
    } else {
      std::size_t used = 0;
      // A number beyond a 32-bit integer is out of range.
      const int number = std::stoi(typed, &used, 10);
      if (used != typed.size()) throw std::invalid_argument(typed);
      if (number == setting.value()) {
        setStatusLine(fmt::format("Same {} value {}, no changes made", setting.name(), setting.value()), true);
      } else {
        setting.setValue(setting.clamped(number));
        if (savedHere) saveIntParameter(setting);
        changed = true;
      }
    }
    if (changed) setStatusLine(fmt::format("The new {} is {}", setting.name(), setting.value()), false);
  } catch (const std::invalid_argument&) {
    setStatusLine(fmt::format("invalid input: {}", typed), true);
  } catch (const std::exception& error) {
    gf_logLineUnlessStopping(fmt::format("{}: {}, h={} ", "lf_processTbInt", error.what(), typed));
    setStatusLine(fmt::format("invalid input: {}", typed), false);
  }
  setControlInt(setting);
  return changed;
}

bool ControlHandlers::lf_processTbFloat(FloatControlParameter& setting) {
  const std::string typed = lf_getTextFromId(setting.controlId());
  bool changed = false;
  try {
    if (typed.empty()) {
      setting.setValue(std::clamp(setting.defaultValue(), setting.minimum(), setting.maximum()));
      par_MAX_FIT.setValue(par_MAX_FIT.clamped(par_MAX_FIT.defaultValue()));
      saveIntParameter(par_MAX_FIT);
      changed = true;
    } else {
      std::size_t used = 0;
      const float number = std::stof(typed, &used);
      // An infinite number is clamped as any other; one that is no number at
      // all is refused before it is stored.
      if (used != typed.size() || std::isnan(number)) throw std::invalid_argument(typed);
      if (number == setting.value()) {
        setStatusLine(fmt::format("Same {} value {}, no changes made", setting.name(), formatNumber(setting.value())),
                      true);
      } else {
        const float hours = std::clamp(number, setting.minimum(), setting.maximum());
        const long slots = std::lround(static_cast<double>(hours) * 2.0);
        par_MAX_FIT.setValue(par_MAX_FIT.clamped(slots - 1));
        saveIntParameter(par_MAX_FIT);
        setting.setValue(std::clamp(static_cast<float>(par_MAX_FIT.value()) * 0.5F + 0.5F, setting.minimum(),
                                    setting.maximum()));
        changed = true;
      }
    }
  } catch (const std::exception& error) {
    gf_logLineUnlessStopping(fmt::format("{}: {}, h={}", "lf_processTbFloat", error.what(), typed));
    setStatusLine(fmt::format("invalid input: {}", typed), false);
  }
  if (changed) setStatusLine(fmt::format("The new {} is {:.1f}", setting.name(), setting.value()), false);
  setControlFloat(setting);
  return changed;
}

void ControlHandlers::applyTimeShift(std::int32_t minutes, bool quiet) {
  if (minutes > kMaxTimeShiftMinutes) {
    minutes = kMaxTimeShiftMinutes;
    gf_logLineUnlessStopping("Time shifting is limited to 4 weeks");
  }
  minutes = std::max(minutes, 0);
  setTimeShiftMinutes(minutes);
  par_TIME_SHIFT_DAYS.setValue(par_TIME_SHIFT_DAYS.clamped(minutes / 1440));
  par_TIME_SHIFT_HOURS.setValue(par_TIME_SHIFT_HOURS.clamped((minutes - par_TIME_SHIFT_DAYS.value() * 1440) / 60));
  par_TIME_SHIFT_MINS.setValue(par_TIME_SHIFT_MINS.clamped(minutes - par_TIME_SHIFT_DAYS.value() * 1440 -
                                                           par_TIME_SHIFT_HOURS.value() * 60));
  for (IntControlParameter* setting : {&par_TIME_SHIFT_DAYS, &par_TIME_SHIFT_HOURS, &par_TIME_SHIFT_MINS}) {
    saveIntParameter(*setting);
    setControlInt(*setting);
  }
  session_.setReaderTimeOffset(minutes);
  if (minutes == 0) {
    setStatusLine("Time shift = 0", true);
    for (const IntControlParameter* setting : {&par_TIME_SHIFT_DAYS, &par_TIME_SHIFT_HOURS, &par_TIME_SHIFT_MINS}) {
      clearControlText(setting->controlId());
    }
  } else if (!quiet) {
    setStatusLine(fmt::format("Time shifted {} minute{}", minutes, pluralSuffixInt(minutes)), true);
  }
  if (quiet) return;
  session_.postToWorker([&session = session_] { session.removeAllTraffic(); });
  session_.trafficRereadRequest.exchange(true);
}

void ControlHandlers::applySimTimeOption() {
  const bool simTime = par_SIM_TIME.value();
  if (!simTime) applyTimeShift(0, true);
  session_.resetSimTimeReference(simTime);
  for (const IntControlParameter* box : {&par_TIME_SHIFT_DAYS, &par_TIME_SHIFT_HOURS, &par_TIME_SHIFT_MINS}) {
    enable(*box, !simTime);
  }
}

void ControlHandlers::announceResponseDelay() {
  if (!parkAirportActive()) return;
  session_.recalcRequest.store(true);
  if (par_INITIAL_LOAD_ONLY.value()) {
    clearStatusLine();
    return;
  }
  const int delay = secondsToNextRound(session_.secondCounter());
  if (delay > 0) {
    setStatusLine(fmt::format("{} will respond in {} second{} ...", kProgramName, delay, pluralSuffixInt(delay)), false);
  }
  session_.trafficRereadRequest.exchange(true);
}

}  // namespace crv
