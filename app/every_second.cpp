// The once-a-second work of the main loop and the automatic traffic range.

#include <climits>
#include <cmath>
#include <list>
#include <numbers>

#include <fmt/format.h>

#include "airports/park_airports.h"
#include "app/control_handlers.h"
#include "app/session.h"
#include "app/session_readers.h"
#include "app/status_panel.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/setting_controls.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/version_update.h"

namespace crv {

namespace {

constexpr int kStatusLifetimeSeconds = 25;
constexpr std::int64_t kSimClockJumpSeconds = 30;
constexpr double kSamePositionDegrees = 1e-8;
constexpr double kLiveClearanceFactor = 1.15;
constexpr double kStaticClearanceFactor = 1.1;
// Airborne rule A: an aircraft on the ground ahead of a low user aircraft.
constexpr double kRuleANm = 1.0;
constexpr double kRuleABelowFeet = 500.0;
constexpr double kRuleALateralFeet = 50.0;
// Airborne rule B: an aircraft crossing close ahead at about the same height.
constexpr double kRuleBNm = 4.0;
constexpr double kRuleBVerticalFeet = 1000.0;
constexpr double kRuleBLateralFeet = 700.0;
constexpr double kDegreesPerRadian = 57.29577951308232;

// An angle brought into -pi..pi by one turn at most.
double wrapped(double radians) {
  if (radians > std::numbers::pi) {
    return radians - 2.0 * std::numbers::pi;
  }
  if (radians < -std::numbers::pi) {
    return radians + 2.0 * std::numbers::pi;
  }
  return radians;
}

bool moved(double latitudeA, double longitudeA, double latitudeB, double longitudeB) {
  return std::fabs(latitudeA - latitudeB) >= kSamePositionDegrees ||
         std::fabs(longitudeA - longitudeB) >= kSamePositionDegrees;
}

GeoPoint positionOf(const LiveAc& aircraft) { return {aircraft.position.latitude, aircraft.position.longitude}; }

// Why the user aircraft made an aircraft go: the rule and the figures it
// compared.
std::string nearUserOnGround(double distanceNm, double limitNm) {
  return fmt::format("{:.0f} m from the user aircraft on the ground (limit {:.0f} m)", distanceNm * kMetersPerNm,
                     limitNm * kMetersPerNm);
}

// The line of flight runs both ways: an aircraft just behind the user
// aircraft is on it too.
std::string onLowUsersLine(double distanceNm, double heightFeet, double offLineFeet) {
  return fmt::format(
      "on the ground {:.2f} nm from the user aircraft flying {:.0f} ft above ground, "
      "{:.0f} ft off its line of flight (limit {:.0f} ft)",
      distanceNm, heightFeet, offLineFeet, kRuleALateralFeet);
}

std::string crossingUsersLine(double distanceNm, double heightApartFeet, double passingFeet) {
  return fmt::format(
      "its line of flight passes {:.0f} ft from the user aircraft (limit {:.0f} ft), "
      "{:.2f} nm away and {:.0f} ft apart in height",
      passingFeet, kRuleBLateralFeet, distanceNm, heightApartFeet);
}

// The first live aircraft in the simulator under the callsign; null when none.
const LiveAc* activeLiveAc(TrafficEngine& engine, const std::string& callsign) {
  for (const LiveAc& aircraft : engine.liveAircraft()) {
    if (aircraft.state == SimState::active && aircraft.base.identity.callsign == callsign) {
      return &aircraft;
    }
  }
  return nullptr;
}

// The distance to the first entry of the program's park-airport list;
// 10,000 nm when it is empty.
double firstListedParkAirportNm(GeoPoint user) {
  const std::list<ParkAirport>& entries = parkAirportList().entries();
  return entries.empty() ? 10000.0 : gf_distanceNm(user, entries.front().position);
}

}  // namespace

void Session::everySecond() {
  if (flightPaused_) {
    flightPaused_ = false;
    gf_logLine(fmt::format("{} Flight resumed", clockText()));
    engine_.setSessionActive(true);
    display_.phase.store(SessionDisplay::Phase::running);
  }
  display_.runningSeconds.fetch_add(1);
  ageStatusLine();
  publishCounts();
  followSimulatorClock();
  ++secondCounter_;
  runPostedWork();
  rememberReportedUserStand();
  rules_->checkNextIdentity();
  serveRequests();
  makeWayForUser();
  if (par_COLLISION_LIVE_PARKED_GND.value() && !engine_.staticAircraft().empty()) {
    rules_->removeStaticsForCollision();
  }
  if (blockRequest.exchange(false)) {
    const std::string blocked = par_BLOCK_CALLSIGN.value();
    if (!blocked.empty()) {
      for (LiveAc& aircraft : engine_.liveAircraft()) {
        if (aircraft.state == SimState::active && aircraft.base.identity.callsign == blocked) {
          engine_.removeAircraftFromSim(aircraft, "its callsign is blocked (BLOCK_CALLSIGN)");
          break;
        }
      }
    }
  }
}

void Session::ageStatusLine() {
  setStatusClockSeconds(display_.runningSeconds.load());
  clearStatusLineOlderThan(kStatusLifetimeSeconds);
}

void Session::publishCounts() {
  display_.liveKnown.store(static_cast<std::int64_t>(engine_.liveAircraft().size()));
  std::int64_t flying = 0;
  for (const LiveAc& aircraft : engine_.liveAircraft()) {
    flying += aircraft.state == SimState::active && aircraft.phase != FlightPhase::parked ? 1 : 0;
  }
  display_.liveInSim.store(flying);
  std::int64_t statics = 0;
  for (const StaticAc& aircraft : engine_.staticAircraft()) {
    statics += aircraft.state == SimState::active ? 1 : 0;
  }
  display_.staticInSim.store(statics);
  // The average parked times grow while the aircraft stand: they are
  // refreshed with their counts.
  display_.parkedStatic.store(parking_->avgParkedWait(true));
  display_.parkedLive.store(rules_->avgLiveParkedWait(true));
  display_.averageLiveParkedHours.store(static_cast<float>(rules_->averageLiveParkedHours()));
  repaint();
}

void Session::followSimulatorClock() {
  if (!par_SIM_TIME.value()) {
    return;
  }
  const std::int64_t simTime = link_.user().simUtcTime.load();
  if (std::llabs(simTime - simTimeReference_) >= kSimClockJumpSeconds) {
    // The user moved the simulator's clock: the traffic follows it, shifted
    // by the whole minutes it lies behind real time (none when ahead).
    const std::int64_t behind = (systemTimeSeconds() - simTime) / 60;
    const auto minutes = static_cast<std::int32_t>(std::clamp<std::int64_t>(behind, 0, INT32_MAX));
    ControlHandlers(*this).applyTimeShift(minutes, true);
  }
  simTimeReference_ = simTime;
}

void Session::resetSimTimeReference(bool simTimeOn) {
  postToWorker([this, simTimeOn] { simTimeReference_ = simTimeOn ? 0 : link_.user().simUtcTime.load(); });
}

void Session::serveRequests() {
  if (objectIdLookupRequest.exchange(false)) {
    rewatchCallsign_.clear();
    const std::string callsign = par_CALLSIGN_2_OBJECTID.value();
    const LiveAc* found = activeLiveAc(engine_, callsign);
    if (found != nullptr) {
      engine_.watchObject(found->objectId);
      publishObjectIdResult(found->objectId);
    } else {
      publishObjectIdResult(std::nullopt);
      setStatusLine(fmt::format("callsign '{}' is unknown", callsign), true);
    }
    repaint();
  }
  watchRespawnedAircraft();
  if (flushStaticRequested.exchange(false)) {
    rules_->removeAllStaticAc("the static aircraft were flushed (Flush static)");
    if (!par_INITIAL_LOAD_ONLY.value()) {
      par_INITIAL_LOAD_ONLY.setValue(true);  // not saved: this session only
      setCheckBox(par_INITIAL_LOAD_ONLY);
    }
  }
}

void Session::watchedAircraftRemoved() {
  rewatchCallsign_.clear();
  par_CALLSIGN_2_OBJECTID.setValue("");
  publishObjectIdResult(std::nullopt);
  setControlText(par_CALLSIGN_2_OBJECTID);
  repaint();
}

void Session::watchedAircraftRespawning(const std::string& callsign) {
  rewatchCallsign_ = callsign;
  par_CALLSIGN_2_OBJECTID.setValue(callsign);
  publishObjectIdResult(std::nullopt);
  setControlText(par_CALLSIGN_2_OBJECTID);
  repaint();
}

// The watch follows an aircraft through its livery respawn: once it is in
// the simulator again under the callsign in the box, its new object is
// watched.
void Session::watchRespawnedAircraft() {
  if (rewatchCallsign_.empty()) {
    return;
  }
  if (par_CALLSIGN_2_OBJECTID.value() != rewatchCallsign_) {
    rewatchCallsign_.clear();  // the user asked for another one since
    return;
  }
  const LiveAc* found = activeLiveAc(engine_, rewatchCallsign_);
  if (found == nullptr) {
    return;
  }
  engine_.watchObject(found->objectId);
  publishObjectIdResult(found->objectId);
  rewatchCallsign_.clear();
  repaint();
}

void Session::makeWayForUser() {
  const UserAcData& user = engine_.userAircraft();
  const GeoPoint userPosition{user.latitude, user.longitude};
  const double userHalfSpan = link_.user().type().halfWingSpanNm.value_or(0.0);
  if (link_.user().userOnGround.load()) {
    if (!par_COLLISION_USER_GND.value()) {
      return;
    }
    for (LiveAc& aircraft : engine_.liveAircraft()) {
      if (!aircraft.onGround || aircraft.state != SimState::active) {
        continue;
      }
      const double distance = gf_distanceNm(userPosition, positionOf(aircraft));
      const double limit = (userHalfSpan + aircraft.base.halfSpanNm) * kLiveClearanceFactor;
      if (distance <= limit) {
        engine_.removeAircraftFromSim(aircraft, nearUserOnGround(distance, limit));
        return;
      }
    }
    if (!moved(user.latitude, user.longitude, staticCheckLatitude_, staticCheckLongitude_)) {
      return;
    }
    staticCheckLatitude_ = user.latitude;
    staticCheckLongitude_ = user.longitude;
    for (StaticAc& aircraft : engine_.staticAircraft()) {
      if (aircraft.state != SimState::active) {
        continue;
      }
      const double distance = gf_distanceNm(userPosition, {aircraft.standLatitude, aircraft.standLongitude});
      const double limit = (userHalfSpan + aircraft.base.halfSpanNm) * kStaticClearanceFactor;
      if (distance <= limit) {
        engine_.removeAircraftFromSim(aircraft, nearUserOnGround(distance, limit));
        return;
      }
    }
    return;
  }
  if (!par_COLLISION_USER_AIR.value()) {
    return;
  }
  for (LiveAc& aircraft : engine_.liveAircraft()) {
    if (aircraft.state != SimState::active) {
      continue;
    }
    const GeoPoint position = positionOf(aircraft);
    const double distance = gf_distanceNm(userPosition, position);
    const double bearing = gf_bearing(userPosition, position);
    if (aircraft.onGround && user.altitudeAboveGroundFeet < kRuleABelowFeet && distance <= kRuleANm) {
      const double offAxis = wrapped(bearing - user.headingRadians);
      const double offLineFeet = std::sin(std::fabs(offAxis)) * distance * kFeetPerNm;
      if (offLineFeet <= kRuleALateralFeet) {
        engine_.removeAircraftFromSim(aircraft, onLowUsersLine(distance, user.altitudeAboveGroundFeet, offLineFeet));
        return;
      }
    }
    const double heightApartFeet = std::fabs(aircraft.position.altitudeFeet - user.altitudeFeet);
    if (distance <= kRuleBNm && heightApartFeet < kRuleBVerticalFeet) {
      const double r = wrapped(aircraft.position.headingRadians - bearing) * kDegreesPerRadian;
      const double x = r >= 0.0 ? std::fabs(90.0 - r) : std::fabs(r + 90.0);
      const double passingFeet = std::cos(x / kDegreesPerRadian) * distance * kFeetPerNm;
      if (passingFeet <= kRuleBLateralFeet) {
        engine_.removeAircraftFromSim(aircraft, crossingUsersLine(distance, heightApartFeet, passingFeet));
        return;
      }
    }
  }
}

void Session::updateAutoRange() {
  const UserAcData user = link_.user().data();
  int radius = 10;
  if (!link_.user().userOnGround.load()) {
    if (user.altitudeFeet > par_AR_ABOVE_HEIGHT.value()) {
      radius = 100;
    } else if (user.altitudeFeet > par_AIRP_HEIGHT.value()) {
      radius = 40;
    } else {
      const GeoPoint position{user.latitude, user.longitude};
      const double distance = options_.firstParkAirportDistanceNm ? options_.firstParkAirportDistanceNm(position)
                                                                  : firstListedParkAirportNm(position);
      if (distance <= 7.0) {
        radius = 10;
      } else if (distance < 37.0) {
        radius = snapRange(static_cast<std::int32_t>(std::lround(distance)) + 3);
      } else {
        radius = 40;
      }
    }
  }
  const std::int32_t before = par_RANGE.value();
  setRange(radius);
  if (par_RANGE.value() != before) {
    setControlInt(par_RANGE);
    repaint();
    if (readers_) {
      readers_->traffic.computeTrafficBox();
    }
  }
}

}  // namespace crv
