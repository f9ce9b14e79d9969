#pragma once

// The whole program in one test process: a program folder and data folder
// in a temporary folder, the simulator stand-in at Schiphol, the RealTraffic
// stand-in serving the EHAM scenario, and the main window's message loop on
// a thread of its own (the user-interface thread).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/session.h"
#include "platform/simconnect/sim_installation.h"
#include "platform/window/window_model.h"
#include "tests/support/temp_folder.h"
#include "tools/rt-standin/rt_standin.h"

namespace crv::testing {

// Session seconds per real second in these tests.
inline constexpr double kTestSpeedUp = 20.0;

// What runs at the session clock's speed: its waits only, while the
// simulator, the feed and the engine's steps keep real time; its waits and
// the feed's pauses between requests, so that the service's pace and the
// session's own time limits keep one time; or the whole world on that one
// clock (the simulator stand-in's time, the RealTraffic stand-in's "now" and
// the engine's 10 ms steps).
enum class WorldPace { realTime, feedOnSessionClock, sessionClock };

class ProgramHarness {
 public:
  // The options are the test's to change before the session is made; a
  // test that races the session's own short waits runs them slower.
  explicit ProgramHarness(const std::function<void(SessionOptions&)>& adjust = {}, double speedUp = kTestSpeedUp,
                          WorldPace pace = WorldPace::realTime);
  ~ProgramHarness();

  // Writes the settings file the session reads as it starts: both
  // simulators' packages folders and the given parameters.
  void storeSettings(std::initializer_list<std::pair<std::string_view, std::string_view>> nodes);
  // Opens the log and runs the message loop until the quit message.
  void start();
  // After the program ended: starts it again as a new run would, with the
  // same folders, settings and stand-ins (the log rotates).
  void startAgain();
  // Waits (real time) until the condition holds; false after the timeout.
  static bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
  bool waitForLog(const std::string& piece, std::chrono::milliseconds timeout) const;
  bool waitUntilRunning(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Waits for the message loop's end; its exit code, none after the timeout.
  std::optional<int> waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // The close box (posted as the view would).
  void clickClose() { model_.postMessage(platform::kWmClose); }

  // Seconds of the simulator stand-in's clock; with the world on the
  // session clock, also the seconds since the RealTraffic stand-in's
  // worldEpochSeconds().
  double worldSeconds() const;
  // The RealTraffic stand-in's time at world second 0, whole seconds.
  std::int64_t worldEpochSeconds() const { return worldEpochSeconds_; }

  std::string log() const;
  bool sawStatus(const std::string& text) const;

  Session& session() { return *session_; }
  platform::WindowModel& window() { return model_; }
  platform::SimulatorStandIn& sim() { return **installed_; }
  standin::RtStandIn& rt() { return rt_; }
  const TempFolder& folder() const { return folder_; }
  std::filesystem::path packagesFolder() const { return folder_ / "Packages"; }

 private:
  void messageLoop();
  void makeSession();
  void resetSessionFlags();

  TempFolder folder_;
  std::unique_ptr<ScopedWorkingFolder> workingFolder_;
  std::int64_t worldEpochSeconds_ = 0;
  std::shared_ptr<platform::StandInClock> simClock_;
  standin::RtStandIn rt_;
  std::unique_ptr<platform::ScopedSimulator> installed_;
  SessionClock clock_;
  SessionOptions options_;
  platform::WindowModel model_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<MainWindow> window_;
  std::thread uiThread_;
  std::atomic<bool> ended_{false};
  std::atomic<int> exitCode_{0};

  mutable std::mutex statusMutex_;  // guards statusTexts_
  std::vector<std::string> statusTexts_;
};

}  // namespace crv::testing
