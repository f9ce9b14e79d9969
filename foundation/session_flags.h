#pragma once

#include <atomic>

namespace crv {

// Raised when the running session must end; the first raiser wins.
bool stopRequested();
// Raises the flag; true when this call raised it (false when it was up already).
bool raiseStop();
void clearStopRequest();

// Raised when the user closed the main window.
bool userClosedWindow();
void setUserClosedWindow(bool closed);

// The flags themselves, for waits that watch one (sleepUnlessStopped, a
// stoppable transfer).
const std::atomic<bool>& stopRequestedFlag();
const std::atomic<bool>& userClosedWindowFlag();

bool isStopping();

}  // namespace crv
