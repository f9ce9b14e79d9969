// crvn.exe on Windows: each SimConnect call of simconnect.h goes to the
// function of the same name in the loaded SimConnect.dll. Before the library
// is loaded, or when it lacks the function, a call fails with E_FAIL as when
// no simulator runs.

#include <atomic>

#include "platform/simconnect/simconnect.h"
#include "platform/simconnect/simconnect_procedures.h"

namespace {

// One cached address per function; the first call that finds it keeps it.
template <typename Function, typename... Arguments>
HRESULT callLibrary(std::atomic<Function*>& cached, const char* name, Arguments... arguments) {
  Function* call = cached.load(std::memory_order_acquire);
  if (call == nullptr) {
    call = reinterpret_cast<Function*>(platform::simConnectProcedure(name));
    if (call == nullptr) return E_FAIL;
    cached.store(call, std::memory_order_release);
  }
  return call(arguments...);
}

std::atomic<decltype(SimConnect_Open)*> openCall{nullptr};
std::atomic<decltype(SimConnect_Close)*> closeCall{nullptr};
std::atomic<decltype(SimConnect_CallDispatch)*> callDispatchCall{nullptr};
std::atomic<decltype(SimConnect_SubscribeToSystemEvent)*> subscribeCall{nullptr};
std::atomic<decltype(SimConnect_AddToDataDefinition)*> addToDefinitionCall{nullptr};
std::atomic<decltype(SimConnect_MapClientEventToSimEvent)*> mapEventCall{nullptr};
std::atomic<decltype(SimConnect_AddClientEventToNotificationGroup)*> addToGroupCall{nullptr};
std::atomic<decltype(SimConnect_SetNotificationGroupPriority)*> groupPriorityCall{nullptr};
std::atomic<decltype(SimConnect_RequestDataOnSimObject)*> requestDataCall{nullptr};
std::atomic<decltype(SimConnect_RequestDataOnSimObjectType)*> requestByTypeCall{nullptr};
std::atomic<decltype(SimConnect_SetDataOnSimObject)*> setDataCall{nullptr};
std::atomic<decltype(SimConnect_TransmitClientEvent)*> transmitEventCall{nullptr};
std::atomic<decltype(SimConnect_AICreateNonATCAircraft)*> createAircraftCall{nullptr};
std::atomic<decltype(SimConnect_AIRemoveObject)*> removeObjectCall{nullptr};
std::atomic<decltype(SimConnect_AIReleaseControl)*> releaseControlCall{nullptr};
std::atomic<decltype(SimConnect_AISetAircraftFlightPlan)*> flightPlanCall{nullptr};
std::atomic<decltype(SimConnect_GetLastSentPacketID)*> lastPacketCall{nullptr};

}  // namespace

HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, void* hWnd, DWORD UserEventWin32, HANDLE hEventHandle,
                        DWORD ConfigIndex) {
  return callLibrary(openCall, "SimConnect_Open", phSimConnect, szName, hWnd, UserEventWin32, hEventHandle,
                     ConfigIndex);
}

HRESULT SimConnect_Close(HANDLE hSimConnect) { return callLibrary(closeCall, "SimConnect_Close", hSimConnect); }

HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext) {
  return callLibrary(callDispatchCall, "SimConnect_CallDispatch", hSimConnect, pfcnDispatch, pContext);
}

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                          const char* SystemEventName) {
  return callLibrary(subscribeCall, "SimConnect_SubscribeToSystemEvent", hSimConnect, EventID, SystemEventName);
}

HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                       const char* DatumName, const char* UnitsName, SIMCONNECT_DATATYPE DatumType,
                                       float fEpsilon, DWORD DatumID) {
  return callLibrary(addToDefinitionCall, "SimConnect_AddToDataDefinition", hSimConnect, DefineID, DatumName,
                     UnitsName, DatumType, fEpsilon, DatumID);
}

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                            const char* EventName) {
  return callLibrary(mapEventCall, "SimConnect_MapClientEventToSimEvent", hSimConnect, EventID, EventName);
}

HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                     SIMCONNECT_CLIENT_EVENT_ID EventID, BOOL bMaskable) {
  return callLibrary(addToGroupCall, "SimConnect_AddClientEventToNotificationGroup", hSimConnect, GroupID, EventID,
                     bMaskable);
}

HRESULT SimConnect_SetNotificationGroupPriority(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                DWORD uPriority) {
  return callLibrary(groupPriorityCall, "SimConnect_SetNotificationGroupPriority", hSimConnect, GroupID, uPriority);
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                          SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID,
                                          SIMCONNECT_PERIOD Period, SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin,
                                          DWORD interval, DWORD limit) {
  return callLibrary(requestDataCall, "SimConnect_RequestDataOnSimObject", hSimConnect, RequestID, DefineID, ObjectID,
                     Period, Flags, origin, interval, limit);
}

HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                              SIMCONNECT_DATA_DEFINITION_ID DefineID, DWORD dwRadiusMeters,
                                              SIMCONNECT_SIMOBJECT_TYPE type) {
  return callLibrary(requestByTypeCall, "SimConnect_RequestDataOnSimObjectType", hSimConnect, RequestID, DefineID,
                     dwRadiusMeters, type);
}

HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                      SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_DATA_SET_FLAG Flags, DWORD ArrayCount,
                                      DWORD cbUnitSize, void* pDataSet) {
  return callLibrary(setDataCall, "SimConnect_SetDataOnSimObject", hSimConnect, DefineID, ObjectID, Flags, ArrayCount,
                     cbUnitSize, pDataSet);
}

HRESULT SimConnect_TransmitClientEvent(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                       SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD dwData,
                                       SIMCONNECT_NOTIFICATION_GROUP_ID GroupID, SIMCONNECT_EVENT_FLAG Flags) {
  return callLibrary(transmitEventCall, "SimConnect_TransmitClientEvent", hSimConnect, ObjectID, EventID, dwData,
                     GroupID, Flags);
}

HRESULT SimConnect_AICreateNonATCAircraft(HANDLE hSimConnect, const char* szContainerTitle, const char* szTailNumber,
                                          SIMCONNECT_DATA_INITPOSITION InitPos, SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return callLibrary(createAircraftCall, "SimConnect_AICreateNonATCAircraft", hSimConnect, szContainerTitle,
                     szTailNumber, InitPos, RequestID);
}

HRESULT SimConnect_AIRemoveObject(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                  SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return callLibrary(removeObjectCall, "SimConnect_AIRemoveObject", hSimConnect, ObjectID, RequestID);
}

HRESULT SimConnect_AIReleaseControl(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                    SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return callLibrary(releaseControlCall, "SimConnect_AIReleaseControl", hSimConnect, ObjectID, RequestID);
}

HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                           const char* szFlightPlanPath, SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return callLibrary(flightPlanCall, "SimConnect_AISetAircraftFlightPlan", hSimConnect, ObjectID, szFlightPlanPath,
                     RequestID);
}

HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwError) {
  return callLibrary(lastPacketCall, "SimConnect_GetLastSentPacketID", hSimConnect, pdwError);
}
