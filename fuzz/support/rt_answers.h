#pragma once

// A stand for the RealTraffic answer targets: both readers, built as the
// session builds them but never connected, with hooks that record what the
// feed hands on. Each input gets a fresh stand.

#include <vector>

#include "feed/traffic_reader.h"
#include "feed/weather_reader.h"

namespace crv::fuzz {

class AnswerStand {
 public:
  AnswerStand();

  std::vector<std::vector<LiveTrafficRecord>> batches;  // what the intake took
  std::vector<int> engineQnhs;                         // what the engine was given
  FeedDisplay display;
  TrafficReader traffic;
  WeatherReader weather;

 private:
  FeedHooks hooks();
};

// Every property the engine relies on: on the globe, a real key, speeds,
// track, climb and altitude within the decoder's bounds, no NaN anywhere.
void requirePlausible(const LiveTrafficRecord& record);
void requirePlausible(const ParkedTrafficRecord& record);
// The paces the service sets stay within the program's bounds.
void requirePlausiblePaces(const RtClient& client);

}  // namespace crv::fuzz
