#include "platform/window/control_input.h"

namespace platform {

ControlInput::ControlInput(WindowModel& window, ControlModel& controls) : window_(window), controls_(controls) {}

std::optional<ControlState> ControlInput::controlAt(int x, int y) const {
  // The last created control lies on top, as child windows do.
  const std::vector<std::uint16_t> ids = controls_.controlIds();
  for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
    std::optional<ControlState> control = controls_.control(*id);
    if (!control || !control->enabled) continue;
    const ControlRect& r = control->rect;
    if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) return control;
  }
  return std::nullopt;
}

ClickOutcome ControlInput::click(int x, int y, std::uint16_t* reached) {
  const std::optional<ControlState> control = controlAt(x, y);
  if (reached != nullptr) *reached = control ? control->id : 0;
  if (!control) {
    focused_.reset();
    return ClickOutcome::nothing;
  }
  switch (control->kind) {
    case ControlKind::CheckBox:
    case ControlKind::PushButton:
      focused_.reset();
      window_.postMessage(kWmCommand, commandParam(control->id, kButtonClicked));
      return ClickOutcome::command;
    case ControlKind::ComboBox:
      focused_.reset();
      return ClickOutcome::openList;
    case ControlKind::EditBox:
      focused_ = control->id;
      return ClickOutcome::editFocused;
  }
  return ClickOutcome::nothing;
}

bool ControlInput::chooseItem(std::uint16_t id, int index) {
  const std::optional<ControlState> control = controls_.control(id);
  if (!control || control->kind != ControlKind::ComboBox || !control->enabled || index < 0 ||
      static_cast<std::size_t>(index) >= control->items.size()) {
    return false;
  }
  controls_.setCurrentSelection(id, index);
  window_.postMessage(kWmCommand, commandParam(id, kComboSelectionChanged));
  return true;
}

std::optional<std::uint16_t> ControlInput::focusedEdit() const {
  if (!focused_ || !controls_.isEnabled(*focused_).value_or(false)) return std::nullopt;
  return focused_;
}

void ControlInput::editText(std::u16string text) {
  if (const std::optional<std::uint16_t> id = focusedEdit()) controls_.setText(*id, std::move(text));
}

void ControlInput::enterPressed() {
  if (const std::optional<std::uint16_t> id = focusedEdit()) {
    window_.postMessage(kWmCommand, commandParam(*id, kEditEnterPressed));
  }
}

}  // namespace platform
