#include <fmt/format.h>

#include "foundation/log.h"
#include "traffic/statics/static_callsign.h"

namespace crv {

std::string staticCallsign(std::string_view callsign) {
  while (!callsign.empty() && callsign.back() == '_') {
    callsign.remove_suffix(1);
  }
  if (!callsign.empty() && callsign.back() == '*') {
    return std::string(callsign);
  }
  return fmt::format("{}{}", callsign, "*");
}

std::string pendingStaticCallsign(std::string_view first, std::string_view second, bool continues) {
  std::string_view chosen = continues ? first : second;
  if (chosen.empty()) {
    chosen = continues ? second : first;
  }
  if (chosen.empty()) {
    gf_logWarning(fmt::format("{} callsign is empty..", "lf_detcs"));
  }
  return std::string(chosen);
}

}  // namespace crv
