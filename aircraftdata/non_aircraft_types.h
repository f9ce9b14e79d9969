#pragma once

#include <string_view>

#include "aircraftdata/aircraft_identity.h"

namespace crv {

// A type designator of something that is no aircraft to show (balloons,
// gliders, parachutists, ground vehicles, ships, obstacles, emergency
// vehicles): one of BALL EMER GLID GRND GND PARA SERV SHIP VENT (exact
// case), or any text longer than 4 characters.
bool isSpecialTypeCode(std::string_view type);

// Whether a decoded traffic record is an aircraft to put into the simulator,
// judged by its ICAO type and its ADS-B emitter category: no type never is;
// an empty or "null" category always is; categories B1 B2 B4 C1 C2 never
// are; otherwise unless the type is special.
bool isAircraftToInject(const AircraftIdentity& identity, std::string_view emitterCategory);

}  // namespace crv
