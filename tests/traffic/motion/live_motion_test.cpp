// The rules of the live motion one by one, on aircraft placed in the engine.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/settings.h"
#include "tests/traffic/engine_test_access.h"
#include "tests/traffic/flight_driver.h"
#include "tests/traffic/stand_grid.h"

namespace crv::testing {
namespace {

constexpr GeoPoint kOrigin{52.30, 4.76};

PathPoint pointAt(double northMeters, double eastMeters, std::int64_t dueTick, double knots, double altitudeFeet = 0.0) {
  PathPoint p;
  const GeoPoint at = offsetMeters(kOrigin, northMeters, eastMeters);
  p.latitude = at.latitude;
  p.longitude = at.longitude;
  p.dueTick = dueTick;
  p.speedKnots = knots;
  p.trueAirspeedKnots = knots;
  p.altitudeFeet = altitudeFeet;
  p.airborne = altitudeFeet > 0.0;
  return p;
}

class LiveMotionRules : public ::testing::Test {
 protected:
  // An active A320 with the path, standing at its first point.
  LiveAc& place(std::uint32_t key, std::deque<PathPoint> path, bool onGround) {
    LiveAc& a = driver.harness.placeLive(key, "T" + std::to_string(key), SimState::active, 100 + key);
    a.base.maxClimbPerTickFeet = 0.6;
    a.base.turnRateRadians = a.base.baseTurnRateRadians;
    a.path = std::move(path);
    a.onGround = onGround;
    a.phase = onGround ? FlightPhase::taxi : FlightPhase::flying;
    a.position.latitude = a.path.front().latitude;
    a.position.longitude = a.path.front().longitude;
    a.position.altitudeFeet = a.path.front().altitudeFeet;
    a.position.headingRadians = 0.0;
    a.motion.heightAboveGroundFeet = a.path.front().altitudeFeet;
    return a;
  }

