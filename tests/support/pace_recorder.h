#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace crv::testing {

// A clock for the feed's pace that keeps every pause it is asked for and
// passes it in a thousandth of its real time (at least 1 ms, so that a
// reader's loop never spins), ending early on the stop flag like the
// program's own.
class PaceRecorder {
 public:
  // A wait function for the feed; it shares this recorder's list.
  auto waitFunction() {
    return [pauses = pauses_](std::chrono::milliseconds duration, const std::atomic<bool>& stop) {
      pauses->add(duration);
      const auto real = std::max(std::chrono::milliseconds(1), duration / 1000);
      const auto end = std::chrono::steady_clock::now() + real;
      while (!stop.load()) {
        if (std::chrono::steady_clock::now() >= end) {
          return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      return false;
    };
  }

  std::vector<std::chrono::milliseconds> pauses() const { return pauses_->list(); }

 private:
  struct Pauses {
    void add(std::chrono::milliseconds duration) {
      std::lock_guard lock(mutex);
      asked.push_back(duration);
    }
    std::vector<std::chrono::milliseconds> list() const {
      std::lock_guard lock(mutex);
      return asked;
    }
    mutable std::mutex mutex;  // guards asked
    std::vector<std::chrono::milliseconds> asked;
  };
  std::shared_ptr<Pauses> pauses_ = std::make_shared<Pauses>();
};

}  // namespace crv::testing
