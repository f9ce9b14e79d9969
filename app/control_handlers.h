#pragma once

// What the main window does when the user clicks a control or presses Enter
// in an edit box (user-interface thread). A handler changes its setting,
// saves it at once, tells the user on the status line and leaves work on
// the session worker's data to the worker: request flags, or work posted
// for the worker's next second.

#include <cstdint>
#include <string>

#include "app/session.h"
#include "foundation/geodesy.h"
#include "foundation/settings.h"
#include "platform/window/control_model.h"

namespace crv {

using platform::commandParam;
using platform::kComboSelectionChanged;
using platform::kEditEnterPressed;

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
  // The destination becomes the airport's code (saved, shown) and its
  // airport the first park airport.
  void setDestination(const std::string& code, const GeoPoint& position);
  void processObjectIdCallsign(const std::string& typed);
  // True when the setting took a new value.
  bool lf_processTbInt(IntControlParameter& setting);
  bool lf_processTbFloat(FloatControlParameter& setting);
  void applyTimeShift(std::int32_t minutes, bool quiet);
  // SIM_TIME off: no time shift; on: the shift follows the simulator clock.
  // The time-shift boxes take input only while it is off.
  void applySimTimeOption();
  // After a parking option changed, while a park airport is loaded: the
  // calculation is asked for and the user told when the program responds
  // (the next 15-second round of the main loop).
  void announceResponseDelay();

 private:
  void scanRequested(bool liveries);
  void publishBlockedCallsign(std::string callsign);

  Session& session_;
};

// Worker: the nav lights of the aircraft parked in the simulator (static
// ones, and live ones in their parked phase) switched on or off; the number
// of events queued.
std::size_t queueParkedNavLights(TrafficEngine& engine, bool on);

// Seconds from the main loop's second counter to its next 15-second round
// (1 to 15).
int secondsToNextRound(int secondCounter);

// The text of a control as UTF-8, at most 1023 UTF-16 units; empty (and
// "GetDlgItem failed for ID {}" logged) when the control is missing.
std::string lf_getTextFromId(std::uint16_t id);

}  // namespace crv
