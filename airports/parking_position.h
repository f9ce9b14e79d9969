#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "airports/usage_entry.h"
#include "foundation/day_slot.h"
#include "foundation/geodesy.h"

namespace crv {

// What one aircraft last taught a stand: when, and which usage entry.
struct StandLearningMark {
  DaySlot slot;
  std::uint32_t usageId = 0;
};

// One stand of the park airport with its learned uses.
class ParkingPosition {
 public:
  // position: latitude and longitude in degrees, heading in radians. The
  // radius is given in metres and kept in nautical miles. The three flags come
  // negated, as the airport files read them.
  ParkingPosition(std::string name, std::vector<UsageEntry> usage, const std::array<double, 3>& position,
                  double radiusMeters, bool notCargo, bool notRamp, bool notHeli);

  GeoPoint position() const { return {latitude, longitude}; }

  // One of the stand's usage entries is in use at the slot.
  bool isUsedAt(DaySlot slot) const;

  std::vector<UsageEntry> usage;
  // Per aircraft key, the last real and soft usage it added here.
  std::unordered_map<std::uint32_t, StandLearningMark> realLearning;
  std::unordered_map<std::uint32_t, StandLearningMark> softLearning;
  std::string name;
  // ids of the stands that overlap this one.
  std::vector<std::uint32_t> neighbours;
  double latitude = 0.0;
  double longitude = 0.0;
  double heading = 0.0;  // radians
  double radius = 0.0;   // nautical miles, compared with an aircraft's half span
  // 1..n in table order after each reading of the table; 0 until then.
  std::uint32_t id = 0;
  bool manual = false;
  bool radius_change = false;
  bool cargo_change = false;
  bool needsName = false;
  bool staticTaken = false;
  bool occupied = false;
  bool reserved = false;
  bool neighbourTaken = false;
  bool cargo = false;
  bool ramp = false;
  bool heli = false;
};

// An aircraft half span (nautical miles) fits the stand's radius step: at
// most 1.8 m larger than the stand's radius and within half a step of it
// (14 m steps up to a half span of 17.8 m, 21 m steps above). Static parking
// and usage learning both group stands by it.
bool isSameRadiusStep(const ParkingPosition& stand, double halfSpanNm);

}  // namespace crv
