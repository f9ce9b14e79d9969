#pragma once

// Showing setting values in the main window's controls
// (platform/window/control_model.h), found by the setting's control id.

#include <cstdint>

#include "foundation/settings.h"

namespace crv {

// The value as decimal text in its edit box; a drop-down list selects the
// item of that text (none when the value is not listed). MAX_FIT has no
// control of its own: it shows as MAX_FIT_FL, whose value follows it.
// A missing control logs "GetDlgItem failed for ID <id>".
void setControlInt(const IntControlParameter& setting);
// "{:.0f}" when whole, else "{:.1f}".
void setControlFloat(const FloatControlParameter& setting);
// The text in its edit box; a drop-down list selects as fillStringCombo does.
void setControlText(const StringControlParameter& setting);
// Empties the control's text.
void clearControlText(std::uint16_t controlId);
// Ticks or clears the check box from the value.
void setCheckBox(const BoolControlParameter& setting);

// Refill a drop-down list with its allowed values, then select the current
// value. fillIntCombo selects the exact value and leaves nothing selected
// when it is not listed; fillStringCombo selects the first choice that
// begins with the value, letter case ignored, and leaves the selection as it
// was when none does. Nothing happens while the control does not exist.
void fillIntCombo(const IntListParameter& setting);
void fillStringCombo(const StringListParameter& setting);

}  // namespace crv
