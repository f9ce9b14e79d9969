// The feed may report a known aircraft under a new callsign, route or
// registration; the livery chosen at spawn may then be wrong, and with
// GUID_CHANGES on the aircraft is created again with a fresh one.

#include <cmath>

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/live/live_rules.h"
#include "traffic/record_labels.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

constexpr double kSamePlaceDegrees = 1e-8;

void takeIfDifferent(std::string& mine, const std::string& theirs) {
  if (!theirs.empty() && theirs != mine) {
    mine = theirs;
  }
}

}  // namespace

bool LiveRules::respawnIfChanged(LiveAc& aircraft, const LiveTrafficRecord& record) {
  if (aircraft.motion.takeOffRoll || aircraft.motion.approach) {
    return true;
  }
  if (aircraft.state == SimState::buffer) {
    refreshBufferIdentity(aircraft, record);
    return true;
  }
  if (aircraft.state != SimState::active || aircraft.phase == FlightPhase::pushing_back || aircraft.generatedLegs >= 1) {
    return true;
  }
  AircraftIdentity& identity = aircraft.base.identity;
  const std::string& newCallsign = record.identity.callsign;
  const bool routeSame = updateRoute(aircraft, record);
  bool liverySame = true;
  if (!record.identity.registration.empty()) {
    liverySame = identity.registration == identity.callsign ? !callsignRegistrationChanged(aircraft, record)
                                                             : !registrationChanged(aircraft, record);
  }
  const bool same = routeSame && liverySame;
  if (newCallsign.empty() || newCallsign == identity.registration || newCallsign == identity.callsign) {
    if (same) {
      return true;
    }
  } else {
    if (newCallsign.back() != '_') {
      removeGhost(newCallsign);
    } else if (hasRealTwin(newCallsign, aircraft)) {
      return false;
    }
    identity.callsign = newCallsign;
    identity.secondCallsign = newCallsign;
    identity.thirdCallsign.clear();
  }
  if (!par_GUID_CHANGES.value()) {
    return true;
  }
  if (par_LOG.value()) {
    gf_logLine(fmt::format("          {} respawns", formatRecordLine(identity)));
  }
  liveryRespawn(aircraft);
  return false;
}

void LiveRules::refreshBufferIdentity(LiveAc& aircraft, const LiveTrafficRecord& record) {
  AircraftIdentity& identity = aircraft.base.identity;
  takeIfDifferent(identity.destination, record.identity.destination);
  takeIfDifferent(identity.departure, record.identity.departure);
  takeIfDifferent(identity.callsign, record.identity.callsign);
  takeIfDifferent(identity.registration, record.identity.registration);
}

bool LiveRules::updateRoute(LiveAc& aircraft, const LiveTrafficRecord& record) {
  AircraftIdentity& identity = aircraft.base.identity;
  const AircraftIdentity& fresh = record.identity;
  bool changed = false;
  if (identity.destination.empty() && !fresh.destination.empty()) {
    identity.destination = fresh.destination;
    changed = true;
  }
  if (identity.departure.empty() && !fresh.departure.empty()) {
    identity.departure = fresh.departure;
    changed = true;
  }
  const bool allGiven = !identity.destination.empty() && !fresh.destination.empty() && !identity.departure.empty() &&
                        !fresh.departure.empty();
  if (allGiven && (identity.destination != fresh.destination || identity.departure != fresh.departure)) {
    const std::string& parkAirport = engine_.parkAirportName();
    const bool returnsHome =
        !parkAirport.empty() && identity.departure == parkAirport && fresh.destination == parkAirport;
    if (!returnsHome) {
      identity.destination = fresh.destination;
      identity.departure = fresh.departure;
      changed = true;
      if (aircraft.onGround && aircraft.phase != FlightPhase::parked && aircraft.phase != FlightPhase::parking) {
        aircraft.phase = FlightPhase::taxi;
        aircraft.motion.courseRadians = aircraft.position.headingRadians;
      }
    }
  }
  return !changed;
}

