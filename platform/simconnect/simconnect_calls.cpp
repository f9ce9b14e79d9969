// The SimConnect functions of simconnect.h, served by the active stand-in.
// A handle carries the stand-in's connection number.

#include <cstdint>
#include <utility>

#include "platform/simconnect/sim_installation.h"
#include "platform/simconnect/simconnect_library.h"
#include "platform/simconnect/simconnect.h"

namespace {

std::uint64_t connectionOf(HANDLE handle) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

// Hands a call to the stand-in of the open connections with the handle's
// connection; E_FAIL when no stand-in is active.
template <typename... Parameters, typename... Arguments>
HRESULT onActiveSimulator(HRESULT (platform::SimulatorStandIn::*call)(std::uint64_t, Parameters...), HANDLE handle,
                          Arguments&&... arguments) {
  const auto simulator = platform::simulatorOfOpenConnections();
  if (!simulator) return E_FAIL;
  return ((*simulator).*call)(connectionOf(handle), std::forward<Arguments>(arguments)...);
}

}  // namespace

namespace platform {

std::string loadSimConnectLibrary() { return {}; }
void unloadSimConnectLibrary() {}

}  // namespace platform

HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, void* hWnd, DWORD UserEventWin32, HANDLE hEventHandle,
                        DWORD ConfigIndex) {
  const auto simulator = platform::activeSimulator();
  if (!simulator) return E_FAIL;
  return simulator->open(phSimConnect, szName, hWnd, UserEventWin32, hEventHandle, ConfigIndex);
}

HRESULT SimConnect_Close(HANDLE hSimConnect) {
  return onActiveSimulator(&platform::SimulatorStandIn::close, hSimConnect);
}

HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext) {
  return onActiveSimulator(&platform::SimulatorStandIn::callDispatch, hSimConnect, pfcnDispatch, pContext);
}

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                          const char* SystemEventName) {
  return onActiveSimulator(&platform::SimulatorStandIn::subscribeToSystemEvent, hSimConnect, EventID, SystemEventName);
}

HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                       const char* DatumName, const char* UnitsName, SIMCONNECT_DATATYPE DatumType,
                                       float fEpsilon, DWORD DatumID) {
  return onActiveSimulator(&platform::SimulatorStandIn::addToDataDefinition, hSimConnect, DefineID, DatumName,
                           UnitsName, DatumType, fEpsilon, DatumID);
}

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                            const char* EventName) {
  return onActiveSimulator(&platform::SimulatorStandIn::mapClientEventToSimEvent, hSimConnect, EventID, EventName);
}

HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                     SIMCONNECT_CLIENT_EVENT_ID EventID, BOOL bMaskable) {
  return onActiveSimulator(&platform::SimulatorStandIn::addClientEventToNotificationGroup, hSimConnect, GroupID,
                           EventID, bMaskable);
}

HRESULT SimConnect_SetNotificationGroupPriority(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                DWORD uPriority) {
  return onActiveSimulator(&platform::SimulatorStandIn::setNotificationGroupPriority, hSimConnect, GroupID, uPriority);
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                          SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID,
                                          SIMCONNECT_PERIOD Period, SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin,
                                          DWORD interval, DWORD limit) {
  return onActiveSimulator(&platform::SimulatorStandIn::requestDataOnSimObject, hSimConnect, RequestID, DefineID,
                           ObjectID, Period, Flags, origin, interval, limit);
}

HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                              SIMCONNECT_DATA_DEFINITION_ID DefineID, DWORD dwRadiusMeters,
                                              SIMCONNECT_SIMOBJECT_TYPE type) {
  return onActiveSimulator(&platform::SimulatorStandIn::requestDataOnSimObjectType, hSimConnect, RequestID, DefineID,
                           dwRadiusMeters, type);
}

HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                      SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_DATA_SET_FLAG Flags, DWORD ArrayCount,
                                      DWORD cbUnitSize, void* pDataSet) {
  return onActiveSimulator(&platform::SimulatorStandIn::setDataOnSimObject, hSimConnect, DefineID, ObjectID, Flags,
                           ArrayCount, cbUnitSize, pDataSet);
}

HRESULT SimConnect_TransmitClientEvent(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                       SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD dwData,
                                       SIMCONNECT_NOTIFICATION_GROUP_ID GroupID, SIMCONNECT_EVENT_FLAG Flags) {
  return onActiveSimulator(&platform::SimulatorStandIn::transmitClientEvent, hSimConnect, ObjectID, EventID, dwData,
                           GroupID, Flags);
}

HRESULT SimConnect_AICreateNonATCAircraft(HANDLE hSimConnect, const char* szContainerTitle, const char* szTailNumber,
                                          SIMCONNECT_DATA_INITPOSITION InitPos, SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return onActiveSimulator(&platform::SimulatorStandIn::aiCreateNonAtcAircraft, hSimConnect, szContainerTitle,
                           szTailNumber, InitPos, RequestID);
}

HRESULT SimConnect_AIRemoveObject(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                  SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return onActiveSimulator(&platform::SimulatorStandIn::aiRemoveObject, hSimConnect, ObjectID, RequestID);
}

HRESULT SimConnect_AIReleaseControl(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                    SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return onActiveSimulator(&platform::SimulatorStandIn::aiReleaseControl, hSimConnect, ObjectID, RequestID);
}

HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                           const char* szFlightPlanPath, SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return onActiveSimulator(&platform::SimulatorStandIn::aiSetAircraftFlightPlan, hSimConnect, ObjectID,
                           szFlightPlanPath, RequestID);
}

HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwError) {
  return onActiveSimulator(&platform::SimulatorStandIn::getLastSentPacketId, hSimConnect, pdwError);
}
