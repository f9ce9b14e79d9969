#include <algorithm>
#include <cmath>
#include <cstddef>
#include <exception>
#include <optional>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "simlink/sim_ids.h"
#include "traffic/motion/live_motion.h"
#include "traffic/motion/motion_support.h"
#include "traffic/record_labels.h"
#include "traffic/traffic_engine.h"

namespace crv {

using namespace motion;

namespace {

constexpr std::size_t kLongestPath = 200;
constexpr std::size_t kMostStandRecordsWaiting = 64;
// A record whose nose turns less than this from the aircraft's heading
// shows no side for the push back to turn to.
constexpr double kPushbackSideDegrees = 5.0;
// Records closer together than this show no way that the aircraft moves.
constexpr double kRecordMovedMeters = 1.0;
// A new point closer than this to the last one is no movement on the ground.
constexpr double kStandingStillDegrees = 0.00015;
constexpr double kTakeOffRollSpeedKnots = 43.0;
constexpr double kFastRollKnots = 50.0;
constexpr double kSlowRollKnots = 30.0;
constexpr double kLandingSpeedCapKnots = 40.0;
constexpr std::int64_t kRecentMovementTicks = 1500;
constexpr double kRecentMovementNm = 0.011879049676025918;  // 22 m
constexpr std::size_t kMovementLookBack = 5;
constexpr double kTurnAwayDegrees = 100.0;
constexpr double kLandingTurnAwayDegrees = 90.0;
constexpr double kLandingTurnBackDegrees = 150.0;
constexpr double kPushedBackSpanFactor = 2.75;
constexpr double kPushedBackFarSpanFactor = 6.0;
constexpr double kCabinHeightFeet = 2000.0;
constexpr double kHighLightsAltitudeFeet = 10000.0;

bool isFinite(const PathPoint& p) {
  return std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::isfinite(p.altitudeFeet) &&
         std::isfinite(p.speedKnots) && std::isfinite(p.trackDegrees) && std::isfinite(p.verticalSpeedFpm) &&
         std::isfinite(p.trueAirspeedKnots) && std::isfinite(p.bankRadians) && std::isfinite(p.trueHeadingRadians);
}

bool isFinite(const AiPositionBlock& b) {
  return std::isfinite(b.latitude) && std::isfinite(b.longitude) && std::isfinite(b.pitchRadians) &&
         std::isfinite(b.bankRadians) && std::isfinite(b.headingRadians) && std::isfinite(b.altitudeFeet) &&
         std::isfinite(b.verticalSpeedFps) && std::isfinite(b.trueAirspeedKnots);
}

std::string aircraftLine(const LiveAc& a) { return formatRecordLine(a.base.identity); }

// Every rate of the leg back to rest: the aircraft stands where it is until
// its next point falls due.
void stopInPlace(LiveAc& a) {
  LiveMotion& mo = a.motion;
  mo.latitudeRate = 0.0;
  mo.longitudeRate = 0.0;
  mo.headingRateRadians = 0.0;
  mo.bankRateRadians = 0.0;
  mo.pitchRateRadians = 0.0;
  mo.climbPerTickFeet = 0.0;
  mo.curve = CurveState{};
  mo.turnFirst = false;
}

void endHold(LiveAc& a) {
  a.motion.holding = false;
  a.motion.holdStartTick = 0;
}

// The touch and go of decodeExisting: the aircraft rolls out of a landing
// straight into a new take-off.
void touchAndGo(MotionContext& m, LiveAc& a) {
  setPhase(a, FlightPhase::taxi);
  LiveMotion& mo = a.motion;
  mo.takeOffRoll = true;
  m.eng().setThrottle(a, 3);
  setSpoilers(m, a, 16383);
  m.eng().setFlaps(a, 1);
  mo.approach = false;
  mo.landed = false;
  mo.cleanedUp = false;
  setLights(m, a, LightSwitches{1, 1, 1, 1, 1, 1, 0});
  mo.earliestAdvanceTicks = kWideAdvanceTicks;
  mo.latestDelayTicks = kTakeOffRollDelayTicks;
}

// When an aircraft `distanceNm` from `p` must set off to reach it at its
// recorded speed as it falls due.
std::int64_t setOffTickFor(double distanceNm, const PathPoint& p) {
  return p.dueTick - ticksForDistance(distanceNm, p.speedKnots);
}

// The standing points dropped after a movement still tell that the aircraft
// stood: it waits where its movement ended until it must set off to reach
// the new point at that point's recorded speed, instead of creeping there
// all the time it stood. Points that only repeated a position while the
// aircraft moved on ask for no wait: the distance takes the time at that
// speed.
void standUntilSettingOff(LivePath& path, const PathPoint& p) {
  const PathPoint& last = path.back();
  if (p.speedKnots <= 0.0) {
    return;
  }
  const std::int64_t setOffTick = setOffTickFor(distanceNm(last, p), p);
  if (setOffTick <= last.dueTick) {
    return;
  }
  PathPoint standing = last;
  standing.dueTick = setOffTick;
  standing.speedKnots = 0.0;
  standing.stationary = true;
  path.push_back(standing);
}

// A ground point after a stationary last point: a path of standing points
// shrinks to one; a moving point drops the standing points that trail a
// recent movement, and the aircraft stands where that movement ended only
// as long as the new point's speed leaves it.
void trimStandingTail(LiveAc& a, const PathPoint& p) {
  LivePath& path = a.path;
  const bool anyMoving = std::any_of(path.begin(), path.end(), [](const PathPoint& q) { return !q.stationary; });
  if (p.stationary) {
    if (!anyMoving && path.size() > 1) {
      path.resize(1);
    }
    return;
  }
  if (path.size() < 3) {
    return;
  }
  const std::size_t secondLast = path.size() - 2;
  const std::size_t lowest = secondLast + 1 > kMovementLookBack ? secondLast + 1 - kMovementLookBack : 0;
  for (std::size_t i = secondLast + 1; i-- > lowest;) {
    if (path[i].stationary) {
      continue;
    }
    if (path.back().dueTick - path[i].dueTick < kRecentMovementTicks ||
        distanceNm(path[i], p) <= kRecentMovementNm) {
      path.resize(i + 1);
      standUntilSettingOff(path, p);
    }
    return;
  }
}

// An airborne aircraft becomes active some time after its points fell due
// (creations are paced, one at a time). It starts where its track says it is
// now: the points it should have passed already are dropped, and the latest
// one due is moved along the leg to the next by the time gone since it fell
// due, instead of racing through them to catch up or starting as late as it
// was bound. The object was created a moment ago, so the first position
// update that puts it there is no visible jump.
void skipPassedAirPoints(MotionContext& m, LiveAc& a) {
  const std::int64_t now = m.eng().tick();
  LivePath& path = a.path;
  if (path.empty() || !path.front().airborne) {
    return;
  }
  std::size_t passed = 0;
  while (passed + 1 < path.size() && path[passed + 1].airborne && path[passed + 1].dueTick <= now) {
    ++passed;
  }
  path.erase(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(passed));
  PathPoint& front = path.front();
  if (path.size() >= 2 && path[1].airborne && !path[1].stationary && front.dueTick < now &&
      path[1].dueTick > front.dueTick) {
    const PathPoint& next = path[1];
    const double fraction =
        static_cast<double>(now - front.dueTick) / static_cast<double>(next.dueTick - front.dueTick);
    front.latitude += (next.latitude - front.latitude) * fraction;
    front.longitude += (next.longitude - front.longitude) * fraction;
    front.altitudeFeet += (next.altitudeFeet - front.altitudeFeet) * fraction;
    front.dueTick = now;
  } else if (passed == 0) {
    return;
  }
  a.position.latitude = front.latitude;
  a.position.longitude = front.longitude;
  a.position.altitudeFeet = front.altitudeFeet;
}

// How far the nose of an aircraft pushing back has turned from its heading
// by a record, to the right when above 0; none when the record shows no
// side. The record's true heading is the nose's, and on the ground so is its
// track, unless the record lies the way that track points from the record
// before it: such a track is the way the aircraft moves, tail first, and
// the nose points the other way.
std::optional<double> pushbackTurnShown(const LiveAc& a, const PathPoint& p) {
  std::optional<double> nose = recordedNoseRadians(p);
  if (!nose) {
    return std::nullopt;
  }
  const GeoPoint before{a.motion.lastRecordLatitude, a.motion.lastRecordLongitude};
  if (!p.headingValid && std::isfinite(before.latitude) &&
      gf_distanceNm(before, pointOf(p)) * kMetersPerNm >= kRecordMovedMeters &&
      std::fabs(normalizedAngle(gf_bearing(before, pointOf(p)) - *nose)) < kPi / 2.0) {
    *nose += kPi;
  }
  const double turn = normalizedAngle(*nose - a.position.headingRadians);
  if (std::fabs(turn) < kPushbackSideDegrees * kDegreesToRadians) {
    return std::nullopt;
  }
  return turn;
}

// A record closer to the last point than the standing-still margin is
// noise around a standing aircraft, unless it moved the way its track
// points, nose or tail first: a push back at 3 kt or a taxi setting off,
// reported every few seconds, moves less than the margin between records.
bool movedAsReported(const PathPoint& last, const PathPoint& p) {
  constexpr double kLeastMoveMeters = 3.0;
  constexpr double kAlongTrackRadians = 45.0 * kDegreesToRadians;
  const std::optional<double> nose = recordedNoseRadians(p);
  if (p.speedKnots <= 0.0 || !nose || distanceNm(last, p) * kMetersPerNm < kLeastMoveMeters) {
    return false;
  }
  const double off = std::fabs(normalizedAngle(gf_bearing(pointOf(last), pointOf(p)) - *nose));
  return off <= kAlongTrackRadians || off >= kPi - kAlongTrackRadians;
}

// A ground record far from where the aircraft holds but within what its
// speed covers between two records of a sparse feed: the aircraft set off,
// as on a take-off roll from a holding point reported every 15 s.
bool reachedFromHold(const LiveAc& a, const PathPoint& p) {
  constexpr double kLongestRecordGapHours = 20.0 / 3600.0;
  return !p.airborne && distanceNm(a.path.front(), p) <= p.speedKnots * kLongestRecordGapHours;
}

// A pushed-back aircraft stands where it is until it must set off, at the
// record's speed, to reach the first record that shows it taxiing when that
// record falls due.
void waitForTaxiRecord(LiveAc& a, const PathPoint& p) {
  PathPoint& front = a.path.front();
  if (p.speedKnots <= 0.0) {
    return;
  }
  const std::int64_t setOffTick = setOffTickFor(gf_distanceNm(pointOf(a.position), pointOf(p)), p);
  if (setOffTick > front.dueTick) {
    front.dueTick = setOffTick;
    front.latitude = a.position.latitude;
    front.longitude = a.position.longitude;
    front.stationary = true;
  }
}

// The records that came while the aircraft waited to leave its stand are
// offered once it has begun to leave.
void offerWaitingStandRecords(MotionContext& m, LiveAc& a) {
  std::vector<PathPoint> waiting;
  waiting.swap(a.motion.standRecordsWaiting);
  a.motion.standRecordsPending = false;
  for (PathPoint& p : waiting) {
    decodeExisting(m, a, p);
    if (a.state != SimState::active) {
      return;
    }
  }
}

}  // namespace

void resetAdvanceAndDelay(LiveAc& a) {
  a.motion.earliestAdvanceTicks = kWideAdvanceTicks;
  a.motion.latestDelayTicks = a.motion.takeOffRoll ? kTakeOffRollDelayTicks : kWideAdvanceTicks;
}

void shrinkAdvanceAndDelay(LiveAc& a) {
  LiveMotion& mo = a.motion;
  mo.earliestAdvanceTicks = std::max(mo.earliestAdvanceTicks - 100, kNarrowestAdvanceTicks);
  mo.latestDelayTicks = std::max(mo.latestDelayTicks - 100, kNarrowestAdvanceTicks);
}

void stopGeneratedLegs(MotionContext& m, LiveAc& a) {
  if (!a.path.empty()) {
    a.path.front().dueTick = m.eng().tick() + 1;
  }
  a.generatedLegs = 0;
  resetAdvanceAndDelay(a);
}

void advanceLiveAc(MotionContext& m, LiveAc& a) {
  const AiPositionBlock lastGood = a.position;
  try {
    if (a.phase != FlightPhase::parked && a.motion.standRecordsPending) {
      offerWaitingStandRecords(m, a);
    }
    if (m.eng().tick() >= a.path.frontDueTick()) {
      nextPosMain(m, a);
      a.position.verticalSpeedFps = a.motion.verticalSpeedFpm / 60.0;
      const bool standing = !a.path.empty() && a.path.frontStationary();
      a.position.trueAirspeedKnots = standing ? 0.0 : a.motion.trueAirspeedKnots;
    }
    if (a.state != SimState::active) {
      return;
    }
    if (a.phase == FlightPhase::parked && a.motion.standRecordsPending && !a.motion.leavingStand) {
      // Heard before it was active on the stand it was created on: they
      // tell whether it rests there and when it sets off, not that the feed
      // still reports it there.
      const bool reached = a.motion.standReached;
      const std::int64_t lastApproachTick = a.motion.standLastApproachTick;
      offerWaitingStandRecords(m, a);
      a.motion.standReached = reached;
      a.motion.standLastApproachTick = lastApproachTick;
      if (a.state != SimState::active) {
        return;
      }
    }
    if (!a.path.empty() && !a.path.frontStationary()) {
      followCurve(m, a);
    }
  } catch (const std::exception& error) {
    // One line per aircraft, however often its step fails; it leaves.
    if (!a.motion.stepFaultLogged) {
      a.motion.stepFaultLogged = true;
      gf_logWarning(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "updateLiveAc", error.what(), aircraftLine(a),
                                a.path.size(), phaseName(a.phase), simStateName(a.state)));
    }
    a.position = lastGood;
    m.eng().removeAircraftFromSim(a);
    return;
  }
  if (!isFinite(a.position)) {
    if (!a.motion.nonFiniteLogged) {
      a.motion.nonFiniteLogged = true;
      gf_logWarning(fmt::format("{}: {} position not a number, leg dropped, sz:{}, fs:{}", "updateLiveAc",
                                aircraftLine(a), a.path.size(), phaseName(a.phase)));
    }
    a.position = lastGood;
    stopInPlace(a);
  }
}

