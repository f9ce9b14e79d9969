#include <algorithm>
#include <cmath>
#include <numeric>

#include <fmt/format.h>

#include "foundation/log.h"
#include "traffic/motion/live_motion.h"
#include "traffic/motion/motion_support.h"
#include "traffic/traffic_engine.h"

namespace crv {

using namespace motion;

namespace {

constexpr double kDefaultApproachSpeedKnots = 100.0;
constexpr int kStandardQnhHpa = 1013;
constexpr double kStandardDescentFpm = -601.0;
constexpr double kLowDescentFpm = -600.0;
constexpr double kDescentFeetPerHpa = 6.0;
constexpr double kLowHeightFeet = 100.0;
constexpr double kLowFlyingFeet = 1000.0;
constexpr double kLowApproachFeet = 2000.0;
constexpr double kLevelVerticalSpeedsFpm = 100.0;
constexpr double kLowestClimbFloorPerTick = -0.2;
constexpr double kHighLightsAltitudeFeet = 10000.0;
constexpr double kJetConfigurationHeightFeet = 2050.0;
constexpr double kLightConfigurationHeightFeet = 625.0;
constexpr double kPitchBaseRadians = -3.0 * kDegreesToRadians;
constexpr double kPitchPer600FpmRadians = 2.2 * kDegreesToRadians;
constexpr double kMaxClimbForPitchFpm = 2400.0;
constexpr double kMaxDescentForPitchFpm = -3000.0;
constexpr double kCleanHeightFeet = 2400.0;
constexpr double kFirstFlapsHeightFeet = 2000.0;
constexpr double kDescendingFpm = -250.0;
constexpr double kClimbingFpm = 400.0;
constexpr double kLevelFpm = 100.0;
constexpr double kGoAroundFpm = 600.0;
constexpr double kLateTakeOffFpm = 601.0;
constexpr double kFlareFloorPitchRadians = -0.06981317007977318;
constexpr double kClimbOutThrottleHeightFeet = 800.0;
constexpr std::int32_t kLowestTakeOffStep = -1000;

std::int64_t legTicks(MotionContext& m, const PathPoint& next) {
  return std::max(next.dueTick - m.eng().tick(), kMinimumLegTicks);
}

double perTick(double feet, std::int64_t ticks) { return feet / static_cast<double>(ticks); }

// How far an air leg's speed may stray from its recorded speed to end when
// its point falls due: little enough that no aircraft surges visibly.
constexpr double kAirLegSpeedTolerance = 0.15;

// The next point's due tick for an air leg. A leg between points of the feed
// ends when its point falls due, flown at a speed within the tolerance of
// its recorded speed, so that whatever lag or lead the aircraft brings to it
// shrinks instead of staying for the rest of the flight. The tolerance wins
// over the advance and delay window: squeezing a leg that starts later than
// the window into it would race the aircraft over the leg. Generated legs are
// timed by their distance and speed.
void timeAirLeg(MotionContext& m, LiveAc& a) {
  const std::int64_t now = m.eng().tick();
  const PathPoint& front = a.path[0];
  PathPoint& next = a.path[1];
  const double d = distanceNm(front, next);
  double knots = 0.0;
  if (a.motion.approach && !next.airborne) {
    knots = front.speedKnots > 0.0 ? front.speedKnots : kDefaultApproachSpeedKnots;
  } else {
    knots = legSpeed(a);
  }
  std::int64_t ticks = ticksForDistance(d, knots);
  if (a.generatedLegs < 1) {
    const std::int64_t fastest = ticksForDistance(d, knots * (1.0 + kAirLegSpeedTolerance));
    const std::int64_t slowest = ticksForDistance(d, knots * (1.0 - kAirLegSpeedTolerance));
    ticks = std::clamp(next.dueTick - now, fastest, std::max(fastest, slowest));
  }
  next.dueTick = now + std::max(ticks, kMinimumLegTicks);
}

// The vertical speed of the leg, written to its next point too.
void writeVerticalSpeed(LiveAc& a, PathPoint& next, double rateFpm) {
  next.verticalSpeedFpm = rateFpm;
  a.motion.verticalSpeedFpm = rateFpm;
  a.motion.climbPerTickFeet = rateFpm / 6000.0;
}

void writeDescent(MotionContext& m, LiveAc& a, PathPoint& next) { writeVerticalSpeed(a, next, descentRate(m, a)); }

bool isAirliner(const LiveAc& a) {
  const SizeCategory c = a.base.category;
  return c == SizeCategory::Buzjets || c == SizeCategory::Large || c == SizeCategory::Heavy;
}

}  // namespace

void airStep(MotionContext& m, LiveAc& a) {
  if (!a.path[1].stationary) {
    timeAirLeg(m, a);
  } else if (isRotorcraft(a)) {
    timeGroundLeg(m, a);
  }
}

void flyVerticalProfile(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  if (a.phase != FlightPhase::take_off && a.phase != FlightPhase::flying) {
    setPhase(a, FlightPhase::flying);
  }
  {
    const PathPoint& next = a.path[1];
    mo.verticalSpeedFpm = next.verticalSpeedFpm;
    mo.trueAirspeedKnots = next.trueAirspeedKnots;
  }
  const double altitude = a.position.altitudeFeet;
  const double maxClimb = a.base.maxClimbPerTickFeet;
  if (mo.verticalProfileStage == 0) {
    const bool frontAirborne = a.path[0].airborne;
    const bool nextAirborne = a.path[1].airborne;
    const std::int64_t ticks = legTicks(m, a.path[1]);
    if (!frontAirborne && !nextAirborne) {
      groundPointsWhileAirborne(m, a, ticks);
    } else if (!frontAirborne) {
      climbOutRate(a, ticks);
    } else if (!nextAirborne) {
      // Landing: above the standard QNH the feed's descent, corrected for
      // the QNH; at or below it towards the park airport's elevation when it
      // is the one near, elsewhere the standard descent.
      if (m.qnhHpa.load() > kStandardQnhHpa) {
        writeDescent(m, a, a.path[1]);
      } else if (nearParkAirport(m, a)) {
        mo.climbPerTickFeet = perTick(engine.parkElevationFeet() - altitude, ticks);
      } else {
        writeVerticalSpeed(a, a.path[1], kStandardDescentFpm);
      }
      setGear(m, a, 1);
    } else if (!mo.approach) {
      const double r = perTick(a.path[1].altitudeFeet - altitude, ticks);
      if (mo.heightAboveGroundFeet > kLowFlyingFeet) {
        mo.climbPerTickFeet = std::min(r, maxClimb);
      } else {
        mo.climbPerTickFeet = std::min(maxClimb, std::max(r, kLowestClimbFloorPerTick));
      }
    } else {
      const PathPoint& front = a.path[0];
      const PathPoint& next = a.path[1];
      if (front.altitudeFeet != next.altitudeFeet || mo.heightAboveGroundFeet > kLowFlyingFeet ||
          front.verticalSpeedFpm + next.verticalSpeedFpm > kLevelVerticalSpeedsFpm) {
        mo.climbPerTickFeet = perTick(next.altitudeFeet - altitude, ticks);
      } else {
        writeDescent(m, a, a.path[1]);
      }
    }
  }
  // The path may have lost points above: from here on the leg is to path[1].
  const PathPoint& next = a.path[1];
  const std::int64_t ticks = legTicks(m, next);
  const CategoryPerformance& performance = performanceOf(a);
  if (a.phase != FlightPhase::take_off) {
    const double v = next.verticalSpeedFpm;
    const double pitchFpm = v > 0.0 ? std::min(v, kMaxClimbForPitchFpm) : std::max(v, kMaxDescentForPitchFpm) * 0.5;
    const double target = kPitchBaseRadians - pitchFpm / 600.0 * kPitchPer600FpmRadians;
    mo.pitchRateRadians = std::clamp(perTick(target - a.position.pitchRadians, ticks),
                                     -performance.maxPitchChangeRadians, performance.maxPitchChangeRadians);
  }
  const double headingHeight = mo.approach ? kLowApproachFeet : kLowFlyingFeet;
  double turn = 0.0;
  if (next.headingValid && next.bankValid && mo.heightAboveGroundFeet < headingHeight) {
    turn = normalizedAngle(next.trueHeadingRadians - a.position.headingRadians);
  } else {
    turn = turnAngle(a);
  }
  mo.headingRateRadians = perTick(turn, ticks);
  if (next.bankValid) {
    mo.bankRateRadians = perTick(next.bankRadians - a.position.bankRadians, ticks);
  } else {
    bankFromTurn(a, turn, ticks);
  }
  const PathPoint& front = a.path[0];
  if (front.altitudeFeet < kHighLightsAltitudeFeet) {
    if (!mo.below10000Lights) {
      mo.below10000Lights = true;
      mo.above10000Lights = false;
      setLights(m, a, LightSwitches{1, 1, 1, 1, 1, 1, 1});
    }
    const double threshold = isAirliner(a) ? kJetConfigurationHeightFeet : kLightConfigurationHeightFeet;
    if (mo.heightAboveGroundFeet > threshold) {
      highConfiguration(m, a);
    } else {
      lowConfiguration(m, a);
    }
  } else if (!mo.above10000Lights) {
    mo.above10000Lights = true;
    mo.below10000Lights = false;
    setLights(m, a, LightSwitches{1, 1, 0, 0, 0, 0, 1});
    engine.setThrottle(a, isRotorcraft(a) ? 4 : 3);
    setGear(m, a, 0);
    engine.setFlaps(a, 0);
  }
}

void bankFromTurn(LiveAc& a, double turnRadians, std::int64_t ticks) {
  const CategoryPerformance& performance = performanceOf(a);
  const double target = std::clamp(turnRadians, -performance.maxBankRadians, performance.maxBankRadians);
  a.motion.bankRateRadians = std::clamp(perTick(-target - a.position.bankRadians, ticks),
                                        -performance.maxBankChangeRadians, performance.maxBankChangeRadians);
}

double descentRate(MotionContext& m, const LiveAc& a) {
  if (a.motion.heightAboveGroundFeet <= kLowHeightFeet || a.path.size() < 2) {
    return kLowDescentFpm;
  }
  const double mean = (a.path[0].verticalSpeedFpm + a.path[1].verticalSpeedFpm) / 2.0;
  return std::min(mean - (m.qnhHpa.load() - kStandardQnhHpa) * kDescentFeetPerHpa, kStandardDescentFpm);
}

void climbOutRate(LiveAc& a, std::int64_t ticks) {
  const double rise = a.path[1].altitudeFeet - a.position.altitudeFeet;
  a.motion.climbPerTickFeet = rise > 0.0 ? std::min(perTick(rise, ticks), a.base.maxClimbPerTickFeet) : 0.0;
}

void groundPointsWhileAirborne(MotionContext& m, LiveAc& a, std::int64_t /*ticks*/) {
  LiveMotion& mo = a.motion;
  const double climbSum = std::accumulate(a.path.begin(), a.path.end(), 0.0,
                                          [](double sum, const PathPoint& p) { return sum + p.verticalSpeedFpm; });
  if (!mo.approach && climbSum > kLevelVerticalSpeedsFpm) {
    const std::size_t last = std::min<std::size_t>(a.path.size() - 1, 10);
    for (std::size_t k = 3; k <= last; ++k) {
      if (skipToAirbornePoint(m, a, k)) {
        setGear(m, a, 1);
        return;
      }
    }
    PathPoint& next = a.path[1];
    next.verticalSpeedFpm = std::max(next.verticalSpeedFpm, kLateTakeOffFpm);
    mo.verticalSpeedFpm = next.verticalSpeedFpm;
    mo.climbPerTickFeet = next.verticalSpeedFpm / 6000.0;
    setGear(m, a, 1);
    return;
  }
  writeDescent(m, a, a.path[1]);
  setGear(m, a, 1);
}

bool skipToAirbornePoint(MotionContext& m, LiveAc& a, std::size_t count) {
  if (count < 2 || a.path.size() < count || !a.path[count - 1].airborne) {
    return false;
  }
  a.path.erase(a.path.begin() + 1, a.path.begin() + static_cast<std::ptrdiff_t>(count - 1));
  timeAirLeg(m, a);
  PathPoint& next = a.path[1];
  const std::int64_t ticks = legTicks(m, next);
  // The leg now runs to another point: its rates follow.
  LiveMotion& mo = a.motion;
  mo.latitudeRate = (next.latitude - a.position.latitude) / static_cast<double>(ticks);
  mo.longitudeRate = (next.longitude - a.position.longitude) / static_cast<double>(ticks);
  if (!samePosition(a.path[0], next)) {
    mo.legBearingRadians = gf_bearing(pointOf(a.path[0]), pointOf(next));
  }
  climbOutRate(a, ticks);
  return true;
}

void highConfiguration(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  shrinkAdvanceAndDelay(a);
  engine.link().setCabinLights(a.objectId, 1);
  mo.takeOffRoll = false;
  mo.approach = false;
  const double v = a.path[0].verticalSpeedFpm;
  if (v <= kDescendingFpm && a.throttleIndex == 3) {
    engine.setThrottle(a, isRotorcraft(a) ? 4 : 2);
  } else if (v > kClimbingFpm && a.throttleIndex == 4) {
    engine.setThrottle(a, isRotorcraft(a) ? 4 : 3);
  }
  const double height = mo.heightAboveGroundFeet;
  if (height >= kCleanHeightFeet) {
    setGear(m, a, 0);
    engine.setFlaps(a, 0);
  } else if (v <= kLevelFpm) {
    if (height < kFirstFlapsHeightFeet) {
      if (a.flapsIndex == 0) {
        engine.setFlaps(a, 1);
      } else if (a.flapsIndex == 1) {
        engine.setFlaps(a, 2);
      }
    } else if (a.flapsIndex == 0) {
      engine.setFlaps(a, 1);
    }
  }
}

void lowConfiguration(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  engine.link().setCabinLights(a.objectId, 0);
  const bool near = nearParkAirport(m, a);
  const double v = a.path[0].verticalSpeedFpm;
  if (v <= kDescendingFpm && !mo.approach && near) {
    engine.setThrottle(a, isRotorcraft(a) ? 4 : 1);
    engine.setFlaps(a, 3);
    setGear(m, a, 1);
    if (m.parking.queueIdentityCheck) {
      m.parking.queueIdentityCheck(a.base.key);
    }
    mo.approach = true;
    mo.cleanedUp = false;
    a.standLatitude = 0.0;
    a.standLongitude = 0.0;
    a.standHeadingRadians = 0.0;
    a.standId = 0;
    a.standCargo = false;
    resetAdvanceAndDelay(a);
    mo.takeOffStepCounter = 1;
  } else if (v > kGoAroundFpm || (mo.approach && !near)) {
    if (!mo.cleanedUp) {
      shrinkAdvanceAndDelay(a);
      engine.setThrottle(a, 4);
      setGear(m, a, 0);
      engine.setFlaps(a, 0);
      mo.cleanedUp = true;
      mo.verticalProfileStage = 0;
      mo.approach = false;
      mo.noseLowering = false;
      mo.referenceElevationValid = false;
    }
  }
}

void takeoffStep(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  AiPositionBlock& block = a.position;
  std::int32_t& counter = mo.takeOffStepCounter;
  if (counter >= 1) {
    a.onGround = false;
    if (block.pitchRadians > a.base.rotationPitchRadians) {
      block.pitchRadians += mo.pitchRateRadians;
    }
  } else {
    block.bankRadians = normalizedAngle(block.bankRadians + mo.bankRateRadians);
    if (block.pitchRadians > a.base.climbPitchRadians) {
      const double steps = std::max<double>(a.base.climbPitchSteps, 1.0);
      block.pitchRadians += (a.base.climbPitchRadians - a.base.rotationPitchRadians) / steps;
    }
    const double climb = mo.climbPerTickFeet;
    if (counter <= -1 && counter >= -99) {
      block.altitudeFeet += climb / 10.0;
    } else if (counter <= -100 && counter >= -199) {
      block.altitudeFeet += climb / 5.0;
    } else if (counter <= -200 && counter >= -299) {
      block.altitudeFeet += climb * 0.5;
    } else if (counter <= -300) {
      if (counter == -300) {
        setGear(m, a, 0);
      }
      block.altitudeFeet += climb;
      if (counter < -300 && block.pitchRadians <= a.base.climbPitchRadians) {
        mo.pitchRateRadians = 0.0;
        if (mo.heightAboveGroundFeet >= kClimbOutThrottleHeightFeet) {
          engine.setThrottle(a, isRotorcraft(a) ? 4 : 3);
          setPhase(a, FlightPhase::flying);
          counter = 1;
          return;
        }
      }
    }
  }
  counter = std::max(counter - 1, kLowestTakeOffStep);
}

void flareStep(MotionContext& m, LiveAc& a) {
  LiveMotion& mo = a.motion;
  const double cg = a.base.staticCgHeightFeet;
  const double height = mo.heightAboveGroundFeet;
  switch (mo.verticalProfileStage) {
    case 0: {
      TrafficEngine& engine = m.eng();
      mo.referenceElevationValid = engine.parkAirportSet();
      mo.referenceElevationFeet = engine.parkElevationFeet();
      const double overReference =
          mo.referenceElevationValid ? a.position.altitudeFeet - mo.referenceElevationFeet : height;
      if (std::min(overReference, height) <= cg + 30.0) {
        const double steps = std::max<double>(a.base.flareSteps, 1.0);
        mo.pitchRateRadians = (kFlareFloorPitchRadians - a.position.pitchRadians) / steps;
        mo.climbPerTickFeet = -0.1;
        a.path.front().verticalSpeedFpm = -601.0;
        mo.verticalProfileStage = 1;
      }
      break;
    }
    case 1:
      if (height <= cg + 20.0) {
        mo.climbPerTickFeet = -0.075;
        a.path.front().verticalSpeedFpm = -450.0;
        mo.referenceElevationValid = false;
        mo.verticalProfileStage = 2;
      }
      break;
    case 2:
      if (height <= cg + 10.0) {
        if (a.throttleIndex != 0) {
          m.eng().setThrottle(a, 0);
        }
        mo.climbPerTickFeet = -0.05;
        a.path.front().verticalSpeedFpm = -300.0;
        mo.verticalProfileStage = 3;
      }
      break;
    case 3:
      if (height <= cg + 3.0) {
        mo.climbPerTickFeet = -0.025;
        a.path.front().verticalSpeedFpm = -150.0;
        mo.verticalProfileStage = 4;
      }
      break;
    default:
      break;
  }
}

void onGroundSlots(MotionContext& m, LiveAc& a) {
  LiveMotion& mo = a.motion;
  mo.noseLowering = true;
  mo.landingRoll = true;
  mo.touchdownHeadingRadians = a.position.headingRadians;
  mo.approach = false;
  mo.landed = true;
  setSpoilers(m, a, 16383);
  const bool reverses = !isRotorcraft(a);
  setLevers(m, a, true, reverses);
  const std::uint32_t steps = a.base.noseLoweringSteps;
  if (steps > 0) {
    mo.bankRateRadians = -a.position.bankRadians / static_cast<double>(steps);
    mo.pitchRateRadians = (a.base.restPitchRadians - a.position.pitchRadians) / static_cast<double>(steps);
  } else {
    gf_logLine(fmt::format("{} ! onGround slots {:.1f}", a.base.identity.callsign, static_cast<double>(steps)));
    mo.pitchRateRadians = a.base.restPitchRadians;
    mo.bankRateRadians = 0.0;
  }
  if (m.parking.queueIdentityCheck) {
    m.parking.queueIdentityCheck(a.base.key);
  }
}

}  // namespace crv
