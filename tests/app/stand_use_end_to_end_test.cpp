// Live aircraft on the stands of the park airport, through the whole
// program and both stand-ins on one faster clock: a parked aircraft that the
// feed no longer reports hands its stand to one reported standing on it, an
// aircraft seen on its usual stand marks the half hour in its own learned
// entry, under a time shift an arrival learns the traffic's half hour, and
// the static parking keeps the shifted half hour while no traffic comes.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "aircraftdata/livery_database.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/text.h"
#include "tests/app/program_harness.h"
#include "tests/traffic/replay_flights.h"
#include "traffic/traffic_engine.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

constexpr double kWorldSpeedUp = 5.0;
constexpr const char* kMetaBlock =
    R"(<meta><info name="author" value="CRVN"/><info name="version" value="11.0.2"/>)"
    R"(<info name="date" value="Dec 05, 2026"/><info name="MSFS" value="2020"/></meta>)";

// East of the user's aircraft: four stands in a row facing north, 80 m apart.
constexpr GeoPoint kApron{52.3120, 4.7750};

GeoPoint standAt(int column) {
  constexpr double kMetersPerFoot = 0.3048;
  return gf_destination(kApron, 90.0 * kDegreesToRadians, static_cast<double>(column) * 80.0 / kMetersPerFoot);
}

std::string schipholApron() {
  std::string stands;
  for (int column = 0; column < 4; ++column) {
    const GeoPoint stand = standAt(column);
    stands += fmt::format(R"(<parkpos id="A{}" latitude="{:.7f}" longitude="{:.7f}" heading="0.0" radius="20.0")"
                          R"( cargo="false" ramp="false"/>)",
                          column + 1, stand.latitude, stand.longitude);
  }
  return std::string(kMetaBlock) +
         R"(<parameters><parameter name="airport_name" value="Schiphol"/><parameter name="publisher" value="Pub"/>)"
         R"(<parameter name="altitude" value="-11"/></parameters><parkpositions>)" +
         stands + "</parkpositions>";
}

void buildLiveries() {
  LiveryList liveries = {{"EIN", "A320", "Aer Lingus A320", "", 0, false},
                         {"KLM", "B738", "KLM Boeing 737-800", "", 0, false},
                         {"DLH", "A320", "Lufthansa A320", "", 0, false}};
  sortScannedLiveries(liveries);
  liveryDatabase().build(liveries);
}

// Standing still at the place from one second of the scenario to another.
standin::ScenarioFlight standing(std::string hexId, std::string callsign, std::string type, std::string registration,
                                 GeoPoint at, double fromSeconds, double toSeconds) {
  return {.hexId = std::move(hexId), .callsign = std::move(callsign), .icaoType = std::move(type),
          .registration = std::move(registration), .departure = "EGLL", .destination = "EHAM",
          .points = {{fromSeconds, at.latitude, at.longitude, 0, 0, 0, 0, true},
                     {toSeconds, at.latitude, at.longitude, 0, 0, 0, 0, true}}};
}

struct Seen {
  bool known = false;
  SimState state = SimState::buffer;
  FlightPhase phase = FlightPhase::birth;
  std::uint32_t standId = 0;
  std::uint64_t slot = 0;
};

Seen seen(ProgramHarness& harness, std::uint32_t key) {
  Seen result;
  std::atomic<bool> done{false};
  harness.session().postToWorker([&] {
    if (const LiveAc* aircraft = harness.session().engine().findLiveByKey(key)) {
      result = {true, aircraft->state, aircraft->phase, aircraft->standId, aircraft->slot};
    }
    done.store(true);
  });
  ProgramHarness::waitFor([&] { return done.load(); }, 10s);
  return result;
}

// The half hours of the options of the registration in the learned file.
std::vector<std::set<int>> learnedHalfHours(const std::string& learned, const std::string& registration) {
  std::vector<std::set<int>> options;
  const std::regex option(fmt::format(R"re(<opt reg="{}"[^>]* hh="([0-9,]*)")re", registration));
  for (auto it = std::sregex_iterator(learned.begin(), learned.end(), option); it != std::sregex_iterator(); ++it) {
    std::set<int> halfHours;
    for (const std::string& part : splitComma((*it)[1].str())) {
      halfHours.insert(std::stoi(part));
    }
    options.push_back(halfHours);
  }
  return options;
}

class StandUseEndToEnd : public ::testing::Test {
 protected:
  StandUseEndToEnd()
      : harness_(
            [this](SessionOptions& options) {
              options.engineConfig.stands = &stands_;
              options.scanLiveries = buildLiveries;
            },
            kWorldSpeedUp, WorldPace::sessionClock) {
    writeFile(harness_.folder() / "airports" / "my_thirdparty" / "EHAM.xml", schipholApron());
  }

