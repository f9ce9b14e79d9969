#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/day_slot.h"

namespace crv {

inline constexpr std::uint32_t kSoftUsage = 0;  // guessed from where an aircraft ended its path
inline constexpr std::uint32_t kRealUsage = 1;  // seen in real traffic

// One use of a stand: one aircraft identity on one weekday, with the half
// hours of that day in which it stood there.
struct UsageEntry {
  std::string airl;  // airline ICAO code
  std::string type;  // ICAO type designator
  std::string reg;   // registration
  std::string cs;    // callsign
  std::string cs2;   // a second callsign of the same aircraft
  std::bitset<kSlotsPerDay> hh;
  // Number within the stand's usage list, from 1; 0 marks an entry taken out
  // of use, which every search and match skips.
  std::uint32_t id = 0;
  std::uint32_t day = 0;       // weekday 1 (Monday) to 7; another number read from a file is kept
  std::uint32_t fromFile = 0;  // 1 when read with its stand from the base airport file
  std::uint32_t kind = kRealUsage;
  // Generated for the present half hour when PARK_FAKE is on; never saved.
  bool placeholder = false;
  // Refused by the static parking for the present calculation only; the
  // entry keeps its id and is saved as it is.
  bool excludedForNow = false;

  bool inUse() const { return id != 0; }
};

// The entry is in use on the slot's weekday and half hour. A half hour of 48
// or more throws std::out_of_range.
bool isUsedAt(const UsageEntry& entry, DaySlot slot);

// The entry is in use, real, and names the callsign (as its callsign or its
// second callsign) or the airline and type of the aircraft. An empty callsign
// never matches by callsign.
bool usageMatchesAircraft(std::string_view callsign, std::string_view airline, std::string_view type,
                          const UsageEntry& entry);

// The number a new entry of the list takes: the largest number in the list
// plus 1, so that it never repeats one, even after the last entry was taken
// out of use; 1 for an empty list.
std::uint32_t nextUsageId(const std::vector<UsageEntry>& entries);

}  // namespace crv
