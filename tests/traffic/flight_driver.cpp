#include "tests/traffic/flight_driver.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include <fmt/format.h>

#include "airports/stand_table.h"
#include "feed/live_decoder.h"
#include "foundation/geodesy.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {

namespace {

constexpr double kStandReachNm = 30.0 / 1852.0;
constexpr std::int64_t kGroundInfoEveryTicks = 20;
constexpr double kGroundInfoCeilingFeet = 2500.0;
constexpr double kRestPitchRadians = 0.012217304763960306;

double spawnPitch(const PathPoint& p) {
  if (!p.airborne) {
    return 0.010471975511965976;
  }
  const double v = p.verticalSpeedFpm > 0.0 ? std::min(p.verticalSpeedFpm, 2400.0)
                                             : std::max(p.verticalSpeedFpm, -3000.0) * 0.5;
  return (-3.0 - v / 600.0 * 2.2) * kDegreesToRadians;
}

}  // namespace

TrackBuilder::TrackBuilder(double latitude, double longitude, double altitudeFeet, double startSeconds)
    : seconds_(startSeconds), latitude_(latitude), longitude_(longitude), altitudeFeet_(altitudeFeet) {}

void TrackBuilder::report() {
  TrackPoint point;
  point.seconds = seconds_;
  point.latitude = latitude_;
  point.longitude = longitude_;
  point.altitudeFeet = altitudeFeet_;
  point.speedKnots = speedKnots_;
  point.trackDegrees = courseDegrees_;
  point.verticalSpeedFpm = verticalSpeedFpm_;
  point.airborne = altitudeFeet_ > 0.0;
  points_.push_back(point);
}

TrackBuilder& TrackBuilder::leg(double seconds, double speedKnots, double trackDegrees, double verticalSpeedFpm,
                                double turnDegreesPerSecond, double everySeconds) {
  speedKnots_ = speedKnots;
  verticalSpeedFpm_ = verticalSpeedFpm;
  courseDegrees_ = trackDegrees;
  if (points_.empty()) {
    report();
  }
  double sinceReport = 0.0;
  for (double t = 0.0; t < seconds; t += 1.0) {
    const GeoPoint next = gf_destination({latitude_, longitude_}, courseDegrees_ * kDegreesToRadians,
                                         speedKnots / 3600.0 * kFeetPerNm);
    latitude_ = next.latitude;
    longitude_ = next.longitude;
    altitudeFeet_ = std::max(altitudeFeet_ + verticalSpeedFpm / 60.0, 0.0);
    courseDegrees_ = std::fmod(courseDegrees_ + turnDegreesPerSecond + 360.0, 360.0);
    seconds_ += 1.0;
    sinceReport += 1.0;
    if (sinceReport >= everySeconds) {
      sinceReport = 0.0;
      report();
    }
  }
  return *this;
}

TrackBuilder& TrackBuilder::stand(double seconds, double everySeconds) {
  speedKnots_ = 0.0;
  verticalSpeedFpm_ = 0.0;
  for (double t = everySeconds; t <= seconds; t += everySeconds) {
    seconds_ += everySeconds;
    report();
  }
  return *this;
}

TrackBuilder& TrackBuilder::gap(double seconds, double speedKnots, double trackDegrees) {
  const GeoPoint next = gf_destination({latitude_, longitude_}, trackDegrees * kDegreesToRadians,
                                       speedKnots * seconds / 3600.0 * kFeetPerNm);
  latitude_ = next.latitude;
  longitude_ = next.longitude;
  courseDegrees_ = trackDegrees;
  speedKnots_ = speedKnots;
  seconds_ += seconds;
  report();
  return *this;
}

FlightDriver::FlightDriver(double groundElevation, bool liveRules)
    : harness(
          [this, liveRules] {
            EngineHooks hooks;
            installLiveMotion(hooks, motion);
            if (liveRules) {
              LiveRules::fillEngineHooks(hooks, rulesSlot_);
              return hooks;
            }
            hooks.trySpawn = [this](LiveAc& a) { testSpawn(a); };
            // Without the parking rules a ground aircraft is simply on the
            // ground once bound.
            hooks.parkLiveOverStatic = [](LiveAc& a) {
              a.onGround = true;
              a.motion.climbPerTickFeet = 0.0;
            };
            return hooks;
          }(),
          &stands_),
      groundElevationFeet(groundElevation) {
  motion.engine = &harness.engine;
  EngineTestAccess::setParkElevation(harness.engine, groundElevation);
  if (liveRules) {
    rules_ = std::make_unique<LiveRules>(harness.engine, rulesServices());
    rulesSlot_ = rules_.get();
    LiveRules::fillParkingCalls(motion.parking, rulesSlot_);
  }
}

