#pragma once

// The queues through which the traffic engine creates, moves, commands and
// removes AI aircraft. The engine (session worker) fills them under
// simConnectMutex; once per simulator frame the link's thread takes what they
// hold and sends it. Positions pass through two buffers: the worker fills the
// back one without a lock and swaps the two at the end of its step; the link
// sends the front one.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "foundation/thread_annotations.h"
#include "simlink/queue_records.h"
#include "simlink/sim_requests.h"

namespace crv {

// Everything one frame takes out of the queues, in queue order.
struct SimFrameBatch {
  std::vector<PositionUpdate> positions;
  std::vector<ClientEventRecord> clientEvents;
  std::vector<CreateRequest> creates;
  std::vector<std::uint32_t> removes;

  bool empty() const { return positions.empty() && clientEvents.empty() && creates.empty() && removes.empty(); }
};

class SimQueues {
 public:
  // At or below this frame rate a busy link makes the worker drop a step's
  // positions rather than wait.
  static constexpr float kWaitingFrameRate = 50.0F;
  static constexpr std::size_t kReservedEntries = 256;

  SimQueues();
  SimQueues(const SimQueues&) = delete;
  SimQueues& operator=(const SimQueues&) = delete;

  std::mutex& simConnectMutex() { return simConnectMutex_; }

  // Session start: room for 256 entries in every queue but the client events,
  // and the link is no longer paused.
  void reserveSimQueues();
  // Session reset: every queue emptied, both buffers back to their first roles.
  void reset();

  // Under simConnectMutex.
  void queueCreateAc(const CreateRequest& request);
  void queueRemoveAc(std::uint32_t objectId);
  void queueClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value);
  // NAV, BEACON, LANDING, TAXI, STROBES, LOGO, CABIN in this order, one lock.
  void setLights(std::uint32_t objectId, const LightSwitches& lights);
  void setCabinLights(std::uint32_t objectId, std::uint32_t value);

  // Writes definition 401 at once, without the lock: off 0, 0, 0; on 100,
  // 100, 100; on with reverse 100, -100, -100. Nothing while no simulator
  // connection is attached.
  void setSpoilersThrottle(std::uint32_t objectId, bool on, bool reverse);

  // Worker only, no lock.
  void appendPosition(const AiPositionBlock& block, std::uint32_t objectId);
  std::size_t backPositionCount() const { return back_->size(); }
  // End of the worker's step: try the lock and swap; busy at or below 50
  // frames per second drops the back buffer, above 50 waits and swaps.
  // Returns true when the buffers were swapped.
  bool swapPositionBuffers();

  // The link's frame: takes everything queued. tryTakeFrame returns false and
  // takes nothing when the mutex is busy.
  bool tryTakeFrame(SimFrameBatch& batch);
  SimFrameBatch takeFrame();
  // While paused: empties every queue without handing anything on.
  void discardQueued();
  // Worker, while no flight runs: both position buffers emptied (the front
  // one under the lock).
  void discardPositions();
  // For a caller that already holds simConnectMutex (the link's frame keeps
  // the lock while it sends, and binding appends its freeze events under the
  // lock of its release call).
  void takeFrameHeld(SimFrameBatch& batch) { takeFrameLocked(batch); }
  void queueClientEventHeld(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value) {
    clientEventQueue_.push_back({objectId, eventId, value});
  }

  // The simulator calls of the engine; null until a connection is attached.
  void attachRequests(SimRequests* requests) { requests_.store(requests); }
  SimRequests* requests() const { return requests_.load(); }

  // The frame rate the link measures.
  std::atomic<float> simFrameRate{60.0F};
  // Set after a failed request: the engine asks nothing and the frame sends nothing.
  std::atomic<bool> simLinkPaused{false};

  // After a failed simulator call of the engine: "SimConnect request error"
  // on the status line, the link paused, and the first time in a session the
  // session-end callback (which ends it with SIMCONNECT ERROR).
  void simRequestError();
  void setRequestErrorCallback(std::function<void()> callback);

 private:
  void takeFrameLocked(SimFrameBatch& batch);

  // simConnectMutex_ guards the three queues and the front position buffer
  // with the swap of the two buffers (the back one is the worker's alone);
  // the link also holds it around each call to the simulator. The compiler's
  // lock analysis cannot follow it: it is held across objects (the frame,
  // the binding) and taken with try_lock.
  std::mutex simConnectMutex_;
  std::vector<CreateRequest> simCreateQueue_;
  std::vector<std::uint32_t> simRemoveList_;
  std::vector<ClientEventRecord> clientEventQueue_;
  std::vector<PositionUpdate> positionBuffers_[2];
  std::vector<PositionUpdate>* back_ = &positionBuffers_[0];
  std::vector<PositionUpdate>* front_ = &positionBuffers_[1];
  std::atomic<SimRequests*> requests_{nullptr};
  std::atomic<bool> requestErrorReported_{false};
  Mutex callbackMutex_;
  std::function<void()> requestErrorCallback_ GUARDED_BY(callbackMutex_);
};

}  // namespace crv
