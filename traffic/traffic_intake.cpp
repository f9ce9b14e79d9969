#include "traffic/traffic_engine.h"

#include <algorithm>
#include <cmath>

#include <gsl/narrow>

#include "aircraftdata/type_lookups.h"
#include "foundation/clock.h"
#include "foundation/settings.h"
#include "traffic/record_labels.h"

namespace crv {

namespace {

constexpr std::size_t kReservedTimestamps = 256;
// Records closer together than this are one report.
constexpr double kMinimumRecordSpacingSeconds = 1.0;
constexpr double kSlowKnots = 5.0;
constexpr double kJumpFactor = 10.0;
constexpr double kJumpFromStandKnots = 80.0;
// A take-off roll gains about 5 kt a second; a change of speed no faster
// than that is no jump, however far it goes.
constexpr double kReachableKnotsPerSecond = 5.0;
// A record held as a jump in speed is confirmed by a later one this soon.
constexpr double kHeldJumpSeconds = 60.0;
// Straight-line thinning: airborne above 120 kt within 1 degree every 450 m,
// on the ground up to 30 kt within 2 degrees every 20 m (at most 15 s).
constexpr double kThinAirborneAboveKnots = 120.0;
constexpr double kThinAirborneTrackDegrees = 1.0;
constexpr double kThinAirborneDistanceNm = 0.2429805615550756;
constexpr double kThinGroundUpToKnots = 30.0;
constexpr double kThinGroundTrackDegrees = 2.0;
constexpr double kThinGroundDistanceNm = 0.010799136069114472;
constexpr double kThinGroundMaxSeconds = 15.0;
// A buffered aircraft this close to the park airport's elevation is a
// parked aircraft reported as flying.
constexpr double kParkElevationMarginFeet = 120.0;
constexpr double kLowAltitudeLimitFeet = 10000.0;
constexpr std::size_t kMaxCategoryValue = 5;
constexpr std::int32_t kDefaultMaxAircraft = 500;
constexpr double kLargestTimestampOffsetSeconds = 86400.0;
// From this many records on, a batch's median time is steady. The records'
// ages at the answer spread over about the service's pace of 2 s, and the
// median of n of them moves from answer to answer by about
// 2 s / (2 sqrt(n + 2)): from 100 records on, less than the tenth of a second
// the due times are kept in. In a smaller batch it moves too much (with one
// aircraft alone the median is its own record, and every record falls due one
// answer after the one before, whatever their times), and each aircraft keeps
// the spacing of its own records instead.
constexpr std::size_t kSteadyMedianRecords = 100;
// Each record of an aircraft that keeps its own spacing is drawn this share
// of the way towards the batch's rule: its spacing takes on a tenth of the
// answers' jitter, and on average its records fall due the replay's delay
// after the answers that brought them, as the batch's rule has them, even
// where the engine's steps fall behind the feed's clock.
constexpr double kTowardsBatchRule = 0.1;
// And it never lies farther from the batch's rule than this: a gap or a
// wrong time carries the aircraft no farther from the replay's delay.
constexpr std::int64_t kSpacingLeewayTicks = 100;
// The due time of an aircraft not heard for this long is forgotten.
constexpr std::int64_t kForgetRecordDueTicks = 30000;  // 5 minutes

bool isSpeedJump(double lastKnots, double newKnots) {
  return (lastKnots > kSlowKnots && newKnots >= kJumpFactor * lastKnots) ||
         (newKnots > kSlowKnots && lastKnots >= kJumpFactor * newKnots) ||
         (lastKnots <= kSlowKnots && newKnots >= kJumpFromStandKnots) ||
         (newKnots <= kSlowKnots && lastKnots >= kJumpFromStandKnots);
}

bool isReachableSpeed(double lastKnots, double newKnots, double seconds) {
  return std::fabs(newKnots - lastKnots) <= kReachableKnotsPerSecond * seconds;
}

// The record agrees with the one held before it as a jump in speed: the
// flight did change its speed.
bool confirmsHeld(const HeldSpeedJump& held, const LiveTrafficRecord& record, double timestamp) {
  const double sinceHeld = timestamp - held.timestamp;
  return held.timestamp > 0.0 && sinceHeld > kMinimumRecordSpacingSeconds && sinceHeld <= kHeldJumpSeconds &&
         !isSpeedJump(held.point.speedKnots, record.speedKnots);
}

// The record only continues a straight line too soon after the last one.
bool isThinnedOut(const LiveTrafficRecord& record, const PathPoint& last, double secondsSinceLast) {
  const double speed = record.speedKnots;
  const double trackChange = std::fabs(record.trackDegrees - last.trackDegrees);
  if (record.airborne) {
    return speed > kThinAirborneAboveKnots && trackChange <= kThinAirborneTrackDegrees &&
           secondsSinceLast <= kThinAirborneDistanceNm / (speed / 3600.0);
  }
  if (speed <= kThinGroundUpToKnots && trackChange <= kThinGroundTrackDegrees) {
    const double limit =
        speed > 0.0 ? std::min(kThinGroundDistanceNm / (speed / 3600.0), kThinGroundMaxSeconds) : kThinGroundMaxSeconds;
    return secondsSinceLast <= limit;
  }
  return false;
}

}  // namespace

void TrafficEngine::intakeTrafficBatch(std::vector<LiveTrafficRecord>& batch, std::uint32_t delaySeconds) {
  if (batch.empty()) {
    return;
  }
  std::vector<double> timestamps;
  timestamps.reserve(std::max(kReservedTimestamps, batch.size()));
  for (const LiveTrafficRecord& record : batch) {
    timestamps.push_back(record.timestamp);
  }
  std::sort(timestamps.begin(), timestamps.end());
  const double median = timestamps[timestamps.size() / 2];

  // Signed: a record older than the median may fall before the current
  // tick, which only makes it due at once.
  const std::int64_t baseTick = kTicksPerSecond * static_cast<std::int64_t>(delaySeconds) + tick();
  const bool fewRecords = batch.size() < kSteadyMedianRecords;
  MutexLock lock(sessionMutex_);
  for (LiveTrafficRecord& record : batch) {
    // A time a day or more away from the rest is no time at all; bounded, it
    // also stays a number that an integer can hold.
    const double difference = record.timestamp - median;
    const double offsetSeconds =
        std::isnan(difference)
            ? 0.0
            : std::clamp(difference, -kLargestTimestampOffsetSeconds, kLargestTimestampOffsetSeconds);
    const auto offsetTenths = static_cast<std::int64_t>(std::trunc(offsetSeconds * 10.0));
    const std::int64_t due = spacedDueTick(record, baseTick + 10 * offsetTenths, fewRecords);
    record.dueTick = static_cast<std::uint32_t>(due);  // modulo 2^32; read back by dueTickOf
  }
  std::erase_if(lastRecordDue_,
                [&](const auto& entry) { return entry.second.dueTick < baseTick - kForgetRecordDueTicks; });

  if (delaySeconds != kLiveDelaySeconds) {
    // Buffered snapshots are kept whole and in order: the worker applies
    // them before any live record, whenever they arrive.
    for (LiveTrafficRecord& record : batch) {
      snapshotHandover_.push_back(std::move(record));
    }
  } else if (sessionActive_ && trafficHandover_.empty()) {
    trafficHandover_ = std::move(batch);
  }
  batch.clear();
}

std::int64_t TrafficEngine::spacedDueTick(const LiveTrafficRecord& record, std::int64_t batchDueTick,
                                          bool fewRecords) {
  const double timestamp = record.timestamp;
  if (!std::isfinite(timestamp)) {
    return batchDueTick;
  }
  const auto [found, first] = lastRecordDue_.try_emplace(record.key, RecordDue{timestamp, batchDueTick});
  RecordDue& last = found->second;
  if (first || timestamp <= last.timestamp) {
    return batchDueTick;  // its first record, or one it sent before
  }
  std::int64_t due = batchDueTick;
  if (fewRecords) {
    const auto batchTick = static_cast<double>(batchDueTick);
    const double spacedTick =
        static_cast<double>(last.dueTick) + (timestamp - last.timestamp) * static_cast<double>(kTicksPerSecond);
    const double drawnTick = spacedTick + kTowardsBatchRule * (batchTick - spacedTick);
    const auto leeway = static_cast<double>(kSpacingLeewayTicks);
    due = std::llround(std::clamp(drawnTick, batchTick - leeway, batchTick + leeway));
  }
  last = {timestamp, due};
  return due;
}

bool TrafficEngine::tooCloseToParkElevation(double altitudeFeet) const {
  return altitudeFeet > 0.0 && altitudeFeet < kLowAltitudeLimitFeet &&
         std::fabs(altitudeFeet - parkElevationFeet_.load()) <= kParkElevationMarginFeet;
}

bool TrafficEngine::knownRecordAccepted(LiveAc& aircraft, const LiveTrafficRecord& record, double timestamp,
                                        bool& confirmsHeldJump) const {
  confirmsHeldJump = false;
  if (aircraft.state == SimState::liveryrespawn || aircraft.state == SimState::removingfromsim) {
    return false;
  }
  if (!aircraft.path.empty()) {
    const PathPoint& last = aircraft.path.back();
    const double sinceLast = timestamp - aircraft.lastRecordTime;
    if (sinceLast <= kMinimumRecordSpacingSeconds) {
      return false;
    }
    // One bad record is left out; a speed the aircraft can reach in the
    // time, or one that the next record confirms, is the flight's own.
    if (isSpeedJump(last.speedKnots, record.speedKnots) &&
        !isReachableSpeed(last.speedKnots, record.speedKnots, sinceLast)) {
      confirmsHeldJump = confirmsHeld(aircraft.heldSpeedJump, record, timestamp);
      if (!confirmsHeldJump) {
        aircraft.heldSpeedJump = {pathPointOf(record, dueTickOf(record.dueTick, tick())), timestamp};
        return false;
      }
    }
    if (aircraft.generatedLegs < 1 && isThinnedOut(record, last, sinceLast)) {
      if (!record.airborne && keepsRecordsHeardBeforeActive(aircraft)) {
        holdRecordHeardBeforeActive(aircraft, pathPointOf(record, dueTickOf(record.dueTick, tick())));
      }
      return false;
    }
  }
  if (aircraft.state == SimState::buffer && tooCloseToParkElevation(record.altitudeFeet)) {
    return false;
  }
  return true;
}

void TrafficEngine::applyTrafficRecord(LiveTrafficRecord& record) {
  if (LiveAc* aircraft = findLiveByKey(record.key)) {
    bool confirmsHeldJump = false;
    if (!knownRecordAccepted(*aircraft, record, record.timestamp, confirmsHeldJump)) {
      return;
    }
    if (hooks_.respawnIfChanged && !hooks_.respawnIfChanged(*aircraft, record)) {
      return;
    }
    if (confirmsHeldJump) {
      PathPoint held = aircraft->heldSpeedJump.point;
      aircraft->lastRecordTime = aircraft->heldSpeedJump.timestamp;
      offerPoint(*aircraft, held);
    }
    aircraft->heldSpeedJump = {};
    aircraft->lastRecordTime = record.timestamp;
    PathPoint point = pathPointOf(record, dueTickOf(record.dueTick, tick()));
    aircraft->lastRecordDueTick = point.dueTick;
    offerPoint(*aircraft, point);
    return;
  }
  const AircraftIdentity& identity = record.identity;
  if (!identity.callsign.empty()) {
    const bool sameFlightKnown = std::any_of(liveAcTable_.begin(), liveAcTable_.end(), [&identity](const LiveAc& a) {
      return a.base.identity.callsign == identity.callsign && a.base.identity.icaoType == identity.icaoType;
    });
    if (sameFlightKnown) {
      return;
    }
  }
  addTrafficRecord(record);
}

void TrafficEngine::offerPoint(LiveAc& aircraft, PathPoint& point) {
  if (hooks_.decodeExisting) {
    hooks_.decodeExisting(aircraft, point);
  } else {
    aircraft.path.push_back(point);
  }
}

void TrafficEngine::addTrafficRecord(LiveTrafficRecord& record) {
  std::string& type = record.identity.icaoType;
  if (type.empty()) {
    if (const auto registration = findRegcode(record.identity.registration)) {
      type = registration->type;
    }
  }
  if (isKnownType(type)) {
    addLiveAc(record);
    return;
  }
  if (const auto registration = findRegcode(record.identity.registration); registration && !registration->type.empty()) {
    type = registration->type;
    addLiveAc(record);
  }
}

void TrafficEngine::addLiveAc(LiveTrafficRecord& record) {
  const SizeCategory category = aircraftCategory(record.identity.icaoType);
  if (categoryIndex(category) > kMaxCategoryValue || !isCategoryEnabled(category)) {
    return;
  }
  if (tooCloseToParkElevation(record.altitudeFeet)) {
    return;
  }
  AircraftIdentity& identity = record.identity;
  identity.secondCallsign = identity.callsign;
  identity.thirdCallsign.clear();
  identity.coupledCallsignSearched = false;

  AircraftBase base = buildAircraftObject(identity);
  base.key = record.key;
  const CategoryPerformance& row = categoryPerformance(base.category);
  base.turnRateRadians = base.baseTurnRateRadians;
  base.maxClimbPerTickFeet = row.maxClimbPerTickFeet;
  base.taxiSpeedKnots = row.taxiSpeedKnots;
  appendLiveRecord(makeLiveAc(base, pathPointOf(record, dueTickOf(record.dueTick, tick())), record.timestamp));
}

std::int32_t TrafficEngine::wantedStaticCount() {
  const std::int32_t custom = par_CUSTOM_PARKING_PERCENTAGE.value();
  const std::int64_t percent = custom >= 0 ? custom : par_parking_percentage.value();
  const auto standCount = static_cast<std::int64_t>(config_.stands != nullptr ? config_.stands->size() : 0);

  std::int64_t count = 0;
  if (percent > 0 && standCount > 0) {
    if (standCount > 1 && (standCount > 3 || percent >= 50)) {
      count = std::llround(static_cast<double>(percent * standCount) / 100.0);
    } else {
      count = 1;
    }
  }
  std::int64_t shownPercent = percent;
  const std::int32_t maxPark = par_MAX_PARK_SEL.value();
  if (maxPark != kDefaultMaxAircraft) {
    count = std::min<std::int64_t>(count, maxPark);
    shownPercent = standCount > 0 ? std::llround(static_cast<double>(count * 100) / static_cast<double>(standCount)) : 0;
  }
  const auto result = gsl::narrow<std::int32_t>(count);
  display_.wantedStaticCount.store(result);
  display_.parkingPercentageShown.store(gsl::narrow<std::int32_t>(shownPercent));
  if (hooks_.repaint) {
    hooks_.repaint();
  }
  return result;
}

}  // namespace crv
