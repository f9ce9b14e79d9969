#pragma once

// A deterministic stand for the traffic engine: records are fed in as the
// Traffic Reader would, the engine steps as the main loop would, and after
// every step the simulator link's frame takes what the queues hold, tagged
// with the step's tick. Simulator replies are pushed as events. Nothing
// sleeps: time is the step count.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "simlink/sim_queues.h"
#include "simlink/sim_requests.h"
#include "tests/support/temp_folder.h"
#include "traffic/traffic_engine.h"

namespace crv::testing {

// The engine's direct simulator calls, recorded with the tick of the call.
// Like the link's connection, each call takes simConnectMutex itself.
class RecordingSimRequests : public SimRequests {
 public:
  enum class Kind { AircraftInRange, StaticCg, AllLightsToggle, SpoilersThrottle };
  struct Call {
    std::int64_t tick = 0;
    std::uint32_t value = 0;  // radius or object id
    bool operator==(const Call&) const = default;
  };

  RecordingSimRequests(std::function<std::int64_t()> tickSource, std::mutex& simConnectMutex)
      : tickSource_(std::move(tickSource)), simConnectMutex_(simConnectMutex) {}

  bool requestAircraftInRange(std::uint32_t radiusMeters) override { return record(Kind::AircraftInRange, radiusMeters); }
  bool requestStaticCg(std::uint32_t objectId) override { return record(Kind::StaticCg, objectId); }
  bool transmitAllLightsToggle(std::uint32_t objectId) override { return record(Kind::AllLightsToggle, objectId); }
  bool writeSpoilersThrottle(std::uint32_t objectId, const SpoilersThrottleBlock&) override {
    return record(Kind::SpoilersThrottle, objectId);
  }

  std::map<Kind, std::vector<Call>> calls;
  bool failCalls = false;

 private:
  bool record(Kind kind, std::uint32_t value) {
    std::lock_guard lock(simConnectMutex_);
    calls[kind].push_back({tickSource_(), value});
    return !failCalls;
  }
  std::function<std::int64_t()> tickSource_;
  std::mutex& simConnectMutex_;
};

template <typename T>
struct Timed {
  std::int64_t tick = 0;
  T item;
};

template <typename T>
std::vector<std::int64_t> ticksOf(const std::vector<Timed<T>>& sent) {
  std::vector<std::int64_t> ticks;
  for (const Timed<T>& one : sent) {
    ticks.push_back(one.tick);
  }
  return ticks;
}

// Ten minutes into the slot's half hour in the week of Monday 7 December 2026.
std::chrono::system_clock::time_point timeInSlot(DaySlot slot);

class EngineHarness {
 public:
  // The aircraft types the test records use: A320 (Large), B738 (Large),
  // B744 (Heavy), C172 (Light), EC35 (Rotorcraft), CL60 (Buzjets); the
  // registration "D-AIPA" is an A320 of DLH.
  static void installTestAircraftTypes();

  // With stands, the engine's park airport stands are that table; with a
  // clock, the engine's "now" is that clock. Without a getUserAcPosition
  // hook, the engine reads `user`.
  explicit EngineHarness(EngineHooks hooks = {}, StandTable* stands = nullptr,
                         std::function<std::chrono::system_clock::time_point()> clock = {});
  ~EngineHarness();

  // ---- Feed ----
  // A live batch (delay 30) as the Traffic Reader hands it over.
  void feedLive(std::vector<LiveTrafficRecord> batch);
  // A buffered snapshot, applied at once.
  void feedSnapshot(std::vector<LiveTrafficRecord> batch, std::uint32_t delaySeconds);
  static LiveTrafficRecord record(std::uint32_t key, const std::string& callsign, const std::string& type,
                                  double timestamp);

  // ---- Time ----
  // Steps the engine; after each step the link's frame takes the queues.
  void step(int count = 1);

  // ---- Simulator side ----
  void bindLive(std::uint32_t key, std::uint32_t objectId);
  void bindStatic(std::uint32_t key, std::uint32_t objectId);
  void objectRemoved(std::uint32_t objectId);
  void createFailed(std::uint32_t key);

  // ---- Records placed directly ----
  // A live aircraft already in the given state (active ones with a two-point path).
  LiveAc& placeLive(std::uint32_t key, const std::string& callsign, SimState state, std::uint32_t objectId = 0);
  StaticAc& placeStatic(std::uint32_t key, const std::string& callsign, SimState state, std::uint32_t objectId = 0);
  // A live aircraft spawned this step: state adding2sim, key on the adding stack.
  LiveAc& spawnLive(std::uint32_t key, const std::string& callsign);

  // ---- What the link received ----
  std::vector<Timed<CreateRequest>> creates;
  std::vector<Timed<std::uint32_t>> removes;
  std::vector<Timed<ClientEventRecord>> clientEvents;
  std::vector<Timed<PositionUpdate>> positions;
  std::vector<ClientEventRecord> clientEventsOf(std::uint32_t objectId) const;

  TempFolder folder;
  SimQueues link;
  RecordingSimRequests sim;
  TrafficEngine engine;
  UserAcData user;
  int requestErrors = 0;
};

}  // namespace crv::testing
