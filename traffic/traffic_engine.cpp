#include "traffic/traffic_engine.h"

#include <algorithm>
#include <system_error>

#include <fmt/format.h>

#include "airports/stand_names.h"
#include "foundation/files.h"

namespace crv {

namespace {

constexpr std::size_t kReservedLive = 512;
constexpr std::size_t kReservedStatic = 256;
constexpr std::size_t kReservedAddingStack = 64;
constexpr std::size_t kReservedEvents = 256;
constexpr std::size_t kReservedDeferred = 128;
constexpr std::size_t kReservedStands = 512;

}  // namespace

TrafficEngine::TrafficEngine(SimQueues& link, EngineHooks hooks, EngineConfig config)
    : link_(link), hooks_(std::move(hooks)), config_(std::move(config)) {}

void TrafficEngine::reserveSessionTables() {
  if (tablesReserved_) {
    return;
  }
  liveAcTable_.reserve(kReservedLive);
  liveIndexByKey_.reserve(kReservedLive);
  objectIdIndex_.reserve(kReservedLive);
  staticAcTable_.reserve(kReservedStatic);
  addingStack_.reserve(kReservedAddingStack);
  {
    MutexLock lock(simEventMutex_);
    simEventQueue_.reserve(kReservedEvents);
    eventsInWork_.reserve(kReservedEvents);
    deferredEvents_.reserve(kReservedDeferred);
  }
  if (config_.stands != nullptr) {
    config_.stands->reserve(kReservedStands);
  }
  deleteCallsignList();
  tablesReserved_ = true;
}

void TrafficEngine::deleteCallsignList() {
  std::error_code error;
  std::filesystem::remove(config_.callsignListFile, error);
  if (error && error != std::errc::no_such_file_or_directory) {
    throw std::filesystem::filesystem_error("remove", config_.callsignListFile, error);
  }
}

void TrafficEngine::resetTrafficState() {
  parkAirportSet_ = false;
  parkAirportName_.clear();
  parkElevationFeet_.store(kNoParkElevationFeet);
  display_.wantedStaticCount.store(0);
  display_.parkingPercentageShown.store(0);
  if (hooks_.repaint) {
    hooks_.repaint();
  }
  {
    MutexLock lock(simEventMutex_);
    simEventQueue_.clear();
    deferredEvents_.clear();
  }
  if (hooks_.resetLaterParts) {
    hooks_.resetLaterParts();
  }
  addingStack_.clear();
  liveCreateQueue_ = {};
  staticCreateQueue_ = {};
  removeQueue_ = {};
  staticAcTable_.clear();
  clearLiveTable();
  {
    MutexLock lock(sessionMutex_);
    trafficHandover_.clear();
    snapshotHandover_.clear();
    lastRecordDue_.clear();
  }
  if (config_.stands != nullptr) {
    emptyStandTable(*config_.stands);
  }
  lastStandUse_.clear();
  reports_.clearNoMatchList();
  watchedObjectId_.store(0);
  userAcCopy_ = {};
  staticEraseDue_ = false;
  tick10ms_.store(0);
  deleteCallsignList();
  if (hooks_.repaint) {
    hooks_.repaint();
  }
}

std::size_t TrafficEngine::snapshotHandoverSize() {
  MutexLock lock(sessionMutex_);
  return snapshotHandover_.size();
}

void TrafficEngine::setSessionActive(bool active) {
  MutexLock lock(sessionMutex_);
  sessionActive_ = active;
}

void TrafficEngine::setParkAirport(std::string name, double elevationFeet) {
  parkAirportName_ = std::move(name);
  parkAirportSet_ = true;
  parkElevationFeet_.store(elevationFeet);
}

void TrafficEngine::clearParkAirport() {
  parkAirportName_.clear();
  parkAirportSet_ = false;
  parkElevationFeet_.store(kNoParkElevationFeet);
}

LiveAc* TrafficEngine::findLiveByKey(std::uint32_t key) {
  const auto found = liveIndexByKey_.find(key);
  return found == liveIndexByKey_.end() ? nullptr : &liveAcTable_[found->second];
}

LiveAc* TrafficEngine::findLiveByObjectId(std::uint32_t objectId) {
  auto found = std::find_if(liveAcTable_.begin(), liveAcTable_.end(),
                            [objectId](const LiveAc& a) { return a.objectId == objectId; });
  return found == liveAcTable_.end() ? nullptr : &*found;
}

LiveAc* TrafficEngine::liveByObjectIdInEvents(std::uint32_t objectId) {
  if (!objectIdIndexValid_) {
    objectIdIndex_.clear();
    for (std::size_t i = 0; i < liveAcTable_.size(); ++i) {
      if (liveAcTable_[i].objectId != 0) {
        objectIdIndex_.emplace_back(liveAcTable_[i].objectId, static_cast<std::uint32_t>(i));
      }
    }
    // By id, then by place in the table: the first of a shared id leads.
    std::sort(objectIdIndex_.begin(), objectIdIndex_.end());
    objectIdIndexValid_ = true;
  }
  const auto found = std::lower_bound(objectIdIndex_.begin(), objectIdIndex_.end(),
                                      std::pair<std::uint32_t, std::uint32_t>(objectId, 0));
  if (found == objectIdIndex_.end() || found->first != objectId) {
    return nullptr;
  }
  return &liveAcTable_[found->second];
}

StaticAc* TrafficEngine::findStaticByKey(std::uint32_t key) {
  auto found =
      std::find_if(staticAcTable_.begin(), staticAcTable_.end(), [key](const StaticAc& a) { return a.base.key == key; });
  return found == staticAcTable_.end() ? nullptr : &*found;
}

std::size_t TrafficEngine::activeLiveCount() const {
  return static_cast<std::size_t>(std::count_if(liveAcTable_.begin(), liveAcTable_.end(),
                                                [](const LiveAc& a) { return a.state == SimState::active; }));
}

StaticAc& TrafficEngine::addStaticAc(StaticAc aircraft) {
  staticAcTable_.push_back(std::move(aircraft));
  return staticAcTable_.back();
}

void TrafficEngine::pushAddingStack(std::uint32_t key) { addingStack_.push_back(key); }

void TrafficEngine::queueStaticCreate(CreateRequest request) { staticCreateQueue_.push_back(std::move(request)); }

void TrafficEngine::queueObjectRemoval(std::uint32_t objectId) { removeQueue_.push_back(objectId); }

LiveAc& TrafficEngine::appendLiveRecord(LiveAc aircraft) {
  // Keys are unique in the table: the intake applies a record of a known key
  // to its aircraft.
  liveIndexByKey_[aircraft.base.key] = liveAcTable_.size();
  forgetObjectIdIndex();
  liveAcTable_.push_back(std::move(aircraft));
  return liveAcTable_.back();
}

void TrafficEngine::eraseLiveRecord(std::size_t index) {
  releaseStandOf(liveAcTable_[index]);
  forgetObjectIdIndex();
  liveIndexByKey_.erase(liveAcTable_[index].base.key);
  if (index + 1 != liveAcTable_.size()) {
    liveAcTable_[index] = std::move(liveAcTable_.back());
    liveIndexByKey_[liveAcTable_[index].base.key] = index;
  }
  liveAcTable_.pop_back();
}

void TrafficEngine::eraseRequestedLiveRecords() {
  for (const LiveAc& aircraft : liveAcTable_) {
    if (aircraft.eraseRequested()) {
      releaseStandOf(aircraft);
    }
  }
  std::erase_if(liveAcTable_, [](const LiveAc& a) { return a.eraseRequested(); });
  forgetObjectIdIndex();
  liveIndexByKey_.clear();
  for (std::size_t i = 0; i < liveAcTable_.size(); ++i) {
    liveIndexByKey_[liveAcTable_[i].base.key] = i;
  }
}

void TrafficEngine::releaseStandOf(const LiveAc& leaving) {
  if (leaving.standId == 0 || config_.stands == nullptr) {
    return;
  }
  const auto staysOnTheStand = [&leaving](const LiveAc& other) {
    return &other != &leaving && other.standId == leaving.standId && !other.eraseRequested() &&
           !other.removeOnceCreated && other.state != SimState::removingfromsim;
  };
  if (std::any_of(liveAcTable_.begin(), liveAcTable_.end(), staysOnTheStand)) {
    return;
  }
  for (ParkingPosition& stand : *config_.stands) {
    if (stand.id == leaving.standId) {
      stand.occupied = false;
      return;
    }
  }
}

void TrafficEngine::clearLiveTable() {
  liveAcTable_.clear();
  liveIndexByKey_.clear();
  forgetObjectIdIndex();
}

DaySlot TrafficEngine::currentSlot() const {
  return weekdayAndSlotAt(std::chrono::duration_cast<std::chrono::seconds>(now().time_since_epoch()).count());
}

std::string TrafficEngine::standLabel(std::uint32_t standId) const {
  if (standId == 0) {
    return "sid==0?";
  }
  if (config_.stands != nullptr) {
    for (const ParkingPosition& stand : *config_.stands) {
      if (stand.id == standId) {
        return stand.name;
      }
    }
  }
  return "unknown";
}

std::string TrafficEngine::logLabel(const LiveAc& aircraft) const {
  if (aircraft.standId == 0) {
    return fmt::format("          {:8}", aircraft.base.identity.callsign);
  }
  return fmt::format("{:8}: {:8}", standLabel(aircraft.standId), aircraft.base.identity.callsign);
}

std::string TrafficEngine::logLabel(const StaticAc& aircraft) const {
  return fmt::format("{:8}: {:8}", standLabel(aircraft.standId), aircraft.base.identity.callsign);
}

void TrafficEngine::logParkedList() {
  std::vector<std::string> lines;
  lines.reserve(liveAcTable_.size());
  for (const LiveAc& a : liveAcTable_) {
    if (a.state != SimState::active) {
      continue;
    }
    const AircraftIdentity& id = a.base.identity;
    const std::string location =
        a.phase == FlightPhase::parked ? fmt::format("Parked at {}", standLabel(a.standId)) : std::string();
    lines.push_back(fmt::format("{} {:9} {} {}: {} {}", a.onGround ? "Gnd" : "Air", id.callsign, id.airline,
                                id.icaoType, a.objectId, location));
  }
  std::sort(lines.begin(), lines.end());
  writeLinesToFile(lines, config_.callsignListFile);
}

}  // namespace crv
