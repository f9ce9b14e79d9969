#pragma once

// The hh attribute of an airport file's usage entries: the half hours of a
// day in which a stand is in use, as "14,15,16".

#include <bitset>
#include <string>
#include <string_view>

#include "foundation/day_slot.h"

namespace crv {

using HalfHourSet = std::bitset<kSlotsPerDay>;

// The set half hours in increasing order, comma-separated, no blanks; empty
// for an empty set.
std::string bitsetToHours(const HalfHourSet& hours);

// The set of an hh text. Each comma-separated item is a decimal number with
// an optional leading "-", read up to its first non-digit ("7abc" is 7). An
// item without a digit, one that overflows or one outside 0..47 is left out
// with a warning "gf_hours2bitset invalid hour '<item>' in <text>".
HalfHourSet gf_hours2bitset(std::string_view text);

}  // namespace crv
