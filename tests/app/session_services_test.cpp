// What the session gives the rest of the program while it runs: the
// automatic range that the window or an airport file switches, the watch of
// an aircraft through the Oid box while the aircraft gets a special livery,
// and the stored choices taking effect at the start.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "aircraftdata/livery_database.h"
#include "airports/airport_overrides.h"
#include "app/status_panel.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "platform/window/control_model.h"
#include "tests/app/program_harness.h"
#include "tests/app/window_user.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

pugi::xml_document airportFile(const std::string& parameters) {
  pugi::xml_document document;
  document.load_string(("<parameters>" + parameters + "</parameters>").c_str());
  return document;
}

std::string shownRange() {
  const auto item = platform::mainWindowControls().selectedItem(par_RANGE.controlId());
  return item ? std::string(item->begin(), item->end()) : std::string();
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

TEST(SessionServicesTest, TheWindowAndAnAirportFileSwitchTheAutomaticRangeOnAndOffInARunningSession) {
  ProgramHarness harness;
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return harness.session().link().user().userOnGround.load(); }, 10s));

  // The window's box: on the ground the automatic range is 10 nm; switching
  // it off gives back the RANGE read at the session start.
  const std::int32_t rangeAtStart = par_RANGE.value();
  harness.session().postToWorker([&] { harness.session().updateAutoRange(); });
  ASSERT_TRUE(ProgramHarness::waitFor([] { return par_RANGE.value() == 10; }, 10s));
  harness.session().autoRangeSwitchedOff();
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return par_RANGE.value() == rangeAtStart; }, 10s));

  // An airport file read by the worker (the parking calculation): applied
  // at once, the airport's own range becoming the manual range.
  std::int32_t rangeRightAfter = 0;
  onWorker(harness, [&] {
    applyAirportOverrides(airportFile(R"(<parameter name="LATERAL_RANGE" value="65"/>)"
                                      R"(<parameter name="AUTO_RANGE" value="true"/>)"));
    rangeRightAfter = par_RANGE.value();
  });
  EXPECT_EQ(rangeRightAfter, 10);
  EXPECT_EQ(shownRange(), "10");

  // From another thread: queued for the worker, RANGE back to the manual range.
  applyAirportOverrides(airportFile(R"(<parameter name="AUTO_RANGE" value="false"/>)"));
  ASSERT_TRUE(ProgramHarness::waitFor([] { return par_RANGE.value() == 65; }, 10s));
  EXPECT_TRUE(ProgramHarness::waitFor([] { return shownRange() == "65"; }, 10s));
}

// A RANGE between two listed radii is the radius in effect as stored, and
// the manual range that switching the automatic range off gives back.
TEST(SessionServicesTest, ARadiusBetweenTwoListedOnesIsKeptAtTheStartAndThroughTheAutomaticRange) {
  ProgramHarness harness;
  harness.storeSettings({{"RANGE", "7"}, {"AUTO_RANGE", "false"}});
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  EXPECT_EQ(par_RANGE.value(), 7);
  EXPECT_EQ(trafficRangeNm(), 7.0);
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return harness.session().link().user().userOnGround.load(); }, 10s));

  WindowUser user(harness.window());
  ASSERT_TRUE(user.click(par_AUTO_RANGE.controlId()));
  ASSERT_TRUE(ProgramHarness::waitFor([] { return par_RANGE.value() == 10; }, 10s)) << par_RANGE.value();
  ASSERT_TRUE(user.click(par_AUTO_RANGE.controlId()));
  EXPECT_TRUE(ProgramHarness::waitFor([] { return par_RANGE.value() == 7 && trafficRangeNm() == 7.0; }, 10s))
      << par_RANGE.value();
}

