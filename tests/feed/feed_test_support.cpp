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

bool BatchRecorder::waitForCount(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return batches_.size() >= count; });
}

nlohmann::json liveArray(const std::string& hexId) {
  // Slots 1 to 28: position, track, altitude, speed, type, registration, time, route,
  // callsign, vertical speed, source, geometric altitude, true airspeed, bank,
  // true heading and emitter category; the rest of the 48 are null.
  nlohmann::json array = nlohmann::json::parse(
      R"([null, 52.35, 4.80, 90.0, 12000, 250.0, null, null, "B738", "PH-BXA", 1765000000.5, "EHAM", "EGLL",
          "KLM1234", null, 1500, null, "adsb_icao", 12100, null, 300, null, null, 5.0, null, 91.0, null, null, "A3"])");
  array.insert(array.end(), 48 - array.size(), nullptr);
  array[0] = hexId;
  return array;
}

void installTestAircraftDatabase() {
  AircraftDatabase database;
  database.typeSets.all = {"A320", "A388", "B738", "B744", "B763"};
  database.typeSets.large = {"A320", "B738"};
  database.typeSets.heavy = {"A388", "B744", "B763"};
  for (const std::string& type : database.typeSets.large) database.categoryByType[type] = SizeCategory::Large;
  for (const std::string& type : database.typeSets.heavy) database.categoryByType[type] = SizeCategory::Heavy;
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
