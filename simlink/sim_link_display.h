#pragma once

#include <atomic>
#include <mutex>
#include <string>

namespace crv {

// What the main window's status panel shows of the simulator link. Written
// on the SimClient thread, read by the window from any thread.
class SimLinkDisplay {
 public:
  std::atomic<bool> simConnected{false};
  std::atomic<bool> flightRunning{false};
  std::atomic<bool> userAircraftKnown{true};

  void setSimulatorText(std::string text) { set(simulatorText_, std::move(text)); }
  void setUserAircraftText(std::string text) { set(userAircraftText_, std::move(text)); }
  void setUserStandText(std::string text) { set(userStandText_, std::move(text)); }
  std::string simulatorText() const { return get(simulatorText_); }
  std::string userAircraftText() const { return get(userAircraftText_); }
  std::string userStandText() const { return get(userStandText_); }

  void reset() {
    simConnected.store(false);
    flightRunning.store(false);
    userAircraftKnown.store(true);
    std::lock_guard lock(mutex_);
    simulatorText_.clear();
    userAircraftText_.clear();
    userStandText_.clear();
  }

 private:
  void set(std::string& target, std::string text) {
    std::lock_guard lock(mutex_);
    target = std::move(text);
  }
  std::string get(const std::string& source) const {
    std::lock_guard lock(mutex_);
    return source;
  }

  mutable std::mutex mutex_;
  std::string simulatorText_;
  std::string userAircraftText_;
  std::string userStandText_;
};

}  // namespace crv
