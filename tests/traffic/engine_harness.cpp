#include "tests/traffic/engine_harness.h"

#include <utility>

#include "aircraftdata/aircraft_database.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {

void EngineHarness::installTestAircraftTypes() {
  AircraftDatabase db;
  const std::pair<const char*, SizeCategory> types[] = {
      {"A320", SizeCategory::Large}, {"B738", SizeCategory::Large},      {"B744", SizeCategory::Heavy},
      {"C172", SizeCategory::Light}, {"EC35", SizeCategory::Rotorcraft}, {"CL60", SizeCategory::Buzjets}};
  for (const auto& [type, category] : types) {
    db.typeSets.all.insert(type);
    db.categoryByType.emplace(type, category);
  }
  db.typeSets.large = {"A320", "B738"};
  db.typeSets.heavy = {"B744"};
  db.typeSets.rotorcraft = {"EC35"};
  db.typeSets.buzjet = {"CL60"};
  db.halfSpanMap["A320"] = 0.0097;
  db.knownRegistrations.emplace("D-AIPA", RegistrationData{"DLH", "A320", "", false});
  installAircraftDatabase(std::move(db));
}

namespace {

EngineHooks withUserData(EngineHooks hooks, EngineHarness* harness) {
  if (!hooks.getUserAcPosition) {
    hooks.getUserAcPosition = [harness] { return harness->user; };
  }
  return hooks;
}

EngineConfig harnessConfig(const TempFolder& folder, StandTable* stands,
                           std::function<std::chrono::system_clock::time_point()> clock) {
  EngineConfig config;
  config.callsignListFile = folder / "Callsign2ObjectId.txt";
  config.stands = stands;
  if (clock) {
    config.now = std::move(clock);
  }
  return config;
}

}  // namespace

std::chrono::system_clock::time_point timeInSlot(DaySlot slot) {
  constexpr std::int64_t kMondayEpoch = 1796601600;  // Monday 7 December 2026, 00:00 UTC
  const std::int64_t seconds = kMondayEpoch + (slot.weekday - 1) * 86400LL + slot.halfHour * 1800LL + 600;
  return std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
}

EngineHarness::EngineHarness(EngineHooks hooks, StandTable* stands,
                             std::function<std::chrono::system_clock::time_point()> clock)
    : sim([this] { return engine.tick(); }, link.simConnectMutex()),
      engine(link, withUserData(std::move(hooks), this), harnessConfig(folder, stands, std::move(clock))) {
  installTestAircraftTypes();
  link.attachRequests(&sim);
  link.setRequestErrorCallback([this] { ++requestErrors; });
  link.reserveSimQueues();
  engine.reserveSessionTables();
  engine.setSessionActive(true);
}

EngineHarness::~EngineHarness() {
  link.attachRequests(nullptr);
  installAircraftDatabase(AircraftDatabase{});
}

void EngineHarness::feedLive(std::vector<LiveTrafficRecord> batch) { engine.intakeTrafficBatch(batch, kLiveDelaySeconds); }

void EngineHarness::feedSnapshot(std::vector<LiveTrafficRecord> batch, std::uint32_t delaySeconds) {
  engine.intakeTrafficBatch(batch, delaySeconds);
  engine.applySnapshots();
}

LiveTrafficRecord EngineHarness::record(std::uint32_t key, const std::string& callsign, const std::string& type,
                                        double timestamp) {
  LiveTrafficRecord r;
  r.identity.callsign = callsign;
  r.identity.icaoType = type;
  r.identity.airline = callsign.size() >= 3 ? callsign.substr(0, 3) : "";
  r.latitude = 50.03;
  r.longitude = 8.57;
  r.altitudeFeet = 12000.0;
  r.speedKnots = 250.0;
  r.trackDegrees = 90.0;
  r.trueAirspeedKnots = 260.0;
  r.airborne = true;
  r.timestamp = timestamp;
  r.key = key;
  return r;
}

void EngineHarness::step(int count) {
  SimFrameBatch batch;
  for (int i = 0; i < count; ++i) {
    const std::int64_t tick = engine.tick();
    engine.step();
    if (!link.tryTakeFrame(batch)) {
      continue;
    }
    for (CreateRequest& request : batch.creates) {
      creates.push_back({tick, std::move(request)});
    }
    for (std::uint32_t id : batch.removes) {
      removes.push_back({tick, id});
    }
    for (const ClientEventRecord& event : batch.clientEvents) {
      clientEvents.push_back({tick, event});
    }
    for (const PositionUpdate& update : batch.positions) {
      positions.push_back({tick, update});
    }
  }
}

void EngineHarness::bindLive(std::uint32_t key, std::uint32_t objectId) {
  engine.pushSimEvent({objectId, key, 0, SimEventType::boundLive, 0.0, 0.0});
}

void EngineHarness::bindStatic(std::uint32_t key, std::uint32_t objectId) {
  engine.pushSimEvent({objectId, key, 0, SimEventType::boundStatic, 0.0, 0.0});
}

void EngineHarness::objectRemoved(std::uint32_t objectId) {
  engine.pushSimEvent({objectId, 0, 0, SimEventType::removed, 0.0, 0.0});
}

void EngineHarness::createFailed(std::uint32_t key) {
  engine.pushSimEvent({0, key, 0, SimEventType::createFailed, 0.0, 0.0});
}

LiveAc& EngineHarness::placeLive(std::uint32_t key, const std::string& callsign, SimState state, std::uint32_t objectId) {
  LiveTrafficRecord r = record(key, callsign, "A320", 1000.0);
  AircraftBase base = buildAircraftObject(r.identity);
  base.key = key;
  base.liveryTitle = "Airbus A320 " + callsign;
  PathPoint first = pathPointOf(r, engine.tick());
  LiveAc aircraft = makeLiveAc(base, first, r.timestamp);
  if (state == SimState::active) {
    PathPoint next = first;
    next.dueTick += 500;
    aircraft.path.push_back(next);
  }
  aircraft.state = state;
  aircraft.objectId = objectId;
  aircraft.position.latitude = r.latitude;
  aircraft.position.longitude = r.longitude;
  aircraft.position.altitudeFeet = r.altitudeFeet;
  return EngineTestAccess::addLive(engine, std::move(aircraft));
}

StaticAc& EngineHarness::placeStatic(std::uint32_t key, const std::string& callsign, SimState state,
                                     std::uint32_t objectId) {
  AircraftIdentity identity;
  identity.callsign = callsign;
  identity.icaoType = "B738";
  identity.airline = "RYR";
  AircraftBase base = buildAircraftObject(identity);
  base.key = key;
  base.liveryTitle = "Boeing 737 " + callsign;
  StaticAc aircraft = makeStaticAc(base, 0, {50.05, 8.58, 1.0}, false);
  aircraft.state = state;
  aircraft.objectId = objectId;
  return engine.addStaticAc(std::move(aircraft));
}

LiveAc& EngineHarness::spawnLive(std::uint32_t key, const std::string& callsign) {
  LiveAc& aircraft = placeLive(key, callsign, SimState::adding2sim);
  engine.pushAddingStack(key);
  return aircraft;
}

std::vector<ClientEventRecord> EngineHarness::clientEventsOf(std::uint32_t objectId) const {
  std::vector<ClientEventRecord> events;
  for (const auto& event : clientEvents) {
    if (event.item.objectId == objectId) {
      events.push_back(event.item);
    }
  }
  return events;
}

}  // namespace crv::testing
