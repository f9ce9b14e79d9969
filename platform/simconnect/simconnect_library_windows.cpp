// crvn.exe on Windows: the simulator's SimConnect.dll, loaded at run time so
// that no part of the simulator's SDK is needed to build the program.

#include <windows.h>

#include <array>
#include <atomic>
#include <string>

#include "platform/simconnect/simconnect_library.h"
#include "platform/simconnect/simconnect_procedures.h"

namespace platform {
namespace {

// The loaded library; set once at start, cleared at the end of the program.
std::atomic<HMODULE> library{nullptr};

// The calls the simulator link makes; a library without one of them is not
// one the program can work with.
constexpr std::array kNeededProcedures = {
    "SimConnect_Open",
    "SimConnect_Close",
    "SimConnect_CallDispatch",
    "SimConnect_SubscribeToSystemEvent",
    "SimConnect_AddToDataDefinition",
    "SimConnect_MapClientEventToSimEvent",
    "SimConnect_AddClientEventToNotificationGroup",
    "SimConnect_SetNotificationGroupPriority",
    "SimConnect_RequestDataOnSimObject",
    "SimConnect_RequestDataOnSimObjectType",
    "SimConnect_SetDataOnSimObject",
    "SimConnect_TransmitClientEvent",
    "SimConnect_AICreateNonATCAircraft",
    "SimConnect_AIRemoveObject",
    "SimConnect_AIReleaseControl",
    "SimConnect_AISetAircraftFlightPlan",
    "SimConnect_GetLastSentPacketID",
};

}  // namespace

std::string loadSimConnectLibrary() {
  if (library.load() != nullptr) return {};
  HMODULE module = ::LoadLibraryW(L"SimConnect.dll");
  if (module == nullptr) return "SimConnect.dll not found: is MSFS installed?";
  for (const char* name : kNeededProcedures) {
    if (::GetProcAddress(module, name) == nullptr) {
      ::FreeLibrary(module);
      return std::string("SimConnect.dll has no ") + name + ": is MSFS up to date?";
    }
  }
  library.store(module);
  return {};
}

void unloadSimConnectLibrary() {
  if (HMODULE module = library.exchange(nullptr); module != nullptr) ::FreeLibrary(module);
}

void* simConnectProcedure(const char* name) {
  HMODULE module = library.load();
  if (module == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(module, name));
}

}  // namespace platform
