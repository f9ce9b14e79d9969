#include <gtest/gtest.h>

#include <thread>

#include "foundation/clock.h"
#include "foundation/settings.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

constexpr std::uint32_t kKey = 0x3C6589;

class IntakeTest : public ::testing::Test {
 protected:
  EngineHarness harness;
  TrafficEngine& engine = harness.engine;

  // Applies records at once, as a snapshot does.
  void apply(LiveTrafficRecord record) { harness.feedSnapshot({std::move(record)}, 0); }
  std::size_t pointsOf(std::uint32_t key) {
    LiveAc* aircraft = engine.findLiveByKey(key);
    return aircraft == nullptr ? 0 : aircraft->path.size();
  }
};

TEST_F(IntakeTest, DueTicksFollowTheBatchMedianInTenthsOfASecondBoundedToADay) {
  struct Case {
    std::int64_t tick;
    std::uint32_t delaySeconds;
    std::vector<double> timestamps;
    std::vector<std::int64_t> dueTicks;
  };
  const std::int64_t day = 86400 * kTicksPerSecond;
  const Case cases[] = {
      // The median is the upper middle; 0.05 s before it is the same tick.
      {500, 12, {1000.0, 1000.26, 999.74, 1000.05}, {1700, 1720, 1670, 1700}},
      // Older records at the session start are due at once instead of wrapping.
      {0, 0, {1000.0, 997.5, 1000.45}, {0, -250, 40}},
      // The absurd times of a lying server.
      {500, 0, {1000.0, 1e300, -1e300}, {500, 500 + day, 500 - day}},
  };
  std::uint32_t key = 20000;
  for (const Case& c : cases) {
    EngineTestAccess::setTick(engine, c.tick);
    std::vector<LiveTrafficRecord> batch;
    for (const double timestamp : c.timestamps) {
      ++key;
      batch.push_back(EngineHarness::record(key, "C" + std::to_string(key), "A320", timestamp));
    }
    harness.feedSnapshot(batch, c.delaySeconds);
    for (std::size_t i = 0; i < batch.size(); ++i) {
      EXPECT_EQ(engine.findLiveByKey(batch[i].key)->path.front().dueTick, c.dueTicks[i]) << c.timestamps[i];
    }
  }
}

// A known aircraft's record in a batch of few records falls due its own time
// after the aircraft's last one, drawn a tenth of the way towards the batch's
// rule and never more than a second from it, however wrong its time; among
// 100 records it keeps the batch's rule.
TEST_F(IntakeTest, AKnownAircraftsRecordInAFewKeepsItsOwnSpacingWithinASecondOfTheBatchRule) {
  struct Case {
    const char* what;
    double secondsLater;           // its time after the aircraft's first record
    std::int64_t handedOverLater;  // ticks after the first
    std::size_t batchSize;
    std::int64_t dueLater;         // ticks after the first's due tick
  };
  const Case cases[] = {
      {"1.4 s later, in the answer 2 s on", 1.4, 200, 1, 146},
      {"10 s later by its time, in the answer 2 s on", 10.0, 200, 1, 300},
      {"1.5 s later, in the answer 4 s on", 1.5, 400, 1, 300},
      {"1.4 s later, in the answer 2 s on among 100", 1.4, 200, 100, 200},
  };
  std::uint32_t key = 30000;
  for (const Case& c : cases) {
    key += 1000;
    EngineTestAccess::setTick(engine, 1000);
    harness.feedLive({EngineHarness::record(key, "C" + std::to_string(key), "A320", 5000.0)});
    const std::int64_t firstDue = EngineTestAccess::handedOverDueTicks(engine).front();
    harness.step();
    EngineTestAccess::setTick(engine, 1000 + c.handedOverLater);
    std::vector<LiveTrafficRecord> batch;
    for (std::uint32_t i = 0; i < c.batchSize; ++i) {
      batch.push_back(EngineHarness::record(key + i, "C" + std::to_string(key + i), "A320", 5000.0 + c.secondsLater));
    }
    harness.feedLive(batch);
    const std::vector<std::int64_t> dueTicks = EngineTestAccess::handedOverDueTicks(engine);
    ASSERT_EQ(dueTicks.size(), c.batchSize) << c.what;
    EXPECT_EQ(dueTicks.front() - firstDue, c.dueLater) << c.what;
    while (EngineTestAccess::handoverSize(engine) > 0) {
      harness.step();
    }
  }
}

