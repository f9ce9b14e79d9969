// The stand-in under the link's thread layout: one thread dispatches in a
// loop while another makes calls, and the dispatch procedure calls back
// into the stand-in.

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/simconnect_test_support.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

// What the dispatch thread saw; written by it, read after it ended.
struct DispatchState {
  HANDLE handle = nullptr;
  std::mutex* sharedMutex = nullptr;  // stands for the link's simConnectMutex
  std::set<DWORD> released;
  int frames = 0;
  int exceptions = 0;
};

void releaseOnAdd(SIMCONNECT_RECV* data, DWORD, void* context) {
  auto* state = static_cast<DispatchState*>(context);
  switch (data->dwID) {
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE: {
      const auto* event = static_cast<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE*>(data);
      if (event->uEventID == kEventObjectAdded) {
        // As the link's binding does: a blocking lock, then a call.
        std::lock_guard lock(*state->sharedMutex);
        SimConnect_AIReleaseControl(state->handle, event->dwData, 103);
        state->released.insert(event->dwData);
      }
      break;
    }
    case SIMCONNECT_RECV_ID_EVENT_FRAME:
      ++state->frames;
      break;
    case SIMCONNECT_RECV_ID_EXCEPTION:
      ++state->exceptions;
      break;
    default:
      break;
  }
}

class SimConnectThreads : public StandInFixture {};

TEST_F(SimConnectThreads, ADispatchLoopAndAWorkerShareTheConnection) {
  HANDLE handle = openConnection();
  registerLikeTheLink(handle);
  std::mutex sharedMutex;
  DispatchState state;
  state.handle = handle;
  state.sharedMutex = &sharedMutex;

  std::atomic<bool> stop{false};
  std::thread dispatcher([&] {
    while (!stop.load()) {
      SimConnect_CallDispatch(handle, &releaseOnAdd, &state);
      std::this_thread::yield();
    }
    SimConnect_CallDispatch(handle, &releaseOnAdd, &state);
  });

  constexpr int kCreates = 40;
  std::thread worker([&] {
    const double position[8] = {47.47, 8.56, 0.0, 0.0, 1.0, 3000.0, 0.0, 180.0};
    for (int index = 0; index < kCreates; ++index) {
      std::lock_guard lock(sharedMutex);
      const std::string tail = "W" + std::to_string(index);
      SimConnect_AICreateNonATCAircraft(handle, "T", tail.c_str(), initPosition(47.47, 8.56, 3000, false), 104);
      DWORD packet = 0;
      SimConnect_GetLastSentPacketID(handle, &packet);
      SimConnect_RequestDataOnSimObjectType(handle, 101, kDefProbe, 20000, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
      SimConnect_SetDataOnSimObject(handle, kDefAiPosition, platform::kStandInFirstObjectId + index, 0, 0, 64,
                                    const_cast<double*>(position));
      SimConnect_TransmitClientEvent(handle, SIMCONNECT_OBJECT_ID_USER, 213, 0, kGroup, 0);
    }
  });

  // The test thread is the simulator's own time.
  for (int step = 0; step < 100; ++step) sim->advanceClock(10ms);
  worker.join();
  stop.store(true);
  dispatcher.join();

  EXPECT_EQ(state.released.size(), static_cast<std::size_t>(kCreates));
  EXPECT_EQ(state.frames, 30);
  EXPECT_EQ(state.exceptions, 0);
  for (DWORD id : state.released) {
    const auto object = sim->object(id);
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(object->releaseControlCount, 1);
    EXPECT_EQ(object->poses.size(), 1U);
  }

  // Packet ids are unique per connection whatever thread sent.
  std::set<DWORD> packets;
  std::size_t sent = 0;
  for (const auto& call : sim->calls()) {
    if (call.packetId == 0) continue;
    ++sent;
    packets.insert(call.packetId);
  }
  EXPECT_EQ(packets.size(), sent);
}

void throwOnFirst(SIMCONNECT_RECV* data, DWORD, void* context) {
  auto* seen = static_cast<std::vector<DWORD>*>(context);
  seen->push_back(data->dwID);
  if (seen->size() == 1) throw std::runtime_error("handler failed");
}

TEST_F(SimConnectThreads, AnExceptionLeavesTheProcedureAndKeepsTheRestForLater) {
  HANDLE handle = openConnection();
  SimConnect_SubscribeToSystemEvent(handle, 201, "Sim");
  sim->raiseException(SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS, 0, 0);
  std::vector<DWORD> seen;
  EXPECT_THROW(SimConnect_CallDispatch(handle, &throwOnFirst, &seen), std::runtime_error);
  ASSERT_EQ(seen.size(), 1U);
  EXPECT_EQ(seen[0], SIMCONNECT_RECV_ID_OPEN);
  EXPECT_EQ(SimConnect_CallDispatch(handle, &throwOnFirst, &seen), S_OK);
  EXPECT_EQ(seen,
            (std::vector<DWORD>{SIMCONNECT_RECV_ID_OPEN, SIMCONNECT_RECV_ID_EVENT, SIMCONNECT_RECV_ID_EXCEPTION}));
}

// A clock that runs by itself, like the machine's steady clock.
class RunningClock : public platform::StandInClock {
 public:
  std::chrono::nanoseconds now() const override { return std::chrono::nanoseconds{now_.load()}; }
  bool isManual() const override { return false; }
  void set(std::chrono::nanoseconds time) { now_.store(time.count()); }

 private:
  std::atomic<std::int64_t> now_{0};
};

TEST(SimConnectRunningClock, FramesNobodyFetchedAreNotQueuedUp) {
  auto clock = std::make_shared<RunningClock>();
  platform::StandInOptions options;
  options.clock = clock;
  auto sim = std::make_shared<platform::SimulatorStandIn>(platform::SimWorld{}, options);
  platform::ScopedSimulator installed(sim);
  HANDLE handle = nullptr;
  ASSERT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);
  SimConnect_SubscribeToSystemEvent(handle, kEventFrame, "Frame");
  EXPECT_THROW(sim->advanceClock(1s), std::logic_error);

  MessageInbox inbox;
  clock->set(500ms);
  EXPECT_EQ(withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EVENT_FRAME).size(), 15U);
  clock->set(std::chrono::minutes{10});  // the client stalled
  EXPECT_EQ(withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EVENT_FRAME).size(), 1U);
}

}  // namespace
}  // namespace crv::testing