  FlightDriver driver;
  MotionContext& m = driver.motion;
};

TEST_F(LiveMotionRules, ALegLastsAtLeast25TicksAndRetimingKeepsToTheWindow) {
  EngineTestAccess::setTick(driver.harness.engine, 1000);
  // One metre at 15 kt takes 13 ticks.
  LiveAc& a = place(50001, {pointAt(0, 0, 0, 15), pointAt(1, 0, 400, 15)}, true);
  moveAc(m, a);
  EXPECT_GE(a.path.front().dueTick, 1025) << "a due tick already passed gives 25 ticks";

  LiveAc& b = place(50002, {pointAt(0, 0, 1000, 15), pointAt(300, 0, 5000, 15)}, true);
  b.motion.earliestAdvanceTicks = 1000;
  b.motion.latestDelayTicks = 1000;
  const struct {
    std::int64_t ticks;
    std::int64_t due;
  } cases[] = {{9000, 6000}, {100, 4000}, {3500, 4500}};
  for (const auto& c : cases) {
    b.path[1].dueTick = 5000;
    retimeNextPoint(m, b, c.ticks);
    EXPECT_EQ(b.path[1].dueTick, c.due) << c.ticks;
  }
}

// An air leg between points of the feed ends when its point falls due as
// long as that asks for a speed within 15 % of its recorded 200 kt; an
// aircraft later or earlier than that flies at the bound and makes up the
// rest on the legs after, even when it is later than the delay window. A
// generated leg keeps to its distance and speed.
TEST_F(LiveMotionRules, AnAirLegEndsWhenItsPointFallsDueAtASpeedWithinFifteenPercentOfItsOwn) {
  constexpr std::int64_t kNow = 10000;
  constexpr double kLegMeters = 2000.0;
  const struct {
    std::int64_t dueInTicks;
    std::int32_t generatedLegs;
    double knots;  // the speed the leg is flown at
  } cases[] = {
      {1800, 0, kLegMeters / 1852.0 * 360000.0 / 1800.0},  // 216 kt: on time
      {2100, 0, kLegMeters / 1852.0 * 360000.0 / 2100.0},  // 185 kt: on time
      {1500, 0, 230.0},                                    // would need 259 kt
      {3000, 0, 170.0},                                    // would need 130 kt
      {-1500, 0, 230.0},  // due before the leg starts, later than the delay window
      {1500, 3, 200.0},                                    // generated: distance over speed
  };
  std::uint32_t key = 50030;
  for (const auto& c : cases) {
    EngineTestAccess::setTick(driver.harness.engine, kNow);
    LiveAc& a =
        place(key++, {pointAt(0, 0, kNow, 200, 9000), pointAt(kLegMeters, 0, kNow + c.dueInTicks, 200, 9000)}, false);
    a.generatedLegs = c.generatedLegs;
    a.motion.earliestAdvanceTicks = 1000;
    a.motion.latestDelayTicks = 1000;
    moveAc(m, a);
    const double ticks = static_cast<double>(a.path.front().dueTick - kNow);
    EXPECT_NEAR(kLegMeters / 1852.0 * 360000.0 / ticks, c.knots, 0.2) << c.dueInTicks << " " << c.generatedLegs;
  }
}

TEST_F(LiveMotionRules, AGroundTurnCurvesAbove3UpTo160DegreesAndTheCurveStopsShortOfItsEnd) {
  std::uint32_t key = 50010;
  for (const auto& [angle, curves] : {std::pair{3.0, false}, {3.01, true}, {160.0, true}, {161.0, false}}) {
    const double rad = angle * kDegreesToRadians;
    LiveAc& a = place(key++, {pointAt(0, 0, 0, 15), pointAt(40, 0, 600, 15),
                              pointAt(40 + 40 * std::cos(rad), 40 * std::sin(rad), 1200, 15)},
                      true);
    moveAc(m, a);
    EXPECT_EQ(a.motion.curve.running(), curves) << angle;
    if (curves) {
      a.motion.curve.parameterStep = 0.6;
      followCurve(m, a);
      followCurve(m, a);
      EXPECT_DOUBLE_EQ(a.motion.curve.parameter, 0.999999) << angle;
    }
  }
}

// The step reads when the front falls due from the path's kept facts; a
// front made due between two steps (as a stand approach or the end of
// generated legs does) is still taken.
TEST_F(LiveMotionRules, AFrontMadeDueBetweenStepsStartsTheNextLeg) {
  place(50101, {pointAt(0, 0, 0, 15), pointAt(330, 0, 5000, 15), pointAt(660, 0, 9000, 15)}, true);
  driver.harness.step(20);
  ASSERT_NE(driver.aircraft(50101), nullptr);
  ASSERT_EQ(driver.aircraft(50101)->path.size(), 2U) << "the first leg runs towards the point due at 5000";
  driver.aircraft(50101)->path.front().dueTick = driver.harness.engine.tick();
  driver.harness.step(1);
  ASSERT_NE(driver.aircraft(50101), nullptr);
  EXPECT_EQ(driver.aircraft(50101)->path.size(), 1U) << "the point made due was taken at once";
}

TEST_F(LiveMotionRules, BelowAThousandFeetTheClimbFloorLimitsTheSinkWithoutForcingAClimb) {
  const struct {
    double heightFeet;
    double nextAltitudeFeet;
    double climbPerTick;
  } cases[] = {{800, 1000 - 100 * 1.0, -0.2}, {800, 1000 - 100 * 0.1, -0.1}, {800, 1000 + 100 * 5.0, 0.6},
               {1500, 1000 - 100 * 1.0, -1.0}};
  for (const auto& c : cases) {
    LiveAc& a = place(50020, {pointAt(0, 0, 0, 150, 1000), pointAt(1000, 0, 100, 150, c.nextAltitudeFeet)}, false);
    a.motion.heightAboveGroundFeet = c.heightFeet;
    flyVerticalProfile(m, a);
    EXPECT_NEAR(a.motion.climbPerTickFeet, c.climbPerTick, 1e-9) << c.heightFeet << " " << c.nextAltitudeFeet;
  }
}

// A quarter turn over a minute banks up to the category's limit by the end
// of the leg, and no further when the leg runs on.
TEST_F(LiveMotionRules, AnAirborneTurnBanksOverTheWholeLegUpToTheCategoryLimit) {
  LiveAc& a = place(50025, {pointAt(0, 0, 0, 250, 9000)}, false);
  const double maxBank = categoryPerformance(SizeCategory::Large).maxBankRadians;
  bankFromTurn(a, 90.0 * kDegreesToRadians, 6000);
  for (int step = 1; step <= 12000; ++step) {
    followCurve(m, a);
    if (step == 3000) {
      EXPECT_NEAR(a.position.bankRadians, -maxBank / 2.0, 1e-9) << "halfway through the leg";
    }
  }
  EXPECT_NEAR(a.position.bankRadians, -maxBank, 1e-9);
}

// Up to the standard QNH a landing aims at the park airport's elevation near
// it and descends at the standard 601 ft/min elsewhere; above it the feed's
// descent, corrected for the QNH, holds everywhere.
TEST_F(LiveMotionRules, ALandingAimsAtTheParkElevationOnlyNearTheParkAirport) {
  driver.setParkAirport(kOrigin, {});
  const struct {
    double northNm;
    int qnh;
    double verticalSpeedFpm;  // 0: towards the elevation
  } cases[] = {{5.0, 1013, 0.0}, {30.0, 1013, -601.0}, {30.0, 990, -601.0},
               {5.0, 1020, -800.0 - 7 * 6.0}, {30.0, 1014, -800.0 - 6.0}};
  for (const auto& c : cases) {
    LiveAc& a = place(50030, {pointAt(-c.northNm * 1852, 0, 0, 140, 1500), pointAt(-c.northNm * 1852 + 500, 0, 1000, 140)},
                      false);
    a.motion.heightAboveGroundFeet = 1500;
    a.path[0].verticalSpeedFpm = -1600;  // with the next point's 0, a feed descent of 800 ft/min
    m.qnhHpa.store(c.qnh);
    flyVerticalProfile(m, a);
    if (c.verticalSpeedFpm == 0.0) {
      EXPECT_NEAR(a.motion.climbPerTickFeet, -1.5, 1e-9);
    } else {
      EXPECT_DOUBLE_EQ(a.motion.verticalSpeedFpm, c.verticalSpeedFpm) << c.northNm << " nm, QNH " << c.qnh;
      EXPECT_DOUBLE_EQ(a.path[1].verticalSpeedFpm, c.verticalSpeedFpm);
      EXPECT_NEAR(a.motion.climbPerTickFeet, c.verticalSpeedFpm / 6000.0, 1e-9);
    }
  }
}

TEST_F(LiveMotionRules, NewPointsAreTimedCheckedAndNeverLengthenAPushback) {
  LiveAc& a = place(50040, {pointAt(0, 0, 0, 15), pointAt(50, 0, 500, 15)}, true);
  PathPoint same = pointAt(100, 0, 500, 15);
  decodeExisting(m, a, same);
  EXPECT_EQ(a.path.back().dueTick, 501) << "a point at the time of the last is due one tick later";

  PathPoint broken = pointAt(150, 0, 900, 15);
  broken.latitude = std::numeric_limits<double>::quiet_NaN();
  decodeExisting(m, a, broken);
  EXPECT_EQ(a.path.size(), 3U) << "a point that is no number is dropped";

  a.phase = FlightPhase::pushing_back;
  PathPoint pushed = pointAt(-30, 0, 1000, 3);
  decodeExisting(m, a, pushed);
  EXPECT_EQ(a.path.size(), 3U);

  a.phase = FlightPhase::taxi;
  while (a.path.size() <= 200) {
    a.path.push_back(a.path.back());
  }
  PathPoint more = pointAt(500, 0, 100000, 15);
  decodeExisting(m, a, more);
  EXPECT_EQ(a.state, SimState::removingfromsim) << "a path beyond 200 points removes the aircraft";
}

// A taxi whose records show it stopped 40 m east and a record 12 m further
// on: the standing records are dropped, and the aircraft stands where it
// stopped until it must set off to reach the new record at its recorded
// speed (12 m at 8 kt take 292 ticks), instead of creeping there all the
// time it stood. Records that only repeated a position while it rolled on,
// or a new record without a speed, ask for no wait.
TEST_F(LiveMotionRules, AStopTheRecordsShowIsStoodOutBeforeSettingOffAtTheRecordedSpeed) {
  const struct {
    const char* name;
    std::int64_t lastStandingDue;
    std::int64_t newDue;
    double newKnots;
    std::int64_t setOffDue;  // 0: no standing point before the new record
  } cases[] = {
      {"a stop of 15 s", 2500, 3100, 8.0, 3100 - 292},
      {"a stop of 14 s", 2400, 3100, 8.0, 3100 - 292},
      {"a position repeated while rolling", 1200, 1290, 8.0, 0},
      {"a new record without a speed", 2500, 3100, 0.0, 0},
  };
  std::uint32_t key = 50050;
  for (const auto& c : cases) {
    LiveAc& a = place(key++, {pointAt(0, 0, 0, 8), pointAt(0, 40, 1000, 8)}, true);
    PathPoint standing = pointAt(0, 40, c.lastStandingDue, 0);
    standing.stationary = true;
    a.path.push_back(standing);
    PathPoint next = pointAt(0, 52, c.newDue, c.newKnots);
    decodeExisting(m, a, next);
    ASSERT_EQ(a.path.size(), c.setOffDue == 0 ? 3U : 4U) << c.name;
    EXPECT_EQ(a.path.back().dueTick, c.newDue) << c.name;
    EXPECT_FALSE(a.path.back().stationary) << c.name;
    if (c.setOffDue != 0) {
      const PathPoint& waits = a.path[2];
      EXPECT_TRUE(waits.stationary) << c.name;
      EXPECT_NEAR(static_cast<double>(waits.dueTick), static_cast<double>(c.setOffDue), 2.0) << c.name;
      EXPECT_DOUBLE_EQ(waits.latitude, a.path[1].latitude) << c.name;
      EXPECT_DOUBLE_EQ(waits.longitude, a.path[1].longitude) << c.name;
    }
  }
}

// Records that come while a parked aircraft waits to set off are kept, and
// reach its path on the first step after it has begun to leave.
TEST_F(LiveMotionRules, RecordsThatComeWhileAnAircraftWaitsToLeaveItsStandReachItsPathOnceItLeaves) {
  EngineTestAccess::setTick(driver.harness.engine, 1000);
  LiveAc& a = place(50046, {pointAt(0, 0, 900, 0)}, true);
  a.path.front().stationary = true;
  a.phase = FlightPhase::parked;
  a.motion.leavingStand = true;
  a.motion.standLeaveTick = 3000;
  PathPoint first = pointAt(-20, 0, 2500, 3);
  PathPoint second = pointAt(-40, 0, 3500, 3);
  decodeExisting(m, a, first);
  decodeExisting(m, a, second);
  ASSERT_EQ(a.path.size(), 1U) << "nothing joins the path before it sets off";

  advanceLiveAc(m, a);
  EXPECT_EQ(a.path.size(), 1U) << "a parked aircraft's step leaves the waiting records alone";

  a.phase = FlightPhase::taxi;  // it pulls out
  advanceLiveAc(m, a);
  ASSERT_EQ(a.state, SimState::active);
  ASSERT_GE(a.path.size(), 2U);
  EXPECT_DOUBLE_EQ(a.path.back().latitude, second.latitude);
  const std::size_t taken = a.path.size();
  advanceLiveAc(m, a);
  EXPECT_EQ(a.path.size(), taken) << "the waiting records are offered once";
}

// A parked aircraft leaving its stand whose record lies behind it, moving
// against the nose the record shows as a real feed's push back does, pushes
// back on its own: straight back 2.5 stand radii (20 m) through a midpoint,
// then to a turn point a half span beside.
TEST_F(LiveMotionRules, AParkedAircraftWhoseRecordMovesAgainstItsNoseLeavesItsStandByItsOwnPushBack) {
  driver.setParkAirport(kOrigin, standGrid(1, 1, 60.0, 20.0, kOrigin));
  EngineTestAccess::setTick(driver.harness.engine, 1000);
  PathPoint standing = pointAt(0, 0, 1000, 0);
  standing.stationary = true;
  PathPoint record = pointAt(-30, 0, 2000, 3);
  record.trackDegrees = 355.0;
  LiveAc& a = place(50047, {standing, record}, true);
  a.phase = FlightPhase::parked;
  a.motion.leavingStand = true;
  a.standId = 1;
  a.standLatitude = kOrigin.latitude;
  a.standLongitude = kOrigin.longitude;
  a.standHeadingRadians = 0.0;
  nextPosGround(m, a);
  EXPECT_EQ(a.phase, FlightPhase::pushing_back);
  EXPECT_EQ(a.motion.pushbackState, 2);
  ASSERT_EQ(a.path.size(), 4U);
  const GeoPoint p1{a.path[2].latitude, a.path[2].longitude};
  const GeoPoint turn{a.path[3].latitude, a.path[3].longitude};
  EXPECT_NEAR(gf_distanceNm(kOrigin, p1) * 1852.0, 50.0, 0.1);
  EXPECT_NEAR(gf_bearing(kOrigin, p1) * 180.0 / 3.141592653589793, 180.0, 0.1);
  EXPECT_NEAR(gf_distanceNm(p1, turn), a.base.halfSpanNm, 1e-6);
}

// A report to the side while a pushback starts curves it that way, unless
// every pushback is to be straight.
TEST_F(LiveMotionRules, AReportToTheSideCurvesAPushbackUnlessEveryPushbackIsStraight) {
  for (const bool straightOnly : {false, true}) {
    par_STRAIGHT_PBS_ONLY.setValue(straightOnly);
    LiveAc& a = place(50045, {pointAt(0, 0, 0, 0)}, true);
    pushbackStart(m, a);
    PathPoint report = pointAt(-30, 0, 1000, 3);
    report.trackDegrees = 90.0;
    decodeExisting(m, a, report);
    pushbackStep(m, a);
    EXPECT_EQ(a.motion.curve.running(), !straightOnly);
  }
  par_STRAIGHT_PBS_ONLY.setValue(false);
}

TEST_F(LiveMotionRules, AComputedPositionThatIsNoNumberLeavesTheLastGoodOne) {
  LiveAc& a = place(50050, {pointAt(0, 0, 0, 15), pointAt(50, 0, 100000, 15)}, true);
  a.path.pop_front();
  a.motion.latitudeRate = std::numeric_limits<double>::infinity();
  const AiPositionBlock before = a.position;
  advanceLiveAc(m, a);
  EXPECT_EQ(a.position.latitude, before.latitude);
  EXPECT_EQ(a.state, SimState::active);
  EXPECT_EQ(a.motion.latitudeRate, 0.0);
}

TEST_F(LiveMotionRules, TwoArrivalsNeverShareAStand) {
  driver.setParkAirport(kOrigin, standGrid(1, 1, 60.0, 20.0, kOrigin));
  for (std::uint32_t key : {50060U, 50061U}) {
    LiveAc& a = place(key, {pointAt(0, 0, 0, 0)}, true);
    a.phase = FlightPhase::parking;
    a.standId = 1;
    a.standLatitude = kOrigin.latitude;
    a.standLongitude = kOrigin.longitude;
  }
  arriveAtStand(m, *driver.aircraft(50060));
  EXPECT_EQ(driver.aircraft(50060)->phase, FlightPhase::parked);
  arriveAtStand(m, *driver.aircraft(50061));
  EXPECT_EQ(driver.aircraft(50061)->state, SimState::removingfromsim);
  EXPECT_TRUE((*driver.harness.engine.standTable())[0].occupied);
}

class StandHandover : public LiveMotionRules {
 protected:
  void SetUp() override { driver.setParkAirport(kOrigin, standGrid(1, 1, 60.0, 20.0, kOrigin)); }
  ParkingPosition& stand() { return (*driver.harness.engine.standTable())[0]; }
  // An arrival that has reached the stand: its path runs dry on it.
  LiveAc& parkedForGood(std::uint32_t key) {
    LiveAc& a = place(key, {pointAt(0, 0, 0, 0)}, true);
    a.phase = FlightPhase::parking;
    a.standId = stand().id;
    a.standLatitude = kOrigin.latitude;
    a.standLongitude = kOrigin.longitude;
    stand().occupied = true;  // it was given the stand
    EXPECT_TRUE(extendPath(m, a));
    return a;
  }
  // A buffered aircraft reported standing 2 m from the stand, spawned.
  LiveAc& spawnOnTheStand(std::uint32_t key) {
    LiveAc& a = driver.harness.placeLive(key, "T" + std::to_string(key), SimState::buffer, 0);
    a.path = LivePath::Points{pointAt(2, 0, 100, 0), pointAt(2, 0, 600, 0)};
    a.path[0].stationary = true;
    a.path[1].stationary = true;
    driver.rules.spawnLiveAc(a);
    return a;
  }
};

TEST_F(StandHandover, AnAircraftParkedForGoodFreesItsStandAndTheNextArrivalReplacesIt) {
  LiveAc& first = parkedForGood(50080);
  EXPECT_EQ(first.phase, FlightPhase::parked);
  EXPECT_EQ(first.path.back().dueTick, 60480000) << "one point a week ahead";
  EXPECT_FALSE(stand().occupied);

  LiveAc& next = place(50081, {pointAt(-40, 0, 0, 8), pointAt(-10, 0, 300, 0)}, true);
  driver.rules.try2Park(next, false);
  EXPECT_EQ(driver.aircraft(50080)->state, SimState::removingfromsim);
  EXPECT_EQ(next.phase, FlightPhase::parking);
  EXPECT_EQ(next.standId, stand().id);
  EXPECT_TRUE(stand().occupied);
}

// An aircraft reported standing on the stand of one parked there for good:
// one that the feed no longer reports gives way, one it still reports keeps
// the stand and the newcomer is dropped.
TEST_F(StandHandover, ANewcomerStandingOnTheStandDisplacesAParkedAircraftTheFeedNoLongerReports) {
  parkedForGood(50090);
  LiveAc& newcomer = spawnOnTheStand(50091);
  EXPECT_EQ(driver.aircraft(50090)->state, SimState::removingfromsim);
  EXPECT_FALSE(newcomer.dropFromBuffer);
  EXPECT_EQ(newcomer.phase, FlightPhase::parked);
  EXPECT_EQ(newcomer.standId, stand().id);
  EXPECT_TRUE(stand().occupied);
}

TEST_F(StandHandover, ANewcomerStandingOnTheStandOfAParkedAircraftStillReportedIsDropped) {
  LiveAc& holder = parkedForGood(50090);
  PathPoint onStand = pointAt(1, 0, 1000, 0);
  EXPECT_FALSE(driver.rules.checkStandApproach(holder, onStand));
  LiveAc& newcomer = spawnOnTheStand(50091);
  EXPECT_EQ(driver.aircraft(50090)->state, SimState::active);
  EXPECT_TRUE(newcomer.dropFromBuffer);
  EXPECT_EQ(newcomer.standId, 0U);
}

TEST_F(LiveMotionRules, GeneratedLegsByWhatTheAircraftDoes) {
  LiveAc& parked = place(50070, {pointAt(0, 0, 100, 0)}, true);
  parked.phase = FlightPhase::parked;
  ASSERT_TRUE(extendPath(m, parked));
  EXPECT_EQ(parked.path.back().dueTick, 100 + 60480000) << "one point a week ahead";

  LiveAc& roll = place(50071, {pointAt(0, 0, 100, 165)}, true);
  roll.motion.takeOffRoll = true;
  generateLegs(m, roll, 10);
  EXPECT_EQ(roll.path.back().speedKnots, 180.0);
  EXPECT_EQ(roll.path.back().verticalSpeedFpm, 2400.0);

  LiveAc& far = place(50072, {pointAt(0, 0, 100, 250, 9000)}, false);
  ASSERT_TRUE(extendPath(m, far)) << "the user's position unknown: always";
  EXPECT_EQ(far.generatedLegs, 8);
  UserAcData user;
  user.latitude = kOrigin.latitude + 2.0;
  user.longitude = kOrigin.longitude;
  EngineTestAccess::setUserAircraft(driver.harness.engine, user);
  far.generatedLegs = 0;
  EXPECT_FALSE(extendPath(m, far)) << "beyond RANGE - 0.5 nm of the user";
}

}  // namespace
}  // namespace crv::testing
