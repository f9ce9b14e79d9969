#pragma once

// The "SimClient" thread: opens the simulator connection (retrying every
// 100 ms while no simulator runs), registers the link's identifiers, and then
// hands every simulator message to the link about once a millisecond until
// it is stopped, the simulator quits or the connection breaks. One thread per
// session; it closes its connection when it ends.

#include <atomic>
#include <stop_token>
#include <thread>

#include "simlink/sim_link.h"

namespace crv {

// This many failed dispatch calls in a row count as a broken connection.
inline constexpr int kDispatchFailuresForDisconnect = 100;
inline constexpr const char* kSimClientThreadName = "SimClient";

class SimClient {
 public:
  explicit SimClient(SimLink& link) : link_(link) {}
  // Stops the thread and waits for it.
  ~SimClient();
  SimClient(const SimClient&) = delete;
  SimClient& operator=(const SimClient&) = delete;

  // Starts the thread; a thread still running from before is stopped and joined first.
  void start();
  // Asks the thread to end; it ends within about 100 ms.
  void requestStop();
  void join();
  // The thread body has finished (its end actions included).
  bool finished() const { return finished_.load(); }

 private:
  void run(const std::stop_token& stop);
  // True when the connection ended (quit or broken), false on a stop request.
  bool dispatchUntilStopped(const std::stop_token& stop);
  void endOfThread();

  SimLink& link_;
  std::jthread thread_;
  std::atomic<bool> finished_{false};
};

}  // namespace crv
