#pragma once

// The threads that read the BGL files of one folder walk: as many as the
// scan-worker limit, each taking the oldest waiting task. Starting and
// ending a thread per file costs more than reading a small BGL file, and
// the walk finds thousands of them.
//
// The walk takes every result through the task's future, waiting as long as
// a task runs, and has collected them all before the pool goes.

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace crv {

class BglTaskPool {
 public:
  using Task = std::packaged_task<void()>;

  // threadCount below 1 is taken as 1.
  explicit BglTaskPool(int threadCount);
  // Runs the tasks still waiting (their futures were handed out), then ends
  // the threads.
  ~BglTaskPool();
  BglTaskPool(const BglTaskPool&) = delete;
  BglTaskPool& operator=(const BglTaskPool&) = delete;

  std::future<void> submit(Task task);
  int threadCount() const { return static_cast<int>(threads_.size()); }

 private:
  struct State {
    std::mutex mutex;  // guards tasks and closed
    std::condition_variable taskReady;
    std::deque<Task> tasks;
    bool closed = false;
  };
  static void run(State& state);

  State state_;
  std::vector<std::thread> threads_;
};

}  // namespace crv