void nextPosMain(MotionContext& m, LiveAc& a) {
  try {
    for (;;) {
      if (a.path.size() >= 2) {
        if (a.onGround || !a.path[1].stationary || isRotorcraft(a)) {
          moveAc(m, a);
          return;
        }
        a.path.erase(a.path.begin() + 1);
        continue;
      }
      std::string whyNot;
      if (extendPath(m, a, &whyNot)) {
        continue;
      }
      if (a.state != SimState::active) {
        return;
      }
      if (a.phase != FlightPhase::parked) {
        learnSoftStand(m, a, a.phase != FlightPhase::flying);
      }
      m.eng().removeAircraftFromSim(a, whyNot);
      return;
    }
  } catch (const std::exception& error) {
    gf_logLine(fmtNextPosMain(a.path.size(), error.what(), aircraftLine(a), phaseName(a.phase),
                              simStateName(a.state)));
    throw;
  }
}

void moveAc(MotionContext& m, LiveAc& a) {
  LiveMotion& mo = a.motion;
  const std::int64_t now = m.eng().tick();
  mo.curve = CurveState{};
  {
    PathPoint& next = a.path[1];
    if (!next.stationary && samePosition(a.path[0], next)) {
      next.stationary = true;
    }
    if (!next.stationary) {
      mo.legBearingRadians = gf_bearing(pointOf(a.path[0]), pointOf(next));
    }
  }
  if (a.onGround) {
    nextPosGround(m, a);
  } else {
    airStep(m, a);
  }
  if (a.path.size() < 2 || a.state != SimState::active) {
    return;
  }
  // Every leg lasts at least 25 ticks, however late its point is.
  PathPoint& next = a.path[1];
  next.dueTick = std::max(next.dueTick, now + kMinimumLegTicks);
  if (next.stationary) {
    mo.latitudeRate = 0.0;
    mo.longitudeRate = 0.0;
    if (!mo.takeOffRoll && !mo.landingRoll) {
      shrinkAdvanceAndDelay(a);
    }
  } else {
    const auto ticks = static_cast<double>(next.dueTick - now);
    mo.latitudeRate = (next.latitude - a.position.latitude) / ticks;
    mo.longitudeRate = (next.longitude - a.position.longitude) / ticks;
    if (a.onGround) {
      groundConfigStep(m, a);
    } else {
      flyVerticalProfile(m, a);
    }
  }
  a.path.pop_front();
}

