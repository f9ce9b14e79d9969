#include "traffic/motion/motion_support.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "foundation/settings.h"
#include "simlink/sim_ids.h"
#include "traffic/record_labels.h"
#include "traffic/traffic_engine.h"

namespace crv::motion {

double normalizedAngle(double radians) {
  double angle = std::remainder(radians, 2.0 * kPi);
  if (angle <= -kPi) {
    angle += 2.0 * kPi;
  }
  return angle;
}

double normalizedHeading(double radians) {
  double heading = std::fmod(radians, 2.0 * kPi);
  if (heading < 0.0) {
    heading += 2.0 * kPi;
  }
  return heading >= 2.0 * kPi ? 0.0 : heading;
}

double degreesOf(double radians) { return radians * kRadiansToDegrees; }

GeoPoint pointOf(const PathPoint& p) { return {p.latitude, p.longitude}; }
GeoPoint pointOf(const AiPositionBlock& block) { return {block.latitude, block.longitude}; }

bool samePosition(const PathPoint& a, const PathPoint& b) {
  return std::fabs(a.latitude - b.latitude) < kSamePositionDegrees &&
         std::fabs(a.longitude - b.longitude) < kSamePositionDegrees;
}

bool samePosition(const AiPositionBlock& block, const PathPoint& p) {
  return std::fabs(block.latitude - p.latitude) < kSamePositionDegrees &&
         std::fabs(block.longitude - p.longitude) < kSamePositionDegrees;
}

double distanceNm(const PathPoint& a, const PathPoint& b) { return gf_distanceNm(pointOf(a), pointOf(b)); }

std::optional<double> recordedNoseRadians(const PathPoint& p) {
  if (p.headingValid) {
    return p.trueHeadingRadians;
  }
  if (p.trackDegrees == 0.0) {
    return std::nullopt;
  }
  return p.trackDegrees * (kPi / 180.0);
}

bool reachedTailFirst(const PathPoint& p, double movingBearingRadians) {
  constexpr double kAgainstNoseRadians = 120.0 * (kPi / 180.0);
  const std::optional<double> nose = recordedNoseRadians(p);
  return !p.airborne && p.speedKnots <= kTaxiMaximumKnots && nose &&
         std::fabs(normalizedAngle(movingBearingRadians - *nose)) > kAgainstNoseRadians;
}

bool isRotorcraft(const LiveAc& a) { return a.base.category == SizeCategory::Rotorcraft; }

const CategoryPerformance& performanceOf(const LiveAc& a) { return categoryPerformance(a.base.category); }

bool logOn() { return par_LOG.value(); }

void setPhase(LiveAc& a, FlightPhase phase) {
  if (a.phase != phase) {
    a.previousPhase = a.phase;
    a.phase = phase;
  }
}

void sendEvent(MotionContext& m, const LiveAc& a, std::uint32_t eventId, std::uint32_t value) {
  m.eng().link().queueClientEvent(a.objectId, eventId, value);
}

void setSpoilers(MotionContext& m, const LiveAc& a, std::uint32_t value) {
  if (!isRotorcraft(a)) {
    sendEvent(m, a, toId(ClientEventId::SpoilersSet), value);
  }
}

void setGear(MotionContext& m, const LiveAc& a, std::uint32_t value) {
  if (!isRotorcraft(a)) {
    sendEvent(m, a, toId(ClientEventId::GearSet), value);
  }
}

void engineAutoStart(MotionContext& m, const LiveAc& a) { sendEvent(m, a, toId(ClientEventId::EngineAutoStart), 0); }

void setLights(MotionContext& m, const LiveAc& a, const LightSwitches& lights) {
  m.eng().link().setLights(a.objectId, lights);
}

void setLevers(MotionContext& m, const LiveAc& a, bool on, bool reverse) {
  if (a.base.category != SizeCategory::Light) {
    m.eng().link().setSpoilersThrottle(a.objectId, on, reverse);
  }
}

std::uint32_t idleThrottleIndex(const LiveAc& a) { return isRotorcraft(a) ? 4U : 0U; }

bool nearParkAirport(const MotionContext& m, const LiveAc& a) {
  return m.engine->parkAirportSet() &&
         gf_distanceNm(m.parkAirportPosition, pointOf(a.position)) <= kNearParkAirportNm;
}

ParkingPosition* standById(MotionContext& m, std::uint32_t standId) {
  StandTable* stands = m.eng().standTable();
  if (standId == 0 || stands == nullptr) {
    return nullptr;
  }
  for (ParkingPosition& stand : *stands) {
    if (stand.id == standId) {
      return &stand;
    }
  }
  return nullptr;
}

void releaseStand(MotionContext& m, LiveAc& a) {
  if (ParkingPosition* stand = standById(m, a.standId)) {
    stand->occupied = false;
  }
  a.standLatitude = 0.0;
  a.standLongitude = 0.0;
  a.standId = 0;
  a.standCargo = false;
}

std::int64_t roundTicks(double ticks) {
  // A leg time that is no number (a speed of 0) counts as none; the caller's
  // minimum leg then applies.
  constexpr double kLongestTicks = 1e12;
  if (std::isnan(ticks)) {
    return 0;
  }
  return static_cast<std::int64_t>(std::llround(std::clamp(ticks, -kLongestTicks, kLongestTicks)));
}

std::int64_t ticksForDistance(double distanceNm, double knots) {
  return roundTicks(distanceNm * kTicksPerHour / knots);
}

}  // namespace crv::motion