TEST_F(IntakeTest, SnapshotsFromTheReaderThreadWaitForTheWorkerAndKeepTheirOrder) {
  engine.setSessionActive(false);  // the history arrives before the main loop runs
  std::thread reader([this] {
    for (std::uint32_t delay : {0u, 6u, 12u}) {
      std::vector<LiveTrafficRecord> batch{
          EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0 + 6.0 * delay),
          EngineHarness::record(20000 + delay, "SNP" + std::to_string(delay), "A320", 1000.0 + 6.0 * delay)};
      engine.intakeTrafficBatch(batch, delay);
    }
  });
  reader.join();
  // Nothing touched the worker's table on the reader thread.
  EXPECT_TRUE(engine.liveAircraft().empty());
  EXPECT_EQ(engine.snapshotHandoverSize(), 6U);
  engine.step();
  EXPECT_EQ(engine.snapshotHandoverSize(), 0U);
  EXPECT_EQ(engine.liveAircraft().size(), 4U);
  // Taken oldest first: every later point of the same aircraft joined its path.
  EXPECT_EQ(pointsOf(kKey), 3U);
}

TEST_F(IntakeTest, LiveBatchesCrossOnlyWhileTheFlightRunsAndTheLastIsUsedUp) {
  harness.feedLive({EngineHarness::record(20001, "AAA1", "A320", 1000.0),
                    EngineHarness::record(20002, "BBB2", "A320", 1000.0),
                    EngineHarness::record(20003, "CCC3", "A320", 1000.0)});
  EXPECT_EQ(EngineTestAccess::handoverSize(engine), 3U);
  // The previous batch is still there: this one is dropped whole.
  std::vector<LiveTrafficRecord> second{EngineHarness::record(20009, "ZZZ9", "A320", 1001.0)};
  engine.intakeTrafficBatch(second, kLiveDelaySeconds);
  EXPECT_TRUE(second.empty());
  EXPECT_EQ(EngineTestAccess::handoverSize(engine), 3U);

  harness.step();  // two records per step, from the back
  EXPECT_EQ(engine.liveAircraft().size(), 2U);
  EXPECT_EQ(engine.findLiveByKey(20003)->path.front().dueTick, 3000);
  harness.step();
  EXPECT_EQ(engine.liveAircraft().size(), 3U);
  EXPECT_EQ(engine.findLiveByKey(20009), nullptr);

  engine.setSessionActive(false);
  harness.feedLive({EngineHarness::record(20010, "YYY1", "A320", 1002.0)});
  EXPECT_EQ(EngineTestAccess::handoverSize(engine), 0U);
}

// A second record of a known aircraft, after a first at 1000 s heading 90
// degrees, adds a point or is left out.
TEST_F(IntakeTest, ALaterRecordOfAKnownAircraftAddsAPointOnlyWhenItSaysSomethingNew) {
  struct Case {
    const char* what;
    bool airborne;
    double firstKnots, knots, afterSeconds, trackDegrees;
    bool added;
    SimState state = SimState::active;
    int generatedLegs = 0;
  };
  const Case cases[] = {
      {"one second later is the same report", true, 250, 250, 1.0, 180, false},
      {"just over a second later", true, 250, 250, 1.01, 180, true},
      {"ten seconds back in time", true, 250, 250, -10, 180, false},
      {"a jump from 6 to 60 kt", false, 6, 60, 10, 135, false},
      {"5 to 79 kt is no jump", false, 5, 79, 10, 135, true},
      {"a straight line at 240 kt within 450 m", true, 240, 240, 3.6, 90.9, false},
      {"a turn of 2 degrees at 240 kt", true, 240, 240, 3.6, 92, true},
      {"a straight line at 240 kt beyond 450 m", true, 240, 240, 3.7, 90, true},
      {"taxiing at 10 kt within 20 m", false, 10, 10, 3.85, 90, false},
      {"taxiing at 10 kt beyond 20 m", false, 10, 10, 3.9, 90, true},
      {"standing within 15 s", false, 0, 0, 14.9, 90, false},
      {"standing beyond 15 s", false, 0, 0, 15.1, 90, true},
      {"standing, while generated legs run", false, 0, 0, 1.1, 90, true, SimState::active, 2},
      {"on its way out", true, 250, 250, 10, 200, false, SimState::liveryrespawn},
      {"removed", true, 250, 250, 10, 200, false, SimState::removingfromsim},
  };
  std::uint32_t key = kKey;
  for (const Case& c : cases) {
    ++key;
    LiveTrafficRecord record = EngineHarness::record(key, "DLH" + std::to_string(key), "A320", 1000.0);
    record.airborne = c.airborne;
    record.altitudeFeet = c.airborne ? 12000.0 : 0.0;
    record.speedKnots = c.firstKnots;
    apply(record);
    engine.findLiveByKey(key)->state = c.state;
    engine.findLiveByKey(key)->generatedLegs = c.generatedLegs;
    record.timestamp += c.afterSeconds;
    record.speedKnots = c.knots;
    record.trackDegrees = c.trackDegrees;
    apply(record);
    EXPECT_EQ(pointsOf(key), c.added ? 2U : 1U) << c.what;
  }
}

