#include "aircraftdata/aircraft_base.h"

#include <cmath>
#include <set>
#include <stdexcept>

#include <gtest/gtest.h>

#include "aircraftdata/type_lookups.h"
#include "foundation/geodesy.h"
#include "tests/aircraftdata/dbase_test_files.h"

namespace crv {
namespace {

AircraftIdentity identityOf(const char* type) {
  AircraftIdentity identity;
  identity.icaoType = type;
  identity.registration = "D-AIPA";
  return identity;
}

double roundedDegrees(double radians) { return std::round(radians * kRadiansToDegrees * 1000.0) / 1000.0; }

TEST(AircraftBaseTest, SizeComesFromTheTypeDatabaseAndThePitchTargetsVaryByExactSteps) {
  testing::installDbaseXml(testing::DbaseXml().text());
  std::set<double> rotationDegrees;
  std::set<double> climbDegrees;
  for (int i = 0; i < 200; ++i) {
    const AircraftBase base = buildAircraftObject(identityOf("C172"));
    rotationDegrees.insert(roundedDegrees(base.rotationPitchRadians));
    climbDegrees.insert(roundedDegrees(base.climbPitchRadians));
  }
  EXPECT_EQ(rotationDegrees, (std::set<double>{-9.225, -8.775}));  // -9 by 2.5 %
  EXPECT_EQ(climbDegrees, (std::set<double>{-15.75, -14.25}));     // -15 by 5 %

  const AircraftBase heavy = buildAircraftObject(identityOf("B744"));
  EXPECT_EQ(heavy.category, SizeCategory::Heavy);
  EXPECT_DOUBLE_EQ(heavy.halfSpanNm, wingspanOfType("B744"));
  EXPECT_EQ(heavy.identity.registration, "D-AIPA");
  EXPECT_THROW(categoryPerformance(static_cast<SizeCategory>(6)), std::out_of_range);
}

}  // namespace
}  // namespace crv
