#include "feed/weather_reader.h"

#include <fmt/format.h>
#include <gsl/narrow>

#include <cmath>
#include <limits>
#include <optional>

#include "feed/json_reading.h"
#include "feed/request_bodies.h"
#include "feed/traffic_reader.h"
#include "foundation/clock.h"
#include "foundation/log.h"

namespace crv {

namespace {

constexpr std::size_t kAnswerReserve = 16384;
constexpr int kInchHundredthsThreshold = 1080;
constexpr double kHpaPerInchHundredth = 0.33865307;

std::string utcNowText() { return timeText(systemTimeSeconds()); }

// The leading whole number of a text: an optional "-" and the digits up to
// the first other character. None without a digit or beyond 32 bits.
std::optional<int> leadingWholeNumber(const std::string& text) {
  std::size_t position = 0;
  bool negative = false;
  if (position < text.size() && text[position] == '-') {
    negative = true;
    ++position;
  }
  long long value = 0;
  std::size_t digits = 0;
  for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position) {
    value = value * 10 + (text[position] - '0');
    if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) {
      return std::nullopt;
    }
    ++digits;
  }
  if (digits == 0) {
    return std::nullopt;
  }
  value = negative ? -value : value;
  if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

}  // namespace

WeatherReader::WeatherReader(FeedConfig config, FeedHooks hooks)
    : RtClient(std::move(config), std::move(hooks)), weatherCurl_(makeCurlHandle("wrcurl_")),
      nearestMetarCurl_(makeCurlHandle("nmcurl_")) {
  answer_.reserve(kAnswerReserve);
}

WeatherReader::~WeatherReader() = default;

int extractQNH(const nlohmann::json& data) {
  int qnh = kStandardQnhHpa;
  if (!data.is_object() || data.empty() || !data.contains("QNH")) {
    gf_logWarning("No QNH found in data");
    return qnh;
  }
  const nlohmann::json& value = data["QNH"];
  if (value.is_number_integer()) {
    qnh = gsl::narrow<int>(value.is_number_unsigned() ? static_cast<std::int64_t>(value.get<std::uint64_t>())
                                                      : value.get<std::int64_t>());
  } else if (value.is_number_float()) {
    const float single = static_cast<float>(value.get<double>());
    const float rounded = std::round(single);
    if (!(rounded >= -2147483648.0f && rounded < 2147483648.0f)) {
      throw gsl::narrowing_error();
    }
    qnh = static_cast<int>(rounded);
  } else if (value.is_string()) {
    const auto number = leadingWholeNumber(value.get<std::string>());
    if (!number) {
      gf_logWarning(fmt::format("{}: {}", "extractQNH", logExcerpt(value.get_ref<const std::string&>())));
      return kStandardQnhHpa;
    }
    qnh = *number;
  } else {
    gf_logWarning("No QNH found in data");
    return kStandardQnhHpa;
  }
  if (qnh > kInchHundredthsThreshold) {
    qnh = static_cast<int>(std::lround(qnh * kHpaPerInchHundredth));
  }
  return qnh;
}

bool WeatherReader::nearestmetar(int& status) {
  if (guid().empty()) {
    return false;
  }
  bool found = false;
  try {
    const GeoPoint user = hooks().userPosition ? hooks().userPosition() : GeoPoint{};
    const std::string body = nearestMetarBody(guid(), timeOffsetMinutes(), user.latitude, user.longitude);
    const CURLcode code = performPost(nearestMetarCurl_.get(), dataRequestSetup("nmcurl_"), config().url(kNearestMetarPath),
                                      body, answer_, config().timeouts, &stopFlag());
    if (code != CURLE_OK) {
      reportUnfinishedTransfer(code, "nearestmetar", [code] {
        gf_logWarning(fmt::format("{} nearestmetar code: {}", utcNowText(), curl_easy_strerror(code)));
      });
    } else {
      found = takeNearestMetarAnswer(answer_, status);
    }
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: {}", "nearestmetar", logExcerpt(error.what())));
  }
  waitInterval(weatherPaceMilliseconds());
  return found;
}

bool WeatherReader::takeNearestMetarAnswer(const std::string& text, int& status) {
  if (text.empty()) {
    gf_logWarning("nearest metar: empty content");
    return false;
  }
  const nlohmann::json answer = parseAnswerOrDiscarded(text);
  if (answer.is_discarded()) {
    gf_logWarning("nearest metar: invalid JSON");
    return false;
  }
  const int answerStatusValue = answerStatus(answer);
  if (answerStatusValue != kStatusOk) {
    status = answerStatusValue;
    if (answerStatusValue == kStatusNoDataNow || answerStatusValue == kStatusDatabaseProblem) {
      gf_logWarning(fmt::format("{} json nearestmetar {}", answerStatusValue,
                                logExcerpt(answerMessage(answer))));
    }
    return false;
  }
  const auto data = answer.find("data");
  std::string station;
  if (data != answer.end() && !data->empty() && !data->is_null()) {
    if (!data->is_array()) {
      throw std::runtime_error("nearest metar data is not an array");
    }
    station = jsonStringValue(data->front(), "ICAO", "");
  }
  metarStation_ = station;
  if (station.empty()) {
    return false;
  }
  weatherData_.store(true);
  return true;
}

