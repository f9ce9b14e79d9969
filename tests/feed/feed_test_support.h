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

#include "aircraftdata/aircraft_database.h"
#include "feed/feed_config.h"
#include "feed/traffic_reader.h"
#include "feed/weather_reader.h"
#include "foundation/clock.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "tests/feed/test_aircraft_types.h"
#include "tests/support/log_capture.h"
#include "tools/rt-standin/rt_standin.h"

namespace crv::testing {

inline constexpr GeoPoint kSchiphol{52.3086, 4.7639};

// A 48-value live array of a plausible airliner; tests change single values.
// Slots 1 to 28: position, track, altitude, speed, type, registration, time,
// route, callsign, vertical speed, source, geometric altitude, true airspeed,
// bank, true heading and emitter category; the rest are null.
inline nlohmann::json liveArray(const std::string& hexId = "484f6d") {
  nlohmann::json array = nlohmann::json::parse(
      R"([null, 52.35, 4.80, 90.0, 12000, 250.0, null, null, "B738", "PH-BXA", 1765000000.5, "EHAM", "EGLL",
          "KLM1234", null, 1500, null, "adsb_icao", 12100, null, 300, null, null, 5.0, null, 91.0, null, null, "A3"])");
  array.insert(array.end(), 48 - array.size(), nullptr);
  array[0] = hexId;
  return array;
}

// Resets the process-wide flags and settings the feed reads.
inline void resetFeedGlobals() {
  clearStopRequest();
  setUserClosedWindow(false);
  setLastTrafficTime(0.0);
  setTrafficRange(40);
  par_BLOCK_CALLSIGN.setValue("");
  par_MAX_FIT.setValue(47);
  par_RT_PARKTRAFFIC_ONLY.setValue(false);
  clearErrorLine();
  clearStatusLine();
}

// The engine's intake as the tests see it: every batch with its delay.
struct ReceivedBatch {
  std::uint32_t delaySeconds = 0;
  std::vector<LiveTrafficRecord> records;
};

// What the reader threads report through the hooks.
struct Reported {
  std::vector<ReceivedBatch> batches;
  std::vector<int> engineQnh;
  std::vector<std::pair<std::string, bool>> threadErrors;  // thread name, unauthorized
};

// Both readers against the RealTraffic stand-in, at a 20 ms pace and with
// short waits, with hooks that record what reaches the engine and the window:
// the user stands at Schiphol, which is also the park airport (reserved stand
// R1, the user's U1). The readers' threads, when a test starts them, are
// stopped and joined at the end.
class FeedTest : public ::testing::Test {
 public:
  // A configuration for the stand-in at the endpoint, with short waits.
  static FeedConfig testConfig(const std::string& endpoint) {
    FeedConfig config;
    config.endpoint = endpoint;
    config.accountKey = "secret&key=1";
    config.timeouts.connect = std::chrono::milliseconds(2000);
    // Far beyond the bound of any test that stops a hanging request, so a
    // stop that works never looks like a time-out on a busy machine.
    config.timeouts.transfer = std::chrono::milliseconds(30000);
    config.parkedWaitLimit = std::chrono::milliseconds(1500);
    config.parkedPollStep = std::chrono::milliseconds(10);
    config.refusalPause = std::chrono::milliseconds(10);
    return config;
  }

 private:
  mutable std::mutex mutex_;  // guards reported_
  mutable std::condition_variable batchArrived_;
  Reported reported_;

 protected:
  FeedTest() : config_(testConfig(standIn_.endpoint())), weather_(config_, hooks()), traffic_(config_, hooks()) {
    resetFeedGlobals();
    installTestAircraftDatabase();
    standIn_.setPace(20, 20);
    traffic_.setTrafficPaceMilliseconds(20);
    weather_.setWeatherPaceMilliseconds(20);
    weather_.setTrafficReader(&traffic_);
  }
  ~FeedTest() override {
    weather_.requestStop();
    traffic_.requestStop();
    for (std::thread* thread : {&weatherThread_, &trafficThread_}) {
      if (thread->joinable()) thread->join();
    }
    resetFeedGlobals();
  }

  FeedHooks hooks() {
    FeedHooks result;
    result.userPosition = [] { return kSchiphol; };
    result.userAltitudeFeet = [] { return -50.0; };
    result.parkAirportPosition = [] { return std::optional<GeoPoint>(kSchiphol); };
    result.reservedStandName = [] { return std::string("R1"); };
    result.userStandName = [] { return std::string("U1"); };
    result.intakeTrafficBatch = [this](std::vector<LiveTrafficRecord>& batch, std::uint32_t delaySeconds) {
      {
        std::lock_guard lock(mutex_);
        reported_.batches.push_back({delaySeconds, std::move(batch)});
      }
      batch.clear();  // the intake takes the records
      batchArrived_.notify_all();
    };
    result.publishEngineQnh = [this](int qnh) {
      std::lock_guard lock(mutex_);
      reported_.engineQnh.push_back(qnh);
    };
    result.reportThreadError = [this](std::string_view name, bool unauthorized) {
      std::lock_guard lock(mutex_);
      reported_.threadErrors.emplace_back(std::string(name), unauthorized);
    };
    result.showServerName = [this](std::string_view name) { serverShown_ = name; };
    result.endSessionWithReaderError = [this] {
      ++readerErrors_;
      raiseStop();
    };
    result.display = &display_;
    return result;
  }
  Reported reported() const {
    std::lock_guard lock(mutex_);
    return reported_;
  }
  bool waitForBatches(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return batchArrived_.wait_for(lock, timeout, [&] { return reported_.batches.size() >= count; });
  }

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

}  // namespace crv::testing