// A radius chosen while the worker has not yet given back the manual range
// of a switch-off stays the radius in effect.
TEST(SessionServicesTest, ARadiusChosenRightAfterTheAutomaticRangeIsSwitchedOffIsKept) {
  ProgramHarness harness;
  harness.storeSettings({{"AUTO_RANGE", "true"}});
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return harness.session().link().user().userOnGround.load(); }, 10s));
  harness.session().postToWorker([&] { harness.session().updateAutoRange(); });
  ASSERT_TRUE(ProgramHarness::waitFor([] { return par_RANGE.value() == 10; }, 10s)) << par_RANGE.value();

  // The worker is held while the user switches the automatic range off and
  // at once picks a radius other than the manual range.
  std::atomic<bool> held{false};
  std::atomic<bool> release{false};
  // However the test ends, the worker goes on.
  struct Release {
    std::atomic<bool>& flag;
    ~Release() { flag.store(true); }
  } releaseAtEnd{release};
  harness.session().postToWorker([&] {
    held.store(true);
    while (!release.load()) std::this_thread::sleep_for(1ms);
  });
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return held.load(); }, 10s));
  WindowUser user(harness.window());
  ASSERT_TRUE(user.click(par_AUTO_RANGE.controlId()));
  ASSERT_TRUE(ProgramHarness::waitFor(
      [] {
        const auto range = platform::mainWindowControls().control(par_RANGE.controlId());
        return !par_AUTO_RANGE.value() && range && range->enabled;
      },
      10s));
  const std::vector<std::int32_t>& radii = par_RANGE.allowedValues();
  const auto chosen = std::find(radii.begin(), radii.end(), 65);
  ASSERT_NE(chosen, radii.end());
  ASSERT_TRUE(user.choose(par_RANGE.controlId(), static_cast<int>(chosen - radii.begin())));
  ASSERT_TRUE(ProgramHarness::waitFor([] { return par_RANGE.value() == 65; }, 10s));
  release.store(true);

  // Once the worker has run what waited, the chosen radius stands.
  std::atomic<bool> caughtUp{false};
  harness.session().postToWorker([&] { caughtUp.store(true); });
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return caughtUp.load(); }, 10s));
  EXPECT_EQ(par_RANGE.value(), 65);
  EXPECT_EQ(shownRange(), "65");
}

// In the air up to AIRP_HEIGHT the automatic range follows the distance to
// the first park airport (10 nm within 7 nm, then the distance and 3 nm
// snapped to a range, 40 nm from 37 nm); above it 40 nm, and 100 nm above
// AR_ABOVE_HEIGHT.
TEST(SessionServicesTest, InTheAirTheAutomaticRangeFollowsTheParkAirportUpToTheAirportHeight) {
  std::atomic<double> parkAirportNm{0.0};
  ProgramHarness harness([&](SessionOptions& options) {
    options.firstParkAirportDistanceNm = [&](GeoPoint) { return parkAirportNm.load(); };
  });
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  Session& session = harness.session();
  const double airportHeightFeet = par_AIRP_HEIGHT.value();
  const double autoRangeAboveFeet = par_AR_ABOVE_HEIGHT.value();

  const struct {
    double altitudeFeet;
    double parkAirportNm;
    std::int32_t rangeNm;
  } cases[] = {
      {3000.0, 7.0, 10},         {3000.0, 7.6, 12},
      {3000.0, 14.0, 18},        {3000.0, 33.4, 35},
      {3000.0, 37.0, 40},        {airportHeightFeet, 14.0, 18},
      {airportHeightFeet + 1.0, 5.0, 40}, {autoRangeAboveFeet + 1.0, 5.0, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(fmt::format("{} ft, {} nm", c.altitudeFeet, c.parkAirportNm));
    harness.sim().updateObjectState(harness.sim().userObjectId(), [&](platform::SimObjectState& user) {
      user.altitudeFeet = c.altitudeFeet;
      user.groundAltitudeFeet = 0.0;
      user.altitudeAboveGroundFeet = c.altitudeFeet;
      user.onGround = false;
    });
    parkAirportNm.store(c.parkAirportNm);
    ASSERT_TRUE(ProgramHarness::waitFor(
        [&] {
          return !session.link().user().userOnGround.load() &&
                 session.link().user().data().altitudeFeet == c.altitudeFeet;
        },
        10s));
    onWorker(harness, [&] { session.updateAutoRange(); });
    EXPECT_EQ(par_RANGE.value(), c.rangeNm);
  }
}

constexpr const char* kSpecialTitle = "Aer Lingus A320 Saint Patrick";

// EIN605 crosses Schiphol eastbound at 6,000 ft, 180 kt; it set out a
// minute ago, 8 nm west.
standin::Scenario overflight() {
  standin::Scenario scenario;
  scenario.startEpochSeconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count() -
      60;
  scenario.flights.push_back({.hexId = "4ca7b4", .callsign = "EIN605", .icaoType = "A320", .registration = "EI-DVM",
                              .departure = "EIDW", .destination = "EDDF",
                              .points = {{0, 52.31, 4.55, 6000, 180, 90, 0, false},
                                         {600, 52.31, 5.37, 6000, 180, 90, 0, false}}});
  return scenario;
}

// EIN605 (an A320, EI-DVM) has a livery of its own; EI-FNH has a special
// one, of another type so that EIN605 is never given it at random.
void buildLiveries() {
  LiveryList liveries = {{"EIN", "A320", "Aer Lingus A320", "", 0, false},
                         {"EIN", "A20N", kSpecialTitle, "EI-FNH", 0, false},
                         {"KLM", "B738", "KLM Boeing 737-800", "", 0, false}};
  sortScannedLiveries(liveries);
  liveryDatabase().build(liveries);
}

LiveAc* liveAc(Session& session, const std::string& callsign) {
  for (LiveAc& aircraft : session.engine().liveAircraft()) {
    if (aircraft.base.identity.callsign == callsign) return &aircraft;
  }
  return nullptr;
}

TEST(SessionServicesTest, TheWatchFollowsAnAircraftThroughItsLiveryRespawnForASpecialLivery) {
  ProgramHarness harness([](SessionOptions& options) { options.scanLiveries = buildLiveries; });
  harness.rt().setScenario(overflight());
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  Session& session = harness.session();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return session.display().liveInSim.load() >= 1; }, 60s))
      << harness.log();

  // The Oid box asks for EIN605.
  par_CALLSIGN_2_OBJECTID.setValue("EIN605");
  session.objectIdLookupRequest.store(true);
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return session.engine().watchedObjectId() != 0; }, 10s));
  const std::uint32_t firstObject = session.engine().watchedObjectId();
  EXPECT_EQ(panelTexts().objectIdResult, fmt::format("= {}", firstObject));

  // The feed names a registration with a special livery: the aircraft is
  // created again in it, and the box keeps its callsign meanwhile. (The
  // rules hold a respawn back while the path runs on legs of its own, which
  // a slow machine may bring; then the record is offered again.)
  par_GUID_CHANGES.setValue(true);
  bool respawned = false;
  std::string callsignShown;
  ASSERT_TRUE(ProgramHarness::waitFor(
      [&] {
        onWorker(harness, [&] {
          LiveAc* aircraft = liveAc(session, "EIN605");
          ASSERT_NE(aircraft, nullptr);
          LiveTrafficRecord record;
          record.identity = aircraft->base.identity;
          record.identity.registration = "EI-FNH";
          respawned = !session.engine().hooks().respawnIfChanged(*aircraft, record);
          if (respawned) {
            EXPECT_EQ(aircraft->state, SimState::liveryrespawn);
            callsignShown = par_CALLSIGN_2_OBJECTID.value();
            EXPECT_EQ(session.engine().watchedObjectId(), 0U);
            EXPECT_EQ(panelTexts().objectIdResult, "");
          }
        });
        return respawned;
      },
      30s));
  EXPECT_EQ(callsignShown, "EIN605");
  ASSERT_TRUE(ProgramHarness::waitFor(
      [&] {
        const std::uint32_t watched = session.engine().watchedObjectId();
        return watched != 0 && watched != firstObject;
      },
      60s))
      << harness.log();
  EXPECT_EQ(panelTexts().objectIdResult, fmt::format("= {}", session.engine().watchedObjectId()));
  const auto created = harness.sim().object(session.engine().watchedObjectId());
  ASSERT_TRUE(created.has_value());
  EXPECT_EQ(created->title, kSpecialTitle);
}