void WeatherReader::acceptQnh(int qnhHpa) {
  qnh_.store(qnhHpa);
  if (trafficReader_ != nullptr) {
    trafficReader_->setQnh(qnhHpa);
  }
  if (hooks().publishEngineQnh) {
    hooks().publishEngineQnh(qnhHpa);
  }
  if (display() != nullptr) {
    display()->qnhHpa.store(qnhHpa);
    int noData = kIndicatorNoData;
    display()->weatherIndicator.compare_exchange_strong(noData, kIndicatorDataArrive);
  }
  repaint();
}

void WeatherReader::receiveWeather(int& status, bool& endLoop) {
  const GeoPoint user = hooks().userPosition ? hooks().userPosition() : GeoPoint{};
  const double altitude = hooks().userAltitudeFeet ? hooks().userAltitudeFeet() : 0.0;
  const std::string body =
      weatherBody(guid(), timeOffsetMinutes(), user.latitude, user.longitude, altitude, metarStation_);
  const CURLcode code = performPost(weatherCurl_.get(), dataRequestSetup("wrcurl_"), config().url(kWeatherPath), body,
                                    answer_, config().timeouts, &stopFlag());
  if (code != CURLE_OK) {
    reportUnfinishedTransfer(code, "weather", [code] {
      gf_logWarning(fmt::format("{} weather code: {}", utcNowText(), curl_easy_strerror(code)));
    });
    return;
  }
  takeWeatherAnswer(answer_, status, endLoop);
}

void WeatherReader::takeWeatherAnswer(const std::string& text, int& status, bool& endLoop) {
  if (text.empty()) {
    gf_logWarning("Empty content?, no QNH to be found");
    return;
  }
  const nlohmann::json answer = parseAnswerOrDiscarded(text);
  if (answer.is_discarded()) {
    gf_logWarning(fmt::format("Invalid JSON: {}", logExcerpt(text)));
    return;
  }
  const int answerStatusValue = answerStatus(answer);
  if (answerStatusValue == kStatusOk) {
    setWeatherPaceMilliseconds(answerPace(answer, "wrrl"));
    static const nlohmann::json kNoData;
    const auto data = answer.find("data");
    // A reference: the data are read where they lie, never copied.
    const nlohmann::json& dataValue = data != answer.end() ? *data : kNoData;
    const int qnh = extractQNH(dataValue);
    if (qnh < kLowestQnhHpa || qnh > kHighestQnhHpa) {
      gf_logWarning(fmt::format("Strange QNH {} found in {}", qnh, logExcerpt(text)));
    } else if (qnh != qnh_.load() || qnh == kStandardQnhHpa) {
      acceptQnh(qnh);
    }
    weatherData_.store(true);
  } else if (answerStatusValue == kStatusNoDataNow || answerStatusValue == kStatusDatabaseProblem) {
    status = answerStatusValue;
    gf_logWarning(fmt::format("{} json weather {}", answerStatusValue,
                              logExcerpt(answerMessage(answer))));
    weatherData_.store(false);
  } else {
    status = answerStatusValue;
    endLoop = true;
  }
}

bool WeatherReader::receive(int& status) {
  if (guid().empty()) {
    return false;
  }
  while (!isStopRequested()) {
    bool endLoop = false;
    try {
      int metarStatus = 0;
      if (!nearestmetar(metarStatus)) {
        if (metarStatus == kStatusParameterFault || metarStatus == kStatusReauthenticate) {
          status = metarStatus;
          break;
        }
        if (metarStatus != 0) {
          status = metarStatus;
        }
        waitInterval(weatherPaceMilliseconds());
        continue;
      }
      if (isStopRequested()) {
        break;
      }
      receiveWeather(status, endLoop);
    } catch (const std::exception& error) {
      gf_logWarning(fmt::format("{}: {}", "receive", logExcerpt(error.what())));
    }
    if (endLoop) {
      break;
    }
    waitInterval(weatherPaceMilliseconds());
  }
  if (isStopRequested()) {
    status = kStatusStopped;
  }
  return false;
}

void WeatherReader::reset() {
  resetRtClient();
  weatherCurl_ = makeCurlHandle("wrcurl_");
  nearestMetarCurl_ = makeCurlHandle("nmcurl_");
  answer_.clear();
  qnh_.store(kStandardQnhHpa);
  weatherData_.store(false);
  weatherShown_ = true;
  metarStation_.clear();
}

void updateConnectionIndicators(TrafficReader& trafficReader, WeatherReader& weatherReader) {
  FeedDisplay* display = weatherReader.hooks().display;
  if (display == nullptr || !display->loggedIn.load()) {
    return;
  }
  const auto repaint = [&weatherReader] {
    if (weatherReader.hooks().repaint) {
      weatherReader.hooks().repaint();
    }
  };
  if (!weatherReader.weatherDataArrive()) {
    if (weatherReader.weatherShown()) {
      display->weatherIndicator.store(kIndicatorNoData);
      repaint();
    }
    weatherReader.setWeatherShown(false);
  } else if (!weatherReader.weatherShown()) {
    weatherReader.setWeatherShown(true);
    display->weatherIndicator.store(kIndicatorDataArrive);
    repaint();
  }
  if (trafficReader.liveCount() < 1) {
    if (trafficReader.trafficShown()) {
      display->trafficIndicator.store(kIndicatorNoData);
      repaint();
    }
    trafficReader.setTrafficShown(false);
  } else if (!trafficReader.trafficShown()) {
    trafficReader.setTrafficShown(true);
    display->trafficIndicator.store(kIndicatorDataArrive);
    repaint();
  }
}

void resetRtClients(TrafficReader& trafficReader, WeatherReader& weatherReader) {
  trafficReader.reset();
  weatherReader.reset();
}

}  // namespace crv
