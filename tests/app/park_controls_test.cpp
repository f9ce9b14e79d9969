// The park airport in a running program and the window's parking controls
// as it comes and goes: the airport loaded, calculated and shown, the
// renewal countdown, the boxes and buttons the schedule locks and frees, and
// the user's live-aircraft limit after an airport's override.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <functional>

#include <fmt/format.h>

#include "aircraftdata/livery_data.h"
#include "aircraftdata/livery_database.h"
#include "airports/airport_downloads.h"
#include "airports/stand_table.h"
#include "app/control_handlers.h"
#include "app/status_panel.h"
#include "app/window_controls.h"
#include "feed/downloader.h"
#include "foundation/clock.h"
#include "foundation/day_slot.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "platform/window/control_model.h"
#include "tests/app/program_harness.h"
#include "tests/app/window_user.h"
#include "tools/download-standin/download_standin.h"
#include "traffic/static_ac.h"
#include "traffic/statics/parking_schedule.h"

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
  void SetUp() override { fillDropDownLists(); }
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
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return afterLeaving.load() != 0; }, std::chrono::seconds(20)));
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
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return outcome.load() != 0; }, std::chrono::seconds(20)));
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

// A Re-read pressed just before the 15-second round in which a parking
// adjustment starts is served in that round, not after the adjustment.
TEST_F(ParkControlsTest, AReReadPressedJustBeforeAnAdjustmentStartsIsServedFirst) {
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning());
  Session& session = harness.session();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return !session.parking().busy(); }, std::chrono::seconds(20)));
  // Both between two rounds: the button's request and the adjustment's.
  session.postToWorker([&session] {
    session.rereadRequested.store(true);
    session.parking().requestAdjustment(false);
  });
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return session.parking().busy(); }, std::chrono::seconds(20)));
  EXPECT_FALSE(session.rereadRequested.load()) << "the Re-read waits for the adjustment";
}

TEST_F(ParkControlsTest, TheAverageParkedTimesArePublishedWithTheirCountsOnceASecond) {
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
  // No live aircraft is parked: an average of none, not the unset value.
  EXPECT_EQ(session.display().averageLiveParkedHours.load(), 0.0F);
}

// Six stands east of the user with a schedule for every half hour of the week.
std::string schipholStands() {
  std::string stands;
  for (int n = 0; n < 6; ++n) {
    std::string usage;
    for (int day = 1; day <= 7; ++day) {
      usage += fmt::format(R"(<opt reg="PH-T{:02}" airl="KLM" type="B738" day="{}" hh="{}" cs="KLM{}"/>)", n, day,
                           "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,"
                           "32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47",
                           700 + n);
    }
    stands += fmt::format(R"(<parkpos id="T{}" latitude="52.3120" longitude="{:.6f}" heading="90.0" radius="25.0")"
                          R"( cargo="false" ramp="false">{}</parkpos>)",
                          n + 1, 4.7750 + n * 0.0012, usage);
  }
  return R"(<meta><info name="author" value="CRVN"/><info name="version" value="11.0.2"/>)"
         R"(<info name="date" value="Dec 05, 2026"/><info name="MSFS" value="2020"/></meta>)"
         R"(<parameters><parameter name="airport_name" value="Schiphol"/><parameter name="publisher" value="Pub"/>)"
         R"(<parameter name="altitude" value="-11"/></parameters><parkpositions>)" +
         stands + "</parkpositions>";
}

TEST(ParkAirportSessionTest, OnTheGroundTheAirportIsLoadedCalculatedAndShown) {
  ProgramHarness program([](SessionOptions& options) { options.engineConfig.stands = &parkAirportStands(); });
  writeFile(program.folder() / "airports" / "my_thirdparty" / "EHAM.xml", schipholStands());
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  ASSERT_TRUE(program.waitForLog("% vs wanted 30%", std::chrono::seconds(20))) << program.log();
  EXPECT_NE(program.log().find("The park airport is EHAM (AMS)"), std::string::npos);
  EXPECT_TRUE(ProgramHarness::waitFor([] { return panelTexts().parkAirportIcao == "EHAM"; }, std::chrono::seconds(20)));
  EXPECT_EQ(panelTexts().parkAirportLine, "EHAM (AMS)");
  EXPECT_TRUE(ProgramHarness::waitFor([] { return enabled(par_DESTINATION); }, std::chrono::seconds(20)))
      << "the destination box takes input once the airport's file is read";
  program.clickClose();
  ASSERT_TRUE(program.waitForExit().has_value());
  EXPECT_EQ(panelTexts().parkAirportIcao, "") << "leaving resets the window's texts";
}

