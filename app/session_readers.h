#pragma once

// The two RealTraffic readers of one session and their threads; made at the
// login, joined at closing down.

#include <thread>

#include "app/session.h"
#include "feed/traffic_reader.h"
#include "feed/weather_reader.h"

namespace crv {

struct Session::Readers {
  Readers(const FeedConfig& config, const FeedHooks& hooks) : weather(config, hooks), traffic(config, hooks) {
    weather.setTrafficReader(&traffic);
  }
  WeatherReader weather;
  TrafficReader traffic;
  std::thread weatherThread;
  std::thread trafficThread;
};

}  // namespace crv