void retimeNextPoint(MotionContext& m, LiveAc& a, std::int64_t ticks) {
  if (a.path.size() < 2 || a.generatedLegs >= 1) {
    return;
  }
  const std::int64_t now = m.eng().tick();
  PathPoint& next = a.path[1];
  std::int64_t target = now + ticks;
  if (target > next.dueTick + a.motion.latestDelayTicks) {
    target = next.dueTick + a.motion.latestDelayTicks;
  } else {
    target = std::max(target, next.dueTick - a.motion.earliestAdvanceTicks);
  }
  next.dueTick = std::max(target, now);
}

void decodeExisting(MotionContext& m, LiveAc& a, PathPoint& p) {
  TrafficEngine& engine = m.eng();
  try {
    if (!isFinite(p)) {
      if (!a.motion.nonFiniteLogged) {
        a.motion.nonFiniteLogged = true;
        gf_logWarning(fmt::format("{}: {} point not a number, dropped", "decodeExisting", aircraftLine(a)));
      }
      return;
    }
    if (a.path.size() > kLongestPath) {
      engine.removeAircraftFromSim(a, fmt::format("its path holds {} points (limit {})", a.path.size(), kLongestPath));
      return;
    }
    if (a.motion.holding && !a.path.empty()) {
      const double fromHoldMeters = distanceNm(a.path.front(), p) * kMetersPerNm;
      const auto limitMeters = par_HOLDING_THRESHOLD_METERS.value();
      if (fromHoldMeters > limitMeters && !reachedFromHold(a, p)) {
        endHold(a);
        engine.removeAircraftFromSim(
            a, fmt::format("a record {:.0f} m from its holding point (limit {} m)", fromHoldMeters, limitMeters));
        return;
      }
    }
    if (a.phase == FlightPhase::birth) {
      if (!p.airborne) {
        holdRecordHeardBeforeActive(a, p);
      }
      if (!a.path.empty() && acceptPoint(m, a, p)) {
        p.dueTick = std::max(p.dueTick, a.path.back().dueTick + 1);
        a.path.push_back(p);
      }
      return;
    }
    if (keepsRecordsHeardBeforeActive(a)) {
      holdRecordHeardBeforeActive(a, p);
      return;
    }
    if (a.phase == FlightPhase::parked && a.motion.leavingStand && a.motion.standLeaveTick > engine.tick()) {
      // It leaves its stand when the recorded aircraft did; the records that
      // come meanwhile wait for the push back or the pull out to begin.
      if (a.motion.standRecordsWaiting.size() < kMostStandRecordsWaiting) {
        a.motion.standRecordsWaiting.push_back(p);
        a.motion.standRecordsPending = true;
      }
      return;
    }
    if (a.path.empty()) {
      return;
    }
    const GeoPoint place = pointOf(p);
    const bool extends = checkExtendingSituations(m, a, p);
    a.motion.lastRecordLatitude = place.latitude;
    a.motion.lastRecordLongitude = place.longitude;
    if (!extends) {
      return;
    }
    if (!p.airborne && a.path.back().stationary) {
      trimStandingTail(a, p);
    }
    p.dueTick = std::max(p.dueTick, a.path.back().dueTick + 1);
    LiveMotion& mo = a.motion;
    const PathPoint& last = a.path.back();
    if (a.onGround && a.state == SimState::active && !mo.takeOffRoll) {
      if (mo.landingRoll && last.airborne && p.airborne) {
        touchAndGo(m, a);
      } else if (!mo.landingRoll && a.phase == FlightPhase::taxi &&
                 (p.airborne ||
                  (p.speedKnots >= kTakeOffRollSpeedKnots && last.speedKnots >= kTakeOffRollSpeedKnots))) {
        startTakeoff(m, a);
      }
    }
    a.path.push_back(p);
    if (a.path.size() == 2 && a.path[0].stationary && a.path[1].stationary) {
      a.path[0].dueTick = engine.tick() + 1;
      a.path[0].speedKnots = a.path[1].speedKnots;
    }
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("{} exception {}", "decodeExisting", error.what()));
    throw;
  }
}

