#pragma once

// The Weather Reader: on a thread of its own it asks for the nearest METAR
// station to the user aircraft and then for the weather there, and passes
// every accepted QNH on. Its object also carries the login.

#include <atomic>
#include <string>

#include <nlohmann/json.hpp>

#include "feed/rt_client.h"

namespace crv {

class TrafficReader;

// A QNH outside this band is not believed.
inline constexpr int kLowestQnhHpa = 930;
inline constexpr int kHighestQnhHpa = 1080;
inline constexpr int kStandardQnhHpa = 1013;

class WeatherReader : public RtClient {
 public:
  WeatherReader(FeedConfig config, FeedHooks hooks);
  ~WeatherReader() override;

  // The Traffic Reader whose decoder takes every accepted QNH (set before
  // the reader threads start).
  void setTrafficReader(TrafficReader* trafficReader) { trafficReader_ = trafficReader; }

  // True when a station was found.
  bool nearestmetar(int& status);
  // The reader's loop; always false, the status tells why it ended
  // (kStatusStopped on request).
  bool receive(int& status);

  // The handling of one answer text of each request, as the loop does it
  // after the transfer. Both may throw what the loop catches and logs.
  bool takeNearestMetarAnswer(const std::string& text, int& status);
  void takeWeatherAnswer(const std::string& text, int& status, bool& endLoop);

  int qnh() const { return qnh_.load(); }
  const std::string& metarStation() const { return metarStation_; }
  bool weatherDataArrive() const { return weatherData_.load(); }

  // The last weather state shown by the connection indicators (worker);
  // shown from the start, as the reader thread shows it when it starts.
  bool weatherShown() const { return weatherShown_; }
  void setWeatherShown(bool shown) { weatherShown_ = shown; }

  // Before a restarted session.
  void reset();

 private:
  void receiveWeather(int& status, bool& endLoop);
  void acceptQnh(int qnhHpa);

  TrafficReader* trafficReader_ = nullptr;
  CurlHandle weatherCurl_;
  CurlHandle nearestMetarCurl_;
  std::string answer_;
  std::string metarStation_;
  std::atomic<int> qnh_{kStandardQnhHpa};
  std::atomic<bool> weatherData_{false};
  bool weatherShown_ = true;
};

// The QNH in hPa of a weather answer's "data": an integer, a number (rounded
// half away from zero) or the leading whole number of a text; a value above
// 1080 is hundredths of an inch of mercury. 1013 when none is found.
// Throws gsl::narrowing_error for a number beyond 32 bits.
int extractQNH(const nlohmann::json& data);

// The session's connection indicators from the readers' state (worker).
void updateConnectionIndicators(TrafficReader& trafficReader, WeatherReader& weatherReader);

// Both readers back to their state before a session.
void resetRtClients(TrafficReader& trafficReader, WeatherReader& weatherReader);

}  // namespace crv
