#include <algorithm>
#include <cmath>
#include <string>

#include <fmt/format.h>

#include "airports/stand_search.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/flight_vocabulary.h"
#include "traffic/learning/usage_learning.h"
#include "traffic/motion/live_motion.h"
#include "traffic/motion/motion_support.h"
#include "traffic/record_labels.h"
#include "traffic/traffic_engine.h"

namespace crv {

using namespace motion;

namespace {

constexpr double kTaxiConflictSpanFactor = 1.2;
constexpr std::int64_t kHoldPointTicks = 300;
constexpr std::int64_t kTicksPerMinute = 6000;
constexpr double kUnknownUserDegrees = 0.0001;
constexpr double kRangeMarginNm = 0.5;
constexpr std::int32_t kGroundLegs = 10;
constexpr std::int32_t kAirLegs = 8;
constexpr double kGroundLegSeconds = 3.0;
constexpr double kAirLegSeconds = 8.0;
constexpr std::int64_t kParkedLegTicks = 604800LL * 100;  // a week
constexpr double kArrivedAtStandNm = 0.0010799136069114472;  // 2 m
constexpr double kSoftStandRadiusNm = 5.0;
constexpr double kSoftStandHeightFeet = 2500.0;
constexpr double kApproachDescentFeetPerSecond = 10.005;
constexpr double kApproachDescentFpm = -667.0;
constexpr double kTakeOffClimbFeetPerSecond = 25.0;
constexpr double kTakeOffClimbFpm = 1500.0;

StandAircraft standAircraftOf(const LiveAc& a) {
  const AircraftIdentity& id = a.base.identity;
  return {id.callsign, id.airline, id.icaoType, a.base.halfSpanNm, a.base.category, a.base.cargo};
}

double taxiConflictLimitNm(const LiveAc& a, const LiveAc& other) {
  return kTaxiConflictSpanFactor * (a.base.halfSpanNm + other.base.halfSpanNm);
}

// Another active aircraft taxiing so close that the two would touch; null
// when none.
const LiveAc* taxiConflict(TrafficEngine& engine, const LiveAc& a) {
  const auto live = engine.liveAircraft();
  const auto found = std::find_if(live.begin(), live.end(), [&a](const LiveAc& other) {
    return &other != &a && other.onGround && other.phase == FlightPhase::taxi && other.state == SimState::active &&
           other.objectId != a.objectId &&
           gf_distanceNm(pointOf(a.position), pointOf(other.position)) <= taxiConflictLimitNm(a, other);
  });
  return found == live.end() ? nullptr : &*found;
}

// The stand is occupied when an aircraft is given it; it is another's when
// another live aircraft that is not leaving the simulator holds it. That
// aircraft; null when none.
const LiveAc* standHolder(TrafficEngine& engine, const LiveAc& a) {
  const auto live = engine.liveAircraft();
  const auto found = std::find_if(live.begin(), live.end(), [&a](const LiveAc& other) {
    return &other != &a && other.standId == a.standId && other.state != SimState::removingfromsim &&
           other.state != SimState::buffer;
  });
  return found == live.end() ? nullptr : &*found;
}

// "no record for <seconds> s, its path ran out": the records stopped, and
// the legs made up after them are used up.
std::string recordsStopped(TrafficEngine& engine, const LiveAc& a) {
  return fmt::format("no record for {} s, its path ran out", (engine.tick() - a.lastRecordDueTick) / kTicksPerSecond);
}

void forgetLastUse(std::vector<StandLastUse>& lastStandUse, std::uint32_t key) {
  std::erase_if(lastStandUse, [key](const StandLastUse& use) { return use.key == key; });
}

bool addStandOption(MotionContext& m, std::uint32_t standId, LiveAc& a, DaySlot slot, bool soft, bool flying) {
  return m.parking.addStandOption && m.parking.addStandOption(standId, a, slot, soft, flying);
}

// Holding in place while taxiing; false when the aircraft must go, and then
// why.
bool holdInPlace(MotionContext& m, LiveAc& a, std::string& whyNot) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  if (const LiveAc* other = taxiConflict(engine, a)) {
    whyNot = fmt::format("holding {:.0f} m from {} taxiing (limit {:.0f} m)",
                         gf_distanceNm(pointOf(a.position), pointOf(other->position)) * kMetersPerNm,
                         other->base.identity.callsign, taxiConflictLimitNm(a, *other) * kMetersPerNm);
    mo.holding = false;
    mo.holdStartTick = 0;
    return false;
  }
  if (mo.holding) {
    const std::int64_t minutes = (engine.tick() - mo.holdStartTick) / kTicksPerMinute;
    if (minutes > par_MAX_HOLDING_MINUTES.value()) {
      whyNot = fmt::format("holding for {} min (limit {} min)", minutes, par_MAX_HOLDING_MINUTES.value());
      return false;
    }
  } else {
    mo.holdStartTick = engine.tick();
  }
  mo.holding = true;
  PathPoint hold = a.path.front();
  hold.dueTick += kHoldPointTicks;
  hold.speedKnots = 0.0;
  hold.stationary = true;
  a.path.push_back(hold);
  a.generatedLegs = 1;
  return true;
}

}  // namespace

