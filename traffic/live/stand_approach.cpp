// A parked live aircraft watches its new feed points: small moves around the
// stand are noise, a clear move away means it leaves (or was towed).

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "foundation/geodesy.h"
#include "traffic/live/live_rules.h"
#include "traffic/motion/motion_support.h"
#include "traffic/record_labels.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

constexpr double kApproachLimitNm = 0.0458963282937365;    // 85 m
constexpr double kParkedLeaveLimitNm = 0.10799136069114472;  // 200 m
constexpr double kStepNm = 0.0016198704103671706;          // 3 m
constexpr std::int32_t kStepsAwayToLeave = 3;
// A record that reports less than this shows no movement of its own.
constexpr double kRestKnots = 1.0;
// The generated point of a parked aircraft lies a week ahead.
constexpr std::int64_t kWeekTicks = 60480000;
constexpr std::int32_t kAdvanceTicks = 3000;
constexpr std::int32_t kDelayTicks = 3000;
constexpr std::int32_t kTakeOffRollDelayTicks = 5000;

// Parked for less than this, an aircraft that leaves was towed, not flown.
std::int64_t towedBelowTicks(SizeCategory category) {
  switch (category) {
    case SizeCategory::Buzjets:
      return 90000;  // 15 minutes
    case SizeCategory::Large:
      return 150000;  // 25 minutes
    case SizeCategory::Heavy:
      return 360000;  // one hour
    default:
      return 0;
  }
}

GeoPoint placeOf(const PathPoint& point) { return {point.latitude, point.longitude}; }

// Where the aircraft rested: the middle of the positions its records showed
// it at rest in, whose scatter evens out there; where none reported a stop,
// the middle of those that reported a speed there; its stand while there
// are none.
GeoPoint restMiddle(const LiveAc& aircraft) {
  const StandRest& rest = aircraft.motion.standRest;
  if (rest.kept > 0) {
    double latitude = 0.0;
    double longitude = 0.0;
    for (std::size_t i = 0; i < rest.kept; ++i) {
      latitude += rest.latitudes[i];
      longitude += rest.longitudes[i];
    }
    const auto kept = static_cast<double>(rest.kept);
    return {latitude / kept, longitude / kept};
  }
  if (rest.reportedSpeedKept > 0) {
    const auto kept = static_cast<double>(rest.reportedSpeedKept);
    return {rest.reportedSpeedLatitudeSum / kept, rest.reportedSpeedLongitudeSum / kept};
  }
  return {aircraft.standLatitude, aircraft.standLongitude};
}

double fromRestNm(const LiveAc& aircraft, GeoPoint place) { return gf_distanceNm(restMiddle(aircraft), place); }

// How far the place lies from the closest position the records showed the
// aircraft at rest in.
double fromClosestRestNm(const LiveAc& aircraft, GeoPoint place) {
  const StandRest& rest = aircraft.motion.standRest;
  if (rest.kept == 0) {
    return fromRestNm(aircraft, place);
  }
  double closestNm = gf_distanceNm({rest.latitudes[0], rest.longitudes[0]}, place);
  for (std::size_t i = 1; i < rest.kept; ++i) {
    closestNm = std::min(closestNm, gf_distanceNm({rest.latitudes[i], rest.longitudes[i]}, place));
  }
  return closestNm;
}

// The speed of the first record that showed the aircraft moved: what its
// position shows since the last record that reported a speed where the
// aircraft rested, when that is more than it reports. (Surface records
// may report little more than half the movement.)
double firstAwayKnots(const LiveAc& aircraft, const PathPoint& away, double awayNm) {
  const StandRest& rest = aircraft.motion.standRest;
  if (!rest.reportedSpeedAtRest || away.dueTick <= rest.speedAtRestDueTick) {
    return away.speedKnots;
  }
  const double shownNm = awayNm - fromRestNm(aircraft, {rest.speedAtRestLatitude, rest.speedAtRestLongitude});
  const auto ticks = static_cast<double>(away.dueTick - rest.speedAtRestDueTick);
  return std::max(away.speedKnots, shownNm * motion::kTicksPerHour / ticks);
}

