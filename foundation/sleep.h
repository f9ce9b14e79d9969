#pragma once

#include <atomic>
#include <chrono>

namespace crv {

// Blocks the calling thread for a number of milliseconds on the steady clock.
void sleepMilliseconds(long milliseconds);

// Sleeps in slices of at most 100 ms and returns early once the flag is set.
// True when the whole time passed, false when the flag ended the wait.
bool sleepUnlessStopped(std::chrono::milliseconds duration, const std::atomic<bool>& stop);

}  // namespace crv
