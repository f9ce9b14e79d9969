#include "foundation/workers.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace crv {

void setWorkerLimit(int hardwareThreads) { workerLimit.store(std::max(hardwareThreads, 1)); }

void waitForWorkerSlot() {
  while (runningWorkers.load() >= std::max(workerLimit.load(), 1)) {
    std::this_thread::sleep_for(std::chrono::microseconds(10));
  }
}

void workerDone() { runningWorkers.fetch_sub(1); }

}  // namespace crv
