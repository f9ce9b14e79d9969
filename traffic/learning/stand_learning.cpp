#include "traffic/learning/stand_learning.h"

#include <algorithm>
#include <bitset>
#include <exception>
#include <vector>

#include <fmt/format.h>

#include "foundation/log.h"
#include "traffic/learning/usage_learning.h"

namespace crv {

namespace {

constexpr int kCargoLearnWindow = 12;
constexpr int kHeavyLearnWindow = 8;
constexpr int kLearnWindow = 6;
constexpr int kHeavyCoupledWindow = 14;
constexpr int kCoupledWindow = 10;

std::string_view withoutTrailingUnderscore(std::string_view callsign) {
  if (!callsign.empty() && callsign.back() == '_') {
    callsign.remove_suffix(1);
  }
  return callsign;
}

// Half hours from the first slot forward to the second, plus a week when negative.
int weekDistance(DaySlot from, DaySlot to) {
  const int distance = (to.weekday - from.weekday) * kSlotsPerDay + (to.halfHour - from.halfHour);
  return distance < 0 ? distance + kSlotsPerWeek : distance;
}

bool isLearnedEntryOf(const UsageEntry& entry, std::string_view keyText, std::uint32_t weekday, std::uint32_t kind) {
  return entry.inUse() && entry.fromFile == 0 && entry.kind == kind && entry.day == weekday && entry.reg == keyText;
}

UsageEntry* learnedEntryOf(std::vector<UsageEntry>& entries, std::string_view keyText, std::uint32_t weekday,
                           std::uint32_t kind) {
  const auto found = std::find_if(entries.begin(), entries.end(), [&](const UsageEntry& entry) {
    return isLearnedEntryOf(entry, keyText, weekday, kind);
  });
  return found == entries.end() ? nullptr : &*found;
}

UsageEntry* entryWithId(std::vector<UsageEntry>& entries, std::uint32_t id) {
  const auto found =
      std::find_if(entries.begin(), entries.end(), [id](const UsageEntry& entry) { return id != 0 && entry.id == id; });
  return found == entries.end() ? nullptr : &*found;
}

ParkingPosition* standWithId(StandTable& stands, std::uint32_t standId) {
  const auto found = std::find_if(stands.begin(), stands.end(),
                                  [standId](const ParkingPosition& stand) { return standId != 0 && stand.id == standId; });
  return found == stands.end() ? nullptr : &*found;
}

std::unordered_map<std::uint32_t, StandLearningMark>& learningOf(ParkingPosition& stand, std::uint32_t kind) {
  return kind == kRealUsage ? stand.realLearning : stand.softLearning;
}

std::uint32_t addEntryFor(ParkingPosition& stand, const AircraftBase& aircraft, DaySlot slot, std::uint32_t kind,
                          std::string_view keyText) {
  const auto [id, added] =
      addUsageEntry(stand.usage, aircraft.identity, kind, static_cast<std::uint32_t>(slot.weekday),
                    static_cast<std::uint32_t>(slot.halfHour), aircraft.identity.callsign, keyText);
  learningOf(stand, kind)[aircraft.key] = {slot, id};
  return id;
}

}  // namespace

int learnWindowHalfHours(const AircraftBase& aircraft) {
  if (aircraft.cargo) {
    return kCargoLearnWindow;
  }
  return aircraft.category == SizeCategory::Heavy ? kHeavyLearnWindow : kLearnWindow;
}

bool checkStandTimeSlots(DaySlot slot, ParkingPosition& stand, std::uint32_t entryId, StandLearningMark& last,
                         const AircraftBase& aircraft, std::string_view keyText, std::uint32_t kind) {
  if (entryId == 0 || last.slot == slot) {
    return true;
  }
  const int distance = weekDistance(last.slot, slot);
  if (distance < 1 || distance >= learnWindowHalfHours(aircraft)) {
    return false;
  }
  UsageEntry* today = entryWithId(stand.usage, entryId);
  if (today == nullptr || today->day != static_cast<std::uint32_t>(slot.weekday)) {
    return false;
  }
  // Find every entry first, so that a missing one changes nothing.
  std::vector<std::pair<UsageEntry*, int>> marks;
  DaySlot fill = slot;
  for (int i = 0; i < distance; ++i) {
    UsageEntry* entry = today;
    if (fill.weekday != slot.weekday) {
      const auto weekday = static_cast<std::uint32_t>(fill.weekday);
      entry = entryWithId(stand.usage, last.usageId);
      if (entry == nullptr || !isLearnedEntryOf(*entry, keyText, weekday, kind)) {
        entry = learnedEntryOf(stand.usage, keyText, weekday, kind);
      }
      if (entry == nullptr) {
        return false;
      }
    }
    marks.emplace_back(entry, fill.halfHour);
    fill = fill.previous();
  }
  std::vector<std::uint32_t> touched;
  for (const auto& [entry, halfHour] : marks) {
    entry->hh.set(static_cast<std::size_t>(halfHour));
    if (std::find(touched.begin(), touched.end(), entry->id) == touched.end()) {
      touched.push_back(entry->id);
    }
  }
  for (const std::uint32_t id : touched) {
    setSecondCallsign(stand.usage, id, aircraft.identity.callsign);
  }
  last.slot = slot;
  last.usageId = entryId;
  return true;
}

bool addStandOption(StandTable& stands, std::uint32_t standId, const AircraftBase& aircraft, DaySlot slot,
                    std::uint32_t kind, bool fillGap) {
  try {
    const AircraftIdentity& identity = aircraft.identity;
    const std::string keyText = identity.registration.empty() ? identity.callsign : identity.registration;
    if (keyText.empty()) {
      return false;
    }
    ParkingPosition* stand = standWithId(stands, standId);
    if (stand == nullptr) {
      return false;
    }
    const auto weekday = static_cast<std::uint32_t>(slot.weekday);
    const auto halfHour = static_cast<std::size_t>(slot.halfHour);
    for (const UsageEntry& entry : stand->usage) {
      if (entry.inUse() && entry.fromFile == 1 && entry.kind == kind && entry.day == weekday && entry.reg == keyText &&
          !entry.hh.test(halfHour)) {
        return false;
      }
    }
    UsageEntry* learned = learnedEntryOf(stand->usage, keyText, weekday, kind);
    auto& records = learningOf(*stand, kind);
    const auto record = records.find(aircraft.key);
    if (learned == nullptr && fillGap && record != records.end() && record->second.slot.weekday != slot.weekday) {
      // Parked over midnight: the new weekday's entry is made first, so that
      // the half hours before midnight are filled in the day before's entry.
      StandLearningMark last = record->second;
      const std::uint32_t id = addEntryFor(*stand, aircraft, slot, kind, keyText);
      checkStandTimeSlots(slot, *stand, id, last, aircraft, keyText, kind);  // a long gap stays open
    } else if (learned == nullptr) {
      addEntryFor(*stand, aircraft, slot, kind, keyText);
    } else if (learned->hh.test(halfHour) || !fillGap) {
      learned->hh.set(halfHour);
      // The record always names the last learned half hour, so that a later
      // gap is measured from it.
      records[aircraft.key] = {slot, learned->id};
    } else {
      if (record == records.end()) {
        addEntryFor(*stand, aircraft, slot, kind, keyText);
      } else if (record->second.slot == slot) {
        record->second.usageId = learned->id;
      } else if (!checkStandTimeSlots(slot, *stand, learned->id, record->second, aircraft, keyText, kind)) {
        addEntryFor(*stand, aircraft, slot, kind, keyText);
      }
    }
    countStandUpdate();
    return true;
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: hh_now: {}, {}", "lt_addStandOption", slot.halfHour, error.what()));
    return false;
  }
}

void searchCoupledCallsigns(const StandTable& stands, DaySlot slot, AircraftBase& aircraft) {
  try {
    const int window = aircraft.category == SizeCategory::Heavy ? kHeavyCoupledWindow : kCoupledWindow;
    std::bitset<kSlotsPerDay> mask;
    for (int h = std::max(slot.halfHour - window, 0); h <= std::min(slot.halfHour + window, kSlotsPerDay - 1); ++h) {
      mask.set(static_cast<std::size_t>(h));
    }
    const std::string_view callsign = withoutTrailingUnderscore(aircraft.identity.callsign);
    if (callsign.empty()) {
      return;
    }
    const auto weekday = static_cast<std::uint32_t>(slot.weekday);
    for (const ParkingPosition& stand : stands) {
      for (const UsageEntry& entry : stand.usage) {
        if (!entry.inUse() || entry.day != weekday || (entry.hh & mask).none() ||
            entry.airl != aircraft.identity.airline || entry.cs2.empty()) {
          continue;
        }
        if (entry.cs == callsign || entry.cs2 == callsign) {
          aircraft.identity.secondCallsign = entry.cs;
          aircraft.identity.thirdCallsign = entry.cs2;
          return;
        }
      }
    }
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: {}", "lf_searchForCoupledCsAroundThisTime", error.what()));
  }
}

}  // namespace crv
