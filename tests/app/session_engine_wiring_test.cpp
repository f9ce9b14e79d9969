// The engine's parts as the running program uses them, against both
// stand-ins: the livery matching with the titles the simulator refused, the
// livery-match summary, the user's stand, the flight-plan files, the live
// count, the reset of the counts before a restart, the make-way rules for
// the user aircraft and the log lines that say why an aircraft went.

#include <gtest/gtest.h>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <filesystem>
#include <map>
#include <memory>
#include <numbers>
#include <ranges>
#include <regex>
#include <set>
#include <utility>

#include "aircraftdata/livery_database.h"
#include "airports/airports_database.h"
#include "airports/stand_table.h"
#include "app/entry.h"
#include "app/sim_choice.h"
#include "app/window_controls.h"
#include "foundation/geodesy.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/os/ansi_code_page.h"
#include "simlink/flight_plans.h"
#include "tests/app/program_harness.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kRefusedTitle = "Aer Lingus A320";

std::int64_t secondsAgo(std::int64_t seconds) {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
             .count() -
         seconds;
}

// Seconds after the scenario's start at which EIN606 appears, ten seconds
// after the test began.
constexpr int kSecondAerLingusAppears = 70;

// EIN605 and KLM1385 cross Schiphol eastbound at 6,000 ft, 180 kt; they set
// out a minute ago, 8 nm west. EIN606 follows them ten seconds later.
standin::Scenario overflights() {
  standin::Scenario scenario;
  scenario.startEpochSeconds = secondsAgo(60);
  scenario.flights.push_back({.hexId = "4ca7b5", .callsign = "EIN606", .icaoType = "A320", .registration = "EI-DVN",
                              .departure = "EIDW", .destination = "EDDM",
                              .points = {{kSecondAerLingusAppears, 52.29, 4.55, 6000, 180, 90, 0, false},
                                         {kSecondAerLingusAppears + 600, 52.29, 5.37, 6000, 180, 90, 0, false}}});
  scenario.flights.push_back({.hexId = "4ca7b4", .callsign = "EIN605", .icaoType = "A320", .registration = "EI-DVM",
                              .departure = "EIDW", .destination = "EDDF",
                              .points = {{0, 52.31, 4.55, 6000, 180, 90, 0, false},
                                         {600, 52.31, 5.37, 6000, 180, 90, 0, false}}});
  scenario.flights.push_back({.hexId = "484161", .callsign = "KLM1385", .icaoType = "B738", .registration = "PH-BXA",
                              .departure = "EGLL", .destination = "EPWA",
                              .points = {{0, 52.33, 4.55, 7000, 180, 90, 0, false},
                                         {600, 52.33, 5.37, 7000, 180, 90, 0, false}}});
  return scenario;
}

void buildLiveries() {
  LiveryList liveries = {{"EIN", "A320", kRefusedTitle, "", 0, false},
                         {"KLM", "B738", "KLM Boeing 737-800", "", 0, false}};
  sortScannedLiveries(liveries);
  liveryDatabase().build(liveries);
}

// Runs the work on the worker and waits for it.
void onWorker(ProgramHarness& harness, const std::function<void()>& work) {
  std::atomic<bool> done{false};
  harness.session().postToWorker([&] {
    work();
    done.store(true);
  });
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return done.load(); }, 10s));
}

// The simulator cannot load the Aer Lingus livery; the KLM one it creates.
class RefusedLiveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    harness_.storeSettings({{"SIM_CHOICE", "MSFS 2020"}, {"LOG", "true"}});
    const standin::Scenario scenario = overflights();
    scenarioStart_ = std::chrono::system_clock::time_point(std::chrono::seconds(scenario.startEpochSeconds));
    harness_.rt().setScenario(scenario);
    harness_.sim().refuseTitle(kRefusedTitle);
    harness_.start();
    ASSERT_TRUE(harness_.waitUntilRunning()) << harness_.log();
    ASSERT_TRUE(harness_.waitForLog(fmt::format("EIN605 '{}' could not be created by your Sim!", kRefusedTitle), 30s))
        << harness_.log();
  }

  ProgramHarness harness_{[](SessionOptions& options) { options.scanLiveries = buildLiveries; }};
  std::chrono::system_clock::time_point scenarioStart_;
};

TEST_F(RefusedLiveryTest, ARefusedLiveryIsNotChosenAgainAndTheMatchLineCarriesTheRoute) {
  // Another Aer Lingus A320 comes: ten answers of the feed after it appeared,
  // it has not been created with the refused livery.
  const auto appeared = scenarioStart_ + std::chrono::seconds(kSecondAerLingusAppears);
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return std::chrono::system_clock::now() > appeared; }, 30s));
  const std::size_t answers = harness_.rt().requestCount(standin::kTrafficPath);
  ASSERT_TRUE(ProgramHarness::waitFor(
      [&] { return harness_.rt().requestCount(standin::kTrafficPath) >= answers + 10; }, 30s));
  EXPECT_EQ(harness_.sim().refusedCreates(), 1);
  EXPECT_EQ(harness_.log().find("EIN606 'Aer Lingus A320' could not be created"), std::string::npos);
  const std::string log = harness_.log();
  EXPECT_NE(log.find(fmt::format("EIDW->EDDF EIN605   EI-DVM EIN A320 =2= {}", kRefusedTitle)), std::string::npos)
      << log;
  EXPECT_NE(log.find("EGLL->EPWA KLM1385  PH-BXA KLM B738 =2= KLM Boeing 737-800"), std::string::npos) << log;
}

