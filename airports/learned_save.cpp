#include "airports/learned_save.h"

#include <fmt/format.h>

#include <algorithm>

#include "airports/airport_locations.h"
#include "airports/apf_writer.h"
#include "airports/park_airport_state.h"
#include "airports/quality_factors.h"
#include "foundation/clock.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/text.h"

namespace crv {
namespace {

void removePlaceholders(ParkingPosition& stand) {
  std::erase_if(stand.usage, [](const UsageEntry& entry) { return entry.placeholder; });
}

bool worthKeeping(const ParkingPosition& stand) {
  return stand.manual || !stand.usage.empty() || stand.radius_change || stand.cargo_change;
}

// hh:mm:ss of the program's present time.
std::string clockOfNow() {
  const std::string text = timeText(currentTime());
  constexpr std::size_t kClockStart = 11;
  constexpr std::size_t kClockLength = 8;
  return text.size() >= kClockStart + kClockLength ? text.substr(kClockStart, kClockLength) : text;
}

}  // namespace

ApfRecord learnedFileRecord(std::string_view icao, const ParkAirportHeader& header, StandTable& stands,
                            bool handmade) {
  ApfRecord record;
  record.icao = icao;
  record.airportName = header.airportName;
  record.publisher = header.publisher;
  record.altitudeFeet = header.altitudeFeet;
  record.handmade = handmade;
  if (handmade) {
    record.stands = stands;
    std::for_each(record.stands.begin(), record.stands.end(), removePlaceholders);
    record.quality = computeQualityFactors(record.stands);
    return record;
  }
  for (ParkingPosition& stand : stands) {
    std::erase_if(stand.usage, [](const UsageEntry& entry) { return entry.fromFile == 1 || entry.placeholder; });
    if (worthKeeping(stand)) record.stands.push_back(stand);
  }
  return record;
}

bool saveAirportFile(std::string_view icao, const ParkAirportHeader& header, StandTable& stands) {
  const bool handmade = handmadeAirport();
  std::filesystem::path path = learnedPathFor(icao, header.publisher);
  bool saved = false;
  try {
    const ApfRecord record = learnedFileRecord(icao, header, stands, handmade);
    std::filesystem::create_directories(path.parent_path());
    setSimFolderName(isMsfs2020() ? std::string(kSimFolderMsfs2020) : std::string(kSimFolderMsfs2024));
    saved = writeAirportFile(record, path, ApfWriteMode::Learned);
  } catch (const std::exception& error) {
    setStatusLine(fmt::format("saveAirportFile: {}", error.what()), true);
  }
  const std::uint32_t updates = standUpdates();
  if (saved) {
    setStatusLine(fmt::format("{}{} '{}' saved with {} update{} {}", clockOfNow(), handmade ? " handmade" : "",
                              path.string(), updates, pluralSuffix(updates),
                              airportParametersChanged() ? "and one or more parameter changes" : ""),
                  true);
  } else {
    setStatusLine(fmt::format("{} saving '{}' did not succeed", clockOfNow(), path.string()), true);
  }
  resetStandUpdates();
  setAirportParametersChanged(false);
  return saved;
}

}  // namespace crv
