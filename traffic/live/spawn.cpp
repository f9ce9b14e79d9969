#include <algorithm>
#include <cmath>
#include <utility>

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/live/live_rules.h"
#include "traffic/motion/motion_support.h"
#include "traffic/record_labels.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

// A moving ground aircraft is spawned 3 s before its first point is due, any
// other 1 s before.
constexpr std::int64_t kMovingGroundLeadTicks = 300;
constexpr std::int64_t kLeadTicks = 100;
static_assert(kMovingGroundLeadTicks >= kLeadTicks, "the first spawn check takes the longest lead");
constexpr std::size_t kMaxWaitingLiveCreates = 10;
constexpr std::int32_t kDefaultMaxLive = 500;
constexpr double kMaxClimbFpm = 2400.0;
constexpr double kMaxDescentFpm = -3000.0;
constexpr double kGroundPitchRadians = 0.010471975511965976;  // 0.6 degrees

bool endsWithUnderscore(std::string_view callsign) { return !callsign.empty() && callsign.back() == '_'; }

bool mixesAirAndGround(const LivePath& path) {
  const bool anyAirborne = std::any_of(path.begin(), path.end(), [](const PathPoint& p) { return p.airborne; });
  const bool anyGround = std::any_of(path.begin(), path.end(), [](const PathPoint& p) { return !p.airborne; });
  return anyAirborne && anyGround;
}

double normalisedHeading(double radians) {
  double heading = std::fmod(radians, kFullCircle);
  return heading < 0.0 ? heading + kFullCircle : heading;
}

// Nose down in a climb, up in a descent, by the vertical speed in ft/min.
double airbornePitchRadians(double verticalSpeedFpm) {
  const double v = verticalSpeedFpm > 0.0 ? std::min(verticalSpeedFpm, kMaxClimbFpm)
                                          : std::max(verticalSpeedFpm, kMaxDescentFpm) / 2.0;
  return (-3.0 - v / 600.0 * 2.2) * kDegreesToRadians;
}

// Surface records may report little more than half the speed their
// positions show.
constexpr double kMostUnderstatedShare = 0.5;

// Two records of a standing aircraft lie up to this far apart.
constexpr double kStandingApartNm = 6.0 / kMetersPerNm;

// Created on the ground, an aircraft stays where its first record showed it
// until it must set off to reach the second at the speed the records show
// from there on, as one first heard standing before its push back, instead
// of creeping there from the moment it is created; and never before the
// last record heard (`heard`, also those left out of its path) that showed
// it standing there. Records that follow a movement ask for no wait: the
// distance takes the time at that speed.
void waitAtFirstPoint(LivePath& path, const std::vector<PathPoint>& heard) {
  if (path.size() < 2 || path[0].airborne || path[1].airborne || path[1].stationary) {
    return;
  }
  std::int64_t restTick = path[0].dueTick;
  for (const PathPoint& p : heard) {
    if (p.dueTick < path[1].dueTick && p.speedKnots < motion::kRestKnots && !p.airborne &&
        motion::distanceNm(path[0], p) < kStandingApartNm) {
      restTick = std::max(restTick, p.dueTick);
    }
  }
  double knots = path[1].speedKnots;
  if (path.size() > 2 && !path[2].airborne && !path[2].stationary && path[2].dueTick > path[1].dueTick) {
    const double hours = static_cast<double>(path[2].dueTick - path[1].dueTick) / motion::kTicksPerHour;
    knots = std::max(knots, std::min(motion::distanceNm(path[1], path[2]) / hours, knots / kMostUnderstatedShare));
  }
  const std::int64_t setOffTick =
      knots > 0.0 ? path[1].dueTick - motion::ticksForDistance(motion::distanceNm(path[0], path[1]), knots)
                  : path[0].dueTick;
  const std::int64_t waitTick = std::min(std::max(setOffTick, restTick), path[1].dueTick - 1);
  if (waitTick > path[0].dueTick) {
    path.front().dueTick = waitTick;
  }
}

}  // namespace