TEST_F(RefusedLiveryTest, TheSummaryAtClosingDownListsTheRefusedLivery) {
  harness_.clickClose();
  ASSERT_TRUE(harness_.waitForExit().has_value());
  const std::string log = harness_.log();
  EXPECT_NE(log.find("\nCould not be created by MSFS:\n  A320 EIN\n"), std::string::npos) << log;
  EXPECT_LT(log.find("Exiting: USER CLOSED SIM"), log.find("live traffic livery matching summary"));
}

TEST_F(RefusedLiveryTest, OnceADayTheSummaryIsWrittenAndTheKeptLiveriesAreForgotten) {
  Session& session = harness_.session();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return session.display().liveInSim.load() >= 1; }, 30s));
  std::size_t keptBefore = 0;
  std::size_t keptAfter = 0;
  onWorker(harness_, [&] {
    keptBefore = session.rules().rememberedLiveryCount();
    session.onceADay();
    keptAfter = session.rules().rememberedLiveryCount();
  });
  EXPECT_GE(keptBefore, 1U);
  EXPECT_EQ(keptAfter, 0U);
  const std::string log = harness_.log();
  EXPECT_NE(log.find("\nCould not be created by MSFS:\n  A320 EIN\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Exiting:"), std::string::npos) << "written while the session runs";
}

// The plan files in the folder and the objects of the live aircraft in the
// simulator (bound, whether active yet or not), taken together on the worker.
struct PlansAndObjects {
  std::set<std::uint32_t> planFiles;
  std::set<std::uint32_t> liveObjects;
};

PlansAndObjects plansAndObjects(ProgramHarness& harness) {
  PlansAndObjects seen;
  onWorker(harness, [&] {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(flightPlanFolder(), error)) {
      seen.planFiles.insert(static_cast<std::uint32_t>(std::stoul(entry.path().stem().string())));
    }
    for (const LiveAc& aircraft : harness.session().engine().liveAircraft()) {
      if (aircraft.objectId != 0) seen.liveObjects.insert(aircraft.objectId);
    }
  });
  return seen;
}

// Waits until two or more live aircraft are in the simulator, each with its
// plan file and no file beside them; what was seen last either way.
std::pair<bool, PlansAndObjects> waitForAPlanPerAircraft(ProgramHarness& harness) {
  PlansAndObjects seen;
  const bool reached = ProgramHarness::waitFor(
      [&] {
        seen = plansAndObjects(harness);
        return seen.liveObjects.size() >= 2 && seen.planFiles == seen.liveObjects;
      },
      30s);
  return {reached, seen};
}

TEST(FlightPlanFilesTest, ThePlanFolderHoldsOneFilePerLiveAircraft) {
  ProgramHarness harness([](SessionOptions& options) { options.scanLiveries = buildLiveries; });
  harness.rt().setScenario(overflights());
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  const auto [reached, first] = waitForAPlanPerAircraft(harness);
  ASSERT_TRUE(reached) << first.planFiles.size() << " plans for " << first.liveObjects.size() << " aircraft";

  // Every aircraft leaves the simulator (as a new time shift has it) and the
  // feed brings them back as new objects, 30 s behind it: only the new
  // objects have plans.
  onWorker(harness, [&] { harness.session().removeAllTraffic(); });
  PlansAndObjects again;
  const bool renewed = ProgramHarness::waitFor(
      [&] {
        again = plansAndObjects(harness);
        bool allNew = again.liveObjects.size() >= 2;
        for (std::uint32_t id : again.liveObjects) allNew = allNew && !first.liveObjects.contains(id);
        return allNew && again.planFiles == again.liveObjects;
      },
      90s);
  EXPECT_TRUE(renewed) << again.planFiles.size() << " plans for " << again.liveObjects.size() << " aircraft";
  for (std::uint32_t id : first.liveObjects) EXPECT_FALSE(again.planFiles.contains(id)) << id;
}

