#pragma once

// What the engine reads and writes in the learned usage entries of a stand:
// matches against aircraft and registrations, and the marks of the half
// hours in which an aircraft stood there.

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "aircraftdata/aircraft_identity.h"
#include "airports/parking_position.h"
#include "airports/usage_entry.h"
#include "foundation/day_slot.h"

namespace crv {

// The entry is in use, real, and names the callsign (as its callsign or its
// second callsign) or the aircraft's airline and type.
bool usageMatchesAircraft(std::string_view callsign, const AircraftIdentity& aircraft, const UsageEntry& entry);

// The entry is in use, real, of the weekday and the registration, and holds
// the half hour h or one of its two neighbours (47 and 1 around 0). Throws
// std::out_of_range ("invalid bitset position") for h of 48 or more.
bool matchesUsageAtHalfHour(std::uint32_t weekday, std::uint32_t h, std::string_view registration,
                            const UsageEntry& entry);

// The callsign less one trailing "_" goes to the entry with the id: as its
// callsign when it has none, else as its second callsign unless it is one of
// the two already.
void setSecondCallsign(std::vector<UsageEntry>& entries, std::uint32_t id, std::string_view callsign);

// Sets the half hours of the list in the entry with the id; false when there
// is none, or (logged) when a half hour is 48 or more.
bool updateOptions(std::vector<UsageEntry>& entries, const std::vector<std::uint32_t>& halfHours, std::uint32_t id);
// The same for the entries with either id, for the half hours of the list up
// to and including the first 47 (where the list crosses into the day before).
bool updateOptionsWrapped(std::vector<UsageEntry>& entries, const std::vector<std::uint32_t>& halfHours,
                          std::uint32_t id1, std::uint32_t id2);

// Marks the n half hours back from the slot in the entries id1 and id2 and
// gives both the callsign.
void markParkedHalfHours(std::vector<UsageEntry>& entries, DaySlot slot, std::string_view callsign, int count,
                         std::uint32_t id1, std::uint32_t id2);

// Appends an entry for the aircraft standing at the half hour of the weekday;
// airline and type from the registration's database entry (its operator as
// airline when it has one), else the aircraft's. Nothing for an empty
// registration or when an entry of the same registration, weekday, half
// hours and callsign exists (its id is returned). The new entry's number
// never repeats one of the list. Throws std::out_of_range for a half hour of
// 48 or more.
std::pair<std::uint32_t, bool> addUsageEntry(std::vector<UsageEntry>& entries, const AircraftIdentity& aircraft,
                                             std::uint32_t kind, std::uint32_t weekday, std::uint32_t halfHour,
                                             std::string_view callsign, std::string_view registration);

}  // namespace crv
