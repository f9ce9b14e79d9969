#include "tests/traffic/flight_driver.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include <fmt/format.h>

#include "feed/live_decoder.h"
#include "foundation/geodesy.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {

namespace {

constexpr std::int64_t kGroundInfoEveryTicks = 20;
constexpr double kGroundInfoCeilingFeet = 2500.0;
constexpr double kCgHeightFeet = 8.0;
constexpr double kRestPitchRadians = 0.012217304763960306;

}  // namespace

FlightDriver::FlightDriver()
    : harness(
          [this] {
            EngineHooks hooks;
            installLiveMotion(hooks, motion);
            LiveRules::fillEngineHooks(hooks, rulesSlot_);
            return hooks;
          }(),
          &stands_, [] { return timeInSlot({3, 20}); }),
      rules(harness.engine, rulesServices()) {
  rulesSlot_ = &rules;
  motion.engine = &harness.engine;
  LiveRules::fillParkingCalls(motion.parking, rulesSlot_);
  EngineTestAccess::setParkElevation(harness.engine, 0.0);
}

LiveRulesServices FlightDriver::rulesServices() {
  LiveRulesServices services;
  services.matchLiveryAtSpawn = [](AircraftBase& base) { base.liveryTitle = "Livery " + base.identity.icaoType; };
  services.userOnGround = [] { return false; };
  services.markCargoStandUsed = [this](LiveAc& a) { markCargoStandUsed(motion, a); };
  return services;
}

FlightDriver::~FlightDriver() { motion.engine = nullptr; }

void FlightDriver::setParkAirport(const GeoPoint& position, StandTable stands) {
  stands_ = std::move(stands);
  numberStandsAndFindNeighbours(stands_);
  motion.parkAirportPosition = position;
  harness.engine.setParkAirport("EHAM", 0.0);
  rules.setParkAirport(position);
}

