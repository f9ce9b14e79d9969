// An arriving live aircraft is given a stand of the park airport and driven
// onto it; an aircraft created on a stand takes it over from static ones.

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "airports/stand_search.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "simlink/sim_ids.h"
#include "traffic/live/live_rules.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

constexpr double kSamePlaceDegrees = 1e-8;
constexpr double kWideParkRadiusNm = 0.029697624190064796;    // 55 m
constexpr double kNarrowParkRadiusNm = 0.010799136069114472;  // 20 m
constexpr double kClearanceFactor = 1.1;
constexpr double kTicksPerNmAtOneKnot = 360000.0;
constexpr std::int64_t kMinDriveTicks = 100;
constexpr std::int64_t kStandSettleTicks = 50;
constexpr std::int32_t kAdvanceTicks = 3000;
constexpr std::int32_t kDelayTicks = 3000;
constexpr std::int32_t kTakeOffRollDelayTicks = 5000;

bool samePlace(double latA, double lonA, double latB, double lonB) {
  return std::fabs(latA - latB) < kSamePlaceDegrees && std::fabs(lonA - lonB) < kSamePlaceDegrees;
}

}  // namespace

void LiveRules::parkLiveOverStatic(LiveAc& aircraft) {
  aircraft.onGround = true;
  if (aircraft.base.category != SizeCategory::Rotorcraft) {
    engine_.link().queueClientEvent(aircraft.objectId, toId(ClientEventId::GearSet), 1);
  }
  aircraft.motion.climbPerTickFeet = 0.0;
  if (aircraft.phase == FlightPhase::parked) {
    aircraft.slot = currentSlot().packed();
    const std::string label = engine_.standLabel(aircraft.standId);
    const std::string& callsign = aircraft.base.identity.callsign;
    if (par_LOG.value()) {
      gf_logLine(fmt::format("{:8}: {:8} parks", label, callsign));
    }
    if (services_.dropPendingStatics) {
      services_.dropPendingStatics(aircraft.standId);
    }
    for (StaticAc& parked : engine_.staticAircraft()) {
      if (parked.standId == aircraft.standId && parked.state == SimState::active) {
        if (par_LOG.value()) {
          gf_logLine(fmt::format("{:8}: {:8} parks over static {} ", label, callsign, parked.base.identity.callsign));
        }
        engine_.removeAircraftFromSim(parked);
        break;
      }
    }
  }
  aircraft.motion.takeOffStepCounter = 1;
}

void LiveRules::try2Park(LiveAc& aircraft, bool wide) {
  if (aircraft.path.empty()) {
    gf_logLine(fmt::format("{} empty sz?", "try2Park"));
    return;
  }
  const PathPoint& last = aircraft.path.back();
  if (samePlace(last.latitude, last.longitude, aircraft.lastParkAttemptLatitude, aircraft.lastParkAttemptLongitude)) {
    return;  // nothing changed since the last attempt
  }
  aircraft.lastParkAttemptLatitude = last.latitude;
  aircraft.lastParkAttemptLongitude = last.longitude;
  StandTable* table = stands();
  if (table == nullptr) {
    return;
  }
  const AircraftIdentity& identity = aircraft.base.identity;
  const StandAircraft wanted{identity.callsign, identity.airline, identity.icaoType, aircraft.base.halfSpanNm,
                             aircraft.base.category, aircraft.base.cargo};
  // Wide parking also looks a little farther for the stand where the
  // aircraft usually parks.
  const auto found = nearestFreeStand(*table, {last.latitude, last.longitude}, wanted,
                                      wide ? kWideParkRadiusNm : kNarrowParkRadiusNm, wide);
  if (found == table->end()) {
    return;
  }
  const UserAcData& user = engine_.userAircraft();
  const std::string standAtUser =
      services_.standNameAtUser ? services_.standNameAtUser({user.latitude, user.longitude}) : std::string();
  if ((!reservedStand_.empty() && found->name == reservedStand_) ||
      (!standAtUser.empty() && found->name == standAtUser)) {
    return;
  }
  for (LiveAc& holder : engine_.liveAircraft()) {
    if (&holder != &aircraft && holder.standId == found->id && holder.phase == FlightPhase::parked &&
        holder.state == SimState::active) {
      if (par_LOG.value()) {
        gf_logLine(fmt::format("{:8}: {:8} removed, {} wants to park there", found->name, holder.base.identity.callsign,
                               identity.callsign));
      }
      engine_.removeAircraftFromSim(holder);
    }
  }
  for (const std::uint32_t neighbourId : found->neighbours) {
    removeAdjacentParked(neighbourId, aircraft, *found);
  }
  makeWay(aircraft, *found);
  takeStand(aircraft, *found);
  aircraft.path.resize(1);
  if (aircraft.phase != FlightPhase::parking) {
    aircraft.previousPhase = aircraft.phase;
    aircraft.phase = FlightPhase::parking;
  }
  drive2Stand(aircraft, {found->latitude, found->longitude, found->heading});
}

