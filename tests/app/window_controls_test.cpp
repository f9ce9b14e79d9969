// The main window's controls on the headless model: the table, what each
// handler changes and saves, and the edit boxes' refusals.

#include <gtest/gtest.h>

#include <set>

#include <pugixml.hpp>

#include "aircraftdata/livery_database.h"
#include "airports/airports_database.h"
#include "airports/park_airport_state.h"
#include "airports/park_airports.h"
#include "app/control_handlers.h"
#include "app/exit_reason.h"
#include "app/window_controls.h"
#include "foundation/parameters_file.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "liveryscan/liveries_scanned_xml.h"
#include "platform/window/control_model.h"
#include "simlink/sim_ids.h"
#include "tests/app/program_harness.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

using platform::ControlKind;

platform::ControlModel& controls() { return platform::mainWindowControls(); }

std::string typedInto(std::uint16_t id, const std::u16string& text) {
  controls().setText(id, text);
  return {};
}

class WindowControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { clearErrorLine(); clearStatusLine(); }
  void enter(std::uint16_t id, const std::u16string& text) {
    typedInto(id, text);
    handlers.onCommand(commandParam(id, kEditEnterPressed));
  }
  bool storedBool(BoolParameter& setting) {
    pugi::xml_document document;
    EXPECT_TRUE(loadParametersDocument(document));
    BoolParameter copy(setting.name(), !setting.value());
    readBoolParameter(copy, document);
    return copy.value();
  }
  std::int32_t storedInt(const IntParameter& setting) {
    pugi::xml_document document;
    EXPECT_TRUE(loadParametersDocument(document));
    IntParameter copy(setting.name(), -12345, INT32_MIN, INT32_MAX);
    readIntParameter(copy, document, false);
    return copy.value();
  }
  ProgramHarness harness;
  ControlHandlers handlers{harness.session()};
};

TEST_F(WindowControlsTest, FortySevenControlsWithTheirKindsPlacesAndUniqueIds) {
  const auto ids = controls().controlIds();
  ASSERT_EQ(ids.size(), 47U);
  EXPECT_EQ(std::set<std::uint16_t>(ids.begin(), ids.end()).size(), 47U);
  int counts[4] = {};
  for (const ControlSpec& controlEntry : mainWindowControlTable()) {
    const auto state = controls().control(controlEntry.setting->controlId());
    ASSERT_TRUE(state);
    EXPECT_EQ(state->kind, controlEntry.kind);
    ++counts[static_cast<int>(controlEntry.kind)];
    const int row = static_cast<int>(controlEntry.setting->row());
    EXPECT_TRUE(row == 257 || row == 341 || row == 369 || (row - 119) % 28 == 0) << controlEntry.setting->controlId();
  }
  EXPECT_EQ(counts[static_cast<int>(ControlKind::CheckBox)], 26);
  EXPECT_EQ(counts[static_cast<int>(ControlKind::EditBox)], 9);
  EXPECT_EQ(counts[static_cast<int>(ControlKind::ComboBox)], 9);
  EXPECT_EQ(counts[static_cast<int>(ControlKind::PushButton)], 3);
  // Spot checks of the table against the layout.
  struct Place { std::uint16_t id; int x, y, w, h; };
  for (const Place& place : {Place{32790, 5, 114, 105, 20}, Place{32788, 111, 119, 1200, 16},
                             Place{32797, 5, 149, 12, 12}, Place{32829, 323, 257, 70, 20},
                             Place{32855, 566, 371, 34, 16}, Place{32858, 758, 369, 90, 20}}) {
    const platform::ControlRect rect = controls().control(place.id)->rect;
    EXPECT_EQ(rect.x, place.x) << place.id;
    EXPECT_EQ(rect.y, place.y) << place.id;
    EXPECT_EQ(rect.width, place.w) << place.id;
    EXPECT_EQ(rect.height, place.h) << place.id;
  }
  EXPECT_EQ(controls().text(button_FlushStatic.controlId()), u"Flush static");
}

