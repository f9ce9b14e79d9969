#include "tests/traffic/sim_scenario.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "tests/support/temp_folder.h"
#include "aircraftdata/aircraft_database.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "simlink/sim_definitions.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {

namespace {

constexpr double kGroundFeet = 0.0;
constexpr std::int64_t kTicksPerSecondStep = 100;
// Well beyond the longest lead before a buffered aircraft's first due point
// at which the spawn rules start to look at it.
constexpr std::int64_t kSpawnLookAheadTicks = 600;

// Ticks from now in which stepping would only repeat the periodic upkeep;
// 0 when something is under way.
std::int64_t quietTicksAhead(TrafficEngine& engine, const LiveRules& rules,
                             const platform::SimulatorStandIn& sim) {
  if (!engine.staticAircraft().empty() || !engine.addingStack().empty() || !engine.liveCreateQueue().empty() ||
      !engine.staticCreateQueue().empty() || !engine.removeQueue().empty() || rules.identityChecksWaiting() != 0 ||
      EngineTestAccess::handoverSize(engine) != 0 || EngineTestAccess::waitingEventCount(engine) != 0) {
    return 0;
  }
  std::int64_t firstLook = std::numeric_limits<std::int64_t>::max();
  for (LiveAc& aircraft : engine.liveAircraft()) {
    if (aircraft.state != SimState::buffer || aircraft.path.empty() || aircraft.eraseRequested()) {
      return 0;
    }
    firstLook = std::min(firstLook, aircraft.path.frontDueTick() - kSpawnLookAheadTicks);
  }
  for (const platform::SimObjectRecord& object : sim.objects()) {
    if (object.createdByClient && !object.removed) {
      return 0;
    }
  }
  if (!rules.reservedStand().empty()) {
    return 0;
  }
  return std::max<std::int64_t>(0, firstLook - engine.tick());
}


platform::SimWorld scenarioWorld() {
  platform::SimWorld world;
  const GeoPoint user = offsetMeters(kApronOrigin, -600.0, 0.0);
  world.userAircraft.latitudeDegrees = user.latitude;
  world.userAircraft.longitudeDegrees = user.longitude;
  world.userAircraft.altitudeFeet = kGroundFeet;
  world.userAircraft.groundAltitudeFeet = kGroundFeet;
  world.userAircraft.onGround = true;
  world.userAircraft.title = "Airbus A320 Neo Asobo";
  world.userAircraft.atcModel = "A20N";
  return world;
}

EngineHooks scenarioHooks(MotionContext& motion, LiveRules* const& slot, SimLink& link) {
  EngineHooks hooks;
  installLiveMotion(hooks, motion);
  LiveRules::fillEngineHooks(hooks, slot);
  hooks.getUserAcPosition = [&link] { return link.user().getUserAcPosition(); };
  return hooks;
}

EngineConfig scenarioConfig(const TempFolder& folder, StandTable* stands) {
  EngineConfig config;
  config.callsignListFile = folder / "Callsign2ObjectId.txt";
  config.stands = stands;
  config.now = [] { return timeInSlot({3, 20}); };
  return config;
}

LiveRulesServices scenarioServices(MotionContext& motion, SimLink& link) {
  LiveRulesServices services;
  services.matchLiveryAtSpawn = [](AircraftBase& base) { base.liveryTitle = "Livery " + base.identity.icaoType; };
  services.userOnGround = [&link] { return link.user().userOnGround.load(); };
  services.markCargoStandUsed = [&motion](LiveAc& aircraft) { markCargoStandUsed(motion, aircraft); };
  return services;
}

}  // namespace

SimScenario::SimScenario(StandTable grid, platform::StandInOptions standInOptions)
    : sim(std::make_shared<platform::SimulatorStandIn>(scenarioWorld(), std::move(standInOptions))),
      installed(sim),
      link(queues, SimLinkHooks{[this](const LinkEvent& event) { engine.pushSimEvent(simEventFrom(event)); },
                                {}, {}, {}}),
      stands(std::move(grid)),
      engine(queues, scenarioHooks(motion, slot, link), scenarioConfig(folder, &stands)),
      rules(engine, scenarioServices(motion, link)) {
  EngineHarness::installTestAircraftTypes();
  openLog(folder / "Log.txt");
  slot = &rules;
  LiveRules::fillParkingCalls(motion.parking, slot);
  motion.engine = &engine;
  motion.parkAirportPosition = kApronOrigin;
  rules.setParkAirport(kApronOrigin);
  engine.setParkAirport("EDDF", kGroundFeet);
  sim->setFrameRate(framesPerSecond);
  link.reserveSession();
  engine.reserveSessionTables();
  engine.setSessionActive(true);
  if (!link.connection().open()) {
    throw std::runtime_error("the stand-in did not open");
  }
  setupSimConnect(link.connection().handle());
  link.connection().requestUserOnGroundEverySecond();
  step(200);  // the user aircraft is known, on the ground
}

SimScenario::~SimScenario() {
  link.connection().close();
  closeLog();
  installAircraftDatabase(AircraftDatabase{});
}

