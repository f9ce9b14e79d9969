#include "airports/park_airports.h"

#include <fmt/format.h>

#include <algorithm>
#include <fstream>
#include <unordered_set>

#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/status_line.h"
#include "foundation/text.h"

namespace crv {
namespace {

GeoPoint positionOf(const AirportRecord& airport) { return {airport.lat, airport.lon}; }

bool writeParkAirportLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  const std::filesystem::path& path = programPaths().myParkAirportsFile;
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  if (writeFileAtomically(path, text)) return true;
  gf_logWarning(fmt::format("could not write '{}'", path.string()));
  return false;
}

}  // namespace

std::string parkAirportLine(const ParkAirport& entry) {
  return entry.stand.empty() ? entry.icao : fmt::format("{},{}", entry.icao, entry.stand);
}

bool updateParkAirportStand(const ParkAirport& entry, std::string& line) {
  const std::vector<std::string> fields = splitTrim(line, ',');
  if (fields.empty() || fields.front() != entry.icao) return false;
  line = parkAirportLine(entry);
  gf_logLine(fmt::format("{}:{} updated stand", kMyParkAirportsName, escapedNonUtf8(line)));
  return true;
}

bool ParkAirportList::readMyParkAirports(const AirportsDatabase& database) {
  bool allKnown = true;
  try {
    entries_.clear();
    const std::filesystem::path& path = programPaths().myParkAirportsFile;
    std::vector<std::string> lines;
    if (std::ifstream file(path); file) {
      readLines(file, lines);
    } else {
      gf_logLine(path.string() + " not found");
    }
    std::unordered_set<std::string> taken;
    for (const std::string& line : lines) {
      const std::vector<std::string> fields = splitTrim(line, ',');
      if (fields.empty() || fields.size() > 2) {
        gf_logWarning(fmt::format("{}:{} wrong syntax, skipped", kMyParkAirportsName, escapedNonUtf8(line)));
        continue;
      }
      const std::string& icao = fields.front();
      if (taken.contains(icao)) {
        gf_logWarning(fmt::format("{}:{} double, skipped", kMyParkAirportsName, escapedNonUtf8(icao)));
        continue;
      }
      const AirportRecord* airport = findAirportRecord(database, icao);
      if (airport == nullptr) {
        setStatusLine(fmt::format("airport {} is unknown", escapedNonUtf8(icao)), true);
        allKnown = false;
        continue;
      }
      entries_.push_back({icao, fields.size() == 2 ? fields[1] : std::string(), positionOf(*airport), 0.0});
      taken.insert(icao);
    }
    if (entries_.empty()) {
      scanThirdPartyParkAirports(database);
      return allKnown;
    }
    gf_logLine(fmt::format("{} park airport{} read from '{}'", entries_.size(), pluralSuffixSize(entries_.size()),
                           kMyParkAirportsName));
    if (entries_.size() > kManyParkAirports) {
      setStatusLine(fmt::format("Warning: There are a lot of airports ({}), that will cost CRVN much cpu time and may "
                                "cause stutters",
                                entries_.size()),
                    true);
    }
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("{}: {}", "lf_readMyParkAirports", error.what()));
  }
  return allKnown;
}

void ParkAirportList::scanThirdPartyParkAirports(const AirportsDatabase& database) {
  const std::filesystem::path& folder = programPaths().myThirdpartyFolder;
  if (!std::filesystem::is_directory(folder)) return;
  std::size_t added = 0;
  for (const auto& entry : sortedFolderEntries(folder)) {
    if (!entry.is_regular_file()) continue;
    const std::string icao = entry.path().stem().string();
    const bool listed = std::any_of(entries_.begin(), entries_.end(),
                                    [&icao](const ParkAirport& airport) { return airport.icao == icao; });
    if (listed) continue;
    if (const AirportRecord* airport = findAirportRecord(database, icao)) {
      entries_.push_back({icao, "", positionOf(*airport), 0.0});
      ++added;
    }
  }
  if (added > 0) {
    gf_logLine(fmt::format("{} park airport{} added from my_thirdparty folder(-s)", added, pluralSuffixSize(added)));
  }
}

void ParkAirportList::addParkAirportEntry() {
  if (entries_.empty()) return;
  const ParkAirport& first = entries_.front();
  const std::string line = parkAirportLine(first);
  std::ifstream file(programPaths().myParkAirportsFile);
  if (!file) {
    if (writeParkAirportLines({line})) {
      gf_logLine(fmt::format("{} created with {}", kMyParkAirportsName, escapedNonUtf8(line)));
    }
    return;
  }
  std::vector<std::string> lines;
  readLines(file, lines);
  file.close();
  const auto updated = std::find_if(lines.begin(), lines.end(),
                                    [&first](std::string& existing) { return updateParkAirportStand(first, existing); });
  if (updated == lines.end()) {
    lines.insert(lines.begin(), line);
    gf_logLine(fmt::format("{}:{} new entry", kMyParkAirportsName, escapedNonUtf8(line)));
  }
  writeParkAirportLines(lines);
}

void ParkAirportList::moveParkAirportToFront(std::string_view icao, const GeoPoint& position) {
  const auto found =
      std::find_if(entries_.begin(), entries_.end(), [icao](const ParkAirport& entry) { return entry.icao == icao; });
  if (found != entries_.end()) {
    entries_.splice(entries_.begin(), entries_, found);
    return;
  }
  entries_.push_front({std::string(icao), "", position, 0.0});
  addParkAirportEntry();
}

void ParkAirportList::requestMoveToFront(std::string icao, const GeoPoint& position) {
  std::lock_guard lock(requestsMutex_);
  requests_.push_back({std::move(icao), position});
}

std::size_t ParkAirportList::applyRequests() {
  std::vector<MoveRequest> pending;
  {
    std::lock_guard lock(requestsMutex_);
    pending.swap(requests_);
  }
  for (const MoveRequest& request : pending) moveParkAirportToFront(request.icao, request.position);
  return pending.size();
}

ParkAirportList& parkAirportList() {
  static ParkAirportList list;
  return list;
}

}  // namespace crv
