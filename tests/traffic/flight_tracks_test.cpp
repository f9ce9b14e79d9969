// Synthetic flights through intake, engine and motion: what a pilot would
// see of each, checked step by step.

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "foundation/settings.h"
#include "simlink/sim_ids.h"
#include "tests/traffic/flight_driver.h"
#include "tests/traffic/stand_grid.h"

namespace crv::testing {
namespace {

constexpr double kRunwayLatitude = 52.30;
constexpr double kRunwayLongitude = 4.76;
constexpr std::uint32_t kGear = static_cast<std::uint32_t>(ClientEventId::GearSet);
constexpr std::uint32_t kFlaps = static_cast<std::uint32_t>(ClientEventId::FlapsSet);
constexpr std::uint32_t kSpoilers = static_cast<std::uint32_t>(ClientEventId::SpoilersSet);
constexpr std::uint32_t kThrottle = static_cast<std::uint32_t>(ClientEventId::ThrottleSet);
constexpr std::uint32_t kLanding = static_cast<std::uint32_t>(ClientEventId::LandingLightsSet);

bool samePositionForTest(const PathPoint& a, const PathPoint& b) {
  return std::fabs(a.latitude - b.latitude) < 1e-8 && std::fabs(a.longitude - b.longitude) < 1e-8;
}

double headingStep(double a, double b) { return std::fabs(std::remainder(b - a, 2.0 * 3.141592653589793)); }

// What every flight must show, whatever it does.
void expectSmoothFlight(FlightDriver& driver, std::uint32_t key, SizeCategory category) {
  const CategoryPerformance& performance = categoryPerformance(category);
  const auto& positions = driver.positionsOf(key);
  ASSERT_FALSE(positions.empty());
  for (std::size_t i = 0; i < positions.size(); ++i) {
    const AiPositionBlock& b = positions[i].block;
    ASSERT_TRUE(std::isfinite(b.latitude) && std::isfinite(b.longitude) && std::isfinite(b.altitudeFeet) &&
                std::isfinite(b.pitchRadians) && std::isfinite(b.bankRadians) && std::isfinite(b.headingRadians) &&
                std::isfinite(b.verticalSpeedFps) && std::isfinite(b.trueAirspeedKnots))
        << "tick " << positions[i].tick;
    EXPECT_LE(std::fabs(b.bankRadians), performance.maxBankRadians + 1e-9) << "tick " << positions[i].tick;
    // Between the steepest climb-out and the nose-down of a steep descent.
    EXPECT_GE(b.pitchRadians, -30.0 * kDegreesToRadians) << "tick " << positions[i].tick;
    EXPECT_LE(b.pitchRadians, 6.0 * kDegreesToRadians) << "tick " << positions[i].tick;
    if (i == 0) {
      continue;
    }
    const AiPositionBlock& before = positions[i - 1].block;
    // No jump: at most what 600 kt cover in a step, and the heading turns
    // on the ground by the scaled turn rate, in the air by at most 1.5
    // degrees a step.
    EXPECT_LE(gf_distanceNm({before.latitude, before.longitude}, {b.latitude, b.longitude}), 600.0 / 360000.0)
        << "tick " << positions[i].tick;
    const double turnLimit =
        positions[i].onGround ? 3.0 * performance.turnRateRadians + 1e-9 : 1.5 * kDegreesToRadians;
    EXPECT_LE(headingStep(before.headingRadians, b.headingRadians), turnLimit) << "tick " << positions[i].tick;
  }
  for (const auto& [startTick, dueTick] : driver.legsOf(key)) {
    EXPECT_GE(dueTick - startTick, 25) << "leg at tick " << startTick;
  }
}

std::int64_t lastEventTick(FlightDriver& driver, std::uint32_t key, std::uint32_t eventId, std::uint32_t value) {
  std::int64_t tick = -1;
  for (const auto& event : driver.eventsOf(key)) {
    if (event.item.eventId == eventId && event.item.value == value) {
      tick = event.tick;
    }
  }
  return tick;
}

bool wentThrough(FlightDriver& driver, std::uint32_t key, std::vector<FlightPhase> wanted) {
  const auto& phases = driver.phasesOf(key);
  std::size_t next = 0;
  for (FlightPhase phase : phases) {
    if (next < wanted.size() && phase == wanted[next]) {
      ++next;
    }
  }
  return next == wanted.size();
}

TEST(FlightTracks, CruiseWithTurnsAppearsInTheAirAndBanksWithinItsCategory) {
  for (const auto& [type, category] : {std::pair{"A320", SizeCategory::Large}, {"B744", SizeCategory::Heavy}}) {
    FlightDriver driver;
    driver.addFlight(40001, "DLH1", type,
                     TrackBuilder(52.0, 4.0, 12000.0, 0.0)
                         .leg(60, 280, 90)
                         .leg(60, 280, 90, 0, 3.0)
                         .leg(60, 280, 270, -1500)
                         .points());
    driver.runUntilSecond(200);
    const LiveAc* a = driver.aircraft(40001);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->phase, FlightPhase::flying);
    expectSmoothFlight(driver, 40001, category);
    double largestBank = 0.0;
    for (const auto& p : driver.positionsOf(40001)) {
      largestBank = std::max(largestBank, std::fabs(p.block.bankRadians));
    }
    EXPECT_GT(largestBank, 1.0 * kDegreesToRadians) << type << " banks in its turn";
    // Above 10000 ft the high light set goes out once after the activation's
    // own, not with every leg.
    std::size_t landingOff = 0;
    for (const auto& event : driver.eventsOf(40001)) {
      landingOff += event.item.eventId == kLanding && event.item.value == 0 ? 1 : 0;
    }
    EXPECT_EQ(landingOff, 2U) << type;
  }
}

TEST(FlightTracks, AnAircraftBoundLateStartsWhereItIsNowInsteadOfRacingToCatchUp) {
  constexpr double kSpeedKnots = 280.0;
  std::vector<TrackPoint> track = TrackBuilder(52.0, 4.0, 12000.0, 0.0).leg(60, kSpeedKnots, 90).points();
  for (TrackPoint& point : track) {
    point.handedOverSeconds = 0.0;  // a history snapshot: every point at once
  }
  FlightDriver driver;
  driver.bindDelaySeconds = 15.0;
  driver.addFlight(40009, "DLH9", "A320", track);
  // The points fall due from second 30 (the feed's delay), the bind comes
  // 15 s after the create.
  driver.runUntilSecond(75);
  const auto& positions = driver.positionsOf(40009);
  ASSERT_GT(positions.size(), 100U);
  EXPECT_GE(positions.front().tick, 4400);
  for (std::size_t i = 1; i < positions.size(); ++i) {
    const AiPositionBlock& before = positions[i - 1].block;
    const AiPositionBlock& now = positions[i].block;
    const double nm = gf_distanceNm({before.latitude, before.longitude}, {now.latitude, now.longitude});
    const double knots = nm * 360000.0 / static_cast<double>(positions[i].tick - positions[i - 1].tick);
    ASSERT_LE(knots, 3.0 * kSpeedKnots) << "tick " << positions[i].tick;
  }
}

TEST(FlightTracks, TakeOffRollsRotatesClimbsAndCleansUp) {
  FlightDriver driver;
  driver.addFlight(40002, "KLM2", "B738",
                   TrackBuilder(kRunwayLatitude, kRunwayLongitude, 0.0, 0.0)
                       .leg(20, 12, 240, 0, 0, 4)
                       .leg(8, 40, 240, 0, 0, 2)
                       .leg(8, 80, 240, 0, 0, 2)
                       .leg(8, 120, 240, 0, 0, 2)
                       .leg(8, 150, 240, 0, 0, 2)
                       .leg(150, 160, 240, 2000, 0, 4)
                       .points());
  driver.runUntilSecond(260);
  const LiveAc* a = driver.aircraft(40002);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(wentThrough(driver, 40002, {FlightPhase::taxi, FlightPhase::take_off, FlightPhase::flying}));
  EXPECT_FALSE(a->onGround);
  expectSmoothFlight(driver, 40002, SizeCategory::Large);
  // The roll starts at idle with take-off flaps, the gear comes up after
  // the rotation, climb thrust comes once the aircraft flies.
  const std::int64_t flapsTakeOff = driver.firstEventTick(40002, kFlaps, 3072);
  const std::int64_t fullThrottle = driver.firstEventTick(40002, kThrottle, 16383);
  const std::int64_t gearUp = driver.firstEventTick(40002, kGear, 0);
  const std::int64_t climbThrottle = lastEventTick(driver, 40002, kThrottle, 11468);
  ASSERT_GE(flapsTakeOff, 0);
  ASSERT_GE(fullThrottle, 0);
  ASSERT_GE(gearUp, 0);
  EXPECT_LT(flapsTakeOff, fullThrottle);
  EXPECT_LT(fullThrottle, gearUp);
  EXPECT_LT(gearUp, climbThrottle);
  const auto& positions = driver.positionsOf(40002);
  EXPECT_GT(positions.back().block.altitudeFeet, 2000.0);
  EXPECT_LT(positions.back().block.pitchRadians, -3.0 * kDegreesToRadians) << "nose up in the climb";
}

TEST(FlightTracks, ApproachFlaresTouchesDownRollsOutAndTurnsOff) {
  FlightDriver driver;
  driver.setParkAirport({kRunwayLatitude, kRunwayLongitude}, {});
  // From 8 nm out at 2400 ft, 700 ft/min down at 140 kt onto the runway
  // heading north, then the roll-out and a turn off to the east.
  const GeoPoint start = gf_destination({kRunwayLatitude, kRunwayLongitude}, 3.141592653589793, 8.0 * kFeetPerNm);
  driver.addFlight(40003, "EIN3", "A320",
                   TrackBuilder(start.latitude, start.longitude, 2400.0, 0.0)
                       .leg(206, 140, 0, -700)
                       .leg(12, 120, 0, 0, 0, 3)
                       .leg(12, 80, 0, 0, 0, 3)
                       .leg(12, 40, 0, 0, 0, 3)
                       .leg(30, 15, 0, 0, 3.0, 3)
                       .leg(40, 15, 90, 0, 0, 4)
                       .points());
  driver.runUntilSecond(380);
  const LiveAc* a = driver.aircraft(40003);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(wentThrough(driver, 40003, {FlightPhase::flying, FlightPhase::taxi}));
  EXPECT_TRUE(a->onGround);
  EXPECT_TRUE(a->motion.landed);
  expectSmoothFlight(driver, 40003, SizeCategory::Large);
  const std::int64_t approachFlaps = driver.firstEventTick(40003, kFlaps, 16383);
  const std::int64_t gearDown = driver.firstEventTick(40003, kGear, 1);
  const std::int64_t spoilersOut = driver.firstEventTick(40003, kSpoilers, 16383);
  const std::int64_t spoilersIn = lastEventTick(driver, 40003, kSpoilers, 0);
  const std::int64_t landingLightsOff = lastEventTick(driver, 40003, kLanding, 0);
  ASSERT_GE(approachFlaps, 0);
  ASSERT_GE(gearDown, 0);
  ASSERT_GE(spoilersOut, 0);
  EXPECT_LE(gearDown, spoilersOut);
  EXPECT_LT(approachFlaps, spoilersOut);
  EXPECT_GT(spoilersIn, spoilersOut);
  EXPECT_GT(landingLightsOff, spoilersOut) << "the landing lights go out at the turn-off";
  // The flare: the last second before touchdown sinks gently.
  const auto& positions = driver.positionsOf(40003);
  for (std::size_t i = 1; i < positions.size(); ++i) {
    if (positions[i].onGround && !positions[i - 1].onGround && i > 100) {
      const double sinkFeet = positions[i - 100].block.altitudeFeet - positions[i - 1].block.altitudeFeet;
      EXPECT_LT(sinkFeet, 10.0) << "sink in the last second, tick " << positions[i].tick;
      break;
    }
  }
}

TEST(FlightTracks, TaxiRoundsItsTurnsOnCurves) {
  FlightDriver driver;
  driver.addFlight(40004, "KLM4", "B738",
                   TrackBuilder(kRunwayLatitude, kRunwayLongitude, 0.0, 0.0)
                       .leg(40, 15, 90, 0, 0, 4)
                       .leg(30, 15, 90, 0, 3.0, 4)
                       .leg(40, 15, 180, 0, 0, 4)
                       .leg(30, 15, 180, 0, -3.0, 4)
                       .leg(40, 15, 90, 0, 0, 4)
                       .points());
  driver.runUntilSecond(200);
  ASSERT_NE(driver.aircraft(40004), nullptr);
  expectSmoothFlight(driver, 40004, SizeCategory::Large);
  const auto& positions = driver.positionsOf(40004);
  EXPECT_NEAR(positions.back().block.headingRadians, 90.0 * kDegreesToRadians, 10.0 * kDegreesToRadians);
}

TEST(FlightTracks, ARecordGapOfAMinuteIsBridgedAndARecordBackInTimeChangesNothing) {
  FlightDriver driver;
  TrackBuilder track(52.0, 4.0, 8000.0, 0.0);
  track.leg(60, 250, 45).gap(60, 250, 45).leg(60, 250, 45);
  std::vector<TrackPoint> points = track.points();
  // Reported after the gap, with the time and position of an old report.
  TrackPoint late = points[5];
  late.handedOverSeconds = points[12].seconds + 0.5;
  driver.addFlight(40005, "DLH5", "A320", points);
  driver.addFlight(40005, "DLH5", "A320", {late});
  driver.runUntilSecond(250);
  const LiveAc* a = driver.aircraft(40005);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->state, SimState::active);
  expectSmoothFlight(driver, 40005, SizeCategory::Large);
  // The aircraft still passes the last report's position.
  const TrackPoint& last = points.back();
  double closestNm = 1e9;
  for (const auto& p : driver.positionsOf(40005)) {
    closestNm = std::min(closestNm, gf_distanceNm({p.block.latitude, p.block.longitude}, {last.latitude, last.longitude}));
  }
  EXPECT_LT(closestNm, 0.05);
}