LiveRulesServices FlightDriver::rulesServices() {
  LiveRulesServices services;
  services.matchLiveryAtSpawn = [](AircraftBase& base) { base.liveryTitle = "Livery " + base.identity.icaoType; };
  services.userOnGround = [] { return false; };
  services.currentSlot = [] { return DaySlot{3, 20}; };
  services.markCargoStandUsed = [this](LiveAc& a) { markCargoStandUsed(motion, a); };
  return services;
}

FlightDriver::~FlightDriver() { motion.engine = nullptr; }

void FlightDriver::setParkAirport(const GeoPoint& position, StandTable stands) {
  stands_ = std::move(stands);
  numberStandsAndFindNeighbours(stands_);
  motion.parkAirportPosition = position;
  harness.engine.setParkAirport("EHAM", groundElevationFeet);
  if (rules_) {
    rules_->setParkAirport(position);
  }
}

void FlightDriver::addFlight(std::uint32_t key, const std::string& callsign, const std::string& type,
                             std::vector<TrackPoint> track) {
  for (const TrackPoint& point : track) {
    LiveTrafficRecord r = EngineHarness::record(key, callsign, type, 1.0e9 + point.seconds);
    r.latitude = point.latitude;
    r.longitude = point.longitude;
    r.altitudeFeet = point.altitudeFeet;
    r.speedKnots = point.speedKnots;
    r.trackDegrees = point.trackDegrees;
    r.verticalSpeedFpm = point.verticalSpeedFpm;
    r.trueAirspeedKnots = point.speedKnots;
    r.airborne = point.airborne;
    queueReport(r, point.handedOverSeconds >= 0.0 ? point.handedOverSeconds : point.seconds);
  }
}

void FlightDriver::queueReport(const LiveTrafficRecord& record, double handedOverSeconds) {
  reports_.push_back({static_cast<std::int64_t>(std::llround(handedOverSeconds * 100.0)), record});
  std::stable_sort(reports_.begin(), reports_.end(), [](const Report& a, const Report& b) { return a.tick < b.tick; });
}

std::size_t FlightDriver::addFlightAsApiArrays(const std::string& hexId, const std::string& callsign,
                                               const std::string& type, const std::vector<TrackPoint>& track) {
  LiveDecodeContext context;
  context.parkElevationFeet = groundElevationFeet;
  context.ownPosition = motion.parkAirportPosition;
  context.rangeNm = 40.0;
  if (harness.engine.parkAirportSet()) {
    context.parkAirport = motion.parkAirportPosition;
  }
  LiveDecodeState state;
  std::size_t decoded = 0;
  for (const TrackPoint& point : track) {
    nlohmann::json array = nlohmann::json::array();
    for (std::size_t i = 0; i < kLiveArraySize; ++i) {
      array.push_back(nullptr);
    }
    array[0] = hexId;
    array[1] = point.latitude;
    array[2] = point.longitude;
    array[3] = point.trackDegrees;
    array[4] = point.airborne ? point.altitudeFeet : 0.0;
    array[5] = point.speedKnots;
    array[8] = type;
    array[9] = "PH-" + callsign.substr(0, 3);
    array[10] = 1.0e9 + point.seconds;
    array[11] = "EHAM";
    array[12] = "EGLL";
    array[13] = callsign;
    array[15] = point.verticalSpeedFpm;
    array[17] = "adsb_icao";
    array[20] = point.speedKnots;
    array[25] = point.trackDegrees;
    array[28] = "A3";
    std::vector<LiveTrafficRecord> records;
    processLine(array, context, state, records);
    for (const LiveTrafficRecord& record : records) {
      queueReport(record, point.seconds);
      ++decoded;
    }
  }
  return decoded;
}

void FlightDriver::runUntilSecond(double seconds) {
  const auto endTick = static_cast<std::int64_t>(std::llround(seconds * 100.0));
  while (harness.engine.tick() < endTick) {
    // One live batch a step at most, as the Traffic Reader hands them over.
    if (nextReport_ < reports_.size() && reports_[nextReport_].tick <= harness.engine.tick() &&
        EngineTestAccess::handoverSize(harness.engine) == 0) {
      harness.feedLive({reports_[nextReport_].record});
      ++nextReport_;
    }
    harness.step();
    simulatorStep();
    observe();
  }
}

