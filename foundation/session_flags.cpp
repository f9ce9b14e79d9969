#include "foundation/session_flags.h"

namespace crv {
namespace {

std::atomic<bool> stopFlag{false};
std::atomic<bool> windowClosedFlag{false};

}  // namespace

bool stopRequested() { return stopFlag.load(); }
bool raiseStop() { return !stopFlag.exchange(true); }
void clearStopRequest() { stopFlag.store(false); }

bool userClosedWindow() { return windowClosedFlag.load(); }
void setUserClosedWindow(bool closed) { windowClosedFlag.store(closed); }

const std::atomic<bool>& stopRequestedFlag() { return stopFlag; }
const std::atomic<bool>& userClosedWindowFlag() { return windowClosedFlag; }

bool isStopping() {
  return stopFlag.load(std::memory_order_relaxed) || windowClosedFlag.load(std::memory_order_relaxed);
}

}  // namespace crv
