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

FeedTest::FeedTest()
    : config_(testConfig(standIn_.endpoint(), "secret&key=1")), weather_(config_, hooks()), traffic_(config_, hooks()) {
  resetFeedGlobals();
  installTestAircraftDatabase();
  standIn_.setPace(20, 20);
  traffic_.setTrafficPaceMilliseconds(20);
  weather_.setWeatherPaceMilliseconds(20);
  weather_.setTrafficReader(&traffic_);
}

FeedTest::~FeedTest() {
  weather_.requestStop();
  traffic_.requestStop();
  for (std::thread* thread : {&weatherThread_, &trafficThread_}) {
    if (thread->joinable()) thread->join();
  }
  resetFeedGlobals();
}

FeedHooks FeedTest::hooks() {
  FeedHooks result;
  result.userPosition = [] { return kSchiphol; };
  result.userAltitudeFeet = [] { return -50.0; };
  result.parkAirportPosition = [] { return std::optional<GeoPoint>(kSchiphol); };
  result.reservedStandName = [] { return std::string("R1"); };
  result.userStandName = [] { return std::string("U1"); };
  result.intakeTrafficBatch = [this](std::vector<LiveTrafficRecord>& batch, std::uint32_t delaySeconds) {
    {
      std::lock_guard lock(mutex_);
      batches_.push_back({delaySeconds, std::move(batch)});
    }
    batch.clear();  // the intake takes the records
    batchArrived_.notify_all();
  };
  result.publishEngineQnh = [this](int qnh) {
    std::lock_guard lock(mutex_);
    engineQnh_.push_back(qnh);
  };
  result.reportThreadError = [this](std::string_view name, bool unauthorized) {
    std::lock_guard lock(mutex_);
    threadErrors_.emplace_back(std::string(name), unauthorized);
  };
  result.showServerName = [this](std::string_view name) { serverShown_ = name; };
  result.endSessionWithReaderError = [this] {
    ++readerErrors_;
    raiseStop();
  };
  result.display = &display_;
  return result;
}

std::vector<ReceivedBatch> FeedTest::batches() const {
  std::lock_guard lock(mutex_);
  return batches_;
}

bool FeedTest::waitForBatches(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return batchArrived_.wait_for(lock, timeout, [&] { return batches_.size() >= count; });
}

std::vector<int> FeedTest::engineQnh() const {
  std::lock_guard lock(mutex_);
  return engineQnh_;
}

std::vector<std::pair<std::string, bool>> FeedTest::threadErrors() const {
  std::lock_guard lock(mutex_);
  return threadErrors_;
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