void LiveRules::trySpawn(LiveAc& aircraft) {
  LivePath& path = aircraft.path;
  if (path.empty()) {
    aircraft.dropFromBuffer = true;
    return;
  }
  // Before the longest lead nothing can spawn: the path's kept due tick
  // tells so without a look at its points.
  if (nowTick() < path.frontDueTick() - kMovingGroundLeadTicks) {
    return;
  }
  const PathPoint& front = std::as_const(path).front();
  // A NaN speed counts as moving.
  const bool movingOnGround = !front.airborne && !(front.speedKnots == 0.0);
  const std::int64_t lead = movingOnGround ? kMovingGroundLeadTicks : kLeadTicks;
  if (nowTick() < front.dueTick - lead) {
    return;
  }
  AircraftIdentity& identity = aircraft.base.identity;
  if (path.size() == 1 ||
      (endsWithUnderscore(identity.callsign) &&
       std::find(ghostCallsigns_.begin(), ghostCallsigns_.end(), identity.callsign) != ghostCallsigns_.end())) {
    aircraft.dropFromBuffer = true;
    return;
  }
  if (mixesAirAndGround(path)) {
    path.pop_front();
    return;
  }
  if (spawnSpaceFree(aircraft)) {
    return;
  }
  if (engine_.liveCreateQueue().size() > kMaxWaitingLiveCreates && aircraft.phase == FlightPhase::birth) {
    path.pop_front();
    return;
  }
  const std::int32_t maxLive = par_MAX_LIVE_SEL.value();
  if (maxLive != kDefaultMaxLive) {
    const std::size_t inSimulator =
        engine_.activeLiveCount() + engine_.addingStack().size() + engine_.liveCreateQueue().size();
    if (inSimulator >= static_cast<std::size_t>(std::max(maxLive, 0))) {
      const UserAcData& user = engine_.userAircraft();
      const double distanceNm =
          gf_distanceNm({user.latitude, user.longitude}, {path.front().latitude, path.front().longitude});
      if (engine_.removeFarthestLiveAc(distanceNm)) {
        aircraft.dropFromBuffer = true;
        return;
      }
    }
  }
  if (blockedCallsign_.isBlocked(identity.callsign)) {
    aircraft.dropFromBuffer = true;
    return;
  }
  if (!identity.registration.empty()) {
    if (const std::optional<RegistrationData> known = findRegcode(identity.registration)) {
      identity.airline = known->airl;
      identity.icaoType = known->type;
      if (!known->opr.empty()) {
        identity.airline = known->opr;
      }
      aircraft.base.cargo = known->cargo;
      if (!hasValidCallsign(identity)) {
        identity.callsign = identity.registration;
      }
    }
  }
  if (identity.airline.empty() && !setAirlineFromCallsign(identity)) {
    identity.airline = "PVT";
  }
  if (hasValidCallsign(identity) && !engine_.reports().isNoMatch(noMatchKey(identity)) &&
      (!endsWithUnderscore(identity.callsign) || !hasRealTwin(identity.callsign, aircraft))) {
    spawnLiveAc(aircraft);
    return;
  }
  aircraft.dropFromBuffer = true;
}

std::string LiveRules::rememberedLivery(std::uint32_t key) {
  auto found = rememberedLiveries_.find(key);
  if (found == rememberedLiveries_.end()) {
    return {};
  }
  if (engine_.reports().isExcludedTitle(found->second)) {
    rememberedLiveries_.erase(found);
    return {};
  }
  return found->second;
}

// Every aircraft without a title gets one here, a respawned one too (its
// livery was forgotten because its identity changed): no create ever goes
// out with an empty title.
bool LiveRules::chooseLivery(LiveAc& aircraft) {
  AircraftBase& base = aircraft.base;
  if (!base.liveryTitle.empty()) {
    return true;
  }
  base.liveryTitle = rememberedLivery(base.key);
  if (!base.liveryTitle.empty()) {
    return true;
  }
  if (services_.matchLiveryAtSpawn) {
    services_.matchLiveryAtSpawn(base);
  }
  if (base.liveryTitle.empty()) {
    if (!base.identity.registration.empty()) {
      engine_.reports().addNoMatch(noMatchKey(base.identity));
    }
    aircraft.dropFromBuffer = true;
    return false;
  }
  rememberedLiveries_[base.key] = base.liveryTitle;
  return true;
}

// The stand is occupied from the moment an aircraft is given it, so that no
// second aircraft is sent to it.
void LiveRules::takeStand(LiveAc& aircraft, ParkingPosition& stand) {
  stand.occupied = true;
  aircraft.standLatitude = stand.latitude;
  aircraft.standLongitude = stand.longitude;
  aircraft.standHeadingRadians = stand.heading;
  aircraft.standId = stand.id;
  aircraft.standCargo = stand.cargo;
}

