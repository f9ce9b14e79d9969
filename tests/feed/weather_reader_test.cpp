#include "feed/weather_reader.h"

#include <gtest/gtest.h>

#include <thread>

#include <gsl/narrow>

#include <fmt/format.h>

#include "feed/reader_threads.h"
#include "feed/traffic_reader.h"
#include "tests/feed/feed_test_support.h"

namespace crv {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using standin::Answer;

TEST(ExtractQnhTest, ReadsEveryFormTheServiceSends) {
  testing::LogCapture log;
  const std::pair<json, int> cases[] = {
      {{{"QNH", 1021}}, 1021},         {{{"QNH", 1012.5}}, 1013},       {{{"QNH", 1012.4}}, 1012},
      {{{"QNH", "1012.5"}}, 1012},     {{{"QNH", "-5hPa"}}, -5},        {{{"QNH", 2992}}, 1013},  // inHg hundredths
      {{{"QNH", 1081}}, 366},          {{{"QNH", 1080}}, 1080},         {{{"QNH", "n/a"}}, 1013},
      {{{"QNH", "99999999999"}}, 1013}, {{{"QNH", nullptr}}, 1013},     {{{"METAR", "EHAM"}}, 1013},
      {json::array({1013}), 1013},
  };
  for (const auto& [data, qnh] : cases) EXPECT_EQ(extractQNH(data), qnh) << data.dump();
  EXPECT_EQ(testing::missingPieces(log.text(), {"===> No QNH found in data", "===> extractQNH: n/a"}), "");
  // A float beyond 32 bits is a narrowing error, as an integer is.
  EXPECT_THROW(extractQNH(json{{"QNH", 1e12}}), gsl::narrowing_error);
  EXPECT_THROW(extractQNH(json{{"QNH", 5000000000LL}}), gsl::narrowing_error);
}

class WeatherReaderTest : public testing::FeedTest {
 protected:
  WeatherReaderTest() {
    weather_.setGuid("g-1");
    traffic_.setGuid("g-1");
  }

  void queueWeather(const json& qnh) {
    standIn_.queueJson(standin::kWeatherPath, {{"status", 200}, {"wrrl", 20}, {"data", {{"QNH", qnh}}}});
  }