// A record shows the aircraft at rest when it reports no speed and lies
// within a step of a position it rested in, or of the record before it: then
// it rests in a new place. The positions of a standing aircraft's records
// scatter by a few metres. A record that reports a speed there shows it at
// rest or setting off: it keeps the aircraft at rest but never bounds its
// set-off; where no record reported a stop, the middle of all such records
// shows where the aircraft rests, which a slow push heard often cannot
// drag along. The first record since the last at rest that shows it
// elsewhere is where it moved away.
void noteRestOrMove(LiveAc& aircraft, const PathPoint& point) {
  StandRest& rest = aircraft.motion.standRest;
  const bool anyRest = rest.kept > 0 || rest.reportedSpeedKept > 0;
  const bool nearRest = anyRest && fromClosestRestNm(aircraft, placeOf(point)) < kStepNm;
  const GeoPoint recordBefore{aircraft.motion.lastRecordLatitude, aircraft.motion.lastRecordLongitude};
  const bool firstRecord = std::isnan(recordBefore.latitude);
  const bool nearRecordBefore = !firstRecord && gf_distanceNm(recordBefore, placeOf(point)) < kStepNm;
  if (point.speedKnots < kRestKnots && (rest.kept == 0 || nearRest || nearRecordBefore)) {
    if (rest.kept > 0 && !nearRest) {
      rest.kept = 0;
      rest.nextSlot = 0;
    }
    rest.latitudes[rest.nextSlot] = point.latitude;
    rest.longitudes[rest.nextSlot] = point.longitude;
    rest.nextSlot = (rest.nextSlot + 1) % StandRest::kKeptPositions;
    rest.kept = std::min(rest.kept + 1, StandRest::kKeptPositions);
    rest.lastRestDueTick = point.dueTick;
    rest.movedAway = false;
    rest.reportedSpeedAtRest = false;
  } else if (nearRest || (!anyRest && (firstRecord || nearRecordBefore))) {
    if (rest.kept == 0) {
      rest.reportedSpeedLatitudeSum += point.latitude;
      rest.reportedSpeedLongitudeSum += point.longitude;
      ++rest.reportedSpeedKept;
    }
    rest.movedAway = false;
    rest.reportedSpeedAtRest = true;
    rest.speedAtRestLatitude = point.latitude;
    rest.speedAtRestLongitude = point.longitude;
    rest.speedAtRestDueTick = point.dueTick;
  } else if (!rest.movedAway) {
    rest.movedAway = true;
    rest.firstAwayDueTick = point.dueTick;
    rest.firstAwayNm = fromRestNm(aircraft, placeOf(point));
    rest.firstAwayKnots = firstAwayKnots(aircraft, point, rest.firstAwayNm);
  }
}

// When the recorded aircraft set off: the first record that showed it moved
// had come its distance from the rest at its speed (firstAwayKnots), but
// never before the last record that showed it at rest. (Surface records report less speed
// than their positions show: a later record, farther away, would time the
// start too early.)
std::int64_t setOffTick(const LiveAc& aircraft, const PathPoint& leaving) {
  const StandRest& rest = aircraft.motion.standRest;
  if (!rest.movedAway) {
    return leaving.dueTick;
  }
  const double knots = rest.firstAwayKnots > 0.0 ? rest.firstAwayKnots : motion::performanceOf(aircraft).taxiSpeedKnots;
  const std::int64_t tick = rest.firstAwayDueTick - motion::ticksForDistance(rest.firstAwayNm, knots);
  return rest.kept > 0 ? std::max(tick, rest.lastRestDueTick) : tick;
}

}  // namespace

