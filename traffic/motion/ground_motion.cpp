#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "simlink/sim_ids.h"
#include "traffic/motion/curve_length.h"
#include "traffic/motion/live_motion.h"
#include "traffic/motion/motion_support.h"
#include "traffic/record_labels.h"
#include "traffic/traffic_engine.h"

namespace crv {

using namespace motion;

namespace {

constexpr double kSplitTurnDegrees = 45.0;
constexpr double kSplitLegNm = 0.02699784017278618;  // 50 m
constexpr double kSplitSpeedKnots = 43.0;
constexpr std::int64_t kSplitLegTicks = 600;
constexpr double kCurveTurnDegrees = 3.0;
constexpr double kLargestCurveDegrees = 160.0;
constexpr double kTurnFirstDegrees = 3.0;
constexpr double kSpeedSplitKnots = 5.0;
constexpr double kSpeedSplitLegMeters = 100.0;
constexpr double kParkingSpeedKnots = 5.0;
constexpr double kParkingReachNm = 0.018898488120950324;  // 35 m
constexpr double kHeadingToleranceRadians = 0.5 * kDegreesToRadians;
constexpr double kLastCurveParameter = 0.999999;
constexpr double kLiftOffSpeedKnots = 43.0;
constexpr double kSteepLiftOffFpm = 256.0;
constexpr double kTurnedOffRunwayDegrees = 15.0;
constexpr double kSlowLandingRollKnots = 90.0;
constexpr double kPushbackStandRadii = 2.5;
constexpr double kPullOutHalfSpans = 2.0;
constexpr double kPushbackTurnDegrees = 90.0;
constexpr double kFlareFloorPitchRadians = -0.06981317007977318;  // 4 degrees nose up
constexpr double kMaxHeightForFlareFeet = 400.0;
constexpr double kSmallTurnDegrees = 45.0;
constexpr double kSmallTurnRatio = 1.2;
constexpr double kTurnScaleMeters = 30.0;
constexpr double kSharpTurnDegrees = 90.0;
constexpr std::int32_t kSharpTurnAdvanceTicks = 2000;
// How much faster than its records' positions show a late aircraft may taxi
// to catch up.
constexpr double kCatchUpSpeedFactor = 1.2;
// A roll runs at most a fifth and a few knots above its faster record: its
// records' positions are only as good as their due times.
constexpr double kRollAboveRecordsFactor = 1.2;
constexpr double kRollAboveRecordsKnots = 5.0;
// A taxi runs at most twice and a few knots above its faster record: surface
// speeds of real feeds may report little more than half the movement.
constexpr double kTaxiAboveRecordsFactor = 2.0;
constexpr double kTaxiAboveRecordsKnots = 5.0;
// No ground turn, however short its leg, swings the nose faster than this
// many times the base turn rate.
constexpr double kFastestTurnRateFactor = 2.0;

double northMeters(double latitude, double originLatitude) {
  return (latitude - originLatitude) * kMetersPerDegreeLatitude;
}

double eastMeters(double longitude, double originLongitude, double originLatitude) {
  return (longitude - originLongitude) * kMetersPerDegreeLatitude * std::cos(originLatitude * kDegreesToRadians);
}

// The heading turns by the current turn rate towards the target, the
// shorter way, unless it is within half a degree of it.
void turnTowards(LiveAc& a, double targetRadians) {
  double& heading = a.position.headingRadians;
  const double difference = normalizedAngle(targetRadians - heading);
  if (std::fabs(difference) <= kHeadingToleranceRadians) {
    return;
  }
  const double step = std::min(std::fabs(difference), a.base.turnRateRadians);
  heading = normalizedHeading(heading + std::copysign(step, difference));
}

// Where the nose turns to on a straight leg: along the leg, or on a leg
// driven tail first to the nose its records show.
double legHeadingTarget(const LiveMotion& mo) { return mo.tailFirst ? mo.tailFirstNoseRadians : mo.legBearingRadians; }

double headingErrorDegrees(const LiveAc& a) {
  return std::fabs(degreesOf(normalizedAngle(legHeadingTarget(a.motion) - a.position.headingRadians)));
}

// A leg whose records show the aircraft moving against its nose is driven
// tail first, facing that nose; no curve is built for it.
bool startTailFirstLeg(LiveAc& a) {
  LiveMotion& mo = a.motion;
  const PathPoint& next = a.path[1];
  mo.tailFirst = reachedTailFirst(next, mo.legBearingRadians);
  if (mo.tailFirst) {
    mo.tailFirstNoseRadians = *recordedNoseRadians(next);
  }
  return mo.tailFirst;
}

bool standsLoaded(MotionContext& m) {
  const StandTable* stands = m.eng().standTable();
  return m.eng().parkAirportSet() && stands != nullptr && !stands->empty();
}

// A stop ends when its point falls due, however late the aircraft arrived,
// so that a stop takes up what lag it gathered; a generated stop keeps its
// length.
void stationaryLegTiming(MotionContext& m, LiveAc& a) {
  const std::int64_t now = m.eng().tick();
  const PathPoint& front = a.path[0];
  PathPoint& next = a.path[1];
  std::int64_t target = next.dueTick;
  if (a.generatedLegs >= 1) {
    target = front.dueTick + std::max(next.dueTick - front.dueTick, kMinimumLegTicks);
  }
  target = std::max(target, now + kMinimumLegTicks);
  if (a.generatedLegs < 1) {
    target = std::clamp(target, next.dueTick - a.motion.earliestAdvanceTicks, next.dueTick + a.motion.latestDelayTicks);
  }
  next.dueTick = std::max(target, now);
}

// The speed that covers the metres in the ticks; no time at all asks for
// more than any speed.
double knotsOver(double meters, double ticks) {
  return ticks > 0.0 ? meters / kMetersPerNm * kTicksPerHour / ticks : std::numeric_limits<double>::infinity();
}

// The recorded speed of a ground leg: the faster of its two records, or,
// when neither reports one, what their positions show.
double recordedLegKnots(const LiveAc& a) {
  return std::max({a.path[0].speedKnots, a.path[1].speedKnots, legSpeed(a)});
}

// The landing roll is over once the aircraft has turned off the runway.
bool turnedOffRunway(const LiveAc& a) {
  const double turned =
      std::fabs(degreesOf(normalizedAngle(a.position.headingRadians - a.motion.touchdownHeadingRadians)));
  return turned >= kTurnedOffRunwayDegrees;
}

// A leg of a take-off or landing roll. Records that report more than a taxi
// may show a take-off roll before its flag is set, but not once a landing
// roll is over: from there the aircraft taxis.
bool rollingLeg(const LiveAc& a) {
  const LiveMotion& mo = a.motion;
  if (mo.takeOffRoll || (mo.landingRoll && !turnedOffRunway(a))) {
    return true;
  }
  return !mo.landed && recordedLegKnots(a) > kTaxiMaximumKnots;
}

// The fastest a ground leg of records may run, whatever its due tick asks:
// on a roll a little above its records; on a taxi the taxi maximum, and
// not far above its records either. A leg whose records report more than a
// taxi, as a rapid exit taken at 40 kt, runs as fast as they report.
double legLimitKnots(const LiveAc& a) {
  const double recordedKnots = recordedLegKnots(a);
  if (rollingLeg(a)) {
    return recordedKnots * kRollAboveRecordsFactor + kRollAboveRecordsKnots;
  }
  return std::min(std::max(kTaxiMaximumKnots, recordedKnots),
                  recordedKnots * kTaxiAboveRecordsFactor + kTaxiAboveRecordsKnots);
}

// The tick the front point was due at by its record: a ground leg that
// ended on it late moved its due tick to when it was reached.
std::int64_t frontOwnDueTick(const LiveAc& a) {
  const PathPoint& front = a.path[0];
  const LiveMotion& mo = a.motion;
  return front.dueTick == mo.groundLegEndTick ? front.dueTick - mo.groundLegLateTicks : front.dueTick;
}

// The ticks of a moving ground leg of `distanceNm` (along its curve, when it
// has one). Timed from now by distance over the recorded speeds, a leg keeps
// whatever lag the aircraft has, and surface speeds of real feeds often
// understate the movement; instead the leg ends when its point falls due,
// at the speed the distance over the time left asks. A late aircraft so
// catches up, but while it taxis no faster than a fifth above the speed the
// records' positions show (the distance over the time between their due
// times), and never above the leg's limit: the leg then runs at that speed
// and ends as soon as it can, even past the delay window (squeezing it into
// the window would race the aircraft).
std::int64_t groundLegTicks(MotionContext& m, LiveAc& a, double distanceNm) {
  const std::int64_t now = m.eng().tick();
  const PathPoint& next = a.path[1];
  LiveMotion& mo = a.motion;
  const std::int64_t recordedTicks = std::max(next.dueTick - frontOwnDueTick(a), kMinimumLegTicks);
  double fastestKnots = distanceNm * kTicksPerHour / static_cast<double>(recordedTicks) * kCatchUpSpeedFactor;
  // A record that reports a stop comes some time after the aircraft stopped:
  // it goes on at the speed the last leg's records showed, stops there and
  // waits, instead of creeping to it all that time.
  const double lastLegKnots = a.path[0].dueTick == mo.groundLegEndTick ? mo.groundLegShownKnots : 0.0;
  const bool stops = next.speedKnots == 0.0 && lastLegKnots > 0.0;
  if (stops) {
    fastestKnots = std::max(fastestKnots, lastLegKnots * kCatchUpSpeedFactor);
  }
  // A roll's records tell its speed better than the due times do.
  fastestKnots = rollingLeg(a) ? legLimitKnots(a) : std::min(fastestKnots, legLimitKnots(a));
  // Rounded up: never a little above the limit.
  const std::int64_t fastest =
      std::max(roundTicks(std::ceil(distanceNm * kTicksPerHour / fastestKnots)), kMinimumLegTicks);
  std::int64_t ticks = std::max(next.dueTick - now, fastest);
  if (stops) {
    ticks = std::clamp(ticksForDistance(distanceNm, lastLegKnots), fastest, ticks);
  }
  mo.groundLegEndTick = now + ticks;
  mo.groundLegLateTicks = mo.groundLegEndTick - next.dueTick;
  mo.groundLegShownKnots = distanceNm * kTicksPerHour / static_cast<double>(recordedTicks);
  return ticks;
}

// Records of real feeds come at uneven times: a curve rounding a point due
// 20 s after the front point and 3 s before the end passes it at its due
// tick, not half way through the leg's time.
void timeCurveBend(LiveAc& a, std::int64_t roundedDueTick) {
  CurveState& curve = a.motion.curve;
  const std::int64_t from = frontOwnDueTick(a);
  const double legTicks = static_cast<double>(a.path[1].dueTick - from);
  const double share = static_cast<double>(roundedDueTick - from) / legTicks;
  if (!(legTicks > 0.0 && share > 0.0 && share < 1.0)) {
    return;
  }
  // The curve comes closest to its control point, the point it rounds.
  constexpr int kSamples = 64;
  double closest = 0.5;
  double closestSquare = std::numeric_limits<double>::infinity();
  for (int i = 1; i < kSamples; ++i) {
    const double t = static_cast<double>(i) / kSamples;
    const CurveOffset point = curveOffset(curve, t);
    const double square = std::pow(point.northMeters - curve.controlNorthMeters, 2) +
                          std::pow(point.eastMeters - curve.controlEastMeters, 2);
    if (square < closestSquare) {
      closestSquare = square;
      closest = t;
    }
  }
  curve.bendParameter = closest;
  curve.bendTimeShare = share;
}

// The bend is passed when its point falls due only while neither half of
// the curve then runs above the leg's limit: the due times of real feeds
// may be a second or two off their positions, and one half would race while
// the other crawls. The aircraft then rounds the whole curve at one speed.
void keepBendWithinLimit(LiveAc& a, std::int64_t legTicks) {
  CurveState& curve = a.motion.curve;
  const double share = curve.bendTimeShare;
  if (std::isnan(share)) {
    return;
  }
  const double length = curve.lengthMeters();
  const double bend = lengthAtParameter(curve, curve.bendParameter);
  const double ticks = static_cast<double>(legTicks);
  const double fasterKnots = std::max(knotsOver(bend, share * ticks), knotsOver(length - bend, (1.0 - share) * ticks));
  if (fasterKnots > legLimitKnots(a)) {
    curve.bendTimeShare = CurveState::kNone;
  }
}

// Where on the curve the aircraft is by the share of the leg's time gone:
// at the bend when the rounded point falls due, and at an even speed along
// the curve before and after it.
double pointParameter(const CurveState& curve) {
  const double u = curve.parameter;
  const double length = curve.lengthMeters();
  if (!(length > 0.0)) {
    return u;
  }
  double lengthShare = u;
  const double share = curve.bendTimeShare;
  if (!std::isnan(share)) {
    const double bend = lengthAtParameter(curve, curve.bendParameter) / length;
    lengthShare = u < share ? u / share * bend : bend + (u - share) / (1.0 - share) * (1.0 - bend);
  }
  return parameterAtLength(curve, lengthShare * length);
}

void taxiLights(MotionContext& m, const LiveAc& a) { setLights(m, a, LightSwitches{1, 1, 0, 1, 0, 1, 0}); }

// Engines on, throttle idle and flaps for the taxi out of a stand.
void readyForTaxiOut(MotionContext& m, LiveAc& a) {
  engineAutoStart(m, a);
  if (a.throttleIndex != 0) {
    m.eng().setThrottle(a, 0);
  }
  m.eng().setFlaps(a, 1);
}

double standRadiusNm(MotionContext& m, const LiveAc& a) {
  const ParkingPosition* stand = standById(m, a.standId);
  return stand != nullptr && stand->radius > 0.0 ? stand->radius : a.base.halfSpanNm;
}

}  // namespace

double turnAngle(const LiveAc& a) {
  if (a.path.size() < 3) {
    return 0.0;
  }
  return normalizedAngle(gf_bearing(pointOf(a.path[1]), pointOf(a.path[2])) - a.position.headingRadians);
}

double legSpeed(const LiveAc& a) {
  const PathPoint& front = a.path[0];
  const PathPoint& next = a.path[1];
  if (front.speedKnots == 0.0 && next.speedKnots == 0.0) {
    const double ticks = static_cast<double>(std::max(next.dueTick - front.dueTick, kMinimumLegTicks));
    return std::max(distanceNm(front, next) * kTicksPerHour / ticks, 1.0);
  }
  return (front.speedKnots + next.speedKnots) / 2.0;
}

void splitLeg(LiveAc& a) {
  const PathPoint& front = a.path[0];
  const PathPoint& next = a.path[1];
  PathPoint middle = next;
  middle.latitude = (front.latitude + next.latitude) / 2.0;
  middle.longitude = (front.longitude + next.longitude) / 2.0;
  middle.speedKnots = (front.speedKnots + next.speedKnots) / 2.0;
  middle.altitudeFeet = (front.altitudeFeet + next.altitudeFeet) / 2.0;
  middle.airborne = middle.altitudeFeet > 0.0;
  if (!middle.airborne) {
    middle.altitudeFeet = 0.0;
  }
  middle.stationary = false;
  middle.dueTick = (front.dueTick + next.dueTick + 1) / 2;
  a.path.insert(a.path.begin() + 1, middle);
}

void checkSpeedSplit(LiveAc& a) {
  const PathPoint& front = a.path[0];
  const PathPoint& next = a.path[1];
  if ((front.speedKnots > 0.0 || next.speedKnots > 0.0) &&
      std::fabs(front.speedKnots - next.speedKnots) > kSpeedSplitKnots &&
      distanceNm(front, next) * kMetersPerNm >= kSpeedSplitLegMeters) {
    splitLeg(a);
  }
}

void setupTurnCurve(LiveAc& a) {
  PathPoint& afterNext = a.path[2];
  if (afterNext.speedKnots == 0.0) {
    afterNext.speedKnots = (a.path[0].speedKnots + a.path[1].speedKnots) / 2.0;
  }
  CurveState& curve = a.motion.curve;
  curve.originLatitude = a.position.latitude;
  curve.originLongitude = a.position.longitude;
  const PathPoint& next = a.path[1];
  curve.controlNorthMeters = northMeters(next.latitude, curve.originLatitude);
  curve.controlEastMeters = eastMeters(next.longitude, curve.originLongitude, curve.originLatitude);
  curve.endNorthMeters = northMeters(afterNext.latitude, curve.originLatitude);
  curve.endEastMeters = eastMeters(afterNext.longitude, curve.originLongitude, curve.originLatitude);
  curve.parameter = 0.0;
  curve.parameterStep = 0.0;
  measureCurve(curve);
  a.path.erase(a.path.begin() + 1);
}

bool curvePointAndHeading(const CurveState& curve, GeoPoint& point, double& headingRadians, double u) {
  constexpr double kStart = 0.0;
  constexpr double kEnd = 1.0;
  if (std::isnan(curve.controlNorthMeters) || std::isnan(curve.endNorthMeters) || !(u >= kStart && u <= kEnd)) {
    return false;
  }
  const double t = (u - kStart) / (kEnd - kStart);
  if (!(t >= 0.0 && t <= 1.0)) {
    return false;
  }
  const CurveOffset offset = curveOffset(curve, t);
  point.latitude = curve.originLatitude + offset.northMeters / kMetersPerDegreeLatitude;
  point.longitude = curve.originLongitude + offset.eastMeters / (kMetersPerDegreeLatitude *
                                                                 std::cos(curve.originLatitude * kDegreesToRadians));
  const double dNorth = 2.0 * t * (curve.endNorthMeters - curve.controlNorthMeters) +
                        2.0 * (1.0 - t) * curve.controlNorthMeters;
  const double dEast =
      2.0 * t * (curve.endEastMeters - curve.controlEastMeters) + 2.0 * (1.0 - t) * curve.controlEastMeters;
  headingRadians = normalizedHeading(std::atan2(dEast, dNorth));
  return true;
}

void nextPosGround(MotionContext& m, LiveAc& a) {
  try {
    LiveMotion& mo = a.motion;
    mo.turnFirst = false;
    mo.tailFirst = false;
    switch (a.phase) {
      case FlightPhase::pushing_back:
        pushbackStep(m, a);
        break;
      case FlightPhase::parked:
        resetAdvanceAndDelay(a);
        if (mo.leavingStand) {
          const double offDegrees = std::round(degreesOf(normalizedAngle(
              gf_bearing({a.standLatitude, a.standLongitude}, pointOf(a.path.back())) - a.standHeadingRadians)));
          if (std::fabs(offDegrees) < 90.0) {
            pullOut(m, a);
          } else {
            pushbackStart(m, a);
          }
        }
        break;
      default:
        if (!a.path[1].stationary && startTailFirstLeg(a)) {
          mo.turnFirst = headingErrorDegrees(a) > kTurnFirstDegrees;
        } else if (!a.path[1].stationary) {
          if (a.path.size() >= 3 && !a.path[2].stationary) {
            const double angle = std::fabs(degreesOf(turnAngle(a)));
            const double legNm = distanceNm(a.path[0], a.path[1]);
            const std::int64_t legTicks = std::max(a.path[1].dueTick - a.path[0].dueTick, kMinimumLegTicks);
            if (angle > kSplitTurnDegrees && legNm > kSplitLegNm && a.path[0].speedKnots <= kSplitSpeedKnots &&
                legTicks >= kSplitLegTicks) {
              splitLeg(a);
            } else if (angle > kCurveTurnDegrees && angle <= kLargestCurveDegrees) {
              if (samePosition(a.path[0], a.path[2])) {
                checkSpeedSplit(a);
              } else {
                const std::int64_t roundedDueTick = a.path[1].dueTick;
                setupTurnCurve(a);
                mo.curve.turnAngleDegrees = angle;
                timeCurveBend(a, roundedDueTick);
              }
            } else {
              checkSpeedSplit(a);
            }
          } else if (a.path.size() == 2 && a.generatedLegs == 0) {
            checkSpeedSplit(a);
          }
          if (!mo.curve.running()) {
            mo.turnFirst = headingErrorDegrees(a) > kTurnFirstDegrees;
          }
        }
        break;
    }
    if (a.path.size() < 2) {
      return;
    }
    if (a.phase == FlightPhase::taxi && a.path.back().stationary && standsLoaded(m)) {
      const bool departing = !mo.towed && (a.previousPhase == FlightPhase::parked ||
                                           a.previousPhase == FlightPhase::pushing_back ||
                                           a.previousPhase == FlightPhase::pushed_back);
      if (!departing && m.parking.try2Park) {
        if (a.generatedLegs == 0) {
          if (a.path[1].speedKnots <= kParkingSpeedKnots &&
              gf_distanceNm(pointOf(a.position), pointOf(a.path.back())) <= kParkingReachNm) {
            m.parking.try2Park(a, false);
          }
        } else {
          m.parking.try2Park(a, mo.landed);
        }
      }
    }
    if (a.path.size() >= 2) {
      timeGroundLeg(m, a);
    }
  } catch (const std::exception& error) {
    gf_logLine(fmtNextPosGround(a.path.size(), error.what(), formatRecordLine(a.base.identity)));
    throw;
  }
}

void timeGroundLeg(MotionContext& m, LiveAc& a) {
  if (a.path[1].stationary) {
    stationaryLegTiming(m, a);
    return;
  }
  LiveMotion& mo = a.motion;
  double& turnRate = a.base.turnRateRadians;
  turnRate = a.base.baseTurnRateRadians;
  const double d = distanceNm(a.path[0], a.path[1]);
  const bool generated = a.generatedLegs >= 1;
  // A curve is driven along its length, longer than the way straight across.
  const double curveNm = mo.curve.running() ? mo.curve.lengthMeters() / kMetersPerNm : 0.0;
  const std::int64_t ticks = generated ? std::max(ticksForDistance(d, legSpeed(a)), kMinimumLegTicks)
                                       : groundLegTicks(m, a, curveNm > 0.0 ? curveNm : d);
  if (mo.curve.running()) {
    keepBendWithinLimit(a, ticks);
  }
  if ((mo.curve.running() || mo.turnFirst) && turnRate > 0.0) {
    const double angle = mo.turnFirst ? headingErrorDegrees(a) : mo.curve.turnAngleDegrees;
    const auto turnSteps =
        static_cast<double>(std::max<std::int64_t>(roundTicks(angle / turnRate / 100.0), 1));
    const double ratio = static_cast<double>(ticks) / turnSteps;
    if (angle <= kSmallTurnDegrees) {
      if (ratio >= kSmallTurnRatio) {
        double scale = std::min(ratio, ratio * 10.0 / angle);
        if (d > 0.0) {
          scale = std::min(scale, ratio * (kTurnScaleMeters / kMetersPerNm) / d);
        }
        // A leg with time to spare for its turn turns more gently, never
        // faster than the base rate.
        turnRate *= 1.0 / std::max(scale, 1.0);
      } else if (ratio > 0.0) {
        turnRate *= 1.0 / ratio;
      }
    } else {
      turnRate *= std::min(ratio, std::min(angle, kSharpTurnDegrees) / 30.0);
      if (angle >= kSharpTurnDegrees) {
        mo.earliestAdvanceTicks = std::max(mo.earliestAdvanceTicks, kSharpTurnAdvanceTicks);
        mo.latestDelayTicks = std::max(mo.latestDelayTicks, kSharpTurnAdvanceTicks);
      }
    }
    // The nose turns at least fast enough to finish the turn within the leg,
    // but however short the leg, no faster than an aircraft of its size can
    // turn: the position keeps to the curve while the nose catches up.
    turnRate = std::max(turnRate, angle * kDegreesToRadians / static_cast<double>(ticks));
    turnRate = std::min(turnRate, kFastestTurnRateFactor * a.base.baseTurnRateRadians);
  }
  if (generated) {
    retimeNextPoint(m, a, ticks);
  } else {
    a.path[1].dueTick = m.eng().tick() + ticks;
  }
}

void groundConfigStep(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  if (a.phase == FlightPhase::parked || a.phase == FlightPhase::flying) {
    setPhase(a, FlightPhase::taxi);
  }
  const PathPoint& front = a.path[0];
  const PathPoint& next = a.path[1];
  if (mo.takeOffRoll) {
    std::uint32_t index = 0;
    if (isRotorcraft(a) || front.speedKnots >= 25.0 || next.speedKnots >= 30.0) {
      index = 4;
    } else if (front.speedKnots >= 20.0 || next.speedKnots >= 25.0) {
      index = 2;
    } else if (front.speedKnots >= 15.0 || next.speedKnots >= 20.0) {
      index = 1;
    }
    engine.setThrottle(a, index);
  } else if (!mo.landingRoll) {
    engine.setThrottle(a, idleThrottleIndex(a));
  } else {
    landingRollStep(m, a);
  }
  if (!mo.takeOffRoll && !mo.landingRoll) {
    shrinkAdvanceAndDelay(a);
  }
  if (mo.verticalProfileStage == 0 && a.phase != FlightPhase::take_off) {
    a.position.pitchRadians = a.base.restPitchRadians;
    mo.pitchRateRadians = 0.0;
    a.position.bankRadians = 0.0;
    mo.bankRateRadians = 0.0;
  }
  const std::int64_t ticks = std::max(next.dueTick - engine.tick(), kMinimumLegTicks);
  if (mo.curve.running()) {
    mo.curve.parameterStep = 1.0 / static_cast<double>(ticks);
  }
  mo.trueAirspeedKnots = a.phase == FlightPhase::pushing_back || mo.tailFirst ? -next.speedKnots : next.speedKnots;
  if (mo.takeOffRoll && a.phase != FlightPhase::take_off && front.speedKnots >= kLiftOffSpeedKnots) {
    const auto later = a.path.begin() + 1;
    const bool anyShallow = std::any_of(later, a.path.end(),
                                        [](const PathPoint& p) { return p.verticalSpeedFpm <= kSteepLiftOffFpm; });
    if (anyShallow) {
      const bool allAirborne = std::all_of(later, a.path.end(), [](const PathPoint& p) { return p.airborne; });
      if (takeoffSpeedsAhead(a) && allAirborne) {
        mo.climbPerTickFeet = a.base.maxClimbPerTickFeet;
        liftOff(m, a);
      }
    } else {
      const bool anyOnGround = std::any_of(later, a.path.end(), [](const PathPoint& p) { return !p.airborne; });
      if (anyOnGround) {
        mo.climbPerTickFeet = a.base.maxClimbPerTickFeet;
      } else {
        mo.climbPerTickFeet = std::max(a.path[1].altitudeFeet - a.position.altitudeFeet, 0.1) /
                              static_cast<double>(ticks);
      }
      liftOff(m, a);
    }
  }
}

void followCurve(MotionContext& m, LiveAc& a) {
  LiveMotion& mo = a.motion;
  AiPositionBlock& block = a.position;
  bool moved = false;
  if (mo.curve.running()) {
    CurveState& curve = mo.curve;
    curve.parameter = std::clamp(curve.parameter + curve.parameterStep, 0.0, kLastCurveParameter);
    GeoPoint point;
    double curveHeading = 0.0;
    if (curvePointAndHeading(curve, point, curveHeading, pointParameter(curve))) {
      block.latitude = point.latitude;
      block.longitude = point.longitude;
      if (a.phase == FlightPhase::pushing_back) {
        curveHeading = normalizedHeading(curveHeading + kPi);
      }
      turnTowards(a, curveHeading);
    } else {
      gf_logLine(fmt::format("{} error in curve at index: {:.2F}", a.base.identity.callsign, curve.parameter));
    }
    moved = true;
  }
  if (!moved) {
    const FlightPhase phase = a.phase;
    if (phase == FlightPhase::take_off || phase == FlightPhase::flying || phase > FlightPhase::parking) {
      block.headingRadians = normalizedHeading(block.headingRadians + mo.headingRateRadians);
      block.latitude += mo.latitudeRate;
    } else if (phase == FlightPhase::parking || mo.turnFirst) {
      turnTowards(a, legHeadingTarget(mo));
      block.latitude += mo.latitudeRate;
    } else if (phase != FlightPhase::pushed_back) {
      block.latitude += mo.latitudeRate;
    }
    if (phase != FlightPhase::pushed_back) {
      block.longitude += mo.longitudeRate;
    }
  }
  // Vertical motion and attitude.
  if (a.phase == FlightPhase::take_off) {
    takeoffStep(m, a);
  } else {
    if (mo.heightAboveGroundFeet <= kMaxHeightForFlareFeet && mo.approach && !a.onGround) {
      flareStep(m, a);
    }
    if (mo.noseLowering) {
      block.pitchRadians += mo.pitchRateRadians;
      const double rest = a.base.restPitchRadians;
      const bool past = mo.pitchRateRadians >= 0.0 ? block.pitchRadians >= rest : block.pitchRadians <= rest;
      if (past) {
        block.pitchRadians = rest;
        mo.pitchRateRadians = 0.0;
        block.bankRadians = 0.0;
        mo.bankRateRadians = 0.0;
        mo.noseLowering = false;
        mo.verticalProfileStage = 0;
      }
      block.bankRadians += mo.bankRateRadians;
    } else if (mo.verticalProfileStage != 0) {
      block.bankRadians = normalizedAngle(block.bankRadians + mo.bankRateRadians);
      block.pitchRadians = std::max(block.pitchRadians + mo.pitchRateRadians, kFlareFloorPitchRadians);
      block.altitudeFeet += mo.climbPerTickFeet;
    } else if (a.onGround) {
      block.pitchRadians = a.base.restPitchRadians;
      block.bankRadians = 0.0;
    } else {
      const double maxBank = performanceOf(a).maxBankRadians;
      block.bankRadians = std::clamp(block.bankRadians + mo.bankRateRadians, -maxBank, maxBank);
      block.pitchRadians += mo.pitchRateRadians;
      block.altitudeFeet += mo.climbPerTickFeet;
    }
  }
  // Longitude into -180..180; a latitude beyond a pole folds back.
  if (block.longitude > 180.0) {
    block.longitude -= 360.0;
  } else if (block.longitude < -180.0) {
    block.longitude += 360.0;
  }
  if (block.latitude > 90.0 || block.latitude < -90.0) {
    block.latitude = block.latitude > 90.0 ? 180.0 - block.latitude : -180.0 - block.latitude;
    block.longitude += block.longitude > 0.0 ? -180.0 : 180.0;
  }
}

bool takeoffSpeedsAhead(const LiveAc& a) {
  const double takeOffSpeed = performanceOf(a).takeOffSpeedKnots;
  return std::all_of(a.path.begin() + 1, a.path.end(),
                     [takeOffSpeed](const PathPoint& p) { return p.speedKnots >= takeOffSpeed; });
}

void startTakeoff(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  if (mo.towed) {
    gf_logWarning(fmt::format("towed aircraft takes-off? {}", formatRecordLine(a.base.identity)));
  }
  mo.takeOffRoll = true;
  if (a.throttleIndex != 0) {
    engine.setThrottle(a, 0);
  }
  setSpoilers(m, a, 0);
  engine.setFlaps(a, 1);
  mo.approach = false;
  mo.landed = false;
  mo.cleanedUp = false;
  setLights(m, a, LightSwitches{1, 1, 1, 1, 1, 1, 0});
  mo.earliestAdvanceTicks = kWideAdvanceTicks;
  mo.latestDelayTicks = kTakeOffRollDelayTicks;
  if (!a.base.identity.airline.empty()) {
    learnSoftStand(m, a, true);
  }
}

void liftOff(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  const std::uint32_t steps = std::max(a.base.rotationSteps, 1U);
  mo.takeOffStepCounter = static_cast<std::int32_t>(steps);
  a.position.bankRadians = 0.0;
  mo.bankRateRadians = 0.0;
  mo.pitchRateRadians = (a.base.rotationPitchRadians - a.position.pitchRadians) / static_cast<double>(steps);
  if (!mo.takeOffRoll) {
    startTakeoff(m, a);
  }
  setPhase(a, FlightPhase::take_off);
  mo.headingRateRadians = 0.0;
  mo.curve = CurveState{};
  if (mo.landingRoll) {
    mo.landingRoll = false;
    mo.approach = false;
    mo.landed = false;
    engine.setThrottle(a, 4);
    setSpoilers(m, a, 16383);
    engine.setFlaps(a, 1);
  }
}

void landingRollStep(MotionContext& m, LiveAc& a) {
  if (turnedOffRunway(a)) {
    endLandingRoll(m, a);
  } else if (a.path[0].speedKnots <= kSlowLandingRollKnots) {
    setSpoilers(m, a, 0);
    setLevers(m, a, false, false);
    m.eng().setFlaps(a, 1);
  }
}

void endLandingRoll(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  engine.setFlaps(a, 0);
  mo.landingRoll = false;
  mo.touchdownHeadingRadians = 0.0;
  engine.setThrottle(a, idleThrottleIndex(a));
  setSpoilers(m, a, 0);
  setLevers(m, a, false, false);
  setLights(m, a, LightSwitches{1, 1, 0, 1, 0, 1, 1});
}

void pushbackStart(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  const std::int64_t now = engine.tick();
  a.generatedLegs = 0;
  const double back = normalizedHeading(a.standHeadingRadians + kPi);
  const double speed = a.base.taxiSpeedKnots > 0.0 ? a.base.taxiSpeedKnots : performanceOf(a).taxiSpeedKnots;
  PathPoint front = a.path.front();
  front.speedKnots = speed;
  front.stationary = false;
  const GeoPoint from = pointOf(a.position);
  const double pushNm = kPushbackStandRadii * standRadiusNm(m, a);
  PathPoint p1 = front;
  const GeoPoint p1Position = gf_destination(from, back, pushNm * kFeetPerNm);
  p1.latitude = p1Position.latitude;
  p1.longitude = p1Position.longitude;
  p1.speedKnots = speed;
  p1.trueAirspeedKnots = speed;
  const std::int64_t p1Ticks = std::max(ticksForDistance(gf_distanceNm(from, p1Position), speed), kMinimumLegTicks);
  p1.dueTick = now + p1Ticks;
  front.latitude = a.position.latitude;
  front.longitude = a.position.longitude;
  front.dueTick = now;
  mo.legBearingRadians = a.position.headingRadians;
  a.path.clear();
  a.path.push_back(front);
  a.path.push_back(p1);
  splitLeg(a);
  const PathPoint& middle = a.path[1];
  const double sideFeet = a.base.halfSpanNm * kFeetPerNm;
  auto turnPoint = [&](double bearing) {
    PathPoint turn = p1;
    const GeoPoint at = gf_destination(p1Position, normalizedHeading(bearing), sideFeet);
    turn.latitude = at.latitude;
    turn.longitude = at.longitude;
    turn.dueTick = now + p1Ticks / 2 + ticksForDistance(gf_distanceNm(pointOf(middle), at), speed);
    turn.dueTick = std::max(turn.dueTick, p1.dueTick + kMinimumLegTicks);
    return turn;
  };
  mo.pushbackTurnAside = turnPoint(back + kPi / 2.0);
  a.path.push_back(turnPoint(back - kPi / 2.0));
  setLights(m, a, LightSwitches{1, 1, 0, 1, 0, 1, 0});
  setPhase(a, FlightPhase::pushing_back);
  mo.pushbackState = 2;
  mo.pushbackDirectionKnown = false;
}

void pushbackStep(MotionContext& m, LiveAc& a) {
  LiveMotion& mo = a.motion;
  --mo.pushbackState;
  if (mo.pushbackState == 1) {
    if (mo.pushbackDirectionKnown && a.path.size() >= 3) {
      if (mo.pushbackDirection) {
        a.path.back() = mo.pushbackTurnAside;
      }
      setupTurnCurve(a);
      mo.curve.turnAngleDegrees = kPushbackTurnDegrees;
      const std::int64_t steps = std::max<std::int64_t>(
          roundTicks(kPushbackTurnDegrees / std::max(a.base.baseTurnRateRadians, 1e-6) / 100.0), 1);
      mo.curve.parameterStep = 1.0 / static_cast<double>(steps);
    } else if (a.path.size() >= 3) {
      a.path.pop_back();
    }
    return;
  }
  if (mo.pushbackState < 1) {
    mo.legBearingRadians = a.position.headingRadians;
    readyForTaxiOut(m, a);
    setPhase(a, FlightPhase::pushed_back);
    mo.pushbackState = 1;
    mo.pushedBackDistanceNm = 900.0;
    a.generatedLegs = 0;
    mo.leavingStand = false;
  }
}

void pullOut(MotionContext& m, LiveAc& a) {
  TrafficEngine& engine = m.eng();
  LiveMotion& mo = a.motion;
  mo.leavingStand = false;
  a.generatedLegs = 0;
  const double speed = a.base.taxiSpeedKnots > 0.0 ? a.base.taxiSpeedKnots : performanceOf(a).taxiSpeedKnots;
  const GeoPoint to = gf_destination({a.standLatitude, a.standLongitude}, a.standHeadingRadians,
                                     kPullOutHalfSpans * a.base.halfSpanNm * kFeetPerNm);
  PathPoint front = a.path.front();
  front.speedKnots = speed;
  front.stationary = false;
  PathPoint p = front;
  p.latitude = to.latitude;
  p.longitude = to.longitude;
  p.speedKnots = speed;
  p.trueAirspeedKnots = speed;
  p.dueTick = engine.tick() +
              std::max(ticksForDistance(gf_distanceNm(pointOf(a.position), to), speed), kMinimumLegTicks);
  a.path.clear();
  a.path.push_back(front);
  a.path.push_back(p);
  setPhase(a, FlightPhase::taxi);
  mo.legBearingRadians = a.position.headingRadians;
  taxiLights(m, a);
  readyForTaxiOut(m, a);
  if (logOn()) {
    gf_logLine(fmt::format("{:8}: {:8} pulling out", engine.standLabel(a.standId), a.base.identity.callsign));
  }
}

}  // namespace crv
