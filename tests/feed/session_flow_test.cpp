// The feed end to end against the stand-in serving a scenario: login, both
// readers, closing down and logout.

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include <fmt/format.h>

#include "feed/login.h"
#include "feed/reader_threads.h"
#include "foundation/session_flags.h"
#include "tests/feed/feed_test_support.h"
#include "tools/rt-standin/rt_standin.h"

namespace crv {
namespace {

using namespace std::chrono_literals;

constexpr GeoPoint kSchiphol{52.3086, 4.7639};

TEST(SessionFlowTest, AScenarioFlightTravelsFromTheStandInToTheIntake) {
  testing::resetFeedGlobals();
  testing::installTestAircraftDatabase();
  testing::LogCapture log;
  standin::RtStandIn standIn;
  standIn.setPace(20, 20);
  standIn.setScenario(standin::Scenario::load(CRVN_RT_STANDIN_SAMPLE));

  testing::BatchRecorder recorder;
  std::atomic<int> engineQnh{0};
  FeedDisplay display;
  FeedHooks hooks;
  hooks.userPosition = [] { return kSchiphol; };
  hooks.userAltitudeFeet = [] { return 0.0; };
  hooks.parkAirportPosition = [] { return std::optional<GeoPoint>(kSchiphol); };
  hooks.reservedStandName = [] { return std::string("E18"); };
  hooks.userStandName = [] { return std::string("F4"); };
  hooks.intakeTrafficBatch = [&](std::vector<LiveTrafficRecord>& batch, std::uint32_t delay) {
    recorder.intake(batch, delay);
  };
  hooks.publishEngineQnh = [&](int qnh) { engineQnh.store(qnh); };
  hooks.display = &display;
  const FeedConfig config = testing::testConfig(standIn.endpoint(), "key");
  WeatherReader weather(config, hooks);
  TrafficReader traffic(config, hooks);
  weather.setTrafficReader(&traffic);

  authenticater(weather, traffic);
  ASSERT_EQ(traffic.guid(), standin::Scenario{}.guid);
  std::thread weatherThread([&] { gf_weatherReader(weather, traffic); });
  std::thread trafficThread([&] { gf_trafficReader(traffic, weather); });

  ASSERT_TRUE(recorder.waitForCount(6, 5s));
  const auto start = std::chrono::steady_clock::now();
  while (engineQnh.load() == 0 && std::chrono::steady_clock::now() - start < 5s) {
    std::this_thread::sleep_for(10ms);
  }
  const bool parked = traffic.requestParkedTraffic(kSchiphol);

  weather.requestStop();
  traffic.requestStop();
  weatherThread.join();
  trafficThread.join();
  deauthenticate(traffic);

  // At scenario second 0 the departure stands at its gate, near the park
  // airport, and the arrival is at 9000 ft 22 nm west.
  const auto batches = recorder.batches();
  const auto& live = batches[5];
  EXPECT_EQ(live.delaySeconds, 30u);
  std::set<std::string> aircraft;  // key, callsign and type of the departure or registration, airborne
  for (const LiveTrafficRecord& r : live.records) {
    const bool departure = r.key == 0x484f6du;
    aircraft.insert(fmt::format("{:x} {} {}", r.key,
                                departure ? r.identity.callsign + " " + r.identity.icaoType : r.identity.registration,
                                r.airborne));
  }
  EXPECT_EQ(aircraft, (std::set<std::string>{"484f6d KLM1234 B738 false", "4ca7b4 EI-DVM true"}));
  EXPECT_EQ(std::to_string(engineQnh.load()) + " " + std::to_string(traffic.qnh()), "1008 1008");

  ASSERT_TRUE(parked);
  ASSERT_EQ(traffic.parkedTraffic().size(), 2u);  // the reserved stand E18 is skipped
  EXPECT_EQ(traffic.parkedTraffic()[0].parkingSpot + " " + traffic.parkedTraffic()[1].parkingSpot, "D4 D6");
  EXPECT_LE(traffic.parkedTraffic()[0].halfHour, 1);
  EXPECT_EQ(traffic.parkedTraffic()[1].halfHour, 2);

  EXPECT_TRUE(weather.hasEnded() && traffic.hasEnded());
  EXPECT_EQ(traffic.guid(), "");
  EXPECT_FALSE(display.loggedIn.load() || stopRequested());
  testing::resetFeedGlobals();
}

}  // namespace
}  // namespace crv
