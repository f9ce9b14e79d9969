#pragma once

// The one SimConnect connection of the process and the simulator calls that
// other threads make through it. The SimClient thread opens and closes it;
// after the close the handle is none, so every later call fails instead of
// reaching a closed connection.
//
// Every request made here takes simConnectMutex itself: call them without
// holding it. The SimClient thread's flush holds the same mutex while it
// sends, so a create and the packet id read right after it are never split
// by another thread's call.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/simconnect/simconnect.h"
#include "simlink/sim_requests.h"

namespace crv {

class SimConnection : public SimRequests {
 public:
  explicit SimConnection(std::mutex& simConnectMutex) : simConnectMutex_(simConnectMutex) {}
  SimConnection(const SimConnection&) = delete;
  SimConnection& operator=(const SimConnection&) = delete;

  // SimClient thread. open() connects as "CRVN"; true on success.
  bool open();
  // Closes an open connection and forgets its handle, under simConnectMutex;
  // E_FAIL when none is open.
  HRESULT close();

  HANDLE handle() const { return handle_.load(); }
  bool isOpen() const { return handle() != nullptr; }
  std::mutex& simConnectMutex() { return simConnectMutex_; }

  // ---- The engine's own calls (SimRequests), each under simConnectMutex. ----
  bool requestAircraftInRange(std::uint32_t radiusMeters) override;
  bool requestStaticCg(std::uint32_t objectId) override;
  bool transmitAllLightsToggle(std::uint32_t objectId) override;
  bool writeSpoilersThrottle(std::uint32_t objectId, const SpoilersThrottleBlock& block) override;

  // ---- The session worker's calls, each under simConnectMutex. ----
  // Request 108: SIM ON GROUND of the user aircraft once a second.
  bool requestUserOnGroundEverySecond();
  // Request 109: the user aircraft's data once.
  bool requestUserPosition();
  // Requests 106 and 107 (title, then ATC model), both under one lock.
  struct TitleModelSent {
    bool title = false;
    bool model = false;
  };
  TitleModelSent requestUserTitleAndModel();
  // Request 110: gives a flight plan file to an AI aircraft.
  bool setFlightPlan(std::uint32_t objectId, const std::string& planPath);

 private:
  std::mutex& simConnectMutex_;
  std::atomic<HANDLE> handle_{nullptr};
};

}  // namespace crv
