// The learned-usage search: which stands take a static aircraft at the
// current half hour, looking back further half hours until enough are found.

#include <algorithm>
#include <exception>

#include <fmt/format.h>

#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/statics/static_parking.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

// A number of hours without decimals when whole, else with one.
std::string hoursText(double hours) {
  if (hours == static_cast<double>(static_cast<long long>(hours))) {
    return fmt::format("{}", static_cast<long long>(hours));
  }
  return fmt::format("{:.1f}", hours);
}

double halfHoursAsHours(int halfHours) { return halfHours * 0.5 + 0.5; }

bool fitsKind(const UsageEntry& entry, int kind) {
  if (kind == kRealFit) {
    return entry.kind == kRealUsage;
  }
  if (kind == kSoftFit) {
    return entry.kind != kRealUsage;
  }
  return true;
}

}  // namespace

DaySlot slotBefore(DaySlot slot, int halfHours) {
  int weekday = slot.weekday;
  int halfHour = slot.halfHour - halfHours;
  while (halfHour < 0) {
    halfHour += kSlotsPerDay;
    weekday = weekday == 1 ? 7 : weekday - 1;
  }
  return DaySlot{weekday, halfHour};
}

int halfHoursSince(DaySlot now, DaySlot earlier) {
  return ((now.weekIndex() - earlier.weekIndex()) % kSlotsPerWeek + kSlotsPerWeek) % kSlotsPerWeek;
}

std::size_t StaticParking::chosenStandCount() const {
  const StandTable* table = stands();
  if (table == nullptr) {
    return 0;
  }
  return static_cast<std::size_t>(
      std::count_if(table->begin(), table->end(), [](const ParkingPosition& s) { return s.staticTaken; }));
}

bool StaticParking::standClearOfActiveStatics(const ParkingPosition& stand, const UsageEntry& entry) const {
  for (std::uint32_t neighbourId : stand.neighbours) {
    for (const StaticAc& aircraft : engine_.staticAircraft()) {
      if (aircraft.standId != neighbourId || aircraft.state != SimState::active) {
        continue;
      }
      const double spansNm = halfSpanNm(aircraft.base.identity.icaoType) + halfSpanNm(entry.type);
      const double distanceNm =
          gf_distanceNm({aircraft.standLatitude, aircraft.standLongitude}, stand.position());
      if (spansNm > distanceNm) {
        return false;
      }
    }
  }
  return true;
}

bool StaticParking::continuesNextHalfHour(DaySlot slot, const ParkingPosition& stand, const UsageEntry& entry) const {
  if (entry.cs2.empty()) {
    return true;
  }
  if (slot.halfHour + 1 < kSlotsPerDay) {
    return entry.hh.test(static_cast<std::size_t>(slot.halfHour + 1));
  }
  const std::uint32_t nextDay = slot.weekday == 7 ? 1u : static_cast<std::uint32_t>(slot.weekday + 1);
  return std::any_of(stand.usage.begin(), stand.usage.end(), [&](const UsageEntry& other) {
    return other.inUse() && !other.excludedForNow && other.day == nextDay && other.airl == entry.airl &&
           other.type == entry.type && other.hh.test(0);
  });
}

std::vector<std::uint32_t> StaticParking::chooseUsageForStand(std::vector<std::uint32_t> candidates,
                                                              const ParkingPosition& stand) {
  for (const StaticAc& aircraft : engine_.staticAircraft()) {
    if (aircraft.standId != stand.id || aircraft.fromUsage != 1) {
      continue;
    }
    const AircraftIdentity& identity = aircraft.base.identity;
    for (const UsageEntry& entry : stand.usage) {
      if (std::find(candidates.begin(), candidates.end(), entry.id) == candidates.end()) {
        continue;
      }
      const bool sameCallsign = (!entry.cs.empty() && entry.cs + "*" == identity.callsign) ||
                                (!entry.cs2.empty() && entry.cs2 + "*" == identity.callsign);
      if (entry.airl == identity.airline && entry.type == identity.icaoType && sameCallsign) {
        std::iter_swap(candidates.begin(), std::find(candidates.begin(), candidates.end(), entry.id));
        return candidates;
      }
    }
    break;  // the first such aircraft decides
  }
  std::shuffle(candidates.begin(), candidates.end(), random_);
  return candidates;
}

