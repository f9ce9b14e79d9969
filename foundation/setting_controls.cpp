#include "foundation/setting_controls.h"

#include <fmt/format.h>

#include <exception>
#include <string>

#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/utf8.h"
#include "platform/window/control_model.h"

namespace crv {

namespace {

void logMissingControl(std::uint16_t controlId) { gf_logLine(fmt::format("GetDlgItem failed for ID {}", controlId)); }

bool isComboBox(std::uint16_t controlId) {
  const auto control = platform::mainWindowControls().control(controlId);
  return control && control->kind == platform::ControlKind::ComboBox;
}

int exactItemIndex(std::uint16_t controlId, const std::u16string& text) {
  const auto items = platform::mainWindowControls().items(controlId);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) return static_cast<int>(i);
  }
  return platform::kComboError;
}

// Shows a text in an edit box, or selects it in a drop-down list.
void showText(std::uint16_t controlId, const std::string& utf8, bool exactMatch) {
  auto& controls = platform::mainWindowControls();
  if (!controls.exists(controlId)) {
    logMissingControl(controlId);
    return;
  }
  const std::u16string text = utf8ToUtf16(utf8);
  if (!isComboBox(controlId)) {
    controls.setText(controlId, text);
  } else if (exactMatch) {
    controls.setCurrentSelection(controlId, exactItemIndex(controlId, text));
  } else {
    controls.selectString(controlId, platform::kComboError, text);
  }
}

}  // namespace

void setControlInt(const IntControlParameter& setting) {
  if (&setting == &par_MAX_FIT) {
    par_MAX_FIT_FL.setValue(maxFitHours(par_MAX_FIT.value()));
    setControlFloat(par_MAX_FIT_FL);
    return;
  }
  showText(setting.controlId(), std::to_string(setting.value()), true);
}

void setControlFloat(const FloatControlParameter& setting) {
  showText(setting.controlId(), formatNumber(setting.value()), true);
}

void setControlText(const StringControlParameter& setting) {
  try {
    showText(setting.controlId(), setting.value(), false);
  } catch (const std::exception& e) {
    gf_logLine(fmt::format("setControlText: {}: {}", setting.name(), e.what()));
  }
}

void clearControlText(std::uint16_t controlId) {
  if (!platform::mainWindowControls().setText(controlId, std::u16string())) logMissingControl(controlId);
}

void setCheckBox(const BoolControlParameter& setting) {
  platform::mainWindowControls().setChecked(setting.controlId(), setting.value());
}

void fillIntCombo(const IntListParameter& setting) {
  auto& controls = platform::mainWindowControls();
  const std::uint16_t id = setting.controlId();
  if (!controls.resetContent(id)) return;
  const std::int32_t value = setting.value();
  int selection = platform::kComboError;
  for (std::int32_t allowed : setting.allowedValues()) {
    const int index = controls.addString(id, utf8ToUtf16(std::to_string(allowed)));
    if (allowed == value) selection = index;
  }
  if (selection != platform::kComboError) controls.setCurrentSelection(id, selection);
}

void fillStringCombo(const StringListParameter& setting) {
  auto& controls = platform::mainWindowControls();
  const std::uint16_t id = setting.controlId();
  try {
    if (!controls.resetContent(id)) return;
    for (const std::string& choice : setting.choices()) controls.addString(id, utf8ToUtf16(choice));
    controls.selectString(id, platform::kComboError, utf8ToUtf16(setting.value()));
  } catch (const std::exception& e) {
    gf_logLine(fmt::format("fillStringCombo: {}: {}", setting.name(), e.what()));
  }
}

}  // namespace crv
