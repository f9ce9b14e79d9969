#include "aircraftdata/non_aircraft_types.h"

#include <array>
#include <set>
#include <string>

namespace crv {

namespace {

constexpr std::size_t kLongestTypeDesignator = 4;

const std::set<std::string, std::less<>>& specialTypeCodes() {
  static const std::set<std::string, std::less<>> codes = {
      "BALL", "EMER", "GLID", "GRND", "GND", "PARA", "SERV", "SHIP", "VENT"};
  return codes;
}

bool isExcludedEmitterCategory(std::string_view category) {
  static constexpr std::array<std::string_view, 5> kExcluded = {"B1", "B2", "B4", "C1", "C2"};
  for (const std::string_view excluded : kExcluded) {
    if (category == excluded) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool isSpecialTypeCode(std::string_view type) {
  return type.size() > kLongestTypeDesignator || specialTypeCodes().contains(type);
}

bool isAircraftToInject(const AircraftIdentity& identity, std::string_view emitterCategory) {
  if (identity.icaoType.empty()) {
    return false;
  }
  if (emitterCategory.empty() || emitterCategory == "null") {
    return true;
  }
  if (isExcludedEmitterCategory(emitterCategory)) {
    return false;
  }
  return !isSpecialTypeCode(identity.icaoType);
}

}  // namespace crv
