#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "feed/feed_config.h"
#include "feed/traffic_reader.h"
#include "feed/weather_reader.h"
#include "tests/support/log_capture.h"
#include "tools/rt-standin/rt_standin.h"

namespace crv::testing {

inline constexpr GeoPoint kSchiphol{52.3086, 4.7639};

// A configuration with short waits for tests against the stand-in.
FeedConfig testConfig(const std::string& endpoint, std::string accountKey = "test-key");

// The engine's intake as the tests see it: every batch with its delay.
struct ReceivedBatch {
  std::uint32_t delaySeconds = 0;
  std::vector<LiveTrafficRecord> records;
};

// Both readers against the RealTraffic stand-in, at a 20 ms pace, with hooks
// that record what reaches the engine and the window: the user stands at
// Schiphol, which is also the park airport (reserved stand R1, the user's U1).
// The readers' threads, when a test starts them, are stopped and joined at
// the end.
class FeedTest : public ::testing::Test {
 private:
  // Guards what the reader threads report through the hooks.
  mutable std::mutex mutex_;
  mutable std::condition_variable batchArrived_;
  std::vector<ReceivedBatch> batches_;
  std::vector<int> engineQnh_;
  std::vector<std::pair<std::string, bool>> threadErrors_;

 protected:
  FeedTest();
  ~FeedTest() override;

  FeedHooks hooks();
  std::vector<ReceivedBatch> batches() const;
  bool waitForBatches(std::size_t count, std::chrono::milliseconds timeout) const;
  std::vector<int> engineQnh() const;
  std::vector<std::pair<std::string, bool>> threadErrors() const;

  standin::RtStandIn standIn_;
  LogCapture log_;
  FeedDisplay display_;
  int readerErrors_ = 0;  // login failures that ended the session
  std::string serverShown_;
  FeedConfig config_;
  WeatherReader weather_;
  TrafficReader traffic_;
  std::thread weatherThread_;
  std::thread trafficThread_;
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
