#include "foundation/workers.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace crv {

void setWorkerLimit(int hardwareThreads) { workerLimit.store(std::max(hardwareThreads, 1)); }

void waitForWorkerSlot() {
  while (runningWorkers.load() >= std::max(workerLimit.load(), 1)) {
    // The scans poll about once a millisecond; a shorter sleep would keep a
    // core busy for the whole scan.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void workerDone() { runningWorkers.fetch_sub(1); }

}  // namespace crv