// MSFS 2020 reads a plan's path in the system's ANSI code page: a user whose
// name is not ASCII still has every plan loaded.
TEST(FlightPlanFilesTest, PlansReachMsfs2020ForAUserWhoseNameIsNotAscii) {
  ProgramHarness harness([](SessionOptions& options) { options.scanLiveries = buildLiveries; });
  const std::filesystem::path dataFolder = harness.folder() / std::filesystem::path(u8"Jos\u00e9") / "CRVN";
  std::filesystem::create_directories(dataFolder);
  setDataFolderPath(dataFolder);
  harness.storeSettings({{"SIM_CHOICE", kSimChoiceMsfs2020}});
  harness.rt().setScenario(overflights());
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  const auto [reached, seen] = waitForAPlanPerAircraft(harness);
  ASSERT_TRUE(reached) << seen.planFiles.size() << " plans for " << seen.liveObjects.size() << " aircraft";
  for (const std::uint32_t id : seen.liveObjects) {
    const auto object = harness.sim().object(id);
    ASSERT_TRUE(object.has_value()) << id;
    ASSERT_EQ(object->flightPlanPaths.size(), 1U) << id;
    EXPECT_EQ(platform::pathOfAnsiText(object->flightPlanPaths[0]), dataFolder / "orig_dest" / flightPlanFileName(id));
  }
  EXPECT_EQ(harness.log().find("creating a flight plan failed"), std::string::npos) << harness.log();
}

// An airport file with the stands given.
std::string airportFile(const std::string& parkpositions) {
  return R"(<meta><info name="author" value="CRVN"/><info name="version" value="11.0.2"/>)"
         R"(<info name="date" value="Dec 05, 2026"/><info name="MSFS" value="2020"/></meta>)"
         R"(<parameters><parameter name="airport_name" value="Schiphol"/><parameter name="publisher" value="Pub"/>)"
         R"(<parameter name="altitude" value="-11"/></parameters><parkpositions>)" +
         parkpositions + "</parkpositions>";
}

// The stand under the user aircraft.
constexpr const char* kUserStand =
    R"(<parkpos id="U1" latitude="52.3105" longitude="4.7683" heading="90.0" radius="25.0" cargo="false" ramp="false"/>)";

// Six stands east of the user, 82 m apart, the first 490 m away. On the
// stands named a KLM B738 stands every half hour of the week.
std::string eastStands(const std::set<int>& scheduled = {}) {
  std::string stands;
  for (int n = 1; n <= 6; ++n) {
    std::string usage;
    for (int day = 1; scheduled.contains(n) && day <= 7; ++day) {
      usage += fmt::format(R"(<opt reg="PH-T{:02}" airl="KLM" type="B738" day="{}" hh="{}" cs="KLM{}"/>)", n, day,
                           fmt::join(std::views::iota(0, 48), ","), 700 + n);
    }
    stands += fmt::format(R"(<parkpos id="T{}" latitude="52.3120" longitude="{:.6f}" heading="90.0" radius="25.0")"
                          R"( cargo="false" ramp="false">{}</parkpos>)",
                          n, 4.7750 + (n - 1) * 0.0012, usage);
  }
  return stands;
}

std::string schipholStands() { return airportFile(kUserStand + eastStands()); }

// A session at Schiphol with its stands: KLM1385 stands at T3 the whole
// time; EIN605 flies over.
class LiveCountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(harness_.folder() / "airports" / "my_thirdparty" / "EHAM.xml", schipholStands());
    standin::Scenario scenario = overflights();
    scenario.flights.pop_back();
    scenario.flights.push_back({.hexId = "484161", .callsign = "KLM1385", .icaoType = "B738",
                                .registration = "PH-BXA", .departure = "EHAM", .destination = "EPWA",
                                .points = {{0, 52.3120, 4.7774, -11, 0, 90, 0, true},
                                           {1200, 52.3120, 4.7774, -11, 0, 90, 0, true}}});
    harness_.rt().setScenario(scenario);
    harness_.start();
    ASSERT_TRUE(harness_.waitUntilRunning()) << harness_.log();
    Session& session = harness_.session();
    // A standing aircraft enters once its replay starts, 30 s behind the feed.
    ASSERT_TRUE(ProgramHarness::waitFor(
        [&] {
          std::size_t active = 0;
          onWorker(harness_, [&] {
            for (const LiveAc& aircraft : session.engine().liveAircraft()) {
              active += aircraft.state == SimState::active ? 1 : 0;
            }
          });
          return session.display().parkedLive.load() == 1 && active == 2;
        },
        90s))
        << harness_.log();
  }

  ProgramHarness harness_{[](SessionOptions& options) {
    options.scanLiveries = buildLiveries;
    options.engineConfig.stands = &parkAirportStands();
  }};
};

TEST_F(LiveCountTest, ThePanelAndTheSummaryLineCountOnlyLiveAircraftThatAreNotParked) {
  const SessionDisplay& display = harness_.session().display();
  // The count is published once a second.
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return display.liveInSim.load() == 1; }, 20s)) << display.liveInSim.load();
  EXPECT_NE(summaryLine(display).find("  live 1  "), std::string::npos) << summaryLine(display);
  EXPECT_NE(summaryLine(display).find("  parked live 1  "), std::string::npos) << summaryLine(display);
}

