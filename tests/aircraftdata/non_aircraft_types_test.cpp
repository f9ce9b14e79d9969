#include "aircraftdata/non_aircraft_types.h"

#include <gtest/gtest.h>

#include <tuple>

namespace crv {
namespace {

AircraftIdentity withType(const char* type) {
  AircraftIdentity identity;
  identity.icaoType = type;
  return identity;
}

TEST(SpecialTypeCodesTest, NineDesignatorsAndLongTextsAreSpecial) {
  for (const char* type : {"BALL", "EMER", "GLID", "GRND", "GND", "PARA", "SERV", "SHIP", "VENT", "B738X"}) {
    EXPECT_TRUE(isSpecialTypeCode(type)) << type;
  }
  for (const char* type : {"B738", "gnd", ""}) EXPECT_FALSE(isSpecialTypeCode(type)) << type;
}

// Special types are dropped only with a known emitter category; the excluded
// categories drop any type; a record without type is never injected.
TEST(SpecialTypeCodesTest, WhichRecordsAreInjected) {
  const std::tuple<const char*, const char*, bool> cases[] = {  // type, emitter category, injected
      {"GLID", "A1", false}, {"GLID", "", true},   {"GLID", "null", true}, {"B738X", "A3", false},
      {"B738X", "null", true}, {"gnd", "A1", true}, {"B738", "B1", false}, {"B738", "B2", false},
      {"B738", "B4", false}, {"B738", "C1", false}, {"B738", "C2", false}, {"B738", "A3", true},
      {"B738", "B3", true},  {"B738", "C3", true},  {"B738", "b2", true},  {"B738", "NULL", true},
      {"", "", false},       {"", "null", false},   {"", "A1", false},     {"", "B2", false}};
  for (const auto& [type, category, injected] : cases) {
    EXPECT_EQ(isAircraftToInject(withType(type), category), injected) << type << " " << category;
  }
}

}  // namespace
}  // namespace crv
