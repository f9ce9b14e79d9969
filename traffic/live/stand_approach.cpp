// A parked live aircraft watches its new feed points: small moves around the
// stand are noise, a clear move away means it leaves (or was towed).

#include <algorithm>

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
    } else if (distanceNm >= motion.standLastNm + kStepNm) {
      ++motion.standStepsAway;
      motion.standLastNm = distanceNm;
      const double away = distanceNm - motion.standClosestNm;
      refuse = (motion.standStepsAway < kStepsAwayToLeave || away < halfSpan * 0.5) && away <= halfSpan;
    } else if (distanceNm <= motion.standLastNm - kStepNm) {
      motion.standStepsAway = 0;
    }
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
      engine_.removeAircraftFromSim(aircraft);
      return false;
    }
  }
  point.stationary = false;
  motion.leavingStand = true;
  // The record comes a feed delay before it falls due, and shows the
  // aircraft some way off already: it set off that way earlier, at the
  // record's speed.
  const double speed = point.speedKnots > 0.0 ? point.speedKnots : motion::performanceOf(aircraft).taxiSpeedKnots;
  motion.standLeaveTick = point.dueTick - motion::ticksForDistance(distanceNm, speed);
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
