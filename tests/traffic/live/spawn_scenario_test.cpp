// Scenarios through the engine, the simulator link and the simulator
// stand-in on a generated stand grid. After each, the stand-in holds exactly
// the objects the engine believes are there.

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "foundation/geodesy.h"
#include "foundation/settings.h"
#include "tests/traffic/sim_scenario.h"
#include "tests/traffic/stand_checks.h"

namespace crv::testing {
namespace {

constexpr double kStart = 1.0e9;

void expectSimulatorMatchesEngine(SimScenario& s) {
  s.settle();
  EXPECT_EQ(s.simulatorObjects(), s.engineObjects());
}

// A standing aircraft reported twice, 16 s apart.
void feedStanding(SimScenario& s, std::uint32_t key, const std::string& callsign, GeoPoint where) {
  s.feedTrack({SimScenario::record(key, callsign, "A320", where, kStart),
               SimScenario::record(key, callsign, "A320", where, kStart + 16.0)});
}

// An aircraft cruising north at 10000 ft, 20 km from the airport, reported every 8 s.
std::vector<LiveTrafficRecord> cruise(std::uint32_t key, const std::string& callsign, double eastMeters,
                                      int reports = 2, const std::string& type = "A320") {
  std::vector<LiveTrafficRecord> track;
  for (int i = 0; i < reports; ++i) {
    const GeoPoint at = offsetMeters(kApronOrigin, 20000.0 + i * 1000.0, eastMeters);
    track.push_back(SimScenario::record(key, callsign, type, at, kStart + i * 8.0, 250.0, 0.0, 10000.0));
  }
  return track;
}

std::size_t objectsTitled(const SimScenario& s, const std::string& title) {
  std::size_t count = 0;
  for (const auto& object : s.sim->objects()) {
    count += object.createdByClient && !object.removed && object.title == title ? 1 : 0;
  }
  return count;
}

TEST(SpawnScenario, AircraftAppearOnAFreeStandAndInTheAirAndGhostsAndBlockedCallsignsLeave) {
  SimScenario s;
  feedStanding(s, 20001, "DLH4AB", s.stand("B3").position());
  s.feedTrack(cruise(20002, "BAW12_", 0.0));
  s.runSeconds(31.0);
  const LiveAc* parked = s.engine.findLiveByKey(20001);
  ASSERT_NE(parked, nullptr);
  EXPECT_EQ(parked->phase, FlightPhase::parked);
  EXPECT_EQ(parked->standId, s.stand("B3").id);
  const auto object = s.sim->object(s.objectOf(20001));
  ASSERT_TRUE(object.has_value());
  EXPECT_EQ(object->title, "Livery A320");
  EXPECT_NEAR(object->initPosition.Latitude, s.stand("B3").latitude, 1e-7);
  const auto flying = s.sim->object(s.objectOf(20002));
  ASSERT_TRUE(flying.has_value());
  EXPECT_GT(flying->initPosition.Altitude, 9000.0);
  EXPECT_EQ(s.engine.findLiveByKey(20002)->phase, FlightPhase::flying);

  // The real flight removes its ghost; a blocked callsign leaves at once.
  s.feedTrack(cruise(20003, "BAW12", 3000.0));
  s.runSeconds(31.0);
  EXPECT_EQ(s.engine.findLiveByKey(20002), nullptr);
  EXPECT_EQ(s.rules.ghostCallsigns(), std::vector<std::string>{"BAW12_"});
  ASSERT_NE(s.objectOf(20003), 0U);
  s.engine.pushSimEvent({0, 20003, 0, SimEventType::blockedCallsign, 0.0, 0.0});
  s.settle();
  EXPECT_EQ(s.engine.findLiveByKey(20003), nullptr);
  expectSimulatorMatchesEngine(s);
}

// A feed that renames a flight to its own callsign and "_" keeps moving it:
// the renamed aircraft is no ghost of itself.
TEST(SpawnScenario, AnAircraftRenamedToItsGhostCallsignKeepsFollowingItsRecords) {
  SimScenario s;
  // Renamed once it flies in the simulator, as it turns east; every 8 s
  // 1000 m on.
  std::vector<LiveTrafficRecord> track = cruise(20004, "DLH4AB", 0.0, 6);
  for (int i = 1; i <= 7; ++i) {
    const GeoPoint at = offsetMeters(kApronOrigin, 25000.0, i * 1000.0);
    track.push_back(SimScenario::record(20004, "DLH4AB_", "A320", at, kStart + (i + 5) * 8.0, 250.0, 90.0, 10000.0));
  }
  s.feedTrack(track);
  s.runSeconds(static_cast<double>(kLiveDelaySeconds) + 1.0);  // the last record is due
  const LiveAc* aircraft = s.engine.findLiveByKey(20004);
  ASSERT_NE(aircraft, nullptr);
  EXPECT_EQ(aircraft->base.identity.callsign, "DLH4AB_");
  const auto object = s.sim->object(s.objectOf(20004));
  ASSERT_TRUE(object.has_value());
  ASSERT_FALSE(object->poses.empty());
  const platform::RecordedPose& last = object->poses.back();
  const double metersFromLastRecord =
      gf_distanceNm({last.latitudeDegrees, last.longitudeDegrees}, {track.back().latitude, track.back().longitude}) *
      1852.0;
  EXPECT_LT(metersFromLastRecord, 300.0);
  expectSimulatorMatchesEngine(s);
}

// Steps until every one of the aircraft has been spawned (left state buffer).
void runUntilSpawned(SimScenario& s, std::initializer_list<std::uint32_t> keys) {
  for (int steps = 0; steps < 6000; ++steps) {
    const bool all = std::all_of(keys.begin(), keys.end(), [&s](std::uint32_t key) {
      const LiveAc* a = s.engine.findLiveByKey(key);
      return a != nullptr && a->state != SimState::buffer;
    });
    if (all) return;
    s.step();
  }
  FAIL() << "not spawned";
}

// Aircraft spawned on their stands leave before they were ever created: a
// create the simulator refuses, a removal while the create still waits, and
// a time shift that takes every aircraft away at once. Each stand is free
// again, and the next aircraft standing there is given it.
TEST(SpawnScenario, EveryWayOutOfTheSimulatorFreesTheStand) {
  SimScenario s;
  s.sim->failNextCreateLater();
  feedStanding(s, 20001, "DLH1", s.stand("B1").position());
  s.runSeconds(20.0);
  EXPECT_EQ(s.engine.findLiveByKey(20001), nullptr) << "its create failed";
  EXPECT_FALSE(s.stand("B1").occupied);

  feedStanding(s, 20002, "DLH2", s.stand("B2").position());
  runUntilSpawned(s, {20002});
  ASSERT_TRUE(s.stand("B2").occupied);
  s.engine.removeAircraftFromSim(*s.engine.findLiveByKey(20002));
  s.step();
  EXPECT_EQ(s.engine.findLiveByKey(20002), nullptr) << "its create was cancelled";
  EXPECT_FALSE(s.stand("B2").occupied);

  // Three together: one create goes out at a time, the others still wait
  // when the time shift removes all of them.
  std::vector<LiveTrafficRecord> first;
  std::vector<LiveTrafficRecord> second;
  for (std::uint32_t i = 3; i <= 5; ++i) {
    const GeoPoint at = s.stand("B" + std::to_string(i)).position();
    first.push_back(SimScenario::record(20000 + i, "DLH" + std::to_string(i), "A320", at, kStart));
    second.push_back(SimScenario::record(20000 + i, "DLH" + std::to_string(i), "A320", at, kStart + 16.0));
  }
  s.feed(first);
  s.runSeconds(16.0);
  s.feed(second);
  runUntilSpawned(s, {20003, 20004, 20005});
  s.runSeconds(0.6);
  for (LiveAc& a : s.engine.liveAircraft()) {
    if (a.state == SimState::active || a.state == SimState::adding2sim) s.engine.removeAircraftFromSim(a);
  }
  s.settle();
  EXPECT_TRUE(s.engine.liveAircraft().empty());
  for (const char* name : {"B3", "B4", "B5"}) EXPECT_FALSE(s.stand(name).occupied) << name;
  EXPECT_TRUE(standsOccupiedByNobody(s.stands, s.engine.liveAircraft()).empty());
  expectSimulatorMatchesEngine(s);

  feedStanding(s, 20006, "DLH6", s.stand("B1").position());
  s.runSeconds(20.0);
  const LiveAc* parked = s.engine.findLiveByKey(20006);
  ASSERT_NE(parked, nullptr);
  EXPECT_EQ(parked->standId, s.stand("B1").id);
  EXPECT_EQ(parked->phase, FlightPhase::parked);
  EXPECT_TRUE(standsOccupiedByNobody(s.stands, s.engine.liveAircraft()).empty());
}

// Taxiing in from the south at 8 kt, it stops 10 m short of B3.
TEST(SpawnScenario, AnArrivalDrivesOntoItsStandEvictingALeavingHolderAndStaticNeighbours) {
  SimScenario s(standGrid(2, 6, 30.0));
  feedStanding(s, 20009, "KLM77", s.stand("B3").position());
  s.runSeconds(35.0);
  s.placeStatic(7, "RYR7*", "A320", s.stand("B4"));
  s.runSeconds(3.0);
  ASSERT_NE(s.objectOf(20009), 0U);
  ASSERT_NE(s.objectOf(7), 0U);
  s.stand("B3").occupied = false;  // as when the holder starts to leave

  const GeoPoint stop = offsetMeters(s.stand("B3").position(), -10.0, 0.0);
  std::vector<LiveTrafficRecord> track;
  for (int i = 0; i <= 7; ++i) {
    const GeoPoint at = offsetMeters(stop, -140.0 + i * 20.0, 0.0);
    track.push_back(SimScenario::record(20001, "DLH4AB", "A320", at, kStart + i * 5.0, i < 7 ? 8.0 : 0.0));
  }
  for (int i = 1; i <= 3; ++i) {
    track.push_back(SimScenario::record(20001, "DLH4AB", "A320", stop, kStart + 35.0 + i * 16.0));
  }
  s.feedTrack(track);
  s.runSeconds(40.0);

  const LiveAc* arrival = s.engine.findLiveByKey(20001);
  ASSERT_NE(arrival, nullptr);
  EXPECT_EQ(arrival->standId, s.stand("B3").id);
  EXPECT_EQ(arrival->phase, FlightPhase::parked);
  EXPECT_NE(s.logText().find("arrived at stand"), std::string::npos);
  EXPECT_EQ(s.engine.findLiveByKey(20009), nullptr);  // the holder went
  EXPECT_EQ(s.engine.findStaticByKey(7), nullptr);    // its wings reached B3
  const auto object = s.sim->object(s.objectOf(20001));
  ASSERT_TRUE(object.has_value());
  ASSERT_FALSE(object->poses.empty());
  EXPECT_NEAR(object->poses.back().latitudeDegrees, s.stand("B3").latitude, 2e-5);
  expectSimulatorMatchesEngine(s);
}

TEST(SpawnScenario, OverTheLiveLimitTheFarthestLeavesForANearerNewcomer) {
  par_MAX_LIVE_SEL.setValue(10);
  SimScenario s;
  std::vector<LiveTrafficRecord> first;
  std::vector<LiveTrafficRecord> second;
  for (std::uint32_t i = 0; i < 10; ++i) {
    auto track = cruise(30000 + i, "ACT" + std::to_string(i), 1000.0 * i);
    first.push_back(track[0]);
    second.push_back(track[1]);
  }
  s.feed(first);
  s.runSeconds(8.0);
  s.feed(second);
  s.runSeconds(40.0);
  ASSERT_EQ(s.simulatorObjects().size(), 10U);
  s.feedTrack(cruise(20001, "NEAR1", -500.0));
  s.runSeconds(35.0);
  EXPECT_EQ(s.simulatorObjects().size(), 10U);
  EXPECT_NE(s.objectOf(20001), 0U);
  EXPECT_EQ(s.engine.findLiveByKey(30009), nullptr);  // the farthest
  par_MAX_LIVE_SEL.setValue(500);
  expectSimulatorMatchesEngine(s);
}

// The feed's registration changes from G-ABCD to D-AIPA, an A320 of DLH
// parked as a static aircraft on A2.
TEST(SpawnScenario, ANewRegistrationRespawnsTheAircraftWithAFreshLiveryAndReplacesItsStaticTwin) {
  SimScenario s;
  s.placeStatic(5, "DLH9X*", "A320", s.stand("A2"), "D-AIPA");
  auto track = cruise(20001, "DLH4AB", 0.0, 4, "B738");
  for (LiveTrafficRecord& r : track) {
    r.identity.registration = "G-ABCD";
  }
  track[3].identity.registration = "D-AIPA";
  s.feedTrack({track[0], track[1], track[2]});
  s.runSeconds(25.0);  // between its second and third record
  const std::uint32_t before = s.objectOf(20001);
  ASSERT_NE(before, 0U);
  EXPECT_EQ(s.sim->object(before)->title, "Livery B738");
  ASSERT_EQ(s.engine.findStaticByKey(5)->state, SimState::active);
  s.feedTrack({track[3]});
  s.settle();
  const std::uint32_t after = s.objectOf(20001);
  EXPECT_NE(after, 0U);
  EXPECT_NE(after, before);
  EXPECT_TRUE(s.sim->object(before)->removed);
  EXPECT_EQ(s.sim->object(after)->title, "Livery A320");
  EXPECT_EQ(objectsTitled(s, ""), 0U);
  EXPECT_EQ(s.engine.findStaticByKey(5), nullptr);
  expectSimulatorMatchesEngine(s);
}

// What a scenario of a parked and a cruising aircraft shows in 36 s.
struct SpawnOutcome {
  std::int64_t tick = 0;
  std::size_t quietRangeRequests = 0;
  struct Aircraft {
    int boundInSecond = -1;
    FlightPhase phase = FlightPhase::birth;
    std::uint32_t standId = 0;
    double initLatitude = 0.0;
    double initAltitudeFeet = 0.0;
    double latitude = 0.0;
    double altitudeFeet = 0.0;
  };
  std::vector<Aircraft> aircraft;  // by key
  bool simulatorMatchesEngine = false;
};

SpawnOutcome spawnTwo(bool skipQuiet) {
  SimScenario s;
  const std::vector<LiveTrafficRecord> flying = cruise(20002, "DLH12", 0.0);
  const GeoPoint stand = s.stand("B3").position();
  s.feed({flying[0], SimScenario::record(20001, "DLH4AB", "A320", stand, kStart)});
  s.step(800);
  s.feed({flying[1]});
  s.step(800);
  s.feed({SimScenario::record(20001, "DLH4AB", "A320", stand, kStart + 16.0)});
  s.step(static_cast<int>(100 - s.engine.tick() % 100));  // on a whole second
  std::map<std::uint32_t, int> boundInSecond;
  SpawnOutcome outcome;
  s.sim->clearCalls();
  for (int second = 0; second < 36; ++second) {
    skipQuiet ? s.stepSkippingQuiet(100) : s.step(100);
    if (second == 4) {  // five seconds in which nothing can happen
      for (const platform::SimCall& call : s.sim->calls()) {
        outcome.quietRangeRequests += call.function == platform::SimFunction::RequestDataOnSimObjectType ? 1 : 0;
      }
    }
    for (const std::uint32_t key : {20001U, 20002U}) {
      if (s.objectOf(key) != 0) boundInSecond.emplace(key, second);
    }
  }

  outcome.tick = s.engine.tick();
  for (const std::uint32_t key : {20001U, 20002U}) {
    const LiveAc* live = s.engine.findLiveByKey(key);
    if (live == nullptr || live->objectId == 0) continue;
    const auto object = s.sim->object(live->objectId);
    if (!object.has_value()) continue;
    outcome.aircraft.push_back({boundInSecond[key], live->phase, live->standId, object->initPosition.Latitude,
                                object->initPosition.Altitude, object->state.latitudeDegrees,
                                object->state.altitudeFeet});
  }
  s.settle();
  outcome.simulatorMatchesEngine = s.simulatorObjects() == s.engineObjects();
  return outcome;
}

// Passing the quiet seconds of the live delay in one go spawns the same
// aircraft at the same tick and place as stepping through every tick, and
// the stand-in sees none of the periodic requests of the quiet seconds.
TEST(SpawnScenario, SkippingTheQuietSecondsOfTheDelayChangesNoSpawn) {
  const SpawnOutcome stepped = spawnTwo(false);
  const SpawnOutcome skipping = spawnTwo(true);
  EXPECT_EQ(skipping.tick, stepped.tick);
  ASSERT_EQ(stepped.aircraft.size(), 2U);
  ASSERT_EQ(skipping.aircraft.size(), 2U);
  for (std::size_t i = 0; i < 2; ++i) {
    const SpawnOutcome::Aircraft& want = stepped.aircraft[i];
    const SpawnOutcome::Aircraft& got = skipping.aircraft[i];
    EXPECT_GT(want.boundInSecond, 8) << i;
    EXPECT_EQ(got.boundInSecond, want.boundInSecond) << i;
    EXPECT_EQ(got.phase, want.phase) << i;
    EXPECT_EQ(got.standId, want.standId) << i;
    EXPECT_DOUBLE_EQ(got.initLatitude, want.initLatitude) << i;
    EXPECT_DOUBLE_EQ(got.initAltitudeFeet, want.initAltitudeFeet) << i;
    EXPECT_NEAR(got.latitude, want.latitude, 1e-9) << i;
    EXPECT_NEAR(got.altitudeFeet, want.altitudeFeet, 1e-6) << i;
  }
  EXPECT_EQ(stepped.quietRangeRequests, 25U);
  EXPECT_EQ(skipping.quietRangeRequests, 0U);
  EXPECT_TRUE(skipping.simulatorMatchesEngine);
  EXPECT_TRUE(stepped.simulatorMatchesEngine);
}

}  // namespace
}  // namespace crv::testing
