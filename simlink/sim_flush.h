#pragma once

// Once per simulator frame the SimClient thread sends what the engine queued
// since the last frame: positions (definition 402), client events, creates
// and removals, in that order. The frame only try-locks simConnectMutex: a
// busy mutex skips the frame and every queue keeps its content for the next
// one. The mutex is held while sending, so no other thread's call comes
// between a create and the packet id read after it.

#include <cstdint>
#include <vector>

#include "simlink/object_binding.h"
#include "simlink/sim_connection.h"
#include "simlink/sim_queues.h"
#include "simlink/user_aircraft.h"

namespace crv {

class SimFrameFlush {
 public:
  SimFrameFlush(SimQueues& queues, SimConnection& connection, const UserAircraft& user, ObjectBinding& binding);
  SimFrameFlush(const SimFrameFlush&) = delete;
  SimFrameFlush& operator=(const SimFrameFlush&) = delete;

  // Room for a frame's worth of entries, so that frames normally allocate nothing.
  void reserve();

  // The flush; called for every FRAME message. While the link is paused it
  // empties the queues and sends nothing.
  void onSimFrame();

 private:
  // What failed while the mutex was held; reported after it is released.
  struct Failures {
    std::vector<std::uint32_t> clientEvents;
    std::vector<std::uint32_t> createKeys;  // creates whose call failed
    bool request = false;
  };

  void sendPositions(std::uint32_t userObjectId);
  void sendClientEvents(Failures& failures);
  void createAcInSim(const CreateRequest& request, Failures& failures);
  void sendRemovals(std::uint32_t userObjectId, Failures& failures);
  void report(const Failures& failures);

  SimQueues& queues_;
  SimConnection& connection_;
  const UserAircraft& user_;
  ObjectBinding& binding_;
  SimFrameBatch batch_;
};

}  // namespace crv
