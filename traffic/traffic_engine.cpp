#include "traffic/traffic_engine.h"

#include <algorithm>
#include <system_error>

#include <fmt/format.h>

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
  liveAcTable.reserve(kReservedLive);
  staticAcTable.reserve(kReservedStatic);
  addingStack.reserve(kReservedAddingStack);
  {
    std::lock_guard lock(simEventMutex_);
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
  parkAirportSet = false;
  parkAirportName.clear();
  parkElevationFeet.store(kNoParkElevationFeet);
  display.wantedStaticCount.store(0);
  display.parkingPercentageShown.store(0);
  if (hooks_.repaint) {
    hooks_.repaint();
  }
  {
    std::lock_guard lock(simEventMutex_);
    simEventQueue_.clear();
    deferredEvents_.clear();
  }
  if (hooks_.resetLaterParts) {
    hooks_.resetLaterParts();
  }
  addingStack.clear();
  liveCreateQueue = {};
  staticCreateQueue = {};
  removeQueue = {};
  staticAcTable.clear();
  liveAcTable.clear();
  {
    std::lock_guard lock(sessionMutex_);
    trafficHandover_.clear();
  }
  if (config_.stands != nullptr) {
    config_.stands->clear();
  }
  lastStandUse.clear();
  reports_.clearNoMatchList();
  watchedObjectId.store(0);
  userAcCopy = {};
  staticEraseDue_ = false;
  tick10ms_.store(0);
  deleteCallsignList();
  if (hooks_.repaint) {
    hooks_.repaint();
  }
}

void TrafficEngine::setSessionActive(bool active) {
  std::lock_guard lock(sessionMutex_);
  sessionActive_ = active;
}

std::size_t TrafficEngine::handoverSize() {
  std::lock_guard lock(sessionMutex_);
  return trafficHandover_.size();
}

std::size_t TrafficEngine::deferredEventCount() {
  std::lock_guard lock(simEventMutex_);
  return deferredEvents_.size();
}

LiveAc* TrafficEngine::findLiveByKey(std::uint32_t key) {
  auto found = std::find_if(liveAcTable.begin(), liveAcTable.end(), [key](const LiveAc& a) { return a.base.key == key; });
  return found == liveAcTable.end() ? nullptr : &*found;
}

LiveAc* TrafficEngine::findLiveByObjectId(std::uint32_t objectId) {
  auto found = std::find_if(liveAcTable.begin(), liveAcTable.end(),
                            [objectId](const LiveAc& a) { return a.objectId == objectId; });
  return found == liveAcTable.end() ? nullptr : &*found;
}

StaticAc* TrafficEngine::findStaticByKey(std::uint32_t key) {
  auto found =
      std::find_if(staticAcTable.begin(), staticAcTable.end(), [key](const StaticAc& a) { return a.base.key == key; });
  return found == staticAcTable.end() ? nullptr : &*found;
}

StaticAc* TrafficEngine::findStaticByObjectId(std::uint32_t objectId) {
  auto found = std::find_if(staticAcTable.begin(), staticAcTable.end(),
                            [objectId](const StaticAc& a) { return a.objectId == objectId; });
  return found == staticAcTable.end() ? nullptr : &*found;
}

std::size_t TrafficEngine::activeLiveCount() const {
  return static_cast<std::size_t>(std::count_if(liveAcTable.begin(), liveAcTable.end(),
                                                [](const LiveAc& a) { return a.state == SimState::active; }));
}

void TrafficEngine::eraseLiveRecord(std::size_t index) {
  if (index + 1 != liveAcTable.size()) {
    liveAcTable[index] = std::move(liveAcTable.back());
  }
  liveAcTable.pop_back();
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

void TrafficEngine::logParkedList() {
  std::vector<std::string> lines;
  lines.reserve(liveAcTable.size());
  for (const LiveAc& a : liveAcTable) {
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
