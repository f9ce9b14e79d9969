// The main window's controls on the headless model: what each handler
// changes and saves, and the edit boxes' refusals.

#include <gtest/gtest.h>

#include "aircraftdata/livery_database.h"
#include "airports/airports_database.h"
#include "airports/park_airport_state.h"
#include "airports/park_airports.h"
#include "app/control_handlers.h"
#include "app/exit_reason.h"
#include "app/window_controls.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "liveryscan/liveries_scanned_xml.h"
#include "platform/window/control_model.h"
#include "simlink/sim_ids.h"
#include "tests/app/program_harness.h"
#include "tests/app/window_user.h"
#include "tests/support/settings_fixture.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

using platform::ControlKind;

platform::ControlModel& controls() { return platform::mainWindowControls(); }

// The value parameters.xml holds for the setting.
std::string stored(const Parameter& setting) { return storedValue(parametersFilePath(), setting.name()); }

class WindowControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clearErrorLine();
    clearStatusLine();
    fillDropDownLists();
  }
  void TearDown() override { setParkAirportActive(false); }
  void enter(std::uint16_t id, const std::u16string& text) {
    controls().setText(id, text);
    handlers.onCommand(commandParam(id, kEditEnterPressed));
  }
  void click(const ParameterControl& control) { handlers.onCommand(commandParam(control.controlId(), 0)); }
  ProgramHarness harness;
  ControlHandlers handlers{harness.session()};
};

TEST_F(WindowControlsTest, EveryCheckBoxTogglesItsSettingAndSavesIt) {
  for (const ControlSpec& controlEntry : mainWindowControlTable()) {
    if (controlEntry.kind != ControlKind::CheckBox) continue;
    const auto* setting = dynamic_cast<const BoolControlParameter*>(controlEntry.setting);
    if (setting == &par_SCAN_LIVERIES || setting == &par_SCAN_AIRPORTS) continue;  // they restart the session
    const bool before = setting->value();
    click(*setting);
    EXPECT_EQ(setting->value(), !before) << setting->name();
    EXPECT_EQ(controls().isChecked(setting->controlId()), !before) << setting->name();
    EXPECT_EQ(stored(*setting), before ? "false" : "true") << setting->name();
    click(*setting);
    EXPECT_EQ(setting->value(), before) << setting->name();
  }
}

TEST_F(WindowControlsTest, EveryIntegerListTakesTheChosenEntryAndSavesIt) {
  for (const ControlSpec& controlEntry : mainWindowControlTable()) {
    const auto* list = dynamic_cast<const IntListParameter*>(controlEntry.setting);
    if (list == nullptr) continue;
    const std::uint16_t id = list->controlId();
    ASSERT_EQ(controls().items(id).size(), list->allowedValues().size()) << list->name();
    controls().setCurrentSelection(id, static_cast<int>(list->allowedValues().size()) - 1);
    ASSERT_TRUE(handlers.onCommand(commandParam(id, kComboSelectionChanged))) << list->name();
    EXPECT_EQ(list->value(), list->allowedValues().back()) << list->name();
    EXPECT_EQ(stored(*list), std::to_string(list->allowedValues().back())) << list->name();
  }
}

