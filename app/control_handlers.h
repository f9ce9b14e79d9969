#pragma once

// What the main window does when the user clicks a control or presses Enter
// in an edit box (user-interface thread). A handler changes its setting,
// saves it at once, tells the user on the status line and leaves work on
// the session worker's data to the worker: request flags, or work posted
// for the worker's next second.

#include <cstdint>
#include <string>

#include "app/session.h"
#include "foundation/settings.h"

namespace crv {

// The notify codes of WM_COMMAND (high word of wParam).
inline constexpr std::uint16_t kComboSelectionChanged = 1;  // CBN_SELCHANGE
// Enter pressed in an edit box (the subclassed box's WM_CHAR 13).
inline constexpr std::uint16_t kEditEnterPressed = 0x0D00;

inline constexpr std::uint64_t commandParam(std::uint16_t id, std::uint16_t notifyCode) {
  return static_cast<std::uint64_t>(id) | (static_cast<std::uint64_t>(notifyCode) << 16);
}

// Time shifts longer than four weeks are cut to this, in minutes.
inline constexpr std::int32_t kMaxTimeShiftMinutes = 40320;

class ControlHandlers {
 public:
  explicit ControlHandlers(Session& session) : session_(session) {}

  // WM_COMMAND; false when no control took it.
  bool onCommand(std::uint64_t wParam);

  bool handleButtons(std::uint16_t id);
  bool handleOptionCheckBoxes(std::uint16_t id);
  bool handleComboBoxes(std::uint64_t wParam);
  bool handleEditEnter(std::uint16_t id);

  void blockCallsign(const std::string& typed);
  void unblockCallsign();
  void processDestination(const std::string& typed);
  void processObjectIdCallsign(const std::string& typed);
  // True when the setting took a new value.
  bool lf_processTbInt(IntControlParameter& setting);
  bool lf_processTbFloat(FloatControlParameter& setting);
  void applyTimeShift(std::int32_t minutes, bool quiet);

 private:
  void scanRequested(bool liveries);
  void publishBlockedCallsign(std::string callsign);

  Session& session_;
};

// The text of a control as UTF-8, at most 1023 UTF-16 units; empty (and
// "GetDlgItem failed for ID {}" logged) when the control is missing.
std::string lf_getTextFromId(std::uint16_t id);

}  // namespace crv