  std::filesystem::path learnedFile() const {
    return harness_.folder() / "airports" / "learned" / "thirdparty" / "Pub" / "EHAM.xml";
  }
  std::uint32_t standId(const std::string& name) const {
    for (const ParkingPosition& stand : stands_) {
      if (stand.name == name) return stand.id;
    }
    return 0;
  }
  std::string closeAndReadLearnedFile() {
    harness_.clickClose();
    EXPECT_TRUE(harness_.waitForExit(30s).has_value());
    return readFile(learnedFile());
  }

  StandTable stands_;
  ProgramHarness harness_;
};

// KLM1001 stands on A2, its usual stand, in the 20 s before it spawns and is not
// reported again; a minute later EIN605 is reported standing there.
TEST_F(StandUseEndToEnd, AStaleParkedAircraftHandsItsStandOnAndAUsualStandIsMarkedInItsOwnEntry) {
  harness_.storeSettings({{"SIM_CHOICE", "MSFS 2020"}, {"LOG", "true"}});
  // The learned entry of KLM1001 on A2 holds a half hour six hours from now.
  const DaySlot now = weekdayAndSlotAt(systemTimeSeconds() + 60);
  const int usualHalfHour = now.halfHour >= 24 ? now.halfHour - 12 : now.halfHour + 12;
  writeFile(learnedFile(),
            fmt::format(R"({}<parameters/><parkpositions><parkpos id="A2"><opt reg="PH-BXA" airl="KLM" type="B738")"
                        R"( day="{}" hh="{}" cs="KLM1001"/></parkpos></parkpositions>)",
                        kMetaBlock, now.weekday, usualHalfHour));
  harness_.rt().setScenario({});
  harness_.start();
  ASSERT_TRUE(harness_.waitUntilRunning()) << harness_.log();
  // From now on, while the program asks.
  standin::Scenario scenario;
  scenario.startEpochSeconds = harness_.worldEpochSeconds() + static_cast<std::int64_t>(harness_.worldSeconds());
  const GeoPoint a2 = standAt(1);
  scenario.flights = {standing("484f6d", "KLM1001", "B738", "PH-BXA", a2, 0.0, 20.0),
                      standing("4ca7b4", "EIN605", "A320", "EI-DVM", gf_destination(a2, 0.0, 3.0), 50.0, 120.0)};
  harness_.rt().setScenario(scenario);

  ASSERT_TRUE(ProgramHarness::waitFor([&] { return seen(harness_, 0x484f6d).phase == FlightPhase::parked; }, 30s))
      << harness_.log();
  EXPECT_EQ(seen(harness_, 0x484f6d).standId, standId("A2"));
  Seen newcomer;
  ProgramHarness::waitFor(
      [&] {
        newcomer = seen(harness_, 0x4ca7b4);
        return newcomer.known && newcomer.state != SimState::buffer;
      },
      40s);
  EXPECT_EQ(newcomer.phase, FlightPhase::parked) << harness_.log();
  EXPECT_EQ(newcomer.standId, standId("A2"));
  const Seen stale = seen(harness_, 0x484f6d);
  EXPECT_TRUE(!stale.known || stale.state == SimState::removingfromsim);
  EXPECT_TRUE(harness_.waitForLog("KLM1001  removed because another live EIN605 wants the stand", 5s))
      << harness_.log();

  const std::vector<std::set<int>> options = learnedHalfHours(closeAndReadLearnedFile(), "PH-BXA");
  ASSERT_EQ(options.size(), 1U) << readFile(learnedFile());
  EXPECT_EQ(options[0].size(), 2U);
  EXPECT_TRUE(options[0].contains(usualHalfHour));
}

