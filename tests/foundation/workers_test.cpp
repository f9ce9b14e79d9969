#include "foundation/workers.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace crv {
namespace {

TEST(WorkersTest, NeverMoreTasksThanTheLimitRunAtOnce) {
  setWorkerLimit(3);
  runningWorkers = 0;
  std::atomic<int> peak{0};
  std::atomic<int> finished{0};
  std::vector<std::thread> tasks;
  // One launcher, many short tasks, as the scans start them.
  for (int i = 0; i < 60; ++i) {
    waitForWorkerSlot();
    const int running = runningWorkers.fetch_add(1) + 1;
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
  EXPECT_EQ(runningWorkers.load(), 0);
}

TEST(WorkersTest, AHardwareCountOfZeroStillLetsOneTaskRun) {
  setWorkerLimit(0);
  EXPECT_EQ(workerLimit.load(), 1);
  runningWorkers = 0;
  waitForWorkerSlot();  // returns at once
  // Even a limit stored directly as 0 never blocks the first task.
  workerLimit = 0;
  waitForWorkerSlot();
  SUCCEED();
  setWorkerLimit(1);
}

}  // namespace
}  // namespace crv
