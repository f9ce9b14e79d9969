#include "airports/parking_position.h"

#include <cmath>
#include <utility>

#include "airports/stand_distances.h"

namespace crv {

namespace {
constexpr std::size_t kReservedNeighbours = 8;
constexpr double kRadiusToleranceMeters = 1.8;
constexpr double kSmallHalfSpanLimitMeters = 17.8;
constexpr double kSmallStepMeters = 14.0;
constexpr double kLargeStepMeters = 21.0;
}  // namespace

ParkingPosition::ParkingPosition(std::string standName, std::vector<UsageEntry> standUsage,
                                 const std::array<double, 3>& position, double radiusMeters, bool notCargo,
                                 bool notRamp, bool notHeli)
    : usage(std::move(standUsage)),
      name(std::move(standName)),
      latitude(position[0]),
      longitude(position[1]),
      heading(position[2]),
      radius(metersToNm(radiusMeters)),
      cargo(!notCargo),
      ramp(!notRamp),
      heli(!notHeli) {
  neighbours.reserve(kReservedNeighbours);
}

bool ParkingPosition::isUsedAt(DaySlot slot) const {
  for (const UsageEntry& entry : usage) {
    if (crv::isUsedAt(entry, slot)) {
      return true;
    }
  }
  return false;
}

bool isSameRadiusStep(const ParkingPosition& stand, double halfSpanNm) {
  const double differenceMeters = (halfSpanNm - stand.radius) * kMetersPerNm;
  if (differenceMeters > kRadiusToleranceMeters) return false;
  const double step = halfSpanNm * kMetersPerNm <= kSmallHalfSpanLimitMeters ? kSmallStepMeters : kLargeStepMeters;
  return std::round(differenceMeters / step) == 0.0;
}

}  // namespace crv