// The time shift, Block, Oid and destination boxes.
TEST_F(WindowControlsTest, EditBoxesRefuseWhatTheyCannotTakeAndPassOnWhatTheyTake) {
  ASSERT_TRUE(readAirports("airports_msfs.xml"));
  struct Case { const ParameterControl* box; std::u16string typed; std::string status; std::u16string shown; };
  const Case cases[] = {
      {&par_TIME_SHIFT_HOURS, u"5", "Time shifted 300 minutes", u"5"},
      {&par_TIME_SHIFT_HOURS, u"abc", "invalid input: abc", u"5"},
      {&par_TIME_SHIFT_HOURS, u"5x", "invalid input: 5x", u"5"},
      {&par_TIME_SHIFT_HOURS, u"99999999999999999999", "invalid input: 99999999999999999999", u"5"},
      {&par_TIME_SHIFT_HOURS, u"3000000000", "invalid input: 3000000000", u"5"},  // beyond a 32-bit integer
      {&par_TIME_SHIFT_HOURS, u"5", "Same TIME_SHIFT_HOURS value 5, no changes made", u"5"},
      {&par_BLOCK_CALLSIGN, u"ab", "callsign 'ab' is not valid", u""},
      {&par_BLOCK_CALLSIGN, u"ÅBC", "callsign 'ÅBC' is not valid", u""},  // characters, not bytes
      {&par_BLOCK_CALLSIGN, u"klm1234", "live aircraft with callsign 'KLM1234' will be blocked", u"KLM1234"},
      {&par_BLOCK_CALLSIGN, u"KLM1234", "callsign 'KLM1234' was already set ...", u"KLM1234"},
      // The Oid box takes any text and leaves the answer to the lookup.
      {&par_CALLSIGN_2_OBJECTID, u"dlh4a1234", "", u"DLH4A1234"},
      {&par_DESTINATION, u"eha", "destination 'eha' is not valid", u""},
      {&par_DESTINATION, u"ÅBC", "destination 'ÅBC' is not valid", u""},
      {&par_DESTINATION, u"zzzz", "destination 'ZZZZ' is unknown ...", u""},
      {&par_DESTINATION, u"eham", "New destination: EHAM", u"EHAM"},
      {&par_DESTINATION, u"EHAM", "destination 'EHAM' was already set ...", u"EHAM"},
  };
  for (const Case& c : cases) {
    enter(c.box->controlId(), c.typed);
    EXPECT_EQ(statusLineText(), c.status);
    EXPECT_TRUE(controls().text(c.box->controlId()) == c.shown) << c.status;
  }
  EXPECT_EQ(stored(par_TIME_SHIFT_HOURS), "5");
  EXPECT_EQ(stored(par_BLOCK_CALLSIGN), "KLM1234");
  EXPECT_EQ(stored(par_DESTINATION), "EHAM");
  enter(par_TIME_SHIFT_DAYS.controlId(), u"30");  // cut to four weeks
  EXPECT_EQ(par_TIME_SHIFT_DAYS.value() * 1440 + par_TIME_SHIFT_HOURS.value() * 60 + par_TIME_SHIFT_MINS.value(),
            kMaxTimeShiftMinutes);
  EXPECT_TRUE(harness.session().trafficRereadRequest.load());

  EXPECT_TRUE(harness.session().blockRequest.load());
  EXPECT_EQ(controls().isEnabled(button_Unblock.controlId()), true);
  click(button_Unblock);
  EXPECT_TRUE(par_BLOCK_CALLSIGN.isEmpty());
  EXPECT_EQ(statusLineText(), "no more blocking of live aircraft 'KLM1234'");
  click(button_Unblock);
  EXPECT_EQ(statusLineText(), "Nothing to block or unblock...");

  // The destination leads the park airports; the worker applies the move.
  EXPECT_EQ(controls().isEnabled(button_Reread.controlId()), false);
  parkAirportList().applyRequests();
  ASSERT_FALSE(parkAirportList().entries().empty());
  EXPECT_EQ(parkAirportList().entries().front().icao, "EHAM");
  enter(par_DESTINATION.controlId(), u"");
  EXPECT_EQ(statusLineText(), "destination set to empty");
  EXPECT_EQ(controls().isEnabled(button_Reread.controlId()), true);
}

TEST_F(WindowControlsTest, TheOidBoxAsksTheWorkerForAnUpperCasedCallsignAndEmptyAsksNothing) {
  enter(par_CALLSIGN_2_OBJECTID.controlId(), u"dlh4a");
  EXPECT_EQ(par_CALLSIGN_2_OBJECTID.value(), "DLH4A");
  EXPECT_TRUE(harness.session().objectIdLookupRequest.exchange(false));
  enter(par_CALLSIGN_2_OBJECTID.controlId(), u"");
  EXPECT_TRUE(par_CALLSIGN_2_OBJECTID.isEmpty());
  EXPECT_FALSE(harness.session().objectIdLookupRequest.load());
}

