// Synthetic flights through the feed's decoder, engine, live rules and motion: what a pilot
// would see of each, checked step by step.

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "tests/support/settings_fixture.h"
#include "simlink/sim_ids.h"
#include "tests/traffic/flight_driver.h"
#include "tests/traffic/replay_flights.h"
#include "tests/traffic/stand_grid.h"

namespace crv::testing {
namespace {

constexpr GeoPoint kRunway{52.30, 4.76};
constexpr std::uint32_t kGear = static_cast<std::uint32_t>(ClientEventId::GearSet);
constexpr std::uint32_t kFlaps = static_cast<std::uint32_t>(ClientEventId::FlapsSet);
constexpr std::uint32_t kSpoilers = static_cast<std::uint32_t>(ClientEventId::SpoilersSet);
constexpr std::uint32_t kThrottle = static_cast<std::uint32_t>(ClientEventId::ThrottleSet);
constexpr std::uint32_t kLanding = static_cast<std::uint32_t>(ClientEventId::LandingLightsSet);

double headingStep(double a, double b) { return std::fabs(std::remainder(b - a, 2.0 * 3.141592653589793)); }

// What every flight must show, whatever it does.
void expectSmoothFlight(FlightDriver& driver, std::uint32_t key, SizeCategory category = SizeCategory::Large) {
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

bool wentThrough(FlightDriver& driver, std::uint32_t key, std::vector<FlightPhase> wanted) {
  std::size_t next = 0;
  for (FlightPhase phase : driver.phasesOf(key)) {
    if (next < wanted.size() && phase == wanted[next]) {
      ++next;
    }
  }
  return next == wanted.size();
}

std::int64_t firstTick(FlightDriver& driver, std::uint32_t key, std::uint32_t eventId, std::uint32_t value) {
  const std::vector<std::int64_t> ticks = driver.eventTicks(key, eventId, value);
  return ticks.empty() ? -1 : ticks.front();
}

std::int64_t lastTick(FlightDriver& driver, std::uint32_t key, std::uint32_t eventId, std::uint32_t value) {
  const std::vector<std::int64_t> ticks = driver.eventTicks(key, eventId, value);
  return ticks.empty() ? -1 : ticks.back();
}

TEST(FlightTracks, CruiseWithTurnsBanksWithinItsCategoryAndTheHighLightsGoOutOnce) {
  FlightDriver driver;
  const std::vector<TrackPoint> cruise =
      TrackBuilder(52.0, 4.0, 12000.0).leg(60, 280, 90).leg(60, 280, 90, 0, 3.0).leg(60, 280, 270, -1500).points();
  driver.addFlight(40001, "DLH1", "A320", cruise);
  std::vector<TrackPoint> heavy = cruise;
  for (TrackPoint& point : heavy) {
    point.latitude += 0.2;
  }
  driver.addFlight(40002, "BAW2", "B744", heavy);
  driver.runUntilSecond(200);
  for (const auto& [key, category] : {std::pair{40001U, SizeCategory::Large}, {40002U, SizeCategory::Heavy}}) {
    ASSERT_NE(driver.aircraft(key), nullptr);
    EXPECT_EQ(driver.aircraft(key)->phase, FlightPhase::flying);
    expectSmoothFlight(driver, key, category);
    double largestBank = 0.0;
    for (const auto& p : driver.positionsOf(key)) {
      largestBank = std::max(largestBank, std::fabs(p.block.bankRadians));
    }
    EXPECT_GT(largestBank, 1.0 * kDegreesToRadians) << key << " banks in its turn";
    // Above 10000 ft the high light set goes out once after the activation's
    // own, not with every leg.
    EXPECT_EQ(driver.eventTicks(key, kLanding, 0).size(), 2U) << key;
  }
}

// It does not race through the points that fell due before it was bound.
TEST(FlightTracks, AnAircraftBoundLateStartsWhereItIsNowInsteadOfRacingToCatchUp) {
  std::vector<TrackPoint> track = TrackBuilder(52.0, 4.0, 12000.0).leg(60, 280, 90).points();
  for (TrackPoint& point : track) {
    point.handedOverSeconds = 0.0;  // a history snapshot: every point at once
  }
  FlightDriver driver;
  driver.bindDelaySeconds = 15.0;
  driver.addFlight(40009, "DLH9", "A320", track);
  // The points fall due from second 30 (the feed's delay), the bind comes
  // 15 s after the create.
  driver.runUntilSecond(75);
  ASSERT_GT(driver.positionsOf(40009).size(), 100U);
  EXPECT_GE(driver.positionsOf(40009).front().tick, 4400);
  expectSmoothFlight(driver, 40009);
}

// The departure pushes back off stand A2, taxis round two corners, takes off
// and climbs; the arrival flares, rolls out, turns off and parks on stand A1.
TEST(FlightTracks, ADepartureAndAnArrivalGoThroughTheWholeCycle) {
  const GeoPoint approachStart = gf_destination(kRunway, 3.141592653589793, 8.0 * kFeetPerNm);
  const std::vector<TrackPoint> arrival = arrivalFrom(approachStart);
  const GeoPoint apron{arrival.back().latitude, arrival.back().longitude};
  FlightDriver driver;
  driver.setParkAirport(apron, standGrid(1, 4, 80.0, 20.0, apron));
  constexpr std::uint32_t kArrival = 0x484f6d;
  constexpr std::uint32_t kDeparture = 0x4ca7b4;
  const GeoPoint standA2 = offsetMeters(apron, 0.0, 80.0);
  const std::vector<TrackPoint> departure = TrackBuilder(standA2.latitude, standA2.longitude, 0.0)
                                                .stand(40, 16)
                                                .leg(40, 3, 180)
                                                .leg(40, 12, 90)
                                                .leg(30, 12, 90, 0, 3.0)
                                                .leg(20, 12, 180)
                                                .leg(30, 12, 180, 0, -3.0)
                                                .leg(8, 40, 90, 0, 0, 2)
                                                .leg(8, 80, 90, 0, 0, 2)
                                                .leg(8, 120, 90, 0, 0, 2)
                                                .leg(8, 150, 90, 0, 0, 2)
                                                .leg(100, 160, 90, 2000)
                                                .points();
  EXPECT_GT(driver.addFlight(kArrival, "KLM1234", "B738", arrival), arrival.size() * 9 / 10);
  EXPECT_GT(driver.addFlight(kDeparture, "EIN605", "A320", departure), departure.size() * 9 / 10);
  // The departure taxis round a right turn to the south and a left one back
  // to the east, on the recorded times: south from 172 s to 192 s, east from
  // 222 s, when it rolls for the take-off.
  for (const auto& [second, headingDegrees] : {std::pair{188.0, 180.0}, {265.0, 90.0}}) {
    driver.runUntilSecond(second);
    ASSERT_NE(driver.aircraft(kDeparture), nullptr);
    EXPECT_NEAR(driver.aircraft(kDeparture)->position.headingRadians, headingDegrees * kDegreesToRadians,
                5.0 * kDegreesToRadians) << second;
  }
  driver.runUntilSecond(480);
  ASSERT_NE(driver.aircraft(kArrival), nullptr);
  ASSERT_NE(driver.aircraft(kDeparture), nullptr);
  expectSmoothFlight(driver, kArrival);
  expectSmoothFlight(driver, kDeparture);

  EXPECT_TRUE(wentThrough(driver, kDeparture,
                          {FlightPhase::parked, FlightPhase::pushing_back, FlightPhase::pushed_back, FlightPhase::taxi,
                           FlightPhase::take_off, FlightPhase::flying}));
  bool negativeAirspeed = false;
  for (const auto& p : driver.positionsOf(kDeparture)) {
    negativeAirspeed = negativeAirspeed || p.block.trueAirspeedKnots < 0.0;
  }
  EXPECT_TRUE(negativeAirspeed) << "pushing back shows a negative true airspeed";
  // The roll starts at idle with take-off flaps, the gear comes up after
  // the rotation, climb thrust comes once the aircraft flies.
  const std::int64_t flapsTakeOff = firstTick(driver, kDeparture, kFlaps, 3072);
  const std::int64_t fullThrottle = firstTick(driver, kDeparture, kThrottle, 16383);
  const std::int64_t gearUp = firstTick(driver, kDeparture, kGear, 0);
  ASSERT_GE(flapsTakeOff, 0);
  EXPECT_LT(flapsTakeOff, fullThrottle);
  EXPECT_LT(fullThrottle, gearUp);
  EXPECT_LT(gearUp, lastTick(driver, kDeparture, kThrottle, 11468));
  const AiPositionBlock& climbing = driver.positionsOf(kDeparture).back().block;
  EXPECT_GT(climbing.altitudeFeet, 2000.0);
  EXPECT_LT(climbing.pitchRadians, -3.0 * kDegreesToRadians) << "nose up in the climb";

  EXPECT_TRUE(wentThrough(driver, kArrival,
                          {FlightPhase::flying, FlightPhase::taxi, FlightPhase::parking, FlightPhase::parked}));
  EXPECT_TRUE(driver.aircraft(kArrival)->motion.landed);
  EXPECT_EQ(driver.aircraft(kArrival)->standId, 1U);
  // Parked for good, it keeps no newcomer off its stand.
  EXPECT_FALSE((*driver.harness.engine.standTable())[0].occupied);
  const std::int64_t approachFlaps = firstTick(driver, kArrival, kFlaps, 16383);
  const std::int64_t gearDown = firstTick(driver, kArrival, kGear, 1);
  const std::int64_t spoilersOut = firstTick(driver, kArrival, kSpoilers, 16383);
  ASSERT_GE(approachFlaps, 0);
  ASSERT_GE(gearDown, 0);
  EXPECT_LE(gearDown, spoilersOut);
  EXPECT_LT(approachFlaps, spoilersOut);
  EXPECT_GT(lastTick(driver, kArrival, kSpoilers, 0), spoilersOut);
  EXPECT_GT(lastTick(driver, kArrival, kLanding, 0), spoilersOut) << "the landing lights go out at the turn-off";
  // The flare: from 25 ft above the touchdown no step sinks faster than the
  // 600 ft/min of the final descent.
  const auto& positions = driver.positionsOf(kArrival);
  for (std::size_t i = 1; i < positions.size(); ++i) {
    if (positions[i].onGround && !positions[i - 1].onGround) {
      const double touchdownFeet = positions[i].block.altitudeFeet;
      for (std::size_t j = i - 1; j > 1 && positions[j - 1].block.altitudeFeet < touchdownFeet + 25.0; --j) {
        EXPECT_LE(positions[j - 1].block.altitudeFeet - positions[j].block.altitudeFeet, 0.1 + 1e-9)
            << "tick " << positions[j].tick;
      }
      break;
    }
  }
}

// A gap of a minute is bridged, a record back in time changes nothing, and
// when the reports stop the aircraft flies generated legs, slowing, and goes.
TEST(FlightTracks, AFlightBridgesAGapIgnoresARecordBackInTimeAndGoesAfterItsLastReport) {
  FlightDriver driver;
  const std::vector<TrackPoint> points =
      TrackBuilder(52.0, 4.0, 8000.0).leg(60, 250, 45).gap(60, 250, 45).leg(60, 250, 45).points();
  // Reported after the gap, with the time and position of an old report.
  TrackPoint late = points[5];
  late.handedOverSeconds = points[12].seconds + 0.5;
  driver.addFlight(40005, "DLH5", "A320", points);
  driver.addFlight(40005, "DLH5", "A320", {late});
  driver.runUntilSecond(211);  // the last report is due at 210 s
  ASSERT_NE(driver.aircraft(40005), nullptr);
  EXPECT_EQ(driver.aircraft(40005)->state, SimState::active);
  const double speedBefore = driver.aircraft(40005)->path.back().speedKnots;
  driver.runUntilSecond(240);
  ASSERT_NE(driver.aircraft(40005), nullptr);
  EXPECT_GT(driver.aircraft(40005)->generatedLegs, 1);
  EXPECT_LT(driver.aircraft(40005)->path.back().speedKnots, speedBefore);
  driver.runUntilSecond(300);
  const LiveAc* a = driver.aircraft(40005);
  EXPECT_TRUE(a == nullptr || a->state == SimState::removingfromsim) << "eight legs of 8 s, then it goes";
  expectSmoothFlight(driver, 40005);
  // The aircraft still passed the last report's position.
  double closestNm = 1e9;
  for (const auto& p : driver.positionsOf(40005)) {
    closestNm = std::min(closestNm, gf_distanceNm({p.block.latitude, p.block.longitude},
                                                  {points.back().latitude, points.back().longitude}));
  }
  EXPECT_LT(closestNm, 0.05);
}

TEST(FlightTracks, ATaxiingAircraftHoldsForTheHoldingMinutesThenGoes) {
  par_MAX_HOLDING_MINUTES.setValue(1);
  FlightDriver driver;
  driver.setParkAirport(kRunway, {});  // ground traffic is kept only near it
  driver.addFlight(40007, "KLM7", "B738", TrackBuilder(kRunway.latitude, kRunway.longitude, 0.0).leg(30, 10, 90).points());
  driver.runUntilSecond(70);
  ASSERT_NE(driver.aircraft(40007), nullptr);
  EXPECT_TRUE(driver.aircraft(40007)->motion.holding);
  driver.runUntilSecond(200);
  const LiveAc* a = driver.aircraft(40007);
  EXPECT_TRUE(a == nullptr || a->state == SimState::removingfromsim);
  resetAllSettings();
}

TEST(FlightTracks, LeavingAStandPushesBackOrPullsOutByWhereThePathLeads) {
  const struct {
    double outboundDegrees;
    bool straightOnly;
    bool pushesBack;
  } cases[] = {{180.0, true, true}, {0.0, false, false}};
  for (const auto& c : cases) {
    par_STRAIGHT_PBS_ONLY.setValue(c.straightOnly);
    FlightDriver driver;
    driver.setParkAirport(kRunway, standGrid(1, 1, 80.0, 20.0, kRunway));
    driver.addFlight(40008, "KLM8", "B738",
                     TrackBuilder(kRunway.latitude, kRunway.longitude, 0.0)
                         .stand(30, 10)
                         .gap(20, 8, c.outboundDegrees)
                         .leg(60, 8, c.outboundDegrees + 90.0)
                         .points());
    driver.runUntilSecond(150);
    ASSERT_NE(driver.aircraft(40008), nullptr);
    EXPECT_EQ(wentThrough(driver, 40008, {FlightPhase::parked, FlightPhase::pushing_back}), c.pushesBack);
    EXPECT_TRUE(wentThrough(driver, 40008, {FlightPhase::parked, FlightPhase::taxi}));
    expectSmoothFlight(driver, 40008);
  }
  resetAllSettings();
}

TEST(FlightTracks, AFaultInOneAircraftsStepRemovesItAlone) {
  FlightDriver driver;
  driver.setParkAirport(kRunway, standGrid(1, 1, 80.0, 20.0, offsetMeters(kRunway, 1000.0, 1000.0)));
  int parkingCalls = 0;
  driver.motion.parking.try2Park = [&parkingCalls](LiveAc&, bool) {
    ++parkingCalls;
    throw std::runtime_error("broken stand");
  };
  driver.addFlight(40009, "KLM9", "B738",
                   TrackBuilder(kRunway.latitude, kRunway.longitude, 0.0).leg(20, 4, 90).stand(40).points());
  driver.addFlight(40010, "DLH10", "A320", TrackBuilder(52.0, 4.0, 8000.0).leg(80, 250, 45).points());
  driver.runUntilSecond(110);
  EXPECT_EQ(parkingCalls, 1);
  const LiveAc* broken = driver.aircraft(40009);
  EXPECT_TRUE(broken == nullptr || broken->state == SimState::removingfromsim);
  ASSERT_NE(driver.aircraft(40010), nullptr);
  EXPECT_EQ(driver.aircraft(40010)->state, SimState::active);
}

}  // namespace
}  // namespace crv::testing
