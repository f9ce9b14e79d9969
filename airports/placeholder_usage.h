#pragma once

// With PARK_FAKE on, every stand of the park airport gets one generated soft
// usage entry for the present weekday and half hour, so that static parking
// has an aircraft for stands without a fitting learned use. The entries are
// marked placeholder and are never saved.

#include <string_view>
#include <utility>
#include <vector>

#include "airports/stand_table.h"
#include "foundation/day_slot.h"

namespace crv {

using AirlineTypePair = std::pair<std::string_view, std::string_view>;

// Appends the pairs of the group whose type fits the stand.
void addFittingPairs(const ParkingPosition& stand, const std::vector<AirlineTypePair>& group,
                     std::vector<AirlineTypePair>& candidates);

// Adds the placeholders for the slot: REGFAKE<n> / FAKE<n>, n counting the
// stands that received one. The airline and type suit the stand's kind and,
// for gates, the first letter of the airport's ICAO code.
void addPlaceholderUsage(std::string_view parkIcao, StandTable& stands, DaySlot slot);
// The same for the present slot.
void addPlaceholderUsage(std::string_view parkIcao, StandTable& stands);

}  // namespace crv
