#include "tests/traffic/week_driver.h"

#include <algorithm>
#include <set>

#include "airports/apf_reader.h"
#include "airports/learned_save.h"
#include "airports/park_airport_state.h"
#include "foundation/clock.h"
#include "foundation/settings.h"
#include "tests/traffic/engine_test_access.h"
#include "tests/traffic/flight_driver.h"
#include "tests/traffic/stand_checks.h"
#include "traffic/learning/stand_learning.h"

namespace crv::testing {

namespace {

constexpr double kGroundFeet = 0.0;
constexpr std::int64_t kGroundInfoEveryTicks = 20;
constexpr double kCgHeightFeet = 8.0;
constexpr double kRestPitchRadians = 0.012217304763960306;
// A departed aircraft is out of the feed's range this long after its push back.
constexpr std::int64_t kOutOfRangeSeconds = 180;
// Records are due 30 s after they are handed over; the engine steps on meanwhile.
constexpr std::int64_t kReportLeadSeconds = 40;
constexpr std::int64_t kHalfHourSeconds = 1800;

EngineHooks weekHooks(MotionContext& motion, LiveRules* const& rules, StaticParking* const& statics) {
  EngineHooks hooks;
  installLiveMotion(hooks, motion);
  LiveRules::fillEngineHooks(hooks, rules);
  StaticParking::fillEngineHooks(hooks, statics);
  return hooks;
}

}  // namespace

WeekDriver::WeekDriver()
    : stands_(grid()),
      harness(weekHooks(motion_, rulesSlot_, staticsSlot_), &stands_,
              [this] { return std::chrono::system_clock::time_point(std::chrono::seconds(epochOf(now_))); }),
      engine(harness.engine),
      rules(engine, rulesServices()),
      statics(engine, staticServices()),
      adjustment(engine, statics, rules, {[this] { schedule.busyOn(); }, [this] { schedule.excludeReservedStands(); }}),
      schedule(engine, statics, rules, nullptr, scheduleServices()) {
  rulesSlot_ = &rules;
  staticsSlot_ = &statics;
  motion_.engine = &engine;
  motion_.parkAirportPosition = kApronOrigin;
  LiveRules::fillParkingCalls(motion_.parking, rulesSlot_);
  // The stand learning as the session wires it.
  motion_.parking.addStandOption = [this](std::uint32_t standId, LiveAc& aircraft, DaySlot slot, bool soft,
                                          bool flying) {
    const bool learned = addStandOption(stands_, standId, aircraft.base, slot, soft ? kSoftUsage : kRealUsage, flying);
    if (learned) learnings.push_back({aircraft.base.key, now_ / kHalfHourSeconds, soft});
    return learned;
  };
  statics.seedRandom(11);
  EngineTestAccess::setParkElevation(engine, kGroundFeet);
  user_.latitude = kApronOrigin.latitude - 0.01;  // on the ground, a kilometre south of the apron
  user_.longitude = kApronOrigin.longitude;
  user_.altitudeFeet = kGroundFeet;
  EngineTestAccess::setUserAircraft(engine, user_);
  schedule.onMainLoopStart();
}

WeekDriver::~WeekDriver() {
  rulesSlot_ = nullptr;
  staticsSlot_ = nullptr;
  motion_.engine = nullptr;
  setParkAirportActive(false);
  resetStandUpdates();
}

LiveRulesServices WeekDriver::rulesServices() {
  LiveRulesServices services;
  services.matchLiveryAtSpawn = [](AircraftBase& base) { base.liveryTitle = "Livery " + base.identity.icaoType; };
  services.userOnGround = [] { return true; };
  services.markCargoStandUsed = [this](LiveAc& a) { markCargoStandUsed(motion_, a); };
  services.addStandOption = [this](std::uint32_t standId, const LiveAc& aircraft, DaySlot slot, bool fillGap) {
    const bool learned = addStandOption(stands_, standId, aircraft.base, slot, kRealUsage, fillGap);
    if (learned) learnings.push_back({aircraft.base.key, now_ / kHalfHourSeconds, false});
    return learned;
  };
  return services;
}

StaticParkingServices WeekDriver::staticServices() {
  StaticParkingServices services;
  services.matchLivery = [](AircraftBase& base, const ParkingPosition&) {
    base.liveryTitle = "Livery " + base.identity.icaoType;
    return true;
  };
  services.currentSlot = [this] { return slotNow(); };
  services.stopCollectingLive = [this] { collecting_ = false; };
  services.takeCollectedLive = [this] { return std::exchange(collected, {}); };
  services.requestParkedTraffic = [this] {
    ++parkedTrafficRequests;
    bool arrives = parkedTrafficArrives;
    if (!parkedTrafficAnswers.empty()) {
      arrives = parkedTrafficAnswers.front();
      parkedTrafficAnswers.pop_front();
    }
    return arrives ? &parkedTraffic : nullptr;
  };
  return services;
}

ParkingScheduleServices WeekDriver::scheduleServices() {
  ParkingScheduleServices services;
  services.userAircraft = [this] { return user_; };
  services.userOnGround = [] { return true; };
  const AirportRecord airport{"EDDF", "FRA", kApronOrigin.latitude, kApronOrigin.longitude, kGroundFeet};
  services.closestAirport = [airport](const GeoPoint&) { return std::optional<AirportRecord>(airport); };
  services.airportByIcao = [airport](std::string_view icao) {
    return icao == airport.code ? std::optional<AirportRecord>(airport) : std::nullopt;
  };
  services.airportFileExists = [](std::string_view) { return true; };
  services.readParkedFile = [this](const ParkedFileRequest&) {
    stands_ = grid();
    setParkAirportActive(true);
    return ParkedFileResult{};
  };
  services.saveLearnedFile = [this](std::string_view icao, StandTable& stands) {
    ++saves;
    for (const ParkingPosition& stand : stands) {
      std::set<std::uint32_t> ids;
      for (const UsageEntry& entry : stand.usage) badIdsAtSave += entry.id == 0 || !ids.insert(entry.id).second;
    }
    return saveAirportFile(icao, header_, stands);
  };
  services.startCollectingLive = [this] { collecting_ = true; };
  services.adjustParking = [this](bool full) {
    ++adjustments;
    adjustment.adjustParking(full);
  };
  services.currentSlot = [this] { return slotNow(); };
  return services;
}

void WeekDriver::addTrack(const Visit& visit, const std::vector<TrackPoint>& track) {
  for (const TrackPoint& point : track) {
    LiveTrafficRecord r = EngineHarness::record(visit.key, visit.callsign, visit.type, 0.0);
    const auto second = static_cast<std::int64_t>(point.seconds);
    r.timestamp = static_cast<double>(epochOf(second));
    r.identity.registration = visit.registration;
    r.latitude = point.latitude;
    r.longitude = point.longitude;
    r.altitudeFeet = kGroundFeet;
    r.speedKnots = point.speedKnots;
    r.trueAirspeedKnots = point.speedKnots;
    r.trackDegrees = point.trackDegrees;
    r.airborne = false;
    reports_.push_back({second, r});
  }
}

void WeekDriver::addVisit(const Visit& visit) {
  const ParkingPosition& stand = *findStandByName(stands_, visit.stand);
  const GeoPoint approach = offsetMeters(stand.position(), -300.0, 0.0);
  const auto arrive = static_cast<double>(visit.arriveSecond);
  if (visit.appearsOnStand) {
    addTrack(visit, TrackBuilder(stand.latitude, stand.longitude, 0.0, arrive).stand(60, 16).points());
  } else if (visit.stopsShortOfStand) {
    // 150 m at 14.6 kt.
    addTrack(visit, TrackBuilder(approach.latitude, approach.longitude, 0.0, arrive)
                        .leg(20, 14.6, 0, 0, 0, 4)
                        .stand(60, 16)
                        .points());
  } else {
    addTrack(visit, TrackBuilder(approach.latitude, approach.longitude, 0.0, arrive)
                        .leg(40, 15, 0, 0, 0, 4)
                        .stand(60, 16)
                        .points());
  }
  const auto depart = static_cast<double>(visit.departSecond);
  if (!visit.vanishesParked && !visit.stopsShortOfStand) {
    addTrack(visit, TrackBuilder(stand.latitude, stand.longitude, 0.0, depart)
                        .stand(20, 10)
                        .leg(40, 3, 180, 0, 0, 4)
                        .leg(60, 10, 90, 0, 0, 4)
                        .points());
  }
  std::stable_sort(reports_.begin() + static_cast<std::ptrdiff_t>(nextReport_), reports_.end(),
                   [](const Report& a, const Report& b) { return a.second < b.second; });
  if (!visit.stopsShortOfStand) {
    departures_.push_back({visit.departSecond + kOutOfRangeSeconds, visit.key});
  }
}

bool WeekDriver::engineBusy() {
  if (nextReport_ < reports_.size() && reports_[nextReport_].second <= now_ + kReportLeadSeconds) return true;
  for (const LiveAc& a : engine.liveAircraft()) {
    if (a.state != SimState::active || a.phase != FlightPhase::parked || !a.motion.standReached) return true;
  }
  for (const StaticAc& a : engine.staticAircraft()) {
    if (a.state != SimState::active) return true;
  }
  return !statics.pendingStatics().empty() || schedule.adjustmentHalfway() || !engine.removeQueue().empty() ||
         !engine.staticCreateQueue().empty() || !engine.liveCreateQueue().empty() || !engine.addingStack().empty();
}

std::int64_t WeekDriver::nextStop() const {
  std::int64_t stop = std::min((now_ / 15 + 1) * 15, (now_ / 16 + 1) * 16);
  if (nextReport_ < reports_.size()) {
    stop = std::min(stop, std::max(now_ + 1, reports_[nextReport_].second - kReportLeadSeconds));
  }
  for (const Departure& d : departures_) stop = std::min(stop, std::max(now_ + 1, d.second));
  return stop;
}

void WeekDriver::simulator() {
  for (const auto& created : harness.creates) {
    const CreateRequest& request = created.item;
    if (failingCreates.contains(request.key)) {
      ++failedCreates;
      engine.pushSimEvent({0, request.key, 0, SimEventType::createFailed, 0.0, 0.0});
      continue;
    }
    const std::uint32_t objectId = nextObjectId_++;
    if (request.key < 10000) {
      ++staticCreates[request.callsign];
      harness.bindStatic(request.key, objectId);
    } else {
      engine.pushSimEvent({objectId, request.key, 0, SimEventType::boundLive, 0.0, 0.0});
      engine.pushSimEvent({objectId, 0, 0, SimEventType::staticCg, kCgHeightFeet, kRestPitchRadians});
    }
  }
  harness.creates.clear();
  if (simulatorAnswersRemovals) {
    for (const auto& removed : harness.removes) harness.objectRemoved(removed.item);
    harness.removes.clear();
  }
  harness.positions.clear();
  harness.clientEvents.clear();
  if (engine.tick() % kGroundInfoEveryTicks != 0) return;
  for (const LiveAc& a : engine.liveAircraft()) {
    if (a.objectId != 0 && a.state == SimState::active) {
      const double height = std::max(a.position.altitudeFeet - kCgHeightFeet - kGroundFeet, 0.0);
      engine.pushSimEvent({a.objectId, height <= 0.5 ? 1u : 0u, 0, SimEventType::groundInfo, kGroundFeet, height});
    }
  }
}

void WeekDriver::feedDueReports() {
  if (nextReport_ >= reports_.size() || reports_[nextReport_].second > now_ ||
      EngineTestAccess::handoverSize(engine) != 0) {
    return;
  }
  std::vector<LiveTrafficRecord> batch;
  for (; nextReport_ < reports_.size() && reports_[nextReport_].second <= now_; ++nextReport_) {
    const LiveTrafficRecord& record = reports_[nextReport_].record;
    if (collecting_) {
      collected.callsigns.insert(record.identity.callsign);
      collected.keys.insert(record.key);
    }
    batch.push_back(record);
  }
  harness.feedLive(std::move(batch));
}

void WeekDriver::removeDeparted() {
  for (const Departure& d : departures_) {
    LiveAc* a = d.second <= now_ ? engine.findLiveByKey(d.key) : nullptr;
    if (a != nullptr) engine.removeAircraftFromSim(*a);
  }
  std::erase_if(departures_, [this](const Departure& d) { return d.second <= now_; });
}

void WeekDriver::observe() {
  if (!standsOccupiedByNobody(stands_, std::as_const(engine).liveAircraft()).empty()) {
    ++secondsWithStandsOccupiedByNobody;
  }
  const DaySlot slot = slotNow();
  for (const LiveAc& a : std::as_const(engine).liveAircraft()) {
    if (a.state == SimState::active && a.phase == FlightPhase::parked && a.standId != 0) {
      observedParking[{engine.standLabel(a.standId), slot.weekday, a.base.identity.registration}].set(
          static_cast<std::size_t>(slot.halfHour));
    }
  }
  std::size_t statics = 0;
  for (const StaticAc& s : std::as_const(engine).staticAircraft()) {
    if (s.state != SimState::active) continue;
    ++statics;
    for (const LiveAc& a : std::as_const(engine).liveAircraft()) {
      if (a.state == SimState::active && a.phase == FlightPhase::parked && a.standId == s.standId) {
        ++sharedStands;
      }
    }
  }
  mostStaticsAtOnce = std::max(mostStaticsAtOnce, statics);
}

void WeekDriver::stepEngine(double seconds) {
  const auto steps = static_cast<int>(seconds * kTicksPerSecond);
  for (int i = 0; i < steps; ++i) {
    feedDueReports();
    harness.step();
    simulator();
  }
}

LiveAc& WeekDriver::parkedLive(std::uint32_t key, const std::string& callsign, const std::string& standName) {
  const ParkingPosition& where = stand(standName);
  LiveAc& aircraft = harness.placeLive(key, callsign, SimState::active, nextObjectId_++);
  aircraft.phase = FlightPhase::parked;
  aircraft.onGround = true;
  aircraft.standId = where.id;
  aircraft.standLatitude = where.latitude;
  aircraft.standLongitude = where.longitude;
  aircraft.motion.standReached = true;
  aircraft.motion.standLastApproachTick = engine.tick();
  return aircraft;
}

std::vector<std::pair<std::string, std::string>> WeekDriver::staticsByStand() const {
  std::vector<std::pair<std::string, std::string>> placed;
  for (const StaticAc& s : std::as_const(engine).staticAircraft()) {
    if (s.state == SimState::active) {
      placed.emplace_back(engine.standLabel(s.standId), s.base.identity.callsign);
    }
  }
  std::sort(placed.begin(), placed.end());
  return placed;
}

void WeekDriver::runUntil(std::int64_t weekSecond) {
  while (now_ < weekSecond) {
    if (engineBusy()) {
      stepEngine(1);
      ++now_;
    } else {
      now_ = std::min(nextStop(), weekSecond);
    }
    removeDeparted();
    if (now_ % 15 == 0 || now_ % 16 == 0) schedule.onSecond(static_cast<int>(now_));
    observe();
  }
}

void WeekDriver::timeShift() {
  for (LiveAc& aircraft : engine.liveAircraft()) {
    if (aircraft.state == SimState::active || aircraft.state == SimState::adding2sim) {
      engine.removeAircraftFromSim(aircraft);
    }
  }
  rules.removeAllStaticAc("the traffic starts again at the new time shift");
}

StandTable WeekDriver::readLearnedFile() const {
  StandTable fresh = grid();
  lf_readLearned("airports/learned/stock/EDDF.xml", header_, fresh);
  return fresh;
}

}  // namespace crv::testing