TEST(ParkAirportSessionTest, AnArchiveCheckThatFailedIsAskedAgainAndTheArchivedFileIsLoaded) {
  TempFolder site;
  writeFile(site / "MSFS/archive/stock/EHAM.xml", schipholStands());
  standin::DownloadStandIn standIn(site.path());
  standIn.setFault("MSFS/archive/stock/EHAM.xml", standin::Fault::serverError());
  DownloadOptions options;
  options.timeouts.connect = std::chrono::seconds(2);
  options.timeouts.whole = std::chrono::seconds(10);
  setAirportDownloadSite({standIn.baseUrl(), makeUrlDownloader(options), {}});
  // The whole world on the session clock: the next check comes within a second.
  ProgramHarness program([](SessionOptions& session) { session.engineConfig.stands = &parkAirportStands(); },
                         kTestSpeedUp, WorldPace::sessionClock);
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  ASSERT_TRUE(ProgramHarness::waitFor(
      [&] { return program.sawStatus("User aircraft on the ground at EHAM, no airport file found"); },
      std::chrono::seconds(20)))
      << program.log();
  standIn.clearFaults();  // the site is back
  EXPECT_TRUE(program.waitForLog("The park airport is EHAM (AMS)", std::chrono::seconds(20))) << program.log();
  EXPECT_GE(standIn.requestCount("MSFS/archive/stock/EHAM.xml"), 2U);
  program.clickClose();
  EXPECT_TRUE(program.waitForExit().has_value());
  setAirportDownloadSite({});
}

TEST(ParkAirportSessionTest, SettingsChangedInTheWindowAtTheParkAirportAreInItsLearnedFileAfterLeaving) {
  ProgramHarness program([](SessionOptions& options) { options.engineConfig.stands = &parkAirportStands(); });
  writeFile(program.folder() / "airports" / "my_thirdparty" / "EHAM.xml", schipholStands());
  program.storeSettings({{"SIM_CHOICE", "MSFS 2020"}, {"AUTO_RANGE", "true"}});
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  ASSERT_TRUE(program.waitForLog("% vs wanted 30%", std::chrono::seconds(20))) << program.log();

  // The automatic range switched off, and a radius other than the one in
  // effect (both take input while the calculation runs).
  WindowUser user(program.window());
  ASSERT_TRUE(user.click(par_AUTO_RANGE.controlId()));
  ASSERT_TRUE(ProgramHarness::waitFor([] { return !par_AUTO_RANGE.value() && enabled(par_RANGE); },
                                      std::chrono::seconds(20)));
  const std::vector<std::int32_t>& radii = par_RANGE.allowedValues();
  const auto other = std::find_if(radii.begin(), radii.end(), [](std::int32_t r) { return r != par_RANGE.value(); });
  ASSERT_NE(other, radii.end());
  const std::int32_t radius = *other;
  ASSERT_TRUE(user.choose(par_RANGE.controlId(), static_cast<int>(other - radii.begin())));
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return par_RANGE.value() == radius; }, std::chrono::seconds(20)));

  program.clickClose();
  ASSERT_TRUE(program.waitForExit().has_value());
  // The airport's publisher names the folder of its learned file.
  const std::string learned =
      readFile(program.folder() / "airports" / "learned" / "thirdparty" / "Pub" / "EHAM.xml");
  EXPECT_NE(learned.find(fmt::format(R"(name="LATERAL_RANGE" value="{}")", radius)), std::string::npos) << learned;
  EXPECT_NE(learned.find(R"(name="AUTO_RANGE" value="false")"), std::string::npos) << learned;
}

// The program's rounds around a parking adjustment, sampled from outside
// while the world runs on the session clock: when the adjustment started
// and was served, when its busy flag ended, and the error line meanwhile.
struct AdjustmentRounds {
  int firstHalfwayAt = -1;
  int servedAt = -1;
  bool busyWhenServed = false;
  int busyEndedAt = -1;
  std::string errorWhenHalfway;
  std::string errorWhenServed;
  std::size_t parkedRequestsBefore = 0;
  std::size_t parkedRequestsAfter = 0;
};

