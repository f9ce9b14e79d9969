// One real aircraft must not appear twice: a callsign "DLH4AB_" is the ghost
// of "DLH4AB", and a stand holds one live aircraft.

#include <algorithm>
#include <span>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/live/live_rules.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

std::string_view lessLastCharacter(std::string_view callsign) {
  return callsign.empty() ? callsign : callsign.substr(0, callsign.size() - 1);
}

bool holdsStand(const LiveAc& a, std::uint32_t standId) {
  return a.standId == standId && a.state == SimState::active &&
         (a.phase == FlightPhase::parked || a.phase == FlightPhase::pushing_back ||
          a.phase == FlightPhase::pushed_back);
}

}  // namespace

void LiveRules::removeGhost(std::string_view callsign) {
  const std::string ghost = fmt::format("{}_", callsign);
  const std::span<LiveAc> live = engine_.liveAircraft();
  auto found = std::find_if(live.begin(), live.end(), [&](const LiveAc& a) {
    return a.base.identity.callsign == ghost && a.state != SimState::removingfromsim;
  });
  if (found == live.end()) {
    return;
  }
  if (par_LOG.value()) {
    if (found->phase == FlightPhase::parked) {
      gf_logLine(fmt::format("{:8}: {:8} is a ghost and will be removed, continue with {}",
                             engine_.standLabel(found->standId), ghost, callsign));
    } else {
      gf_logLine(fmt::format("          {:8} is a ghost and will be removed, continue with {}", ghost, callsign));
    }
  }
  engine_.removeAircraftFromSim(*found);
  if (std::find(ghostCallsigns_.begin(), ghostCallsigns_.end(), ghost) == ghostCallsigns_.end()) {
    ghostCallsigns_.push_back(ghost);
  }
}

bool LiveRules::hasRealTwin(std::string_view callsign, const LiveAc& asking) const {
  const std::string_view real = lessLastCharacter(callsign);
  if (real.empty()) {
    return false;
  }
  const std::span<const LiveAc> live = engine_.liveAircraft();
  return std::any_of(live.begin(), live.end(), [real, &asking](const LiveAc& a) {
    return &a != &asking && a.state != SimState::removingfromsim && a.base.identity.callsign == real;
  });
}

bool LiveRules::resolveStandConflict(std::uint32_t standId, std::string_view callsign) {
  const std::span<LiveAc> live = engine_.liveAircraft();
  auto holder = std::find_if(live.begin(), live.end(),
                             [standId](const LiveAc& a) { return holdsStand(a, standId); });
  if (holder == live.end()) {
    return true;
  }
  const std::string& holderCallsign = holder->base.identity.callsign;
  const std::string label = engine_.standLabel(standId);
  const bool log = par_LOG.value();
  if (holderCallsign == callsign) {
    if (log) {
      gf_logLine(fmt::format("{:8}: {:8} ac with same callsign {} wants it, remove existing ... ", label,
                             holderCallsign, callsign));
    }
    engine_.removeAircraftFromSim(*holder);
    return true;
  }
  if (!callsign.empty() && lessLastCharacter(callsign) == holderCallsign) {
    return false;  // the newcomer is the holder's ghost
  }
  if (lessLastCharacter(holderCallsign) == callsign || (!holderCallsign.empty() && holderCallsign.back() == '_')) {
    if (log) {
      gf_logLine(fmt::format("{:8}: {:8} ghost, replace by {}", label, holderCallsign, callsign));
    }
    engine_.removeAircraftFromSim(*holder);
    return true;
  }
  if (!callsign.empty() && callsign.back() == '_') {
    return false;
  }
  if (holder->motion.standReached) {
    return false;
  }
  if (log) {
    gf_logLine(fmt::format("{:8}: {:8} removed because another live {} wants the stand ...", label, holderCallsign,
                           callsign));
  }
  engine_.removeAircraftFromSim(*holder);
  return true;
}

}  // namespace crv
