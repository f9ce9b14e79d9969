#include "fuzz/support/rt_answers.h"

#include <chrono>
#include <cmath>

#include "aircraftdata/aircraft_database.h"
#include "feed/json_reading.h"
#include "fuzz/support/fuzz_support.h"
#include "tests/feed/test_aircraft_types.h"

namespace crv::fuzz {

namespace {

constexpr GeoPoint kSchiphol{52.3086, 4.7639};

FeedConfig standConfig() {
  FeedConfig config;
  config.endpoint = "http://127.0.0.1:9";  // never asked: the targets hand over answer texts
  return config;
}

}  // namespace

AnswerStand::AnswerStand() : traffic(standConfig(), hooks()), weather(standConfig(), hooks()) {
  static const bool installed = (testing::installTestAircraftDatabase(), true);
  (void)installed;
  weather.setTrafficReader(&traffic);
  traffic.setOwnPosition(kSchiphol);
  traffic.setParkElevation(-11.0);
}

FeedHooks AnswerStand::hooks() {
  FeedHooks result;
  result.userPosition = [] { return kSchiphol; };
  result.parkAirportPosition = [] { return std::optional<GeoPoint>(kSchiphol); };
  result.intakeTrafficBatch = [this](std::vector<LiveTrafficRecord>& batch, std::uint32_t) {
    batches.push_back(std::move(batch));
    batch.clear();
  };
  result.publishEngineQnh = [this](int qnh) { engineQnhs.push_back(qnh); };
  result.display = &display;
  return result;
}

void requirePlausible(const LiveTrafficRecord& r) {
  require(isPlausiblePosition(r.latitude, r.longitude), "live aircraft on the globe");
  require(r.key > kLastStaticKey, "live key above the static keys");
  require(r.speedKnots >= 0.0 && r.speedKnots <= kMaximumGroundSpeedKnots, "ground speed in range");
  require(r.trackDegrees >= 0.0 && r.trackDegrees <= 360.0, "track in range");
  require(std::fabs(r.verticalSpeedFpm) <= kMaximumVerticalSpeedFpm, "vertical speed in range");
  require(r.altitudeFeet >= 0.0 && r.altitudeFeet <= kMaximumAltitudeFeet, "altitude in range");
  require(r.airborne == (r.altitudeFeet > 0.0), "airborne exactly when above 0 ft");
  require(r.trueAirspeedKnots >= 0.0 && r.trueAirspeedKnots <= kMaximumTrueAirspeedKnots, "airspeed in range");
  require(std::isfinite(r.timestamp), "timestamp finite");
  if (r.bankRadians) {
    require(std::fabs(*r.bankRadians) <= M_PI, "bank within half a turn");
  }
  if (r.trueHeadingRadians) {
    require(*r.trueHeadingRadians > 0.0 && *r.trueHeadingRadians <= 2.0 * M_PI, "true heading in (0, 2 pi]");
  }
  require(r.identity.registration.size() <= kMaximumRegistrationLength, "registration short");
  require(!(r.identity.registration.empty() && r.identity.callsign.empty()), "a registration or a callsign");
}

void requirePlausibleBatches(const AnswerStand& stand) {
  for (const auto& batch : stand.batches) {
    for (const LiveTrafficRecord& record : batch) requirePlausible(record);
  }
}

void requirePlausible(const ParkedTrafficRecord& r) {
  require(isPlausiblePosition(r.latitude, r.longitude), "parked aircraft on the globe");
  require(r.key > kLastStaticKey, "parked key above the static keys");
  require(r.halfHour >= -1 && r.halfHour < 48, "half hour of the day or -1");
  require(!r.identity.icaoType.empty(), "parked aircraft has a type");
  require(r.identity.registration.size() <= kMaximumRegistrationLength, "registration short");
}

void requireStoppablePaces(RtClient& client) {
  client.requestStop();
  const auto start = std::chrono::steady_clock::now();
  for (const int pace : {client.trafficPaceMilliseconds(), client.weatherPaceMilliseconds()}) {
    client.waitInterval(pace);
    client.waitPace(std::chrono::milliseconds(pace), client.stopFlag());
  }
  require(std::chrono::steady_clock::now() - start < std::chrono::seconds(1), "a raised stop ends every pace wait");
}

}  // namespace crv::fuzz
