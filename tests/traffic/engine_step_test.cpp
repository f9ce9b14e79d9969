#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/settings.h"
#include "tests/support/temp_folder.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

using Kind = RecordingSimRequests::Kind;

CreateRequest requestFor(std::uint32_t key, const std::string& callsign) {
  CreateRequest request;
  request.key = key;
  request.callsign = callsign;
  return request;
}

std::vector<std::int64_t> everyNthTick(std::int64_t period, std::int64_t count) {
  std::vector<std::int64_t> ticks;
  for (std::int64_t i = 0; i < count; ++i) {
    ticks.push_back(i * period);
  }
  return ticks;
}

TEST(EngineStep, PacesCreatesRemovalsRequestsAndUserDataOverAThousandSteps) {
  EngineHarness harness;
  for (std::uint32_t i = 0; i < 30; ++i) {
    EngineTestAccess::queueLiveCreate(harness.engine, requestFor(20000 + i, "LIV" + std::to_string(i)));
  }
  for (std::uint32_t i = 0; i < 150; ++i) {
    harness.engine.queueObjectRemoval(100 + i);
  }
  harness.step(1000);
  EXPECT_EQ(harness.engine.tick(), 1000);
  EXPECT_EQ(harness.createTicks(), everyNthTick(50, 20));
  EXPECT_EQ(harness.removeTicks(), everyNthTick(10, 100));
  EXPECT_EQ(harness.removes[3].item, 103U);
  EXPECT_EQ(harness.creates[2].item.callsign, "LIV2");
  EXPECT_EQ(harness.sim.ticksOf(Kind::AircraftInRange), everyNthTick(20, 50));
  EXPECT_EQ(harness.sim.callsOf(Kind::AircraftInRange).front().value,
            static_cast<std::uint32_t>(trafficRadiusMeters()));
  EXPECT_EQ(harness.userDataTicks, everyNthTick(100, 10));
}

TEST(EngineStep, LiveCreatesGoFirstAndStaticPlacementOnlyInHalfSecondsWithoutOne) {
  std::vector<std::int64_t> placements;
  EngineHarness* self = nullptr;
  EngineHooks hooks;
  hooks.chooseStaticStand = [&] { placements.push_back(self->engine.tick()); };
  EngineHarness harness(hooks);
  self = &harness;
  harness.engine.queueStaticCreate(requestFor(7, "STA7*"));
  harness.engine.queueStaticCreate(requestFor(8, "STA8*"));
  EngineTestAccess::queueLiveCreate(harness.engine, requestFor(20001, "LIV1"));
  EngineTestAccess::queueLiveCreate(harness.engine, requestFor(20002, "LIV2"));
  harness.step(251);
  ASSERT_EQ(harness.creates.size(), 4U);
  EXPECT_EQ(harness.creates[0].item.key, 20001U);
  EXPECT_EQ(harness.creates[1].item.key, 20002U);
  EXPECT_EQ(harness.creates[2].item.key, 7U);
  EXPECT_EQ(harness.creates[3].item.key, 8U);
  EXPECT_EQ(harness.createTicks(), (std::vector<std::int64_t>{0, 50, 100, 150}));
  EXPECT_EQ(placements, (std::vector<std::int64_t>{100, 150, 200, 250}));
}