void FlightDriver::queueReport(const LiveTrafficRecord& record, double handedOverSeconds) {
  reports_.push_back({static_cast<std::int64_t>(std::llround(handedOverSeconds * 100.0)), record});
  std::stable_sort(reports_.begin(), reports_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

std::vector<DecodedReport> decodeTrack(std::uint32_t key, const std::string& callsign, const std::string& type,
                                       const std::vector<TrackPoint>& track, GeoPoint own,
                                       std::optional<GeoPoint> parkAirport) {
  LiveDecodeContext context;
  context.ownPosition = own;
  if (parkAirport) {
    context.parkAirport = *parkAirport;
  }
  LiveDecodeState state;
  std::vector<DecodedReport> decoded;
  for (const TrackPoint& point : track) {
    nlohmann::json array(kLiveArraySize, nullptr);
    array[0] = fmt::format("{:06x}", key);
    array[1] = point.latitude;
    array[2] = point.longitude;
    array[3] = point.trackDegrees;
    if (point.reportsAltitude) {
      array[4] = point.altitudeFeet;
    }
    array[5] = point.speedKnots;
    array[8] = type;
    array[9] = "PH-" + callsign.substr(0, 3);
    array[10] = 1.0e9 + point.seconds;
    array[11] = "EHAM";
    array[12] = "EGLL";
    array[13] = callsign;
    array[15] = point.verticalSpeedFpm;
    array[17] = "adsb_icao";
    if (point.reportsTrueAirspeed) {
      array[20] = point.speedKnots;
    }
    if (point.reportsHeading) {
      array[25] = point.trackDegrees;
    }
    array[28] = "A3";
    std::vector<LiveTrafficRecord> records;
    processLine(array, context, state, records);
    for (LiveTrafficRecord& record : records) {
      decoded.push_back({point.handedOverSeconds >= 0.0 ? point.handedOverSeconds : point.seconds, std::move(record)});
    }
  }
  return decoded;
}

std::size_t FlightDriver::addFlight(std::uint32_t key, const std::string& callsign, const std::string& type,
                                    const std::vector<TrackPoint>& track) {
  const bool park = harness.engine.parkAirportSet();
  const std::vector<DecodedReport> decoded =
      decodeTrack(key, callsign, type, track, park ? motion.parkAirportPosition : GeoPoint{track.front().latitude, track.front().longitude},
                  park ? std::optional<GeoPoint>(motion.parkAirportPosition) : std::nullopt);
  for (const DecodedReport& report : decoded) {
    queueReport(report.record, report.handedOverSeconds);
  }
  return decoded.size();
}

void FlightDriver::runUntilSecond(double seconds) {
  const auto endTick = static_cast<std::int64_t>(std::llround(seconds * 100.0));
  while (harness.engine.tick() < endTick) {
    // One live batch a step at most, as the Traffic Reader hands them over.
    if (nextReport_ < reports_.size() && reports_[nextReport_].first <= harness.engine.tick() &&
        EngineTestAccess::handoverSize(harness.engine) == 0) {
      harness.feedLive({reports_[nextReport_].second});
      ++nextReport_;
    }
    harness.step();
    simulatorStep();
    observe();
  }
}

void FlightDriver::simulatorStep() {
  TrafficEngine& engine = harness.engine;
  const auto bindDelayTicks = static_cast<std::int64_t>(std::llround(bindDelaySeconds * 100.0));
  for (; createsSeen_ < harness.creates.size(); ++createsSeen_) {
    if (harness.creates[createsSeen_].tick + bindDelayTicks > engine.tick()) {
      break;
    }
    const CreateRequest& request = harness.creates[createsSeen_].item;
    const std::uint32_t objectId = nextObjectId_++;
    objectOfKey_[request.key] = objectId;
    const double height = std::max(request.position.altitudeFeet, 0.0);
    engine.pushSimEvent({objectId, request.key, 0, SimEventType::boundLive, 0.0, height});
    engine.pushSimEvent({objectId, 0, 0, SimEventType::staticCg, kCgHeightFeet, kRestPitchRadians});
  }
  if (engine.tick() % kGroundInfoEveryTicks != 0) {
    return;
  }
  for (const LiveAc& a : engine.liveAircraft()) {
    if (a.objectId == 0 || a.state != SimState::active) {
      continue;
    }
    const double height = std::max(a.position.altitudeFeet - kCgHeightFeet, 0.0);
    if (height > kGroundInfoCeilingFeet) {
      continue;
    }
    const std::uint32_t onGround = height <= 0.5 ? 1 : 0;
    engine.pushSimEvent({a.objectId, onGround, 0, SimEventType::groundInfo, 0.0, height});
  }
}

void FlightDriver::observe() {
  TrafficEngine& engine = harness.engine;
  const std::int64_t stepTick = engine.tick() - 1;
  for (; positionsSeen_ < harness.positions.size(); ++positionsSeen_) {
    const auto& sent = harness.positions[positionsSeen_];
    const LiveAc* a = engine.findLiveByObjectId(sent.item.objectId);
    sent_[sent.item.objectId].push_back({sent.tick, sent.item.block, a != nullptr && a->onGround});
  }
  for (const LiveAc& a : engine.liveAircraft()) {
    if (a.state != SimState::active || a.path.empty()) {
      continue;
    }
    std::vector<FlightPhase>& phases = phases_[a.base.key];
    if (phases.empty() || phases.back() != a.phase) {
      phases.push_back(a.phase);
    }
    const std::int64_t due = a.path.front().dueTick;
    auto last = lastFrontDue_.find(a.base.key);
    if (last == lastFrontDue_.end() || (last->second != due && last->second <= stepTick)) {
      legs_[a.base.key].push_back({stepTick, due});
    }
    lastFrontDue_[a.base.key] = due;
  }
}

std::vector<std::int64_t> FlightDriver::eventTicks(std::uint32_t key, std::uint32_t eventId, std::uint32_t value) {
  std::vector<std::int64_t> ticks;
  for (const auto& event : harness.clientEvents) {
    if (event.item.objectId == objectOfKey_[key] && event.item.eventId == eventId && event.item.value == value) {
      ticks.push_back(event.tick);
    }
  }
  return ticks;
}

void FlightDriver::writeTrace(const std::filesystem::path& file) const {
  std::ofstream out(file);
  out << "object,seconds,latitude,longitude,altitude_ft,pitch_rad,bank_rad,heading_rad,vertical_speed_fps,"
         "true_airspeed_kt\n";
  for (const auto& [objectId, positions] : sent_) {
    for (const SentPosition& p : positions) {
      const AiPositionBlock& b = p.block;
      out << fmt::format("{},{:.2f},{:.8f},{:.8f},{:.2f},{:.6f},{:.6f},{:.6f},{:.3f},{:.2f}\n", objectId,
                         static_cast<double>(p.tick) / 100.0, b.latitude, b.longitude, b.altitudeFeet, b.pitchRadians,
                         b.bankRadians, b.headingRadians, b.verticalSpeedFps, b.trueAirspeedKnots);
    }
  }
}

}  // namespace crv::testing
