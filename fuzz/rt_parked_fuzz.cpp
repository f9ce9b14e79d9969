// A parked-traffic answer: the outcome is done, failed or a service status
// (never one of our own pending values), and only plausible aircraft come
// back, none of them when the answer failed.

#include "fuzz/support/fuzz_support.h"
#include "fuzz/support/rt_answers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  crv::fuzz::AnswerStand stand;
  std::vector<crv::ParkedTrafficRecord> records;
  int result = crv::kParkedFailed;
  const bool taken = crv::fuzz::takeAnswer(
      data, size, [&](const std::string& text) { result = stand.traffic.takeParkedAnswer(text, records); });
  if (!taken) {
    records.clear();  // as parkedtraffic() does
    result = crv::kParkedFailed;
  }
  require(result != crv::kParkedPending, "never the pending value");
  require(result == crv::kParkedDone || records.empty(), "aircraft only with a done answer");
  for (const crv::ParkedTrafficRecord& record : records) crv::fuzz::requirePlausible(record);
  crv::fuzz::requireStoppablePaces(stand.traffic);
  return 0;
}
