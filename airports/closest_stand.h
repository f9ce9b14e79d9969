#pragma once

#include <string>
#include <string_view>

#include "foundation/geodesy.h"

namespace crv {

// The distance in nautical miles from the position to the nearest stand of
// the airport's base file (downloaded to airport.xml and removed again when
// it lies on the site), and that stand's name. 100.0 when the airport has no
// file or no stand, or anything fails (logged); the name then stays as it
// was. The closest-airport search uses it to choose between two airports.
double gf_readDestApfForClosestStand(std::string_view icao, const GeoPoint& position, std::string& standName);

inline constexpr double kNoStandDistanceNm = 100.0;

}  // namespace crv
