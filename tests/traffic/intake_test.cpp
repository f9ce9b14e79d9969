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

  // Applies one record at once, as a snapshot does.
  void apply(LiveTrafficRecord record) { harness.feedSnapshot({std::move(record)}, 0); }
  LiveAc& only() {
    EXPECT_EQ(engine.liveAircraft().size(), 1U);
    return engine.liveAircraft().front();
  }
  std::size_t pointsOf(std::uint32_t key) {
    LiveAc* aircraft = engine.findLiveByKey(key);
    return aircraft == nullptr ? 0 : aircraft->path.size();
  }
};

TEST_F(IntakeTest, DueTicksFollowTheMedianInTenthsOfASecond) {
  EngineTestAccess::setTick(engine, 500);
  harness.feedSnapshot({EngineHarness::record(20001, "AAA1", "A320", 1000.0),
                        EngineHarness::record(20002, "BBB2", "A320", 1000.26),
                        EngineHarness::record(20003, "CCC3", "A320", 999.74),
                        EngineHarness::record(20004, "DDD4", "A320", 1000.05)},
                       12);
  // Median: the upper middle of 999.74, 1000.0, 1000.05, 1000.26.
  const std::int64_t atMedian = 1200 + 500;
  EXPECT_EQ(engine.findLiveByKey(20004)->path.front().dueTick, atMedian);
  EXPECT_EQ(engine.findLiveByKey(20001)->path.front().dueTick, atMedian);  // 0.05 s before: same tick
  EXPECT_EQ(engine.findLiveByKey(20002)->path.front().dueTick, atMedian + 20);
  EXPECT_EQ(engine.findLiveByKey(20003)->path.front().dueTick, atMedian - 30);

  harness.feedSnapshot({EngineHarness::record(20005, "EEE5", "A320", 5000.0)}, 6);
  EXPECT_EQ(engine.findLiveByKey(20005)->path.front().dueTick, 600 + 500);
}

