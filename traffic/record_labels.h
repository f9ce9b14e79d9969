#pragma once

// Small predicates and log labels over the identity of an aircraft record.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/aircraft_identity.h"
#include "aircraftdata/size_category.h"
#include "foundation/day_slot.h"

namespace crv {

// Light follows LIGHT_AIRCRAFT, HighPerf HIGH_PERF_AIRCRAFT, Rotorcraft
// HELICOPTERS; Buzjets, Large and Heavy are always enabled; any other value
// is not.
bool isCategoryEnabled(SizeCategory category);

// Not empty, not "@@@@@@@@", at most 8 characters.
bool hasValidCallsign(const AircraftIdentity& identity);

// A callsign of at least 4 characters whose first three are letters and whose
// fourth is a digit gives its first three letters upper-cased.
std::optional<std::string> airlineFromCallsign(std::string_view callsign);
// Sets the airline code from the callsign; false when the callsign gives none.
bool setAirlineFromCallsign(AircraftIdentity& identity);

// "{:3} {:4}" of airline code and type.
std::string formatAirlineType(const AircraftIdentity& identity);
bool sameAirlineType(const AircraftIdentity& a, const AircraftIdentity& b);

// "{:3}->{:3}" of departure and destination, eight blanks when both are empty.
std::string routeLabel(const AircraftIdentity& identity);
// "<route> <callsign:8> <registration> <airline type>".
std::string formatRecordLine(const AircraftIdentity& identity);
// "<callsign:8> <registration> <airline type>".
std::string formatRecordLine3(const AircraftIdentity& identity);
// The text under which an aircraft without a livery is remembered.
std::string noMatchKey(const AircraftIdentity& identity);

// Appends the half hours of n successive slots going back from the slot, the
// slot's own first; before half hour 0 comes 47 of the weekday before, before
// Monday comes Sunday.
void precedingHalfHourSlots(std::vector<std::uint32_t>& halfHours, int count, DaySlot slot);

}  // namespace crv
