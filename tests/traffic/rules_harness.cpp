#include "tests/traffic/rules_harness.h"

#include <stdexcept>

#include "tests/traffic/engine_test_access.h"
#include "traffic/learning/stand_learning.h"

namespace crv::testing {

namespace {

EngineHooks rulesHooks(LiveRules* const& slot) {
  EngineHooks hooks;
  LiveRules::fillEngineHooks(hooks, slot);
  return hooks;
}

}  // namespace

LiveRulesServices RulesHarness::services() {
  LiveRulesServices services;
  services.matchLiveryAtSpawn = [this](AircraftBase& base) {
    ++matchCount;
    base.liveryTitle = noLiveries ? "" : "Livery " + base.identity.icaoType;
  };
  services.userOnGround = [this] { return harness.user.altitudeAboveGroundFeet < 1.0; };
  services.userStandName = [this] { return userStand; };
  services.standNameAtUser = [this](const GeoPoint&) { return standAtUser; };
  services.addStandOption = [this](std::uint32_t standId, const LiveAc& aircraft, DaySlot slot, bool fillGap) {
    return addStandOption(stands, standId, aircraft.base, slot, kRealUsage, fillGap);
  };
  return services;
}

RulesHarness::RulesHarness(StandTable grid)
    : stands(std::move(grid)),
      harness(rulesHooks(slot), &stands, [this] { return timeInSlot(slotNow); }),
      rules(harness.engine, services()),
      engine(harness.engine) {
  slot = &rules;
  rules.setParkAirport(kApronOrigin);
  harness.user = {};
  harness.user.latitude = kApronOrigin.latitude - 0.05;  // well clear, on the ground
  harness.user.longitude = kApronOrigin.longitude;
  EngineTestAccess::setUserAircraft(engine, harness.user);
}

LiveAc& RulesHarness::buffered(std::uint32_t key, const std::string& callsign, GeoPoint where, double speedKnots,
                               std::int64_t dueTick, bool airborne) {
  LiveTrafficRecord r = EngineHarness::record(key, callsign, "A320", 1000.0);
  r.latitude = where.latitude;
  r.longitude = where.longitude;
  r.airborne = airborne;
  r.altitudeFeet = airborne ? 5000.0 : 360.0;
  r.speedKnots = speedKnots;
  r.trueAirspeedKnots = speedKnots;
  r.trackDegrees = 0.0;
  AircraftBase base = buildAircraftObject(r.identity);
  base.key = key;
  PathPoint first = pathPointOf(r, dueTick);
  LiveAc aircraft = makeLiveAc(base, first, r.timestamp);
  PathPoint second = first;
  const GeoPoint on = offsetMeters(where, speedKnots == 0.0 ? 0.0 : 200.0, 0.0);
  second.latitude = on.latitude;
  second.longitude = on.longitude;
  second.stationary = speedKnots == 0.0;
  second.dueTick = dueTick + 500;
  aircraft.path.push_back(second);
  return EngineTestAccess::addLive(engine, std::move(aircraft));
}

LiveAc& RulesHarness::parkedLive(std::uint32_t key, const std::string& callsign, const ParkingPosition& stand,
                                 std::uint32_t objectId) {
  LiveAc& aircraft = harness.placeLive(key, callsign, SimState::active, objectId);
  aircraft.phase = FlightPhase::parked;
  aircraft.onGround = true;
  aircraft.standId = stand.id;
  aircraft.standLatitude = stand.latitude;
  aircraft.standLongitude = stand.longitude;
  aircraft.position.latitude = stand.latitude;
  aircraft.position.longitude = stand.longitude;
  aircraft.motion.standLastApproachTick = engine.tick();
  return aircraft;
}

StaticAc& RulesHarness::parkedStatic(std::uint32_t key, const std::string& callsign, const ParkingPosition& stand,
                                     std::uint32_t objectId) {
  StaticAc& aircraft = harness.placeStatic(key, callsign, SimState::active, objectId);
  aircraft.standId = stand.id;
  aircraft.standLatitude = stand.latitude;
  aircraft.standLongitude = stand.longitude;
  return aircraft;
}

ParkingPosition& RulesHarness::stand(const std::string& name) {
  const auto found = findStandByName(stands, name);
  if (found == stands.end()) {
    throw std::out_of_range("no stand " + name);
  }
  return *found;
}

}  // namespace crv::testing
