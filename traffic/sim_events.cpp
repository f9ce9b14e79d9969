#include "traffic/traffic_engine.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/record_labels.h"

namespace crv {

namespace {

// A bound object turns active this many steps (2 s) after its bind event;
// its lights toggle at 0.5 s and 1 s.
constexpr std::uint32_t kActivationRounds = 200;
constexpr std::uint32_t kFirstLightToggleRound = 50;
constexpr std::uint32_t kSecondLightToggleRound = 100;
// Object ids up to this one are never AI aircraft.
constexpr std::uint32_t kLowestAiObjectId = 3;
constexpr double kMinStaticCgFeet = 1.0;
constexpr double kMaxStaticCgFeet = 35.0;
constexpr double kMinRestPitchRadians = -0.017453292519943295;  // -1 degree
constexpr double kMaxRestPitchRadians = 0.04363323129985824;    // 2.5 degrees
constexpr double kDefaultRestPitchRadians = 0.012217304763960306;  // 0.7 degrees
constexpr std::uint32_t kGroundInfoApplied = 2;

// Erases a static record by moving the last one into its place.
void eraseStaticRecord(std::vector<StaticAc>& table, std::vector<StaticAc>::iterator record) {
  if (record + 1 != table.end()) {
    *record = std::move(table.back());
  }
  table.pop_back();
}

// Whether the program itself asked for the aircraft's object to go (a
// livery respawn removes it too); any other removal is the simulator's own.
bool removalAsked(const LiveAc& aircraft) {
  return aircraft.removeOnceCreated || aircraft.state == SimState::removingfromsim ||
         aircraft.state == SimState::liveryrespawn;
}

bool removalAsked(const StaticAc& aircraft) {
  return aircraft.removeOnceCreated || aircraft.state == SimState::removingfromsim;
}

// Names an aircraft whose object the simulator removed: by the rule that
// asked for its removal while the object was being created (it never turned
// active, where that line is written), or as the simulator's own removal.
template <typename Aircraft>
void nameRemovedObject(const TrafficEngine& engine, Aircraft& aircraft) {
  const std::string kept = std::exchange(aircraft.removalLine, {});
  if (!par_LOG.value()) {
    return;
  }
  if (!kept.empty()) {
    gf_logLine(kept);
  } else if (!removalAsked(aircraft)) {
    gf_logLine(fmt::format("{} removed by the simulator itself", engine.logLabel(aircraft)));
  }
}

}  // namespace

void TrafficEngine::pushSimEvent(const SimEvent& event) {
  MutexLock lock(simEventMutex_);
  simEventQueue_.push_back(event);
}

void TrafficEngine::processSimEvents() {
  MutexLock lock(simEventMutex_);
  forgetObjectIdIndex();
  eventsInWork_.clear();
  eventsInWork_.swap(simEventQueue_);
  for (const SimEvent& event : eventsInWork_) {
    applySimEvent(event);
  }
  eventsInWork_.clear();
  if (!deferredEvents_.empty()) {
    activateBoundAircraft();
  }
}

void TrafficEngine::applySimEvent(const SimEvent& event) {
  switch (event.type) {
    case SimEventType::boundLive:
      bindLiveAircraft(event);
      break;
    case SimEventType::boundStatic:
      bindStaticAircraft(event);
      break;
    case SimEventType::removed:
      onObjectRemoved(event.objectId);
      break;
    case SimEventType::groundInfo:
      applyGroundInfo(event);
      break;
    case SimEventType::staticCg:
      applyStaticCg(event);
      break;
    case SimEventType::blockedCallsign:
      removeBlockedCallsign(event.key);
      break;
    case SimEventType::createFailed:
      createFailed(event.key);
      break;
  }
}

void TrafficEngine::bindLiveAircraft(const SimEvent& event) {
  if (event.objectId < kLowestAiObjectId) {
    return;
  }
  LiveAc* aircraft = findLiveByKey(event.key);
  if (aircraft == nullptr) {
    // The aircraft went while its create was under way: its object would
    // stay in the simulator for ever.
    queueObjectRemoval(event.objectId);
    return;
  }
  aircraft->objectId = event.objectId;
  forgetObjectIdIndex();
  aircraft->motion.heightAboveGroundFeet = event.value2;
  if (!aircraft->path.empty() && !aircraft->path.front().airborne && hooks_.parkLiveOverStatic) {
    hooks_.parkLiveOverStatic(*aircraft);
  }
  if (hooks_.createFlightPlan) {
    hooks_.createFlightPlan(*aircraft);
  }
  const std::uint32_t objectId = event.objectId;
  askSimulator([objectId](SimRequests& sim) { return sim.requestStaticCg(objectId); },
               "SimConnect request StaticCG fails");
  SimEvent deferred = event;
  deferred.rounds = 0;
  deferredEvents_.push_back(deferred);
}

void TrafficEngine::bindStaticAircraft(const SimEvent& event) {
  if (event.objectId < kLowestAiObjectId) {
    return;
  }
  StaticAc* aircraft = findStaticByKey(event.key);
  if (aircraft == nullptr) {
    queueObjectRemoval(event.objectId);
    return;
  }
  // Known by its object from now on, so that a removal by the simulator
  // during the activation window finds the record.
  aircraft->objectId = event.objectId;
  SimEvent deferred = event;
  deferred.rounds = 0;
  deferredEvents_.push_back(deferred);
}

void TrafficEngine::applyGroundInfo(const SimEvent& event) {
  LiveAc* aircraft = liveByObjectIdInEvents(event.objectId);
  if (aircraft == nullptr) {
    return;
  }
  LiveMotion& motion = aircraft->motion;
  if (event.key == 1 && !aircraft->onGround && motion.groundInfoState < kGroundInfoApplied &&
      aircraft->state != SimState::removingfromsim && aircraft->phase != FlightPhase::take_off) {
    if ((motion.approach || motion.verticalProfileStage != 0) && hooks_.onGroundSlots) {
      hooks_.onGroundSlots(*aircraft);
    }
    aircraft->onGround = true;
    // The climb of the current leg stops; the aircraft's climb limit stays
    // for its next take-off.
    motion.climbPerTickFeet = 0.0;
    motion.groundInfoState = 1;
  }
  motion.heightAboveGroundFeet = event.value2;
  if (aircraft->onGround || motion.groundInfoState > 1) {
    aircraft->position.altitudeFeet = event.value1 + aircraft->base.staticCgHeightFeet;
  }
}

void TrafficEngine::applyStaticCg(const SimEvent& event) {
  LiveAc* aircraft = liveByObjectIdInEvents(event.objectId);
  if (aircraft == nullptr) {
    return;
  }
  if (event.value1 >= kMinStaticCgFeet && event.value1 <= kMaxStaticCgFeet) {
    aircraft->base.staticCgHeightFeet = event.value1;
  }
  const bool plausiblePitch = event.value2 > kMinRestPitchRadians && event.value2 <= kMaxRestPitchRadians;
  aircraft->base.restPitchRadians = plausiblePitch ? event.value2 : kDefaultRestPitchRadians;
}

void TrafficEngine::createFailed(std::uint32_t key) {
  // The record goes whatever the report does; a report that ends the
  // session is passed on afterwards.
  std::exception_ptr reportError;
  if (key > kLastStaticKey) {
    const auto found = liveIndexByKey_.find(key);
    if (found == liveIndexByKey_.end()) {
      return;
    }
    const std::size_t index = found->second;
    try {
      reports_.reportLiveryNotCreated(liveAcTable_[index].base);
    } catch (...) {
      reportError = std::current_exception();
    }
    eraseLiveRecord(index);
  } else {
    auto found =
        std::find_if(staticAcTable_.begin(), staticAcTable_.end(), [key](const StaticAc& a) { return a.base.key == key; });
    if (found == staticAcTable_.end()) {
      return;
    }
    try {
      reports_.reportLiveryNotCreated(found->base);
    } catch (...) {
      reportError = std::current_exception();
    }
    eraseStaticRecord(staticAcTable_, found);
  }
  if (reportError) {
    std::rethrow_exception(reportError);
  }
}

bool TrafficEngine::advanceDeferred(SimEvent& event) {
  if (event.rounds < kActivationRounds) {
    ++event.rounds;
    if (event.type == SimEventType::boundLive &&
        (event.rounds == kFirstLightToggleRound || event.rounds == kSecondLightToggleRound)) {
      const std::uint32_t objectId = event.objectId;
      askSimulator([objectId](SimRequests& sim) { return sim.transmitAllLightsToggle(objectId); },
                   "SimConnect gf_allLightsToggle fails");
    }
  }
  if (event.rounds < kActivationRounds) {
    return false;
  }
  // An aircraft that went meanwhile ends its event too: a later aircraft of
  // the same key must not inherit it, and a record whose object the
  // simulator removed meanwhile never turns active with the dead id.
  if (event.type == SimEventType::boundLive) {
    LiveAc* aircraft = findLiveByKey(event.key);
    if (aircraft != nullptr && aircraft->objectId == event.objectId) {
      aircraft->state = SimState::active;
      if (hooks_.configureActiveAircraft) {
        hooks_.configureActiveAircraft(*aircraft);
      }
      if (aircraft->removeOnceCreated) {
        removeBoundAircraft(*aircraft);
      }
    }
  } else if (StaticAc* aircraft = findStaticByKey(event.key);
             aircraft != nullptr && aircraft->objectId == event.objectId) {
    aircraft->state = SimState::active;
    shutdownParked(*aircraft);
    if (par_LOG.value()) {
      gf_logLine(fmt::format("{:8}: {:8} parked", standLabel(aircraft->standId), aircraft->base.identity.callsign));
    }
    if (aircraft->removeOnceCreated) {
      removeBoundAircraft(*aircraft);
    }
  }
  event.rounds = kFinishedRounds;
  return true;
}

void TrafficEngine::activateBoundAircraft() {
  bool anyFinished = false;
  for (SimEvent& event : deferredEvents_) {
    if (event.rounds != kFinishedRounds) {
      anyFinished = advanceDeferred(event) || anyFinished;
    }
  }
  if (anyFinished) {
    std::erase_if(deferredEvents_, [](const SimEvent& e) { return e.rounds == kFinishedRounds; });
  }
}

void TrafficEngine::onObjectRemoved(std::uint32_t objectId) {
  if (objectId == 0) {
    return;  // would name every aircraft not yet created
  }
  for (std::size_t i = 0; i < liveAcTable_.size(); ++i) {
    LiveAc& aircraft = liveAcTable_[i];
    if (aircraft.objectId != objectId) {
      continue;
    }
    nameRemovedObject(*this, aircraft);
    // The plan belongs to the object: a respawned aircraft gets its own
    // with its new object.
    if (aircraft.flightPlanWritten && hooks_.deleteFlightPlanFile) {
      hooks_.deleteFlightPlanFile(objectId);
    }
    aircraft.flightPlanWritten = false;
    if (aircraft.state == SimState::liveryrespawn) {
      aircraft.state = SimState::buffer;
      aircraft.throttleIndex = kThrottleIndexUnset;
      aircraft.flapsIndex = kFlapsIndexUnset;
      aircraft.objectId = 0;
      forgetObjectIdIndex();
      return;
    }
    eraseLiveRecord(i);
    return;
  }
  auto found = std::find_if(staticAcTable_.begin(), staticAcTable_.end(),
                            [objectId](const StaticAc& a) { return a.objectId == objectId; });
  if (found != staticAcTable_.end()) {
    nameRemovedObject(*this, *found);
    eraseStaticRecord(staticAcTable_, found);
  }
}

void TrafficEngine::removeBlockedCallsign(std::uint32_t key) {
  LiveAc* aircraft = findLiveByKey(key);
  if (aircraft == nullptr) {
    return;
  }
  if (aircraft->state == SimState::buffer) {
    gf_logLine(fmt::format("{} will be removed from buffer while blocked", formatRecordLine(aircraft->base.identity)));
    aircraft->dropFromBuffer = true;
  } else if (aircraft->state == SimState::active) {
    gf_logLine(
        fmt::format("{} removed from simulator immediately while blocked", formatRecordLine(aircraft->base.identity)));
    removeAircraftFromSim(*aircraft);
  }
}

}  // namespace crv
