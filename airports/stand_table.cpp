#include "airports/stand_table.h"

#include <algorithm>
#include <cmath>

#include "foundation/geodesy.h"

namespace crv {

namespace {

constexpr double kOverlapFactor = 1.1;
constexpr double kNmPerDegreeOfLatitude = 60.0;
constexpr std::uint32_t kMinimumHalfHoursBetweenLearnings = 3;
constexpr auto kHalfHoursPerWeek = static_cast<std::uint32_t>(kSlotsPerWeek);

std::atomic<std::uint32_t> standUpdateCount{0};

}  // namespace

StandTable& parkAirportStands() {
  static StandTable stands;
  return stands;
}

std::uint32_t standUpdates() { return standUpdateCount.load(); }
void countStandUpdate() { standUpdateCount.fetch_add(1); }
void resetStandUpdates() { standUpdateCount.store(0); }

StandIterator findStandByName(StandTable& stands, std::string_view name) {
  return std::find_if(stands.begin(), stands.end(),
                      [name](const ParkingPosition& stand) { return stand.name == name; });
}

void numberStandsAndFindNeighbours(StandTable& stands) {
  std::uint32_t nextId = 1;
  for (ParkingPosition& stand : stands) {
    stand.id = nextId++;
    stand.neighbours.clear();
  }
  for (ParkingPosition& stand : stands) {
    for (const ParkingPosition& other : stands) {
      if (other.id == stand.id) {
        continue;
      }
      const double radiiNm = stand.radius + other.radius;
      // A minute of latitude is a nautical mile: stands that far apart in
      // latitude alone cannot overlap, and the distance need not be computed.
      if (std::abs(stand.latitude - other.latitude) * kNmPerDegreeOfLatitude * kOverlapFactor >= radiiNm) {
        continue;
      }
      const double distanceNm = gf_distanceNm(stand.position(), other.position());
      if (distanceNm * kOverlapFactor < radiiNm) {
        stand.neighbours.push_back(other.id);
      }
    }
    stand.neighbours.shrink_to_fit();
  }
}

void rememberStandLearning(std::vector<StandLastUse>& lastUse, std::uint32_t key, DaySlot slot) {
  const auto weekHalfHour = static_cast<std::uint32_t>(slot.weekIndex());
  auto found = std::find_if(lastUse.begin(), lastUse.end(),
                            [key](const StandLastUse& use) { return use.key == key; });
  if (found == lastUse.end()) {
    lastUse.push_back({key, weekHalfHour});
  } else {
    found->weekHalfHour = weekHalfHour;
  }
}

bool standSlotFree(std::vector<StandLastUse>& lastUse, DaySlot slot, std::uint32_t key, bool force) {
  const auto weekHalfHour = static_cast<std::uint32_t>(slot.weekIndex());
  auto found = std::find_if(lastUse.begin(), lastUse.end(),
                            [key](const StandLastUse& use) { return use.key == key; });
  if (found == lastUse.end()) {
    lastUse.push_back({key, weekHalfHour});
    return true;
  }
  // Both are weekday x 48 + half hour: the difference modulo a week is the
  // number of half hours passed, whatever lies between them.
  const std::uint32_t slotsPassed =
      (weekHalfHour % kHalfHoursPerWeek + kHalfHoursPerWeek - found->weekHalfHour % kHalfHoursPerWeek) %
      kHalfHoursPerWeek;
  if (!force && slotsPassed < kMinimumHalfHoursBetweenLearnings) {
    return false;
  }
  found->weekHalfHour = weekHalfHour;
  return true;
}

}  // namespace crv