TEST_F(LiveCountTest, ARestartShowsNoCountOfTheOldSessionAndCarriesNoAdjustmentOver) {
  Session& session = harness_.session();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return session.display().liveInSim.load() == 1; }, 20s));
  // An adjustment under way: its first tick raised the busy flag.
  session.parking().requestAdjustment(false);
  ASSERT_TRUE(ProgramHarness::waitFor([] { return parkingBusy(); }, 40s)) << harness_.log();
  // The next login is answered late: the new session is seen before its
  // main loop runs.
  const standin::Scenario scenario = standin::Scenario::load(CRVN_RT_STANDIN_SAMPLE);
  harness_.rt().queueAnswer(standin::kAuthPath,
                            standin::Answer::json({{"status", 200},
                                                   {"GUID", scenario.guid},
                                                   {"server", scenario.server},
                                                   {"rrl", 200},
                                                   {"wrrl", 200}},
                                                  3s));
  ASSERT_EQ(lf_newSimPath(par_MSFS_INSTALL_PATH, (harness_.packagesFolder() / "Community").string()),
            NewPathOutcome::accepted);
  ASSERT_TRUE(ProgramHarness::waitFor(
      [&] {
        return session.sessionsStarted() >= 2 && session.display().phase.load() == SessionDisplay::Phase::loggingIn;
      },
      20s))
      << harness_.log();
  const SessionDisplay& display = session.display();
  EXPECT_EQ(display.liveInSim.load(), 0);
  EXPECT_EQ(display.staticInSim.load(), 0);
  EXPECT_EQ(display.parkedLive.load(), 0);
  EXPECT_EQ(display.parkedStatic.load(), 0);
  EXPECT_LT(display.averageLiveParkedHours.load(), 0.0F);
  EXPECT_LT(session.parking().averageStaticParkedHours(), 0.0F);
  EXPECT_FALSE(parkingBusy()) << "Airport parking active";
  EXPECT_FALSE(session.parking().busy());
  EXPECT_FALSE(session.parking().adjustmentRequested());
}

TEST(UserStandTest, ANewFlightWritesTheUsersStandForTheParkAirport) {
  ProgramHarness harness([](SessionOptions& options) { options.engineConfig.stands = &parkAirportStands(); });
  writeFile(harness.folder() / "airports" / "my_thirdparty" / "EHAM.xml", schipholStands());
  const std::filesystem::path listFile = harness.folder() / "airports" / "my_park_airports.txt";
  writeFile(listFile, "EHAM,D7\nEGLL\n");
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  ASSERT_TRUE(harness.waitForLog("The park airport is EHAM (AMS)", 20s)) << harness.log();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return readFile(listFile) == "EHAM,U1\nEGLL\n"; }, 10s))
      << "loading the airport finds the user on U1";

  // The user taxis to T1 and loads a new flight there.
  harness.sim().moveUserAircraft(52.3120, 4.7750);
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return harness.session().link().user().userStandName() == "T1"; }, 10s));
  harness.sim().loadFlight("flight.FLT", platform::FlightLoadedForm::Event);
  ASSERT_TRUE(harness.waitForExit().has_value()) << harness.log();
  EXPECT_EQ(readFile(listFile), "EHAM,T1\nEGLL\n");
}

// EHAA lies 2 nm north of the user, Schiphol 0.2 nm away; EHAA's stand is
// under the user, Schiphol's nearest 430 m east.
TEST(ClosestAirportTest, OfTwoAirportsNearTheUserTheOneWithTheCloserStandIsTaken) {
  // The airports database is read once per process: this test's own is
  // read at its start and forgotten again at its end.
  struct OwnAirportsDatabase {
    OwnAirportsDatabase() { airportsDb() = AirportsDatabase{}; }
    ~OwnAirportsDatabase() { airportsDb() = AirportsDatabase{}; }
  } ownDatabase;
  ProgramHarness harness([](SessionOptions& options) { options.engineConfig.stands = &parkAirportStands(); });
  writeFile(harness.folder() / "input" / "airports_msfs.xml",
            R"(<airports><airport code="EHAA" lat="52.3438" lon="4.7683" alt="-11"/>)"
            R"(<airport code="EHAM" iata="AMS" lat="52.308601" lon="4.76389" alt="-11"/>)"
            R"(<airport code="EGLL" iata="LHR" lat="51.4706" lon="-0.461941" alt="83"/></airports>)");
  writeFile(harness.folder() / "airports" / "my_thirdparty" / "EHAM.xml", airportFile(eastStands()));
  writeFile(harness.folder() / "airports" / "my_thirdparty" / "EHAA.xml", airportFile(kUserStand));
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  ASSERT_TRUE(harness.waitForLog("The park airport is EHAA", 20s)) << harness.log();
  const std::string log = harness.log();
  EXPECT_NE(log.find("Airport EHAM is closest, neighbour is EHAA"), std::string::npos) << log;
  EXPECT_NE(log.find("Airport EHAM is closest, but stand U1 at neighbouring airport EHAA is closer at 0 meters ..."),
            std::string::npos)
      << log;
}

