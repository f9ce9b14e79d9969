#include "airportscan/bgl_task_pool.h"

#include <algorithm>

namespace crv {

BglTaskPool::BglTaskPool(int threadCount) {
  const int count = std::max(threadCount, 1);
  threads_.reserve(static_cast<std::size_t>(count));
  for (int index = 0; index < count; ++index) {
    threads_.emplace_back([this] { run(state_); });
  }
}

BglTaskPool::~BglTaskPool() {
  {
    const std::lock_guard lock(state_.mutex);
    state_.closed = true;
  }
  state_.taskReady.notify_all();
  for (std::thread& thread : threads_) {
    thread.join();
  }
}

std::future<void> BglTaskPool::submit(Task task) {
  std::future<void> future = task.get_future();
  {
    const std::lock_guard lock(state_.mutex);
    state_.tasks.push_back(std::move(task));
  }
  state_.taskReady.notify_one();
  return future;
}

void BglTaskPool::run(State& state) {
  std::unique_lock lock(state.mutex);
  for (;;) {
    state.taskReady.wait(lock, [&] { return state.closed || !state.tasks.empty(); });
    if (state.tasks.empty()) {
      return;
    }
    {
      Task task = std::move(state.tasks.front());
      state.tasks.pop_front();
      lock.unlock();
      task();  // a packaged task keeps its exception for the future
    }
    lock.lock();
  }
}

}  // namespace crv
