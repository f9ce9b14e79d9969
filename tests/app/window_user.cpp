#include "tests/app/window_user.h"

#include "app/window_controls.h"
#include "foundation/setting_controls.h"
#include "platform/os/utf16.h"
#include "platform/window/control_model.h"

namespace crv::testing {

void fillDropDownLists() {
  for (const ControlSpec& entry : mainWindowControlTable()) {
    if (const auto* list = dynamic_cast<const IntListParameter*>(entry.setting)) {
      fillIntCombo(*list);
    } else if (const auto* choices = dynamic_cast<const StringListParameter*>(entry.setting)) {
      fillStringCombo(*choices);
    }
  }
}

WindowUser::WindowUser(platform::WindowModel& window)
    : window_(window), input_(window, platform::mainWindowControls()) {}

bool WindowUser::click(std::uint16_t id) {
  const std::optional<platform::ControlState> control = platform::mainWindowControls().control(id);
  if (!control) {
    return false;
  }
  const platform::ControlRect& r = control->rect;
  std::uint16_t reached = 0;
  input_.click(r.x + r.width / 2, r.y + r.height / 2, &reached);
  return reached == id;
}

bool WindowUser::typeAndEnter(std::uint16_t id, const std::string& text) {
  std::u16string typed;
  if (platform::convertUtf8ToUtf16(text, typed) != 0) {
    return false;
  }
  return typeAndEnter(id, std::move(typed));
}

bool WindowUser::typeAndEnter(std::uint16_t id, std::u16string units) {
  if (!click(id) || input_.focusedEdit() != id) {
    return false;
  }
  input_.editText(std::move(units));
  input_.enterPressed();
  input_.releaseFocus();
  return true;
}

bool WindowUser::choose(std::uint16_t id, int index) {
  const std::optional<platform::ControlState> control = platform::mainWindowControls().control(id);
  return control && control->enabled && input_.chooseItem(id, index);
}

}  // namespace crv::testing