TEST_F(IntakeTest, SnapshotsFromTheReaderThreadWaitForTheWorkerAndKeepTheirOrder) {
  engine.setSessionActive(false);  // the history arrives before the main loop runs
  std::thread reader([this] {
    for (std::uint32_t delay : {0u, 6u, 12u}) {
      std::vector<LiveTrafficRecord> batch{
          EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0 + 6.0 * delay),
          EngineHarness::record(20000 + delay, "SNP" + std::to_string(delay), "A320", 1000.0 + 6.0 * delay)};
      engine.intakeTrafficBatch(batch, delay);
      EXPECT_TRUE(batch.empty());
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

TEST_F(IntakeTest, OlderRecordsAtSessionStartAreDueAtOnceInsteadOfWrapping) {
  ASSERT_EQ(engine.tick(), 0);
  harness.feedSnapshot({EngineHarness::record(20001, "AAA1", "A320", 1000.0),
                        EngineHarness::record(20002, "BBB2", "A320", 997.5),
                        EngineHarness::record(20003, "CCC3", "A320", 1000.45)},
                       0);
  EXPECT_EQ(engine.findLiveByKey(20002)->path.front().dueTick, -250);
  EXPECT_LT(engine.findLiveByKey(20002)->path.front().dueTick, engine.tick());
  EXPECT_EQ(engine.findLiveByKey(20003)->path.front().dueTick, 40);
}

TEST_F(IntakeTest, AbsurdTimesOfALyingServerAreBoundedToADay) {
  EngineTestAccess::setTick(engine, 500);
  harness.feedSnapshot({EngineHarness::record(20001, "AAA1", "A320", 1000.0),
                        EngineHarness::record(20002, "BBB2", "A320", 1e300),
                        EngineHarness::record(20003, "CCC3", "A320", -1e300)},
                       0);
  const std::int64_t oneDayOfTicks = 86400 * kTicksPerSecond;
  EXPECT_EQ(engine.findLiveByKey(20001)->path.front().dueTick, 500);
  EXPECT_EQ(engine.findLiveByKey(20002)->path.front().dueTick, 500 + oneDayOfTicks);
  EXPECT_EQ(engine.findLiveByKey(20003)->path.front().dueTick, 500 - oneDayOfTicks);
}

TEST_F(IntakeTest, LiveBatchesCrossOnlyWhileTheFlightRunsAndTheLastIsUsedUp) {
  harness.feedLive({EngineHarness::record(20001, "AAA1", "A320", 1000.0),
                    EngineHarness::record(20002, "BBB2", "A320", 1000.0),
                    EngineHarness::record(20003, "CCC3", "A320", 1000.0)});
  EXPECT_EQ(EngineTestAccess::handoverSize(engine), 3U);
  EXPECT_TRUE(engine.liveAircraft().empty());

  // The previous batch is still there: this one is dropped whole.
  std::vector<LiveTrafficRecord> second{EngineHarness::record(20009, "ZZZ9", "A320", 1001.0)};
  engine.intakeTrafficBatch(second, kLiveDelaySeconds);
  EXPECT_TRUE(second.empty());
  EXPECT_EQ(EngineTestAccess::handoverSize(engine), 3U);

  harness.step();  // two records per step, from the back
  EXPECT_EQ(engine.liveAircraft().size(), 2U);
  EXPECT_NE(engine.findLiveByKey(20003), nullptr);
  EXPECT_EQ(engine.findLiveByKey(20003)->path.front().dueTick, 3000);
  harness.step();
  EXPECT_EQ(engine.liveAircraft().size(), 3U);
  EXPECT_EQ(engine.findLiveByKey(20009), nullptr);

  engine.setSessionActive(false);
  harness.feedLive({EngineHarness::record(20010, "YYY1", "A320", 1002.0)});
  EXPECT_EQ(EngineTestAccess::handoverSize(engine), 0U);

}

TEST_F(IntakeTest, RecordsCloserThanOneSecondAreOneReport) {
  apply(EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0));
  LiveTrafficRecord sameTime = EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0);
  sameTime.trackDegrees = 180.0;
  apply(sameTime);
  LiveTrafficRecord oneSecond = sameTime;
  oneSecond.timestamp = 1001.0;
  apply(oneSecond);
  EXPECT_EQ(pointsOf(kKey), 1U);
  LiveTrafficRecord later = sameTime;
  later.timestamp = 1001.01;
  apply(later);
  EXPECT_EQ(pointsOf(kKey), 2U);
  EXPECT_DOUBLE_EQ(only().lastRecordTime, 1001.01);
}

TEST_F(IntakeTest, SpeedJumpsAreIgnored) {
  LiveTrafficRecord slow = EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0);
  slow.airborne = false;
  slow.altitudeFeet = 0.0;
  slow.speedKnots = 6.0;
  apply(slow);
  LiveTrafficRecord jump = slow;
  jump.timestamp = 1010.0;
  jump.speedKnots = 60.0;
  jump.trackDegrees = 45.0;
  apply(jump);
  EXPECT_EQ(pointsOf(kKey), 1U);

  LiveTrafficRecord other = slow;
  other.key = kKey + 1;
  other.identity.callsign = "DLH5CD";
  other.speedKnots = 5.0;
  apply(other);
  LiveTrafficRecord accepted = other;
  accepted.timestamp = 1010.0;
  accepted.speedKnots = 79.0;
  accepted.trackDegrees = 45.0;
  apply(accepted);
  EXPECT_EQ(pointsOf(kKey + 1), 2U);
}

