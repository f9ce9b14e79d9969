#include "traffic/traffic_engine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <optional>

#include <fmt/format.h>

#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/record_labels.h"

namespace crv {

namespace {

constexpr std::int64_t kRemoveEveryTicks = 10;         // 0.1 s
constexpr std::int64_t kCreateEveryTicks = 50;         // 0.5 s
constexpr std::int64_t kRangeRequestEveryTicks = 20;   // 0.2 s
constexpr std::int64_t kUserDataEveryTicks = 100;      // 1 s
constexpr std::size_t kRecordsPerStep = 2;
// Buffered snapshots arrive once, at the session start, and go in faster.
constexpr std::size_t kSnapshotRecordsPerStep = 100;
constexpr std::int32_t kDefaultMaxLive = 500;
constexpr double kFartherMarginNm = 0.1;

bool isMultipleOf(std::int64_t tick, std::int64_t period) { return tick % period == 0; }

// The live records lie over a kilobyte apart, and after the 10 ms between
// two steps none of them is in the caches. The lines that the step of an
// aircraft reads (from the record's start through the per-step part of its
// motion, and the rest pitch and size category of its base) are asked for a
// few aircraft ahead, so that the walk over a full table does not wait on
// memory at every record.
constexpr std::size_t kPrefetchAheadRecords = 4;
constexpr std::size_t kCacheLineBytes = 64;

void prefetchStepLines(const LiveAc& aircraft) {
  const auto* start = reinterpret_cast<const char*>(&aircraft);
  const auto* end = reinterpret_cast<const char*>(&aircraft.motion.holdStartTick);
  for (const char* line = start; line < end; line += kCacheLineBytes) {
    __builtin_prefetch(line);
  }
  __builtin_prefetch(&aircraft.base.restPitchRadians);
  __builtin_prefetch(&aircraft.base.category);
}

}  // namespace

void TrafficEngine::step() {
  processSimEvents();
  stepAllLiveAc();
  if (hooks_.keepReservedStandFree) {
    hooks_.keepReservedStandFree();
  }
  paceCreateRemove();
  takeHandedOverRecords();
  makeCreateRequest();
  const std::int64_t now = tick();
  if (isMultipleOf(now, kRangeRequestEveryTicks) && !link_.simLinkPaused.load()) {
    requestAircraftInRange();
  }
  if (isMultipleOf(now, kUserDataEveryTicks) && hooks_.getUserAcPosition) {
    userAcCopy_ = hooks_.getUserAcPosition();
  }
  tick10ms_.store(now + 1, std::memory_order_relaxed);
}

void TrafficEngine::stepAllLiveAc() {
  bool eraseAny = false;
  for (std::size_t i = 0; i < liveAcTable_.size(); ++i) {
    if (i + kPrefetchAheadRecords < liveAcTable_.size()) {
      prefetchStepLines(liveAcTable_[i + kPrefetchAheadRecords]);
    }
    eraseAny = updateLiveAc(liveAcTable_[i]) || eraseAny;
  }
  if (eraseAny) {
    eraseRequestedLiveRecords();
  }
  link_.swapPositionBuffers();
}

bool TrafficEngine::updateLiveAc(LiveAc& aircraft) {
  try {
    if (aircraft.state == SimState::buffer) {
      if (hooks_.trySpawn) {
        hooks_.trySpawn(aircraft);
      }
      return aircraft.eraseRequested();
    }
    if (aircraft.state != SimState::active) {
      return aircraft.eraseRequested();
    }
    if (aircraft.path.empty()) {
      const AiPositionBlock& block = aircraft.position;
      gf_logWarning(fmt::format("{} stream empty ? {}, hexid:{}, objectid:{}, alt:{:.0f} ft, lalo:{}, TAS:{:.0f}",
                                "updateLiveAc", formatRecordLine(aircraft.base.identity), aircraft.base.key,
                                aircraft.objectId, block.altitudeFeet,
                                fmt::format("{:.6f},{:.6f}", block.latitude, block.longitude),
                                block.trueAirspeedKnots));
      removeAircraftFromSim(aircraft);
      // Nothing more to move: the aircraft is on its way out.
      return aircraft.eraseRequested();
    }
    if (hooks_.advanceLiveAc) {
      hooks_.advanceLiveAc(aircraft);
    }
    if (aircraft.state != SimState::active) {
      return aircraft.eraseRequested();
    }
    if (aircraft.objectId == 0) {
      const AircraftIdentity& id = aircraft.base.identity;
      gf_logWarning(fmt::format("{} objectid=0? hexid: {},cs:{}, reg:{}, aimo:{} sz:{}", formatRecordLine(id),
                                aircraft.base.key, id.callsign, id.registration, id.icaoType, aircraft.path.size()));
      removeAircraftFromSim(aircraft);
      return aircraft.eraseRequested();
    }
    link_.appendPosition(aircraft.position, aircraft.objectId);
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "updateLiveAc", error.what(),
                              formatRecordLine(aircraft.base.identity), aircraft.path.size(),
                              phaseName(aircraft.phase), simStateName(aircraft.state)));
    return aircraft.dropFromBuffer;
  }
  return aircraft.eraseRequested();
}

