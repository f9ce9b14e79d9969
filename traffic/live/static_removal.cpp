// Taking static aircraft away: all of them (leaving the park airport, the
// flush), and the one on the user's reserved stand.

#include <algorithm>
#include <string_view>

#include "traffic/live/live_rules.h"
#include "traffic/traffic_engine.h"

namespace crv {

void LiveRules::removeAllStaticAc(std::string_view why) {
  // Active ones leave the simulator; a create still queued is cancelled, one
  // already sent is removed once its object is bound.
  for (StaticAc& parked : engine_.staticAircraft()) {
    if (parked.state != SimState::active && parked.state != SimState::adding2sim) {
      continue;
    }
    if (why.empty()) {
      engine_.removeAircraftFromSim(parked);
    } else {
      engine_.removeAircraftFromSim(parked, why);
    }
  }
}

void LiveRules::freeReservedStand() {
  StandTable* table = stands();
  if (table == nullptr || reservedStand_.empty()) {
    return;
  }
  const auto stand = findStandByName(*table, reservedStand_);
  const std::uint32_t standId = stand == table->end() ? 0 : stand->id;
  if (standId == 0) {
    return;
  }
  constexpr std::string_view kWhy = "the stand is the user's reserved stand";
  for (StaticAc& parked : engine_.staticAircraft()) {
    if (parked.standId == standId && parked.state == SimState::active) {
      engine_.removeAircraftFromSim(parked, kWhy);
      return;
    }
  }
  for (LiveAc& aircraft : engine_.liveAircraft()) {
    if (aircraft.standId == standId && aircraft.phase == FlightPhase::parked && aircraft.state == SimState::active) {
      engine_.removeAircraftFromSim(aircraft, kWhy);
      return;
    }
  }
}

}  // namespace crv
