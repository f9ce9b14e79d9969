#include "simlink/object_binding.h"

#include <algorithm>

#include <fmt/format.h>

#include "aircraftdata/aircraft_base.h"
#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "foundation/version.h"
#include "simlink/sim_ids.h"

namespace crv {

namespace {

template <typename T>
void eraseByMovingLast(std::vector<T>& list, std::size_t index) {
  if (index + 1 != list.size()) {
    list[index] = std::move(list.back());
  }
  list.pop_back();
}

}  // namespace

std::string formatJustSpawned(std::uint32_t objectId, const AircraftInRange& aircraft) {
  return fmt::format(
      "just spawned, but not by {}, oid: {}, callsign '{}', altaboveGnd:{:.0f} ft, onground:{}, gnd_alt:{:.0f} ft",
      kProgramName, objectId, aircraft.atcId, aircraft.altitudeAboveGroundFeet, aircraft.simOnGround,
      aircraft.groundAltitudeFeet);
}

ObjectBinding::ObjectBinding(SimQueues& queues, SimConnection& connection, const UserAircraft& user,
                             const SimLinkHooks& hooks)
    : queues_(queues), connection_(connection), user_(user), hooks_(hooks) {}

void ObjectBinding::reserve() {
  sentPackets_.reserve(SimQueues::kReservedEntries);
  objectAddedList_.reserve(SimQueues::kReservedEntries);
}

void ObjectBinding::reset() {
  sentPackets_.clear();
  objectAddedList_.clear();
}

void ObjectBinding::addSentPacket(SentPacket packet) { sentPackets_.push_back(std::move(packet)); }

std::optional<std::size_t> ObjectBinding::findPacketByCallsign(std::string_view callsign) const {
  const auto found = std::find_if(sentPackets_.begin(), sentPackets_.end(),
                                  [&](const SentPacket& packet) { return packet.callsign == callsign; });
  if (found == sentPackets_.end()) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(found - sentPackets_.begin());
}

std::uint32_t ObjectBinding::takePacketKey(std::size_t index) {
  const std::uint32_t key = sentPackets_[index].key;
  eraseByMovingLast(sentPackets_, index);
  return key;
}

void ObjectBinding::push(const LinkEvent& event) const {
  if (hooks_.pushSimEvent) {
    hooks_.pushSimEvent(event);
  }
}

void ObjectBinding::reportCreateFailed(std::uint32_t key) const {
  if (key != 0) {
    push({0, key, SimEventType::createFailed, 0.0, 0.0});
  }
}

void ObjectBinding::onObjectAdded(std::uint32_t objectId) {
  if (objectId > user_.objectId()) {
    objectAddedList_.push_back(objectId);
  }
}

void ObjectBinding::onObjectRemoved(std::uint32_t objectId) {
  push({objectId, 0, SimEventType::removed, 0.0, 0.0});
}

void ObjectBinding::onAircraftInRange(std::uint32_t objectId, const AircraftInRange& aircraft) {
  if (objectId <= user_.objectId()) {
    return;
  }
  const auto added = std::find(objectAddedList_.begin(), objectAddedList_.end(), objectId);
  if (added == objectAddedList_.end()) {
    const bool nearGround = aircraft.altitudeAboveGroundFeet <= kGroundInfoCeilingFeet;
    if (nearGround && !aircraft.atcId.empty() && !aircraft.atcId.ends_with('*')) {
      push({objectId, static_cast<std::uint32_t>(aircraft.simOnGround), SimEventType::groundInfo,
            aircraft.groundAltitudeFeet, aircraft.altitudeAboveGroundFeet});
    }
    return;
  }
  eraseByMovingLast(objectAddedList_, static_cast<std::size_t>(added - objectAddedList_.begin()));

  std::uint32_t key = 0;
  if (!aircraft.atcId.empty()) {
    if (const std::optional<std::size_t> packet = findPacketByCallsign(aircraft.atcId)) {
      key = takePacketKey(*packet);
    }
  }
  if (key == 0) {
    gf_logLine(formatJustSpawned(objectId, aircraft));
    return;
  }
  releaseAndFreeze(objectId);
  if (key <= kLastStaticKey) {
    push({objectId, key, SimEventType::boundStatic, 0.0, 0.0});
  } else {
    push({objectId, key, SimEventType::boundLive, 0.0, aircraft.altitudeAboveGroundFeet});
  }
}

void ObjectBinding::onStaticCg(std::uint32_t objectId, double staticCgFeet, double staticPitchRadians) {
  push({objectId, 0, SimEventType::staticCg, staticCgFeet, staticPitchRadians});
}

void ObjectBinding::releaseAndFreeze(std::uint32_t objectId) {
  std::lock_guard lock(queues_.simConnectMutex());
  SimConnect_AIReleaseControl(connection_.handle(), objectId, toId(SimRequestId::ReleaseControl));
  queues_.queueClientEventHeld(objectId, toId(ClientEventId::FreezeLatitudeLongitudeSet), 1);
  queues_.queueClientEventHeld(objectId, toId(ClientEventId::FreezeAltitudeSet), 1);
  queues_.queueClientEventHeld(objectId, toId(ClientEventId::FreezeAttitudeSet), 1);
}

void ObjectBinding::onSimException(const SIMCONNECT_RECV_EXCEPTION& exception) {
  switch (exception.dwException) {
    case SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID:
      if (user_.positionKnown() && !isStopping()) {
        gf_logWarning("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");
      }
      break;
    case SIMCONNECT_EXCEPTION_VERSION_MISMATCH:
      throw UserErrorException(kSimConnectVersionError, fmt::format("SimConnect Version Mismatch, dwIndex: {}", exception.dwIndex));
    case SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS:
      setStatusLine("SimConnect: too many objects (max 1000)", true);
      break;
    case SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE:
      gf_logLine("SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE");
      break;
    case SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED: {
      // A packet kept without its id (0) is never matched.
      const auto found = std::find_if(sentPackets_.begin(), sentPackets_.end(), [&](const SentPacket& packet) {
        return packet.packetId != 0 && packet.packetId == exception.dwSendID;
      });
      if (found == sentPackets_.end()) {
        break;
      }
      const std::uint32_t key = takePacketKey(static_cast<std::size_t>(found - sentPackets_.begin()));
      reportCreateFailed(key);
      break;
    }
    case SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED:
      gf_logWarning("SimConnect exception: load flight plan failed");
      break;
    case SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE:
      gf_logLine("SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE");
      break;
    default:
      gf_logWarning(fmt::format("SIMCONNECT_EXCEPTION #{}", exception.dwException));
      break;
  }
}

}  // namespace crv
