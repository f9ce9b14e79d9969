#include "aircraftdata/non_aircraft_types.h"

#include <gtest/gtest.h>

namespace crv {
namespace {

AircraftIdentity withType(const char* type) {
  AircraftIdentity identity;
  identity.icaoType = type;
  return identity;
}

TEST(SpecialTypeCodesTest, NineDesignatorsAndLongTextsAreSpecial) {
  for (const char* type : {"BALL", "EMER", "GLID", "GRND", "GND", "PARA", "SERV", "SHIP", "VENT"}) {
    EXPECT_TRUE(isSpecialTypeCode(type)) << type;
  }
  EXPECT_TRUE(isSpecialTypeCode("B738X"));
  EXPECT_FALSE(isSpecialTypeCode("B738"));
  EXPECT_FALSE(isSpecialTypeCode("gnd"));
  EXPECT_FALSE(isSpecialTypeCode(""));
}

TEST(SpecialTypeCodesTest, SpecialTypesAreDroppedOnlyWithAKnownCategory) {
  EXPECT_FALSE(isAircraftToInject(withType("GLID"), "A1"));
  EXPECT_TRUE(isAircraftToInject(withType("GLID"), ""));
  EXPECT_TRUE(isAircraftToInject(withType("GLID"), "null"));
  EXPECT_FALSE(isAircraftToInject(withType("B738X"), "A3"));
  EXPECT_TRUE(isAircraftToInject(withType("B738X"), "null"));
  EXPECT_TRUE(isAircraftToInject(withType("gnd"), "A1"));
}

TEST(SpecialTypeCodesTest, ExcludedEmitterCategoriesAreDropped) {
  for (const char* category : {"B1", "B2", "B4", "C1", "C2"}) {
    EXPECT_FALSE(isAircraftToInject(withType("B738"), category)) << category;
  }
  for (const char* category : {"A3", "B3", "C3", "b2", "NULL"}) {
    EXPECT_TRUE(isAircraftToInject(withType("B738"), category)) << category;
  }
}

TEST(SpecialTypeCodesTest, RecordWithoutTypeIsNeverInjected) {
  for (const char* category : {"", "null", "A1", "B2"}) {
    EXPECT_FALSE(isAircraftToInject(withType(""), category)) << category;
  }
}

}  // namespace
}  // namespace crv
