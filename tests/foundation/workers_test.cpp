#include "foundation/workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace crv {
namespace {

TEST(WorkersTest, NeverMoreTasksThanTheLimitRunAtOnce) {
  setWorkerLimit(3);
  std::atomic<int> peak{0};
  std::atomic<int> finished{0};
  std::vector<std::thread> tasks;
  // One launcher, many short tasks, as the scans start them.
  for (int i = 0; i < 60; ++i) {
    waitForWorkerSlot();
    workerStarted();
    const int running = runningWorkers();
    int seen = peak.load();
    while (running > seen && !peak.compare_exchange_weak(seen, running)) {
    }
    tasks.emplace_back([&finished] {
      std::this_thread::yield();
      finished.fetch_add(1);
      workerDone();
    });
  }
  for (auto& task : tasks) {
    task.join();
  }
  EXPECT_EQ(finished.load(), 60);
  EXPECT_LE(peak.load(), 3);
  EXPECT_EQ(runningWorkers(), 0);
}

TEST(WorkersTest, AHardwareCountOfZeroStillLetsOneTaskRun) {
  setWorkerLimit(0);
  EXPECT_EQ(workerLimit(), 1);
  waitForWorkerSlot();  // returns at once
  setWorkerLimit(1);
}

}  // namespace
}  // namespace crv
