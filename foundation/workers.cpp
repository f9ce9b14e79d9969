#include "foundation/workers.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace crv {
namespace {

// Guards the limit and the running count; a task that ends wakes the launcher.
// Both live as long as the process: a task thread that is given up on (a
// hung scan task) may still end after the program has begun to exit.
std::mutex& workerMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
std::condition_variable& workerEnded() {
  static auto* ended = new std::condition_variable;
  return *ended;
}
int limit = 1;    // guarded by workerMutex()
int running = 0;  // guarded by workerMutex()

}  // namespace

void setWorkerLimit(int hardwareThreads) {
  {
    const std::lock_guard lock(workerMutex());
    limit = std::max(hardwareThreads, 1);
    running = 0;
  }
  workerEnded().notify_all();
}

int workerLimit() {
  const std::lock_guard lock(workerMutex());
  return limit;
}

void waitForWorkerSlot() {
  std::unique_lock lock(workerMutex());
  workerEnded().wait(lock, [] { return running < limit; });
}

void workerStarted() {
  const std::lock_guard lock(workerMutex());
  ++running;
}

void workerDone() {
  {
    const std::lock_guard lock(workerMutex());
    --running;
  }
  workerEnded().notify_all();
}

int runningWorkers() {
  const std::lock_guard lock(workerMutex());
  return running;
}

}  // namespace crv
