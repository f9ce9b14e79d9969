#include "traffic/statics/parking_schedule.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <stdexcept>

#include "airports/park_airport_panel.h"
#include "airports/park_airport_state.h"
#include "airports/park_airports.h"
#include "airports/stand_names.h"
#include "feed/traffic_reader.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "tests/feed/feed_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/settings_fixture.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/stand_grid.h"
#include "traffic/live/live_rules.h"
#include "traffic/statics/static_parking.h"

namespace crv::testing {
namespace {

// An airport "EDDF" at the stand grid with a park-airport list; the file
// reading fills the grid's usage, the save records what it was given.
class ParkingScheduleTest : public ::testing::Test {
 protected:
  ParkingScheduleTest() {
    EngineHarness::installTestAircraftTypes();
    par_parking_percentage.setValue(50);
    par_RT_PARKTRAFFIC_ONLY.setValue(false);
    par_MAX_FIT.setValue(0);
    statics.seedRandom(3);
    user.latitude = airport.lat;
    user.longitude = airport.lon;
    user.altitudeFeet = airport.alt;
  }
  ~ParkingScheduleTest() override {
    resetAllSettings();
    setParkAirportActive(false);
    resetStandUpdates();
  }

  StaticParkingServices staticServices() {
    StaticParkingServices s;
    s.matchLivery = [](AircraftBase& base, const ParkingPosition&) {
      base.liveryTitle = "Livery";
      return true;
    };
    s.currentSlot = [this] { return now; };
    s.requestParkedTraffic = [this]() -> std::vector<ParkedTrafficRecord>* {
      if (parkedTrafficThrows) throw std::runtime_error("parked traffic broke");
      return nullptr;
    };
    return s;
  }
  ParkingScheduleServices scheduleServices() {
    ParkingScheduleServices s;
    s.userAircraft = [this] { return user; };
    s.userOnGround = [this] { return onGround; };
    s.closestAirport = [this](const GeoPoint&) { return std::optional<AirportRecord>(airport); };
    s.airportByIcao = [this](std::string_view icao) {
      return icao == airport.code ? std::optional<AirportRecord>(airport) : std::nullopt;
    };
    s.airportFileExists = [](std::string_view) { return true; };
    s.readParkedFile = [this](const ParkedFileRequest& request) {
      filesRead.push_back(request.icao);
      for (ParkingPosition& stand : stands) {
        stand.usage = {dlhUsage(1, now.weekday, {now.halfHour}, "DLH" + stand.name, "D-A" + stand.name)};
      }
      setParkAirportActive(true);
      publishStandNames(stands);
      return ParkedFileResult{readMessage, reservedInFile, fileAltitudeFeet};
    };
    s.saveLearnedFile = [this](std::string_view icao, StandTable& saved) {
      savedIcao = icao;
      savedStands = saved;
      ++saves;
      return saveSucceeds;
    };
    s.setReaderParkElevation = [this](std::optional<double> feet) { readerElevations.push_back(feet); };
    s.startCollectingLive = [this] { ++collectingStarts; };
    s.showBusy = [this](bool busy) { busyShown = busy; };
    s.adjustParking = [this](bool full) {
      adjustments.push_back(full);
      if (adjustmentThrows) throw std::runtime_error("adjustment broke");
      setStatusLine("Parking adjustments: 1 to be removed, 0 to be added");
    };
    s.rereadParkAirports = [this](ParkAirportList&) { return rereadResult; };
    s.currentSlot = [this] { return now; };
    return s;
  }

  bool rereadResult = true;
  DaySlot now{2, 20};
  AirportRecord airport{"EDDF", "FRA", kApronOrigin.latitude, kApronOrigin.longitude, 364.0};
  UserAcData user;
  bool onGround = true;
  std::string readMessage;
  std::string reservedInFile;  // the user's stand the file reading reports
  double fileAltitudeFeet = 371.0;  // the airport file's altitude
  bool parkedTrafficThrows = false;
  bool adjustmentThrows = false;
  std::vector<std::string> filesRead;
  std::string savedIcao;
  StandTable savedStands;
  int saves = 0;
  bool saveSucceeds = true;
  std::vector<std::optional<double>> readerElevations;
  int collectingStarts = 0;
  bool busyShown = false;
  std::vector<bool> adjustments;