TEST_F(WindowControlsTest, EveryCheckBoxTogglesItsSettingAndSavesIt) {
  for (const ControlSpec& controlEntry : mainWindowControlTable()) {
    if (controlEntry.kind != ControlKind::CheckBox) continue;
    auto* setting = const_cast<BoolControlParameter*>(dynamic_cast<const BoolControlParameter*>(controlEntry.setting));
    if (setting == &par_SCAN_LIVERIES || setting == &par_SCAN_AIRPORTS) continue;  // they restart the session
    const std::uint16_t id = setting->controlId();
    const bool before = setting->value();
    ASSERT_TRUE(handlers.onCommand(commandParam(id, 0))) << setting->name();
    EXPECT_EQ(setting->value(), !before) << setting->name();
    EXPECT_EQ(controls().isChecked(id), !before) << setting->name();
    EXPECT_EQ(storedBool(*setting), !before) << setting->name();
    handlers.onCommand(commandParam(id, 0));
    EXPECT_EQ(setting->value(), before) << setting->name();
  }
}

TEST_F(WindowControlsTest, EveryIntegerListTakesTheChosenEntryAndSavesIt) {
  for (const ControlSpec& controlEntry : mainWindowControlTable()) {
    auto* list = const_cast<IntListParameter*>(dynamic_cast<const IntListParameter*>(controlEntry.setting));
    if (list == nullptr) continue;
    const std::uint16_t id = list->controlId();
    ASSERT_EQ(controls().items(id).size(), list->allowedValues().size()) << list->name();
    const int last = static_cast<int>(list->allowedValues().size()) - 1;
    controls().setCurrentSelection(id, last);
    ASSERT_TRUE(handlers.onCommand(commandParam(id, kComboSelectionChanged))) << list->name();
    EXPECT_EQ(list->value(), list->allowedValues().back()) << list->name();
    EXPECT_EQ(storedInt(*list), list->allowedValues().back()) << list->name();
  }
}

TEST_F(WindowControlsTest, IntegerBoxesRefuseWhatTheyCannotTakeAndKeepTheOldValue) {
  const std::uint16_t id = par_TIME_SHIFT_HOURS.controlId();
  enter(id, u"5");
  EXPECT_EQ(par_TIME_SHIFT_HOURS.value(), 5);
  EXPECT_EQ(storedInt(par_TIME_SHIFT_HOURS), 5);
  struct Case { std::u16string typed; std::string status; };
  for (const Case& c : {Case{u"abc", "invalid input: abc"}, Case{u"5x", "invalid input: 5x"},
                        Case{u"99999999999999999999", "invalid input: 99999999999999999999"},
                        Case{u"5", "Same TIME_SHIFT_HOURS value 5, no changes made"}}) {
    enter(id, c.typed);
    EXPECT_EQ(par_TIME_SHIFT_HOURS.value(), 5);
    EXPECT_EQ(statusLineText(), c.status);
    EXPECT_EQ(controls().text(id), u"5");
  }
  EXPECT_EQ(storedInt(par_TIME_SHIFT_HOURS), 5);
  enter(par_TIME_SHIFT_DAYS.controlId(), u"30");  // cut to four weeks
  EXPECT_EQ(par_TIME_SHIFT_DAYS.value() * 1440 + par_TIME_SHIFT_HOURS.value() * 60 + par_TIME_SHIFT_MINS.value(),
            kMaxTimeShiftMinutes);
  EXPECT_TRUE(harness.session().trafficRereadRequest.load());
}

TEST_F(WindowControlsTest, MaxFitLandsOnHalfHours) {
  setParkAirportActive(true);
  struct Case { std::u16string typed; float hours; std::int32_t slots; };
  for (const Case& c : {Case{u"3.5", 3.5F, 6}, Case{u"3.3", 3.5F, 6}, Case{u"30", 24.0F, 47}, Case{u"0.2", 0.5F, 0}}) {
    par_MAX_FIT_FL.setValue(1.0F);
    enter(par_MAX_FIT_FL.controlId(), c.typed);
    EXPECT_FLOAT_EQ(par_MAX_FIT_FL.value(), c.hours);
    EXPECT_EQ(par_MAX_FIT.value(), c.slots);
    EXPECT_EQ(storedInt(par_MAX_FIT), c.slots);
  }
  enter(par_MAX_FIT_FL.controlId(), u"nan");
  EXPECT_FLOAT_EQ(par_MAX_FIT_FL.value(), 0.5F);
  setParkAirportActive(false);
}