TEST(FlightTracks, AnAircraftThatStopsReportingFliesItsGeneratedLegsAndGoes) {
  FlightDriver driver;
  driver.addFlight(40006, "DLH6", "A320", TrackBuilder(52.0, 4.0, 8000.0, 0.0).leg(40, 250, 45).points());
  driver.runUntilSecond(71);
  ASSERT_NE(driver.aircraft(40006), nullptr);
  const double speedBefore = driver.aircraft(40006)->path.back().speedKnots;
  driver.runUntilSecond(100);
  ASSERT_NE(driver.aircraft(40006), nullptr);
  EXPECT_GT(driver.aircraft(40006)->generatedLegs, 1);
  EXPECT_LT(driver.aircraft(40006)->path.back().speedKnots, speedBefore);
  driver.runUntilSecond(160);
  const LiveAc* a = driver.aircraft(40006);
  ASSERT_TRUE(a == nullptr || a->state == SimState::removingfromsim) << "eight legs of 8 s, then it goes";
  expectSmoothFlight(driver, 40006, SizeCategory::Large);
}

TEST(FlightTracks, ATaxiingAircraftHoldsForTheHoldingMinutesThenGoes) {
  const std::int32_t minutes = par_MAX_HOLDING_MINUTES.value();
  par_MAX_HOLDING_MINUTES.setValue(1);
  FlightDriver driver;
  driver.addFlight(40007, "KLM7", "B738",
                   TrackBuilder(kRunwayLatitude, kRunwayLongitude, 0.0, 0.0).leg(30, 10, 90, 0, 0, 4).points());
  driver.runUntilSecond(70);
  ASSERT_NE(driver.aircraft(40007), nullptr);
  EXPECT_TRUE(driver.aircraft(40007)->motion.holding);
  driver.runUntilSecond(200);
  const LiveAc* a = driver.aircraft(40007);
  EXPECT_TRUE(a == nullptr || a->state == SimState::removingfromsim);
  par_MAX_HOLDING_MINUTES.setValue(minutes);
}