void LiveRules::drive2Stand(LiveAc& aircraft, const StandPlace& stand) {
  LivePath& path = aircraft.path;
  if (path.empty()) {
    gf_logWarning(fmt::format("{} empty sz?", "drive2Stand"));
    return;
  }
  PathPoint& last = path.back();
  const bool same = samePlace(last.latitude, last.longitude, stand.latitude, stand.longitude);
  const double speed = categoryPerformance(aircraft.base.category).taxiSpeedKnots;
  const double distanceNm = gf_distanceNm({last.latitude, last.longitude}, {stand.latitude, stand.longitude});
  const std::int64_t ticks =
      std::max(static_cast<std::int64_t>(std::llround(distanceNm * kTicksPerNmAtOneKnot / speed)), kMinDriveTicks);
  last.speedKnots = speed;
  const std::int64_t frontDue = path.front().dueTick;
  PathPoint onStand;
  onStand.latitude = stand.latitude;
  onStand.longitude = stand.longitude;
  onStand.altitudeFeet = aircraft.position.altitudeFeet;
  onStand.speedKnots = speed;
  onStand.trackDegrees = stand.headingRadians * kRadiansToDegrees;
  onStand.trueAirspeedKnots = speed;
  onStand.dueTick = frontDue + ticks;
  onStand.airborne = false;
  onStand.stationary = same;
  onStand.bankRadians = aircraft.position.bankRadians;
  onStand.bankValid = true;
  path.push_back(onStand);
  PathPoint settled = onStand;
  settled.speedKnots = 0.0;
  settled.trueAirspeedKnots = 0.0;
  settled.stationary = true;
  settled.dueTick = frontDue + kStandSettleTicks + ticks;
  path.push_back(settled);
  LiveMotion& motion = aircraft.motion;
  motion.legBearingRadians = stand.headingRadians;
  aircraft.generatedLegs = 0;
  motion.earliestAdvanceTicks = kAdvanceTicks;
  motion.latestDelayTicks = motion.takeOffRoll ? kTakeOffRollDelayTicks : kDelayTicks;
}

void LiveRules::removeAdjacentParked(std::uint32_t adjacentStandId, LiveAc& arriving, const ParkingPosition& stand) {
  const ParkingPosition* adjacent = standById(adjacentStandId);
  if (adjacent == nullptr || (adjacent->latitude == 0.0 && adjacent->longitude == 0.0)) {
    return;
  }
  const double distanceNm = gf_distanceNm(stand.position(), adjacent->position());
  const double arrivingHalfSpan = wingspanOfType(arriving.base.identity.icaoType);
  for (LiveAc& holder : engine_.liveAircraft()) {
    if (&holder == &arriving || holder.standId != adjacentStandId || holder.state != SimState::active ||
        (holder.phase != FlightPhase::parked && holder.phase != FlightPhase::pushing_back)) {
      continue;
    }
    if (kClearanceFactor * (wingspanOfType(holder.base.identity.icaoType) + arrivingHalfSpan) >= distanceNm) {
      if (par_LOG.value()) {
        gf_logLine(fmt::format("{:8}: {:8} removed by parking {} at adjacent and possibly colliding stand {}",
                               adjacent->name, holder.base.identity.callsign, arriving.base.identity.callsign,
                               stand.name));
      }
      engine_.removeAircraftFromSim(holder);
    }
  }
}

}  // namespace crv