bool extendPath(MotionContext& m, LiveAc& a, std::string* whyNot) {
  std::string unused;
  std::string& why = whyNot != nullptr ? *whyNot : unused;
  LiveMotion& mo = a.motion;
  if (mo.landingRoll && a.onGround && a.path.front().speedKnots <= 0.0) {
    // An arrival whose records stop it on the runway, to backtrack or to wait
    // for a crossing, has ended its roll: it holds where it stands as any
    // taxiing aircraft, instead of rolling on at the speed of a roll.
    endLandingRoll(m, a);
  }
  if (a.phase == FlightPhase::parking) {
    arriveAtStand(m, a);
  } else if (a.phase == FlightPhase::pushed_back ||
             (a.phase == FlightPhase::taxi && !mo.takeOffRoll && !mo.landingRoll)) {
    return holdInPlace(m, a, why);
  }
  if (a.generatedLegs < 0) {
    why = recordsStopped(m.eng(), a);
    return false;
  }
  if (a.generatedLegs == 1) {
    a.generatedLegs = -1;
    why = recordsStopped(m.eng(), a);
    return false;
  }
  if (a.generatedLegs > 1) {
    generateLegs(m, a, a.generatedLegs - 1);
    return true;
  }
  if (a.state != SimState::active) {
    return false;
  }
  if (!isCategoryEnabled(a.base.category)) {
    why = fmt::format("its path ran out, {} aircraft are switched off", categoryName(a.base.category));
    return false;
  }
  std::int32_t count = 0;
  if (a.onGround) {
    count = a.phase == FlightPhase::parked ? 1 : kGroundLegs;
  } else {
    const UserAcData& user = m.eng().userAircraft();
    const bool userUnknown =
        std::fabs(user.latitude) < kUnknownUserDegrees && std::fabs(user.longitude) < kUnknownUserDegrees;
    const double limitNm = trafficRangeNm() - kRangeMarginNm;
    const double fromUserNm = gf_distanceNm({user.latitude, user.longitude}, pointOf(a.position));
    if (!userUnknown && fromUserNm >= limitNm) {
      why = fmt::format("its path ran out {:.2f} nm from the user aircraft (limit {:.2f} nm)", fromUserNm, limitNm);
      return false;
    }
    count = kAirLegs;
  }
  generateLegs(m, a, count);
  return true;
}

