#pragma once

// The tests' one way into the engine's inside: records placed directly,
// queue entries the parts built on the engine would make, the clock set,
// and the sizes of what crosses between threads.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "traffic/traffic_engine.h"

namespace crv {

struct EngineTestAccess {
  static LiveAc& addLive(TrafficEngine& engine, LiveAc aircraft) { return engine.appendLiveRecord(std::move(aircraft)); }
  static void queueLiveCreate(TrafficEngine& engine, CreateRequest request) {
    engine.liveCreateQueue_.push_back(std::move(request));
  }
  static void setTick(TrafficEngine& engine, std::int64_t tick) { engine.tick10ms_.store(tick); }
  static void setParkElevation(TrafficEngine& engine, double feet) { engine.parkElevationFeet_.store(feet); }
  static void setUserAircraft(TrafficEngine& engine, const UserAcData& user) { engine.userAcCopy_ = user; }
  static std::size_t liveCapacity(const TrafficEngine& engine) { return engine.liveAcTable_.capacity(); }
  static std::size_t staticCapacity(const TrafficEngine& engine) { return engine.staticAcTable_.capacity(); }
  static std::size_t handoverSize(TrafficEngine& engine) {
    MutexLock lock(engine.sessionMutex_);
    return engine.trafficHandover_.size();
  }
  // When each live record handed over and not yet applied falls due, in the
  // order of its batch.
  static std::vector<std::int64_t> handedOverDueTicks(TrafficEngine& engine) {
    MutexLock lock(engine.sessionMutex_);
    std::vector<std::int64_t> dueTicks;
    for (const LiveTrafficRecord& record : engine.trafficHandover_) {
      dueTicks.push_back(dueTickOf(record.dueTick, engine.tick()));
    }
    return dueTicks;
  }
  static std::size_t deferredEventCount(TrafficEngine& engine) {
    MutexLock lock(engine.simEventMutex_);
    return engine.deferredEvents_.size();
  }
  // Simulator events pushed or deferred and not yet applied.
  static std::size_t waitingEventCount(TrafficEngine& engine) {
    MutexLock lock(engine.simEventMutex_);
    return engine.simEventQueue_.size() + engine.eventsInWork_.size() + engine.deferredEvents_.size();
  }
};

}  // namespace crv
