#include "traffic/statics/static_parking.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/traffic_engine.h"

namespace crv {

StaticParking::StaticParking(TrafficEngine& engine, StaticParkingServices services)
    : engine_(engine), services_(std::move(services)) {
  pending_.reserve(512);
}

void StaticParking::fillEngineHooks(EngineHooks& hooks, StaticParking* const& slot) {
  hooks.chooseStaticStand = [&slot] {
    if (slot != nullptr) {
      slot->chooseStaticStand();
    }
  };
  hooks.resetLaterParts = [&slot] {
    if (slot != nullptr) {
      slot->reset();
    }
  };
}

DaySlot StaticParking::currentSlot() const {
  return services_.currentSlot ? services_.currentSlot() : engine_.currentSlot();
}

DaySlot StaticParking::logDayAndHour() const {
  static constexpr const char* kDayNames[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  const DaySlot slot = currentSlot();
  const char* dayName = slot.weekday >= 1 && slot.weekday <= 7 ? kDayNames[slot.weekday - 1] : "???";
  gf_logLine(fmt::format("\n{} (utc) It is day {} ({}), {} hours", timeShiftText(), slot.weekday, dayName,
                         slot.halfHour * 0.5 + 0.5));
  return slot;
}

std::vector<ParkedTrafficRecord>* StaticParking::requestParkedTraffic() {
  return services_.requestParkedTraffic ? services_.requestParkedTraffic() : nullptr;
}

double StaticParking::halfSpanNm(std::string_view type) const {
  return services_.halfSpanNm ? services_.halfSpanNm(type) : wingspanOfType(type);
}

StandTable* StaticParking::stands() const { return engine_.standTable(); }

ParkingPosition* StaticParking::standById(std::uint32_t standId) const {
  StandTable* table = stands();
  if (table == nullptr || standId == 0) {
    return nullptr;
  }
  auto found = std::find_if(table->begin(), table->end(), [standId](const ParkingPosition& s) { return s.id == standId; });
  return found == table->end() ? nullptr : &*found;
}

void StaticParking::clearStandMarks() {
  StandTable* table = stands();
  if (table == nullptr) {
    return;
  }
  for (ParkingPosition& stand : *table) {
    stand.staticTaken = false;
    stand.reserved = false;
    stand.neighbourTaken = false;
    for (UsageEntry& entry : stand.usage) {
      entry.excludedForNow = false;
    }
  }
}

std::size_t StaticParking::recalcStaticParking(std::size_t wanted, const std::function<void()>& afterMarksCleared) {
  const DaySlot slot = logDayAndHour();
  pending_.clear();
  staticsToRemove_.clear();
  softFound_ = false;
  takeLiveCallsigns();
  clearStandMarks();
  if (afterMarksCleared) {
    afterMarksCleared();
  }
  const bool parkTrafficOnly = par_RT_PARKTRAFFIC_ONLY.value();
  if (services_.requestParkedTraffic) {
    if (std::vector<ParkedTrafficRecord>* parked = services_.requestParkedTraffic()) {
      assignStandsFromPT(*parked, wanted, parkTrafficOnly);
    }
  }
  if (!parkTrafficOnly) {
    gf_logLine(fmt::format("{} parking position{} from PT", pending_.size(), pending_.size() == 1 ? "" : "s"));
    if (wanted > pending_.size()) {
      runStaticFit(slot, wanted, 0);
    }
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const PendingStatic& a, const PendingStatic& b) { return a.ageHalfHours < b.ageHalfHours; });
    if (pending_.size() > wanted) {
      pending_.resize(wanted);  // the oldest go
    }
  }
  // Placement takes from the back: the youngest goes first.
  std::stable_sort(pending_.begin(), pending_.end(),
                   [](const PendingStatic& a, const PendingStatic& b) { return a.ageHalfHours > b.ageHalfHours; });
  // Parked traffic that arrived after an older static aircraft takes its stand.
  removeListedStatics();
  const std::size_t n = pending_.size();
  if (n == 0) {
    gf_logLine("no parking positions found");
    return 0;
  }
  const StandTable* table = stands();
  const long percentage = table == nullptr || table->empty()
                              ? 0
                              : std::lround(static_cast<double>(n) * 100.0 / static_cast<double>(table->size()));
  if (parkTrafficOnly) {
    gf_logLine(fmt::format("{} positions from RT parktraffic only\n", n));
  } else {
    gf_logLine(fmt::format("{} positions ({}% vs wanted {}%, with Max fit={} hours)\n", n, percentage,
                           par_parking_percentage.value(), maxFitHours(par_MAX_FIT.value())));
  }
  return n;
}

void StaticParking::reset() {
  pending_.clear();
  staticsToRemove_.clear();
  live_ = {};
  realOffset_ = 0;
  softOffset_ = -1;
  softFound_ = false;
}

}  // namespace crv
