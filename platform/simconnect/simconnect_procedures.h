#pragma once

namespace platform {

// The address of a function of the loaded SimConnect.dll by its exported
// name; null before the library is loaded or when it lacks the function.
void* simConnectProcedure(const char* name);

}  // namespace platform
