// A buffered-history answer: at most five snapshots reach the engine, each
// holding only plausible aircraft.

#include "feed/request_bodies.h"
#include "fuzz/support/fuzz_support.h"
#include "fuzz/support/rt_answers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  crv::fuzz::AnswerStand stand;
  int status = 0;
  bool taken = false;
  // An exception: buffer() logs it; the live loop starts all the same.
  crv::fuzz::takeAnswer(data, size,
                        [&](const std::string& text) { taken = stand.traffic.takeHistoryAnswer(text, status); });
  require(stand.batches.empty() || stand.batches.size() == static_cast<std::size_t>(crv::kHistorySnapshotCount),
          "no snapshot or all five");
  require(!taken || status == 0, "a taken history sets no status");
  crv::fuzz::requirePlausibleBatches(stand);
  crv::fuzz::requireStoppablePaces(stand.traffic);
  return 0;
}
