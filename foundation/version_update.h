#pragma once

// After the settings are loaded, the version that last ran (PROGRAM_VERSION)
// is compared with the program's own. A first run records the version; a
// newer program converts settings of older versions to their current forms
// (each only when its old key is still in parameters.xml, which then loses
// it), deletes the installer of the update and asks for both rescans.

#include <cstdint>

namespace crv {

void updateFromOlderVersion();

// The allowed RANGE value for a range in nautical miles.
std::int32_t snapRange(std::int32_t rangeNm);
// The allowed height for a height in feet (2000 to 48000).
std::int32_t snapHeight(std::int32_t heightFeet);

// Applies a traffic range: RANGE gets it clamped into its limits,
// trafficRangeNm and trafficRadiusMeters (range x 1852 + 10000) the value as
// given.
void setRange(std::int32_t rangeNm);

// Takes every old key out of parameters.xml. Old keys go whenever they are
// found: left in the file, a later update would convert them over the
// user's newer choices.
void removeObsoleteParameters();

// The old forms of the current settings, converted.
std::int32_t maxParkFromCustomMaxPark(std::int32_t customMaxPark);
std::int32_t maxLiveFromMaxLive(std::int32_t maxLive);
std::int32_t airportRangeFromOldAirportRange(std::int32_t airportRangeNm);

}  // namespace crv
