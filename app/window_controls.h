#pragma once

// The 47 controls of the main window's controls band: their table (id, kind,
// place, size, the setting they belong to), their creation, and the
// enabling of groups of them. The controls live in the headless control
// model (platform/window/control_model.h), which the view draws.

#include <cstdint>
#include <vector>

#include "foundation/settings.h"
#include "platform/window/control_model.h"
#include "platform/window/window_model.h"

namespace crv {

// The controls band and the info band, as rectangles of the panel.
inline constexpr platform::Rect kControlsBand{0, 112, 880, 392};
inline constexpr platform::Rect kInfoBand{0, 28, 880, 112};

enum class EditKind { none, integer, floating, text };

struct ControlSpec {
  const ParameterControl* setting = nullptr;  // the setting or the push button
  platform::ControlKind kind = platform::ControlKind::CheckBox;
  EditKind edit = EditKind::none;
  int x = 0;
  int width = 0;   // combo boxes, edit boxes and buttons
  int height = 0;  // the list height of a combo box
};

// The table in creation order.
const std::vector<ControlSpec>& mainWindowControlTable();
// The table entry of an id; nullptr when none.
const ControlSpec* controlSpecOf(std::uint16_t id);
// Where the control sits: check boxes (x, row + 2) 12 by 12, edit boxes
// (x, row) height 16, combo boxes (x, row - 5) height 20 (their list is
// not drawn), push buttons (x, row) height 20.
platform::ControlRect controlRect(const ControlSpec& controlEntry);

// Creates every control of the table in order with its value shown; edit
// boxes and push buttons start disabled. Invalidates the window.
void createControls(platform::ControlModel& controls, platform::WindowModel* window);

// The time-shift boxes and the SIM_TIME and KEEP_SIM_TIME_PAR check boxes.
void enableTimeShiftControls(bool on);
bool timeShiftControlsActive();

// Every session starts from the same controls: enables or disables each
// control of the band by the settings just read, refills the drop-down
// lists, sets parking_percentage to 30 and MAX_FIT_FL from MAX_FIT (both
// boxes emptied) and ends with refreshParkingControls. Called on the session
// worker; the time-shift controls are left to the session.
void initControlStates();

// The parking controls follow RT_PARKTRAFFIC_ONLY: enabled and showing
// their values while it is off, disabled and empty while it is on.
void refreshParkingControls();

// The static parking calculation runs (busyOn) or has ended (busyOff).
void busyOn();
void busyOff();
bool parkingBusy();
std::int32_t minutesToRenewal();

// The window is kept above the others exactly while ALWAYS_ON_TOP is on.
void applyAlwaysOnTop();

// The window that the control changes invalidate (none in some tests).
void setControlsWindow(platform::WindowModel* window);
void invalidateControls();

}  // namespace crv
