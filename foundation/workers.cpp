#include "foundation/workers.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace crv {
namespace {

std::atomic<int> limit{1};
std::atomic<int> running{0};

}  // namespace

void setWorkerLimit(int hardwareThreads) {
  limit.store(std::max(hardwareThreads, 1));
  running.store(0);
}

int workerLimit() { return limit.load(); }

void waitForWorkerSlot() {
  while (running.load() >= limit.load()) {
    // The scans poll about once a millisecond; a shorter sleep would keep a
    // core busy for the whole scan.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void workerStarted() { running.fetch_add(1); }
void workerDone() { running.fetch_sub(1); }
int runningWorkers() { return running.load(); }

}  // namespace crv