bool acceptPoint(MotionContext& /*m*/, LiveAc& a, PathPoint& p) {
  const PathPoint& last = a.path.back();
  p.stationary = samePosition(last, p);
  if (isRotorcraft(a)) {
    return true;
  }
  const bool flyingNow = a.state == SimState::active && !a.onGround;
  const bool takeOffRoll = a.motion.takeOffRoll;
  if (!p.stationary) {
    if (std::fabs(p.latitude - last.latitude) < kStandingStillDegrees &&
        std::fabs(p.longitude - last.longitude) < kStandingStillDegrees && !movedAsReported(last, p)) {
      if (p.airborne || flyingNow) {
        return false;
      }
      if (takeOffRoll && p.speedKnots > 0.0 && last.speedKnots >= kFastRollKnots) {
        return false;
      }
      const std::int64_t due = p.dueTick;
      p = last;
      p.dueTick = due;
      p.speedKnots = 0.0;
      p.stationary = true;
      return true;
    }
    if (p.speedKnots != 0.0) {
      return true;
    }
    return !((takeOffRoll || p.airborne) && last.speedKnots >= kFastRollKnots);
  }
  if (p.airborne || flyingNow) {
    return false;
  }
  if (takeOffRoll && p.speedKnots > 0.0 && last.speedKnots >= kSlowRollKnots) {
    return false;
  }
  p.speedKnots = 0.0;
  return true;
}

