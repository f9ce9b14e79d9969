#pragma once

// A simulator stand-in, the link's queues and a SimLink wired to recording
// hooks, for the link's tests. The SimClient thread can run for real, or the
// test calls the link's handlers itself, step by step.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/simconnect/sim_installation.h"
#include "platform/simconnect/sim_standin.h"
#include "simlink/link_event.h"
#include "simlink/sim_client.h"
#include "simlink/sim_link.h"
#include "simlink/sim_queues.h"
#include "tests/support/log_capture.h"

namespace crv::testing {

// Checks the condition every millisecond for up to five seconds.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// A user aircraft standing at Zurich in an A320neo.
platform::SimWorld defaultTestWorld();

class SimLinkFixture : public ::testing::Test {
 private:
  // Guards what the link's hooks received, from any thread.
  mutable std::mutex hookMutex_;
  std::vector<LinkEvent> events_;
  std::vector<LinkExitReason> exits_;
  std::vector<std::string> stands_;

 protected:
  explicit SimLinkFixture(platform::SimWorld world = defaultTestWorld());
  ~SimLinkFixture() override;

  // ---- The real SimClient thread ----
  // Starts the thread and waits until the connection is set up and OPEN handled.
  void connect();
  void stopClient();
  // Waits until the simulator's pending messages are handed over and the
  // dispatch that took them has returned.
  void settle();
  void advanceFramesAndSettle(int count);

  // What the hooks received: every event, or those of one type.
  std::vector<LinkEvent> events() const;
  std::vector<LinkEvent> eventsOfType(SimEventType type) const;
  std::vector<LinkExitReason> exits() const;
  std::vector<std::string> stands() const;

  std::vector<platform::SimCall> callsOf(platform::SimFunction function) const;
  std::size_t countOf(platform::SimFunction function) const { return callsOf(function).size(); }
  std::string logText() const { return readFile(folder / "Log.txt"); }
  bool logged(const std::string& piece) const { return logText().find(piece) != std::string::npos; }

  TempFolder folder;
  std::shared_ptr<platform::SimulatorStandIn> sim;
  platform::ScopedSimulator installed;
  std::atomic<int> requestErrors{0};
  SimQueues queues;
  SimLink link;
  SimClient client;
};

// A create request for the queues.
CreateRequest createRequest(std::uint32_t key, const std::string& callsign, double latitude, double longitude,
                            bool onGround);

}  // namespace crv::testing
