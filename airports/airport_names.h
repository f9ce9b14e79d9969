#pragma once

#include <filesystem>
#include <string>
#include <unordered_map>

namespace crv {

using AirportNameMap = std::unordered_map<std::string, std::string>;

// ICAO code to airport name, filled by readAirportNames for the add-on
// airport scan, which clears it when it ends. Worker thread only.
inline AirportNameMap airportNames;

inline constexpr const char* kAirportNamesFile = "airports_msfs_names.xml";

// Empties the map and fills it from the file. The file is optional: a file
// that does not load or lacks the root "AirportNames" is logged as a warning
// and leaves the map empty. Entries without ICAO code or name are skipped.
void readAirportNamesFile(const std::filesystem::path& path, AirportNameMap& names);

// Reads the input folder's airports_msfs_names.xml into airportNames.
void readAirportNames();

}  // namespace crv
