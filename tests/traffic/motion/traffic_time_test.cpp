// The engine's half hours under a time shift: every stand use it learns and
// every placement it stamps takes the traffic time, not the system time.

#include <gtest/gtest.h>

#include <vector>

#include "foundation/clock.h"
#include "foundation/settings.h"
#include "tests/support/settings_fixture.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/stand_grid.h"
#include "traffic/motion/live_motion.h"

namespace crv::testing {
namespace {

constexpr std::int64_t kShiftSeconds = 6 * 3600;

class TrafficTimeTest : public ::testing::Test {
 protected:
  TrafficTimeTest() {
    EngineHarness::installTestAircraftTypes();
    par_LEARN_SOFT.setValue(true);
    trafficSeconds = systemTimeSeconds() - kShiftSeconds;
    setLastTrafficTime(static_cast<double>(trafficSeconds));
    setTimeShiftActive(true);
    motion.engine = &harness.engine;
    motion.parkAirportPosition = kApronOrigin;
    motion.parking.addStandOption = [this](std::uint32_t, LiveAc&, DaySlot slot, bool, bool) {
      learnedSlots.push_back(slot);
      return true;
    };
    harness.engine.setParkAirport("EDDF", 0.0);
  }
  ~TrafficTimeTest() override {
    motion.engine = nullptr;
    setTimeShiftActive(false);
    setLastTrafficTime(0.0);
    resetAllSettings();
  }

  std::int64_t trafficSeconds = 0;
  StandTable stands = standGrid(2, 5);
  EngineHarness harness{{}, &stands};  // the program's own clock
  MotionContext motion;
  std::vector<DaySlot> learnedSlots;
};

// Six hours back, the half hour learned is the traffic's (16 where the
// system time would give 28).
TEST_F(TrafficTimeTest, AnArrivalAndAGuessedStandLearnTheHalfHourOfTheTrafficTime) {
  const DaySlot traffic = weekdayAndSlotAt(trafficSeconds);
  ASSERT_NE(traffic, weekdayAndSlotAt(systemTimeSeconds()));
  EXPECT_EQ(harness.engine.currentSlot(), traffic);

  LiveAc& arrival = harness.placeLive(20001, "DLH4AB", SimState::active, 501);
  const ParkingPosition& stand = stands[0];
  arrival.onGround = true;
  arrival.phase = FlightPhase::parking;
  arrival.standId = stand.id;
  arrival.standLatitude = stand.latitude;
  arrival.standLongitude = stand.longitude;
  arrival.position.latitude = stand.latitude;
  arrival.position.longitude = stand.longitude;
  arriveAtStand(motion, arrival);
  ASSERT_EQ(arrival.phase, FlightPhase::parked);
  EXPECT_EQ(arrival.slot, traffic.packed());

  LiveAc& stopped = harness.placeLive(20002, "DLH5CD", SimState::active, 502);
  const GeoPoint apron = offsetMeters(kApronOrigin, -150.0, 0.0);
  stopped.position.latitude = apron.latitude;
  stopped.position.longitude = apron.longitude;
  stopped.onGround = true;
  stopped.phase = FlightPhase::taxi;
  learnSoftStand(motion, stopped, true);
  EXPECT_EQ(learnedSlots, (std::vector<DaySlot>{traffic, traffic}));
}

}  // namespace
}  // namespace crv::testing