TEST(SessionServicesTest, StoredTimeShiftDestinationAndStayOnTopTakeEffectAtTheSessionStart) {
  ProgramHarness harness;
  harness.storeSettings({{"KEEP_SIM_TIME_PAR", "true"}, {"SIM_TIME", "false"}, {"TIME_SHIFT_HOURS", "2"},
                         {"TIME_SHIFT_MINS", "30"}, {"DESTINATION", "EGLL"}, {"ALWAYS_ON_TOP", "true"}});

  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  EXPECT_TRUE(harness.window().topmost());
  // The readers ask for traffic 150 minutes back from the first request on.
  const std::vector<std::string> bodies = harness.rt().bodies(standin::kTrafficPath);
  ASSERT_FALSE(bodies.empty());
  EXPECT_NE(bodies.front().find("&toffset=150&"), std::string::npos) << bodies.front();
  platform::ControlModel& controls = platform::mainWindowControls();
  EXPECT_EQ(controls.text(par_TIME_SHIFT_MINS.controlId()), u"30");
  EXPECT_TRUE(controls.control(par_TIME_SHIFT_MINS.controlId())->enabled);
  EXPECT_EQ(controls.text(par_DESTINATION.controlId()), u"EGLL");
  // The destination leads the park airports, its file included.
  EXPECT_TRUE(harness.waitForLog("New destination: EGLL", 20s));
  EXPECT_NE(readFile(programPaths().myParkAirportsFile).find("EGLL"), std::string::npos);
}

TEST(SessionServicesTest, ARunningSessionHasRoomReservedForItsMatchLists) {
  ProgramHarness harness;
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  EXPECT_GE(liveryDatabase().regcodes.specialTitles.capacity(), 4096U);
}

}  // namespace
}  // namespace crv::testing