TEST_F(WindowControlsTest, MaxFitTakesAValueOnlyWhileParkingRunsAndLandsOnHalfHours) {
  par_MAX_FIT_FL.setValue(2.0F);
  setStatusLine("an earlier notice", false);
  enter(par_MAX_FIT_FL.controlId(), u"5");
  EXPECT_FLOAT_EQ(par_MAX_FIT_FL.value(), 2.0F);
  EXPECT_EQ(statusLineText(), "");
  EXPECT_EQ(controls().text(par_MAX_FIT_FL.controlId()), u"5") << "Enter only clears the status line";

  setParkAirportActive(true);
  struct Case { std::u16string typed; float hours; std::int32_t slots; };
  for (const Case& c : {Case{u"3.5", 3.5F, 6}, Case{u"3.3", 3.5F, 6}, Case{u"30", 24.0F, 47}, Case{u"inf", 24.0F, 47},
                       Case{u"0.2", 0.5F, 0}}) {
    par_MAX_FIT_FL.setValue(1.0F);
    enter(par_MAX_FIT_FL.controlId(), c.typed);
    EXPECT_FLOAT_EQ(par_MAX_FIT_FL.value(), c.hours);
    EXPECT_EQ(par_MAX_FIT.value(), c.slots);
    EXPECT_EQ(stored(par_MAX_FIT), std::to_string(c.slots));
  }
  EXPECT_TRUE(harness.session().trafficRereadRequest.load());
  enter(par_MAX_FIT_FL.controlId(), u"nan");
  EXPECT_FLOAT_EQ(par_MAX_FIT_FL.value(), 0.5F);
}

TEST_F(WindowControlsTest, ParkingOptionsAskForACalculationOnlyWhileAParkAirportIsLoaded) {
  Session& session = harness.session();
  struct Case { const ParameterControl* control; bool announces; };
  const Case cases[] = {{&par_PARK_SOFT, true},  {&par_PARK_FAKE, true},    {&par_WEEK, true},
                        {&par_MAX_PARK_SEL, true}, {&par_LEARN_SOFT, false}, {&par_MAX_LIVE_SEL, false}};
  for (const bool loaded : {false, true}) {
    setParkAirportActive(loaded);
    for (const Case& c : cases) {
      clearStatusLine();
      session.recalcRequest.store(false);
      session.trafficRereadRequest.store(false);
      const std::uint16_t id = c.control->controlId();
      const bool combo = controls().control(id)->kind == ControlKind::ComboBox;
      if (combo) controls().setCurrentSelection(id, 0);
      handlers.onCommand(commandParam(id, combo ? kComboSelectionChanged : platform::kButtonClicked));
      EXPECT_EQ(session.recalcRequest.load(), loaded) << id;
      EXPECT_EQ(session.trafficRereadRequest.load(), loaded && c.announces) << id;
      EXPECT_EQ(statusLineText(), loaded && c.announces ? "CRVN will respond in 15 seconds ..." : "") << id;
    }
  }
  // Park traffic only empties the parking boxes and locks them, and back.
  click(par_RT_PARKTRAFFIC_ONLY);
  EXPECT_EQ(controls().text(par_parking_percentage.controlId()), u"");
  EXPECT_EQ(controls().isEnabled(par_MAX_FIT_FL.controlId()), false);
  click(par_RT_PARKTRAFFIC_ONLY);
  EXPECT_EQ(controls().isEnabled(par_MAX_FIT_FL.controlId()), true);
  EXPECT_NE(controls().text(par_parking_percentage.controlId()), u"");
}

TEST_F(WindowControlsTest, TheWorkerTurnsARecalculationRequestIntoAParkingAdjustment) {
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning());
  Session& session = harness.session();
  setParkAirportActive(true);
  session.recalcRequest.store(true);
  EXPECT_TRUE(ProgramHarness::waitFor(
      [&] { return !session.recalcRequest.load() && session.parking().adjustmentRequested(); },
      std::chrono::seconds(5)));
}

