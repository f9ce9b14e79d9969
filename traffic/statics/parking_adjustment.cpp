#include "traffic/statics/parking_adjustment.h"

#include <algorithm>
#include <string_view>

#include <fmt/format.h>

#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

constexpr int kLastHalfHour = kSlotsPerDay - 1;

bool fromUsage(const StaticAc& aircraft) { return aircraft.fromUsage == 1; }

// The callsign of a static aircraft is a callsign of the entry followed by '*'.
bool showsCallsignOf(const StaticAc& aircraft, const PendingStatic& entry) {
  const std::string& callsign = aircraft.base.identity.callsign;
  return (!entry.callsign.empty() && callsign == entry.callsign + "*") ||
         (!entry.secondCallsign.empty() && callsign == entry.secondCallsign + "*");
}

bool sameAirlineAndType(const StaticAc& aircraft, const PendingStatic& entry) {
  return aircraft.base.identity.airline == entry.airline && aircraft.base.identity.icaoType == entry.icaoType;
}

bool sameAircraftAs(const UsageEntry& entry, const StaticAc& aircraft) {
  const AircraftIdentity& identity = aircraft.base.identity;
  return entry.inUse() && entry.reg == identity.registration && entry.airl == identity.airline &&
         entry.type == identity.icaoType;
}

bool holdsAnyHalfHour(const UsageEntry& entry, int from, int to) {
  for (int h = std::max(from, 0); h <= std::min(to, kLastHalfHour); ++h) {
    if (entry.hh.test(static_cast<std::size_t>(h))) {
      return true;
    }
  }
  return false;
}

int weekdayBefore(int weekday) { return weekday == 1 ? 7 : weekday - 1; }
int weekdayAfter(int weekday) { return weekday == 7 ? 1 : weekday + 1; }

std::string withoutTrailingStar(std::string_view callsign) {
  if (!callsign.empty() && callsign.back() == '*') {
    callsign.remove_suffix(1);
  }
  return std::string(callsign);
}

std::string moreThanWanted(std::size_t wanted) {
  return fmt::format("more parked aircraft than the {} wanted", wanted);
}

}  // namespace

ParkingAdjustment::ParkingAdjustment(TrafficEngine& engine, StaticParking& parking, LiveRules& rules,
                                     ParkingAdjustmentServices services)
    : engine_(engine), parking_(parking), rules_(rules), services_(std::move(services)) {}

void ParkingAdjustment::reset() {
  kept_.clear();
  parkedLive_.clear();
}

void ParkingAdjustment::markStandTaken(std::uint32_t standId) {
  if (ParkingPosition* stand = parking_.standById(standId)) {
    parking_.markTaken(*stand);
  }
}

void ParkingAdjustment::keep(const StaticAc& aircraft) {
  const AircraftIdentity& identity = aircraft.base.identity;
  kept_.push_back({identity.callsign, identity.secondCallsign, identity.thirdCallsign, identity.registration,
                   identity.airline, identity.icaoType, DaySlot::fromPacked(aircraft.slot), aircraft.standId, false});
}