// The user aircraft makes way: on the ground a live aircraft within the two
// half wing spans (and a margin) is removed from the simulator, one farther
// away stays; in the air an aircraft on the ground straight ahead of a low
// user aircraft is removed, and so is an aircraft whose line of flight passes
// close to the user at about the user's height, while aircraft beside the
// line, above it or ahead of a user too high stay. Each removal says in the
// log which rule removed the aircraft, with the figures the rule compared.

constexpr double kFeetPerNm = 6076.11549;
constexpr double kQuarterTurn = std::numbers::pi / 2.0;
constexpr double kGroundFeet = -11.0;

// KLM1385 and KLM1386 stand at T3 and T2, facing east; EIN605 crosses
// Schiphol eastbound at 6,000 ft, 180 kt, set out a minute ago.
standin::Scenario schipholTraffic() {
  standin::Scenario scenario;
  scenario.startEpochSeconds = secondsAgo(60);
  const auto standing = [](const char* hexId, const char* callsign, const char* registration, double longitude) {
    return standin::ScenarioFlight{.hexId = hexId, .callsign = callsign, .icaoType = "B738",
                                   .registration = registration, .departure = "EHAM", .destination = "EPWA",
                                   .points = {{0, 52.3120, longitude, kGroundFeet, 0, 90, 0, true},
                                              {1200, 52.3120, longitude, kGroundFeet, 0, 90, 0, true}}};
  };
  scenario.flights.push_back(standing("484161", "KLM1385", "PH-BXA", 4.7774));
  scenario.flights.push_back(standing("484162", "KLM1386", "PH-BXB", 4.7762));
  scenario.flights.push_back({.hexId = "4ca7b4", .callsign = "EIN605", .icaoType = "A320", .registration = "EI-DVM",
                              .departure = "EIDW", .destination = "EDDF",
                              .points = {{0, 52.31, 4.55, 6000, 180, 90, 0, false},
                                         {600, 52.31, 5.37, 6000, 180, 90, 0, false}}});
  return scenario;
}

class MakeWayTest : public ::testing::Test {
 protected:
  virtual std::string airportStands() const { return schipholStands(); }

  void SetUp() override {
    writeFile(harness_.folder() / "airports" / "my_thirdparty" / "EHAM.xml", airportStands());
    harness_.rt().setScenario(schipholTraffic());
    harness_.start();
    ASSERT_TRUE(harness_.waitUntilRunning()) << harness_.log();
    ASSERT_TRUE(ProgramHarness::waitFor([this] { return findObjects() == 3; }, 60s)) << [this] {
      std::string found;
      for (const auto& [callsign, id] : objects_) found += callsign + " ";
      return found;
    }() << harness_.log();
  }

  // The simulator objects of the live aircraft in the simulator, by
  // callsign, read on the worker that owns the engine's tables.
  std::size_t findObjects() {
    struct Probe {
      std::atomic<bool> done{false};
      std::map<std::string, std::uint32_t> found;  // written before done
    };
    auto probe = std::make_shared<Probe>();
    harness_.session().postToWorker([&session = harness_.session(), probe] {
      for (const LiveAc& aircraft : session.engine().liveAircraft()) {
        if (aircraft.state == SimState::active) probe->found[aircraft.base.identity.callsign] = aircraft.objectId;
      }
      probe->done.store(true);
    });
    if (!ProgramHarness::waitFor([&probe] { return probe->done.load(); }, 10s)) return 0;
    objects_ = probe->found;
    return objects_.size();
  }

  platform::SimObjectState stateOf(const std::string& callsign) {
    return harness_.sim().object(objects_.at(callsign))->state;
  }
  bool removed(const std::string& callsign) { return harness_.sim().object(objects_.at(callsign))->removed; }

  // Puts the user aircraft at the point, heading (radians) and height; the
  // user's title and model stay.
  void placeUser(const GeoPoint& point, double headingRadians, double altitudeAboveGroundFeet, bool onGround) {
    platform::SimObjectState user = harness_.sim().objects().front().state;
    user.latitudeDegrees = point.latitude;
    user.longitudeDegrees = point.longitude;
    user.headingRadians = headingRadians;
    user.groundAltitudeFeet = kGroundFeet;
    user.altitudeAboveGroundFeet = altitudeAboveGroundFeet;
    user.altitudeFeet = kGroundFeet + altitudeAboveGroundFeet;
    user.onGround = onGround;
    harness_.sim().setUserAircraft(user);
  }

  // The point at the distance from the aircraft, in the direction turned
  // from its heading.
  GeoPoint besideAircraft(const std::string& callsign, double turnRadians, double distanceFeet) {
    const platform::SimObjectState aircraft = stateOf(callsign);
    return gf_destination({aircraft.latitudeDegrees, aircraft.longitudeDegrees},
                          aircraft.headingRadians + turnRadians, distanceFeet);
  }

