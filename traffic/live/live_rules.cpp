#include "traffic/live/live_rules.h"

#include <algorithm>

#include "foundation/clock.h"
#include "traffic/traffic_engine.h"

namespace crv {

LiveRules::LiveRules(TrafficEngine& engine, LiveRulesServices services)
    : engine_(engine), services_(std::move(services)) {
  ghostCallsigns_.reserve(64);
  identityChecks_.reserve(256);
}

void LiveRules::fillEngineHooks(EngineHooks& hooks, LiveRules* const& slot) {
  hooks.trySpawn = [&slot](LiveAc& aircraft) { slot->trySpawn(aircraft); };
  hooks.respawnIfChanged = [&slot](LiveAc& aircraft, const LiveTrafficRecord& record) {
    return slot->respawnIfChanged(aircraft, record);
  };
  hooks.parkLiveOverStatic = [&slot](LiveAc& aircraft) { slot->parkLiveOverStatic(aircraft); };
  hooks.keepReservedStandFree = [&slot] {
    if (!slot->reservedStand().empty()) {
      slot->freeReservedStand();
    }
  };
}

void LiveRules::fillParkingCalls(ParkingCalls& calls, LiveRules* const& slot) {
  calls.try2Park = [&slot](LiveAc& aircraft, bool wide) { slot->try2Park(aircraft, wide); };
  calls.checkStandApproach = [&slot](LiveAc& aircraft, PathPoint& point) {
    return slot->checkStandApproach(aircraft, point);
  };
  calls.enforceMaxPark = [&slot](int extra) { slot->enforceMaxPark(extra); };
  calls.queueIdentityCheck = [&slot](std::uint32_t key) { slot->queueIdentityCheck(key); };
}

void LiveRules::setReservedStand(std::string name) {
  {
    std::lock_guard lock(reservedStandMutex_);
    reservedStand_ = std::move(name);
  }
  if (!reservedStand_.empty()) {
    freeReservedStand();
  }
}

std::string LiveRules::reservedStandForReader() const {
  std::lock_guard lock(reservedStandMutex_);
  return reservedStand_;
}

void LiveRules::reset() {
  parkAirport_.reset();
  setReservedStand("");
  ghostCallsigns_.clear();
  rememberedLiveries_.clear();
  identityChecks_.clear();
  averageLiveParkedHours_ = -1.0;
}

DaySlot LiveRules::currentSlot() const { return engine_.currentSlot(); }

bool LiveRules::userOnGround() const { return services_.userOnGround && services_.userOnGround(); }

StandTable* LiveRules::stands() const { return engine_.standTable(); }

ParkingPosition* LiveRules::standById(std::uint32_t standId) const {
  StandTable* table = stands();
  if (table == nullptr || standId == 0) {
    return nullptr;
  }
  auto found = std::find_if(table->begin(), table->end(), [standId](const ParkingPosition& s) { return s.id == standId; });
  return found == table->end() ? nullptr : &*found;
}

std::int64_t LiveRules::nowTick() const { return engine_.tick(); }

void LiveRules::rememberStandUse(std::uint32_t key, DaySlot slot) {
  rememberStandLearning(engine_.lastStandUse(), key, slot);
}


}  // namespace crv