void ParkingAdjustment::adjustParking(bool full) {
  const DaySlot slot = parking_.logDayAndHour();
  parking_.takeLiveCallsigns();
  if (services_.busyOn) {
    services_.busyOn();
  }
  parking_.clearSoftFound();

  // A fresh start: the marks of the last calculation go, and so do the
  // exclusions of its usage entries (their ids never change).
  parking_.staticsToRemove().clear();
  kept_.clear();
  parkedLive_.clear();
  pending().clear();
  parking_.clearStandMarks();
  if (services_.excludeReservedStands) {
    services_.excludeReservedStands();
  }

  if (full) {
    for (const StaticAc& aircraft : engine_.staticAircraft()) {
      if (aircraft.state == SimState::active && fromUsage(aircraft)) {
        parking_.listForRemoval(aircraft, "a full parking adjustment replaces it");
      }
    }
  }

  const bool parkTrafficOnly = par_RT_PARKTRAFFIC_ONLY.value();
  const std::int32_t wantedCount = engine_.wantedStaticCount();
  const std::size_t wanted = wantedCount > 0 ? static_cast<std::size_t>(wantedCount) : 0;
  parkedLive_ = rules_.collectParkedLive();
  if (!parkTrafficOnly && wanted >= 1 && parkedLive_.size() > wanted) {
    const std::size_t excess = parkedLive_.size() - wanted;
    setStatusLine(fmt::format("Parking adjustments: {} more live ac than wanted", excess), true);
    rules_.removeLiveParked(excess);
    parkedLive_ = rules_.collectParkedLive();
  }
  for (const ParkedLive& live : parkedLive_) {
    markStandTaken(live.standId);
  }

  if (parking_.requestParkedTraffic() != nullptr) {
    addPositionsFromPT(wanted);
    if (parkTrafficOnly) {
      setStatusLine(fmt::format("ParkTraffic changes: {} to be removed, {} to be added",
                                parking_.staticsToRemove().size(), pending().size()),
                    true);
      removeListedStatics();
      return;
    }
  }

  checkPtAgainstUsageStatics(full);
  for (const KeptStatic& kept : kept_) {
    markStandTaken(kept.standId);
  }
  const std::size_t placed = kept_.size() + parkedLive_.size();
  if (wanted != pending().size() + placed) {
    parking_.runStaticFit(slot, wanted, placed);
  }
  reviewStatics(slot);
  replaceEndedCouplings();
  trimToWanted(wanted);

  // Placement takes from the back: the youngest goes first.
  std::stable_sort(pending().begin(), pending().end(),
                   [](const PendingStatic& a, const PendingStatic& b) { return a.ageHalfHours > b.ageHalfHours; });
  setStatusLine(fmt::format("Parking adjustments: {} to be removed, {} to be added", parking_.staticsToRemove().size(),
                            pending().size()),
                true);
  removeListedStatics();
}

bool ParkingAdjustment::addPositionsFromPT(std::size_t wanted) {
  // The parked traffic once more: the answer the steps below work on.
  std::vector<ParkedTrafficRecord>* records = parking_.requestParkedTraffic();
  if (records == nullptr) {
    return false;
  }
  parking_.assignStandsFromPT(*records, wanted, par_RT_PARKTRAFFIC_ONLY.value());
  const LiveIdentities& live = parking_.liveIdentities();
  for (StaticAc& aircraft : engine_.staticAircraft()) {
    if (aircraft.state != SimState::active || fromUsage(aircraft) || parking_.isListedForRemoval(aircraft)) {
      continue;
    }
    if (live.keys.contains(aircraft.feedAddress)) {
      // It flies again: the entry that kept its stand for it goes too.
      std::erase_if(pending(), [&aircraft](const PendingStatic& entry) {
        return entry.address == aircraft.feedAddress && entry.standId == aircraft.standId;
      });
      parking_.setLeaving(aircraft,
                          fmt::format("it is in the live feed again (hexid {:06x})", aircraft.feedAddress));
      continue;
    }
    // Still reported on its stand: the entry made for it (or for its record)
    // gives way to the aircraft that stands there already.
    const auto same = std::find_if(pending().begin(), pending().end(), [&aircraft](const PendingStatic& entry) {
      return entry.standId == aircraft.standId &&
             (showsCallsignOf(aircraft, entry) || entry.registration == aircraft.base.identity.registration);
    });
    if (same == pending().end()) {
      parking_.setLeaving(aircraft, "the parked traffic no longer shows it on its stand");
      continue;
    }
    keep(aircraft);
    pending().erase(same);
  }
  gf_logLine(fmt::format("{} new parking position{} from PT", pending().size(), pending().size() == 1 ? "" : "s"));
  return true;
}

void ParkingAdjustment::checkPtAgainstUsageStatics(bool full) {
  if (full) {
    return;
  }
  const DaySlot slot = now();
  for (StaticAc& aircraft : engine_.staticAircraft()) {
    if (aircraft.state != SimState::active || !fromUsage(aircraft) || parking_.isListedForRemoval(aircraft)) {
      continue;
    }
    const auto entry = std::find_if(pending().begin(), pending().end(), [&aircraft](const PendingStatic& p) {
      return p.standId == aircraft.standId ||
             (!p.callsign.empty() && p.callsign + "*" == aircraft.base.identity.callsign);
    });
    if (entry == pending().end()) {
      continue;
    }
    const int placedAge = halfHoursSince(slot, DaySlot::fromPacked(aircraft.slot));
    const bool arrivedBefore = static_cast<int>(entry->ageHalfHours) >= placedAge;
    const bool sameAircraft = !entry->callsign.empty() && entry->callsign + "*" == aircraft.base.identity.callsign &&
                              sameAirlineAndType(aircraft, *entry);
    if (arrivedBefore || sameAircraft) {
      pending().erase(entry);
    } else {
      parking_.setLeaving(aircraft, arrivedLater(*entry, placedAge));
    }
  }
}

