#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "feed/feed_config.h"
#include "feed/traffic_records.h"
#include "tests/support/log_capture.h"

namespace crv::testing {

// A configuration with short waits for tests against the stand-in.
FeedConfig testConfig(const std::string& endpoint, std::string accountKey = "test-key");

// The engine's intake as the tests see it: every batch with its delay.
struct ReceivedBatch {
  std::uint32_t delaySeconds = 0;
  std::vector<LiveTrafficRecord> records;
};

class BatchRecorder {
 public:
  // Takes the records out of the batch, as the intake does.
  void intake(std::vector<LiveTrafficRecord>& batch, std::uint32_t delaySeconds);
  std::vector<ReceivedBatch> batches() const;
  bool waitForCount(std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<ReceivedBatch> batches_;
};

// A 48-value live array of a plausible airliner; tests change single values.
nlohmann::json liveArray(const std::string& hexId = "484f6d");

// Makes a small aircraft database the loaded one: the types A320, A388,
// B738, B744 (heavy) and B763, and the registrations PH-BFB (KLM B744) and
// G-XLEA (BAW A388, operated by XYZ).
void installTestAircraftDatabase();

// Resets the process-wide flags and settings the feed reads.
void resetFeedGlobals();

}  // namespace crv::testing
