#pragma once

#include <string>

namespace crv::testing {

// Sets an environment variable of this process, an empty value included, as
// both the C runtime and the system's own calls read it.
void setEnvironment(const std::string& name, const std::string& value);
// Removes it.
void clearEnvironment(const std::string& name);

}  // namespace crv::testing
