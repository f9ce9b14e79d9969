#pragma once

// Learning the use of the park airport's stands while live aircraft stand on
// them: each half hour an aircraft is parked is set in a usage entry of the
// stand (the aircraft's own entry of the weekday, or a new one), with the
// gap since its last learned half hour filled when it is short. And the
// coupled callsigns: the pair of callsigns one aircraft carries on one stand.
//
// Session worker only.

#include <cstdint>
#include <string>
#include <string_view>

#include "aircraftdata/aircraft_base.h"
#include "airports/parking_position.h"
#include "airports/stand_table.h"
#include "foundation/day_slot.h"

namespace crv {

// The largest gap in half hours that may be filled between two learned half
// hours of one aircraft: 12 for a freighter, 8 for a Heavy, 6 for others.
int learnWindowHalfHours(const AircraftBase& aircraft);

// Learns that the aircraft stands on the stand at the slot, as real or soft
// usage (kRealUsage, kSoftUsage). With fillGap, the half hours since the
// aircraft's last learned one on this stand are filled too when the gap is
// inside its learn window. False when nothing could be learned: no key text
// (registration, else callsign), no such stand, or an entry of the airport
// file itself for this aircraft that lacks the half hour. Every other call
// counts one stand update.
bool addStandOption(StandTable& stands, std::uint32_t standId, const AircraftBase& aircraft, DaySlot slot,
                    std::uint32_t kind, bool fillGap);

// Fills the half hours after the last learned slot up to the slot, each in
// the aircraft's entry of its own weekday: entryId on the slot's weekday,
// the last record's entry (or the aircraft's entry of that day) on the day
// before. True without an entry id or at the same slot; false, with nothing
// changed, when the gap is outside the learn window or an entry is missing.
// The record then holds the slot and entryId.
bool checkStandTimeSlots(DaySlot slot, ParkingPosition& stand, std::uint32_t entryId, StandLearningMark& last,
                         const AircraftBase& aircraft, std::string_view keyText, std::uint32_t kind);

// Sets the aircraft's second and third callsign texts from the first usage
// entry of the slot's weekday, near the half hour (14 half hours for a
// Heavy, 10 for others), of the aircraft's airline, that has a second
// callsign and names the aircraft's callsign (less a trailing "_") as one
// of its two. Nothing changes when there is none.
void searchCoupledCallsigns(const StandTable& stands, DaySlot slot, AircraftBase& aircraft);

}  // namespace crv