// An aircraft standing at 0 kt and then reported on its take-off roll: a
// speed it can reach in the time is taken; a jump that the next record
// confirms is taken with it; a lone jump is left out.
TEST_F(IntakeTest, AJumpInSpeedIsLeftOutOnlyWhenNeitherTheTimeNorTheNextRecordBearsItOut) {
  struct Case {
    const char* what;
    std::vector<std::pair<double, double>> secondsAndKnots;  // after a first record at 0 kt
    std::size_t points;
  };
  const Case cases[] = {
      {"60 kt 15 s after standing can be reached", {{15, 60}}, 2},
      {"90 kt 15 s after standing cannot", {{15, 90}}, 1},
      {"90 kt confirmed by 160 kt 15 s later", {{15, 90}, {30, 160}}, 3},
      {"80 kt 2 s after standing, confirmed 2 s later", {{2, 80}, {4, 84}}, 3},
      {"a lone jump to 90 kt, then standing again", {{15, 90}, {30, 0}}, 2},
  };
  std::uint32_t key = kKey + 100;
  for (const Case& c : cases) {
    ++key;
    LiveTrafficRecord record = EngineHarness::record(key, "EIN" + std::to_string(key), "A320", 1000.0);
    record.airborne = false;
    record.altitudeFeet = 0.0;
    record.speedKnots = 0.0;
    apply(record);
    double track = 90.0;
    for (const auto& [seconds, knots] : c.secondsAndKnots) {
      record.timestamp = 1000.0 + seconds;
      record.speedKnots = knots;
      record.trackDegrees = track += 10.0;  // never thinned out as a straight line
      apply(record);
    }
    EXPECT_EQ(pointsOf(key), c.points) << c.what;
  }
}

TEST_F(IntakeTest, BufferedAircraftNearTheParkElevationAreLeftOut) {
  LiveTrafficRecord low = EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0);
  low.altitudeFeet = 5.0;
  apply(low);  // no park airport: -1000 ft is far from 5 ft
  EXPECT_EQ(pointsOf(kKey), 1U);

  engine.setParkAirport("EDDF", 300.0);
  LiveTrafficRecord parked = EngineHarness::record(kKey + 1, "DLH5CD", "A320", 1000.0);
  parked.altitudeFeet = 410.0;
  apply(parked);
  EXPECT_EQ(engine.findLiveByKey(kKey + 1), nullptr);
  parked.altitudeFeet = 430.0;
  apply(parked);
  EXPECT_NE(engine.findLiveByKey(kKey + 1), nullptr);

  LiveTrafficRecord next = parked;
  next.timestamp = 1010.0;
  next.trackDegrees = 10.0;
  next.altitudeFeet = 350.0;
  apply(next);  // the known aircraft is still in the buffer
  EXPECT_EQ(pointsOf(kKey + 1), 1U);
  engine.findLiveByKey(kKey + 1)->state = SimState::active;
  apply(next);
  EXPECT_EQ(pointsOf(kKey + 1), 2U);
}

TEST_F(IntakeTest, NewKeysOfAKnownFlightAndUnusableTypesAreDropped) {
  apply(EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0));
  apply(EngineHarness::record(kKey + 1, "DLH4AB", "A320", 1000.0));  // same callsign and type
  EXPECT_EQ(engine.liveAircraft().size(), 1U);
  apply(EngineHarness::record(kKey + 2, "DLH4AB", "B744", 1000.0));  // another type
  apply(EngineHarness::record(kKey + 3, "", "A320", 1000.0));
  apply(EngineHarness::record(kKey + 4, "", "A320", 1000.0));  // empty callsigns never match
  EXPECT_EQ(engine.liveAircraft().size(), 4U);

  apply(EngineHarness::record(kKey + 5, "XYZ1", "ZZZZ", 1000.0));  // unknown type, no registration
  EXPECT_EQ(engine.findLiveByKey(kKey + 5), nullptr);
  // A missing or unknown type is taken from a known registration.
  for (const std::uint32_t key : {kKey + 6, kKey + 7}) {
    LiveTrafficRecord r = EngineHarness::record(key, "XYZ" + std::to_string(key), key == kKey + 6 ? "" : "QQQQ", 1000.0);
    r.identity.registration = "D-AIPA";
    apply(r);
    ASSERT_NE(engine.findLiveByKey(key), nullptr);
    EXPECT_EQ(engine.findLiveByKey(key)->base.identity.icaoType, "A320");
  }

  const bool light = par_LIGHT_AIRCRAFT.value();
  for (const bool wanted : {false, true}) {
    par_LIGHT_AIRCRAFT.setValue(wanted);
    apply(EngineHarness::record(kKey + 8, "N172SP", "C172", 1000.0));
    EXPECT_EQ(engine.findLiveByKey(kKey + 8) != nullptr, wanted);
  }
  par_LIGHT_AIRCRAFT.setValue(light);
}

