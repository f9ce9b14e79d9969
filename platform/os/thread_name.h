#pragma once

#include <string_view>

namespace platform {

// Names the calling thread as debuggers and the system's process lists show
// it (at most 15 characters are kept).
void setCurrentThreadName(std::string_view name);

}  // namespace platform
