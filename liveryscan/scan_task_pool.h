#pragma once

// The threads that run the livery scan's per-file tasks: as many as the
// scan-worker limit allows, each taking the oldest waiting task. Every task
// counts in runningWorkers while it runs (foundation/workers.h). The
// submitter takes each result through the task's future, with a time limit.
//
// A task that never ends must not hold up the scan: the submitter gives up
// waiting for it (waitForResult), adds a thread in its place, and the pool
// leaves the stuck thread behind when it goes. That thread still owns a
// share of the pool's state, so it ends cleanly whenever its task does.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "aircraftdata/livery_data.h"

namespace crv {

class ScanTaskPool {
 public:
  using Task = std::packaged_task<LiveryList()>;

  // threadCount below 1 is taken as 1.
  explicit ScanTaskPool(int threadCount);
  // Drops the tasks that have not started, waits for the running ones for
  // at most the given time, and leaves any thread that is still busy.
  ~ScanTaskPool();
  ScanTaskPool(const ScanTaskPool&) = delete;
  ScanTaskPool& operator=(const ScanTaskPool&) = delete;

  std::future<LiveryList> submit(Task task);
  // Queues the tasks at once and wakes the threads once: the walk finds
  // files one by one, and a wake-up per file costs more than its parsing.
  std::vector<std::future<LiveryList>> submit(std::vector<Task>& tasks);
  // Tasks not yet started are dropped (their futures report a broken promise).
  void dropWaitingTasks();
  // One more thread, in place of one whose task hangs.
  void addThread();
  int threadCount() const;

  // How long the destructor waits for running tasks.
  void setCloseWait(std::chrono::milliseconds wait) { closeWait_ = wait; }

 private:
  struct State {
    std::mutex mutex;  // guards every field below
    std::condition_variable taskReady;
    std::condition_variable threadEnded;
    std::deque<Task> tasks;
    bool closed = false;
    int liveThreads = 0;
  };
  static void run(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::vector<std::thread> threads_;
  std::chrono::milliseconds closeWait_{std::chrono::seconds(10)};
};

// Waits for the result for at most the limit: the liveries, or none when
// the task did not end in time. An exception of the task is thrown.
std::optional<LiveryList> waitForResult(std::future<LiveryList>& future, std::chrono::milliseconds limit);

}  // namespace crv