void ParkingAdjustment::settleStaticConflict(const StaticAc& aircraft, std::size_t pendingIndex) {
  const int placedAge = halfHoursSince(now(), DaySlot::fromPacked(aircraft.slot));
  if (static_cast<int>(pending()[pendingIndex].ageHalfHours) < placedAge) {
    parking_.listForRemoval(aircraft, arrivedLater(pending()[pendingIndex], placedAge));
    return;
  }
  keep(aircraft);
  pending().erase(pending().begin() + static_cast<std::ptrdiff_t>(pendingIndex));
}

int ParkingAdjustment::lookBackHalfHours() const {
  return std::min(std::max(parking_.realOffset(), parking_.softOffset()), kLastHalfHour);
}

std::string ParkingAdjustment::arrivedLater(const PendingStatic& entry, int placedAge) const {
  const ParkingPosition* stand = parking_.standById(entry.standId);
  return fmt::format("{} stands on {} since {} half hours, it was placed {} half hours ago",
                     entry.callsign.empty() ? entry.registration : entry.callsign,
                     stand != nullptr ? stand->name : "unknown", entry.ageHalfHours, placedAge);
}

bool ParkingAdjustment::keptByUsage(const StaticAc& aircraft, DaySlot slot) const {
  const ParkingPosition* stand = parking_.standById(aircraft.standId);
  if (stand == nullptr) {
    return false;
  }
  const int lookBack = lookBackHalfHours();
  for (const UsageEntry& entry : stand->usage) {
    if (entry.day == static_cast<std::uint32_t>(slot.weekday) && sameAircraftAs(entry, aircraft) &&
        holdsAnyHalfHour(entry, slot.halfHour - lookBack, slot.halfHour)) {
      return true;
    }
  }
  if (lookBack <= slot.halfHour) {
    return false;
  }
  const int rest = std::min(lookBack - slot.halfHour, kLastHalfHour - 1);
  const auto dayBefore = static_cast<std::uint32_t>(weekdayBefore(slot.weekday));
  return std::any_of(stand->usage.begin(), stand->usage.end(), [&](const UsageEntry& entry) {
    return entry.day == dayBefore && sameAircraftAs(entry, aircraft) &&
           holdsAnyHalfHour(entry, kLastHalfHour - rest, kLastHalfHour);
  });
}

void ParkingAdjustment::reviewStatics(DaySlot slot) {
  const LiveIdentities& live = parking_.liveIdentities();
  for (const StaticAc& aircraft : engine_.staticAircraft()) {
    if (aircraft.state != SimState::active || !fromUsage(aircraft) || parking_.isListedForRemoval(aircraft)) {
      continue;
    }
    const AircraftIdentity& identity = aircraft.base.identity;
    const auto isLive = [&live](const std::string& callsign) {
      return !callsign.empty() && live.callsigns.contains(callsign);
    };
    if (isLive(identity.secondCallsign) || isLive(identity.thirdCallsign)) {
      // The real aircraft is in the feed.
      parking_.listForRemoval(aircraft, fmt::format("its flight {} is in the live feed",
                                                    isLive(identity.secondCallsign) ? identity.secondCallsign
                                                                                    : identity.thirdCallsign));
      continue;
    }
    const auto onStand = std::find_if(pending().begin(), pending().end(),
                                      [&aircraft](const PendingStatic& p) { return p.standId == aircraft.standId; });
    if (onStand != pending().end()) {
      if (sameAirlineAndType(aircraft, *onStand) && showsCallsignOf(aircraft, *onStand)) {
        keep(aircraft);
        pending().erase(onStand);
      } else {
        settleStaticConflict(aircraft, static_cast<std::size_t>(onStand - pending().begin()));
      }
      continue;
    }
    const ParkingPosition* stand = parking_.standById(aircraft.standId);
    const GeoPoint position{aircraft.standLatitude, aircraft.standLongitude};
    const auto touching = std::find_if(pending().begin(), pending().end(), [&](const PendingStatic& p) {
      if (stand == nullptr ||
          std::find(stand->neighbours.begin(), stand->neighbours.end(), p.standId) == stand->neighbours.end()) {
        return false;
      }
      const ParkingPosition* other = parking_.standById(p.standId);
      return other != nullptr && parking_.halfSpanNm(identity.icaoType) + parking_.halfSpanNm(p.icaoType) >
                                     gf_distanceNm(position, other->position());
    });
    if (touching != pending().end()) {
      settleStaticConflict(aircraft, static_cast<std::size_t>(touching - pending().begin()));
      continue;
    }
    if (keptByUsage(aircraft, slot)) {
      keep(aircraft);
    } else {
      parking_.listForRemoval(aircraft, fmt::format("the usage of its stand holds it in none of the last {} half hours",
                                                    lookBackHalfHours() + 1));
    }
  }

  // Latest placed first, so that trimming takes the earliest.
  std::stable_sort(kept_.begin(), kept_.end(), [slot](const KeptStatic& a, const KeptStatic& b) {
    return halfHoursSince(slot, a.placed) < halfHoursSince(slot, b.placed);
  });
  for (KeptStatic& kept : kept_) {
    kept.replace = leavesNextHalfHour(kept, slot);
  }
}