bool LiveRules::checkStandApproach(LiveAc& aircraft, PathPoint& point) {
  LiveMotion& motion = aircraft.motion;
  motion.standReached = true;
  const double distanceNm =
      gf_distanceNm({aircraft.standLatitude, aircraft.standLongitude}, {point.latitude, point.longitude});
  const double limitNm = aircraft.previousPhase == FlightPhase::parking ? 2.0 * kApproachLimitNm : kApproachLimitNm;
  if (distanceNm <= limitNm) {
    motion.standLastApproachTick = nowTick();
    const double halfSpan = aircraft.base.halfSpanNm;
    bool refuse = true;
    if (motion.standLastNm == 0.0) {
      motion.standClosestNm = distanceNm;
      motion.standLastNm = distanceNm;
      motion.standStepsAway = 0;
      motion.standRest = {};
    } else if (distanceNm >= motion.standLastNm + kStepNm) {
      ++motion.standStepsAway;
      motion.standLastNm = distanceNm;
      const double away = distanceNm - motion.standClosestNm;
      refuse = (motion.standStepsAway < kStepsAwayToLeave || away < halfSpan * 0.5) && away <= halfSpan;
    } else if (distanceNm <= motion.standLastNm - kStepNm) {
      motion.standStepsAway = 0;
    }
    noteRestOrMove(aircraft, point);
    if (refuse) {
      motion.leavingStand = false;
      return false;
    }
  } else {
    if (aircraft.phase == FlightPhase::parking) {
      // It drives on elsewhere: the stand it was given is free again.
      if (ParkingPosition* stand = standById(aircraft.standId)) {
        stand->occupied = false;
      }
      aircraft.previousPhase = FlightPhase::parking;
      aircraft.phase = FlightPhase::taxi;
      point.stationary = false;
      return true;
    }
    if (distanceNm > kParkedLeaveLimitNm) {
      engine_.removeAircraftFromSim(
          aircraft, fmt::format("a record {:.0f} m from its stand while parked (limit {:.0f} m)",
                                distanceNm * kMetersPerNm, kParkedLeaveLimitNm * kMetersPerNm));
      return false;
    }
    noteRestOrMove(aircraft, point);
  }
  point.stationary = false;
  motion.leavingStand = true;
  // The record comes a feed delay before it falls due, and shows the
  // aircraft some way off already: it set off earlier.
  motion.standLeaveTick = setOffTick(aircraft, point);
  if (aircraft.previousPhase != FlightPhase::parked) {
    updateParkedTimers(aircraft);
    aircraft.previousPhase = aircraft.phase;
    aircraft.phase = FlightPhase::parked;
  }
  return true;
}

void LiveRules::updateParkedTimers(LiveAc& aircraft) {
  LiveMotion& motion = aircraft.motion;
  if (aircraft.generatedLegs > 0) {
    if (motion.landed && !aircraft.path.empty()) {
      const std::int64_t parkedTicks = nowTick() - aircraft.path.back().dueTick + kWeekTicks;
      if (parkedTicks < towedBelowTicks(aircraft.base.category)) {
        motion.towed = true;
      }
    }
    motion.landed = false;
    if (!aircraft.path.empty()) {
      aircraft.path.front().dueTick = std::max(nowTick() + 1, motion.standLeaveTick);
    }
    aircraft.generatedLegs = 0;
    motion.earliestAdvanceTicks = kAdvanceTicks;
    motion.latestDelayTicks = motion.takeOffRoll ? kTakeOffRollDelayTicks : kDelayTicks;
  }
  if (!aircraft.base.identity.airline.empty() && aircraft.standCargo == aircraft.base.cargo) {
    const DaySlot slot = currentSlot();
    if (services_.addStandOption && services_.addStandOption(aircraft.standId, aircraft, slot, true)) {
      rememberStandUse(aircraft.base.key, slot);
    }
  }
  if (ParkingPosition* stand = standById(aircraft.standId)) {
    stand->occupied = false;
  }
}

}  // namespace crv