bool LiveRules::registrationChanged(LiveAc& aircraft, const LiveTrafficRecord& record) {
  AircraftIdentity& identity = aircraft.base.identity;
  const std::string& fresh = record.identity.registration;
  bool newLivery = false;
  if (fresh != identity.registration) {
    const std::string special = services_.specialLiveryTitle ? services_.specialLiveryTitle(fresh) : std::string();
    const std::optional<RegistrationData> known = findRegcode(fresh);
    if (!special.empty() && special != aircraft.base.liveryTitle) {
      newLivery = true;
    } else if (known) {
      AircraftIdentity entry;
      entry.airline = known->airl;
      entry.icaoType = known->type;
      newLivery = !sameAirlineType(entry, identity);
    }
    if (newLivery) {
      if (known) {
        identity.airline = known->airl;
        identity.icaoType = known->type;
      }
      forgetLivery(aircraft);
    }
  }
  identity.registration = fresh;
  return newLivery;
}

// The aircraft had no registration of its own (it carried its callsign): a
// real one that names a special livery or a known aircraft calls for a
// livery chosen with it.
bool LiveRules::callsignRegistrationChanged(LiveAc& aircraft, const LiveTrafficRecord& record) {
  AircraftIdentity& identity = aircraft.base.identity;
  const std::string& fresh = record.identity.registration;
  if (fresh == identity.registration) {
    return false;
  }
  const std::string special = services_.specialLiveryTitle ? services_.specialLiveryTitle(fresh) : std::string();
  const std::optional<RegistrationData> known = findRegcode(fresh);
  identity.registration = fresh;
  if ((special.empty() || special == aircraft.base.liveryTitle) && !known) {
    return false;
  }
  if (known) {
    identity.airline = known->airl;
    identity.icaoType = known->type;
  }
  forgetLivery(aircraft);
  return true;
}

void LiveRules::forgetLivery(LiveAc& aircraft) {
  rememberedLiveries_.erase(aircraft.base.key);
  aircraft.base.liveryTitle.clear();
}

void LiveRules::liveryRespawn(LiveAc& aircraft) {
  try {
    LivePath& path = aircraft.path;
    if (path.empty()) {
      gf_logLine(fmt::format("{} empty sz?", "liveryRespawn"));
      return;
    }
    PathPoint restart = path.front();
    if (aircraft.phase != FlightPhase::parked) {
      restart.latitude = aircraft.position.latitude;
      restart.longitude = aircraft.position.longitude;
      restart.altitudeFeet = aircraft.position.altitudeFeet;
      restart.bankRadians = aircraft.position.bankRadians;
      restart.bankValid = true;
      PathPoint& front = path.front();
      if (std::fabs(front.latitude - restart.latitude) < kSamePlaceDegrees &&
          std::fabs(front.longitude - restart.longitude) < kSamePlaceDegrees) {
        front.stationary = true;
      }
    } else {
      path.resize(1);
      path.front().stationary = true;
      path.front().trackDegrees = aircraft.position.headingRadians * kRadiansToDegrees;
      restart = path.front();
      restart.stationary = true;
    }
    restart.dueTick = nowTick() + 1;
    path.push_front(restart);
    aircraft.state = SimState::liveryrespawn;
    if (aircraft.objectId != 0 && engine_.watchedObjectId() == aircraft.objectId) {
      engine_.watchObject(0);
      const EngineHooks& hooks = engine_.hooks();
      if (hooks.watchedAircraftRespawning) {
        hooks.watchedAircraftRespawning(aircraft.base.identity.callsign);
      } else if (hooks.watchedAircraftRemoved) {
        hooks.watchedAircraftRemoved();
      }
    }
    if (aircraft.objectId == 0) {
      gf_logLine(fmt::format("{} removing act {} with objectid=0 ?", "liveryRespawn",
                             formatRecordLine(aircraft.base.identity)));
      // No removal will ever be reported for it: it waits for its create
      // again at once instead of for ever.
      aircraft.state = SimState::buffer;
      aircraft.throttleIndex = kThrottleIndexUnset;
      aircraft.flapsIndex = kFlapsIndexUnset;
    } else {
      engine_.queueObjectRemoval(aircraft.objectId);
    }
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("{}: {}", "liveryRespawn", error.what()));
  }
}

}  // namespace crv
