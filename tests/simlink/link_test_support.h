#pragma once

// A simulator stand-in, the link's queues and a SimLink wired to recording
// hooks, for the link's tests. The SimClient thread can run for real, or the
// test calls the link's handlers itself, step by step.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "platform/simconnect/sim_installation.h"
#include "platform/simconnect/sim_standin.h"
#include "simlink/link_event.h"
#include "simlink/sim_client.h"
#include "simlink/sim_link.h"
#include "simlink/sim_queues.h"
#include "tests/support/log_capture.h"

namespace crv::testing {

// Checks the condition every millisecond until it holds or the time is up.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A user aircraft standing at Zurich in an A320neo.
inline platform::SimWorld defaultTestWorld() {
  platform::SimWorld world;
  world.userAircraft.latitudeDegrees = 47.4647;
  world.userAircraft.longitudeDegrees = 8.5492;
  world.userAircraft.altitudeFeet = 1416.0;
  world.userAircraft.groundAltitudeFeet = 1416.0;
  world.userAircraft.onGround = true;
  world.userAircraft.title = "Airbus A320 Neo Asobo";
  world.userAircraft.atcModel = "A20N";
  return world;
}

class SimLinkFixture : public ::testing::Test {
 private:
  mutable std::mutex hookMutex_;  // guards what the link's hooks received, from any thread
  std::vector<LinkEvent> events_;
  std::vector<LinkExitReason> exits_;
  std::vector<std::string> stands_;

  template <typename T>
  std::function<void(const T&)> recordInto(std::vector<T>& list) {
    return [this, &list](const T& value) {
      std::lock_guard lock(hookMutex_);
      list.push_back(value);
    };
  }
  template <typename T>
  std::vector<T> copyOf(const std::vector<T>& list) const {
    std::lock_guard lock(hookMutex_);
    return list;
  }
  static void resetProcessFlags() {
    clearStopRequest();
    setUserClosedWindow(false);
    setMsfs2020(true);
    clearErrorLine();
    clearStatusLine();
  }

 protected:
  explicit SimLinkFixture(platform::SimWorld world = defaultTestWorld())
      : sim(std::make_shared<platform::SimulatorStandIn>(std::move(world))),
        installed(sim),
        link(queues, SimLinkHooks{recordInto(events_), recordInto(exits_), recordInto(stands_), [] {}}),
        client(link) {
    resetProcessFlags();
    setDataFolderPath(folder.path() / "data");
    openLog(folder / "Log.txt");
    queues.setRequestErrorCallback([this] {
      ++requestErrors;
      raiseStop();
    });
    link.reserveSession();
  }
  ~SimLinkFixture() override {
    stopClient();
    closeLog();
    resetProcessFlags();
  }

  // ---- The real SimClient thread ----
  // Starts the thread and waits until the connection is set up and OPEN handled.
  void connect() {
    client.start();
    ASSERT_TRUE(waitUntil([&] { return link.display().simConnected.load(); }));
    settle();
  }
  void stopClient() {
    client.requestStop();
    client.join();
  }
  // Waits until the simulator's pending messages are handed over and the
  // dispatch that took them has returned.
  void settle() {
    ASSERT_TRUE(waitUntil([&] { return sim->pendingMessageCount() == 0 || client.finished(); }));
    const std::size_t dispatched = countOf(platform::SimFunction::CallDispatch);
    ASSERT_TRUE(waitUntil([&] { return client.finished() || countOf(platform::SimFunction::CallDispatch) > dispatched; }));
  }
  void advanceFramesAndSettle(int count) {
    for (int frame = 0; frame < count; ++frame) {
      sim->advanceFrames(1);
      settle();
    }
  }

  // What the hooks received.
  std::vector<LinkEvent> events() const { return copyOf(events_); }
  std::vector<LinkEvent> eventsOfType(SimEventType type) const {
    std::vector<LinkEvent> found = events();
    std::erase_if(found, [&](const LinkEvent& event) { return event.type != type; });
    return found;
  }
  std::vector<LinkExitReason> exits() const { return copyOf(exits_); }
  std::vector<std::string> stands() const { return copyOf(stands_); }

  std::vector<platform::SimCall> callsOf(platform::SimFunction function) const {
    std::vector<platform::SimCall> found = sim->calls();
    std::erase_if(found, [&](const platform::SimCall& call) { return call.function != function; });
    return found;
  }
  std::size_t countOf(platform::SimFunction function) const { return callsOf(function).size(); }
  std::string logText() const { return readTextFile(folder / "Log.txt"); }
  bool logged(const std::string& piece) const { return logText().find(piece) != std::string::npos; }

  TempFolder folder;
  std::shared_ptr<platform::SimulatorStandIn> sim;
  platform::ScopedSimulator installed;
  std::atomic<int> requestErrors{0};
  SimQueues queues;
  SimLink link;
  SimClient client;
};

}  // namespace crv::testing
