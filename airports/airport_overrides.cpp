#include "airports/airport_overrides.h"

#include <fmt/format.h>

#include <mutex>
#include <pugixml.hpp>
#include <string>

#include "airports/apf_parameters.h"
#include "foundation/log.h"
#include "foundation/setting_controls.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/text.h"
#include "foundation/version_update.h"
#include "platform/window/control_model.h"

namespace crv {
namespace {

std::mutex autoRangeHooksMutex;  // guards autoRangeHooks
AutoRangeHooks autoRangeHooks;

const char* boolText(bool value) { return value ? "true" : "false"; }

void logOverride(const std::string& key, const std::string& value) {
  gf_logIndented(fmt::format("{:24}: {}", key, value));
}

void applyBool(const pugi::xml_document& learned, BoolControlParameter& setting) {
  const std::optional<bool> value = getApfBool(learned, setting.name());
  if (!value) return;
  setting.setValue(*value);
  setCheckBox(setting);
  logOverride(setting.name(), boolText(*value));
}

void applyMaxLive(const pugi::xml_document& learned) {
  const std::optional<std::int32_t> value = getApfNumber(learned, par_MAX_LIVE.name());
  if (value) {
    par_MAX_LIVE_SEL.setValue(par_MAX_LIVE_SEL.clamped(maxLiveFromMaxLive(*value)));
    logOverride(par_MAX_LIVE.name(), std::to_string(par_MAX_LIVE_SEL.value()));
  } else {
    // The writer leaves MAX_LIVE out when MAX_LIVE_SEL had its default.
    par_MAX_LIVE_SEL.setValue(par_MAX_LIVE_SEL.defaultValue());
  }
  setControlInt(par_MAX_LIVE_SEL);
}

void applyLateralRange(const pugi::xml_document& learned) {
  const std::optional<std::int32_t> value = getApfNumber(learned, par_LATERAL_RANGE.name());
  if (!value) return;
  const std::int32_t snapped = snapRange(*value);
  setRange(snapped);
  logOverride(par_LATERAL_RANGE.name(), std::to_string(snapped));
  setControlInt(par_RANGE);
  platform::mainWindowControls().setEnabled(par_RANGE.controlId(), true);
}

void applyAutoRange(const pugi::xml_document& learned) {
  const std::optional<bool> value = getApfBool(learned, par_AUTO_RANGE.name());
  if (!value) return;
  par_AUTO_RANGE.setValue(*value);
  setCheckBox(par_AUTO_RANGE);
  logOverride(par_AUTO_RANGE.name(), boolText(*value));
  platform::mainWindowControls().setEnabled(par_RANGE.controlId(), !*value);
  const AutoRangeHooks hooks = currentAutoRangeHooks();
  if (*value) {
    if (hooks.switchOn) hooks.switchOn();
  } else {
    if (hooks.switchOff) hooks.switchOff();
    clearStatusLine();
  }
  setControlInt(par_RANGE);
}

void applyParkingPercentage(const pugi::xml_document& learned) {
  const std::optional<std::int32_t> value = getApfNumber(learned, par_parking_percentage.name());
  if (value) {
    // The airport's own share, as its file gives it, beyond the box's range too.
    par_parking_percentage.setValue(*value);
    logOverride(par_parking_percentage.name(), std::to_string(*value));
  } else {
    par_parking_percentage.setValue(kDefaultParkingPercentage);
  }
  setControlInt(par_parking_percentage);
}

void applyMaxFit(const pugi::xml_document& learned) {
  const std::optional<std::int32_t> value = getApfNumber(learned, par_MAX_FIT.name());
  if (!value) return;
  par_MAX_FIT.setValue(par_MAX_FIT.clamped(*value));
  par_MAX_FIT_FL.setValue(maxFitHours(par_MAX_FIT.value()));
  setControlFloat(par_MAX_FIT_FL);
  gf_logIndented(fmt::format("{:24}: {} (max number of half hours, is {} hrs decimal)", par_MAX_FIT.name(),
                             par_MAX_FIT.value(), formatNumber(par_MAX_FIT_FL.value())));
}

}  // namespace

AutoRangeHooks currentAutoRangeHooks() {
  std::lock_guard lock(autoRangeHooksMutex);
  return autoRangeHooks;
}

void setAutoRangeHooks(AutoRangeHooks hooks) {
  std::lock_guard lock(autoRangeHooksMutex);
  autoRangeHooks = std::move(hooks);
}

bool writeAirportOverrides(pugi::xml_node parameters) {
  bool ok = appendApfParameter(parameters, par_LATERAL_RANGE.name(), std::to_string(par_RANGE.value())) &&
            appendApfParameter(parameters, par_AUTO_RANGE.name(), boolText(par_AUTO_RANGE.value())) &&
            appendApfParameter(parameters, par_WEEK.name(), boolText(par_WEEK.value())) &&
            appendApfParameter(parameters, par_PARK_FAKE.name(), boolText(par_PARK_FAKE.value())) &&
            appendApfParameter(parameters, par_PARK_SOFT.name(), boolText(par_PARK_SOFT.value())) &&
            appendApfParameter(parameters, par_parking_percentage.name(),
                               std::to_string(par_parking_percentage.value())) &&
            appendApfParameter(parameters, par_INITIAL_LOAD_ONLY.name(), boolText(par_INITIAL_LOAD_ONLY.value())) &&
            appendApfParameter(parameters, par_MAX_FIT.name(), std::to_string(par_MAX_FIT.value())) &&
            appendApfParameter(parameters, par_RT_PARKTRAFFIC_ONLY.name(),
                               boolText(par_RT_PARKTRAFFIC_ONLY.value()));
  if (par_MAX_LIVE_SEL.value() != par_MAX_LIVE_SEL.defaultValue()) {
    ok = ok && appendApfParameter(parameters, par_MAX_LIVE.name(), std::to_string(par_MAX_LIVE_SEL.value()));
  }
  return ok && appendApfParameter(parameters, par_LEARN_SOFT.name(), boolText(par_LEARN_SOFT.value()));
}

void applyAirportOverrides(const pugi::xml_document& learned) {
  applyBool(learned, par_LEARN_SOFT);
  applyMaxLive(learned);
  applyLateralRange(learned);
  applyAutoRange(learned);
  applyBool(learned, par_PARK_FAKE);
  applyBool(learned, par_WEEK);
  applyBool(learned, par_PARK_SOFT);
  applyParkingPercentage(learned);
  applyBool(learned, par_INITIAL_LOAD_ONLY);
  applyMaxFit(learned);
  applyBool(learned, par_RT_PARKTRAFFIC_ONLY);
}

}  // namespace crv
