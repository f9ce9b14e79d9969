// Control of the simulated simulator and what it recorded.

#include <algorithm>

#include "platform/simconnect/sim_standin.h"
#include "platform/simconnect/sim_standin_internals.h"

namespace platform {

// ---------------------------------------------------------------------------
// Control

void SimulatorStandIn::setSimulatorRunning(bool running) {
  std::lock_guard lock(mutex_);
  world_.simulatorRunning = running;
}

void SimulatorStandIn::failNextOpens(int count) { failNext(SimFunction::Open, count); }

void SimulatorStandIn::quit() {
  std::lock_guard lock(mutex_);
  world_.simulatorRunning = false;
  for (auto& [id, connection] : connections_) {
    if (connection->state != Connection::State::Open) continue;
    connection->state = Connection::State::Quit;
    connection->periodic.clear();
    connection->pending.push_back(makeQuitMessage());
  }
  for (auto& [id, object] : objects_) {
    if (id != kStandInUserObjectId && !object.removed) removeObjectLocked(object, false);
  }
}

void SimulatorStandIn::breakConnections() {
  std::lock_guard lock(mutex_);
  for (auto& [id, connection] : connections_) {
    connection->state = Connection::State::Broken;
    connection->pending.clear();
    connection->periodic.clear();
  }
}

void SimulatorStandIn::setFlightRunning(bool running) {
  std::lock_guard lock(mutex_);
  if (world_.flightRunning == running) return;
  world_.flightRunning = running;
  queueToSubscribers("Sim",
                     [&](DWORD eventId) { return makeEventMessage(SIMCONNECT_UNUSED, eventId, running ? 1 : 0); });
}

void SimulatorStandIn::loadFlight(const std::string& fileName, FlightLoadedForm form) {
  std::lock_guard lock(mutex_);
  queueToSubscribers("FlightLoaded", [&](DWORD eventId) {
    return form == FlightLoadedForm::FileName ? makeFileNameMessage(eventId, fileName)
                                              : makeEventMessage(SIMCONNECT_UNUSED, eventId, 0);
  });
}

void SimulatorStandIn::failNext(SimFunction function, int count) {
  std::lock_guard lock(mutex_);
  failuresLeft_[function] += count;
}

void SimulatorStandIn::failNextCreateLater() {
  std::lock_guard lock(mutex_);
  ++createFailuresLater_;
}

void SimulatorStandIn::refuseTitle(const std::string& title) {
  std::lock_guard lock(mutex_);
  refusedTitles_.insert(title);
}

int SimulatorStandIn::refusedCreates() const {
  std::lock_guard lock(mutex_);
  return refusedCreates_;
}

void SimulatorStandIn::failNextFlightPlanLater() {
  std::lock_guard lock(mutex_);
  ++flightPlanFailuresLater_;
}

void SimulatorStandIn::raiseException(DWORD exception, DWORD sendId, DWORD index) {
  std::lock_guard lock(mutex_);
  for (auto& [id, connection] : connections_) {
    if (connection->state == Connection::State::Open) {
      connection->pending.push_back(makeExceptionMessage(exception, sendId, index));
    }
  }
}

void SimulatorStandIn::injectMessage(DWORD messageId, const std::vector<std::byte>& body) {
  std::lock_guard lock(mutex_);
  for (auto& [id, connection] : connections_) {
    if (connection->state == Connection::State::Open) connection->pending.push_back(makeRawMessage(messageId, body));
  }
}

void SimulatorStandIn::sendObjectAddRemove(const std::string& eventName, DWORD objectId,
                                           SIMCONNECT_SIMOBJECT_TYPE type) {
  std::lock_guard lock(mutex_);
  queueToSubscribers(eventName, [&](DWORD eventId) { return makeObjectAddRemoveMessage(eventId, objectId, type); });
}

DWORD SimulatorStandIn::addForeignObject(const SimObjectState& state, SIMCONNECT_SIMOBJECT_TYPE type) {
  std::lock_guard lock(mutex_);
  SimObjectRecord object;
  object.objectId = nextObjectId_++;
  object.type = type;
  object.title = state.title;
  object.tailNumber = state.atcId;
  object.state = state;
  const DWORD objectId = addObjectLocked(std::move(object));
  queueToSubscribers("ObjectAdded", [&](DWORD eventId) { return makeObjectAddRemoveMessage(eventId, objectId, type); });
  return objectId;
}

bool SimulatorStandIn::removeObjectFromSimulator(DWORD objectId) {
  std::lock_guard lock(mutex_);
  SimObjectRecord* object = liveObject(objectId);
  if (object == nullptr || object->objectId == kStandInUserObjectId) return false;
  removeObjectLocked(*object, true);
  return true;
}

SimObjectState SimulatorStandIn::userAircraft() const {
  std::lock_guard lock(mutex_);
  return objects_.at(kStandInUserObjectId).state;
}

void SimulatorStandIn::setUserAircraft(const SimObjectState& state) {
  std::lock_guard lock(mutex_);
  objects_.at(kStandInUserObjectId).state = state;
}

void SimulatorStandIn::moveUserAircraft(double latitudeDegrees, double longitudeDegrees) {
  std::lock_guard lock(mutex_);
  SimObjectState& user = objects_.at(kStandInUserObjectId).state;
  user.latitudeDegrees = latitudeDegrees;
  user.longitudeDegrees = longitudeDegrees;
}

bool SimulatorStandIn::updateObjectState(DWORD objectId, const std::function<void(SimObjectState&)>& change) {
  std::lock_guard lock(mutex_);
  SimObjectRecord* object = liveObject(objectId);
  if (object == nullptr) return false;
  change(object->state);
  return true;
}

bool SimulatorStandIn::setGroundInfo(DWORD objectId, double altitudeAboveGroundFeet, double groundAltitudeFeet,
                                     bool onGround) {
  return updateObjectState(objectId, [&](SimObjectState& state) {
    state.altitudeAboveGroundFeet = altitudeAboveGroundFeet;
    state.groundAltitudeFeet = groundAltitudeFeet;
    state.onGround = onGround;
  });
}

std::vector<SimCall> SimulatorStandIn::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void SimulatorStandIn::clearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

std::optional<SimObjectRecord> SimulatorStandIn::object(DWORD objectId) const {
  std::lock_guard lock(mutex_);
  if (objectId == SIMCONNECT_OBJECT_ID_USER) objectId = kStandInUserObjectId;
  const auto found = objects_.find(objectId);
  if (found == objects_.end()) return std::nullopt;
  return found->second;
}

std::vector<SimObjectRecord> SimulatorStandIn::objects() const {
  std::lock_guard lock(mutex_);
  std::vector<SimObjectRecord> result;
  result.reserve(objects_.size());
  for (const auto& [id, object] : objects_) result.push_back(object);
  return result;
}

int SimulatorStandIn::openConnectionCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(connections_.begin(), connections_.end(), [](const auto& entry) {
    return entry.second->state == Connection::State::Open;
  }));
}

std::size_t SimulatorStandIn::pendingMessageCount() const {
  std::lock_guard lock(mutex_);
  std::size_t count = 0;
  for (const auto& [id, connection] : connections_) count += connection->pending.size();
  return count;
}
}  // namespace platform
