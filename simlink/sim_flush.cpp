#include "simlink/sim_flush.h"

#include <mutex>

#include <fmt/format.h>

#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/status_line.h"
#include "simlink/sim_ids.h"

namespace crv {

namespace {

SIMCONNECT_DATA_INITPOSITION toInitPosition(const InitPosition& position) {
  SIMCONNECT_DATA_INITPOSITION init{};
  init.Latitude = position.latitude;
  init.Longitude = position.longitude;
  init.Altitude = position.altitudeFeet;
  init.Pitch = position.pitchDegrees;
  init.Bank = position.bankDegrees;
  init.Heading = position.headingDegrees;
  init.OnGround = position.onGround;
  init.Airspeed = position.airspeedKnots;
  return init;
}

}  // namespace

SimFrameFlush::SimFrameFlush(SimQueues& queues, SimConnection& connection, const UserAircraft& user,
                             ObjectBinding& binding)
    : queues_(queues), connection_(connection), user_(user), binding_(binding) {}

void SimFrameFlush::reserve() {
  batch_.positions.reserve(SimQueues::kReservedEntries);
  batch_.creates.reserve(SimQueues::kReservedEntries);
  batch_.removes.reserve(SimQueues::kReservedEntries);
}

void SimFrameFlush::onSimFrame() {
  if (queues_.simLinkPaused.load()) {
    queues_.discardQueued();
    return;
  }
  Failures failures;
  {
    std::unique_lock lock(queues_.simConnectMutex(), std::try_to_lock);
    if (!lock.owns_lock()) {
      return;
    }
    queues_.takeFrameHeld(batch_);
    const std::uint32_t userObjectId = user_.objectId();
    sendPositions(userObjectId);
    sendClientEvents(failures);
    for (const CreateRequest& request : batch_.creates) {
      createAcInSim(request, failures);
    }
    batch_.creates.clear();
    sendRemovals(userObjectId, failures);
  }
  report(failures);
}

void SimFrameFlush::sendPositions(std::uint32_t userObjectId) {
  const HANDLE handle = connection_.handle();
  for (PositionUpdate& update : batch_.positions) {
    if (update.objectId <= userObjectId) {
      continue;
    }
    SimConnect_SetDataOnSimObject(handle, toId(DataDefinitionId::AiPosition), update.objectId, 0, 0,
                                  sizeof(AiPositionBlock), &update.block);
  }
  batch_.positions.clear();
}

void SimFrameFlush::sendClientEvents(Failures& failures) {
  const HANDLE handle = connection_.handle();
  const std::uint32_t release = toId(SimRequestId::ReleaseControl);
  for (const ClientEventRecord& record : batch_.clientEvents) {
    const bool flaps = record.eventId == toId(ClientEventId::FlapsSet);
    if (flaps) {
      SimConnect_AIReleaseControl(handle, record.objectId, release);
    }
    if (FAILED(SimConnect_TransmitClientEvent(handle, record.objectId, record.eventId, record.value,
                                              kNotificationGroup, 0))) {
      failures.clientEvents.push_back(record.eventId);
    } else if (flaps) {
      SimConnect_AIReleaseControl(handle, record.objectId, release);
    }
  }
  batch_.clientEvents.clear();
}

void SimFrameFlush::createAcInSim(const CreateRequest& request, Failures& failures) {
  const HANDLE handle = connection_.handle();
  if (FAILED(SimConnect_AICreateNonATCAircraft(handle, request.liveryTitle.c_str(), request.callsign.c_str(),
                                               toInitPosition(request.position),
                                               toId(SimRequestId::CreateAircraft)))) {
    gf_logWarning(fmt::format("! Simcon call to create ac in sim failed, hexid:{}, liv: '{}', callsign: {})",
                              request.key, request.liveryTitle, request.callsign));
    failures.createKeys.push_back(request.key);
    failures.request = true;
    return;
  }
  DWORD packetId = 0;
  if (FAILED(SimConnect_GetLastSentPacketID(handle, &packetId))) {
    gf_logWarning("GetLastSentPacketID");
  }
  binding_.addSentPacket({packetId, request.key, request.callsign});
}

void SimFrameFlush::sendRemovals(std::uint32_t userObjectId, Failures& failures) {
  const HANDLE handle = connection_.handle();
  for (const std::uint32_t objectId : batch_.removes) {
    if (objectId <= userObjectId) {
      gf_logWarning(fmt::format("SimConnect call to remove ac with objectid {}", objectId));
      continue;
    }
    if (FAILED(SimConnect_AIRemoveObject(handle, objectId, toId(SimRequestId::RemoveObject)))) {
      gf_logWarning(fmt::format("{} !SimConnect call to remove AI ac from sim failed, id {}?", clockText(), objectId));
      failures.request = true;
    }
  }
  batch_.removes.clear();
}

void SimFrameFlush::report(const Failures& failures) {
  for (const std::uint32_t eventId : failures.clientEvents) {
    setStatusLine(fmt::format("SimConnect TransmitClientEvent: {} fails", eventId), true);
  }
  if (failures.request) {
    queues_.simRequestError();
  }
  // After the session end above, so the engine drops these aircraft without
  // blaming their liveries.
  for (const std::uint32_t key : failures.createKeys) {
    binding_.reportCreateFailed(key);
  }
}

}  // namespace crv
