#include "tests/support/unprivileged_user.h"

#include <exception>

namespace crv::testing {

std::string runAsUnprivilegedUser(const std::function<std::string()>& action) {
  try {
    return action();
  } catch (const std::exception& error) {
    return std::string("(threw) ") + error.what();
  }
}

void handToUnprivilegedUser(const std::filesystem::path& /*path*/) {}

}  // namespace crv::testing
