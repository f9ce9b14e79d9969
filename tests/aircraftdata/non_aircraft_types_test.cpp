#include "aircraftdata/non_aircraft_types.h"

#include <gtest/gtest.h>

#include <tuple>

namespace crv {
namespace {

// Special types (the nine designators and texts longer than a designator)
// are dropped only with a known emitter category; the excluded categories
// drop any type; a record without type is never injected.
TEST(SpecialTypeCodesTest, WhichRecordsAreInjected) {
  const std::tuple<const char*, const char*, bool> cases[] = {  // type, emitter category, injected
      {"GLID", "A1", false}, {"GND", "A1", false}, {"B738X", "A3", false}, {"GLID", "", true},
      {"GLID", "null", true}, {"gnd", "A1", true},  {"B738", "B2", false},  {"B738", "C1", false},
      {"B738", "A3", true},  {"B738", "b2", true},  {"B738", "NULL", true}, {"", "", false},
      {"", "A1", false}};
  for (const auto& [type, category, injected] : cases) {
    AircraftIdentity identity;
    identity.icaoType = type;
    EXPECT_EQ(isAircraftToInject(identity, category), injected) << type << " " << category;
  }
}

}  // namespace
}  // namespace crv