void FlightDriver::testSpawn(LiveAc& a) {
  if (a.path.size() < 2) {
    return;
  }
  const PathPoint& p = a.path.front();
  const bool groundMoving = !p.airborne && p.speedKnots > 0.0;
  if (harness.engine.tick() < p.dueTick - (groundMoving ? 300 : 100)) {
    return;
  }
  a.base.liveryTitle = "Test " + a.base.identity.callsign;
  a.phase = p.airborne ? FlightPhase::flying : FlightPhase::taxi;
  ParkingPosition* standTaken = nullptr;
  if (!p.airborne) {
    for (ParkingPosition& stand : stands_) {
      if (!stand.occupied && gf_distanceNm(stand.position(), {p.latitude, p.longitude}) <= kStandReachNm) {
        standTaken = &stand;
        break;
      }
    }
  }
  if (standTaken != nullptr) {
    a.phase = FlightPhase::parked;
    a.standLatitude = standTaken->latitude;
    a.standLongitude = standTaken->longitude;
    a.standHeadingRadians = standTaken->heading;
    a.standId = standTaken->id;
    standTaken->occupied = true;
    a.path.resize(1);
    a.path.front().latitude = standTaken->latitude;
    a.path.front().longitude = standTaken->longitude;
    a.path.front().trackDegrees = standTaken->heading * kRadiansToDegrees;
    a.path.front().stationary = true;
  }
  const PathPoint& first = a.path.front();
  a.position.latitude = first.latitude;
  a.position.longitude = first.longitude;
  a.position.altitudeFeet = first.altitudeFeet;
  a.position.pitchRadians = spawnPitch(first);
  a.position.verticalSpeedFps = first.verticalSpeedFpm / 60.0;
  a.position.trueAirspeedKnots = first.trueAirspeedKnots;
  if (standTaken != nullptr) {
    a.position.headingRadians = standTaken->heading;
  } else {
    a.position.headingRadians = gf_bearing({first.latitude, first.longitude}, {a.path[1].latitude, a.path[1].longitude});
  }
  a.state = SimState::adding2sim;
  harness.engine.pushAddingStack(a.base.key);
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
    const double height = std::max(request.position.altitudeFeet - groundElevationFeet, 0.0);
    engine.pushSimEvent({objectId, request.key, 0, SimEventType::boundLive, 0.0, height});
    engine.pushSimEvent({objectId, 0, 0, SimEventType::staticCg, cgHeightFeet, kRestPitchRadians});
  }
  if (engine.tick() % kGroundInfoEveryTicks != 0) {
    return;
  }
  for (const LiveAc& a : engine.liveAircraft()) {
    if (a.objectId == 0 || a.state != SimState::active) {
      continue;
    }
    const double height = std::max(a.position.altitudeFeet - cgHeightFeet - groundElevationFeet, 0.0);
    if (height > kGroundInfoCeilingFeet) {
      continue;
    }
    const std::uint32_t onGround = height <= 0.5 ? 1 : 0;
    engine.pushSimEvent({a.objectId, onGround, 0, SimEventType::groundInfo, groundElevationFeet, height});
  }
}

void FlightDriver::observe() {
  TrafficEngine& engine = harness.engine;
  const std::int64_t stepTick = engine.tick() - 1;
  for (; positionsSeen_ < harness.positions.size(); ++positionsSeen_) {
    const auto& sent = harness.positions[positionsSeen_];
    const LiveAc* a = engine.findLiveByObjectId(sent.item.objectId);
    sent_[sent.item.objectId].push_back({sent.tick, sent.item.block, a != nullptr ? a->phase : FlightPhase::birth,
                                         a != nullptr && a->onGround});
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

std::uint32_t FlightDriver::objectIdOf(std::uint32_t key) const {
  const auto found = objectOfKey_.find(key);
  return found == objectOfKey_.end() ? 0 : found->second;
}

std::vector<Timed<ClientEventRecord>> FlightDriver::eventsOf(std::uint32_t key) const {
  const std::uint32_t objectId = objectIdOf(key);
  std::vector<Timed<ClientEventRecord>> events;
  for (const auto& event : harness.clientEvents) {
    if (event.item.objectId == objectId) {
      events.push_back(event);
    }
  }
  return events;
}

std::int64_t FlightDriver::firstEventTick(std::uint32_t key, std::uint32_t eventId, std::uint32_t value) const {
  for (const auto& event : eventsOf(key)) {
    if (event.item.eventId == eventId && event.item.value == value) {
      return event.tick;
    }
  }
  return -1;
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