void StaticParking::searchStands(DaySlot slot, int kind, int offset, std::vector<PendingStatic>& collected) {
  StandTable* table = stands();
  if (table == nullptr) {
    return;
  }
  try {
    const DaySlot searched = slotBefore(slot, offset);
    const bool wholeWeek = par_WEEK.value();
    const bool helicopters = par_HELICOPTERS.value();
    std::vector<std::uint32_t> candidates;
    candidates.reserve(256);
    for (ParkingPosition& stand : *table) {
      if (stand.staticTaken || stand.reserved || stand.neighbourTaken || (stand.heli && !helicopters)) {
        continue;
      }
      candidates.clear();
      for (const UsageEntry& entry : stand.usage) {
        if (!entry.inUse() || entry.excludedForNow || !fitsKind(entry, kind)) {
          continue;
        }
        if (!wholeWeek && entry.day != static_cast<std::uint32_t>(searched.weekday)) {
          continue;
        }
        if (!entry.hh.test(static_cast<std::size_t>(searched.halfHour)) || !standClearOfActiveStatics(stand, entry)) {
          continue;
        }
        candidates.push_back(entry.id);
      }
      if (candidates.empty()) {
        continue;
      }
      if (candidates.size() >= 2) {
        candidates = chooseUsageForStand(std::move(candidates), stand);
      }
      UsageEntry* chosen = nullptr;
      for (UsageEntry& entry : stand.usage) {
        if (entry.id == candidates.front() && !entry.excludedForNow) {
          chosen = &entry;
          break;
        }
      }
      if (chosen == nullptr) {
        continue;
      }
      if (isExcludedUsage(*chosen)) {
        // Out of this calculation only: the entry keeps its id and is saved.
        chosen->excludedForNow = true;
        continue;
      }
      PendingStatic pending;
      pending.standId = stand.id;
      pending.ageHalfHours = static_cast<std::uint32_t>(offset);
      pending.airline = chosen->airl;
      pending.icaoType = chosen->type;
      pending.callsign = chosen->cs;
      pending.secondCallsign = chosen->cs2;
      pending.registration = chosen->reg;
      pending.continues = continuesNextHalfHour(slot, stand, *chosen);
      collected.push_back(std::move(pending));
      stand.staticTaken = true;
      for (std::uint32_t neighbourId : stand.neighbours) {
        if (ParkingPosition* neighbour = standById(neighbourId)) {
          neighbour->neighbourTaken = true;
        }
      }
    }
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: day: {}, offset {}: {}", "lf_searchStands",
                              fmt::format("[{},{}]", slot.weekday, slot.halfHour), offset, error.what()));
  }
}

bool StaticParking::computeStaticFit(DaySlot slot, int kind, std::size_t wanted,
                                     std::vector<PendingStatic>& collected) {
  const std::size_t chosenBefore = chosenStandCount();
  const int maxFit = par_MAX_FIT.value();
  bool enough = false;
  int offset = 0;
  for (; offset <= maxFit; ++offset) {
    searchStands(slot, kind, offset, collected);
    if (wanted <= chosenStandCount()) {
      enough = true;
      break;
    }
    std::move(collected.begin(), collected.end(), std::back_inserter(pending_));
    collected.clear();
  }
  const int lastOffset = std::min(offset, maxFit);
  const std::size_t found = chosenStandCount() - chosenBefore;
  if (kind == kRealFit) {
    realOffset_ = lastOffset;
    softOffset_ = -1;
  } else {
    softOffset_ = lastOffset;
  }
  if (found >= 1) {
    const std::string when = par_WEEK.value() ? std::string(", week") : fmt::format(", day {}", slot.weekday);
    gf_logLine(fmt::format("{} {} position{} found, Max fit={} hours{}{}", found, kind == kRealFit ? "real" : "soft",
                           found == 1 ? "" : "s", hoursText(halfHoursAsHours(maxFit)), when,
                           fmt::format(", hh:{} or {} hrs, fit: {} hour", slot.halfHour,
                                       hoursText(halfHoursAsHours(slot.halfHour)),
                                       hoursText(halfHoursAsHours(lastOffset)))));
  }
  softFound_ = kind == kSoftFit && found > 0;
  if (engine_.hooks().repaint) {
    engine_.hooks().repaint();
  }
  return enough;
}

void StaticParking::fitStaticKind(DaySlot slot, std::size_t wanted, std::size_t placed, int kind) {
  std::vector<PendingStatic> collected;
  collected.reserve(512);
  if (!computeStaticFit(slot, kind, wanted, collected)) {
    return;
  }
  // The final pass found more stands than needed: a random choice of them
  // fills the list up to the wanted count.
  std::shuffle(collected.begin(), collected.end(), random_);
  const std::size_t room = wanted > pending_.size() + placed ? wanted - pending_.size() - placed : 0;
  collected.resize(std::min(room, collected.size()));
  std::move(collected.begin(), collected.end(), std::back_inserter(pending_));
  // More than the list holds over wanted (those placed already exceed it):
  // nothing is dropped here; the caller trims to wanted.
  const std::size_t total = pending_.size() + placed;
  if (total > wanted && total - wanted <= pending_.size()) {
    pending_.resize(pending_.size() - (total - wanted));
  }
}

void StaticParking::runStaticFit(DaySlot slot, std::size_t wanted, std::size_t placed) {
  realOffset_ = 0;
  softOffset_ = -1;
  fitStaticKind(slot, wanted, placed, kRealFit);
  if ((par_PARK_SOFT.value() || par_PARK_FAKE.value()) && pending_.size() + placed < wanted) {
    fitStaticKind(slot, wanted, placed, kSoftFit);
  }
}

}  // namespace crv
