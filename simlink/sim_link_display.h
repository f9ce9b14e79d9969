#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "foundation/thread_annotations.h"

namespace crv {

// What the main window's status panel shows of the simulator link. Written
// on the SimClient thread, read by the window from any thread.
class SimLinkDisplay {
 public:
  std::atomic<bool> simConnected{false};
  std::atomic<bool> flightRunning{false};
  std::atomic<bool> userAircraftKnown{true};

  void setSimulatorText(std::string text) {
    MutexLock lock(mutex_);
    simulatorText_ = std::move(text);
  }
  void setUserAircraftText(std::string text) {
    MutexLock lock(mutex_);
    userAircraftText_ = std::move(text);
  }
  void setUserStandText(std::string text) {
    MutexLock lock(mutex_);
    userStandText_ = std::move(text);
  }
  std::string simulatorText() const {
    MutexLock lock(mutex_);
    return simulatorText_;
  }
  std::string userAircraftText() const {
    MutexLock lock(mutex_);
    return userAircraftText_;
  }
  std::string userStandText() const {
    MutexLock lock(mutex_);
    return userStandText_;
  }

  void reset() {
    simConnected.store(false);
    flightRunning.store(false);
    userAircraftKnown.store(true);
    MutexLock lock(mutex_);
    simulatorText_.clear();
    userAircraftText_.clear();
    userStandText_.clear();
  }

 private:
  // Guards the three texts; the getters hand out copies.
  mutable Mutex mutex_;
  std::string simulatorText_ GUARDED_BY(mutex_);
  std::string userAircraftText_ GUARDED_BY(mutex_);
  std::string userStandText_ GUARDED_BY(mutex_);
};

}  // namespace crv