TEST_F(WindowControlsTest, BlockBoxChecksStoresAndUnblocks) {
  const std::uint16_t id = par_BLOCK_CALLSIGN.controlId();
  enter(id, u"ab");
  EXPECT_EQ(statusLineText(), "callsign 'ab' is not valid");
  EXPECT_TRUE(par_BLOCK_CALLSIGN.isEmpty());
  enter(id, u"klm1234");
  EXPECT_EQ(par_BLOCK_CALLSIGN.value(), "KLM1234");
  EXPECT_TRUE(harness.session().blockRequest.load());
  EXPECT_EQ(controls().isEnabled(button_Unblock.controlId()), true);
  enter(id, u"KLM1234");
  EXPECT_EQ(statusLineText(), "callsign 'KLM1234' was already set ...");
  handlers.onCommand(commandParam(button_Unblock.controlId(), 0));
  EXPECT_TRUE(par_BLOCK_CALLSIGN.isEmpty());
  EXPECT_EQ(statusLineText(), "no more blocking of live aircraft 'KLM1234'");
  handlers.onCommand(commandParam(button_Unblock.controlId(), 0));
  EXPECT_EQ(statusLineText(), "Nothing to block or unblock...");
}

TEST_F(WindowControlsTest, ObjectIdBoxUpperCasesAndAsksTheWorker) {
  enter(par_CALLSIGN_2_OBJECTID.controlId(), u"dlh4a");
  EXPECT_EQ(par_CALLSIGN_2_OBJECTID.value(), "DLH4A");
  EXPECT_TRUE(harness.session().objectIdLookupRequest.exchange(false));
  enter(par_CALLSIGN_2_OBJECTID.controlId(), u"");
  EXPECT_TRUE(par_CALLSIGN_2_OBJECTID.isEmpty());
  EXPECT_FALSE(harness.session().objectIdLookupRequest.load());
}

TEST_F(WindowControlsTest, TimeShiftControlsSwitchBothWaysAndParkTrafficOnlyEmptiesTheParkingBoxes) {
  enableTimeShiftControls(false);
  EXPECT_FALSE(timeShiftControlsActive());
  EXPECT_EQ(controls().isEnabled(par_SIM_TIME.controlId()), false);
  enableTimeShiftControls(true);
  EXPECT_TRUE(timeShiftControlsActive());
  EXPECT_EQ(controls().isEnabled(par_TIME_SHIFT_MINS.controlId()), true);

  par_RT_PARKTRAFFIC_ONLY.setValue(false);
  controls().setChecked(par_RT_PARKTRAFFIC_ONLY.controlId(), false);
  handlers.onCommand(commandParam(par_RT_PARKTRAFFIC_ONLY.controlId(), 0));
  EXPECT_EQ(controls().text(par_parking_percentage.controlId()), u"");
  EXPECT_EQ(controls().isEnabled(par_MAX_FIT_FL.controlId()), false);
  handlers.onCommand(commandParam(par_RT_PARKTRAFFIC_ONLY.controlId(), 0));
  EXPECT_EQ(controls().isEnabled(par_MAX_FIT_FL.controlId()), true);
  EXPECT_NE(controls().text(par_parking_percentage.controlId()), u"");
}