bool checkExtendingSituations(MotionContext& m, LiveAc& a, PathPoint& p) {
  LiveMotion& mo = a.motion;
  switch (a.phase) {
    case FlightPhase::parking:
    case FlightPhase::parked:
      if (a.state >= SimState::active && m.parking.checkStandApproach) {
        return m.parking.checkStandApproach(a, p);
      }
      return false;
    case FlightPhase::pushing_back:
      if (!par_STRAIGHT_PBS_ONLY.value() && mo.pushbackState == 2) {
        if (const std::optional<double> turn = pushbackTurnShown(a, p)) {
          mo.pushbackDirection = *turn > 0.0;
          mo.pushbackDirectionKnown = true;
        }
      }
      return false;
    case FlightPhase::pushed_back: {
      const double d = gf_distanceNm(pointOf(a.position), pointOf(p));
      const double halfSpan = a.base.halfSpanNm;
      const bool moved = (d > kPushedBackSpanFactor * halfSpan && d > mo.pushedBackDistanceNm) ||
                         d > kPushedBackFarSpanFactor * halfSpan;
      if (!moved) {
        if (!mo.holding) {
          mo.holding = true;
          mo.holdStartTick = m.eng().tick();
        }
        mo.pushedBackDistanceNm = d;
        return false;
      }
      p.stationary = false;
      stopGeneratedLegs(m, a);
      waitForTaxiRecord(a, p);
      mo.pushbackDirection = false;
      mo.pushbackDirectionKnown = false;
      setPhase(a, FlightPhase::taxi);
      releaseStand(m, a);
      endHold(a);
      return true;
    }
    default:
      break;
  }
  if (mo.approach || mo.landingRoll) {
    return checkNewPosDuringLanding(m, a, p);
  }
  if (!acceptPoint(m, a, p)) {
    return false;
  }
  if (a.generatedLegs > 0) {
    if (!a.onGround) {
      const double turn = normalizedAngle(gf_bearing(pointOf(a.path.back()), pointOf(p)) - a.position.headingRadians);
      if (std::fabs(degreesOf(turn)) >= kTurnAwayDegrees) {
        return false;
      }
    }
    stopGeneratedLegs(m, a);
    endHold(a);
  }
  return true;
}

