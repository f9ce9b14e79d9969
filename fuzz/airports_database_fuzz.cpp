// airports_msfs.xml: a file that does not load is refused with
// std::runtime_error; every airport read lies on the globe, sorted by code.

#include <algorithm>
#include <cmath>

#include "airports/airports_database.h"
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  const auto path = crv::fuzz::scratchFolder() / crv::kAirportsDatabaseFile;
  crv::fuzz::writeBytes(path, crv::fuzz::inputText(data, size));
  crv::AirportsDatabase database;
  try {
    crv::readAirportsFile(path, database);
  } catch (const std::runtime_error&) {
    return 0;
  }
  for (const crv::AirportRecord& airport : database.airports) {
    require(std::fabs(airport.lat) <= 90.0 && std::fabs(airport.lon) <= 180.0 && std::isfinite(airport.alt),
            "every airport on the globe");
  }
  require(std::is_sorted(database.airports.begin(), database.airports.end(),
                         [](const auto& a, const auto& b) { return a.code < b.code; }),
          "airports sorted by code");
  for (const crv::AirportRecord& airport : database.airports) {
    crv::findClosestAirport(database, {airport.lat, airport.lon});
    crv::findAirportByIcao(database, airport.code);
    require(crv::findAirportRecord(database, airport.code) != nullptr, "every airport is found by its code");
  }
  return 0;
}
