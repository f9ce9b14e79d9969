#include "tests/traffic/parking_harness.h"

#include <stdexcept>

#include "foundation/geodesy.h"

namespace crv::testing {

namespace {

EngineHooks parkingHooks(LiveRules* const& rules, StaticParking* const& statics) {
  EngineHooks hooks;
  LiveRules::fillEngineHooks(hooks, rules);
  StaticParking::fillEngineHooks(hooks, statics);
  return hooks;
}

}  // namespace

UsageEntry dlhUsage(std::uint32_t id, int weekday, std::vector<int> halfHours, const std::string& callsign,
                    const std::string& registration, const std::string& secondCallsign) {
  UsageEntry e;
  e.airl = "DLH";
  e.type = "A320";
  e.reg = registration;
  e.cs = callsign;
  e.cs2 = secondCallsign;
  e.id = id;
  e.day = static_cast<std::uint32_t>(weekday);
  for (int h : halfHours) {
    e.hh.set(static_cast<std::size_t>(h));
  }
  return e;
}

ParkingHarness::ParkingHarness(StandTable grid)
    : stands(std::move(grid)),
      harness(parkingHooks(rulesSlot, staticsSlot), &stands),
      engine(harness.engine),
      rules(engine, [this] {
        LiveRulesServices s;
        s.currentSlot = [this] { return now; };
        return s;
      }()),
      statics(engine,
              [this] {
                StaticParkingServices s;
                s.matchLivery = [](AircraftBase& base, const ParkingPosition&) {
                  base.liveryTitle = "Livery " + base.identity.icaoType;
                  return true;
                };
                s.currentSlot = [this] { return now; };
                s.halfSpanNm = [](std::string_view) { return 18.0 / kMetersPerNm; };
                s.takeCollectedLive = [this] { return collected; };
                s.requestParkedTraffic = [this] { return parkedArrives ? &parked : nullptr; };
                return s;
              }()),
      adjustment(engine, statics, rules, {[this] { ++busyOnCalls; }, {}}) {
  rulesSlot = &rules;
  staticsSlot = &statics;
  statics.seedRandom(7);
  rules.setParkAirport(kApronOrigin);
}

ParkingHarness::~ParkingHarness() {
  rulesSlot = nullptr;
  staticsSlot = nullptr;
}

void ParkingHarness::simulate(double seconds) {
  const auto steps = static_cast<int>(seconds * kTicksPerSecond);
  for (int i = 0; i < steps; ++i) {
    harness.step();
    for (; createsSeen_ < harness.creates.size(); ++createsSeen_) {
      const CreateRequest& request = harness.creates[createsSeen_].item;
      if (request.key < 10000) {
        harness.bindStatic(request.key, nextObjectId_++);
      } else {
        harness.bindLive(request.key, nextObjectId_++);
      }
    }
    for (; simulatorAnswersRemovals && removesSeen_ < harness.removes.size(); ++removesSeen_) {
      harness.objectRemoved(harness.removes[removesSeen_].item);
    }
  }
}

ParkingPosition& ParkingHarness::stand(const std::string& name) {
  const auto found = findStandByName(stands, name);
  if (found == stands.end()) {
    throw std::out_of_range("no stand " + name);
  }
  return *found;
}

std::vector<std::pair<std::string, std::string>> ParkingHarness::staticsByStand() const {
  std::vector<std::pair<std::string, std::string>> result;
  for (const StaticAc& aircraft : std::as_const(engine).staticAircraft()) {
    if (aircraft.state == SimState::active) {
      result.emplace_back(engine.standLabel(aircraft.standId), aircraft.base.identity.callsign);
    }
  }
  std::sort(result.begin(), result.end());
  return result;
}

ParkedTrafficRecord ParkingHarness::parkedAt(const std::string& standName, std::uint32_t address,
                                             const std::string& callsign, int age) {
  const ParkingPosition& where = stand(standName);
  ParkedTrafficRecord r;
  r.identity.callsign = callsign;
  r.identity.icaoType = "B738";
  r.identity.registration = "N" + std::to_string(address);
  r.latitude = where.latitude;
  r.longitude = where.longitude;
  r.key = address;
  r.halfHour = age;
  r.parkingSpot = standName;
  return r;
}

LiveAc& ParkingHarness::parkedLive(std::uint32_t key, const std::string& callsign, const std::string& standName) {
  const ParkingPosition& where = stand(standName);
  LiveAc& aircraft = harness.placeLive(key, callsign, SimState::active, nextObjectId_++);
  aircraft.phase = FlightPhase::parked;
  aircraft.onGround = true;
  aircraft.standId = where.id;
  aircraft.standLatitude = where.latitude;
  aircraft.standLongitude = where.longitude;
  aircraft.position.latitude = where.latitude;
  aircraft.position.longitude = where.longitude;
  aircraft.motion.standReached = true;
  aircraft.motion.standLastApproachTick = engine.tick();
  return aircraft;
}

}  // namespace crv::testing