void SimScenario::step(int count) {
  for (int i = 0; i < count; ++i) {
    if (engine.tick() % 100 == 0) {  // the session's once-a-second rules
      rules.checkNextIdentity();
      rules.removeStaticsForCollision();
    }
    engine.step();
    sim->advanceClock(std::chrono::milliseconds(10));
    SimConnect_CallDispatch(link.connection().handle(), &SimLink::simDispatchProc, &link);
  }
}

void SimScenario::stepSkippingQuiet(int count) {
  std::int64_t left = count;
  while (left > 0) {
    if (engine.tick() % kTicksPerSecondStep == 0 && left >= kTicksPerSecondStep) {
      // Whole seconds keep the once-a-second and periodic requests in phase.
      const std::int64_t quiet = std::min(quietTicksAhead(engine, rules, *sim), left);
      const std::int64_t skipped = quiet - quiet % kTicksPerSecondStep;
      if (skipped > 0) {
        EngineTestAccess::setTick(engine, engine.tick() + skipped);
        sim->setFrameRate(0.0);  // no frame is due while nothing moves
        sim->advanceClock(std::chrono::milliseconds(10 * skipped));
        sim->setFrameRate(framesPerSecond);
        left -= skipped;
        continue;
      }
    }
    step();
    --left;
  }
}

void SimScenario::setFrameRate(double rate) {
  framesPerSecond = rate;
  sim->setFrameRate(rate);
}

void SimScenario::feedTrack(const std::vector<LiveTrafficRecord>& track) {
  const double start = track.front().timestamp;
  const std::int64_t startTick = engine.tick();
  for (const LiveTrafficRecord& record : track) {
    const auto due = startTick + static_cast<std::int64_t>((record.timestamp - start) * 100.0);
    if (engine.tick() < due) {
      step(static_cast<int>(due - engine.tick()));
    }
    feed({record});
  }
}

void SimScenario::feed(std::vector<LiveTrafficRecord> batch) {
  engine.intakeTrafficBatch(batch, kLiveDelaySeconds);
  step();
}

LiveTrafficRecord SimScenario::record(std::uint32_t key, const std::string& callsign, const std::string& type,
                                      GeoPoint where, double timestamp, double speedKnots, double trackDegrees,
                                      double altitudeFeet) {
  LiveTrafficRecord r = EngineHarness::record(key, callsign, type, timestamp);
  r.latitude = where.latitude;
  r.longitude = where.longitude;
  r.speedKnots = speedKnots;
  r.trueAirspeedKnots = speedKnots;
  r.trackDegrees = trackDegrees;
  r.altitudeFeet = altitudeFeet;
  r.airborne = altitudeFeet > 0.0;
  return r;
}

StaticAc& SimScenario::placeStatic(std::uint32_t key, const std::string& callsign, const std::string& type,
                                   const ParkingPosition& stand, const std::string& registration) {
  AircraftIdentity identity;
  identity.callsign = callsign;
  identity.icaoType = type;
  identity.registration = registration;
  AircraftBase base = buildAircraftObject(identity);
  base.key = key;
  base.liveryTitle = "Livery " + type;
  StaticAc aircraft = makeStaticAc(base, stand.id, {stand.latitude, stand.longitude, stand.heading}, false);
  aircraft.state = SimState::adding2sim;
  CreateRequest request;
  request.position.latitude = stand.latitude;
  request.position.longitude = stand.longitude;
  request.position.headingDegrees = stand.heading * kRadiansToDegrees;
  request.position.onGround = 1;
  request.callsign = callsign;
  request.liveryTitle = base.liveryTitle;
  request.key = key;
  engine.queueStaticCreate(std::move(request));
  return engine.addStaticAc(std::move(aircraft));
}

std::set<std::uint32_t> SimScenario::simulatorObjects() const {
  std::set<std::uint32_t> ids;
  for (const platform::SimObjectRecord& object : sim->objects()) {
    if (object.createdByClient && !object.removed) {
      ids.insert(object.objectId);
    }
  }
  return ids;
}

std::set<std::uint32_t> SimScenario::engineObjects() const {
  std::set<std::uint32_t> ids;
  for (const LiveAc& a : engine.liveAircraft()) {
    ids.insert(a.objectId);
  }
  for (const StaticAc& a : engine.staticAircraft()) {
    ids.insert(a.objectId);
  }
  ids.erase(0);  // not bound yet
  return ids;
}

ParkingPosition& SimScenario::stand(const std::string& name) {
  const auto found = findStandByName(stands, name);
  if (found == stands.end()) {
    throw std::out_of_range("no stand " + name);
  }
  return *found;
}

std::uint32_t SimScenario::objectOf(std::uint32_t key) {
  const LiveAc* aircraft = engine.findLiveByKey(key);
  if (aircraft != nullptr) {
    return aircraft->objectId;
  }
  const StaticAc* parked = engine.findStaticByKey(key);
  return parked == nullptr ? 0 : parked->objectId;
}

std::string SimScenario::logText() const { return readTextFile(folder / "Log.txt"); }

}  // namespace crv::testing
