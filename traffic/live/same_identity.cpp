// A live aircraft and a static one must not be the same real aircraft: the
// static one, from parked traffic or learned usage, gives way.

#include <algorithm>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/live/live_rules.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

// A static callsign carries a trailing "*" that the live one never has.
std::string_view withoutStar(std::string_view callsign) {
  return !callsign.empty() && callsign.back() == '*' ? callsign.substr(0, callsign.size() - 1) : callsign;
}

// "same" or "coupled" when one of the live callsigns names the static
// aircraft; empty when none does. Empty texts name nothing.
std::string_view callsignLink(const AircraftIdentity& live, const AircraftIdentity& parked) {
  std::vector<std::string_view> liveCallsigns{live.callsign, live.secondCallsign};
  if (!live.callsign.empty() && live.callsign.back() == '_') {
    liveCallsigns.push_back(std::string_view(live.callsign).substr(0, live.callsign.size() - 1));
  }
  for (const std::string_view callsign : liveCallsigns) {
    if (callsign.empty()) {
      continue;
    }
    if (callsign == withoutStar(parked.callsign)) {
      return "same";
    }
    if (callsign == parked.secondCallsign || callsign == parked.thirdCallsign) {
      return "coupled";
    }
  }
  return {};
}

}  // namespace

void LiveRules::checkNextIdentity() {
  if (identityChecks_.empty()) {
    return;
  }
  const std::uint32_t key = identityChecks_.front();
  identityChecks_.erase(identityChecks_.begin());
  LiveAc* aircraft = engine_.findLiveByKey(key);
  if (aircraft == nullptr) {
    return;
  }
  if (!aircraft->base.identity.coupledCallsignSearched) {
    if (services_.searchCoupledCallsigns) {
      services_.searchCoupledCallsigns(*aircraft);
    }
    aircraft->base.identity.coupledCallsignSearched = true;
  }
  replaceSameIdentity(*aircraft, aircraft->onGround);
}

void LiveRules::replaceSameIdentity(LiveAc& aircraft, bool onGround) {
  const AircraftIdentity& live = aircraft.base.identity;
  if (live.callsign.empty()) {
    return;
  }
  const char* where = onGround ? "on ground" : "airborne";
  for (StaticAc& parked : engine_.staticAircraft()) {
    if (parked.state != SimState::active) {
      continue;
    }
    const AircraftIdentity& other = parked.base.identity;
    const std::string label = engine_.standLabel(parked.standId);
    std::string line;
    if (parked.fromUsage == 0 && parked.feedAddress == aircraft.base.key) {
      line = fmt::format("{:8}: {:8} removed, new {} '{}' has same hexid", label, other.callsign, where, live.callsign);
    } else if (!live.registration.empty() && live.registration == other.registration) {
      line = fmt::format("{:8}: {:8} {} removed, new {} '{}' has same regcode {}", label, other.callsign,
                         other.icaoType, where, live.callsign, live.registration);
    } else if (const std::string_view link = callsignLink(live, other); !link.empty()) {
      line = fmt::format("{:8}: {:8} '{} {}' removed, new {} {} '{}' '{}' has {} callsign", label, other.callsign,
                         other.airline, other.icaoType, where, live.icaoType, live.callsign, live.secondCallsign, link);
    } else {
      continue;
    }
    if (par_LOG.value()) {
      gf_logLine(line);
    }
    engine_.removeAircraftFromSim(parked);
    return;
  }
}

}  // namespace crv