void generateLegs(MotionContext& m, LiveAc& a, std::int32_t count) {
  LiveMotion& mo = a.motion;
  a.generatedLegs = count;
  PathPoint p = a.path.back();
  const bool parked = a.phase == FlightPhase::parked;
  const double legSeconds = a.onGround ? kGroundLegSeconds : kAirLegSeconds;
  bool moves = !p.stationary && !parked;
  if (moves && !a.onGround) {
    if (!mo.approach) {
      p.speedKnots = std::max(p.speedKnots * 0.95, 1.0);
    } else if (count >= 4) {
      p.speedKnots = std::max(p.speedKnots * 0.9, 1.0);
    }
  } else if (moves && mo.landingRoll) {
    const double v = p.speedKnots;
    p.speedKnots = v >= 140.0 ? 100.0 : v >= 100.0 ? 80.0 : v >= 80.0 ? 60.0 : v >= 60.0 ? 30.0 : 20.0;
    p.verticalSpeedFpm = 0.0;
  } else if (moves && mo.takeOffRoll) {
    const double v = p.speedKnots;
    struct RollStep {
      double upToKnots;
      double speedKnots;
      double verticalSpeedFpm;
    };
    static constexpr RollStep kRollSteps[] = {
        {30.0, 40.0, 0.0}, {60.0, 80.0, 0.0}, {100.0, 110.0, 0.0}, {140.0, 150.0, 600.0}, {160.0, 170.0, 1200.0}};
    // Up to 100 kt the vertical speed stays as it was.
    RollStep chosen{0.0, 180.0, 2400.0};
    for (const RollStep& step : kRollSteps) {
      if (v <= step.upToKnots) {
        chosen = step;
        break;
      }
    }
    p.speedKnots = chosen.speedKnots;
    if (chosen.verticalSpeedFpm != 0.0) {
      p.verticalSpeedFpm = chosen.verticalSpeedFpm;
    }
  } else if (moves) {
    moves = false;  // on the ground without a roll: the aircraft stands
  }
  if (!moves) {
    p.stationary = true;
    p.speedKnots = 0.0;
  } else {
    const double distanceFeet = p.speedKnots * legSeconds / 3600.0 * kFeetPerNm;
    const GeoPoint to = gf_destination(pointOf(p), a.position.headingRadians, distanceFeet);
    const bool moved = std::fabs(to.latitude - p.latitude) >= kSamePositionDegrees ||
                       std::fabs(to.longitude - p.longitude) >= kSamePositionDegrees;
    p.latitude = to.latitude;
    p.longitude = to.longitude;
    p.stationary = !moved;
    if (mo.approach && a.motion.verticalProfileStage == 0) {
      p.altitudeFeet -= legSeconds * kApproachDescentFeetPerSecond;
      p.verticalSpeedFpm = kApproachDescentFpm;
    } else if (a.phase == FlightPhase::take_off) {
      p.altitudeFeet += legSeconds * kTakeOffClimbFeetPerSecond;
      p.verticalSpeedFpm = kTakeOffClimbFpm;
    }
    p.airborne = p.altitudeFeet > 0.0;
    if (!p.airborne) {
      p.altitudeFeet = 0.0;
    }
  }
  if (parked) {
    p.dueTick = a.path.back().dueTick + kParkedLegTicks;
    mo.standReached = false;
    // Parked for good, it no longer keeps others off the stand: a newcomer
    // may take it and so remove it.
    if (ParkingPosition* stand = standById(m, a.standId)) {
      stand->occupied = false;
    }
  } else {
    p.dueTick = a.path.back().dueTick + static_cast<std::int64_t>(legSeconds * 100.0);
  }
  a.path.push_back(p);
}

