#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace crv {

// The main window's status line and error line. Safe from any thread: the
// texts live under paintMutex. The window registers a repaint callback that is
// called after each change, outside the lock.

// Shows the text unless an error line is shown; with log set, also writes a
// non-empty text to the log (gf_logLineUnlessStopping).
void setStatusLine(std::string_view text, bool log = false);
void clearStatusLine();

// Shows the text on the error line and logs "Error <text>"; the status text
// is emptied (it does not come back when the error is cleared).
void setErrorLine(std::string_view text);
void clearErrorLine();

std::string statusLineText();
std::string errorLineText();

// The age of a status text: the program's running seconds, advanced once a
// second by the session. A text is stamped with them when it is set (at
// least 1); an empty text has no stamp (0).
void setStatusClockSeconds(int runningSeconds);
int statusSetTime();
// Clears the status text once lifetimeSeconds have passed since it was set;
// true when it did.
bool clearStatusLineOlderThan(int lifetimeSeconds);

std::mutex& paintMutex();

void setStatusRepaintCallback(std::function<void()> callback);

}  // namespace crv
