// The static aircraft that leave at the end of a calculation or an
// adjustment. An aircraft is listed while the steps decide, so that a later
// step passes it by; one that the feed's parked traffic or a later arrival
// sends away is set leaving at once as well. The removal itself goes
// through the engine, which handles every state the aircraft may be in.

#include <algorithm>
#include <utility>

#include "traffic/statics/static_parking.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

bool isListed(const StaticToRemove& listed, const StaticAc& aircraft) {
  return listed.standId == aircraft.standId && listed.callsign == aircraft.base.identity.callsign;
}

}  // namespace

void StaticParking::listForRemoval(const StaticAc& aircraft, std::string why) {
  if (!isListedForRemoval(aircraft)) {
    staticsToRemove_.push_back({aircraft.base.identity.callsign, aircraft.standId, std::move(why)});
  }
}

void StaticParking::setLeaving(StaticAc& aircraft, std::string why) {
  if (isListedForRemoval(aircraft) || aircraft.state != SimState::active) {
    return;
  }
  staticsToRemove_.push_back({aircraft.base.identity.callsign, aircraft.standId, std::move(why), true});
  aircraft.state = SimState::removingfromsim;
}

bool StaticParking::isListedForRemoval(const StaticAc& aircraft) const {
  return std::any_of(staticsToRemove_.begin(), staticsToRemove_.end(),
                     [&aircraft](const StaticToRemove& listed) { return isListed(listed, aircraft); });
}

void StaticParking::removeListedStatics() {
  for (const StaticToRemove& listed : staticsToRemove_) {
    for (StaticAc& aircraft : engine_.staticAircraft()) {
      if (!isListed(listed, aircraft)) {
        continue;
      }
      if (listed.leaving && aircraft.state == SimState::removingfromsim) {
        // Only marked so far: the removal asks for its object now.
        aircraft.state = SimState::active;
      }
      engine_.removeAircraftFromSim(aircraft, listed.why);
    }
  }
  staticsToRemove_.clear();
}

void StaticParking::dropListedStatics() {
  for (const StaticToRemove& listed : staticsToRemove_) {
    for (StaticAc& aircraft : engine_.staticAircraft()) {
      if (listed.leaving && isListed(listed, aircraft) && aircraft.state == SimState::removingfromsim) {
        aircraft.state = SimState::active;
      }
    }
  }
  staticsToRemove_.clear();
}

}  // namespace crv
