// The window's parking controls as the park airport comes and goes: the
// renewal countdown, the boxes and buttons the schedule locks and frees, and
// the user's live-aircraft limit after an airport's override.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "airports/park_airport_state.h"
#include "app/control_handlers.h"
#include "app/window_controls.h"
#include "foundation/clock.h"
#include "foundation/day_slot.h"
#include "foundation/settings.h"
#include "platform/window/control_model.h"
#include "tests/app/program_harness.h"
#include "traffic/parking_schedule.h"
#include "traffic/static_ac.h"

namespace crv::testing {
namespace {

platform::ControlModel& controls() { return platform::mainWindowControls(); }
bool enabled(const ParameterControl& control) { return controls().isEnabled(control.controlId()).value_or(false); }

TEST(RenewalCountdownTest, MinutesToTheNextTwentyMinuteMarkOnceAMinute) {
  struct Case { int secondCounter; bool counted; std::int32_t minutes; };
  for (const Case& c : {Case{60, true, 19}, Case{30, false, 19}, Case{1140, true, 1}, Case{1200, true, 20},
                        Case{1259, false, 20}, Case{1260, true, 19}, Case{86340, true, 1}}) {
    EXPECT_EQ(countDownToRenewal(c.secondCounter), c.counted) << c.secondCounter;
    EXPECT_EQ(minutesToRenewal(), c.minutes) << c.secondCounter;
  }
  busyOff();
  EXPECT_EQ(minutesToRenewal(), 19) << "the end of a calculation starts the countdown again";
}

class ParkControlsTest : public ::testing::Test {
 protected:
  ProgramHarness harness;
  ControlHandlers handlers{harness.session()};
};

TEST_F(ParkControlsTest, LeavingTheParkAirportGivesBackTheUsersMaxLiveAndLocksFlushAndPercentage) {
  const std::vector<std::int32_t>& allowed = par_MAX_LIVE_SEL.allowedValues();
  for (const auto& [chosen, airportOverride] : {std::pair{50, 10}, {100, 100}, {25, 500}}) {
    const int index = static_cast<int>(std::find(allowed.begin(), allowed.end(), chosen) - allowed.begin());
    controls().setCurrentSelection(par_MAX_LIVE_SEL.controlId(), index);
    ASSERT_TRUE(handlers.onCommand(commandParam(par_MAX_LIVE_SEL.controlId(), kComboSelectionChanged)));
    par_MAX_LIVE_SEL.setValue(airportOverride);  // as the learned file sets it
    busyOff();  // the calculation ended: flush and percentage take input
    ASSERT_TRUE(enabled(button_FlushStatic));
    ASSERT_TRUE(enabled(par_parking_percentage));
    harness.session().parking().clearParkAirportTraffic();
    EXPECT_EQ(par_MAX_LIVE_SEL.value(), chosen) << airportOverride;
    EXPECT_EQ(controls().currentSelection(par_MAX_LIVE_SEL.controlId()), index) << airportOverride;
    EXPECT_FALSE(restoreUserMaxLive()) << "restored once";
    EXPECT_FALSE(enabled(button_FlushStatic));
    EXPECT_FALSE(enabled(par_parking_percentage));
  }
}

TEST_F(ParkControlsTest, TheUsersMaxLiveIsTheOneReadFromTheSettingsAtTheSessionStart) {
  harness.storeSettings({{"MAX_LIVE_SEL", "75"}});
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning());
  std::atomic<std::int32_t> afterLeaving{0};
  harness.session().postToWorker([this, &afterLeaving] {
    par_MAX_LIVE_SEL.setValue(10);  // an airport's override
    harness.session().parking().clearParkAirportTraffic();
    afterLeaving.store(par_MAX_LIVE_SEL.value());
  });
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return afterLeaving.load() != 0; }, std::chrono::seconds(5)));
  EXPECT_EQ(afterLeaving.load(), 75);
}

TEST_F(ParkControlsTest, AnAirportWhoseFileCannotBeReadLeavesFlushAndPercentageLocked) {
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning());
  ParkingSchedule& parking = harness.session().parking();
  std::atomic<int> outcome{0};  // 1 taken and closed again, 2 not taken
  harness.session().postToWorker([&parking, &outcome] {
    if (!parking.setParkAirport("EHAM")) {
      outcome.store(2);
      return;
    }
    parking.loadParkAirport(true);  // no airport file in the program's folders
    outcome.store(parking.parkAirport().icao.empty() && !parking.busy() ? 1 : 3);
  });
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return outcome.load() != 0; }, std::chrono::seconds(5)));
  ASSERT_EQ(outcome.load(), 1);
  EXPECT_FALSE(enabled(button_FlushStatic));
  EXPECT_FALSE(enabled(par_parking_percentage));
  EXPECT_TRUE(enabled(par_DESTINATION));
}

TEST_F(ParkControlsTest, AServedRereadFreesItsButtonAndTheDestinationBox) {
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning());
  ASSERT_TRUE(handlers.onCommand(commandParam(button_Reread.controlId(), platform::kButtonClicked)));
  EXPECT_FALSE(enabled(button_Reread));
  EXPECT_FALSE(enabled(par_DESTINATION));
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return !harness.session().rereadRequested.load(); },
                                      std::chrono::seconds(20)));
  EXPECT_TRUE(enabled(button_Reread));
  EXPECT_TRUE(enabled(par_DESTINATION));
}

TEST_F(ParkControlsTest, TheStaticAircraftsAverageParkedTimeIsPublishedWithTheirCountOnceASecond) {
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning());
  Session& session = harness.session();
  const DaySlot now = weekdayAndSlot();
  if (now.weekday == 1 && now.halfHour == 0) GTEST_SKIP() << "no half hour of the week before this one";
  session.postToWorker([&session, placed = now.previous()] {
    StaticAc parked;
    parked.state = SimState::active;
    parked.slot = placed.packed();
    session.engine().addStaticAc(std::move(parked));
  });
  // Half an hour parked shows without a calculation having run.
  EXPECT_TRUE(ProgramHarness::waitFor(
      [&] { return session.display().parkedStatic.load() == 1 && session.parking().averageStaticParkedHours() >= 0.5F; },
      std::chrono::seconds(5)))
      << session.parking().averageStaticParkedHours();
}

}  // namespace
}  // namespace crv::testing
