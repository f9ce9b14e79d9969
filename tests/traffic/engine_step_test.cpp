#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/settings.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

using Kind = RecordingSimRequests::Kind;
using Call = RecordingSimRequests::Call;

CreateRequest requestFor(std::uint32_t key) {
  CreateRequest request;
  request.key = key;
  request.callsign = "CS" + std::to_string(key);
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
  std::vector<std::int64_t> userDataTicks;
  TrafficEngine* engine = nullptr;
  EngineHooks hooks;
  hooks.getUserAcPosition = [&] {
    userDataTicks.push_back(engine->tick());
    return UserAcData{};
  };
  EngineHarness harness(hooks);
  engine = &harness.engine;
  for (std::uint32_t i = 0; i < 30; ++i) {
    EngineTestAccess::queueLiveCreate(harness.engine, requestFor(20000 + i));
  }
  for (std::uint32_t i = 0; i < 150; ++i) {
    harness.engine.queueObjectRemoval(100 + i);
  }
  harness.step(1000);
  EXPECT_EQ(ticksOf(harness.creates), everyNthTick(50, 20));
  EXPECT_EQ(ticksOf(harness.removes), everyNthTick(10, 100));
  EXPECT_EQ(harness.removes[3].item, 103U);
  EXPECT_EQ(harness.creates[2].item.key, 20002U);
  std::vector<Call> rangeRequests;
  for (const std::int64_t tick : everyNthTick(20, 50)) {
    rangeRequests.push_back({tick, static_cast<std::uint32_t>(trafficRadiusMeters())});
  }
  EXPECT_EQ(harness.sim.calls[Kind::AircraftInRange], rangeRequests);
  EXPECT_EQ(userDataTicks, everyNthTick(100, 10));
}

TEST(EngineStep, LiveCreatesGoFirstAndStaticPlacementOnlyInHalfSecondsWithoutOne) {
  std::vector<std::int64_t> placements;
  TrafficEngine* engine = nullptr;
  EngineHooks hooks;
  hooks.chooseStaticStand = [&] { placements.push_back(engine->tick()); };
  EngineHarness harness(hooks);
  engine = &harness.engine;
  harness.engine.queueStaticCreate(requestFor(7));
  harness.engine.queueStaticCreate(requestFor(8));
  EngineTestAccess::queueLiveCreate(harness.engine, requestFor(20001));
  EngineTestAccess::queueLiveCreate(harness.engine, requestFor(20002));
  harness.step(251);
  std::vector<std::uint32_t> keys;
  for (const auto& create : harness.creates) {
    keys.push_back(create.item.key);
  }
  EXPECT_EQ(keys, (std::vector<std::uint32_t>{20001, 20002, 7, 8}));
  EXPECT_EQ(ticksOf(harness.creates), (std::vector<std::int64_t>{0, 50, 100, 150}));
  EXPECT_EQ(placements, (std::vector<std::int64_t>{100, 150, 200, 250}));
}

TEST(EngineStep, AnAircraftOnTheAddingStackBecomesOneCreateRequestInDegrees) {
  EngineHarness harness;
  LiveAc& aircraft = harness.spawnLive(0x4CA123, "RYR12AB");
  aircraft.position.bankRadians = 0.1;
  aircraft.position.headingRadians = 3.141592653589793;
  harness.spawnLive(0x4CA124, "");  // without a callsign nothing is asked
  harness.step(110);
  ASSERT_EQ(harness.creates.size(), 1U);
  const CreateRequest& create = harness.creates.front().item;
  EXPECT_EQ(create.key, 0x4CA123U);
  EXPECT_EQ(create.liveryTitle, "Airbus A320 RYR12AB");
  EXPECT_NEAR(create.position.headingDegrees, 180.0, 1e-9);
  EXPECT_NEAR(create.position.bankDegrees, 5.729577951308232, 1e-9);
  EXPECT_TRUE(harness.engine.addingStack().empty());
}

TEST(EngineStep, APausedLinkIsAskedNothingAndAFailedRequestPausesItOnce) {
  EngineHarness harness;
  harness.link.simLinkPaused.store(true);
  harness.step(40);
  EXPECT_TRUE(harness.sim.calls.empty());
  harness.link.simLinkPaused.store(false);
  harness.sim.failCalls = true;
  harness.step(41);  // ticks 40 and 60 would ask; the first failure pauses
  EXPECT_EQ(harness.sim.calls[Kind::AircraftInRange].size(), 1U);
  EXPECT_TRUE(harness.link.simLinkPaused.load());
  // Refused requests hold up no aircraft on its way to active.
  harness.placeLive(20001, "DLH4AB", SimState::adding2sim);
  harness.bindLive(20001, 480);
  harness.step(201);
  EXPECT_EQ(harness.engine.findLiveByKey(20001)->state, SimState::active);
  EXPECT_EQ(harness.requestErrors, 1);
}