TEST_F(IntakeTest, StraightLinesAreThinnedByDistance) {
  // Airborne at 240 kt: one record per 450 m, 3.645 s.
  LiveTrafficRecord fast = EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0);
  fast.speedKnots = 240.0;
  apply(fast);
  LiveTrafficRecord soon = fast;
  soon.timestamp = 1003.6;
  soon.trackDegrees = 90.9;
  apply(soon);
  EXPECT_EQ(pointsOf(kKey), 1U);
  LiveTrafficRecord turning = soon;
  turning.trackDegrees = 92.0;
  apply(turning);
  EXPECT_EQ(pointsOf(kKey), 2U);
  LiveTrafficRecord straight = turning;
  straight.timestamp = turning.timestamp + 3.7;
  apply(straight);
  EXPECT_EQ(pointsOf(kKey), 3U);

  // On the ground at 10 kt: one per 20 m, 3.888 s; standing: one per 15 s.
  LiveTrafficRecord taxi = EngineHarness::record(kKey + 1, "DLH5CD", "A320", 1000.0);
  taxi.airborne = false;
  taxi.altitudeFeet = 0.0;
  taxi.speedKnots = 10.0;
  apply(taxi);
  taxi.timestamp = 1003.85;
  apply(taxi);
  EXPECT_EQ(pointsOf(kKey + 1), 1U);
  taxi.timestamp = 1003.9;
  apply(taxi);
  EXPECT_EQ(pointsOf(kKey + 1), 2U);

  LiveTrafficRecord standing = taxi;
  standing.key = kKey + 2;
  standing.identity.callsign = "DLH6EF";
  standing.speedKnots = 0.0;
  standing.timestamp = 2000.0;
  apply(standing);
  standing.timestamp = 2014.9;
  apply(standing);
  EXPECT_EQ(pointsOf(kKey + 2), 1U);
  standing.timestamp = 2015.1;
  apply(standing);
  EXPECT_EQ(pointsOf(kKey + 2), 2U);

  // No thinning while generated legs run.
  LiveAc* generated = engine.findLiveByKey(kKey + 2);
  generated->generatedLegs = 2;
  standing.timestamp = 2016.2;
  apply(standing);
  EXPECT_EQ(pointsOf(kKey + 2), 3U);
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
  EXPECT_EQ(engine.liveAircraft().size(), 2U);
  apply(EngineHarness::record(kKey + 3, "", "A320", 1000.0));
  apply(EngineHarness::record(kKey + 4, "", "A320", 1000.0));  // empty callsigns never match
  EXPECT_EQ(engine.liveAircraft().size(), 4U);

  apply(EngineHarness::record(kKey + 5, "XYZ1", "ZZZZ", 1000.0));  // unknown type, no registration
  EXPECT_EQ(engine.findLiveByKey(kKey + 5), nullptr);
  LiveTrafficRecord byRegistration = EngineHarness::record(kKey + 6, "XYZ2", "", 1000.0);
  byRegistration.identity.registration = "D-AIPA";
  apply(byRegistration);
  ASSERT_NE(engine.findLiveByKey(kKey + 6), nullptr);
  EXPECT_EQ(engine.findLiveByKey(kKey + 6)->base.identity.icaoType, "A320");
  LiveTrafficRecord wrongType = EngineHarness::record(kKey + 7, "XYZ3", "QQQQ", 1000.0);
  wrongType.identity.registration = "D-AIPA";
  apply(wrongType);
  ASSERT_NE(engine.findLiveByKey(kKey + 7), nullptr);
  EXPECT_EQ(engine.findLiveByKey(kKey + 7)->base.identity.icaoType, "A320");

  const bool light = par_LIGHT_AIRCRAFT.value();
  par_LIGHT_AIRCRAFT.setValue(false);
  apply(EngineHarness::record(kKey + 8, "N172SP", "C172", 1000.0));
  EXPECT_EQ(engine.findLiveByKey(kKey + 8), nullptr);
  par_LIGHT_AIRCRAFT.setValue(true);
  apply(EngineHarness::record(kKey + 8, "N172SP", "C172", 1000.0));
  EXPECT_NE(engine.findLiveByKey(kKey + 8), nullptr);
  par_LIGHT_AIRCRAFT.setValue(light);
}

TEST_F(IntakeTest, NewAircraftGetTheirLivePerformanceAndIdentity) {
  LiveTrafficRecord r = EngineHarness::record(kKey, "DLH4AB", "B744", 1000.0);
  r.identity.thirdCallsign = "stale";
  r.identity.coupledCallsignSearched = true;
  apply(r);
  const LiveAc& a = only();
  EXPECT_EQ(a.base.key, kKey);
  EXPECT_EQ(a.base.category, SizeCategory::Heavy);
  EXPECT_EQ(a.base.identity.secondCallsign, "DLH4AB");
  EXPECT_TRUE(a.base.identity.thirdCallsign.empty());
  EXPECT_FALSE(a.base.identity.coupledCallsignSearched);
  EXPECT_DOUBLE_EQ(a.base.turnRateRadians, a.base.baseTurnRateRadians);
  EXPECT_DOUBLE_EQ(a.base.maxClimbPerTickFeet, 0.5);
  EXPECT_DOUBLE_EQ(a.base.taxiSpeedKnots, 3.0);
  EXPECT_EQ(a.state, SimState::buffer);
  EXPECT_EQ(a.phase, FlightPhase::birth);
}

TEST_F(IntakeTest, AircraftOnTheirWayOutAndRefusedChangesTakeNoPoints) {
  apply(EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0));
  LiveTrafficRecord next = EngineHarness::record(kKey, "DLH4AB", "A320", 1010.0);
  next.trackDegrees = 200.0;
  for (SimState state : {SimState::liveryrespawn, SimState::removingfromsim}) {
    only().state = state;
    apply(next);
    EXPECT_EQ(pointsOf(kKey), 1U);
  }
  only().state = SimState::active;
  apply(next);
  EXPECT_EQ(pointsOf(kKey), 2U);
}

