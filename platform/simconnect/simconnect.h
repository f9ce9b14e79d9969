#pragma once

// The SimConnect interface as the simulator link uses it: the calls, the
// message structures, the message and exception ids and the constants, with
// the numeric values that the program relies on. On Linux the calls reach the
// in-process simulator stand-in (sim_standin.h); on Windows crvn.exe takes
// them from the simulator's SimConnect.dll at run time
// (simconnect_library.h). The names and shapes follow the simulator's C
// interface, so the link's code is the same on both.
//
// Only what the program uses is declared here.

#include <cstdint>

// The basic Windows types of the interface: the system's own on Windows, ours
// elsewhere.
#ifdef _WIN32
#include <windows.h>
#else
#include "platform/simconnect/windows_types.h"
#endif

// Ids chosen by the client.
using SIMCONNECT_OBJECT_ID = DWORD;
using SIMCONNECT_DATA_DEFINITION_ID = DWORD;
using SIMCONNECT_DATA_REQUEST_ID = DWORD;
using SIMCONNECT_CLIENT_EVENT_ID = DWORD;
using SIMCONNECT_NOTIFICATION_GROUP_ID = DWORD;

// Flag words (the program always passes 0).
using SIMCONNECT_DATA_REQUEST_FLAG = DWORD;
using SIMCONNECT_DATA_SET_FLAG = DWORD;
using SIMCONNECT_EVENT_FLAG = DWORD;

inline constexpr SIMCONNECT_OBJECT_ID SIMCONNECT_OBJECT_ID_USER = 0;
inline constexpr DWORD SIMCONNECT_UNUSED = 0xFFFFFFFFU;
inline constexpr DWORD SIMCONNECT_GROUP_PRIORITY_HIGHEST = 1;

enum SIMCONNECT_SIMOBJECT_TYPE : DWORD {
  SIMCONNECT_SIMOBJECT_TYPE_USER = 0,
  SIMCONNECT_SIMOBJECT_TYPE_ALL = 1,
  SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT = 2,
  SIMCONNECT_SIMOBJECT_TYPE_HELICOPTER = 3,
  SIMCONNECT_SIMOBJECT_TYPE_BOAT = 4,
  SIMCONNECT_SIMOBJECT_TYPE_GROUND = 5,
};

enum SIMCONNECT_PERIOD : DWORD {
  SIMCONNECT_PERIOD_NEVER = 0,
  SIMCONNECT_PERIOD_ONCE = 1,
  SIMCONNECT_PERIOD_VISUAL_FRAME = 2,
  SIMCONNECT_PERIOD_SIM_FRAME = 3,
  SIMCONNECT_PERIOD_SECOND = 4,
};

enum SIMCONNECT_DATATYPE : DWORD {
  SIMCONNECT_DATATYPE_INVALID = 0,
  SIMCONNECT_DATATYPE_INT64 = 2,     // 8-byte signed integer
  SIMCONNECT_DATATYPE_FLOAT64 = 4,   // 8-byte double
  SIMCONNECT_DATATYPE_STRING32 = 6,  // 32 bytes, zero-padded
  SIMCONNECT_DATATYPE_STRINGV = 11,  // zero-terminated, variable length
};

enum SIMCONNECT_RECV_ID : DWORD {
  SIMCONNECT_RECV_ID_NULL = 0,
  SIMCONNECT_RECV_ID_EXCEPTION = 1,
  SIMCONNECT_RECV_ID_OPEN = 2,
  SIMCONNECT_RECV_ID_QUIT = 3,
  SIMCONNECT_RECV_ID_EVENT = 4,
  SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE = 5,
  SIMCONNECT_RECV_ID_EVENT_FILENAME = 6,
  SIMCONNECT_RECV_ID_EVENT_FRAME = 7,
  SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8,
  SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE = 9,
  SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID = 12,
  SIMCONNECT_RECV_ID_CLIENT_DATA = 16,
  SIMCONNECT_RECV_ID_EVENT_EX1 = 27,
};

enum SIMCONNECT_EXCEPTION : DWORD {
  SIMCONNECT_EXCEPTION_NONE = 0,
  SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID = 3,
  SIMCONNECT_EXCEPTION_VERSION_MISMATCH = 5,
  SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED = 7,
  SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS = 11,
  SIMCONNECT_EXCEPTION_INVALID_DATA_TYPE = 18,
  SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE = 19,
  SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED = 22,
  SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED = 23,
  SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE = 24,
  SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS = 31,
};

// Messages are packed without gaps; every message starts with SIMCONNECT_RECV.
#pragma pack(push, 1)

struct SIMCONNECT_DATA_INITPOSITION {
  double Latitude;   // degrees
  double Longitude;  // degrees
  double Altitude;   // feet
  double Pitch;      // degrees
  double Bank;       // degrees
  double Heading;    // degrees
  DWORD OnGround;    // 1 on the ground
  DWORD Airspeed;    // knots
};

