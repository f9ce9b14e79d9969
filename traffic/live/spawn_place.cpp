#include <cmath>

#include "aircraftdata/type_lookups.h"
#include "airports/stand_search.h"
#include "foundation/geodesy.h"
#include "foundation/settings.h"
#include "traffic/live/live_rules.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

constexpr double kConflictSpeedKnots = 8.0;
constexpr double kConflictDistanceNm = 500.0 / kMetersPerNm;
constexpr double kUserGroundClearanceNm = 0.08099352051835854;  // 150 m
constexpr double kAirCheckDistanceNm = 6.0;
constexpr double kAirCheckAltitudeFeet = 3000.0;
constexpr double kAirLateralLimitFeet = 4000.0;
constexpr double kGroundCheckDistanceNm = 1.5;
constexpr double kGroundCheckHeightFeet = 1000.0;
constexpr double kGroundLateralLimitFeet = 500.0;
constexpr double kStandSearchFromAirportNm = 5.0;
constexpr double kSpawnStandSpeedKnots = 5.0;
constexpr double kPathEndToPointNm = 0.018898488120950324;  // 35 m
constexpr double kSpawnStandRadiusNm = 0.029697624190064796;  // 55 m

double normalisedDegrees(double degrees) {
  double d = std::fmod(degrees, 360.0);
  if (d > 180.0) {
    d -= 360.0;
  } else if (d < -180.0) {
    d += 360.0;
  }
  return d;
}

// The angle between a course and the line of sight, folded to 0..90 degrees.
double foldedAngleDegrees(double x) {
  if (x >= 0.0 && x <= 90.0) {
    return 90.0 - x;
  }
  if (x > 90.0) {
    return x - 90.0;
  }
  if (x >= -90.0) {
    return x + 90.0;
  }
  return -(x + 90.0);
}

}  // namespace

bool LiveRules::spawnSpaceFree(LiveAc& aircraft) {
  LivePath& path = aircraft.path;
  const PathPoint& p = path.front();
  const UserAcData& user = engine_.userAircraft();
  const GeoPoint userPosition{user.latitude, user.longitude};
  const GeoPoint point{p.latitude, p.longitude};
  if (userOnGround()) {
    if (aircraft.spawnConflict &&
        (user.groundSpeedKnots > kConflictSpeedKnots ||
         (!p.airborne && (p.speedKnots > kConflictSpeedKnots ||
                          gf_distanceNm(userPosition, point) < kConflictDistanceNm)))) {
      path.pop_front();
      return true;
    }
    if (p.airborne || !par_COLLISION_USER_GND.value()) {
      return false;
    }
    if (gf_distanceNm(userPosition, point) < kUserGroundClearanceNm) {
      path.pop_front();
      return true;
    }
    return false;
  }
  if (!par_COLLISION_USER_AIR.value()) {
    return false;
  }
  // The lateral distance at which the aircraft would pass the user.
  double lateralFeet = INFINITY;
  double limitFeet = 0.0;
  if (p.airborne) {
    const double distanceNm = gf_distanceNm(userPosition, point);
    if (distanceNm <= kAirCheckDistanceNm && std::fabs(p.altitudeFeet - user.altitudeFeet) < kAirCheckAltitudeFeet) {
      const double x =
          normalisedDegrees((aircraft.motion.courseRadians - gf_bearing(userPosition, point)) * kRadiansToDegrees);
      lateralFeet = std::cos(foldedAngleDegrees(x) * kDegreesToRadians) * distanceNm * kFeetPerNm;
      limitFeet = kAirLateralLimitFeet;
    }
  } else {
    // Measured from the point being spawned: the aircraft's position block
    // is still empty while it waits in the buffer.
    const double distanceNm = gf_distanceNm(userPosition, point);
    if (distanceNm <= kGroundCheckDistanceNm && user.altitudeAboveGroundFeet < kGroundCheckHeightFeet) {
      const double z =
          normalisedDegrees((gf_bearing(userPosition, point) - user.headingRadians) * kRadiansToDegrees);
      lateralFeet = std::sin(std::fabs(z) * kDegreesToRadians) * distanceNm * kFeetPerNm;
      limitFeet = kGroundLateralLimitFeet;
    }
  }
  if (lateralFeet <= limitFeet) {
    aircraft.spawnConflict = true;
    path.pop_front();
    return true;
  }
  if (aircraft.spawnConflict) {
    path.pop_front();
    return true;
  }
  return false;
}

ParkingPosition* LiveRules::spawnStand(LiveAc& aircraft) {
  StandTable* table = stands();
  if (table == nullptr || table->empty() || !parkAirport_) {
    return nullptr;
  }
  LivePath& path = aircraft.path;
  PathPoint& p = path.front();
  if (gf_distanceNm(*parkAirport_, {p.latitude, p.longitude}) > kStandSearchFromAirportNm) {
    return nullptr;
  }
  GeoPoint searched{p.latitude, p.longitude};
  if (!p.stationary) {
    const PathPoint& last = path.back();
    if (path.size() > 1 && path[1].speedKnots > kSpawnStandSpeedKnots) {
      return nullptr;
    }
    if (gf_distanceNm(searched, {last.latitude, last.longitude}) > kPathEndToPointNm) {
      return nullptr;
    }
    searched = {last.latitude, last.longitude};
  }
  const AircraftIdentity& identity = aircraft.base.identity;
  const StandAircraft wanted{identity.callsign, identity.airline, identity.icaoType, aircraft.base.halfSpanNm,
                             aircraft.base.category, aircraft.base.cargo};
  const auto found = nearestFreeStand(*table, searched, wanted, kSpawnStandRadiusNm, p.stationary);
  if (found == table->end()) {
    return nullptr;
  }
  const std::string userStand = services_.userStandName ? services_.userStandName() : std::string();
  const UserAcData& user = engine_.userAircraft();
  const std::string standAtUser =
      services_.standNameAtUser ? services_.standNameAtUser({user.latitude, user.longitude}) : std::string();
  // The user's stands stay free: the one she chose, the reserved one, the one under her.
  if ((!userStand.empty() && found->name == userStand) || (!standAtUser.empty() && found->name == standAtUser) ||
      (!reservedStand_.empty() && found->name == reservedStand_)) {
    return nullptr;
  }
  if (!resolveStandConflict(found->id, identity.callsign) ||
      engine_.findCollidingStand(found->neighbours, *found, aircraft) != 0) {
    aircraft.dropFromBuffer = true;
    return nullptr;
  }
  makeWay(aircraft, *found);
  if (!p.stationary) {
    p.stationary = true;
    p.speedKnots = 0.0;
  }
  return &*found;
}

}  // namespace crv