// Coupled callsigns a record brings are not trusted: they are searched again.
TEST_F(IntakeTest, ANewAircraftHasItsCallsignAsSecondAndNoThirdYet) {
  LiveTrafficRecord r = EngineHarness::record(kKey, "DLH4AB", "B744", 1000.0);
  r.identity.thirdCallsign = "stale";
  r.identity.coupledCallsignSearched = true;
  apply(r);
  const AircraftIdentity& identity = engine.findLiveByKey(kKey)->base.identity;
  EXPECT_EQ(identity.secondCallsign, "DLH4AB");
  EXPECT_TRUE(identity.thirdCallsign.empty());
  EXPECT_FALSE(identity.coupledCallsignSearched);
}

TEST(IntakeHooks, LiveryRespawnAndPathRulesDecideOnKnownAircraft) {
  int offered = 0;
  bool acceptChange = false;
  EngineHooks hooks;
  hooks.respawnIfChanged = [&](LiveAc&, const LiveTrafficRecord&) { return acceptChange; };
  hooks.decodeExisting = [&](LiveAc&, PathPoint&) { ++offered; };
  EngineHarness harness(hooks);
  harness.feedSnapshot({EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0)}, 0);
  LiveTrafficRecord next = EngineHarness::record(kKey, "DLH4AB", "A320", 1010.0);
  next.trackDegrees = 0.0;
  for (const bool accepted : {false, true}) {
    acceptChange = accepted;
    harness.feedSnapshot({next}, 0);
    EXPECT_EQ(offered, accepted ? 1 : 0);
    EXPECT_DOUBLE_EQ(harness.engine.liveAircraft().front().lastRecordTime, accepted ? 1010.0 : 1000.0);
  }
}

TEST(WantedStatic, PercentOfTheStandsWithSmallAirportsAndLimits) {
  struct Case {
    std::size_t stands;
    std::int32_t percent, custom, maxPark, wanted, shownPercent;
  };
  const std::int32_t savedPercent = par_parking_percentage.value();
  const std::int32_t savedCustom = par_CUSTOM_PARKING_PERCENTAGE.value();
  const std::int32_t savedMaxPark = par_MAX_PARK_SEL.value();
  const Case cases[] = {
      {100, 30, -1, 500, 30, 30},
      {10, 25, -1, 500, 3, 25},  // 2.5 rounds away from zero
      {3, 40, -1, 500, 1, 40},   // three stands or fewer below 50 %: one
      {3, 50, -1, 500, 2, 50},   // 1.5 rounds up
      {100, 30, 60, 500, 60, 60},  // the airport's own percentage
      {100, 30, 0, 500, 0, 0},
      {100, 30, -1, 20, 20, 20},
      {100, 0, -1, 500, 0, 0},
      {2, 0, -1, 500, 0, 0},
      {0, 30, -1, 20, 0, 0},
      {10, 250, -1, 500, 25, 250},  // an airport file's own share beyond 100 %
  };
  for (const Case& c : cases) {
    StandTable stands;
    for (std::size_t i = 0; i < c.stands; ++i) {
      stands.emplace_back("G" + std::to_string(i), std::vector<UsageEntry>{}, std::array<double, 3>{50.0, 8.0, 0.0},
                          20.0, true, true, true);
    }
    par_parking_percentage.setValue(c.percent);
    par_CUSTOM_PARKING_PERCENTAGE.setValue(c.custom);
    par_MAX_PARK_SEL.setValue(c.maxPark);
    int repaints = 0;
    EngineHooks hooks;
    hooks.repaint = [&repaints] { ++repaints; };
    EngineHarness harness(hooks, &stands);
    EXPECT_EQ(harness.engine.wantedStaticCount(), c.wanted) << c.stands << " stands at " << c.percent << " %";
    EXPECT_EQ(harness.engine.display().wantedStaticCount.load(), c.wanted);
    EXPECT_EQ(harness.engine.display().parkingPercentageShown.load(), c.shownPercent);
    EXPECT_EQ(repaints, 1);
  }
  par_parking_percentage.setValue(savedPercent);
  par_CUSTOM_PARKING_PERCENTAGE.setValue(savedCustom);
  par_MAX_PARK_SEL.setValue(savedMaxPark);
}

}  // namespace
}  // namespace crv::testing