TEST(EngineStep, AnAircraftOnTheAddingStackBecomesOneCreateRequest) {
  EngineHarness harness;
  LiveAc& aircraft = harness.spawnLive(0x4CA123, "RYR12AB");
  aircraft.position.pitchRadians = -0.05;
  aircraft.position.bankRadians = 0.1;
  aircraft.position.headingRadians = 3.141592653589793;
  harness.step(51);
  ASSERT_EQ(harness.creates.size(), 1U);
  const Timed<CreateRequest>& create = harness.creates.front();
  EXPECT_EQ(create.tick, 50);
  EXPECT_EQ(create.item.key, 0x4CA123U);
  EXPECT_EQ(create.item.callsign, "RYR12AB");
  EXPECT_EQ(create.item.liveryTitle, "Airbus A320 RYR12AB");
  EXPECT_DOUBLE_EQ(create.item.position.latitude, 50.03);
  EXPECT_DOUBLE_EQ(create.item.position.altitudeFeet, 12000.0);
  EXPECT_NEAR(create.item.position.headingDegrees, 180.0, 1e-9);
  EXPECT_NEAR(create.item.position.bankDegrees, 5.729577951308232, 1e-9);
  EXPECT_EQ(create.item.position.onGround, 0U);
  EXPECT_EQ(create.item.position.airspeedKnots, 0U);
  EXPECT_TRUE(harness.engine.addingStack().empty());

  // Without a callsign nothing is asked.
  harness.spawnLive(0x4CA124, "");
  harness.step(60);
  EXPECT_EQ(harness.creates.size(), 1U);
}

TEST(EngineStep, APausedLinkIsAskedNothingAndAFailedRequestPausesIt) {
  EngineHarness harness;
  harness.link.simLinkPaused.store(true);
  harness.step(40);
  EXPECT_TRUE(harness.sim.callsOf(Kind::AircraftInRange).empty());
  harness.link.simLinkPaused.store(false);
  harness.sim.failCalls = true;
  harness.step(41);  // ticks 40 and 60 would ask; the first failure pauses
  EXPECT_EQ(harness.sim.ticksOf(Kind::AircraftInRange), (std::vector<std::int64_t>{40}));
  EXPECT_TRUE(harness.link.simLinkPaused.load());
  EXPECT_EQ(harness.requestErrors, 1);
}

TEST(EngineStep, LiveAircraftAreSteppedByTheirState) {
  int spawnTries = 0;
  int advanced = 0;
  EngineHooks hooks;
  hooks.trySpawn = [&](LiveAc& a) {
    ++spawnTries;
    a.dropFromBuffer = a.base.key == 20002;
  };
  hooks.advanceLiveAc = [&](LiveAc& a) {
    ++advanced;
    a.position.latitude += 0.001;
  };
  EngineHarness harness(hooks);
  harness.placeLive(20001, "BUF1", SimState::buffer);
  harness.placeLive(20002, "BUF2", SimState::buffer);
  harness.placeLive(20003, "ACT3", SimState::active, 301);
  harness.placeLive(20004, "ADD4", SimState::adding2sim);
  harness.step();
  EXPECT_EQ(spawnTries, 2);
  EXPECT_EQ(advanced, 1);
  EXPECT_EQ(harness.engine.findLiveByKey(20002), nullptr);  // dropped from the buffer
  ASSERT_EQ(harness.positions.size(), 1U);
  EXPECT_EQ(harness.positions.front().item.objectId, 301U);
  EXPECT_DOUBLE_EQ(harness.positions.front().item.block.latitude, 50.031);
  harness.step(9);
  EXPECT_EQ(harness.positions.size(), 10U);
}

TEST(EngineStep, AnActiveAircraftWithAnEmptyPathIsRemovedAndNotMovedFurther) {
  int advanced = 0;
  EngineHooks hooks;
  hooks.advanceLiveAc = [&](LiveAc&) { ++advanced; };
  EngineHarness harness(hooks);
  LiveAc& aircraft = harness.placeLive(20001, "DLH4AB", SimState::active, 305);
  aircraft.path.clear();
  harness.step();
  EXPECT_EQ(advanced, 0);
  EXPECT_TRUE(harness.positions.empty());
  EXPECT_EQ(harness.engine.findLiveByKey(20001)->state, SimState::removingfromsim);
  // The removal leaves in the same step (tick 0 takes one).
  ASSERT_EQ(harness.removes.size(), 1U);
  EXPECT_EQ(harness.removes.front().item, 305U);
  EXPECT_EQ(harness.removes.front().tick, 0);
  harness.step(10);
  EXPECT_EQ(advanced, 0);
  EXPECT_EQ(harness.removes.size(), 1U);
}

