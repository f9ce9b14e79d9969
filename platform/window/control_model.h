#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// The controls of the main window without a screen: each control is found by
// its id and holds what the window would show (text, check state, enabled
// state, the items and selection of a drop-down list). A view paints from
// this model; the program and the tests read and change it alike. Texts are
// UTF-16, as the window calls take them. Every operation is safe from any
// thread.

enum class ControlKind { CheckBox, EditBox, ComboBox, PushButton };

struct ControlRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// What the combo-box operations give for a missing control, an index out of
// range or a search without a match.
inline constexpr int kComboError = -1;

// Notify codes of WM_COMMAND (the high word of wParam): a click on a check
// box or push button (BN_CLICKED), a new choice in a drop-down list
// (CBN_SELCHANGE), and Enter in an edit box (the subclassed box's WM_CHAR 13,
// which the program turns into a command of its own).
inline constexpr std::uint16_t kButtonClicked = 0;
inline constexpr std::uint16_t kComboSelectionChanged = 1;
inline constexpr std::uint16_t kEditEnterPressed = 0x0D00;

inline constexpr std::uint64_t commandParam(std::uint16_t id, std::uint16_t notifyCode) {
  return static_cast<std::uint64_t>(id) | (static_cast<std::uint64_t>(notifyCode) << 16);
}

struct ControlState {
  std::uint16_t id = 0;
  ControlKind kind = ControlKind::EditBox;
  ControlRect rect;
  std::u16string text;  // edit box text or button caption
  bool checked = false;
  bool enabled = true;
  std::vector<std::u16string> items;  // drop-down list items in order
  int selection = kComboError;        // selected item, kComboError for none
};

class ControlModel {
 public:
  // Adds a control; false when the id is taken already.
  bool createControl(std::uint16_t id, ControlKind kind, ControlRect rect, std::u16string text = {},
                     bool enabled = true);
  // Removes every control (the window is gone).
  void destroyAll();

  bool exists(std::uint16_t id) const;
  // A copy of the control's state.
  std::optional<ControlState> control(std::uint16_t id) const;
  // Ids in creation order.
  std::vector<std::uint16_t> controlIds() const;

  // Each setter is false when no control has the id.
  bool setText(std::uint16_t id, std::u16string text);
  std::optional<std::u16string> text(std::uint16_t id) const;
  bool setChecked(std::uint16_t id, bool checked);
  std::optional<bool> isChecked(std::uint16_t id) const;
  bool setEnabled(std::uint16_t id, bool enabled);
  std::optional<bool> isEnabled(std::uint16_t id) const;

  // Drop-down lists.
  // Empties the list; nothing is selected afterwards.
  bool resetContent(std::uint16_t id);
  // Appends an item; its index, or kComboError.
  int addString(std::uint16_t id, std::u16string item);
  // Selects the item at the index and gives the index. An index out of range
  // (kComboError included) clears the selection and gives kComboError.
  int setCurrentSelection(std::uint16_t id, int index);
  // Selects the first item after startAfter, wrapping round to the start,
  // that begins with the prefix, letter case ignored; kComboError for
  // startAfter searches from the first item. Without a match the selection
  // stays as it is and the result is kComboError.
  int selectString(std::uint16_t id, int startAfter, std::u16string_view prefix);
  int currentSelection(std::uint16_t id) const;
  std::optional<std::u16string> selectedItem(std::uint16_t id) const;
  std::vector<std::u16string> items(std::uint16_t id) const;

 private:
  ControlState* find(std::uint16_t id);
  const ControlState* find(std::uint16_t id) const;

  // Runs the change on the control under the lock; false without a control.
  template <typename Change>
  bool change(std::uint16_t id, Change&& apply) {
    std::lock_guard lock(mutex_);
    ControlState* state = find(id);
    if (state == nullptr) return false;
    apply(*state);
    return true;
  }

  // Reads one field of the control under the lock; empty without a control.
  template <typename Field>
  auto read(std::uint16_t id, Field&& field) const
      -> std::optional<decltype(field(std::declval<const ControlState&>()))> {
    std::lock_guard lock(mutex_);
    const ControlState* state = find(id);
    if (state == nullptr) return std::nullopt;
    return field(*state);
  }

  // Guards the controls and their order: the window and the worker's threads
  // set and read them.
  mutable std::mutex mutex_;
  std::vector<std::uint16_t> order_;
  std::map<std::uint16_t, ControlState> controls_;
};

// True when the item begins with the prefix, letter case ignored (ASCII and
// Latin-1 letters).
bool beginsWithIgnoringCase(std::u16string_view item, std::u16string_view prefix);

// The controls of the program's main window.
ControlModel& mainWindowControls();

}  // namespace platform
