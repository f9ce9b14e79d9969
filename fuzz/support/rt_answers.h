#pragma once

// A stand for the RealTraffic answer targets: both readers, built as the
// session builds them but never connected, with hooks that record what the
// feed hands on. Each input gets a fresh stand.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "feed/traffic_reader.h"
#include "feed/weather_reader.h"
#include "fuzz/support/fuzz_support.h"

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

// Hands the input, as text, to one of the readers' answer takers; false when
// the taker threw a std::exception, which its caller in the reader logs and
// goes on from.
template <typename Take>
bool takeAnswer(const std::uint8_t* data, std::size_t size, Take take) {
  try {
    take(std::string(inputText(data, size)));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Every property the engine relies on: on the globe, a real key, speeds,
// track, climb and altitude within the decoder's bounds, no NaN anywhere.
void requirePlausible(const LiveTrafficRecord& record);
void requirePlausible(const ParkedTrafficRecord& record);
// Every aircraft of every batch that the intake took.
void requirePlausibleBatches(const AnswerStand& stand);
// Whatever pace the service sets, a wait of it is safe and a raised stop
// ends it at once. Raises the client's stop flag.
void requireStoppablePaces(RtClient& client);

}  // namespace crv::fuzz