// A refused request is a plain line of the log, not a warning.
TEST(EngineStep, RefusedSimulatorRequestsAreLoggedAsPlainLines) {
  LogCapture log;
  EngineHarness harness;
  harness.sim.failCalls = true;
  harness.placeLive(20001, "DLH4AB", SimState::adding2sim);
  harness.bindLive(20001, 480);
  for (int i = 0; i < 120; ++i) {
    harness.link.simLinkPaused.store(false);  // each refusal pauses the link
    harness.step();
  }
  const std::string text = log.text();
  for (const std::string line : {"SimConnect request ac within range fails", "SimConnect request StaticCG fails",
                                 "SimConnect gf_allLightsToggle fails"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_EQ(text.find("===> " + line), std::string::npos) << line;
  }
}

TEST(EngineStep, LiveAircraftAreSteppedByTheirStateAndAFaultInOneKeepsTheOthersGoing) {
  int spawnTries = 0;
  EngineHooks hooks;
  hooks.trySpawn = [&](LiveAc& a) {
    ++spawnTries;
    a.dropFromBuffer = a.base.key == 20002;
  };
  hooks.advanceLiveAc = [](LiveAc& a) {
    if (a.base.key == 20005) {
      throw std::runtime_error("bad leg");
    }
    a.position.latitude += 0.001;
  };
  EngineHarness harness(hooks);
  harness.placeLive(20001, "BUF1", SimState::buffer);
  harness.placeLive(20002, "BUF2", SimState::buffer);
  harness.placeLive(20003, "ACT3", SimState::active, 301);
  harness.placeLive(20004, "ADD4", SimState::adding2sim);
  harness.placeLive(20005, "BAD5", SimState::active, 305);
  harness.step();
  EXPECT_EQ(spawnTries, 2);
  EXPECT_EQ(harness.engine.findLiveByKey(20002), nullptr);  // dropped from the buffer
  EXPECT_EQ(harness.engine.liveAircraft().size(), 4U);
  ASSERT_EQ(harness.positions.size(), 1U);
  EXPECT_EQ(harness.positions.front().item.objectId, 301U);
  EXPECT_DOUBLE_EQ(harness.positions.front().item.block.latitude, 50.031);
}

TEST(EngineStep, AnActiveAircraftWithoutPathOrObjectIsRemovedAndNotMovedFurther) {
  LogCapture log;
  int advanced = 0;
  EngineHooks hooks;
  hooks.advanceLiveAc = [&](LiveAc&) { ++advanced; };
  EngineHarness harness(hooks);
  harness.placeLive(20001, "DLH4AB", SimState::active, 305).path.clear();
  harness.placeLive(20002, "DLH5CD", SimState::active, 0);
  harness.step();
  EXPECT_EQ(advanced, 1);  // only the one with a path
  EXPECT_TRUE(harness.positions.empty());
  EXPECT_EQ(harness.engine.findLiveByKey(20001)->state, SimState::removingfromsim);
  EXPECT_EQ(harness.engine.findLiveByKey(20002)->state, SimState::removingfromsim);
  // Both say so in a warning.
  const std::string text = log.text();
  for (const std::string piece : {"stream empty ? ", " objectid=0? hexid: 20002,cs:DLH5CD,"}) {
    const std::size_t at = text.find(piece);
    ASSERT_NE(at, std::string::npos) << piece;
    const std::size_t lineStart = text.rfind('\n', at) + 1;  // npos + 1: the first line
    EXPECT_EQ(text.substr(lineStart, 5), "===> ") << text.substr(lineStart, at - lineStart + piece.size());
  }
  harness.step(30);
  EXPECT_EQ(advanced, 1);
  ASSERT_EQ(harness.removes.size(), 1U);  // nothing to remove for object 0
  EXPECT_EQ(harness.removes.front().item, 305U);
}

TEST(EngineStep, FarthestActiveAircraftGoFirstBeyondTheLimit) {
  EngineHarness harness;
  harness.user.latitude = 50.0;
  harness.user.longitude = 8.0;
  EngineTestAccess::setUserAircraft(harness.engine, harness.user);
  for (const auto& [key, latitude] : {std::pair{20001U, 50.1}, std::pair{20002U, 50.5}, std::pair{20003U, 50.3}}) {
    LiveAc& a = harness.placeLive(key, "A" + std::to_string(key), SimState::active, key - 20000 + 10);
    a.position.latitude = latitude;  // 6, 30 and 18 nm north of the user
    a.position.longitude = 8.0;
  }
  EXPECT_TRUE(harness.engine.removeFarthestLiveAc(29.95));  // none beyond 30.05 nm
  EXPECT_FALSE(harness.engine.removeFarthestLiveAc(10.0));
  EXPECT_EQ(harness.engine.findLiveByKey(20002)->state, SimState::removingfromsim);

  const std::int32_t maxLive = par_MAX_LIVE_SEL.value();
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

TEST(EngineStep, CallsignListHoldsTheActiveAircraftAndGoesAtEveryReset) {
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
  EXPECT_EQ(readTextFile(file),
            "Air DLH4AB    DLH A320: 310 \n"
            "Gnd BAW12     BAW A320: 311 Parked at unknown\n");
  EXPECT_EQ(harness.engine.standLabel(0), "sid==0?");
  harness.engine.resetTrafficState();
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(EngineStep, ResetEmptiesEverythingAndForgetsTheParkAirport) {
  int laterResets = 0;
  EngineHooks hooks;
  hooks.resetLaterParts = [&] { ++laterResets; };
  EngineHarness harness(hooks);
  TrafficEngine& engine = harness.engine;
  engine.setParkAirport("EDDF", 364.0);
  harness.spawnLive(20001, "DLH4AB");
  harness.placeStatic(7, "RYR1*", SimState::active, 401);
  engine.queueObjectRemoval(9);
  engine.queueStaticCreate(requestFor(8));
  harness.feedLive({EngineHarness::record(20002, "AAA1", "A320", 1.0)});
  harness.bindLive(20001, 350);
  engine.reports().addNoMatch("DLH A320 D-AIPA");
  harness.step(120);
  engine.resetTrafficState();

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
        const std::uint32_t key = 30000 + batch * 3 + i;
        records.push_back(EngineHarness::record(key, "R" + std::to_string(key), "A320", 1000.0 + batch));
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
