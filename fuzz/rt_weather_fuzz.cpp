// A weather answer: every QNH passed on lies in the believed band, and the
// readers and the engine agree on it.

#include "fuzz/support/fuzz_support.h"
#include "fuzz/support/rt_answers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  crv::fuzz::AnswerStand stand;
  int status = 0;
  bool endLoop = false;
  try {
    stand.weather.takeWeatherAnswer(std::string(crv::fuzz::inputText(data, size)), status, endLoop);
  } catch (const std::exception&) {
    // The reader's loop logs it and asks again.
  }
  for (const int qnh : stand.engineQnhs) {
    require(qnh >= crv::kLowestQnhHpa && qnh <= crv::kHighestQnhHpa, "every accepted QNH is in range");
  }
  require(stand.weather.qnh() >= crv::kLowestQnhHpa && stand.weather.qnh() <= crv::kHighestQnhHpa,
          "the reader's QNH is in range");
  require(stand.traffic.qnh() == stand.weather.qnh(), "the decoder takes the reader's QNH");
  require(!endLoop || status != 0, "the loop ends only with a status");
  crv::fuzz::requirePlausiblePaces(stand.weather);
  return 0;
}