std::size_t parkedTrafficRequests(ProgramHarness& program) {
  std::size_t count = 0;
  for (const std::string& body : program.rt().bodies(standin::kTrafficPath)) {
    count += body.find("querytype=parkedtraffic") != std::string::npos ? 1 : 0;
  }
  return count;
}

// Samples the rounds of the adjustment that the renewal of second 1200
// raises, until its busy flag has ended (or the counter passes 1300).
AdjustmentRounds watchTheRenewal(ProgramHarness& program, const std::function<void()>& beforeTheRenewal) {
  Session& session = program.session();
  AdjustmentRounds rounds;
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return session.secondCounter() >= 1150; }, std::chrono::seconds(120)));
  beforeTheRenewal();
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return session.secondCounter() >= 1190; }, std::chrono::seconds(60)));
  rounds.parkedRequestsBefore = parkedTrafficRequests(program);
  bool requestSeen = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    const int c = session.secondCounter();
    const bool requested = session.parking().adjustmentRequested();
    const bool halfway = session.parking().adjustmentHalfway();
    const bool busy = session.parking().busy();
    if (c > 1300) break;
    if (halfway && rounds.firstHalfwayAt < 0) {
      rounds.firstHalfwayAt = c;
      rounds.errorWhenHalfway = errorLineText();
    }
    requestSeen = requestSeen || requested;
    if (requestSeen && !requested && rounds.servedAt < 0) {
      rounds.servedAt = c;
      rounds.busyWhenServed = busy;
      rounds.errorWhenServed = errorLineText();
    }
    if (rounds.servedAt >= 0 && !busy) {
      rounds.busyEndedAt = c;
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  rounds.parkedRequestsAfter = parkedTrafficRequests(program);
  return rounds;
}

// The world runs fast: twenty minutes of the session pass in about half a
// minute.
constexpr double kRenewalSpeedUp = 40.0;

// The stands' KLM aircraft find their livery and stand in the simulator.
void allowForTheFastWorld(SessionOptions& options) {
  options.engineConfig.stands = &parkAirportStands();
  options.firstTrafficLimit = std::chrono::minutes(10);  // session time: a few real seconds
  options.scanLiveries = [] {
    LiveryList liveries = {{"KLM", "B738", "KLM Boeing 737-800", "", 0, false}};
    sortScannedLiveries(liveries);
    liveryDatabase().build(liveries);
  };
}

// Second 1200 raises the renewal; its first round is second 1215, its
// adjustment second 1230, which empties an error line shown until then and
// asks the feed for the parked traffic twice. Nothing is to be placed, yet
// the busy flag stays until the regular check of second 1232.
TEST(ParkAirportSessionTest, TheRenewalStartsInTheRoundAfterSecond1200AndStaysBusyUntilTheNextCheck) {
  ProgramHarness program(allowForTheFastWorld, kRenewalSpeedUp, WorldPace::sessionClock);
  writeFile(program.folder() / "airports" / "my_thirdparty" / "EHAM.xml", schipholStands());
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  ASSERT_TRUE(program.waitForLog("% vs wanted 30%", std::chrono::seconds(20))) << program.log();

  const AdjustmentRounds rounds =
      watchTheRenewal(program, [] { setErrorLine("a failure shown during the session"); });
  EXPECT_GE(rounds.firstHalfwayAt, 1215) << program.log();
  EXPECT_LT(rounds.firstHalfwayAt, 1230);
  EXPECT_EQ(rounds.errorWhenHalfway, "a failure shown during the session");
  EXPECT_GE(rounds.servedAt, 1230);
  EXPECT_LT(rounds.servedAt, 1245);
  EXPECT_EQ(rounds.errorWhenServed, "");
  EXPECT_TRUE(rounds.busyWhenServed);
  EXPECT_GE(rounds.busyEndedAt, 1232);
  EXPECT_LT(rounds.busyEndedAt, 1248);
  EXPECT_EQ(rounds.parkedRequestsAfter - rounds.parkedRequestsBefore, 2U);
  EXPECT_TRUE(program.sawStatus("Parking adjustments: 0 to be removed, 0 to be added")) << program.log();
  program.clickClose();
  EXPECT_TRUE(program.waitForExit().has_value());
}

