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

// Shows the text on the error line and logs "Error <text>".
void setErrorLine(std::string_view text);
void clearErrorLine();

std::string statusLineText();
std::string errorLineText();

std::mutex& paintMutex();

void setStatusRepaintCallback(std::function<void()> callback);

}  // namespace crv
