// A weather answer: every QNH passed on lies in the believed band, and the
// readers and the engine agree on it.

#include "feed/json_reading.h"
#include "fuzz/support/fuzz_support.h"
#include "fuzz/support/rt_answers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  crv::fuzz::AnswerStand stand;
  int status = 0;
  bool endLoop = false;
  // An exception: the reader's loop logs it and asks again.
  crv::fuzz::takeAnswer(data, size,
                        [&](const std::string& text) { stand.weather.takeWeatherAnswer(text, status, endLoop); });
  for (const int qnh : stand.engineQnhs) {
    require(qnh >= crv::kLowestQnhHpa && qnh <= crv::kHighestQnhHpa, "every accepted QNH is in range");
  }
  require(stand.weather.qnh() >= crv::kLowestQnhHpa && stand.weather.qnh() <= crv::kHighestQnhHpa,
          "the reader's QNH is in range");
  require(stand.traffic.qnh() == stand.weather.qnh(), "the decoder takes the reader's QNH");
  // Any other status ends the loop, even 0: the reader thread reports it as an error.
  require(!endLoop || (status != crv::kStatusOk && status != crv::kStatusNoDataNow &&
                       status != crv::kStatusDatabaseProblem),
          "only a status that is no answer ends the loop");
  crv::fuzz::requireStoppablePaces(stand.weather);
  return 0;
}