bool checkNewPosDuringLanding(MotionContext& m, LiveAc& a, PathPoint& p) {
  LivePath& path = a.path;
  if (path.empty()) {
    gf_logLine(fmt::format("{} empty sz?", "checkNewPosDuringLanding"));
    return false;
  }
  if (samePosition(path.back(), p)) {
    return false;
  }
  const double heading = a.position.headingRadians;
  auto turnFrom = [&](const PathPoint& from) {
    return std::fabs(degreesOf(normalizedAngle(gf_bearing(pointOf(from), pointOf(p)) - heading)));
  };
  if (path.size() == 1) {
    const double turn = turnFrom(path.front());
    if (a.motion.approach) {
      if (turn >= kLandingTurnAwayDegrees) {
        return false;
      }
    } else if (turn >= kLandingTurnBackDegrees) {
      if (a.generatedLegs > 0) {
        return false;
      }
      PathPoint here = path.front();
      here.latitude = a.position.latitude;
      here.longitude = a.position.longitude;
      here.dueTick = m.eng().tick() + 1;
      path.front() = here;
    }
  } else {
    const bool longPath = path.size() >= 3;
    if (turnFrom(path.back()) >= kLandingTurnAwayDegrees) {
      path.pop_back();
      if (longPath && path.size() >= 2 && turnFrom(path.back()) >= kLandingTurnAwayDegrees) {
        path.pop_back();
      }
    }
  }
  a.generatedLegs = 0;
  resetAdvanceAndDelay(a);
  const PathPoint& last = path.back();
  if (samePosition(last, p)) {
    p.stationary = true;
    return true;
  }
  p.stationary = false;
  if (p.speedKnots > last.speedKnots && p.speedKnots > kLandingSpeedCapKnots) {
    p.speedKnots = last.speedKnots;
  }
  return true;
}