bool ParkingAdjustment::leavesNextHalfHour(const KeptStatic& kept, DaySlot slot) const {
  // Only an aircraft that shows the arrival of a coupled pair changes.
  if (kept.thirdCallsign.empty() || kept.secondCallsign.empty() || kept.callsign != kept.secondCallsign + "*") {
    return false;
  }
  const ParkingPosition* stand = parking_.standById(kept.standId);
  if (stand == nullptr) {
    return false;
  }
  const std::string callsign = withoutTrailingStar(kept.callsign);
  const auto today = static_cast<std::uint32_t>(slot.weekday);
  const auto entry = std::find_if(stand->usage.begin(), stand->usage.end(), [&](const UsageEntry& e) {
    return e.inUse() && e.day == today && e.cs == callsign && e.airl == kept.airline && e.type == kept.icaoType;
  });
  if (entry == stand->usage.end()) {
    return false;
  }
  if (slot.halfHour < kLastHalfHour) {
    return !entry->hh.test(static_cast<std::size_t>(slot.halfHour + 1));
  }
  const auto tomorrow = static_cast<std::uint32_t>(weekdayAfter(slot.weekday));
  return std::none_of(stand->usage.begin(), stand->usage.end(), [&](const UsageEntry& e) {
    return e.inUse() && e.day == tomorrow && e.airl == kept.airline && e.type == kept.icaoType && e.hh.test(0);
  });
}

void ParkingAdjustment::replaceEndedCouplings() {
  const DaySlot slot = now();
  for (const KeptStatic& kept : kept_) {
    if (!kept.replace) {
      continue;
    }
    PendingStatic departure;
    departure.standId = kept.standId;
    // The departure stands where the arrival stood since its placement.
    departure.ageHalfHours = static_cast<std::uint32_t>(halfHoursSince(slot, kept.placed));
    departure.airline = kept.airline;
    departure.icaoType = kept.icaoType;
    departure.callsign = kept.secondCallsign;
    departure.secondCallsign = kept.thirdCallsign;
    departure.registration = kept.registration;
    departure.continues = false;
    pending().push_back(std::move(departure));
    parking_.staticsToRemove().push_back(
        {kept.callsign, kept.standId, fmt::format("its coupled flight {} takes the stand over", kept.thirdCallsign)});
  }
  std::erase_if(kept_, [](const KeptStatic& kept) { return kept.replace; });
}

void ParkingAdjustment::trimToWanted(std::size_t wanted) {
  std::size_t total = pending().size() + kept_.size() + parkedLive_.size();
  for (; total > wanted; --total) {
    if (!pending().empty()) {
      pending().pop_back();
    } else if (!kept_.empty()) {
      parking_.staticsToRemove().push_back({kept_.back().callsign, kept_.back().standId, moreThanWanted(wanted)});
      kept_.pop_back();
    } else {
      const ParkedLive live = parkedLive_.back();
      parkedLive_.pop_back();
      for (LiveAc& aircraft : engine_.liveAircraft()) {
        if (aircraft.standId == live.standId && aircraft.base.identity.callsign == live.callsign) {
          engine_.removeAircraftFromSim(aircraft, moreThanWanted(wanted));
        }
      }
    }
  }
}

void ParkingAdjustment::removeListedStatics() {
  parking_.removeListedStatics();
  if (!pending().empty() && services_.busyOn) {
    services_.busyOn();
  }
}

}  // namespace crv
