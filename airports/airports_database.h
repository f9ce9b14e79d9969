#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geodesy.h"

namespace crv {

// One airport of the airports database.
struct AirportRecord {
  std::string code;  // ICAO code as written in the file
  std::string iata;  // may be empty
  double lat = 0.0;  // degrees
  double lon = 0.0;  // degrees
  double alt = 0.0;  // feet
};

// Every airport the program knows, sorted by code in byte order.
struct AirportsDatabase {
  std::vector<AirportRecord> airports;
  // Set once a reading has been completed, whether or not it found airports.
  bool loaded = false;
};

// The process-wide database, read once by readAirports. Worker thread only.
AirportsDatabase& airportsDb();

inline constexpr const char* kAirportsDatabaseFile = "airports_msfs.xml";

// Reads the file into the database unless it has been read before; true when
// the database holds at least one airport. A file that does not load or lacks
// the root element "airports" throws std::runtime_error; single bad airport
// elements are logged and skipped.
bool readAirportsFile(const std::filesystem::path& path, AirportsDatabase& database);

// Reads the input folder's file of that name into the process-wide database,
// once per process. Any failure becomes UserErrorException code 88.
bool readAirports(const std::string& fileName);

// Any thread: the airport of the process-wide database whose code equals the
// text exactly; none before readAirports has completed (the database never
// changes after that).
std::optional<AirportRecord> findReadAirport(std::string_view code);

// For two airports within 5 nm of a position: the distance in nautical miles
// from the position to the airport's nearest stand (100.0 when it has none)
// and that stand's name.
using ClosestStandLookup =
    std::function<double(const std::string& icao, const GeoPoint& position, std::string& standName)>;

// The airport that counts as the one at the position: the nearest within
// 5 nm. When another airport also lies within 5 nm and its nearest stand is
// nearer than the nearest stand of the closest airport, that airport.
std::optional<AirportRecord> findClosestAirport(const AirportsDatabase& database, const GeoPoint& position,
                                                const ClosestStandLookup& nearestStand = {});
// Without a lookup, the stands of the airports' base files decide.
std::optional<AirportRecord> findClosestAirport(const GeoPoint& position,
                                                const ClosestStandLookup& nearestStand = {});

// The code of the airport named by the text: its first four characters,
// upper-cased, form the key. An airport whose code equals the key wins;
// otherwise the first airport whose whole code begins the key ("EHA" for
// "EHAM"). The empty text when there is none.
std::string findAirportByIcao(const AirportsDatabase& database, std::string_view text);
std::string findAirportByIcao(std::string_view text);

// The airport whose code equals the text exactly, or null.
const AirportRecord* findAirportRecord(const AirportsDatabase& database, std::string_view code);

// "EHAM (AMS)", "EHAM" without an IATA code, "? (AMS)" without an ICAO code.
std::string airportDisplayName(const AirportRecord& record);

// The text holds "-<code>-".
bool containsDashedCode(std::string_view text, std::string_view code);

}  // namespace crv
