#include "aircraftdata/aircraft_base.h"

#include <cmath>
#include <set>
#include <stdexcept>

#include <gtest/gtest.h>

#include "aircraftdata/aircraft_database.h"
#include "foundation/geodesy.h"

namespace crv {
namespace {

class AircraftBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AircraftDatabase db;
    for (const char* type : {"A320", "B744", "C172", "EC35", "F16", "CL60"}) {
      db.typeSets.all.insert(type);
    }
    db.typeSets.large.insert("A320");
    db.typeSets.heavy.insert("B744");
    db.typeSets.rotorcraft.insert("EC35");
    db.typeSets.highPerformance.insert("F16");
    db.typeSets.buzjet.insert("CL60");
    db.categoryByType = {{"A320", SizeCategory::Large},    {"B744", SizeCategory::Heavy},
                         {"EC35", SizeCategory::Rotorcraft}, {"F16", SizeCategory::HighPerf},
                         {"CL60", SizeCategory::Buzjets},    {"C172", SizeCategory::Light}};
    db.halfSpanMap["A320"] = 0.0097;
    db.categorySpanAverage[categoryIndex(SizeCategory::Heavy)] = 0.018;
    installAircraftDatabase(std::move(db));
  }
  void TearDown() override { installAircraftDatabase(AircraftDatabase{}); }

  static AircraftIdentity identityOf(const char* type) {
    AircraftIdentity identity;
    identity.icaoType = type;
    identity.callsign = "DLH4AB";
    identity.registration = "D-AIPA";
    return identity;
  }
};

TEST_F(AircraftBaseTest, AnUnknownCategoryIsRejected) {
  EXPECT_THROW(categoryPerformance(static_cast<SizeCategory>(6)), std::out_of_range);
}

TEST_F(AircraftBaseTest, BuildTakesSizeFromTheTypeAndVariesThePitchTargetsByExactSteps) {
  std::set<double> rotationDegrees;
  std::set<double> climbDegrees;
  for (int i = 0; i < 200; ++i) {
    const AircraftBase base = buildAircraftObject(identityOf("C172"));
    rotationDegrees.insert(std::round(base.rotationPitchRadians * kRadiansToDegrees * 1000.0) / 1000.0);
    climbDegrees.insert(std::round(base.climbPitchRadians * kRadiansToDegrees * 1000.0) / 1000.0);
  }
  EXPECT_EQ(rotationDegrees, (std::set<double>{-9.225, -8.775}));
  EXPECT_EQ(climbDegrees, (std::set<double>{-15.75, -14.25}));

  const AircraftBase large = buildAircraftObject(identityOf("A320"));
  EXPECT_EQ(large.category, SizeCategory::Large);
  EXPECT_DOUBLE_EQ(large.halfSpanNm, 0.0097);
  EXPECT_EQ(large.identity.registration, "D-AIPA");

  const AircraftBase heavy = buildAircraftObject(identityOf("B744"));
  EXPECT_EQ(heavy.category, SizeCategory::Heavy);
  EXPECT_DOUBLE_EQ(heavy.halfSpanNm, 0.018);  // the category's average

  EXPECT_EQ(buildAircraftObject(identityOf("ZZZZ")).category, SizeCategory::Light);
}

}  // namespace
}  // namespace crv
