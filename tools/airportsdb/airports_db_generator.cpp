#include "tools/airportsdb/airports_db_generator.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "foundation/files.h"
#include "foundation/text.h"

namespace crv::airportsdb {

namespace {

using nlohmann::json;

constexpr std::size_t kShortestCode = 3;
constexpr std::size_t kLongestCode = 4;

std::string textMember(const json& airport, const char* member, std::size_t index) {
  const auto found = airport.find(member);
  if (found == airport.end() || found->is_null()) {
    return {};
  }
  if (!found->is_string()) {
    throw std::runtime_error(fmt::format("airport {}: member '{}' is not a text", index, member));
  }
  return trim(found->get<std::string>());
}

bool isIcaoCode(const std::string& code) {
  return code.size() >= kShortestCode && code.size() <= kLongestCode &&
         std::all_of(code.begin(), code.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

// The whole text is a finite decimal number within the limit.
bool isNumberWithin(const std::string& text, double limit) {
  if (text.empty()) {
    return false;
  }
  std::size_t used = 0;
  try {
    const double value = std::stod(text, &used);
    return used == text.size() && std::isfinite(value) && std::fabs(value) <= limit;
  } catch (const std::exception&) {
    return false;
  }
}

int sizeRank(const std::string& type) { return type == "large_airport" ? 0 : 1; }

long long numericId(const std::string& id) {
  try {
    return std::stoll(id);
  } catch (const std::exception&) {
    return 0;
  }
}

struct Candidate {
  GeneratedAirport airport;
  int sizeRank = 1;
  long long id = 0;
};

std::string sourceText(const std::filesystem::path& path) {
  std::string text;
  if (!readFileBytes(path, text)) {
    throw std::runtime_error(fmt::format("cannot read '{}'", path.string()));
  }
  return text;
}

std::string documentText(const pugi::xml_document& document) {
  std::ostringstream text;
  document.save(text);
  return text.str();
}

}  // namespace

std::vector<GeneratedAirport> airportsFromOurAirports(std::string_view text, GenerationCounts& counts) {
  json list;
  try {
    list = json::parse(text);
  } catch (const json::parse_error& error) {
    throw std::runtime_error(fmt::format("the airport list is no valid JSON: {}", error.what()));
  }
  if (!list.is_array()) {
    throw std::runtime_error("the airport list is no JSON array");
  }

  std::map<std::string, Candidate> byCode;
  for (std::size_t index = 0; index < list.size(); ++index) {
    const json& element = list[index];
    if (!element.is_object()) {
      throw std::runtime_error(fmt::format("airport {} is no JSON object", index));
    }
    Candidate candidate;
    GeneratedAirport& airport = candidate.airport;
    airport.code = textMember(element, "gps_code", index);
    if (!isIcaoCode(airport.code)) {
      airport.code = textMember(element, "ident", index);
    }
    if (!isIcaoCode(airport.code)) {
      ++counts.withoutCode;
      continue;
    }
    airport.lat = textMember(element, "latitude_deg", index);
    airport.lon = textMember(element, "longitude_deg", index);
    if (!isNumberWithin(airport.lat, 90.0) || !isNumberWithin(airport.lon, 180.0)) {
      ++counts.badPosition;
      continue;
    }
    airport.alt = textMember(element, "elevation_ft", index);
    if (!isNumberWithin(airport.alt, 100000.0)) {
      ++counts.withoutElevation;
      airport.alt = "0";
    }
    airport.iata = textMember(element, "iata_code", index);
    airport.name = textMember(element, "name", index);
    candidate.sizeRank = sizeRank(textMember(element, "type", index));
    candidate.id = numericId(textMember(element, "id", index));

    auto [known, inserted] = byCode.try_emplace(airport.code, candidate);
    if (!inserted) {
      ++counts.duplicateCode;
      const Candidate& kept = known->second;
      if (std::tie(candidate.sizeRank, candidate.id) < std::tie(kept.sizeRank, kept.id)) {
        known->second = std::move(candidate);
      }
    }
  }

  std::vector<GeneratedAirport> airports;
  airports.reserve(byCode.size());
  for (auto& [code, candidate] : byCode) {
    airports.push_back(std::move(candidate.airport));
  }
  counts.airports = airports.size();
  return airports;
}

std::string airportsDatabaseXml(const std::vector<GeneratedAirport>& airports) {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("airports");
  for (const GeneratedAirport& airport : airports) {
    pugi::xml_node element = root.append_child("airport");
    element.append_attribute("code") = airport.code.c_str();
    if (!airport.iata.empty()) {
      element.append_attribute("iata") = airport.iata.c_str();
    }
    element.append_attribute("lat") = airport.lat.c_str();
    element.append_attribute("lon") = airport.lon.c_str();
    element.append_attribute("alt") = airport.alt.c_str();
  }
  return documentText(document);
}

std::string airportNamesXml(const std::vector<GeneratedAirport>& airports) {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("AirportNames");
  for (const GeneratedAirport& airport : airports) {
    if (airport.name.empty()) {
      continue;
    }
    pugi::xml_node element = root.append_child("airport");
    element.append_attribute("ICAO") = airport.code.c_str();
    element.append_attribute("name") = airport.name.c_str();
  }
  return documentText(document);
}

GenerationCounts generateAirportFiles(const std::filesystem::path& sourceJson,
                                      const std::filesystem::path& outputFolder) {
  GenerationCounts counts;
  const std::vector<GeneratedAirport> airports = airportsFromOurAirports(sourceText(sourceJson), counts);
  if (airports.empty()) {
    throw std::runtime_error(fmt::format("'{}' holds no airport with an ICAO code", sourceJson.string()));
  }
  std::filesystem::create_directories(outputFolder);
  const std::filesystem::path databasePath = outputFolder / "airports_msfs.xml";
  const std::filesystem::path namesPath = outputFolder / "airports_msfs_names.xml";
  if (!writeFileAtomically(databasePath, airportsDatabaseXml(airports))) {
    throw std::runtime_error(fmt::format("cannot write '{}'", databasePath.string()));
  }
  if (!writeFileAtomically(namesPath, airportNamesXml(airports))) {
    throw std::runtime_error(fmt::format("cannot write '{}'", namesPath.string()));
  }
  return counts;
}

}  // namespace crv::airportsdb