TEST_F(WindowControlsTest, DestinationMustBeAnAirportOfTheDatabaseAndLeadsTheParkAirports) {
  ASSERT_TRUE(readAirports("airports_msfs.xml"));
  par_DESTINATION.setValue("");
  const std::uint16_t id = par_DESTINATION.controlId();
  struct Case { std::u16string typed; std::string status; std::string stored; };
  for (const Case& c : {Case{u"eha", "destination 'eha' is not valid", ""},
                        Case{u"zzzz", "destination 'ZZZZ' is unknown ...", ""},
                        Case{u"eham", "New destination: EHAM", "EHAM"},
                        Case{u"EHAM", "destination 'EHAM' was already set ...", "EHAM"}}) {
    enter(id, c.typed);
    EXPECT_EQ(statusLineText(), c.status);
    EXPECT_EQ(par_DESTINATION.value(), c.stored);
    EXPECT_EQ(controls().text(id), std::u16string(c.stored.begin(), c.stored.end()));
  }
  EXPECT_EQ(controls().isEnabled(button_Reread.controlId()), false);
  parkAirportList().applyRequests();  // the worker's part
  ASSERT_FALSE(parkAirportList().entries().empty());
  EXPECT_EQ(parkAirportList().entries().front().icao, "EHAM");
  enter(id, u"");
  EXPECT_EQ(statusLineText(), "destination set to empty");
  EXPECT_EQ(controls().isEnabled(button_Reread.controlId()), true);
}

TEST_F(WindowControlsTest, ParkingOptionsAskForACalculationOnlyWhileAParkAirportIsLoaded) {
  par_INITIAL_LOAD_ONLY.setValue(false);
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
  // Max fit takes a value only while parking runs; otherwise the box shows the one in effect.
  par_MAX_FIT_FL.setValue(2.0F);
  setParkAirportActive(false);
  enter(par_MAX_FIT_FL.controlId(), u"5");
  EXPECT_FLOAT_EQ(par_MAX_FIT_FL.value(), 2.0F);
  EXPECT_EQ(controls().text(par_MAX_FIT_FL.controlId()), u"2");
  setParkAirportActive(true);
  enter(par_MAX_FIT_FL.controlId(), u"5");
  EXPECT_FLOAT_EQ(par_MAX_FIT_FL.value(), 5.0F);
  EXPECT_TRUE(session.trafficRereadRequest.load());
  setParkAirportActive(false);
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
  setParkAirportActive(false);
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
  StaticAc parked;
  parked.base.key = 7;
  parked.objectId = 601;
  parked.state = SimState::active;
  engine.addStaticAc(parked);
  parked.base.key = 8;
  parked.objectId = 0;
  parked.state = SimState::adding2sim;
  engine.addStaticAc(parked);

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
  par_SIM_TIME.setValue(false);
  controls().setChecked(par_SIM_TIME.controlId(), false);
  handlers.onCommand(commandParam(par_SIM_TIME.controlId(), 0));  // on
  EXPECT_EQ(controls().isEnabled(par_TIME_SHIFT_HOURS.controlId()), false);
  enter(par_TIME_SHIFT_HOURS.controlId(), u"3");
  handlers.onCommand(commandParam(par_SIM_TIME.controlId(), 0));  // off: no shift
  EXPECT_EQ(controls().isEnabled(par_TIME_SHIFT_HOURS.controlId()), true);
  EXPECT_EQ(par_TIME_SHIFT_HOURS.value(), 0);
  EXPECT_EQ(statusLineText(), "Time shift = 0");

  platform::WindowModel window("CRVN", 0, 0, 880, 516);
  setControlsWindow(&window);
  for (const bool on : {true, false}) {
    par_ALWAYS_ON_TOP.setValue(!on);
    controls().setChecked(par_ALWAYS_ON_TOP.controlId(), !on);
    handlers.onCommand(commandParam(par_ALWAYS_ON_TOP.controlId(), 0));
    EXPECT_EQ(window.topmost(), on);
  }
  setControlsWindow(nullptr);
}

TEST_F(WindowControlsTest, ALiveryScanAskedBeforeTheSimulatorConnectsClearsTheLiveriesAndRestarts) {
  par_SCAN_LIVERIES.setValue(false);
  controls().setChecked(par_SCAN_LIVERIES.controlId(), false);
  handlers.onCommand(commandParam(par_SCAN_LIVERIES.controlId(), 0));
  EXPECT_FALSE(liveriesProcessed());
  EXPECT_TRUE(liveryDatabase().clearRequested());
  EXPECT_EQ(sessionEnd().reason(), ExitReason::newSettings);
  EXPECT_EQ(sessionEnd().restartDelaySeconds(), 2);
  liveryDatabase().applyRequestedClear();
  par_SCAN_LIVERIES.setValue(false);
}

}  // namespace
}  // namespace crv::testing