TEST(FlightTracks, ApiArraysOfALandingAndATakeOffGoThroughDecoderIntakeAndEngine) {
  FlightDriver driver;
  driver.setParkAirport({kRunwayLatitude, kRunwayLongitude}, {});
  const GeoPoint start = gf_destination({kRunwayLatitude, kRunwayLongitude}, 3.141592653589793, 8.0 * kFeetPerNm);
  const std::vector<TrackPoint> landing = TrackBuilder(start.latitude, start.longitude, 2400.0, 0.0)
                                              .leg(206, 140, 0, -700)
                                              .leg(24, 100, 0, 0, 0, 3)
                                              .leg(24, 30, 0, 0, 0, 3)
                                              .points();
  const std::vector<TrackPoint> takeOff = TrackBuilder(kRunwayLatitude - 0.01, kRunwayLongitude, 0.0, 0.0)
                                              .leg(20, 12, 240, 0, 0, 4)
                                              .leg(24, 100, 240, 0, 0, 2)
                                              .leg(100, 160, 240, 2000, 0, 4)
                                              .points();
  EXPECT_GT(driver.addFlightAsApiArrays("484f6d", "KLM1234", "B738", landing), landing.size() * 9 / 10);
  EXPECT_GT(driver.addFlightAsApiArrays("4ca7b4", "EIN605", "A320", takeOff), takeOff.size() * 9 / 10);
  driver.runUntilSecond(300);
  ASSERT_NE(driver.aircraft(0x484f6d), nullptr);
  ASSERT_NE(driver.aircraft(0x4ca7b4), nullptr);
  EXPECT_TRUE(wentThrough(driver, 0x484f6d, {FlightPhase::flying, FlightPhase::taxi}));
  EXPECT_TRUE(driver.aircraft(0x484f6d)->motion.landed);
  EXPECT_TRUE(wentThrough(driver, 0x4ca7b4, {FlightPhase::taxi, FlightPhase::take_off, FlightPhase::flying}));
  expectSmoothFlight(driver, 0x484f6d, SizeCategory::Large);
  expectSmoothFlight(driver, 0x4ca7b4, SizeCategory::Large);
}

