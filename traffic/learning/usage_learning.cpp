#include "traffic/learning/usage_learning.h"

#include <cmath>
#include <exception>
#include <stdexcept>

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "traffic/record_labels.h"

namespace crv {

namespace {

constexpr std::uint32_t kHalfHoursPerDay = kSlotsPerDay;
constexpr std::uint32_t kLastHalfHour = kHalfHoursPerDay - 1;

void checkHalfHour(std::uint32_t h) {
  if (h >= kHalfHoursPerDay) {
    throw std::out_of_range("invalid bitset position");
  }
}

std::string_view withoutTrailingUnderscore(std::string_view callsign) {
  if (!callsign.empty() && callsign.back() == '_') {
    callsign.remove_suffix(1);
  }
  return callsign;
}

UsageEntry* entryWithId(std::vector<UsageEntry>& entries, std::uint32_t id) {
  if (id == 0) {
    return nullptr;
  }
  for (UsageEntry& entry : entries) {
    if (entry.id == id) {
      return &entry;
    }
  }
  return nullptr;
}

}  // namespace

bool usageMatchesAircraft(std::string_view callsign, const AircraftIdentity& aircraft, const UsageEntry& entry) {
  return usageMatchesAircraft(callsign, aircraft.airline, aircraft.icaoType, entry);
}

bool matchesUsageAtHalfHour(std::uint32_t weekday, std::uint32_t h, std::string_view registration,
                            const UsageEntry& entry) {
  checkHalfHour(h);
  if (!entry.inUse() || entry.day != weekday || entry.kind != kRealUsage || entry.reg != registration) {
    return false;
  }
  return entry.hh.test(h) || entry.hh.test((h + kLastHalfHour) % kHalfHoursPerDay) ||
         entry.hh.test((h + 1) % kHalfHoursPerDay);
}

void setSecondCallsign(std::vector<UsageEntry>& entries, std::uint32_t id, std::string_view callsign) {
  UsageEntry* entry = entryWithId(entries, id);
  if (entry == nullptr) {
    return;
  }
  const std::string_view name = withoutTrailingUnderscore(callsign);
  if (entry->cs.empty()) {
    entry->cs = name;
  } else if (name != entry->cs && name != entry->cs2) {
    entry->cs2 = name;
  }
}

bool updateOptions(std::vector<UsageEntry>& entries, const std::vector<std::uint32_t>& halfHours, std::uint32_t id) {
  try {
    UsageEntry* entry = entryWithId(entries, id);
    if (entry == nullptr) {
      return false;
    }
    for (auto h = halfHours.rbegin(); h != halfHours.rend(); ++h) {
      checkHalfHour(*h);
      entry->hh.set(*h);
    }
    return true;
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("{} exception:{}", "updateOptions", error.what()));
    return false;
  }
}

bool updateOptionsWrapped(std::vector<UsageEntry>& entries, const std::vector<std::uint32_t>& halfHours,
                          std::uint32_t id1, std::uint32_t id2) {
  try {
    UsageEntry* first = entryWithId(entries, id1);
    UsageEntry* second = entryWithId(entries, id2);
    if (first == nullptr && second == nullptr) {
      return false;
    }
    for (const std::uint32_t h : halfHours) {
      checkHalfHour(h);
      for (UsageEntry* entry : {first, second}) {
        if (entry != nullptr) {
          entry->hh.set(h);
        }
      }
      if (h == kLastHalfHour) {
        break;
      }
    }
    return true;
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("{} exception:{}", "updateOptionsWrapped", error.what()));
    return false;
  }
}

void markParkedHalfHours(std::vector<UsageEntry>& entries, DaySlot slot, std::string_view callsign, int count,
                         std::uint32_t id1, std::uint32_t id2) {
  std::vector<std::uint32_t> halfHours;
  precedingHalfHourSlots(halfHours, count, slot);
  updateOptionsWrapped(entries, halfHours, id1, id2);
  setSecondCallsign(entries, id1, callsign);
  setSecondCallsign(entries, id2, callsign);
}

std::pair<std::uint32_t, bool> addUsageEntry(std::vector<UsageEntry>& entries, const AircraftIdentity& aircraft,
                                             std::uint32_t kind, std::uint32_t weekday, std::uint32_t halfHour,
                                             std::string_view callsign, std::string_view registration) {
  if (registration.empty()) {
    return {0, false};
  }
  checkHalfHour(halfHour);
  UsageEntry candidate;
  candidate.cs = withoutTrailingUnderscore(callsign);
  candidate.hh.set(halfHour);
  candidate.id = nextUsageId(entries);
  if (const auto known = findRegcode(registration)) {
    candidate.airl = known->airl;
    candidate.type = known->type;
    if (!known->opr.empty()) {
      candidate.airl = known->opr;
    }
  } else {
    candidate.airl = aircraft.airline;
    candidate.type = aircraft.icaoType;
  }
  candidate.reg = registration;
  candidate.day = weekday;
  candidate.fromFile = 0;
  candidate.kind = kind;
  for (const UsageEntry& entry : entries) {
    if (entry.inUse() && entry.reg == candidate.reg && entry.day == candidate.day && entry.hh == candidate.hh &&
        entry.cs == candidate.cs) {
      return {entry.id, false};
    }
  }
  entries.push_back(std::move(candidate));
  return {entries.back().id, true};
}

}  // namespace crv
