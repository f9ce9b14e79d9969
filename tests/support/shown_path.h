#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace crv::testing {

// A relative path written with '/' as the program shows it on this system,
// whose paths are joined with its own separator ('\' on Windows).
inline std::string shownPath(std::string_view path) {
  return std::filesystem::path(path).make_preferred().string();
}

}  // namespace crv::testing