// With the engine's own spawning and parking: an arrival taxis onto its stand
// and parks; a departure pushes back off its stand and taxis away.
TEST(FlightTracks, WithTheParkingRulesAnArrivalParksAndADeparturePushesBack) {
  FlightDriver driver(0.0, true);
  const GeoPoint apron{kRunwayLatitude, kRunwayLongitude};
  driver.setParkAirport(apron, standGrid(1, 4, 80.0, 20.0, apron));
  const GeoPoint approach = offsetMeters(apron, -312.0, 0.0);
  driver.addFlight(40020, "KLM20", "B738",
                   TrackBuilder(approach.latitude, approach.longitude, 0.0, 0.0)
                       .leg(40, 15, 0, 0, 0, 4)
                       .stand(60, 16)
                       .points());
  const GeoPoint second = offsetMeters(apron, 0.0, 80.0);
  driver.addFlight(40021, "KLM21", "B738",
                   TrackBuilder(second.latitude, second.longitude, 0.0, 0.0)
                       .stand(40, 16)
                       .leg(40, 3, 180, 0, 0, 4)
                       .leg(60, 10, 90, 0, 0, 4)
                       .points());
  driver.runUntilSecond(200);
  const LiveAc* arrival = driver.aircraft(40020);
  ASSERT_NE(arrival, nullptr);


  EXPECT_TRUE(wentThrough(driver, 40020, {FlightPhase::taxi, FlightPhase::parking, FlightPhase::parked}));
  EXPECT_EQ(arrival->standId, 1U);
  EXPECT_TRUE((*driver.harness.engine.standTable())[0].occupied);
  expectSmoothFlight(driver, 40020, SizeCategory::Large);
  const LiveAc* departure = driver.aircraft(40021);
  ASSERT_NE(departure, nullptr);
  EXPECT_TRUE(wentThrough(driver, 40021, {FlightPhase::parked, FlightPhase::pushing_back, FlightPhase::pushed_back}));
  expectSmoothFlight(driver, 40021, SizeCategory::Large);
}