  // Waits until the per-second rules have run the given number of times
  // more.
  void letSecondsPass(int seconds) {
    const SessionDisplay& display = harness_.session().display();
    const std::int32_t until = display.runningSeconds.load() + seconds;
    ASSERT_TRUE(ProgramHarness::waitFor([&] { return display.runningSeconds.load() >= until; }, 20s));
  }

  // The user aircraft taxis south of the stands, where no aircraft's line
  // passes near, and leaves the ground there: the rules see it in the air.
  void liftOff() {
    const GeoPoint south{52.3000, 4.7683};
    placeUser(south, 0.0, 0.0, true);
    letSecondsPass(3);
    placeUser(south, 0.0, 3000.0, false);
    letSecondsPass(3);
    for (const auto& [callsign, objectId] : objects_) ASSERT_FALSE(removed(callsign)) << callsign;
  }

  bool waitForRemoval(const std::string& callsign) {
    return ProgramHarness::waitFor([&] { return removed(callsign); }, 10s);
  }

  // The first line of the log that holds the piece; empty when none.
  std::string logLineWith(const std::string& piece) const {
    const std::string log = harness_.log();
    const std::size_t at = log.find(piece);
    if (at == std::string::npos) return {};
    const std::size_t begin = log.rfind('\n', at) + 1;  // npos + 1 is 0
    return log.substr(begin, log.find('\n', at) - begin);
  }

  ProgramHarness harness_{[](SessionOptions& options) {
    options.scanLiveries = buildLiveries;
    options.engineConfig.stands = &parkAirportStands();
  }};
  std::map<std::string, std::uint32_t> objects_;
};

TEST_F(MakeWayTest, OnTheGroundTheAircraftUnderTheUserGoesAndTheOneBesideStays) {
  // 10 m west of KLM1385, 70 m east of KLM1386 (both about 36 m span).
  placeUser(besideAircraft("KLM1385", std::numbers::pi, 33.0), 0.0, 0.0, true);
  ASSERT_TRUE(waitForRemoval("KLM1385")) << harness_.log();
  letSecondsPass(3);
  EXPECT_FALSE(removed("KLM1386"));
  EXPECT_FALSE(removed("EIN605"));
  // Half spans 17.9 m (the user's A320) and 17.955 m (a B738), x 1.15.
  const std::string log = harness_.log();
  EXPECT_NE(log.find("T3      : KLM1385  removed: 10 m from the user aircraft on the ground (limit 41 m)\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("KLM1385  removed by the simulator"), std::string::npos) << "the program asked for it";
}

TEST_F(MakeWayTest, ALowUserAircraftRemovesOnlyTheAircraftOnTheGroundStraightAhead) {
  liftOff();
  // Half a mile beside KLM1385's nose line: its line passes 3,000 ft away.
  const double besideHeading = stateOf("KLM1385").headingRadians;
  const GeoPoint beside = besideAircraft("KLM1385", -kQuarterTurn, 0.5 * kFeetPerNm);
  struct Case {
    const char* what;
    double headingRadians;
    double altitudeAboveGroundFeet;
    bool removed;
  };
  const Case cases[] = {
      {"flying past it at 300 ft", besideHeading, 300.0, false},
      {"heading for it at 600 ft", besideHeading + kQuarterTurn, 600.0, false},
      {"heading for it at 300 ft", besideHeading + kQuarterTurn, 300.0, true},
  };
  for (const Case& c : cases) {
    placeUser(beside, c.headingRadians, c.altitudeAboveGroundFeet, false);
    if (c.removed) {
      EXPECT_TRUE(waitForRemoval("KLM1385")) << c.what;
    } else {
      letSecondsPass(3);
      EXPECT_FALSE(removed("KLM1385")) << c.what;
    }
  }
  EXPECT_FALSE(removed("KLM1386")) << "one a second, and it is 80 m off the line";
  EXPECT_FALSE(removed("EIN605"));
  EXPECT_NE(harness_.log().find("T3      : KLM1385  removed: on the ground 0.50 nm from the user aircraft flying "
                                "300 ft above ground, 0 ft off its line of flight (limit 50 ft)\n"),
            std::string::npos)
      << harness_.log();
}

TEST_F(MakeWayTest, AnAircraftWhoseLineOfFlightPassesCloseAtTheUsersHeightIsRemoved) {
  struct Case {
    const char* what;
    double turnRadians;  // where the user is, seen from EIN605's heading
    double heightAboveFeet;
    bool removed;
  };
  liftOff();
  const Case cases[] = {
      {"2 nm abeam at its height", -kQuarterTurn, 0.0, false},
      {"2 nm ahead 1,200 ft higher", 0.0, 1200.0, false},
      {"2 nm ahead at its height", 0.0, 0.0, true},
  };
  for (const Case& c : cases) {
    const platform::SimObjectState aircraft = stateOf("EIN605");
    placeUser(besideAircraft("EIN605", c.turnRadians, 2.0 * kFeetPerNm),
              aircraft.headingRadians + std::numbers::pi,
              aircraft.altitudeFeet - kGroundFeet + c.heightAboveFeet, false);
    if (c.removed) {
      EXPECT_TRUE(waitForRemoval("EIN605")) << c.what;
    } else {
      letSecondsPass(3);
      EXPECT_FALSE(removed("EIN605")) << c.what;
    }
  }
  EXPECT_FALSE(removed("KLM1385"));
  EXPECT_FALSE(removed("KLM1386"));
  // EIN605 flies on at 180 kt while the rule looks once a second: the
  // figures are those of the second it went, within 2 nm and at about the
  // user's height. It has no stand: ten blanks stand for the label.
  const std::string line = logLineWith("EIN605   removed: ");
  std::smatch figures;
  ASSERT_TRUE(std::regex_match(line, figures,
                               std::regex("          EIN605   removed: its line of flight passes (\\d+) ft from the "
                                          "user aircraft \\(limit 700 ft\\), (\\d\\.\\d\\d) nm away and "
                                          "(\\d+) ft apart in height")))
      << harness_.log();
  EXPECT_LE(std::stoi(figures[1]), 700);
  EXPECT_LE(std::stod(figures[2]), 2.0);
  EXPECT_LT(std::stoi(figures[3]), 50);
}

// The same with static aircraft on the stands that the live ones leave
// free: T1, T5 and T6, all three wanted.
class MakeWayWithStaticsTest : public MakeWayTest {
 protected:
  std::string airportStands() const override { return airportFile(kUserStand + eastStands({1, 5, 6})); }

  struct Parked {
    std::string label;  // "<stand:8>: <callsign:8>"
    std::uint32_t objectId = 0;
    GeoPoint stand;
  };

  void SetUp() override {
    harness_.storeSettings({{"SIM_CHOICE", "MSFS 2020"}, {"CUSTOM_PARKING_PERCENTAGE", "100"}});
    MakeWayTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(ProgramHarness::waitFor([this] { return findStatic(); }, 30s)) << harness_.log();
  }

  // The first static aircraft in the simulator, read on the worker.
  bool findStatic() {
    onWorker(harness_, [this] {
      const TrafficEngine& engine = harness_.session().engine();
      for (const StaticAc& aircraft : engine.staticAircraft()) {
        if (aircraft.state == SimState::active) {
          parked_ = {fmt::format("{:8}: {:8}", engine.standLabel(aircraft.standId), aircraft.base.identity.callsign),
                     aircraft.objectId,
                     {aircraft.standLatitude, aircraft.standLongitude}};
          return;
        }
      }
    });
    return parked_.objectId != 0;
  }

  Parked parked_;
};

TEST_F(MakeWayWithStaticsTest, AStaticAircraftBesideTheUserOnTheGroundGoesWithItsFigures) {
  // 15 m south of its stand, the next stands 82 m east and west.
  placeUser(gf_destination(parked_.stand, std::numbers::pi, 15.0 / kMetersPerNm * kFeetPerNm), 0.0, 0.0, true);
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return harness_.sim().object(parked_.objectId)->removed; }, 10s))
      << harness_.log();
  // Half spans 17.9 m and 17.955 m, x 1.1.
  EXPECT_EQ(logLineWith(parked_.label + " removed: "),
            parked_.label + " removed: 15 m from the user aircraft on the ground (limit 39 m)");
}

