// A live-traffic answer: whatever it holds, the batch handed to the engine
// holds only plausible aircraft, and a status other than 200 or 406 ends the
// reader's loop with that status.

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
                        [&](const std::string& text) { stand.traffic.takeLiveAnswer(text, status, endLoop); });
  // Any status but 200 and 406 ends the loop, even 0: the reader thread reports it as an error.
  require(!endLoop || (status != crv::kStatusOk && status != crv::kStatusNoDataNow),
          "only a status that is no answer ends the loop");
  require(endLoop || status == 0, "a loop that goes on sets no status");
  require(stand.batches.size() <= 1, "at most one batch per answer");
  crv::fuzz::requirePlausibleBatches(stand);
  crv::fuzz::requireStoppablePaces(stand.traffic);
  return 0;
}
