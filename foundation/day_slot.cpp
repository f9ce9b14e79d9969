#include "foundation/day_slot.h"

namespace crv {

DaySlot DaySlot::previous() const {
  if (halfHour > 0) {
    return {weekday, halfHour - 1};
  }
  return {weekday <= 1 ? 7 : weekday - 1, kSlotsPerDay - 1};
}

DaySlot DaySlot::next() const {
  if (halfHour < kSlotsPerDay - 1) {
    return {weekday, halfHour + 1};
  }
  return {weekday >= 7 ? 1 : weekday + 1, 0};
}

std::uint64_t DaySlot::packed() const {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(weekday)) |
         (static_cast<std::uint64_t>(static_cast<std::uint32_t>(halfHour)) << 32U);
}

DaySlot DaySlot::fromPacked(std::uint64_t value) {
  return {static_cast<int>(static_cast<std::uint32_t>(value & 0xFFFFFFFFU)),
          static_cast<int>(static_cast<std::uint32_t>(value >> 32U))};
}

}  // namespace crv
