// A nearest-METAR answer: a station is found exactly when the reader holds
// a non-empty station name, and then weather data count as arriving.

#include "fuzz/support/fuzz_support.h"
#include "fuzz/support/rt_answers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  crv::fuzz::AnswerStand stand;
  int status = 0;
  bool found = false;
  // An exception: nearestmetar() logs it.
  crv::fuzz::takeAnswer(data, size,
                        [&](const std::string& text) { found = stand.weather.takeNearestMetarAnswer(text, status); });
  require(found == !stand.weather.metarStation().empty(), "found exactly when a station is named");
  require(!found || stand.weather.weatherDataArrive(), "a found station raises the data flag");
  require(!found || status == 0, "a found station sets no status");
  return 0;
}