TEST(EngineStep, AnActiveAircraftWithoutObjectIsRemoved) {
  EngineHarness harness;
  harness.placeLive(20001, "DLH4AB", SimState::active, 0);
  harness.step();
  EXPECT_EQ(harness.engine.findLiveByKey(20001)->state, SimState::removingfromsim);
  EXPECT_TRUE(harness.engine.removeQueue().empty());
  EXPECT_TRUE(harness.positions.empty());
}

TEST(EngineStep, AnExceptionInTheLiveStepKeepsTheOthersGoing) {
  EngineHooks hooks;
  hooks.advanceLiveAc = [](LiveAc& a) {
    if (a.base.key == 20001) {
      throw std::runtime_error("bad leg");
    }
  };
  EngineHarness harness(hooks);
  harness.placeLive(20001, "BAD1", SimState::active, 301);
  harness.placeLive(20002, "GOOD2", SimState::active, 302);
  harness.step();
  ASSERT_EQ(harness.positions.size(), 1U);
  EXPECT_EQ(harness.positions.front().item.objectId, 302U);
  EXPECT_EQ(harness.engine.liveAircraft().size(), 2U);
}

TEST(EngineStep, FarthestActiveAircraftGoFirstBeyondTheLimit) {
  EngineHarness harness;
  UserAcData user;
  user.latitude = 50.0;
  user.longitude = 8.0;
  EngineTestAccess::setUserAircraft(harness.engine, user);
  auto place = [&](std::uint32_t key, double latitude) {
    LiveAc& a = harness.placeLive(key, "A" + std::to_string(key), SimState::active, key - 20000 + 10);
    a.position.latitude = latitude;
    a.position.longitude = 8.0;
  };
  place(20001, 50.1);  // 6 nm
  place(20002, 50.5);  // 30 nm
  place(20003, 50.3);  // 18 nm

  EXPECT_TRUE(harness.engine.removeFarthestLiveAc(29.95));  // none beyond 30.05 nm
  EXPECT_EQ(harness.engine.activeLiveCount(), 3U);
  EXPECT_FALSE(harness.engine.removeFarthestLiveAc(10.0));
  EXPECT_EQ(harness.engine.findLiveByKey(20002)->state, SimState::removingfromsim);

  const std::int32_t maxLive = par_MAX_LIVE_SEL.value();
  par_MAX_LIVE_SEL.setValue(500);
  harness.engine.enforceMaxLive();
  EXPECT_EQ(harness.engine.activeLiveCount(), 2U);
  par_MAX_LIVE_SEL.setValue(1);
  harness.engine.enforceMaxLive();
  EXPECT_EQ(harness.engine.activeLiveCount(), 1U);
  EXPECT_EQ(harness.engine.findLiveByKey(20001)->state, SimState::active);
  par_MAX_LIVE_SEL.setValue(maxLive);

  SimQueues link;
  TrafficEngine empty(link, {});
  EXPECT_TRUE(empty.removeFarthestLiveAc(5.0));
  EXPECT_FALSE(empty.removeFarthestLiveAc(std::numeric_limits<double>::quiet_NaN()));
}