void LiveRules::spawnLiveAc(LiveAc& aircraft) {
  LivePath& path = aircraft.path;
  if (path.size() < 2) {
    gf_logLine(fmt::format("{} sz:{}", "spawnLiveAc", path.size()));
    return;
  }
  const PathPoint firstHeard = path.front();
  if (path[1].stationary) {
    path[0].stationary = true;
    path[0].speedKnots = 0.0;
    path[1].speedKnots = 0.0;
    if (path.size() > 2 && path[2].stationary) {
      path[2].speedKnots = 0.0;
    }
  } else {
    path[0].stationary = false;
  }
  if (!chooseLivery(aircraft)) {
    return;
  }
  if (aircraft.phase == FlightPhase::birth) {
    if (path.front().airborne) {
      aircraft.phase = FlightPhase::flying;
    } else if (ParkingPosition* stand = spawnStand(aircraft)) {
      takeStand(aircraft, *stand);
      aircraft.phase = FlightPhase::parked;
      aircraft.parkedSince = engine_.now();
      aircraft.motion.standClosestNm = 0.0;
      aircraft.motion.standLastNm = 0.0;
      if (services_.markCargoStandUsed) {
        services_.markCargoStandUsed(aircraft);
      }
      keepRecordsHeardOnStand(aircraft, firstHeard);
      path.resize(1);
      path.front().latitude = stand->latitude;
      path.front().longitude = stand->longitude;
      path.front().trackDegrees = stand->heading * kRadiansToDegrees;
      const DaySlot slot = currentSlot();
      if (services_.addStandOption && services_.addStandOption(stand->id, aircraft, slot, false)) {
        rememberStandUse(aircraft.base.key, slot);
      }
      enforceMaxPark(1);
    } else if (!aircraft.dropFromBuffer) {
      aircraft.phase = FlightPhase::taxi;
      waitAtFirstPoint(path, aircraft.motion.standRecordsWaiting);
    }
  }
  if (aircraft.dropFromBuffer) {
    return;
  }
  if (aircraft.phase != FlightPhase::parked) {
    aircraft.motion.standRecordsWaiting.clear();
    aircraft.motion.standRecordsPending = false;
  }
  queueIdentityCheck(aircraft.base.key);
  setSpawnPosition(aircraft);
  aircraft.spawnConflict = false;
  aircraft.state = SimState::adding2sim;
  engine_.pushAddingStack(aircraft.base.key);
  const std::string& callsign = aircraft.base.identity.callsign;
  if (!endsWithUnderscore(callsign)) {
    removeGhost(callsign);
  }
}

// An aircraft created parked on a stand watches its records from its first
// on, as they were heard: its path becomes the stand, and whether it still
// rests there and when it sets off is judged once it is active.
void LiveRules::keepRecordsHeardOnStand(LiveAc& aircraft, const PathPoint& firstHeard) {
  std::vector<PathPoint>& heard = aircraft.motion.standRecordsWaiting;
  std::erase_if(heard, [&firstHeard](const PathPoint& p) { return p.dueTick < firstHeard.dueTick; });
  if (heard.empty() || heard.front().dueTick > firstHeard.dueTick) {
    heard.insert(heard.begin(), firstHeard);
  }
  aircraft.motion.standRecordsPending = true;
}

void LiveRules::setSpawnPosition(LiveAc& aircraft) {
  const PathPoint& p = aircraft.path.front();
  AiPositionBlock& block = aircraft.position;
  block.latitude = p.latitude;
  block.longitude = p.longitude;
  block.altitudeFeet = p.altitudeFeet;
  block.pitchRadians = p.airborne ? airbornePitchRadians(p.verticalSpeedFpm) : kGroundPitchRadians;
  block.bankRadians = p.bankValid ? p.bankRadians : 0.0;
  block.verticalSpeedFps = p.verticalSpeedFpm / 60.0;
  block.trueAirspeedKnots = p.trueAirspeedKnots;
  double heading = 0.0;
  if (!std::isnan(aircraft.motion.presetHeadingRadians)) {
    heading = aircraft.motion.presetHeadingRadians;
  } else if (aircraft.phase == FlightPhase::parked) {
    heading = aircraft.standHeadingRadians;
  } else if (aircraft.path.size() < 2 || aircraft.path[1].stationary) {
    heading = p.trackDegrees * kDegreesToRadians;
  } else {
    const PathPoint& next = aircraft.path[1];
    heading = gf_bearing({p.latitude, p.longitude}, {next.latitude, next.longitude});
    // Seen while pushed back: it faces the nose its records show.
    if (!p.airborne && motion::reachedTailFirst(next, heading)) {
      heading = *motion::recordedNoseRadians(next);
    }
  }
  block.headingRadians = normalisedHeading(heading);
  aircraft.motion.groundHeadingRadians = p.airborne ? 0.0 : block.headingRadians;
}

}  // namespace crv