struct SIMCONNECT_RECV {
  DWORD dwSize;  // of the whole message in bytes
  DWORD dwVersion;
  DWORD dwID;  // SIMCONNECT_RECV_ID
};

struct SIMCONNECT_RECV_EXCEPTION : SIMCONNECT_RECV {
  DWORD dwException;  // SIMCONNECT_EXCEPTION
  DWORD dwSendID;     // packet id of the call that caused it
  DWORD dwIndex;      // number of the offending argument
};

struct SIMCONNECT_RECV_OPEN : SIMCONNECT_RECV {
  char szApplicationName[256];
  DWORD dwApplicationVersionMajor;
  DWORD dwApplicationVersionMinor;
  DWORD dwApplicationBuildMajor;
  DWORD dwApplicationBuildMinor;
  DWORD dwSimConnectVersionMajor;
  DWORD dwSimConnectVersionMinor;
  DWORD dwSimConnectBuildMajor;
  DWORD dwSimConnectBuildMinor;
  DWORD dwReserved1;
  DWORD dwReserved2;
};

struct SIMCONNECT_RECV_QUIT : SIMCONNECT_RECV {};

struct SIMCONNECT_RECV_EVENT : SIMCONNECT_RECV {
  DWORD uGroupID;
  DWORD uEventID;
  DWORD dwData;
};

struct SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE : SIMCONNECT_RECV_EVENT {
  SIMCONNECT_SIMOBJECT_TYPE eObjType;
};

struct SIMCONNECT_RECV_EVENT_FILENAME : SIMCONNECT_RECV_EVENT {
  char szFileName[260];
  DWORD dwFlags;
};

struct SIMCONNECT_RECV_EVENT_FRAME : SIMCONNECT_RECV_EVENT {
  float fFrameRate;
  float fSimSpeed;
};

struct SIMCONNECT_RECV_SIMOBJECT_DATA : SIMCONNECT_RECV {
  DWORD dwRequestID;
  DWORD dwObjectID;
  DWORD dwDefineID;
  DWORD dwFlags;
  DWORD dwentrynumber;  // 1..dwoutof
  DWORD dwoutof;
  DWORD dwDefineCount;  // number of variables in the data block
  DWORD dwData;         // the data block starts here
};

struct SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE : SIMCONNECT_RECV_SIMOBJECT_DATA {};

struct SIMCONNECT_RECV_ASSIGNED_OBJECT_ID : SIMCONNECT_RECV {
  DWORD dwRequestID;
  DWORD dwObjectID;
};

#pragma pack(pop)

using DispatchProc = void (*)(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

// C names, as the simulator's library exports them (Windows loads them from
// SimConnect.dll by these names).
extern "C" {

HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, void* hWnd, DWORD UserEventWin32, HANDLE hEventHandle,
                        DWORD ConfigIndex);
HRESULT SimConnect_Close(HANDLE hSimConnect);
// Hands every pending message to the procedure, in order, on the calling thread.
HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext);

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                          const char* SystemEventName);
HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                       const char* DatumName, const char* UnitsName, SIMCONNECT_DATATYPE DatumType,
                                       float fEpsilon, DWORD DatumID);
HRESULT SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                            const char* EventName);
HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                     SIMCONNECT_CLIENT_EVENT_ID EventID, BOOL bMaskable);
HRESULT SimConnect_SetNotificationGroupPriority(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                DWORD uPriority);

HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                          SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID,
                                          SIMCONNECT_PERIOD Period, SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin,
                                          DWORD interval, DWORD limit);
HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                              SIMCONNECT_DATA_DEFINITION_ID DefineID, DWORD dwRadiusMeters,
                                              SIMCONNECT_SIMOBJECT_TYPE type);
HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                      SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_DATA_SET_FLAG Flags, DWORD ArrayCount,
                                      DWORD cbUnitSize, void* pDataSet);
HRESULT SimConnect_TransmitClientEvent(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                       SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD dwData,
                                       SIMCONNECT_NOTIFICATION_GROUP_ID GroupID, SIMCONNECT_EVENT_FLAG Flags);

HRESULT SimConnect_AICreateNonATCAircraft(HANDLE hSimConnect, const char* szContainerTitle, const char* szTailNumber,
                                          SIMCONNECT_DATA_INITPOSITION InitPos, SIMCONNECT_DATA_REQUEST_ID RequestID);
HRESULT SimConnect_AIRemoveObject(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                  SIMCONNECT_DATA_REQUEST_ID RequestID);
HRESULT SimConnect_AIReleaseControl(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                    SIMCONNECT_DATA_REQUEST_ID RequestID);
HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                           const char* szFlightPlanPath, SIMCONNECT_DATA_REQUEST_ID RequestID);

// The packet id of the last call sent on the connection (from any thread).
HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwError);

}  // extern "C"