void TrafficEngine::paceCreateRemove() {
  const std::int64_t now = tick();
  if (isMultipleOf(now, kRemoveEveryTicks) && !removeQueue_.empty()) {
    link_.queueRemoveAc(removeQueue_.front());
    removeQueue_.pop_front();
  }
  if (isMultipleOf(now, kCreateEveryTicks)) {
    bool livePassed = false;
    if (!liveCreateQueue_.empty()) {
      link_.queueCreateAc(liveCreateQueue_.front());
      liveCreateQueue_.pop_front();
      livePassed = true;
    } else if (!staticCreateQueue_.empty()) {
      link_.queueCreateAc(staticCreateQueue_.front());
      staticCreateQueue_.pop_front();
    }
    if (!livePassed && hooks_.chooseStaticStand) {
      hooks_.chooseStaticStand();
    }
  }
  if (staticEraseDue_) {
    eraseCancelledStatic();
  }
}

void TrafficEngine::eraseCancelledStatic() {
  staticEraseDue_ = false;
  std::erase_if(staticAcTable_, [](const StaticAc& a) { return a.eraseRequested(); });
}

void TrafficEngine::takeHandedOverRecords() {
  std::vector<LiveTrafficRecord> snapshots;
  // Empty slots: no record is built in a step that takes none.
  std::array<std::optional<LiveTrafficRecord>, kRecordsPerStep> taken;
  std::size_t count = 0;
  {
    MutexLock lock(sessionMutex_);
    while (snapshots.size() < kSnapshotRecordsPerStep && !snapshotHandover_.empty()) {
      snapshots.push_back(std::move(snapshotHandover_.front()));
      snapshotHandover_.pop_front();
    }
    while (count < kRecordsPerStep && !trafficHandover_.empty()) {
      taken[count++].emplace(std::move(trafficHandover_.back()));
      trafficHandover_.pop_back();
    }
  }
  for (LiveTrafficRecord& record : snapshots) {
    applyTrafficRecord(record);
  }
  for (std::size_t i = 0; i < count; ++i) {
    applyTrafficRecord(*taken[i]);
  }
}

void TrafficEngine::applySnapshots() {
  std::deque<LiveTrafficRecord> snapshots;
  {
    MutexLock lock(sessionMutex_);
    snapshots.swap(snapshotHandover_);
  }
  for (LiveTrafficRecord& record : snapshots) {
    applyTrafficRecord(record);
  }
}

void TrafficEngine::makeCreateRequest() {
  if (addingStack_.empty()) {
    return;
  }
  const std::uint32_t key = addingStack_.back();
  addingStack_.pop_back();
  const LiveAc* aircraft = findLiveByKey(key);
  if (aircraft == nullptr) {
    return;
  }
  const AircraftIdentity& id = aircraft->base.identity;
  if (id.callsign.empty()) {
    gf_logLine(fmt::format("{} {} objectid = 0?", "lf_handleAddingStack", formatRecordLine(id)));
    return;
  }
  const AiPositionBlock& block = aircraft->position;
  CreateRequest request;
  request.position.latitude = block.latitude;
  request.position.longitude = block.longitude;
  request.position.altitudeFeet = block.altitudeFeet;
  request.position.pitchDegrees = block.pitchRadians * kRadiansToDegrees;
  request.position.bankDegrees = block.bankRadians * kRadiansToDegrees;
  request.position.headingDegrees = block.headingRadians * kRadiansToDegrees;
  request.callsign = id.callsign;
  request.liveryTitle = aircraft->base.liveryTitle;
  request.key = key;
  liveCreateQueue_.push_back(std::move(request));
}

void TrafficEngine::requestAircraftInRange() {
  const auto radiusMeters = static_cast<std::uint32_t>(trafficRadiusMeters());
  askSimulator([radiusMeters](SimRequests& sim) { return sim.requestAircraftInRange(radiusMeters); },
               "SimConnect request ac within range fails");
}

void TrafficEngine::askSimulator(const std::function<bool(SimRequests&)>& call, std::string_view failureLine) {
  // The connection takes simConnectMutex around each call itself.
  SimRequests* sim = link_.requests();
  if (sim != nullptr && !call(*sim)) {
    gf_logLine(failureLine);
    link_.simRequestError();
  }
}

bool TrafficEngine::removeFarthestLiveAc(double distanceNm) {
  const GeoPoint user{userAcCopy_.latitude, userAcCopy_.longitude};
  double farthest = distanceNm;
  LiveAc* chosen = nullptr;
  for (LiveAc& a : liveAcTable_) {
    if (a.state != SimState::active) {
      continue;
    }
    const double distance = gf_distanceNm(user, {a.position.latitude, a.position.longitude});
    if (distance > farthest + kFartherMarginNm) {
      farthest = distance;
      chosen = &a;
    }
  }
  if (chosen == nullptr) {
    // A number compares; NaN with an empty table does not.
    return !std::isnan(distanceNm);
  }
  removeAircraftFromSim(*chosen, fmt::format("the farthest live aircraft, {:.2f} nm from the user aircraft, over "
                                             "the maximum of {} (MAX_LIVE_SEL)",
                                             farthest, par_MAX_LIVE_SEL.value()));
  return false;
}

void TrafficEngine::enforceMaxLive() {
  const std::int32_t maxLive = par_MAX_LIVE_SEL.value();
  if (maxLive == kDefaultMaxLive) {
    return;
  }
  const auto active = static_cast<std::int64_t>(activeLiveCount());
  for (std::int64_t excess = active - maxLive; excess > 0; --excess) {
    removeFarthestLiveAc(-1.0);
  }
}

}  // namespace crv