TEST(IntakeHooks, LiveryRespawnAndPathRulesDecideOnKnownAircraft) {
  int offered = 0;
  bool acceptChange = false;
  EngineHooks hooks;
  hooks.respawnIfChanged = [&](LiveAc&, const LiveTrafficRecord&) { return acceptChange; };
  hooks.decodeExisting = [&](LiveAc&, PathPoint& point) {
    ++offered;
    EXPECT_EQ(point.dueTick, 0);
  };
  EngineHarness harness(hooks);
  harness.feedSnapshot({EngineHarness::record(kKey, "DLH4AB", "A320", 1000.0)}, 0);
  LiveTrafficRecord next = EngineHarness::record(kKey, "DLH4AB", "A320", 1010.0);
  next.trackDegrees = 0.0;
  harness.feedSnapshot({next}, 0);
  EXPECT_EQ(offered, 0);
  EXPECT_DOUBLE_EQ(harness.engine.liveAircraft().front().lastRecordTime, 1000.0);
  acceptChange = true;
  harness.feedSnapshot({next}, 0);
  EXPECT_EQ(offered, 1);
  EXPECT_DOUBLE_EQ(harness.engine.liveAircraft().front().lastRecordTime, 1010.0);
}

class WantedStaticTest : public ::testing::Test {
 protected:
  void SetUp() override {
    percent_ = par_parking_percentage.value();
    custom_ = par_CUSTOM_PARKING_PERCENTAGE.value();
    maxPark_ = par_MAX_PARK_SEL.value();
  }
  void TearDown() override {
    par_parking_percentage.setValue(percent_);
    par_CUSTOM_PARKING_PERCENTAGE.setValue(custom_);
    par_MAX_PARK_SEL.setValue(maxPark_);
  }
  std::int32_t wanted(std::size_t stands, std::int32_t percent, std::int32_t custom = -1,
                      std::int32_t maxPark = 500) {
    StandTable table;
    for (std::size_t i = 0; i < stands; ++i) {
      table.emplace_back("G" + std::to_string(i), std::vector<UsageEntry>{}, std::array<double, 3>{50.0, 8.0, 0.0},
                         20.0, true, true, true);
    }
    par_parking_percentage.setValue(percent);
    par_CUSTOM_PARKING_PERCENTAGE.setValue(custom);
    par_MAX_PARK_SEL.setValue(maxPark);
    SimQueues link;
    EngineConfig config;
    config.stands = &table;
    int repaints = 0;
    EngineHooks hooks;
    hooks.repaint = [&repaints] { ++repaints; };
    TrafficEngine engine(link, hooks, config);
    const std::int32_t count = engine.wantedStaticCount();
    EXPECT_EQ(repaints, 1);
    EXPECT_EQ(engine.display().wantedStaticCount.load(), count);
    shown = engine.display().parkingPercentageShown.load();
    return count;
  }
  std::int32_t shown = 0;

 private:
  std::int32_t percent_ = 0;
  std::int32_t custom_ = 0;
  std::int32_t maxPark_ = 0;
};

TEST_F(WantedStaticTest, PercentOfTheStandsWithSmallAirportsAndLimits) {
  EXPECT_EQ(wanted(100, 30), 30);
  EXPECT_EQ(shown, 30);
  EXPECT_EQ(wanted(10, 25), 3);   // 2.5 rounds away from zero
  EXPECT_EQ(wanted(3, 40), 1);    // three stands or fewer below 50 %: one
  EXPECT_EQ(wanted(3, 50), 2);    // 1.5 rounds up
  EXPECT_EQ(wanted(1, 80), 1);
  EXPECT_EQ(wanted(100, 30, 60), 60);  // the airport's own percentage
  EXPECT_EQ(wanted(100, 30, 0), 0);
  EXPECT_EQ(wanted(100, 30, -1, 20), 20);
  EXPECT_EQ(shown, 20);
}

TEST_F(WantedStaticTest, NoPercentageOrNoStandsWantsNothing) {
  EXPECT_EQ(wanted(100, 0), 0);
  EXPECT_EQ(wanted(2, 0), 0);
  EXPECT_EQ(wanted(0, 30), 0);
  EXPECT_EQ(wanted(0, 30, -1, 20), 0);
  EXPECT_EQ(shown, 0);
}

}  // namespace
}  // namespace crv::testing