TEST_F(MakeWayWithStaticsTest, AnAircraftTheSimulatorRemovesUnaskedIsNamedInTheLog) {
  struct Case {
    std::string label;
    std::uint32_t objectId;
  };
  const Case cases[] = {{"T2      : KLM1386 ", objects_.at("KLM1386")}, {parked_.label, parked_.objectId}};
  for (const Case& c : cases) {
    ASSERT_TRUE(harness_.sim().removeObjectFromSimulator(c.objectId)) << c.label;
    EXPECT_TRUE(harness_.waitForLog(c.label + " removed by the simulator itself\n", 10s)) << harness_.log();
  }
}

// The rules that remove aircraft without the user aircraft, each run on
// one world clock faster than real time.

// The line of the log that holds the piece; empty when none.
std::string lineWith(const std::string& log, const std::string& piece) {
  const std::size_t at = log.find(piece);
  if (at == std::string::npos) return {};
  const std::size_t begin = log.rfind('\n', at) + 1;  // npos + 1 is 0
  return log.substr(begin, log.find('\n', at) - begin);
}

// The most common removal of a session: a flight leaves the area of the
// feed, its records end, and its path runs out beyond the traffic range
// less half a mile, where no legs are made up for it. EIN605 flies east
// from the user at 240 kt out to 11 nm, heard every 4 s; the range, and so
// the feed's area, ends at 10 nm.
TEST(RecordsEndTest, AnAircraftWhoseRecordsEndBeyondTheRangeIsNamedInTheLogWithItsDistance) {
  ProgramHarness harness([](SessionOptions& options) { options.scanLiveries = buildLiveries; }, kTestSpeedUp,
                         WorldPace::sessionClock);
  harness.storeSettings({{"SIM_CHOICE", "MSFS 2020"}, {"AUTO_RANGE", "false"}, {"RANGE", "10"}});
  const GeoPoint user{52.3105, 4.7683};
  standin::ScenarioFlight flight{.hexId = "4ca7b4", .callsign = "EIN605", .icaoType = "A320", .registration = "EI-DVM",
                                 .departure = "EIDW", .destination = "EDDF", .points = {}, .heardOnlyAtPoints = true};
  for (int second = 0; second <= 150; second += 4) {
    const double fromUserNm = 11.0 - (150 - second) * 240.0 / 3600.0;
    const GeoPoint at = gf_destination(user, kQuarterTurn, fromUserNm * kFeetPerNm);
    flight.points.push_back({static_cast<double>(second), at.latitude, at.longitude, 6000, 240, 90, 0, false});
  }
  standin::Scenario scenario;
  scenario.startEpochSeconds = harness.worldEpochSeconds();
  scenario.flights.push_back(flight);
  harness.rt().setScenario(scenario);
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  ASSERT_TRUE(harness.waitForLog("EIN605   removed: ", 30s)) << harness.log();
  const std::string line = lineWith(harness.log(), "EIN605   removed: ");
  std::smatch figures;
  ASSERT_TRUE(std::regex_match(line, figures,
                               std::regex("          EIN605   removed: its path ran out (\\d+\\.\\d\\d) nm from the "
                                          "user aircraft \\(limit 9\\.50 nm\\)")))
      << harness.log();
  EXPECT_GT(std::stod(figures[1]), 9.5);
  EXPECT_LE(std::stod(figures[1]), 10.0);
}

