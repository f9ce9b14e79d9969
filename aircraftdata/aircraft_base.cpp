#include "aircraftdata/aircraft_base.h"

#include <array>
#include <stdexcept>

#include "aircraftdata/type_lookups.h"
#include "foundation/geodesy.h"
#include "foundation/text.h"

namespace crv {

namespace {

constexpr double kRotationPitchVariationPercent = 2.5;
constexpr double kClimbPitchVariationPercent = 5.0;

constexpr double rad(double degrees) { return degrees * kDegreesToRadians; }

// Rows in category order: Light, Buzjets, Large, Heavy, HighPerf, Rotorcraft.
constexpr std::array<CategoryPerformance, kSizeCategoryCount> kPerformance{{
    {-9.0, -15.0, rad(0.15), 0.5, 5.0, 250, 250, 100, 200, rad(40.0), rad(0.035), rad(0.01), 90.0},
    {-8.0, -18.0, rad(0.1), 0.75, 4.5, 300, 300, 200, 250, rad(35.0), rad(0.0275), rad(0.0085), 110.0},
    {-6.0, -16.5, rad(0.07), 0.6, 4.0, 400, 350, 200, 300, rad(30.0), rad(0.02), rad(0.0075), 140.0},
    {-5.0, -12.5, rad(0.05), 0.5, 3.0, 450, 450, 250, 400, rad(20.0), rad(0.015), rad(0.005), 150.0},
    {-6.0, -20.0, rad(0.1), 1.0, 4.5, 150, 150, 100, 200, rad(90.0), rad(0.1), rad(0.03), 220.0},
    {-20.0, -30.0, rad(0.2), 0.75, 5.0, 100, 100, 100, 100, rad(75.0), rad(0.06), rad(0.03), 0.0},
}};

}  // namespace

const CategoryPerformance& categoryPerformance(SizeCategory category) {
  const std::size_t index = categoryIndex(category);
  if (index >= kPerformance.size()) {
    throw std::out_of_range("invalid unordered_map<K, T> key");
  }
  return kPerformance[index];
}

AircraftBase buildAircraftObject(const AircraftIdentity& identity) {
  AircraftBase base;
  base.identity = identity;
  base.halfSpanNm = wingspanOfType(identity.icaoType);
  base.category = aircraftCategory(identity.icaoType);
  const CategoryPerformance& row = categoryPerformance(base.category);
  base.rotationPitchRadians = randomVariation(row.rotationPitchDegrees, kRotationPitchVariationPercent) * kDegreesToRadians;
  base.climbPitchRadians = randomVariation(row.climbPitchDegrees, kClimbPitchVariationPercent) * kDegreesToRadians;
  base.baseTurnRateRadians = row.turnRateRadians;
  base.flareSteps = row.flareSteps;
  base.noseLoweringSteps = row.noseLoweringSteps;
  base.rotationSteps = row.rotationSteps;
  base.climbPitchSteps = row.climbPitchSteps;
  return base;
}

void copyAcBase(AircraftBase& destination, const AircraftBase& source) { destination = source; }

}  // namespace crv
