#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace crv::airportsdb {

// One airport as it goes into airports_msfs.xml and airports_msfs_names.xml.
// The numbers keep the texts of the source list.
struct GeneratedAirport {
  std::string code;  // ICAO code: gps_code, or ident when that is no code
  std::string iata;
  std::string lat;
  std::string lon;
  std::string alt;  // feet; "0" when the source does not know it
  std::string name;
};

struct GenerationCounts {
  std::size_t airports = 0;
  std::size_t withoutCode = 0;       // no usable ICAO code: left out
  std::size_t badPosition = 0;       // latitude or longitude unusable: left out
  std::size_t duplicateCode = 0;     // a second airport with a code: left out
  std::size_t withoutElevation = 0;  // kept with altitude 0
};

// The airports of an OurAirports JSON list (an array of objects with text
// members ident, gps_code, iata_code, name, latitude_deg, longitude_deg,
// elevation_ft, type, id), sorted by code. Of two airports with one code the
// larger, then the one with the lower id, is kept. Throws std::runtime_error
// for a text that is no such list.
std::vector<GeneratedAirport> airportsFromOurAirports(std::string_view json, GenerationCounts& counts);

// The two files' contents, in pugixml's default formatting.
std::string airportsDatabaseXml(const std::vector<GeneratedAirport>& airports);
std::string airportNamesXml(const std::vector<GeneratedAirport>& airports);

// Reads the source list and writes airports_msfs.xml and
// airports_msfs_names.xml into the folder (created when missing). Throws
// std::runtime_error with the cause when anything fails; an existing file is
// then left as it was.
GenerationCounts generateAirportFiles(const std::filesystem::path& sourceJson,
                                      const std::filesystem::path& outputFolder);

}  // namespace crv::airportsdb
