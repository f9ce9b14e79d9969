#include "traffic/traffic_engine.h"

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <utility>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "simlink/sim_ids.h"
#include "traffic/record_labels.h"

namespace crv {

namespace {

constexpr std::array<std::uint32_t, 5> kFlapsValues{0, 3072, 10240, 16383, 0};
constexpr std::array<std::uint32_t, 5> kThrottleValues{0, 4914, 8191, 11468, 16383};
constexpr std::uint32_t kCabinLightChanceOutOfTen = 9;

// Removal by how far the aircraft got towards the simulator. Shared by live
// and static aircraft; the caller adds what only one kind needs.
// Removes every request of the aircraft from a create queue; true when one was there.
bool dropPendingCreate(std::deque<CreateRequest>& queue, std::uint32_t key) {
  const auto removed = std::erase_if(queue, [key](const CreateRequest& r) { return r.key == key; });
  return removed > 0;
}

template <typename Aircraft>
bool cancelOrDeferCreate(Aircraft& aircraft, std::deque<CreateRequest>& liveQueue,
                         std::deque<CreateRequest>& staticQueue, std::vector<std::uint32_t>& addingStack) {
  const std::uint32_t key = aircraft.base.key;
  const auto onStack = std::find(addingStack.begin(), addingStack.end(), key);
  const bool onAddingStack = onStack != addingStack.end();
  if (onAddingStack) {
    addingStack.erase(onStack);
  }
  if (dropPendingCreate(liveQueue, key) || dropPendingCreate(staticQueue, key) ||
      onAddingStack) {
    aircraft.createCancelled = true;
    return true;
  }
  aircraft.removeOnceCreated = true;
  return false;
}

template <typename Aircraft>
void setFlapsOf(SimQueues& link, Aircraft& aircraft, std::uint32_t index) {
  if (aircraft.flapsIndex == index || aircraft.base.category == SizeCategory::Rotorcraft) {
    return;
  }
  if (index >= kFlapsValues.size()) {
    gf_logLine("gf_setFlaps: invalid flaps index");
    return;
  }
  link.queueClientEvent(aircraft.objectId, toId(ClientEventId::FlapsSet), kFlapsValues[index]);
  aircraft.flapsIndex = index;
}

template <typename Aircraft>
void setThrottleOf(SimQueues& link, Aircraft& aircraft, std::uint32_t index) {
  if (aircraft.throttleIndex == index) {
    return;
  }
  if (index < kThrottleValues.size()) {
    link.queueClientEvent(aircraft.objectId, toId(ClientEventId::ThrottleSet), kThrottleValues[index]);
  }
  aircraft.throttleIndex = index;
}

template <typename Aircraft>
void shutdownParkedOf(SimQueues& link, Aircraft& aircraft) {
  if (aircraft.throttleIndex != 0) {
    setThrottleOf(link, aircraft, 0);
  }
  setFlapsOf(link, aircraft, 0);
  link.queueClientEvent(aircraft.objectId, toId(ClientEventId::EngineAutoShutdown), 0);
  LightSwitches lights;
  lights.nav = par_NAV_LIGHTS_WHILE_PARKED.value() ? 1 : 0;
  lights.logo = 1;
  if (!aircraft.standCargo) {
    std::uniform_int_distribution<std::uint32_t> draw(0, 9);
    lights.cabin = draw(threadRandomEngine()) < kCabinLightChanceOutOfTen ? 1 : 0;
  }
  link.setLights(aircraft.objectId, lights);
}

// Whether a removal asked now takes the aircraft out of the simulator or
// stops its create.
template <typename Aircraft>
bool removalTakesEffect(const Aircraft& aircraft) {
  return !aircraft.removeOnceCreated && !aircraft.createCancelled && aircraft.state != SimState::buffer &&
         aircraft.state != SimState::removingfromsim;
}

// The line is made before the removal, which frees the stand the label
// names. A removal that waits for the object the simulator is creating
// keeps it until the object is bound.
template <typename Aircraft>
void removeSayingWhy(TrafficEngine& engine, Aircraft& aircraft, std::string_view why) {
  if (!removalTakesEffect(aircraft)) {
    engine.removeAircraftFromSim(aircraft);
    return;
  }
  std::string line = fmt::format("{} removed: {}", engine.logLabel(aircraft), why);
  engine.removeAircraftFromSim(aircraft);
  if (aircraft.removeOnceCreated) {
    aircraft.removalLine = std::move(line);
  } else if (par_LOG.value()) {
    gf_logLine(line);
  }
}

template <typename Aircraft>
void removeBound(TrafficEngine& engine, Aircraft& aircraft) {
  aircraft.removeOnceCreated = false;
  const std::string line = std::exchange(aircraft.removalLine, {});
  if (!line.empty() && par_LOG.value()) {
    gf_logLine(line);
  }
  engine.removeAircraftFromSim(aircraft);
}

}  // namespace

void TrafficEngine::clearWatchedObject(std::uint32_t objectId) {
  if (objectId == 0 || watchedObjectId_.load() != objectId) {
    return;
  }
  watchedObjectId_.store(0);
  if (hooks_.watchedAircraftRemoved) {
    hooks_.watchedAircraftRemoved();
  }
}

void TrafficEngine::removeAircraftFromSim(LiveAc& aircraft) {
  if (aircraft.state == SimState::buffer) {
    aircraft.dropFromBuffer = true;
    return;
  }
  // Already on its way out: its object is queued once, never twice.
  if (aircraft.removeOnceCreated || aircraft.createCancelled || aircraft.state == SimState::removingfromsim) {
    return;
  }
  if (aircraft.state == SimState::liveryrespawn) {
    // The object is queued already; its removal now ends the record.
    aircraft.state = SimState::removingfromsim;
    return;
  }
  if (aircraft.state == SimState::adding2sim) {
    cancelOrDeferCreate(aircraft, liveCreateQueue_, staticCreateQueue_, addingStack_);
    return;
  }
  aircraft.state = SimState::removingfromsim;
  releaseStandOf(aircraft);
  clearWatchedObject(aircraft.objectId);
  if (aircraft.objectId != 0) {
    removeQueue_.push_back(aircraft.objectId);
  } else {
    gf_logLine(fmt::format("{} removing act {}, with objectid=0 ?", "removeAircraftFromSim",
                           formatRecordLine(aircraft.base.identity)));
  }
}

void TrafficEngine::removeAircraftFromSim(StaticAc& aircraft) {
  if (aircraft.state == SimState::buffer) {
    aircraft.dropFromBuffer = true;
    staticEraseDue_ = true;
    return;
  }
  if (aircraft.removeOnceCreated || aircraft.createCancelled || aircraft.state == SimState::removingfromsim) {
    return;
  }
  if (aircraft.state == SimState::adding2sim) {
    if (cancelOrDeferCreate(aircraft, liveCreateQueue_, staticCreateQueue_, addingStack_)) {
      staticEraseDue_ = true;
    }
    return;
  }
  aircraft.state = SimState::removingfromsim;
  if (aircraft.objectId != 0) {
    removeQueue_.push_back(aircraft.objectId);
  } else {
    gf_logLine(fmt::format("{} removing act {}, with objectid=0 ?", "removeAircraftFromSim",
                           formatRecordLine(aircraft.base.identity)));
  }
}

void TrafficEngine::removeAircraftFromSim(LiveAc& aircraft, std::string_view why) {
  removeSayingWhy(*this, aircraft, why);
}

void TrafficEngine::removeAircraftFromSim(StaticAc& aircraft, std::string_view why) {
  removeSayingWhy(*this, aircraft, why);
}

void TrafficEngine::removeBoundAircraft(LiveAc& aircraft) { removeBound(*this, aircraft); }

void TrafficEngine::removeBoundAircraft(StaticAc& aircraft) { removeBound(*this, aircraft); }

void TrafficEngine::setFlaps(LiveAc& aircraft, std::uint32_t index) { setFlapsOf(link_, aircraft, index); }
void TrafficEngine::setFlaps(StaticAc& aircraft, std::uint32_t index) { setFlapsOf(link_, aircraft, index); }
void TrafficEngine::setThrottle(LiveAc& aircraft, std::uint32_t index) { setThrottleOf(link_, aircraft, index); }
void TrafficEngine::setThrottle(StaticAc& aircraft, std::uint32_t index) { setThrottleOf(link_, aircraft, index); }
void TrafficEngine::shutdownParked(LiveAc& aircraft) { shutdownParkedOf(link_, aircraft); }
void TrafficEngine::shutdownParked(StaticAc& aircraft) { shutdownParkedOf(link_, aircraft); }

}  // namespace crv