  StandTable stands = standGrid(2, 6, 80.0, 20.0);
  EngineHarness harness{{}, &stands};
  LiveRules rules{harness.engine, {}};
  StaticParking statics{harness.engine, staticServices()};
  ParkAirportList list;
  ParkingSchedule schedule{harness.engine, statics, rules, &list, scheduleServices()};
};

TEST_F(ParkingScheduleTest, UnknownUserPositionNeverSelectsAnAirport) {
  user.latitude = 0.00005;
  user.longitude = -0.00005;
  schedule.onMainLoopStart();
  EXPECT_TRUE(schedule.parkAirport().icao.empty());
  EXPECT_TRUE(filesRead.empty());
}

TEST_F(ParkingScheduleTest, OnTheGroundTheAirportIsLoadedCalculatedAndSavedWhenLeft) {
  LogCapture log;
  rules.avgLiveParkedWait(true);  // no parked aircraft: 0 hours
  ASSERT_EQ(rules.averageLiveParkedHours(), 0.0);
  schedule.onMainLoopStart();
  EXPECT_EQ(schedule.parkAirport().icao, "EDDF");
  // The database's elevation until the airport file gives its own.
  EXPECT_EQ(readerElevations, (std::vector<std::optional<double>>{364.0, 371.0}));
  EXPECT_EQ(harness.engine.parkElevationFeet(), 371.0);
  EXPECT_EQ(schedule.parkAirport().elevationFeet, 371.0);
  // The full calculation tells the time it calculates for and starts both
  // averages of parked time afresh.
  EXPECT_TRUE(log.contains("(utc) It is day 2 (Tue), 10.5 hours")) << log.text();
  EXPECT_EQ(rules.averageLiveParkedHours(), -1.0);
  EXPECT_EQ(schedule.averageStaticParkedHours(), -1.0F);
  EXPECT_EQ(schedule.parkAirportPositionForReader()->latitude, airport.lat);
  EXPECT_EQ(filesRead, std::vector<std::string>{"EDDF"});
  EXPECT_EQ(statics.pendingStatics().size(), 6u);  // half of the twelve stands
  EXPECT_TRUE(schedule.busy());
  EXPECT_TRUE(schedule.staticParkingCalculated());

  statics.pendingStatics().pop_back();
  schedule.onSecond(16);
  EXPECT_TRUE(schedule.busy()) << "placements are still going on";
  statics.pendingStatics().clear();
  schedule.onSecond(32);
  EXPECT_FALSE(schedule.busy());
  EXPECT_FALSE(busyShown);

  // Leaving saves the usage with its exclusions restored and ends it all,
  // statics still being created too.
  const GeoPoint onA1 = stands[0].position();
  ASSERT_EQ(standNameAtPosition(onA1, true), "A1");
  StaticAc& creating = harness.placeStatic(13, "DLH3*", SimState::adding2sim);
  stands[0].usage[0].excludedForNow = true;
  stands[1].usage[0].id = 0;
  countStandUpdate();
  onGround = false;
  user.altitudeFeet = 30000.0;  // out of sight
  schedule.onSecond(48);
  EXPECT_EQ(savedIcao, "EDDF");
  ASSERT_EQ(savedStands.size(), 12u);
  for (const ParkingPosition& stand : savedStands) {
    ASSERT_EQ(stand.usage.size(), 1u);
    EXPECT_TRUE(stand.usage[0].inUse()) << stand.name;
    EXPECT_FALSE(stand.usage[0].excludedForNow) << stand.name;
  }
  EXPECT_TRUE(creating.removeOnceCreated);
  EXPECT_EQ(standUpdates(), 0u);
  EXPECT_FALSE(parkAirportActive());
  EXPECT_FALSE(schedule.staticParkingCalculated());
  EXPECT_EQ(harness.engine.parkElevationFeet(), kNoParkElevationFeet);
  EXPECT_EQ(readerElevations.back(), std::nullopt);
  EXPECT_FALSE(schedule.parkAirportPositionForReader().has_value());
  EXPECT_TRUE(stands.empty());
  EXPECT_EQ(standNameAtPosition(onA1, true), "") << "no stand of a table that is gone";
}

TEST_F(ParkingScheduleTest, ALoadingMessageEndsTheParkAirportAtOnce) {
  readMessage = "lf_readParkedFile EDDF not found";
  schedule.onMainLoopStart();
  EXPECT_TRUE(schedule.parkAirport().icao.empty());
  EXPECT_FALSE(schedule.busy());
  EXPECT_FALSE(schedule.staticParkingCalculated());
  EXPECT_EQ(harness.engine.parkElevationFeet(), kNoParkElevationFeet);
}

TEST_F(ParkingScheduleTest, BusyFlagEndsWhenTheCalculationThrows) {
  parkedTrafficThrows = true;
  schedule.onMainLoopStart();
  EXPECT_EQ(schedule.parkAirport().icao, "EDDF");
  EXPECT_FALSE(schedule.busy());
  EXPECT_FALSE(schedule.staticParkingCalculated());
  EXPECT_TRUE(statics.pendingStatics().empty());
}

// The second tick empties the error and status lines and adjusts; the busy
// flag stays until the next regular check finds nothing pending (the
// handler of a throwing adjustment ends it at once).
TEST_F(ParkingScheduleTest, AdjustmentsRunOnTheSecondTickStayBusyUntilTheNextCheckUnlessThrowingAndComeEveryTwentyMinutes) {
  schedule.onMainLoopStart();
  statics.pendingStatics().clear();
  schedule.onSecond(16);
  ASSERT_FALSE(schedule.busy());
  const int collectingBefore = collectingStarts;

  for (bool throws : {false, true}) {
    adjustmentThrows = throws;
    adjustments.clear();
    setErrorLine("a failure shown during the session");
    schedule.requestAdjustment(true);
    schedule.onSecond(30);
    EXPECT_TRUE(schedule.busy());
    EXPECT_TRUE(schedule.adjustmentHalfway());
    schedule.onSecond(32);  // no regular check while half-way
    EXPECT_TRUE(schedule.busy());
    schedule.onSecond(45);
    EXPECT_EQ(adjustments, std::vector<bool>{true});
    EXPECT_EQ(errorLineText(), "");
    EXPECT_EQ(schedule.busy(), !throws);
    EXPECT_EQ(statusLineText(), throws ? "" : "Parking adjustments: 1 to be removed, 0 to be added");
    EXPECT_FALSE(schedule.adjustmentRequested());
    EXPECT_FALSE(schedule.adjustmentHalfway());
    schedule.onSecond(48);
    EXPECT_FALSE(schedule.busy()) << "throws " << throws;
    EXPECT_FALSE(busyShown);
    EXPECT_EQ(statusLineText(), "");
  }
  EXPECT_EQ(collectingStarts, collectingBefore + 2);

  // Every twenty minutes on its own, unless only the initial load is wanted;
  // the request of second 1200 is served in the two rounds after it.
  adjustments.clear();
  adjustmentThrows = false;
  schedule.onSecond(1200);
  EXPECT_TRUE(schedule.adjustmentRequested());
  EXPECT_FALSE(schedule.adjustmentHalfway());
  EXPECT_FALSE(schedule.busy());
  schedule.onSecond(1215);
  EXPECT_TRUE(schedule.adjustmentHalfway());
  EXPECT_TRUE(adjustments.empty());
  schedule.onSecond(1230);
  EXPECT_EQ(adjustments, std::vector<bool>{false});
  schedule.onSecond(1232);
  par_INITIAL_LOAD_ONLY.setValue(true);
  schedule.onSecond(2400);
  EXPECT_FALSE(schedule.adjustmentRequested());
}

TEST_F(ParkingScheduleTest, AnAdjustmentHalfWayAtARestartEndsThereAndItsSecondHalfNeverRuns) {
  schedule.onMainLoopStart();
  statics.pendingStatics().clear();
  schedule.onSecond(16);
  schedule.avgParkedWait(true);
  schedule.requestAdjustment(true);
  schedule.onSecond(30);
  ASSERT_TRUE(schedule.adjustmentHalfway());
  adjustments.clear();

  schedule.resetForRestart();
  EXPECT_FALSE(schedule.busy());
  EXPECT_FALSE(busyShown);
  EXPECT_FALSE(schedule.adjustmentRequested());
  EXPECT_FALSE(schedule.adjustmentHalfway());
  EXPECT_LT(schedule.averageStaticParkedHours(), 0.0F);
  schedule.onSecond(45);
  schedule.onSecond(60);
  EXPECT_TRUE(adjustments.empty());
  EXPECT_FALSE(schedule.busy());
}

// What was learned is kept at each twenty-minute renewal when it changed,
// so a crash loses at most twenty minutes of it; the table in use keeps its
// exclusions.
TEST_F(ParkingScheduleTest, TheRenewalSavesTheLearnedFileWhenItsTableChanged) {
  schedule.onMainLoopStart();
  statics.pendingStatics().clear();
  schedule.onSecond(16);
  ASSERT_EQ(saves, 0);

  schedule.onSecond(1200);
  EXPECT_EQ(saves, 0) << "nothing learned yet";

  stands[0].usage[0].excludedForNow = true;
  countStandUpdate();
  schedule.onSecond(2400);
  ASSERT_EQ(saves, 1);
  EXPECT_EQ(savedIcao, "EDDF");
  EXPECT_FALSE(savedStands[0].usage[0].excludedForNow) << "saved with its exclusions restored";
  EXPECT_TRUE(stands[0].usage[0].excludedForNow) << "the table in use stays as it is";
  EXPECT_EQ(standUpdates(), 0u);
  EXPECT_TRUE(parkAirportActive());
  EXPECT_EQ(schedule.parkAirport().icao, "EDDF");

  schedule.onSecond(3600);
  EXPECT_EQ(saves, 1) << "unchanged since the last save";

  // A failed save is tried again at the next renewal; a setting the
  // airport keeps for itself counts as a change too.
  saveSucceeds = false;
  countStandUpdate();
  schedule.onSecond(4800);
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(standUpdates(), 1u);
  saveSucceeds = true;
  schedule.onSecond(6000);
  EXPECT_EQ(saves, 3);
  par_INITIAL_LOAD_ONLY.setValue(true);
  setAirportParametersChanged(true);
  schedule.onSecond(7200);
  EXPECT_EQ(saves, 4) << "learning goes on without renewals";
  setAirportParametersChanged(false);
}

TEST_F(ParkingScheduleTest, AirborneTheNearestListedAirportInSightIsTaken) {
  onGround = false;
  par_DESTINATION.setValue("");
  list.entries().push_back({"EDDF", "", {airport.lat, airport.lon}, 0.0});
  user.latitude = airport.lat + 0.05;  // 3 nm north
  user.altitudeFeet = 1500.0;
  schedule.onMainLoopStart();
  EXPECT_EQ(schedule.parkAirport().icao, "EDDF");
  EXPECT_TRUE(schedule.loadRequested());
  EXPECT_TRUE(filesRead.empty()) << "the file is read at the next check";
  schedule.onSecond(16);
  EXPECT_EQ(filesRead.size(), 1u);
  EXPECT_FALSE(statics.pendingStatics().empty());
}

TEST_F(ParkingScheduleTest, AverageParkedTimeCountsHalfHoursSincePlacement) {
  StaticAc& early = harness.placeStatic(11, "DLH1*", SimState::active, 101);
  early.slot = DaySlot{2, 16}.packed();
  StaticAc& late = harness.placeStatic(12, "DLH2*", SimState::active, 102);
  late.slot = DaySlot{2, 22}.packed();  // later in the week: 0
  harness.placeStatic(13, "DLH3*", SimState::adding2sim);
  par_WEEK.setValue(false);
  EXPECT_EQ(schedule.avgParkedWait(true), 2);
  EXPECT_FLOAT_EQ(schedule.averageStaticParkedHours(), 1.0F);  // 4 half hours / (2 x 2)
}

TEST_F(ParkingScheduleTest, TheFilesReservedStandIsReplacedByTheRereadUnlessBusyAndStaysWithItsSchedule) {
  par_parking_percentage.setValue(100);
  reservedInFile = "A1";
  schedule.onMainLoopStart();
  EXPECT_EQ(rules.reservedStand(), "A1");
  for (const PendingStatic& pending : statics.pendingStatics()) EXPECT_NE(pending.standId, stands[0].id);
  statics.pendingStatics().clear();
  schedule.onSecond(16);
  ASSERT_FALSE(schedule.busy());
  list.entries() = {{"EDDF", "A2", {airport.lat, airport.lon}, 0.0}};

  std::string message;
  schedule.busyOn();
  EXPECT_TRUE(schedule.checkReservedStand(true, message));
  EXPECT_EQ(message, "park airports and stands are okay");
  schedule.busyOff();
  message.clear();
  EXPECT_TRUE(schedule.checkReservedStand(true, message));
  EXPECT_EQ(message, "reserved stand changed from 'A1' to 'A2'");
  EXPECT_EQ(rules.reservedStand(), "A2");
  EXPECT_EQ(std::async(std::launch::async, [&] { return rules.reservedStandForReader(); }).get(), "A2")
      << "the Traffic Reader's thread sees the new stand";
  EXPECT_TRUE(findStandByName(stands, "A2")->reserved);
  EXPECT_EQ(parkAirportPanel().reservedStandName, "A2") << "the window names the new stand";
  EXPECT_TRUE(parkAirportPanel().reservedStandMark);
  rereadResult = false;
  EXPECT_FALSE(schedule.checkReservedStand(true, message));

  // A second schedule whose file names no stand for the user has none.
  reservedInFile.clear();
  LiveRules otherRules{harness.engine, {}};
  ParkingSchedule other{harness.engine, statics, otherRules, &list, scheduleServices()};
  other.onMainLoopStart();
  EXPECT_EQ(other.parkAirport().icao, "EDDF");
  EXPECT_EQ(otherRules.reservedStand(), "");
}

// The park airport comes and goes on the worker while the Traffic Reader
// decodes live answers that ask for its position on the reader's thread.
// Under ThreadSanitizer this shows that both sides hold the position's lock.
TEST_F(ParkingScheduleTest, TheReaderDecodesWhileTheParkAirportIsPublishedAndWithdrawn) {
  resetFeedGlobals();
  standin::RtStandIn rt;
  rt.setPace(5, 50);
  standin::Scenario scenario;
  scenario.startEpochSeconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  scenario.flights.push_back({.hexId = "3c6444", .callsign = "DLH400", .icaoType = "A320", .registration = "D-AIPA",
                              .departure = "EDDF", .destination = "EGLL",
                              .points = {{0, kApronOrigin.latitude + 0.05, kApronOrigin.longitude, 6000, 200, 0, 0, false},
                                         {3600, kApronOrigin.latitude + 3.0, kApronOrigin.longitude, 6000, 200, 0, 0,
                                          false}}});
  rt.setScenario(scenario);

  std::atomic<int> batches{0};
  std::atomic<int> positionsAsked{0};
  FeedHooks hooks;
  hooks.userPosition = [] { return kApronOrigin; };
  hooks.userAltitudeFeet = [] { return 364.0; };
  hooks.parkAirportPosition = [&] {
    ++positionsAsked;
    return schedule.parkAirportPositionForReader();
  };
  hooks.reservedStandName = [] { return std::string(); };
  hooks.userStandName = [] { return std::string(); };
  hooks.intakeTrafficBatch = [&](std::vector<LiveTrafficRecord>& batch, std::uint32_t) {
    batch.clear();
    ++batches;
  };
  hooks.publishEngineQnh = [](int) {};
  hooks.reportThreadError = [](std::string_view, bool) {};
  hooks.showServerName = [](std::string_view) {};
  hooks.endSessionWithReaderError = [] {};
  FeedDisplay display;
  hooks.display = &display;
  TrafficReader reader(FeedTest::testConfig(rt.endpoint()), hooks);
  reader.setGuid("g-1");
  reader.setTrafficPaceMilliseconds(5);
  reader.computeTrafficBox(kApronOrigin, 40.0);
  int status = 0;
  std::thread readerThread([&] { reader.receive(status); });

  // Loaded on the ground, left in the air, again and again.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int second = 0;
  while ((positionsAsked.load() < 20 || second < 40 * 16) && std::chrono::steady_clock::now() < deadline) {
    onGround = true;
    user.altitudeFeet = airport.alt;
    schedule.onMainLoopStart();
    ASSERT_TRUE(schedule.parkAirportPositionForReader().has_value());
    statics.pendingStatics().clear();
    onGround = false;
    user.altitudeFeet = 30000.0;
    do {
      second += 16;  // a park check, not an adjustment tick
    } while (second % 15 == 0);
    schedule.onSecond(second);
    ASSERT_FALSE(schedule.parkAirportPositionForReader().has_value());
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  reader.requestStop();
  readerThread.join();
  EXPECT_GE(positionsAsked.load(), 20);
  EXPECT_GE(batches.load(), 20);
  resetFeedGlobals();
}

}  // namespace
}  // namespace crv::testing
