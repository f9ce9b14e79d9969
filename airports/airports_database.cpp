#include "airports/airports_database.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/closest_stand.h"
#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/text.h"

namespace crv {

namespace {

constexpr std::size_t kReservedAirports = 44000;
constexpr double kAirportRangeNm = 5.0;
constexpr double kNoAirportDistanceNm = 100.0;
constexpr std::size_t kIcaoKeyLength = 4;

// std::stod with the error texts that the log lines of this file carry.
double parseDouble(const std::string& text) {
  try {
    return std::stod(text);
  } catch (const std::invalid_argument&) {
    throw std::invalid_argument("invalid stod argument");
  } catch (const std::out_of_range&) {
    throw std::out_of_range("stod argument out of range");
  }
}

void parseAirportElement(const pugi::xml_node& element, const std::string& code, AirportsDatabase& database) {
  const pugi::xml_attribute latAttribute = element.attribute("lat");
  const pugi::xml_attribute lonAttribute = element.attribute("lon");
  const pugi::xml_attribute altAttribute = element.attribute("alt");
  if (!latAttribute || !lonAttribute || !altAttribute) {
    gf_logLine(fmt::format("Missing lat/lon/alt for airport '{}'", code));
    return;
  }
  AirportRecord record;
  record.code = code;
  record.iata = element.attribute("iata").as_string();
  try {
    record.alt = parseDouble(altAttribute.as_string());
    record.lat = parseDouble(latAttribute.as_string());
    record.lon = parseDouble(lonAttribute.as_string());
    // A position off the globe would make every distance to it meaningless.
    if (!std::isfinite(record.alt) || !(std::fabs(record.lat) <= 90.0) || !(std::fabs(record.lon) <= 180.0)) {
      throw std::out_of_range("coordinates out of range");
    }
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("Error parsing coordinates for airport '{}': {}", code, error.what()));
    return;
  }
  database.airports.push_back(std::move(record));
}

GeoPoint positionOf(const AirportRecord& airport) { return {airport.lat, airport.lon}; }

}  // namespace

namespace {

// Raised once the process-wide database is complete; from then on it is only read.
std::atomic<bool> processDatabaseRead{false};

}  // namespace

AirportsDatabase& airportsDb() {
  static AirportsDatabase database;
  return database;
}

bool readAirportsFile(const std::filesystem::path& path, AirportsDatabase& database) {
  if (database.loaded) {
    return !database.airports.empty();
  }
  database.airports.clear();
  database.airports.reserve(kReservedAirports);

  pugi::xml_document document;
  const pugi::xml_parse_result result = document.load_file(path.c_str());
  if (!result) {
    throw std::runtime_error(path.string() + " not loaded: " + result.description());
  }
  const pugi::xml_node root = document.child("airports");
  if (!root) {
    throw std::runtime_error("Missing <airports> root in: " + path.string());
  }
  for (const pugi::xml_node& element : root.children("airport")) {
    parseAirportElement(element, element.attribute("code").as_string(), database);
  }

  std::stable_sort(database.airports.begin(), database.airports.end(),
                   [](const AirportRecord& a, const AirportRecord& b) { return a.code < b.code; });
  gf_logLine(fmt::format("{} airports read from '{}'", database.airports.size(), path.string()));
  database.airports.shrink_to_fit();
  database.loaded = true;
  return !database.airports.empty();
}

bool readAirports(const std::string& fileName) {
  try {
    const bool found = readAirportsFile(programPaths().inputFolder / fileName, airportsDb());
    processDatabaseRead.store(true, std::memory_order_release);
    return found;
  } catch (const std::exception& error) {
    throw UserErrorException(kAirportsDatabaseError, error.what());
  }
}

std::optional<AirportRecord> findClosestAirport(const AirportsDatabase& database, const GeoPoint& position,
                                                const ClosestStandLookup& nearestStand) {
  double bestNm = kNoAirportDistanceNm;
  const AirportRecord* closest = nullptr;
  const AirportRecord* neighbour = nullptr;
  for (const AirportRecord& airport : database.airports) {
    const double distanceNm = gf_distanceNm(position, positionOf(airport));
    if (distanceNm <= kAirportRangeNm && distanceNm < bestNm) {
      bestNm = distanceNm;
      if (closest != nullptr) {
        neighbour = closest;
      }
      closest = &airport;
    }
  }
  if (closest == nullptr) {
    return std::nullopt;
  }
  if (neighbour == nullptr) {
    return *closest;
  }
  gf_logLine(fmt::format("Airport {} is closest, neighbour is {}", closest->code, neighbour->code));
  if (!nearestStand) {
    return *closest;
  }
  std::string closestStand;
  std::string neighbourStand;
  const double closestStandNm = nearestStand(closest->code, position, closestStand);
  const double neighbourStandNm = nearestStand(neighbour->code, position, neighbourStand);
  if (neighbourStandNm < closestStandNm) {
    gf_logLine(fmt::format("Airport {} is closest, but stand {} at neighbouring airport {} is closer at {:.0F} meters ...",
                           closest->code, neighbourStand, neighbour->code, neighbourStandNm * kMetersPerNm));
    return *neighbour;
  }
  return *closest;
}

std::optional<AirportRecord> findClosestAirport(const GeoPoint& position, const ClosestStandLookup& nearestStand) {
  if (!nearestStand) return findClosestAirport(airportsDb(), position, gf_readDestApfForClosestStand);
  return findClosestAirport(airportsDb(), position, nearestStand);
}

const AirportRecord* findAirportRecord(const AirportsDatabase& database, std::string_view code) {
  const auto& airports = database.airports;
  auto found = std::lower_bound(airports.begin(), airports.end(), code,
                                [](const AirportRecord& airport, std::string_view key) { return airport.code < key; });
  if (found == airports.end() || found->code != code) {
    return nullptr;
  }
  return &*found;
}

std::string findAirportByIcao(const AirportsDatabase& database, std::string_view text) {
  const std::string key = toUpper(text.substr(0, kIcaoKeyLength));
  if (key.empty()) {
    return {};
  }
  if (const AirportRecord* exact = findAirportRecord(database, key)) {
    return exact->code;
  }
  for (const AirportRecord& airport : database.airports) {
    if (!airport.code.empty() && key.starts_with(airport.code)) {
      return airport.code;
    }
  }
  return {};
}

std::string findAirportByIcao(std::string_view text) { return findAirportByIcao(airportsDb(), text); }

std::optional<AirportRecord> findReadAirport(std::string_view code) {
  if (!processDatabaseRead.load(std::memory_order_acquire)) return std::nullopt;
  const AirportRecord* record = findAirportRecord(airportsDb(), code);
  if (record == nullptr) return std::nullopt;
  return *record;
}

std::string airportDisplayName(const AirportRecord& record) {
  std::string name = record.code.empty() ? std::string("?") : record.code;
  if (!record.iata.empty()) {
    name += fmt::format(" ({})", record.iata);
  }
  return name;
}

bool containsDashedCode(std::string_view text, std::string_view code) {
  return text.find(fmt::format("-{}-", code)) != std::string_view::npos;
}

}  // namespace crv