// Two stands 14 m apart, so close that a static aircraft on P1 keeps P2's
// aircraft away; P2 is used by a KLM B738 every half hour of the week, P1
// by nobody. Two far stands make four, so that two statics are wanted.
std::string standsSideBySide() {
  std::string every;
  for (int h = 0; h < kSlotsPerDay; ++h) every += (h == 0 ? "" : ",") + std::to_string(h);
  std::string usage;
  for (int day = 1; day <= 7; ++day) {
    usage += fmt::format(R"(<opt reg="PH-T02" airl="KLM" type="B738" day="{}" hh="{}" cs="KLM702"/>)", day, every);
  }
  std::string stands;
  const double longitudes[] = {4.7750, 4.7752, 4.7790, 4.7810};
  for (int n = 0; n < 4; ++n) {
    stands += fmt::format(R"(<parkpos id="P{}" latitude="52.3120" longitude="{:.6f}" heading="90.0" radius="25.0")"
                          R"( cargo="false" ramp="false">{}</parkpos>)",
                          n + 1, longitudes[n], n == 1 ? usage : "");
  }
  return R"(<meta><info name="author" value="CRVN"/><info name="version" value="11.0.2"/>)"
         R"(<info name="date" value="Dec 05, 2026"/><info name="MSFS" value="2020"/></meta>)"
         R"(<parameters><parameter name="airport_name" value="Schiphol"/><parameter name="publisher" value="Pub"/>)"
         R"(<parameter name="altitude" value="-11"/></parameters><parkpositions>)" +
         stands + "</parkpositions>";
}

// The static aircraft of the engine as (stand, callsign), read on the worker.
std::vector<std::pair<std::string, std::string>> staticsByStand(ProgramHarness& program) {
  auto result = std::make_shared<std::vector<std::pair<std::string, std::string>>>();
  auto done = std::make_shared<std::atomic<bool>>(false);
  Session& session = program.session();
  session.postToWorker([&session, result, done] {
    for (const StaticAc& aircraft : session.engine().staticAircraft()) {
      if (aircraft.state != SimState::active) continue;
      std::string stand = "unknown";
      if (const StandTable* stands = session.engine().standTable()) {
        for (const ParkingPosition& p : *stands) {
          if (p.id == aircraft.standId) stand = p.name;
        }
      }
      result->emplace_back(stand, aircraft.base.identity.callsign);
    }
    done->store(true);
  });
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return done->load(); }, std::chrono::seconds(10)));
  std::sort(result->begin(), result->end());
  return *result;
}

// The feed reports KLM999 parked on P1 and then no longer: the renewal
// sends it away and, as it leaves at once, gives P2 beside it its aircraft
// in the same adjustment.
TEST(ParkAirportSessionTest, AStaticOfTheFeedThatTheRenewalSendsAwayNoLongerKeepsTheStandBesideItEmpty) {
  using Placed = std::vector<std::pair<std::string, std::string>>;
  ProgramHarness program(allowForTheFastWorld, kRenewalSpeedUp, WorldPace::sessionClock);
  program.storeSettings({{"SIM_CHOICE", kSimChoiceMsfs2020}, {"parking_percentage", "50"}});
  writeFile(program.folder() / "airports" / "my_thirdparty" / "EHAM.xml", standsSideBySide());
  standin::Scenario scenario;
  scenario.startEpochSeconds = program.worldEpochSeconds();
  scenario.parked = {{"485aaa", 52.3120, 4.7750, "P1", "B738", "PH-BXZ", "KLM999", 600.0}};
  program.rt().setScenario(scenario);
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return staticsByStand(program) == Placed{{"P1", "KLM999*"}}; },
                                      std::chrono::seconds(30)))
      << program.log();

  const AdjustmentRounds rounds = watchTheRenewal(program, [&] {
    scenario.parked.clear();  // KLM999 left
    program.rt().setScenario(scenario);
  });
  ASSERT_GE(rounds.servedAt, 1230) << program.log();
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return staticsByStand(program) == Placed{{"P2", "KLM702*"}}; },
                                      std::chrono::seconds(20)))
      << program.log();
  program.clickClose();
  EXPECT_TRUE(program.waitForExit().has_value());
}

}  // namespace
}  // namespace crv::testing
