#include "tests/support/environment.h"

#include <cstdlib>

namespace crv::testing {

void setEnvironment(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }

void clearEnvironment(const std::string& name) { ::unsetenv(name.c_str()); }

}  // namespace crv::testing