TEST(ResponseDelayTest, SecondsToTheNextFifteenSecondRound) {
  for (const auto& [counter, seconds] : {std::pair{0, 15}, {1, 14}, {14, 1}, {15, 15}, {29, 1}, {86399, 1}}) {
    EXPECT_EQ(secondsToNextRound(counter), seconds) << counter;
  }
}

TEST_F(WindowControlsTest, NavLightsReachEveryParkedAircraftInTheSimulatorAndTimeShiftDropsWaitingCreates) {
  TrafficEngine& engine = harness.session().engine();
  struct Live { std::uint32_t key, objectId; SimState state; FlightPhase phase; };
  for (const Live& l : {Live{11001, 501, SimState::active, FlightPhase::parked},
                        Live{11002, 502, SimState::active, FlightPhase::taxi},
                        Live{11003, 0, SimState::adding2sim, FlightPhase::parked}}) {
    LiveAc aircraft;
    aircraft.base.key = l.key;
    aircraft.objectId = l.objectId;
    aircraft.state = l.state;
    aircraft.phase = l.phase;
    EngineTestAccess::addLive(engine, std::move(aircraft));
  }
  for (const auto& [objectId, state] : {std::pair{601U, SimState::active}, {0U, SimState::adding2sim}}) {
    StaticAc parked;
    parked.base.key = 600 + objectId;
    parked.objectId = objectId;
    parked.state = state;
    engine.addStaticAc(parked);
  }

  EXPECT_EQ(queueParkedNavLights(engine, false), 2U);
  const std::uint32_t navLights = toId(ClientEventId::NavLightsSet);
  EXPECT_EQ(harness.session().queues().takeFrame().clientEvents,
            (std::vector<ClientEventRecord>{{601, navLights, 0}, {501, navLights, 0}}));

  CreateRequest waiting;
  waiting.key = 11003;
  EngineTestAccess::queueLiveCreate(engine, waiting);
  harness.session().removeAllTraffic();
  EXPECT_TRUE(engine.liveCreateQueue().empty());
  EXPECT_TRUE(engine.findLiveByKey(11003)->createCancelled);
  EXPECT_EQ(engine.findLiveByKey(11001)->state, SimState::removingfromsim);
}

TEST_F(WindowControlsTest, SimTimeLocksTheTimeShiftBoxesAndStayOnTopReachesTheWindow) {
  click(par_SIM_TIME);  // on
  EXPECT_EQ(controls().isEnabled(par_TIME_SHIFT_HOURS.controlId()), false);
  enter(par_TIME_SHIFT_HOURS.controlId(), u"3");
  click(par_SIM_TIME);  // off: no shift
  EXPECT_EQ(controls().isEnabled(par_TIME_SHIFT_HOURS.controlId()), true);
  EXPECT_EQ(par_TIME_SHIFT_HOURS.value(), 0);
  EXPECT_EQ(statusLineText(), "Time shift = 0");

  platform::WindowModel window("CRVN", 0, 0, 880, 516);
  setControlsWindow(&window);
  for (const bool on : {true, false}) {
    click(par_ALWAYS_ON_TOP);
    EXPECT_EQ(window.topmost(), on);
  }
  setControlsWindow(nullptr);
}

TEST_F(WindowControlsTest, ALiveryScanAskedBeforeTheSimulatorConnectsClearsTheLiveriesAndRestarts) {
  par_SCAN_LIVERIES.setValue(false);
  controls().setChecked(par_SCAN_LIVERIES.controlId(), false);
  click(par_SCAN_LIVERIES);
  EXPECT_FALSE(liveriesProcessed());
  EXPECT_TRUE(liveryDatabase().clearRequested());
  EXPECT_EQ(sessionEnd().reason(), ExitReason::newSettings);
  EXPECT_EQ(sessionEnd().restartDelaySeconds(), 2);
  liveryDatabase().applyRequestedClear();
}

}  // namespace
}  // namespace crv::testing