// Leaving a stand: the departure rule of the parking part is stood in for by
// one that lets every moving point leave.
class StandDeparture : public ::testing::TestWithParam<std::tuple<double, bool, bool>> {};

TEST_P(StandDeparture, PushesBackOrPullsOutByWhereThePathLeads) {
  const auto [outboundDegrees, straightOnly, pushesBack] = GetParam();
  const bool straight = par_STRAIGHT_PBS_ONLY.value();
  par_STRAIGHT_PBS_ONLY.setValue(straightOnly);
  FlightDriver driver;
  StandTable stands;
  stands.emplace_back("B12", std::vector<UsageEntry>{}, std::array<double, 3>{kRunwayLatitude, kRunwayLongitude, 0.0},
                      20.0, true, true, true);
  driver.setParkAirport({kRunwayLatitude, kRunwayLongitude}, std::move(stands));
  driver.motion.parking.checkStandApproach = [&driver](LiveAc& a, PathPoint& p) {
    if (p.stationary || (!a.path.empty() && samePositionForTest(a.path.back(), p))) {
      return false;
    }
    a.motion.leavingStand = true;
    if (a.generatedLegs != 0) {
      stopGeneratedLegs(driver.motion, a);
    }
    return true;
  };
  driver.addFlight(40008, "KLM8", "B738",
                   TrackBuilder(kRunwayLatitude, kRunwayLongitude, 0.0, 0.0)
                       .stand(30, 10)
                       .gap(20, 8, outboundDegrees)
                       .leg(60, 8, outboundDegrees + 90.0, 0, 0, 4)
                       .points());
  driver.runUntilSecond(150);
  ASSERT_NE(driver.aircraft(40008), nullptr);
  const bool pushedBack = wentThrough(driver, 40008, {FlightPhase::parked, FlightPhase::pushing_back});
  EXPECT_EQ(pushedBack, pushesBack);
  if (pushesBack) {
    bool negativeAirspeed = false;
    for (const auto& p : driver.positionsOf(40008)) {
      negativeAirspeed = negativeAirspeed || p.block.trueAirspeedKnots < 0.0;
    }
    EXPECT_TRUE(negativeAirspeed) << "pushing back shows a negative true airspeed";
  } else {
    EXPECT_TRUE(wentThrough(driver, 40008, {FlightPhase::parked, FlightPhase::taxi}));
  }
  expectSmoothFlight(driver, 40008, SizeCategory::Large);
  par_STRAIGHT_PBS_ONLY.setValue(straight);
}