void configureActiveAircraft(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  const bool airborne = !a.path.empty() && a.path.front().airborne;
  if (airborne) {
    skipPassedAirPoints(m, a);
    engineAutoStart(m, a);
    setSpoilers(m, a, 0);
    const bool low = a.position.altitudeFeet <= kHighLightsAltitudeFeet;
    LightSwitches lights;
    lights.nav = 1;
    lights.beacon = 1;
    lights.landing = low ? 1 : 0;
    lights.strobes = 1;
    lights.logo = low ? 1 : 0;
    lights.cabin = a.motion.heightAboveGroundFeet >= kCabinHeightFeet ? 1 : 0;
    setLights(m, a, lights);
  } else {
    setSpoilers(m, a, 0);
    const bool parked = a.phase == FlightPhase::parked;
    LightSwitches lights;
    if (parked) {
      sendEvent(m, a, toId(ClientEventId::EngineAutoShutdown), 0);
      lights.nav = par_NAV_LIGHTS_WHILE_PARKED.value() ? 1 : 0;
    } else {
      engineAutoStart(m, a);
      lights.nav = 1;
    }
    lights.beacon = parked ? 0 : 1;
    lights.taxi = a.phase == FlightPhase::taxi ? 1 : 0;
    lights.logo = 1;
    lights.cabin = 1;
    setLights(m, a, lights);
    engine.setThrottle(a, idleThrottleIndex(a));
    engine.setFlaps(a, a.phase == FlightPhase::taxi ? 1 : 0);
  }
  a.state = SimState::active;
}

}  // namespace crv
