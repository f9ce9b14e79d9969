#pragma once

#include <string>

namespace platform {

// Makes the SimConnect calls of simconnect.h ready. crvn.exe on Windows loads
// the simulator's SimConnect.dll here; the in-process stand-in needs nothing.
// Empty when ready, else the reason in the user's words, such as
// "SimConnect.dll not found: is MSFS installed?".
std::string loadSimConnectLibrary();

// Lets the library go at the end of the program, after every connection is
// closed (a stand-in library writes its flight trace then).
void unloadSimConnectLibrary();

}  // namespace platform
