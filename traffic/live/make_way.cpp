// Live aircraft have priority over static ones: a live aircraft that takes a
// stand clears it and the neighbour stands its wings could reach, and a live
// aircraft moving on the ground removes a static aircraft it would touch.

#include <algorithm>
#include <span>
#include <cmath>

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/live/live_rules.h"
#include "traffic/record_labels.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

constexpr double kClearanceFactor = 1.1;
constexpr double kMovedDegrees = 1e-8;

// "<stand:8>: <static callsign:8> <static airline type> makes way for <live
// callsign> <live airline type> <the same live version>", the last part only
// when the static aircraft is the live one by callsign or registration.
std::string fmtMakesWayFor(std::string_view standLabel, const AircraftIdentity& staticAircraft,
                           const AircraftIdentity& liveAircraft) {
  const bool sameAircraft =
      (!staticAircraft.callsign.empty() && staticAircraft.callsign == liveAircraft.callsign) ||
      (!staticAircraft.registration.empty() && staticAircraft.registration == liveAircraft.registration);
  return fmt::format("{:8}: {:8} {} makes way for{} {} {}", standLabel, staticAircraft.callsign,
                     formatAirlineType(staticAircraft), " " + liveAircraft.callsign, formatAirlineType(liveAircraft),
                     sameAircraft ? " the same live version" : "");
}

}  // namespace

void LiveRules::makeWay(LiveAc& aircraft, const ParkingPosition& stand) {
  const std::span<StaticAc> statics = engine_.staticAircraft();
  // A static whose create was cancelled is gone, though its record stays
  // until the end of the step; one already on its way out was named by the
  // rule that removed it.
  auto parked = std::find_if(statics.begin(), statics.end(),
                             [&stand](const StaticAc& s) { return s.standId == stand.id && !s.createCancelled; });
  if (parked != statics.end() && !parked->removeOnceCreated && parked->state != SimState::removingfromsim) {
    const std::string line = fmtMakesWayFor(stand.name, parked->base.identity, aircraft.base.identity);
    if (parked->state == SimState::adding2sim) {
      // A create still queued is cancelled (the engine erases the record);
      // one already sent is removed, and named, as soon as its object is
      // bound.
      engine_.removeAircraftFromSim(*parked);
      if (parked->createCancelled && par_LOG.value()) {
        gf_logLine("queued " + line);
      } else if (parked->removeOnceCreated) {
        parked->removalLine = line;
      }
    } else if (parked->state == SimState::active) {
      if (par_LOG.value()) {
        gf_logLine(line);
      }
      engine_.removeAircraftFromSim(*parked);
    }
  }
  for (const std::uint32_t neighbourId : stand.neighbours) {
    makeWayExcluded(aircraft, neighbourId, stand);
  }
}

void LiveRules::makeWayExcluded(LiveAc& aircraft, std::uint32_t adjacentStandId, const ParkingPosition& stand) {
  const ParkingPosition* adjacent = standById(adjacentStandId);
  if (adjacent == nullptr) {
    return;
  }
  const double distanceNm = gf_distanceNm(stand.position(), adjacent->position());
  const double liveHalfSpan = wingspanOfType(aircraft.base.identity.icaoType);
  for (StaticAc& parked : engine_.staticAircraft()) {
    if (parked.standId != adjacentStandId || parked.state != SimState::active) {
      continue;
    }
    if (kClearanceFactor * (wingspanOfType(parked.base.identity.icaoType) + liveHalfSpan) >= distanceNm) {
      if (par_LOG.value()) {
        gf_logLine(fmt::format("{:8}: {:8} makes way for {} parking at excluded stand {}",
                               engine_.standLabel(adjacentStandId), parked.base.identity.callsign,
                               aircraft.base.identity.callsign, stand.name));
      }
      engine_.removeAircraftFromSim(parked);
      return;
    }
  }
}

void LiveRules::removeStaticForCollision(LiveAc& aircraft) {
  if (aircraft.motion.takeOffRoll || aircraft.motion.landingRoll) {
    return;
  }
  aircraft.lastCollisionCheckLatitude = aircraft.position.latitude;
  aircraft.lastCollisionCheckLongitude = aircraft.position.longitude;
  const GeoPoint position{aircraft.position.latitude, aircraft.position.longitude};
  for (StaticAc& parked : engine_.staticAircraft()) {
    if (parked.state != SimState::active || parked.base.identity.callsign == aircraft.base.identity.callsign) {
      continue;
    }
    const double distanceNm = gf_distanceNm(position, {parked.standLatitude, parked.standLongitude});
    if (distanceNm <= kClearanceFactor * (parked.base.halfSpanNm + aircraft.base.halfSpanNm)) {
      if (par_LOG.value()) {
        gf_logLine(fmt::format("{:8}: {:8} removed for collision avoidance with static {}",
                               engine_.standLabel(parked.standId), parked.base.identity.callsign,
                               aircraft.base.identity.callsign));
      }
      engine_.removeAircraftFromSim(parked);
      return;
    }
  }
}

void LiveRules::removeStaticsForCollision() {
  if (!par_COLLISION_LIVE_PARKED_GND.value() || engine_.staticAircraft().empty()) {
    return;
  }
  for (LiveAc& aircraft : engine_.liveAircraft()) {
    const bool moved = std::fabs(aircraft.position.latitude - aircraft.lastCollisionCheckLatitude) >= kMovedDegrees ||
                       std::fabs(aircraft.position.longitude - aircraft.lastCollisionCheckLongitude) >= kMovedDegrees;
    if (aircraft.onGround && aircraft.state == SimState::active && moved &&
        (aircraft.phase == FlightPhase::taxi || aircraft.phase == FlightPhase::parking)) {
      removeStaticForCollision(aircraft);
    }
  }
}

}  // namespace crv
