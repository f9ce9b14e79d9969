#include "airports/usage_entry.h"

#include <algorithm>

namespace crv {

bool isUsedAt(const UsageEntry& entry, DaySlot slot) {
  if (!entry.inUse() || entry.day != static_cast<std::uint32_t>(slot.weekday)) {
    return false;
  }
  return entry.hh.test(static_cast<std::size_t>(slot.halfHour));
}

bool usageMatchesAircraft(std::string_view callsign, std::string_view airline, std::string_view type,
                          const UsageEntry& entry) {
  if (!entry.inUse() || entry.kind != kRealUsage) {
    return false;
  }
  if (!callsign.empty() && (entry.cs == callsign || entry.cs2 == callsign)) {
    return true;
  }
  return entry.airl == airline && entry.type == type;
}

std::uint32_t nextUsageId(const std::vector<UsageEntry>& entries) {
  std::uint32_t largest = 0;
  for (const UsageEntry& entry : entries) {
    largest = std::max(largest, entry.id);
  }
  return largest + 1;
}

}  // namespace crv
