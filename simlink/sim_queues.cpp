#include "simlink/sim_queues.h"

#include <utility>

#include "foundation/status_line.h"
#include "simlink/sim_ids.h"

namespace crv {

namespace {

constexpr double kFullDeflectionPercent = 100.0;

}  // namespace

SimQueues::SimQueues() = default;

void SimQueues::reserveSimQueues() {
  {
    std::lock_guard lock(simConnectMutex_);
    simCreateQueue_.reserve(kReservedEntries);
    simRemoveList_.reserve(kReservedEntries);
    positionBuffers_[0].reserve(kReservedEntries);
    positionBuffers_[1].reserve(kReservedEntries);
  }
  simLinkPaused.store(false);
}

void SimQueues::reset() {
  std::lock_guard lock(simConnectMutex_);
  simCreateQueue_.clear();
  simRemoveList_.clear();
  clientEventQueue_.clear();
  positionBuffers_[0].clear();
  positionBuffers_[1].clear();
  back_ = &positionBuffers_[0];
  front_ = &positionBuffers_[1];
  requestErrorReported_.store(false);
}

void SimQueues::queueCreateAc(const CreateRequest& request) {
  std::lock_guard lock(simConnectMutex_);
  simCreateQueue_.push_back(request);
}

void SimQueues::queueRemoveAc(std::uint32_t objectId) {
  std::lock_guard lock(simConnectMutex_);
  simRemoveList_.push_back(objectId);
}

void SimQueues::queueClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value) {
  std::lock_guard lock(simConnectMutex_);
  clientEventQueue_.push_back({objectId, eventId, value});
}

void SimQueues::setLights(std::uint32_t objectId, const LightSwitches& lights) {
  std::lock_guard lock(simConnectMutex_);
  clientEventQueue_.push_back({objectId, toId(ClientEventId::NavLightsSet), lights.nav});
  clientEventQueue_.push_back({objectId, toId(ClientEventId::BeaconLightsSet), lights.beacon});
  clientEventQueue_.push_back({objectId, toId(ClientEventId::LandingLightsSet), lights.landing});
  clientEventQueue_.push_back({objectId, toId(ClientEventId::TaxiLightsSet), lights.taxi});
  clientEventQueue_.push_back({objectId, toId(ClientEventId::StrobesSet), lights.strobes});
  clientEventQueue_.push_back({objectId, toId(ClientEventId::LogoLightsSet), lights.logo});
  clientEventQueue_.push_back({objectId, toId(ClientEventId::CabinLightsSet), lights.cabin});
}

void SimQueues::setCabinLights(std::uint32_t objectId, std::uint32_t value) {
  std::lock_guard lock(simConnectMutex_);
  clientEventQueue_.push_back({objectId, toId(ClientEventId::CabinLightsSet), value});
}

void SimQueues::setSpoilersThrottle(std::uint32_t objectId, bool on, bool reverse) {
  SpoilersThrottleBlock block;
  if (on) {
    block.spoilersHandle = kFullDeflectionPercent;
    block.throttleLever1 = reverse ? -kFullDeflectionPercent : kFullDeflectionPercent;
    block.throttleLever2 = block.throttleLever1;
  }
  if (SimRequests* sim = requests()) {
    sim->writeSpoilersThrottle(objectId, block);
  }
}

void SimQueues::appendPosition(const AiPositionBlock& block, std::uint32_t objectId) {
  back_->push_back({block, objectId});
}

bool SimQueues::swapPositionBuffers() {
  std::unique_lock lock(simConnectMutex_, std::try_to_lock);
  if (!lock.owns_lock()) {
    if (simFrameRate.load() <= kWaitingFrameRate) {
      back_->clear();
      return false;
    }
    lock.lock();
  }
  std::swap(back_, front_);
  back_->clear();
  return true;
}

void SimQueues::takeFrameLocked(SimFrameBatch& batch) {
  batch.positions.swap(*front_);
  front_->clear();
  batch.clientEvents.swap(clientEventQueue_);
  clientEventQueue_.clear();
  batch.creates.swap(simCreateQueue_);
  simCreateQueue_.clear();
  batch.removes.swap(simRemoveList_);
  simRemoveList_.clear();
}

bool SimQueues::tryTakeFrame(SimFrameBatch& batch) {
  std::unique_lock lock(simConnectMutex_, std::try_to_lock);
  if (!lock.owns_lock()) {
    return false;
  }
  takeFrameLocked(batch);
  return true;
}

SimFrameBatch SimQueues::takeFrame() {
  SimFrameBatch batch;
  std::lock_guard lock(simConnectMutex_);
  takeFrameLocked(batch);
  return batch;
}

void SimQueues::discardQueued() {
  std::unique_lock lock(simConnectMutex_, std::try_to_lock);
  if (!lock.owns_lock()) {
    return;
  }
  front_->clear();
  clientEventQueue_.clear();
  simCreateQueue_.clear();
  simRemoveList_.clear();
}

void SimQueues::discardPositions() {
  back_->clear();
  std::lock_guard lock(simConnectMutex_);
  front_->clear();
}

void SimQueues::setRequestErrorCallback(std::function<void()> callback) {
  MutexLock lock(callbackMutex_);
  requestErrorCallback_ = std::move(callback);
}

void SimQueues::simRequestError() {
  setStatusLine("SimConnect request error", true);
  simLinkPaused.store(true);
  if (requestErrorReported_.exchange(true)) {
    return;
  }
  std::function<void()> callback;
  {
    MutexLock lock(callbackMutex_);
    callback = requestErrorCallback_;
  }
  if (callback) {
    callback();
  }
}

}  // namespace crv
