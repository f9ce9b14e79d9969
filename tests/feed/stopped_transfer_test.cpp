// A request that the program cuts short with its stop flag, because the user
// closed the program, is no failure of the service: the log says it stopped
// and nothing of an error.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "feed/json_reading.h"
#include "feed/login.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "tests/feed/feed_test_support.h"

namespace crv {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using standin::Answer;

constexpr const char* kLive = "locationtraffic";

class StoppedTransferTest : public testing::FeedTest {};

// Each request in turn is held open by the service until the user closes
// the program, which raises the request's stop flag.
TEST_F(StoppedTransferTest, EveryRequestCutShortByAUserCloseIsLoggedAsTheCloseNotAsAFailure) {
  struct Readers {
    TrafficReader& traffic;
    WeatherReader& weather;
    std::atomic<bool>& logoutCutShort;
  };
  struct Case {
    const char* request;      // as the close line names it
    std::string_view path;    // where the service holds it
    std::size_t heldRequest;  // its number on that path
    std::function<void(standin::RtStandIn&)> queue;
    std::function<void(Readers&)> run;
    std::function<void(Readers&)> stop;
    const char* failure;  // what a failure of it logs
  };
  const auto stopTraffic = [](Readers& readers) { readers.traffic.requestStop(); };
  const auto stopWeather = [](Readers& readers) { readers.weather.requestStop(); };
  const Case cases[] = {
      {"Authentication", standin::kAuthPath, 1,
       [](standin::RtStandIn& rt) { rt.queueAnswer(standin::kAuthPath, Answer::hang()); },
       [](Readers& readers) { authenticater(readers.weather, readers.traffic); }, [](Readers&) { raiseStop(); },
       "Authentication failed"},
      {"Deauthentication", standin::kDeauthPath, 1,
       [](standin::RtStandIn& rt) { rt.queueAnswer(standin::kDeauthPath, Answer::hang()); },
       [](Readers& readers) { deauthenticate(readers.traffic, &readers.logoutCutShort); },
       [](Readers& readers) { readers.logoutCutShort.store(true); }, "Deauthentication failed"},
      {"buffer traffic", standin::kTrafficPath, 1,
       [](standin::RtStandIn& rt) { rt.queueAnswer(standin::kTrafficPath, Answer::hang(), kLive); },
       [](Readers& readers) {
         int status = 0;
         readers.traffic.buffer(status);
       },
       stopTraffic, "buffer traffic code"},
      {"live traffic", standin::kTrafficPath, 2,
       [](standin::RtStandIn& rt) {
         rt.queueJson(standin::kTrafficPath, {{"status", 200}, {"rrl", 20}, {"data", json::object()}}, {}, kLive);
         rt.queueAnswer(standin::kTrafficPath, Answer::hang(), kLive);
       },
       [](Readers& readers) {
         int status = 0;
         readers.traffic.receive(status);
       },
       stopTraffic, "curl traffic code"},
      {"parkedtraffic", standin::kTrafficPath, 1,
       [](standin::RtStandIn& rt) { rt.queueAnswer(standin::kTrafficPath, Answer::hang(), "parkedtraffic"); },
       [](Readers& readers) { readers.traffic.parkedtraffic(); }, stopTraffic, "curl parkedtraffic code"},
      {"nearestmetar", standin::kNearestMetarPath, 1,
       [](standin::RtStandIn& rt) { rt.queueAnswer(standin::kNearestMetarPath, Answer::hang()); },
       [](Readers& readers) {
         int status = 0;
         readers.weather.nearestmetar(status);
       },
       stopWeather, "nearestmetar code"},
      {"weather", standin::kWeatherPath, 1,
       [](standin::RtStandIn& rt) {
         rt.queueJson(standin::kNearestMetarPath, {{"status", 200}, {"data", json::array({{{"ICAO", "EHAM"}}})}});
         rt.queueAnswer(standin::kWeatherPath, Answer::hang());
       },
       [](Readers& readers) {
         int status = 0;
         readers.weather.receive(status);
       },
       stopWeather, " weather code"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    clearStopRequest();
    setUserClosedWindow(false);
    // A service of its own: the held request ends with it.
    standin::RtStandIn service;
    service.setPace(20, 20);
    const FeedConfig config = testConfig(service.endpoint());
    TrafficReader traffic(config, hooks());
    WeatherReader weather(config, hooks());
    std::atomic<bool> logoutCutShort{false};
    Readers readers{traffic, weather, logoutCutShort};
    if (std::string_view(c.request) != "Authentication") {
      traffic.setGuid("g-1");
      weather.setGuid("g-1");
    }
    c.queue(service);
    const std::size_t logBefore = log_.text().size();
    std::thread closer([&] {
      service.waitForRequests(c.path, c.heldRequest, 10s);
      // As the close box does: the user closed, then the stop.
      setUserClosedWindow(true);
      c.stop(readers);
    });
    c.run(readers);
    closer.join();
    const std::string logged = log_.text().substr(logBefore);
    EXPECT_NE(logged.find(std::string(c.request) + ": stopped as the user closed CRVN"), std::string::npos) << logged;
    EXPECT_FALSE(log_.contains(c.failure)) << log_.text();
  }
  EXPECT_FALSE(log_.contains("has stopped with an error")) << log_.text();
  EXPECT_EQ(readerErrors_, 0) << "a close is no reader error";
}

}  // namespace
}  // namespace crv
