#include "airports/parking_position.h"

#include <utility>

#include "airports/stand_distances.h"

namespace crv {

namespace {
constexpr std::size_t kReservedNeighbours = 8;
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

}  // namespace crv
