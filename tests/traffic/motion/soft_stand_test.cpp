// Guessing a stand for an aircraft that ends its path near the park airport.

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "foundation/settings.h"
#include "tests/support/settings_fixture.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/stand_grid.h"
#include "traffic/motion/live_motion.h"

namespace crv::testing {
namespace {

struct SoftLearning {
  std::uint32_t standId = 0;
  DaySlot slot;
};

class SoftStandTest : public ::testing::Test {
 protected:
  explicit SoftStandTest(StandTable table = standGrid(2, 5)) : stands(std::move(table)) {
    EngineHarness::installTestAircraftTypes();
    par_LEARN_SOFT.setValue(true);
    motion.engine = &harness.engine;
    motion.parkAirportPosition = kApronOrigin;
    motion.parking.addStandOption = [this](std::uint32_t standId, LiveAc&, DaySlot slot, bool soft, bool) {
      EXPECT_TRUE(soft);
      learned.push_back({standId, slot});
      return true;
    };
    harness.engine.setParkAirport("EDDF", 0.0);
  }
  ~SoftStandTest() override { resetAllSettings(); }

  void setSlot(DaySlot slot) { now = timeInSlot(slot); }
  // Every stand is used at the slot by another aircraft.
  void useEveryStandAt(DaySlot slot) {
    for (ParkingPosition& stand : stands) {
      stand.usage.push_back(dlhUsage(static_cast<std::uint32_t>(stand.usage.size() + 1), slot.weekday,
                                     {slot.halfHour}, "DLH9", "D-AIXX"));
    }
  }
  // An active aircraft that stopped on the apron, away from every stand.
  LiveAc& stoppedOnTheApron(std::uint32_t key) {
    LiveAc& a = harness.placeLive(key, "DLH4AB", SimState::active, 501);
    const GeoPoint at = offsetMeters(kApronOrigin, -150.0, 0.0);
    a.position.latitude = at.latitude;
    a.position.longitude = at.longitude;
    a.onGround = true;
    a.phase = FlightPhase::taxi;
    return a;
  }

  std::chrono::system_clock::time_point now = timeInSlot({1, 0});
  StandTable stands;
  EngineHarness harness{{}, &stands, [this] { return now; }};
  MotionContext motion;
  std::vector<SoftLearning> learned;
};

// With every stand used in the current half hour, an airport of ten stands
// looks at the next half hour (Sunday's last one is followed by Monday's
// first); the usage is learned for the current half hour.
TEST_F(SoftStandTest, ASmallAirportRetriesTheNextHalfHour) {
  const DaySlot cases[] = {{3, 20}, {7, 47}};
  for (const DaySlot slot : cases) {
    learned.clear();
    for (ParkingPosition& stand : stands) stand.usage.clear();
    useEveryStandAt(slot);
    setSlot(slot);
    LiveAc& a = stoppedOnTheApron(20001 + static_cast<std::uint32_t>(slot.weekday));
    learnSoftStand(motion, a, true);
    ASSERT_EQ(learned.size(), 1U) << slot.weekday;
    EXPECT_NE(learned[0].standId, 0U);
    EXPECT_EQ(learned[0].slot, slot);

    // Used in the next half hour too: nothing is learned.
    learned.clear();
    useEveryStandAt(slot.next());
    LiveAc& b = stoppedOnTheApron(20101 + static_cast<std::uint32_t>(slot.weekday));
    learnSoftStand(motion, b, true);
    EXPECT_TRUE(learned.empty()) << slot.weekday;
  }
}

class LargeAirportSoftStandTest : public SoftStandTest {
 protected:
  LargeAirportSoftStandTest() : SoftStandTest(standGrid(1, 11)) {}
};

TEST_F(LargeAirportSoftStandTest, ALargerAirportDoesNotRetry) {
  const DaySlot slot{3, 20};
  useEveryStandAt(slot);
  setSlot(slot);
  learnSoftStand(motion, stoppedOnTheApron(20001), true);
  EXPECT_TRUE(learned.empty());
}

// The 1.5-hour guard reads what arriving at a stand remembered: the last
// half hour of Sunday keeps Monday's first two half hours from learning.
TEST_F(SoftStandTest, ALearningLateOnSundayGuardsEarlyMonday) {
  rememberStandLearning(harness.engine.lastStandUse(), 20001, {7, 47});
  LiveAc& a = stoppedOnTheApron(20001);
  for (const int halfHour : {0, 1}) {
    setSlot({1, halfHour});
    learnSoftStand(motion, a, true);
    EXPECT_TRUE(learned.empty()) << halfHour;
  }
  setSlot({1, 2});
  learnSoftStand(motion, a, true);
  ASSERT_EQ(learned.size(), 1U);
  EXPECT_EQ(learned[0].slot, (DaySlot{1, 2}));
}

}  // namespace
}  // namespace crv::testing
