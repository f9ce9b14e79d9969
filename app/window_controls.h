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

// Creates every control of the table in order: check boxes show their
// values, the drop-down lists are empty and the edit boxes without text
// until the session start fills them; edit boxes and push buttons start
// disabled. Invalidates the window.
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

// The countdown to the next 20-minute renewal of the static aircraft, from
// the main loop's second counter: once a minute (the counter a multiple of
// 60) the minutes left to the next 20-minute mark are stored and the panel
// invalidated. False in any other second.
bool countDownToRenewal(int secondCounter);
// Minutes from the whole minute of the counter to the next 20-minute mark
// (1 to 20).
std::int32_t minutesToNextRenewal(int secondCounter);

// The park airport's file has been read: the destination box takes input.
void enableDestinationBox();
// The Re-read request has been served: its button and the destination box
// take input again.
void rereadServed();
// The park airport is closed: no flush and no parking percentage until the
// next one is loaded.
void disableParkAirportControls();

// MAX_LIVE_SEL as the user chose it (at the start, or in its box); an
// airport file's override does not change it. Any thread.
void rememberUserMaxLive(std::int32_t maxLive);
// The setting back at the user's choice after an airport's override (shown
// in its box, not saved); true when it changed, so that the engine enforces
// the limit anew. Nothing changes while no choice is recorded.
bool restoreUserMaxLive();

// The window is kept above the others exactly while ALWAYS_ON_TOP is on.
void applyAlwaysOnTop();

// The window that the control changes invalidate (none in some tests).
void setControlsWindow(platform::WindowModel* window);
void invalidateControls();

}  // namespace crv