// The user's own requests and the rule against a static twin of a live
// aircraft each name every aircraft they remove. KLM1385 stands at T3,
// EIN605 flies over, static aircraft stand at T1 and T5.
TEST(UserRequestsTest, EachRemovalTheSessionMakesNamesTheAircraftAndTheRule) {
  ProgramHarness harness(
      [](SessionOptions& options) {
        options.scanLiveries = buildLiveries;
        options.engineConfig.stands = &parkAirportStands();
      },
      kTestSpeedUp, WorldPace::sessionClock);
  harness.storeSettings({{"SIM_CHOICE", "MSFS 2020"}, {"CUSTOM_PARKING_PERCENTAGE", "100"}});
  writeFile(harness.folder() / "airports" / "my_thirdparty" / "EHAM.xml", airportFile(kUserStand + eastStands({1, 5})));
  standin::Scenario scenario = schipholTraffic();
  scenario.startEpochSeconds = harness.worldEpochSeconds() - 60;
  std::erase_if(scenario.flights, [](const standin::ScenarioFlight& f) { return f.callsign == "KLM1386"; });
  harness.rt().setScenario(scenario);
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  Session& session = harness.session();
  // The callsigns of the aircraft in the simulator, read on the worker.
  const auto inSimulator = [&] {
    std::set<std::string> callsigns;
    onWorker(harness, [&] {
      for (const LiveAc& a : session.engine().liveAircraft()) {
        if (a.state == SimState::active) callsigns.insert(a.base.identity.callsign);
      }
      for (const StaticAc& a : session.engine().staticAircraft()) {
        if (a.state == SimState::active) callsigns.insert(a.base.identity.callsign);
      }
    });
    return callsigns;
  };
  const std::set<std::string> expected{"EIN605", "KLM1385", "KLM701*", "KLM705*"};
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return inSimulator() == expected; }, 30s)) << harness.log();

  struct Case {
    std::function<void()> ask;
    std::string line;
  };
  const Case cases[] = {
      // The static at T1 turns out to be the live KLM1385 by its registration.
      {[&] {
         onWorker(harness, [&] {
           for (StaticAc& a : session.engine().staticAircraft()) {
             if (a.base.identity.callsign == "KLM701*") a.base.identity.registration = "PH-BXA";
           }
         });
       },
       "T1      : KLM701*  removed: the live KLM1385 on the ground has its registration PH-BXA"},
      {[&] {
         onWorker(harness, [&] {
           par_BLOCK_CALLSIGN.setValue("EIN605");
           session.blockRequest.exchange(true);
         });
       },
       "          EIN605   removed: its callsign is blocked (BLOCK_CALLSIGN)"},
      {[&] { session.flushStaticRequested.exchange(true); },
       "T5      : KLM705*  removed: the static aircraft were flushed (Flush static)"},
      {[&] { onWorker(harness, [&] { session.removeAllTraffic(); }); },
       "T3      : KLM1385  removed: the traffic starts again at the new time shift"},
  };
  for (const Case& c : cases) {
    c.ask();
    // The rule against a twin looks once a minute.
    EXPECT_TRUE(harness.waitForLog(c.line + "\n", 10s)) << c.line << "\n" << harness.log();
  }
}

}  // namespace
}  // namespace crv::testing
