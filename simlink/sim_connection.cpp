#include "simlink/sim_connection.h"

#include <string>

#include "foundation/version.h"
#include "simlink/sim_ids.h"

namespace crv {

namespace {

HRESULT requestOnUser(HANDLE handle, SimRequestId request, DataDefinitionId definition, SIMCONNECT_PERIOD period) {
  return SimConnect_RequestDataOnSimObject(handle, toId(request), toId(definition), SIMCONNECT_OBJECT_ID_USER, period,
                                           0, 0, 0, 0);
}

}  // namespace

bool SimConnection::open() {
  HANDLE opened = nullptr;
  const std::string name(kProgramName);
  if (FAILED(SimConnect_Open(&opened, name.c_str(), nullptr, 0, nullptr, 0)) || opened == nullptr) {
    return false;
  }
  std::lock_guard lock(simConnectMutex_);
  handle_.store(opened);
  return true;
}

HRESULT SimConnection::close() {
  // Under the lock, so that no call of another thread is under way with the
  // handle while it closes.
  std::lock_guard lock(simConnectMutex_);
  HANDLE open = handle_.exchange(nullptr);
  if (open == nullptr) {
    return E_FAIL;
  }
  return SimConnect_Close(open);
}

bool SimConnection::requestAircraftInRange(std::uint32_t radiusMeters) {
  std::lock_guard lock(simConnectMutex_);
  return SUCCEEDED(SimConnect_RequestDataOnSimObjectType(handle(), toId(SimRequestId::AircraftInRange),
                                                         toId(DataDefinitionId::AircraftInRange), radiusMeters,
                                                         SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT));
}

bool SimConnection::requestStaticCg(std::uint32_t objectId) {
  std::lock_guard lock(simConnectMutex_);
  return SUCCEEDED(SimConnect_RequestDataOnSimObject(handle(), toId(SimRequestId::StaticCg),
                                                     toId(DataDefinitionId::StaticCg), objectId,
                                                     SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0));
}

bool SimConnection::transmitAllLightsToggle(std::uint32_t objectId) {
  std::lock_guard lock(simConnectMutex_);
  return SUCCEEDED(SimConnect_TransmitClientEvent(handle(), objectId, toId(ClientEventId::AllLightsToggle), 0,
                                                  kNotificationGroup, 0));
}

bool SimConnection::writeSpoilersThrottle(std::uint32_t objectId, const SpoilersThrottleBlock& block) {
  SpoilersThrottleBlock data = block;
  std::lock_guard lock(simConnectMutex_);
  return SUCCEEDED(SimConnect_SetDataOnSimObject(handle(), toId(DataDefinitionId::SpoilersThrottle), objectId, 0, 0,
                                                 sizeof(data), &data));
}

bool SimConnection::requestUserOnGroundEverySecond() {
  std::lock_guard lock(simConnectMutex_);
  return SUCCEEDED(
      requestOnUser(handle(), SimRequestId::UserOnGround, DataDefinitionId::UserOnGround, SIMCONNECT_PERIOD_SECOND));
}

bool SimConnection::requestUserPosition() {
  std::lock_guard lock(simConnectMutex_);
  return SUCCEEDED(
      requestOnUser(handle(), SimRequestId::UserPosition, DataDefinitionId::UserAircraft, SIMCONNECT_PERIOD_ONCE));
}

SimConnection::TitleModelSent SimConnection::requestUserTitleAndModel() {
  std::lock_guard lock(simConnectMutex_);
  TitleModelSent sent;
  sent.title = SUCCEEDED(
      requestOnUser(handle(), SimRequestId::UserTitle, DataDefinitionId::UserTitle, SIMCONNECT_PERIOD_ONCE));
  sent.model = SUCCEEDED(
      requestOnUser(handle(), SimRequestId::UserModel, DataDefinitionId::UserModel, SIMCONNECT_PERIOD_ONCE));
  return sent;
}

bool SimConnection::setFlightPlan(std::uint32_t objectId, const std::string& planPath) {
  std::lock_guard lock(simConnectMutex_);
  return SimConnect_AISetAircraftFlightPlan(handle(), objectId, planPath.c_str(), toId(SimRequestId::FlightPlan)) ==
         S_OK;
}

}  // namespace crv
