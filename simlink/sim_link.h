#pragma once

// The simulator link of one process: the connection, the user aircraft, the
// object binding and the per-frame flush, and the dispatch of every message
// the simulator sends. The SimClient thread (sim_client.h) drives it.
//
// A session uses it so: reserveSession, then a SimClient started on it; the
// worker makes its requests through connection() and user(); closing down
// stops the SimClient; resetSession before a restart. The link attaches its
// connection to the queues as the engine's SimRequests.

#include <atomic>
#include <cstdint>

#include "platform/simconnect/simconnect.h"
#include "simlink/object_binding.h"
#include "simlink/sim_connection.h"
#include "simlink/sim_flush.h"
#include "simlink/sim_link_display.h"
#include "simlink/sim_link_hooks.h"
#include "simlink/sim_queues.h"
#include "simlink/user_aircraft.h"

namespace crv {

// The frame rate is taken from every 30th frame.
inline constexpr int kFramesPerRateSample = 30;

class SimLink {
 public:
  SimLink(SimQueues& queues, SimLinkHooks hooks);
  ~SimLink();
  SimLink(const SimLink&) = delete;
  SimLink& operator=(const SimLink&) = delete;

  // The dispatch procedure given to SimConnect_CallDispatch; the context is
  // the SimLink.
  static void simDispatchProc(SIMCONNECT_RECV* message, DWORD size, void* context);
  // Handles one message on the SimClient thread. Throws UserErrorException
  // for a simulator mismatch (71, 77), a version mismatch (95) and a user
  // aircraft that cannot be identified (73).
  void dispatch(const SIMCONNECT_RECV* message, DWORD size);

  // Session start: room for 256 entries in the queues and the link's lists,
  // and the link no longer paused (reserveSimQueues).
  void reserveSession();
  // Session reset before a restart: every flag and list of the link back to
  // its start; the frame counter and the frame rate keep their values.
  void resetSession();

  // The simulator sent QUIT: the SimClient thread leaves its dispatch loop.
  bool quitReceived() const { return quitReceived_.load(); }
  void clearQuitReceived() { quitReceived_.store(false); }

  SimQueues& queues() { return queues_; }
  const SimLinkHooks& hooks() const { return hooks_; }
  SimConnection& connection() { return connection_; }
  UserAircraft& user() { return user_; }
  ObjectBinding& binding() { return binding_; }
  SimFrameFlush& flush() { return flush_; }
  SimLinkDisplay& display() { return display_; }

  // A flight runs in the simulator.
  std::atomic<bool> simRunning{false};
  // Raised when a connection opens; lowered only by the session reset.
  std::atomic<bool> simConnectedFlag{false};

 private:
  void onSimOpen(const SIMCONNECT_RECV_OPEN& open);
  void onEvent(const SIMCONNECT_RECV_EVENT& event);
  void onObjectAddRemove(const SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE& event);
  void onFrame(const SIMCONNECT_RECV_EVENT_FRAME& frame);
  void onNewFlight();
  void onSimObjectData(const SIMCONNECT_RECV* message, DWORD size);
  void onSimObjectDataByType(const SIMCONNECT_RECV* message, DWORD size);
  void repaint() const;

  SimQueues& queues_;
  SimLinkHooks hooks_;
  SimLinkDisplay display_;
  SimConnection connection_;
  UserAircraft user_;
  ObjectBinding binding_;
  SimFrameFlush flush_;
  std::atomic<bool> quitReceived_{false};
  int frameCounter_ = 0;  // SimClient thread only
};

// "MSFS 20xx is running ..., switch Simulator, or select the right sim in the
// drop down list above", naming the simulator that runs instead of the chosen one.
std::string wrongSimMessage();

}  // namespace crv
