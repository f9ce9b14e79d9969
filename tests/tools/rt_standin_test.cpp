#include "tools/rt-standin/rt_standin.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>

#include "tools/rt-standin/scenario.h"

namespace crv::standin {
namespace {

using nlohmann::json;

json scenarioDocument() {
  return json::parse(R"({
    "start_epoch": 1796464800,
    "metar_station": "EHAM", "qnh": 1008,
    "flights": [ { "hex": "484f6d", "callsign": "KLM1234", "type": "B738", "registration": "PH-BXA",
                   "from": "EHAM", "to": "EGLL",
                   "points": [ [0, 52.30, 4.76, 0, 0, 240, 0, true],
                               [60, 52.32, 4.70, 1000, 150, 250, 2000, false],
                               [120, 52.36, 4.60, 3000, 200, 270, 2000, false] ] } ],
    "parked": [ { "hex": "4840d6", "lat": 52.31, "lon": 4.77, "spot": "D4", "type": "B744",
                  "registration": "PH-BFA", "callsign": "KLM591", "age_s": 600 } ]
  })");
}

TEST(ParseFormBodyTest, DecodesPercentEscapesAndPlusSigns) {
  const auto form = parseFormBody("license=a%26b%3Dc&software=CRVN_11.0.2&x=a+b&empty=&flag");
  EXPECT_EQ(form.at("license"), "a&b=c");
  EXPECT_EQ(form.at("software"), "CRVN_11.0.2");
  EXPECT_EQ(form.at("x"), "a b");
  EXPECT_EQ(form.at("empty"), "");
  EXPECT_EQ(form.at("flag"), "");
  EXPECT_EQ(percentDecode("%zz%4"), "%zz%4");
}

TEST(ScenarioTest, InterpolatesAFlightBetweenItsPoints) {
  const Scenario scenario = Scenario::fromJson(scenarioDocument());
  ASSERT_EQ(scenario.flights.size(), 1u);
  const auto& flight = scenario.flights[0];
  EXPECT_FALSE(flightStateAt(flight, -1.0));
  EXPECT_FALSE(flightStateAt(flight, 121.0));
  const auto middle = flightStateAt(flight, 90.0);
  ASSERT_TRUE(middle);
  EXPECT_NEAR(middle->latitude, 52.34, 1e-9);
  EXPECT_NEAR(middle->altitudeFeet, 2000.0, 1e-9);
  EXPECT_NEAR(middle->trackDegrees, 260.0, 1e-9);
  EXPECT_FALSE(middle->onGround);
  EXPECT_TRUE(flightStateAt(flight, 10.0)->onGround);

  const json array = liveTrafficArray(flight, *middle, 1796464890.0);
  ASSERT_EQ(array.size(), 48u);
  EXPECT_EQ(array[0], "484f6d");
  EXPECT_EQ(array[13], "KLM1234");
  EXPECT_EQ(array[10], 1796464890.0);
  EXPECT_EQ(array[4], 2000);
}

TEST(ScenarioTest, AnswersEachAreaAndTime) {
  const Scenario scenario = Scenario::fromJson(scenarioDocument());
  const AreaBox around{52.8, 51.8, 4.0, 5.5};
  const AreaBox elsewhere{10.0, 9.0, 4.0, 5.5};
  EXPECT_EQ(liveTrafficData(scenario, around, scenario.startEpochSeconds, 1796464830.0).size(), 1u);
  EXPECT_TRUE(liveTrafficData(scenario, elsewhere, scenario.startEpochSeconds, 1796464830.0).empty());
  EXPECT_TRUE(liveTrafficData(scenario, around, scenario.startEpochSeconds, 1796465800.0).empty());
  const json parked = parkedTrafficData(scenario, around, 1796464800.0);
  ASSERT_TRUE(parked.contains("4840d6"));
  EXPECT_EQ(parked["4840d6"][2], "D4");
  EXPECT_EQ(parked["4840d6"][5], 1796464200);
}

TEST(ScenarioTest, TheSampleScenarioIsValid) {
  const Scenario scenario = Scenario::load(CRVN_RT_STANDIN_SAMPLE);
  EXPECT_EQ(scenario.flights.size(), 2u);
  EXPECT_EQ(scenario.parked.size(), 3u);
}

TEST(ScenarioTest, AMalformedScenarioIsRefusedWithItsReason) {
  json document = scenarioDocument();
  document["flights"][0]["points"][1][0] = 0;
  EXPECT_THROW(Scenario::fromJson(document), std::runtime_error);
  document = scenarioDocument();
  document["flights"][0]["points"][0] = json::array({0, 52.3});
  EXPECT_THROW(Scenario::fromJson(document), std::runtime_error);
  EXPECT_THROW(Scenario::fromJson(json::array()), std::runtime_error);
  document = scenarioDocument();
  document["start_epoch"] = 1e300;
  EXPECT_THROW(Scenario::fromJson(document), std::runtime_error);
  EXPECT_THROW(Scenario::load("/nonexistent/scenario.json"), std::runtime_error);
}

TEST(RtStandInTest, AHistoryRequestAsksForAtMostAHundredSnapshots) {
  RtStandIn standIn;
  standIn.setScenario(Scenario::fromJson(scenarioDocument()));
  httplib::Client client("127.0.0.1", standIn.port());
  const auto snapshotsFor = [&client](const std::string& count) -> std::size_t {
    const auto answer = client.Post("/v4/traffic", "buffercount=" + count + "&buffertime=10",
                                    "application/x-www-form-urlencoded");
    if (!answer || answer->status != 200) {
      ADD_FAILURE() << "no answer for buffercount=" << count;
      return 0;
    }
    return json::parse(answer->body).at("data").size();
  };
  EXPECT_EQ(snapshotsFor("3"), 3u);
  EXPECT_EQ(snapshotsFor("1e30"), 100u);
  EXPECT_EQ(snapshotsFor("-1e30"), 0u);
  EXPECT_EQ(snapshotsFor("nan"), 0u);
}

// A stand-in on a clock of its own answers the flight where that clock puts
// it, with the clock's time as the record's; a push back sends no true
// heading, as many transponders on the ground.
TEST(RtStandInTest, ItsFlightsMoveOnTheClockItIsGiven) {
  Scenario scenario = Scenario::fromJson(scenarioDocument());
  scenario.flights[0].points[1].reportsHeading = false;
  RtStandIn standIn;
  std::atomic<double> epoch{1796464800.0 + 90.0};
  standIn.setEpochClock([&epoch] { return epoch.load(); });
  standIn.setScenario(scenario);
  httplib::Client client("127.0.0.1", standIn.port());
  const auto aircraftNow = [&client]() -> json {
    const auto answer = client.Post("/v4/traffic", "querytype=locationtraffic&top=53&bottom=52&left=4&right=5",
                                    "application/x-www-form-urlencoded");
    if (!answer || answer->status != 200) {
      ADD_FAILURE() << "no answer";
      return json();
    }
    return json::parse(answer->body).at("data").value("484f6d", json());
  };
  json aircraft = aircraftNow();
  ASSERT_TRUE(aircraft.is_array());
  EXPECT_NEAR(aircraft[1].get<double>(), 52.34, 1e-9);
  EXPECT_EQ(aircraft[10], 1796464890.0);
  EXPECT_EQ(aircraft[25], 260.0);
  epoch.store(1796464800.0 + 70.0);
  aircraft = aircraftNow();
  ASSERT_TRUE(aircraft.is_array());
  EXPECT_TRUE(aircraft[25].is_null()) << aircraft[25];
  EXPECT_NEAR(aircraft[1].get<double>(), 52.32 + 0.04 / 6.0, 1e-9);
}

// A flight heard only at its points is served as a real feed serves it: the
// last point heard with that point's own time until the next, nothing
// interpolated; a point without an altitude is served without one.
TEST(ScenarioTest, AFlightHeardOnlyAtItsPointsIsServedAsItsLastPointWithItsOwnTime) {
  json document = scenarioDocument();
  document["flights"][0]["heard_only_at_points"] = true;
  Scenario scenario = Scenario::fromJson(document);
  scenario.flights[0].points[0].reportsAltitude = false;
  const AreaBox box{53.0, 52.0, 4.0, 5.0};
  const json early = liveTrafficData(scenario, box, 1796464800, 1796464800.0 + 30.0).at("484f6d");
  EXPECT_EQ(early[10], 1796464800.0);
  EXPECT_NEAR(early[1].get<double>(), 52.30, 1e-9);
  EXPECT_TRUE(early[4].is_null()) << early[4];
  const json later = liveTrafficData(scenario, box, 1796464800, 1796464800.0 + 119.5).at("484f6d");
  EXPECT_EQ(later[10], 1796464800.0 + 60.0);
  EXPECT_NEAR(later[1].get<double>(), 52.32, 1e-9);
  EXPECT_EQ(later[4], 1000);
  const auto between = flightStateAt(scenario.flights[0], 90.0);
  ASSERT_TRUE(between);
  EXPECT_EQ(between->secondsFromStart, scenario.flights[0].points[1].secondsFromStart);

  document["flights"][0]["heard_only_at_points"] = "yes";
  EXPECT_THROW(Scenario::fromJson(document), std::runtime_error);
}

}  // namespace
}  // namespace crv::standin