  int status_ = 0;
};

TEST_F(WeatherReaderTest, EveryAcceptedQnhReachesEveryHolder) {
  display_.weatherIndicator.store(kIndicatorNoData);
  queueWeather(1003);
  queueWeather(1003);     // unchanged: nothing passed on
  queueWeather("29.92");  // 29: strange
  queueWeather(2992);     // inHg: 1013
  queueWeather(2992);     // 1013 again is passed on all the same
  queueWeather(1081);     // 366: strange
  standIn_.queueJson(standin::kWeatherPath, {{"status", 999}});
  weatherThread_ = std::thread([this] { weather_.receive(status_); });
  weatherThread_.join();

  EXPECT_EQ(status_, 999);
  EXPECT_EQ(reported().engineQnh, (std::vector<int>{1003, 1013, 1013}));
  EXPECT_EQ(fmt::format("{} {} {}", weather_.qnh(), traffic_.qnh(), display_.qnhHpa.load()), "1013 1013 1013");
  EXPECT_EQ(display_.weatherIndicator.load(), kIndicatorDataArrive);
  EXPECT_TRUE(weather_.weatherDataArrive());
  EXPECT_EQ(testing::missingPieces(log_.text(), {"===> Strange QNH 29 found in {\"data\":{\"QNH\":\"29.92\"}",
                                                 "===> Strange QNH 366 found in"}), "");

  const auto metarBodies = standIn_.bodies(standin::kNearestMetarPath);
  ASSERT_FALSE(metarBodies.empty());
  EXPECT_EQ(metarBodies[0], "GUID=g-1&toffset=0&lat=52.3086&lon=4.7639");
  const auto weatherBodies = standIn_.bodies(standin::kWeatherPath);
  ASSERT_EQ(weatherBodies.size(), 7u);
  EXPECT_EQ(weatherBodies[0], "GUID=g-1&querytype=locwx&toffset=0&lat=52.3086&lon=4.7639&alt=0&airports=EHAM");
}

TEST_F(WeatherReaderTest, NoStationMeansNoWeatherRequestAndAnUnauthorizedStationAnswerEndsTheReader) {
  standIn_.queueJson(standin::kNearestMetarPath, {{"status", 200}, {"data", json::array()}});
  standIn_.queueJson(standin::kNearestMetarPath, {{"status", 200}, {"data", {{{"Dist", 3}}}}});
  standIn_.queueJson(standin::kNearestMetarPath, {{"status", 406}, {"message", "later"}});
  standIn_.queueJson(standin::kNearestMetarPath, {{"status", 200}, {"data", {{"ICAO", "EHAM"}}}});  // not an array
  standIn_.queueJson(standin::kNearestMetarPath, {{"status", 401}});
  weatherThread_ = std::thread([this] { gf_weatherReader(weather_, traffic_); });
  weatherThread_.join();
  EXPECT_EQ(standIn_.requestCount(standin::kWeatherPath), 0u);
  EXPECT_EQ(weather_.metarStation(), "");
  EXPECT_TRUE(weather_.hasEnded() && traffic_.isStopRequested());
  EXPECT_EQ(reported().threadErrors, (std::vector<std::pair<std::string, bool>>{{"Weather Reader", true}}));
  EXPECT_EQ(testing::missingPieces(log_.text(), {"===> 406 json nearestmetar later",
                                                 "===> nearestmetar: nearest metar data is not an array"}), "");
  EXPECT_EQ(display_.weatherIndicator.load(), kIndicatorHidden);
}

TEST_F(WeatherReaderTest, NoDataAndBadAnswersAreLoggedShortlyAndTheLoopGoesOn) {
  // 100,000 levels deep, about 200 KB: once copied, it recursed the stack to death.
  const std::string deep = "{\"status\":200,\"data\":{\"QNH\":" + std::string(100000, '[') +
                           std::string(100000, ']') + "}}";
  standIn_.queueJson(standin::kWeatherPath, {{"status", 406}, {"message", "no metar"}});
  standIn_.queueAnswer(standin::kWeatherPath, Answer::raw(""));
  standIn_.queueAnswer(standin::kWeatherPath, Answer::raw(deep));
  // A 2 MB answer that is no JSON used to go whole into the log.
  standIn_.queueAnswer(standin::kWeatherPath, Answer::raw("<html>" + std::string(2'000'000, 'x')));
  standIn_.queueAnswer(standin::kWeatherPath, Answer::cutConnection());
  standIn_.queueJson(standin::kWeatherPath, {{"status", 500}, {"message", "db"}});
  standIn_.queueJson(standin::kWeatherPath, {{"status", 400}});
  weatherThread_ = std::thread([this] { weather_.receive(status_); });
  weatherThread_.join();
  EXPECT_EQ(status_, 400);
  EXPECT_EQ(testing::missingPieces(log_.text(), {"===> 406 json weather no metar",
                                                 "===> Empty content?, no QNH to be found",
                                                 "===> Invalid JSON: {\"status\":200,\"data\":{\"QNH\":[[[",
                                                 "===> Invalid JSON: <html>xxx", "... (2000006 bytes)",
                                                 " weather code: ", "===> 500 json weather db"}), "");
  EXPECT_LT(log_.text().size(), 20'000u);
}

TEST_F(WeatherReaderTest, ANoDataAnswerWithAMessageOfTheWrongKindFailsItsPassAndKeepsTheWeatherFlag) {
  standIn_.queueJson(standin::kNearestMetarPath, {{"status", 200}, {"data", {{{"ICAO", "EHAM"}}}}});
  standIn_.queueJson(standin::kNearestMetarPath, {{"status", 401}});
  standIn_.queueJson(standin::kWeatherPath, {{"status", 406}, {"message", nullptr}});
  weatherThread_ = std::thread([this] { weather_.receive(status_); });
  weatherThread_.join();
  EXPECT_EQ(status_, 401);
  EXPECT_TRUE(weather_.weatherDataArrive());
  EXPECT_TRUE(log_.contains("===> receive: [json.exception.type_error.302]")) << log_.text();
  EXPECT_FALSE(log_.contains("json weather"));
}

// The readers check their stop flag within 100 ms; the bound here is loose
// for a busy machine, yet far below the 5 s transfer limit that a reader
// waiting for its hanging request would reach.
TEST_F(WeatherReaderTest, AStopEndsBothReadersPromptlyWhileTheirRequestsHang) {
  standIn_.queueAnswer(standin::kNearestMetarPath, Answer::hang());
  standIn_.queueJson(standin::kTrafficPath, {{"status", 200}, {"rrl", 20}, {"data", json::object()}}, {},
                     "locationtraffic");
  standIn_.queueAnswer(standin::kTrafficPath, Answer::hang(), "locationtraffic");
  weatherThread_ = std::thread([this] { gf_weatherReader(weather_, traffic_); });
  trafficThread_ = std::thread([this] { gf_trafficReader(traffic_, weather_); });
  ASSERT_TRUE(standIn_.waitForRequests(standin::kNearestMetarPath, 1, 5s));
  ASSERT_TRUE(standIn_.waitForRequests(standin::kTrafficPath, 2, 5s));

  // Closing down: both stop flags, then a wait in 100 ms steps for both ended flags.
  const auto start = std::chrono::steady_clock::now();
  weather_.requestStop();
  traffic_.requestStop();
  while (!(weather_.hasEnded() && traffic_.hasEnded()) && std::chrono::steady_clock::now() - start < 20s) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "far below the 30 s transfer limit";
  EXPECT_TRUE(reported().threadErrors.empty());
  EXPECT_FALSE(log_.contains(" code"));  // an aborted request is no failure
}

TEST_F(WeatherReaderTest, ConnectionIndicatorsFollowTheData) {
  display_.loggedIn.store(true);
  traffic_.reset();
  weather_.reset();
  updateConnectionIndicators(traffic_, weather_);
  EXPECT_TRUE(display_.weatherIndicator.load() == kIndicatorNoData && display_.trafficIndicator.load() == kIndicatorNoData);

  weather_.setGuid("g-1");
  int metarStatus = 0;
  weather_.nearestmetar(metarStatus);
  EXPECT_EQ(weather_.metarStation(), "EHAM");
  updateConnectionIndicators(traffic_, weather_);
  EXPECT_EQ(display_.weatherIndicator.load(), kIndicatorDataArrive);

  display_.loggedIn.store(false);
  display_.weatherIndicator.store(kIndicatorHidden);
  weather_.reset();
  updateConnectionIndicators(traffic_, weather_);
  EXPECT_EQ(display_.weatherIndicator.load(), kIndicatorHidden);
}

}  // namespace
}  // namespace crv
