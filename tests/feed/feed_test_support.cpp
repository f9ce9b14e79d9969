#include "tests/feed/feed_test_support.h"

#include "aircraftdata/aircraft_database.h"
#include "foundation/clock.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"

namespace crv::testing {

FeedConfig testConfig(const std::string& endpoint, std::string accountKey) {
  FeedConfig config;
  config.endpoint = endpoint;
  config.accountKey = std::move(accountKey);
  config.timeouts.connect = std::chrono::milliseconds(2000);
  config.timeouts.transfer = std::chrono::milliseconds(5000);
  config.parkedWaitLimit = std::chrono::milliseconds(1500);
  config.parkedPollStep = std::chrono::milliseconds(10);
  config.refusalPause = std::chrono::milliseconds(10);
  return config;
}

void BatchRecorder::intake(std::vector<LiveTrafficRecord>& batch, std::uint32_t delaySeconds) {
  {
    std::lock_guard lock(mutex_);
    batches_.push_back({delaySeconds, std::move(batch)});
  }
  batch.clear();
  changed_.notify_all();
}

std::vector<ReceivedBatch> BatchRecorder::batches() const {
  std::lock_guard lock(mutex_);
  return batches_;
}

std::size_t BatchRecorder::count() const {
  std::lock_guard lock(mutex_);
  return batches_.size();
}

bool BatchRecorder::waitForCount(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return batches_.size() >= count; });
}

nlohmann::json liveArray(const std::string& hexId, double latitude, double longitude) {
  nlohmann::json array = nlohmann::json::array();
  for (int i = 0; i < 48; ++i) {
    array.push_back(nullptr);
  }
  array[0] = hexId;
  array[1] = latitude;
  array[2] = longitude;
  array[3] = 90.0;
  array[4] = 12000;
  array[5] = 250.0;
  array[8] = "B738";
  array[9] = "PH-BXA";
  array[10] = 1765000000.5;
  array[11] = "EHAM";
  array[12] = "EGLL";
  array[13] = "KLM1234";
  array[15] = 1500;
  array[17] = "adsb_icao";
  array[18] = 12100;
  array[20] = 300;
  array[23] = 5.0;
  array[25] = 91.0;
  array[28] = "A3";
  return array;
}

void installTestAircraftDatabase() {
  AircraftDatabase database;
  database.typeSets.all = {"A320", "A388", "B738", "B744", "B763"};
  database.typeSets.large = {"A320", "B738"};
  database.typeSets.heavy = {"A388", "B744", "B763"};
  for (const std::string& type : database.typeSets.large) {
    database.categoryByType[type] = SizeCategory::Large;
  }
  for (const std::string& type : database.typeSets.heavy) {
    database.categoryByType[type] = SizeCategory::Heavy;
  }
  database.knownRegistrations["PH-BFB"] = RegistrationData{"KLM", "B744", "", false};
  database.knownRegistrations["G-XLEA"] = RegistrationData{"BAW", "A388", "XYZ", false};
  installAircraftDatabase(std::move(database));
}

void resetFeedGlobals() {
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

}  // namespace crv::testing