INSTANTIATE_TEST_SUITE_P(Flights, StandDeparture,
                         ::testing::Values(std::tuple{180.0, false, true}, std::tuple{180.0, true, true},
                                           std::tuple{0.0, false, false}));

TEST(FlightTracks, AFaultInOneAircraftsStepRemovesItAloneAndIsLoggedOnce) {
  FlightDriver driver;
  StandTable stands;
  stands.emplace_back("C1", std::vector<UsageEntry>{}, std::array<double, 3>{52.31, 4.77, 0.0}, 20.0, true, true, true);
  driver.setParkAirport({kRunwayLatitude, kRunwayLongitude}, std::move(stands));
  int parkingCalls = 0;
  driver.motion.parking.try2Park = [&parkingCalls](LiveAc&, bool) {
    ++parkingCalls;
    throw std::runtime_error("broken stand");
  };
  driver.addFlight(40009, "KLM9", "B738",
                   TrackBuilder(kRunwayLatitude, kRunwayLongitude, 0.0, 0.0).leg(20, 4, 90, 0, 0, 4).stand(40).points());
  driver.addFlight(40010, "DLH10", "A320", TrackBuilder(52.0, 4.0, 8000.0, 0.0).leg(80, 250, 45).points());
  driver.runUntilSecond(110);
  EXPECT_EQ(parkingCalls, 1);
  const LiveAc* broken = driver.aircraft(40009);
  EXPECT_TRUE(broken == nullptr || broken->state == SimState::removingfromsim);
  ASSERT_NE(driver.aircraft(40010), nullptr);
  EXPECT_EQ(driver.aircraft(40010)->state, SimState::active);
}

}  // namespace
}  // namespace crv::testing
