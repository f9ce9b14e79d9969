#pragma once

// The user at the main window, as the view passes on a person's mouse and
// keys: a click lands only on an enabled control, typing only in the edit
// box that the click focused, and the program hears of it through its
// message loop.

#include <cstdint>
#include <string>

#include "platform/window/control_input.h"
#include "platform/window/window_model.h"

namespace crv::testing {

class WindowUser {
 public:
  explicit WindowUser(platform::WindowModel& window);

  // Clicks the middle of the control; false when no enabled control is there.
  bool click(std::uint16_t id);
  // Clicks into the edit box, types the text over what it holds and presses
  // Enter; false when the box cannot be typed in (disabled).
  bool typeAndEnter(std::uint16_t id, const std::string& text);
  // The same with the UTF-16 units as they reach the box (a paste may bring
  // half a surrogate pair).
  bool typeAndEnter(std::uint16_t id, std::u16string units);
  // Chooses the list item of a drop-down list; false when the list is
  // disabled or has no such item.
  bool choose(std::uint16_t id, int index);

 private:
  platform::WindowModel& window_;
  platform::ControlInput input_;
};

// Fills every drop-down list of the window with its choices and selects the
// setting's value, as the session start does (for handlers tried without a
// session).
void fillDropDownLists();

}  // namespace crv::testing
