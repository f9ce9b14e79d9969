// Which learned usage entries may not become a static aircraft now: the
// aircraft is live, already static, already pending or parked live.

#include <algorithm>

#include "traffic/live/live_rules.h"
#include "traffic/statics/static_parking.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

// Two texts name the same thing only when both are non-empty.
bool sameText(std::string_view a, std::string_view b) { return !a.empty() && a == b; }

bool namesEntry(std::string_view callsign, const UsageEntry& entry) {
  return sameText(callsign, entry.cs) || sameText(callsign, entry.cs2);
}

}  // namespace

bool StaticParking::matchesActiveStatic(const UsageEntry& entry, const StaticAc& aircraft) const {
  if (aircraft.state != SimState::active || aircraft.fromUsage == 1) {
    return false;
  }
  const std::string& callsign = aircraft.base.identity.callsign;
  return (!entry.cs.empty() && callsign == entry.cs + "*") || (!entry.cs2.empty() && callsign == entry.cs2 + "*") ||
         sameText(aircraft.base.identity.registration, entry.reg);
}

bool StaticParking::isExcludedUsage(const UsageEntry& entry) const {
  if (!entry.reg.empty() && std::any_of(pending_.begin(), pending_.end(), [&](const PendingStatic& p) {
        return p.registration == entry.reg;
      })) {
    return true;
  }
  for (const std::string* callsign : {&entry.cs, &entry.cs2}) {
    if (!callsign->empty() && (live_.callsigns.contains(*callsign) || live_.callsigns.contains(*callsign + "_"))) {
      return true;
    }
  }
  for (const StaticAc& aircraft : engine_.staticAircraft()) {
    if (namesEntry(aircraft.base.identity.secondCallsign, entry) ||
        sameText(aircraft.base.identity.registration, entry.reg) || matchesActiveStatic(entry, aircraft)) {
      return true;
    }
  }
  for (const PendingStatic& pending : pending_) {
    if (namesEntry(pending.callsign, entry) || sameText(pending.registration, entry.reg)) {
      return true;
    }
  }
  for (const LiveAc& live : engine_.liveAircraft()) {
    const bool parked = live.standId != 0 && (live.phase == FlightPhase::parking || live.phase == FlightPhase::parked);
    if (parked && namesEntry(live.base.identity.callsign, entry)) {
      return true;
    }
  }
  return false;
}

}  // namespace crv
