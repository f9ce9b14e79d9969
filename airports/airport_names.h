#pragma once

#include <filesystem>
#include <string>
#include <unordered_map>

namespace crv {

using AirportNameMap = std::unordered_map<std::string, std::string>;

inline constexpr const char* kAirportNamesFile = "airports_msfs_names.xml";

// Empties the map and fills it from the file. The file is optional: a file
// that does not load or lacks the root "AirportNames" is logged as a warning
// and leaves the map empty. Entries without ICAO code or name are skipped.
void readAirportNamesFile(const std::filesystem::path& path, AirportNameMap& names);

// ICAO code to airport name from the input folder's airports_msfs_names.xml,
// for the add-on airport scan, which keeps the map while it runs.
AirportNameMap readAirportNames();

}  // namespace crv
