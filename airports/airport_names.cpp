#include "airports/airport_names.h"

#include <fmt/format.h>
#include <pugixml.hpp>

#include "foundation/log.h"
#include "foundation/paths.h"

namespace crv {

void readAirportNamesFile(const std::filesystem::path& path, AirportNameMap& names) {
  names.clear();
  pugi::xml_document document;
  if (!document.load_file(path.c_str())) {
    gf_logWarning(fmt::format("Failed to load airport names from '{}'", path.string()));
    return;
  }
  const pugi::xml_node root = document.child("AirportNames");
  if (!root) {
    gf_logWarning("No AirportNames node found.");
    return;
  }
  for (const pugi::xml_node& element : root.children("airport")) {
    std::string icao = element.attribute("ICAO").as_string();
    std::string name = element.attribute("name").as_string();
    if (icao.empty() || name.empty()) {
      gf_logLine("Skipped airport entry with missing ICAO or name");
      continue;
    }
    names.emplace(std::move(icao), std::move(name));
  }
  gf_logLine(fmt::format("{} airport names read from '{}'", names.size(), path.string()));
}

AirportNameMap readAirportNames() {
  AirportNameMap names;
  readAirportNamesFile(programPaths().inputFolder / kAirportNamesFile, names);
  return names;
}

}  // namespace crv