TEST(EngineStep, CallsignListHoldsTheActiveAircraftSorted) {
  EngineHarness harness;
  harness.placeLive(20001, "DLH4AB", SimState::active, 310);
  LiveAc& parked = harness.placeLive(20002, "BAW12", SimState::active, 311);
  parked.phase = FlightPhase::parked;
  parked.onGround = true;
  parked.standId = 3;
  parked.base.identity.airline = "BAW";
  harness.placeLive(20003, "AFR77", SimState::buffer);
  harness.engine.logParkedList();
  const std::filesystem::path file = harness.folder / "Callsign2ObjectId.txt";
  EXPECT_EQ(readFile(file),
            "Air DLH4AB    DLH A320: 310 \n"
            "Gnd BAW12     BAW A320: 311 Parked at unknown\n");

  // Gone at every reset.
  harness.engine.resetTrafficState();
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(EngineStep, StandLabelsNameTheStandOrSayWhyNot) {
  StandTable stands;
  stands.emplace_back("A12", std::vector<UsageEntry>{}, std::array<double, 3>{50.0, 8.0, 0.0}, 20.0, true, true, true);
  stands.back().id = 4;
  SimQueues link;
  EngineConfig config;
  config.stands = &stands;
  TrafficEngine engine(link, {}, config);
  EXPECT_EQ(engine.standLabel(0), "sid==0?");
  EXPECT_EQ(engine.standLabel(4), "A12");
  EXPECT_EQ(engine.standLabel(5), "unknown");
}

TEST(EngineStep, ResetEmptiesEverythingAndForgetsTheParkAirport) {
  int laterResets = 0;
  EngineHooks hooks;
  hooks.resetLaterParts = [&] { ++laterResets; };
  EngineHarness harness(hooks);
  harness.engine.setParkAirport("EDDF", 364.0);
  harness.spawnLive(20001, "DLH4AB");
  harness.placeStatic(7, "RYR1*", SimState::active, 401);
  harness.engine.queueObjectRemoval(9);
  harness.engine.queueStaticCreate(requestFor(8, "X"));
  harness.feedLive({EngineHarness::record(20002, "AAA1", "A320", 1.0)});
  harness.bindLive(20001, 350);
  harness.engine.reports().addNoMatch("DLH A320 D-AIPA");
  harness.step(120);
  harness.engine.resetTrafficState();

  TrafficEngine& engine = harness.engine;
  EXPECT_EQ(engine.parkElevationFeet(), kNoParkElevationFeet);
  EXPECT_FALSE(engine.parkAirportSet());
  EXPECT_TRUE(engine.parkAirportName().empty());
  EXPECT_TRUE(engine.liveAircraft().empty());
  EXPECT_TRUE(engine.staticAircraft().empty());
  EXPECT_TRUE(engine.addingStack().empty());
  EXPECT_TRUE(engine.liveCreateQueue().empty());
  EXPECT_TRUE(engine.staticCreateQueue().empty());
  EXPECT_TRUE(engine.removeQueue().empty());
  EXPECT_EQ(EngineTestAccess::handoverSize(engine), 0U);
  EXPECT_EQ(EngineTestAccess::deferredEventCount(engine), 0U);
  EXPECT_EQ(engine.reports().noMatchCount(), 0U);
  EXPECT_EQ(engine.tick(), 0);
  EXPECT_EQ(laterResets, 1);

  // An aircraft 5 ft up is no longer taken for a parked one at 0 ft.
  LiveTrafficRecord low = EngineHarness::record(20005, "LOW5", "A320", 1.0);
  low.altitudeFeet = 5.0;
  harness.feedSnapshot({low}, 0);
  EXPECT_NE(engine.findLiveByKey(20005), nullptr);
}

TEST(EngineStep, TheReaderHandsOverWhileTheWorkerSteps) {
  EngineHarness harness;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    for (std::uint32_t batch = 0; batch < 200; ++batch) {
      std::vector<LiveTrafficRecord> records;
      for (std::uint32_t i = 0; i < 3; ++i) {
        records.push_back(EngineHarness::record(30000 + batch * 3 + i, "R" + std::to_string(batch * 3 + i), "A320",
                                                1000.0 + batch));
      }
      harness.engine.intakeTrafficBatch(records, kLiveDelaySeconds);
      harness.engine.pushSimEvent({0, 1, 0, SimEventType::blockedCallsign, 0.0, 0.0});
    }
    done.store(true);
  });
  while (!done.load()) {
    harness.step();
  }
  reader.join();
  harness.step(4);
  EXPECT_EQ(EngineTestAccess::handoverSize(harness.engine), 0U);
  EXPECT_FALSE(harness.engine.liveAircraft().empty());
  for (const LiveAc& a : harness.engine.liveAircraft()) {
    EXPECT_EQ(a.path.size(), 1U);
  }
}

}  // namespace
}  // namespace crv::testing