void learnSoftStand(MotionContext& m, LiveAc& a, bool notFlying) {
  TrafficEngine& engine = m.eng();
  StandTable* stands = engine.standTable();
  if (!par_LEARN_SOFT.value() || !engine.parkAirportSet() || stands == nullptr || !m.parking.addStandOption) {
    return;
  }
  if (gf_distanceNm(m.parkAirportPosition, pointOf(a.position)) > kSoftStandRadiusNm || a.standId != 0) {
    return;
  }
  if (!notFlying && a.motion.heightAboveGroundFeet >= kSoftStandHeightFeet) {
    return;
  }
  const DaySlot slot = engine.currentSlot();
  const std::uint32_t key = a.base.key;
  for (ParkingPosition& stand : *stands) {
    const auto learned = stand.softLearning.find(key);
    if (learned != stand.softLearning.end() && learned->second.slot == slot) {
      if (addStandOption(m, stand.id, a, slot, true, !notFlying)) {
        rememberStandLearning(m.eng().lastStandUse(), key, slot);
      }
      return;
    }
  }
  if (!standSlotFree(m.eng().lastStandUse(), slot, key, false)) {
    return;
  }
  const std::string& registration = a.base.identity.registration;
  for (const ParkingPosition& stand : *stands) {
    for (const UsageEntry& entry : stand.usage) {
      if (matchesUsageAtHalfHour(static_cast<std::uint32_t>(slot.weekday), static_cast<std::uint32_t>(slot.halfHour),
                                 registration, entry)) {
        return;
      }
    }
  }
  const StandIterator best = collectStandCandidates(*stands, slot, standAircraftOf(a), true, engine.parkAirportName());
  if (best == stands->end()) {
    return;
  }
  if (!addStandOption(m, best->id, a, slot, true, !notFlying)) {
    forgetLastUse(m.eng().lastStandUse(), key);
  }
}

void arriveAtStand(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  ParkingPosition* stand = standById(m, a.standId);
  if (const LiveAc* holder = stand != nullptr && stand->occupied ? standHolder(engine, a) : nullptr) {
    // Another aircraft got there first.
    a.generatedLegs = 1;
    engine.removeAircraftFromSim(a, fmt::format("the stand was taken first by {}", holder->base.identity.callsign));
    stand->occupied = true;
    return;
  }
  const GeoPoint standPosition{a.standLatitude, a.standLongitude};
  if (gf_distanceNm(pointOf(a.position), standPosition) > kArrivedAtStandNm) {
    setPhase(a, FlightPhase::taxi);
    return;
  }
  setPhase(a, FlightPhase::parked);
  const DaySlot slot = engine.currentSlot();
  a.slot = slot.packed();
  LiveMotion& mo = a.motion;
  if (mo.towed && logOn()) {
    gf_logLine(fmt::format("          towed aircraft {} parks", a.base.identity.callsign));
  }
  if (!a.path.empty()) {
    a.path.front().stationary = true;
  }
  mo.standLastApproachTick = engine.tick();
  mo.standClosestNm = 0.0;
  mo.standStepsAway = 0;
  mo.standRest = {};
  if (stand != nullptr) {
    stand->occupied = true;
  }
  markCargoStandUsed(m, a);
  engine.shutdownParked(a);
  if (logOn()) {
    gf_logLine(fmt::format("{:8}: {:8} arrived at stand", engine.standLabel(a.standId), a.base.identity.callsign));
  }
  if (m.parking.queueIdentityCheck) {
    m.parking.queueIdentityCheck(a.base.key);
  }
  if (!a.base.identity.airline.empty() && a.base.cargo == a.standCargo &&
      addStandOption(m, a.standId, a, slot, false, false)) {
    rememberStandLearning(m.eng().lastStandUse(), a.base.key, slot);
  }
  if (m.parking.enforceMaxPark) {
    m.parking.enforceMaxPark(0);
  }
}

void markCargoStandUsed(MotionContext& m, LiveAc& a) {
  if (a.standCargo || !a.base.cargo) {
    return;
  }
  ParkingPosition* stand = standById(m, a.standId);
  if (stand == nullptr || !stand->cargo) {
    return;
  }
  stand->cargo = false;
  stand->cargo_change = true;
  countStandUpdate();
  TrafficEngine& engine = m.eng();
  gf_logLine(fmt::format("{} stand: {}, cargo attribute set to false, {} parked here", engine.parkAirportName(),
                         engine.standLabel(a.standId), formatRecordLine(a.base.identity)));
}

}  // namespace crv
