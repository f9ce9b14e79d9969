#include "traffic/traffic_engine.h"

#include <algorithm>

#include "foundation/geodesy.h"

namespace crv {

namespace {

constexpr double kStandOverlapFactor = 1.1;

template <typename Aircraft>
bool anyMatchesUsage(const std::vector<Aircraft>& table, const UsageEntry& entry, std::string_view registration) {
  return std::any_of(table.begin(), table.end(), [&](const Aircraft& a) {
    const AircraftIdentity& id = a.base.identity;
    const bool callsignMatch =
        !id.secondCallsign.empty() && (id.secondCallsign == entry.cs || id.secondCallsign == entry.cs2);
    return callsignMatch || (!registration.empty() && id.registration == registration);
  });
}

bool atOrigin(const ParkingPosition& stand) { return stand.latitude == 0.0 && stand.longitude == 0.0; }

}  // namespace

bool TrafficEngine::staticMatchesUsage(const UsageEntry& entry, std::string_view registration) const {
  return anyMatchesUsage(staticAcTable_, entry, registration);
}

bool TrafficEngine::liveMatchesUsage(const UsageEntry& entry, std::string_view registration) const {
  return anyMatchesUsage(liveAcTable_, entry, registration);
}

std::uint32_t TrafficEngine::findCollidingStand(const std::vector<std::uint32_t>& neighbourIds,
                                                const ParkingPosition& stand, const LiveAc& aircraft) const {
  if (config_.stands == nullptr || atOrigin(stand)) {
    return 0;
  }
  for (const std::uint32_t neighbourId : neighbourIds) {
    const auto neighbour = std::find_if(config_.stands->begin(), config_.stands->end(),
                                        [neighbourId](const ParkingPosition& s) { return s.id == neighbourId; });
    if (neighbour == config_.stands->end() || atOrigin(*neighbour)) {
      continue;
    }
    const double distanceNm = gf_distanceNm(stand.position(), neighbour->position());
    for (const LiveAc& other : liveAcTable_) {
      if (other.standId != neighbourId || other.state != SimState::active ||
          (other.phase != FlightPhase::parked && other.phase != FlightPhase::pushing_back) ||
          other.base.identity.callsign == aircraft.base.identity.callsign) {
        continue;
      }
      if ((other.base.halfSpanNm + aircraft.base.halfSpanNm) * kStandOverlapFactor >= distanceNm) {
        return neighbourId;
      }
    }
  }
  return 0;
}

}  // namespace crv