// Six hours back in time, DLH4AB taxis to A4 and parks: the half hour of
// its placement and of its learned entry is the traffic's.
TEST_F(StandUseEndToEnd, UnderATimeShiftAnArrivalLearnsTheHalfHourOfTheTraffic) {
  constexpr std::int64_t kShiftSeconds = 6 * 3600;
  harness_.storeSettings(
      {{"SIM_CHOICE", "MSFS 2020"}, {"LOG", "true"}, {"TIME_SHIFT_HOURS", "6"}});
  // The arrival's taxi to A4, from a minute before it stops.
  std::vector<TrackPoint> taxi;
  const std::vector<TrackPoint> arrival = arrivalTo(standAt(3));
  const double stopSeconds = arrival.back().seconds;
  for (const TrackPoint& point : arrival) {
    if (point.seconds >= stopSeconds - 60.0) {
      taxi.push_back(point);
      taxi.back().seconds -= stopSeconds - 60.0;
    }
  }
  standin::ScenarioFlight flight{.hexId = "3c6444", .callsign = "DLH4AB", .icaoType = "A320",
                                 .registration = "D-AIPA", .departure = "EDDF", .destination = "EHAM", .points = {}};
  for (const TrackPoint& point : taxi) {
    standin::FlightPoint served{point.seconds, point.latitude, point.longitude, point.altitudeFeet, point.speedKnots,
                                point.trackDegrees, point.verticalSpeedFpm, true};
    served.reportsHeading = point.reportsHeading;
    flight.points.push_back(served);
  }
  // Reported standing there for long after it parks: without traffic the
  // program has no traffic time.
  flight.points.push_back(flight.points.back());
  flight.points.back().secondsFromStart += 240.0;
  standin::Scenario scenario;
  scenario.startEpochSeconds = harness_.worldEpochSeconds() - kShiftSeconds;
  scenario.flights = {flight};
  harness_.rt().setScenario(scenario);
  harness_.start();
  ASSERT_TRUE(harness_.waitUntilRunning()) << harness_.log();

  const auto trafficSlot = [&] {
    return weekdayAndSlotAt(harness_.worldEpochSeconds() - kShiftSeconds +
                            static_cast<std::int64_t>(harness_.worldSeconds()));
  };
  const DaySlot before = trafficSlot();
  Seen parked;
  ASSERT_TRUE(ProgramHarness::waitFor(
      [&] {
        parked = seen(harness_, 0x3c6444);
        return parked.phase == FlightPhase::parked && parked.slot != 0;  // arrived on the stand
      },
      40s))
      << harness_.log();
  const DaySlot after = trafficSlot();
  EXPECT_EQ(parked.standId, standId("A4")) << harness_.log();
  EXPECT_TRUE(parked.slot == before.packed() || parked.slot == after.packed())
      << parked.slot << " against the traffic's " << before.packed() << " to " << after.packed();
  EXPECT_NE(parked.slot, weekdayAndSlotAt(systemTimeSeconds()).packed());

  const std::vector<std::set<int>> options = learnedHalfHours(closeAndReadLearnedFile(), "D-AIPA");
  ASSERT_EQ(options.size(), 1U) << readFile(learnedFile()) << harness_.log();
  EXPECT_TRUE(options[0].contains(before.halfHour) || options[0].contains(after.halfHour));
}

// Six hours back in time with no traffic in range: every batch is empty, and
// the static parking still works in the shifted half hour, shown with the
// shifted clock of that same half hour; the engine keeps that clock as more
// empty batches come.
TEST_F(StandUseEndToEnd, UnderATimeShiftWithoutTrafficTheParkingKeepsTheShiftedHalfHour) {
  constexpr std::int64_t kShiftSeconds = 6 * 3600;
  const auto shiftedSlot = [] { return weekdayAndSlotAt(systemTimeSeconds() - kShiftSeconds); };
  harness_.storeSettings({{"SIM_CHOICE", "MSFS 2020"}, {"TIME_SHIFT_HOURS", "6"}});
  harness_.rt().setScenario({});
  DaySlot before = shiftedSlot();
  harness_.start();
  ASSERT_TRUE(harness_.waitForLog("(utc) It is day", 40s)) << harness_.log();
  DaySlot after = shiftedSlot();

  const std::string log = harness_.log();
  std::smatch line;
  const std::regex parkingLine(
      R"((\S*) ?([0-9]{2}):([0-9]{2}):([0-9]{2}) \(utc\) It is day ([0-9]) \([A-Za-z]{3}\), ([0-9.]+) hours)");
  ASSERT_TRUE(std::regex_search(log, line, parkingLine)) << log;
  EXPECT_EQ(line[1].str(), "<<<") << line[0].str();
  const DaySlot logged{std::stoi(line[5].str()), static_cast<int>(std::stod(line[6].str()) * 2.0 - 1.0)};
  EXPECT_TRUE(logged == before || logged == after)
      << line[0].str() << " against the shifted " << before.halfHour << " to " << after.halfHour;
  const int shownSecond = std::stoi(line[2].str()) * 3600 + std::stoi(line[3].str()) * 60 + std::stoi(line[4].str());
  EXPECT_EQ(halfHourSlotAt(shownSecond), logged.halfHour) << line[0].str();

  const std::size_t requests = harness_.rt().requestCount(standin::kTrafficPath);
  ASSERT_TRUE(harness_.rt().waitForRequests(standin::kTrafficPath, requests + 3, 20s));
  before = shiftedSlot();
  DaySlot engineSlot;
  std::atomic<bool> asked{false};
  harness_.session().postToWorker([&] {
    engineSlot = harness_.session().engine().currentSlot();
    asked.store(true);
  });
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return asked.load(); }, 10s));
  after = shiftedSlot();
  EXPECT_TRUE(engineSlot == before || engineSlot == after)
      << engineSlot.halfHour << " against the shifted " << before.halfHour << " to " << after.halfHour;
}

}  // namespace
}  // namespace crv::testing
