#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "airports/parking_position.h"
#include "foundation/day_slot.h"

namespace crv {

using StandTable = std::vector<ParkingPosition>;
using StandIterator = StandTable::iterator;

// The stands of the current park airport. Owned by the session worker: it is
// emptied and refilled whenever the park airport's file is read, and no other
// thread touches it (other threads ask standNameAtPosition, which reads a
// published copy).
StandTable& parkAirportStands();

// Changes made to the park airport's stands and usage since its file was read
// or the learned file was saved. The main window shows it.
std::uint32_t standUpdates();
void countStandUpdate();
void resetStandUpdates();

// The first stand whose name equals the text exactly (letter case counts), or
// the end of the table.
StandIterator findStandByName(StandTable& stands, std::string_view name);

// Numbers the stands 1..n in table order and lists for each stand the ids of
// the stands that overlap it: those whose radius plus its radius exceeds 1.1
// times the distance between the two.
void numberStandsAndFindNeighbours(StandTable& stands);

// Per aircraft key, the half hour of the week of its last stand learning
// (DaySlot::weekIndex), so that the time since then counts across midnight
// and from Sunday into Monday.
struct StandLastUse {
  std::uint32_t key = 0;
  std::uint32_t weekHalfHour = 0;
};

// Makes the slot the aircraft's last stand learning.
void rememberStandLearning(std::vector<StandLastUse>& lastUse, std::uint32_t key, DaySlot slot);

// Whether the aircraft may learn a stand at the slot: not when its last
// learning was less than three half hours (1.5 hours) before, across midnight
// and the week's end, unless force is set. A granted learning becomes the
// aircraft's last.
bool standSlotFree(std::vector<StandLastUse>& lastUse, DaySlot slot, std::uint32_t key, bool force);

}  // namespace crv
