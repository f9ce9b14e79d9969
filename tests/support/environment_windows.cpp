#include "tests/support/environment.h"

#include <windows.h>

#include <cstdlib>

namespace crv::testing {

// The C runtime keeps its own copy: an empty value there removes the
// variable, so an empty value is kept by the system's copy only.
void setEnvironment(const std::string& name, const std::string& value) {
  ::_putenv_s(name.c_str(), value.c_str());
  ::SetEnvironmentVariableA(name.c_str(), value.c_str());
}

void clearEnvironment(const std::string& name) {
  ::_putenv_s(name.c_str(), "");
  ::SetEnvironmentVariableA(name.c_str(), nullptr);
}

}  // namespace crv::testing
