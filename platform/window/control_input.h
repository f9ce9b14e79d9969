#pragma once

// What the user's mouse and keys do to the controls of the main window,
// without a toolkit: a view forwards its clicks, list choices and typing
// here, the model changes as the real controls would change, and the
// program hears of it through WM_COMMAND messages, as from real controls.
// User-interface thread only (the models themselves are safe from any).

#include <cstdint>
#include <optional>
#include <string>

#include "platform/window/control_model.h"
#include "platform/window/window_model.h"

namespace platform {

enum class ClickOutcome {
  nothing,      // no enabled control there; an edit box in use lets go
  command,      // a check box or push button: WM_COMMAND posted
  openList,     // a drop-down list: the view shows its items
  editFocused,  // an edit box now takes the keys
};

class ControlInput {
 public:
  ControlInput(WindowModel& window, ControlModel& controls);

  // The enabled control whose rectangle holds the point.
  std::optional<ControlState> controlAt(int x, int y) const;

  // A left click at the point, with the control it reached (none for
  // nothing).
  ClickOutcome click(int x, int y, std::uint16_t* reached = nullptr);

  // An item of a drop-down list was chosen: the list selects it and the
  // program is told (CBN_SELCHANGE). False for a list or index that is not
  // there (nothing changes then).
  bool chooseItem(std::uint16_t id, int index);

  // The edit box that takes the keys; none when none does, or when it has
  // been disabled or removed since.
  std::optional<std::uint16_t> focusedEdit() const;
  void releaseFocus() { focused_.reset(); }
  // The text of the box in use as typed so far.
  void editText(std::u16string text);
  // Enter in the box in use: the program is told, and reads the box's text.
  void enterPressed();

 private:
  WindowModel& window_;
  ControlModel& controls_;
  std::optional<std::uint16_t> focused_;
};

}  // namespace platform
