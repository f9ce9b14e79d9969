#include "liveryscan/scan_task_pool.h"

#include <algorithm>

#include "foundation/workers.h"

namespace crv {
namespace {

// Lowers the running count however the task ends.
class RunningTask {
 public:
  RunningTask() { workerStarted(); }
  ~RunningTask() { workerDone(); }
  RunningTask(const RunningTask&) = delete;
  RunningTask& operator=(const RunningTask&) = delete;
};

}  // namespace

ScanTaskPool::ScanTaskPool(int threadCount) {
  for (int i = 0; i < std::max(threadCount, 1); ++i) addThread();
}

ScanTaskPool::~ScanTaskPool() {
  std::unique_lock lock(state_->mutex);
  state_->closed = true;
  state_->tasks.clear();
  state_->taskReady.notify_all();
  const bool allEnded = state_->threadEnded.wait_for(lock, closeWait_, [&] { return state_->liveThreads == 0; });
  lock.unlock();
  for (std::thread& thread : threads_) {
    if (allEnded) {
      thread.join();
    } else {
      thread.detach();
    }
  }
}

void ScanTaskPool::addThread() {
  {
    std::lock_guard lock(state_->mutex);
    ++state_->liveThreads;
  }
  threads_.emplace_back([state = state_] { run(state); });
}

int ScanTaskPool::threadCount() const { return static_cast<int>(threads_.size()); }

std::future<LiveryList> ScanTaskPool::submit(Task task) {
  std::future<LiveryList> future = task.get_future();
  {
    std::lock_guard lock(state_->mutex);
    state_->tasks.push_back(std::move(task));
  }
  state_->taskReady.notify_one();
  return future;
}

std::vector<std::future<LiveryList>> ScanTaskPool::submit(std::vector<Task>& tasks) {
  std::vector<std::future<LiveryList>> futures;
  futures.reserve(tasks.size());
  {
    std::lock_guard lock(state_->mutex);
    for (Task& task : tasks) {
      futures.push_back(task.get_future());
      state_->tasks.push_back(std::move(task));
    }
  }
  tasks.clear();
  state_->taskReady.notify_all();
  return futures;
}

void ScanTaskPool::dropWaitingTasks() {
  std::lock_guard lock(state_->mutex);
  state_->tasks.clear();
}

void ScanTaskPool::run(const std::shared_ptr<State>& state) {
  for (;;) {
    Task task;
    {
      std::unique_lock lock(state->mutex);
      state->taskReady.wait(lock, [&] { return state->closed || !state->tasks.empty(); });
      if (state->tasks.empty()) break;
      task = std::move(state->tasks.front());
      state->tasks.pop_front();
    }
    const RunningTask running;
    task();
  }
  std::lock_guard lock(state->mutex);
  --state->liveThreads;
  state->threadEnded.notify_all();
}

std::optional<LiveryList> waitForResult(std::future<LiveryList>& future, std::chrono::milliseconds limit) {
  if (future.wait_for(limit) != std::future_status::ready) return std::nullopt;
  return future.get();
}

}  // namespace crv
