#include "airports/apf_reader.h"

#include <fmt/format.h>

#include <cmath>
#include <pugixml.hpp>
#include <unordered_map>
#include <unordered_set>

#include "airports/airport_downloads.h"
#include "airports/airport_locations.h"
#include "airports/airport_overrides.h"
#include "airports/apf_log_text.h"
#include "airports/apf_parameters.h"
#include "airports/apf_stand_parser.h"
#include "airports/park_airport_panel.h"
#include "airports/park_airport_state.h"
#include "airports/placeholder_usage.h"
#include "airports/quality_factors.h"
#include "airports/stand_names.h"
#include "foundation/errors.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/meta_info.h"
#include "foundation/paths.h"
#include "foundation/setting_controls.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "platform/window/control_model.h"

namespace crv {
namespace {

constexpr int kAltitudeMissingCode = 65;
constexpr int kRepeatedStandCode = 94;
constexpr std::size_t kExpectedStandNames = 512;

// Reads every parkpos of the document's first parkpositions element with
// fromFile 1; a repeated name throws UserErrorException 94.
void readStands(const pugi::xml_document& document, StandTable& stands, ApfParseWarnings& warnings) {
  std::unordered_set<std::string> names;
  names.reserve(kExpectedStandNames);
  for (pugi::xml_node parkpos : document.child("parkpositions").children("parkpos")) {
    std::string name = parkpos.attribute("id").value();
    if (!names.insert(name).second) {
      throw UserErrorException(kRepeatedStandCode,
                               fmt::format("Parking position {} appears more than once?", apfLogText(name)));
    }
    parseParkPos(parkpos, name, 1, stands, warnings);
  }
}

// Renames a refused learned file aside; the path it now has, or empty.
std::filesystem::path setAside(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path aside = asideCopyPath(path);
  std::filesystem::rename(path, aside, error);
  if (error) {
    gf_logWarning(fmt::format("could not keep '{}' aside: {}", path.string(), error.message()));
    return {};
  }
  gf_logIndented(fmt::format("kept aside as '{}'", aside.string()));
  return aside;
}

void logForeignMeta(const std::filesystem::path& path, const pugi::xml_document& document) {
  readMetaInfo(document, metaMsfs);
  const std::string simulator = metaMsfs.value();
  const std::string ours = simFolderName() == kSimFolderMsfs2020 ? "2020" : "2024";
  if (!simulator.empty() && simulator != ours) {
    gf_logLine(fmt::format("'{}' was written by version {} for MSFS {}; read for MSFS {}", path.string(),
                           apfLogText(metaVersion.value()), apfLogText(simulator), ours));
  }
}

void mergeLearnedStands(const pugi::xml_document& document, const std::filesystem::path& path, StandTable& stands,
                        ApfParseWarnings& warnings) {
  // The first stand of each name, as a search in table order finds it.
  std::unordered_map<std::string, std::size_t> standByName;
  standByName.reserve(stands.size());
  for (std::size_t index = 0; index < stands.size(); ++index) standByName.emplace(stands[index].name, index);
  for (pugi::xml_node parkpos : document.child("parkpositions").children("parkpos")) {
    const std::string name = parkpos.attribute("id").value();
    const auto known = standByName.find(name);
    if (parkpos.attribute("manual").as_bool(false)) {
      if (known != standByName.end()) {
        gf_logWarning(fmt::format("manually created standid {} already exists in {}", apfLogText(name), path.string()));
        continue;
      }
      const double latitude = parkpos.attribute("latitude").as_double(0.0);
      const double longitude = parkpos.attribute("longitude").as_double(0.0);
      const double radius = parkpos.attribute("radius").as_double(0.0);
      constexpr double kNoPosition = 0.0001;
      if ((std::abs(latitude) > kNoPosition || std::abs(longitude) > kNoPosition) && radius != 0.0 &&
          parseParkPos(parkpos, name, 0, stands, warnings)) {
        stands.back().manual = true;
        standByName.emplace(name, stands.size() - 1);
      } else {
        gf_logWarning(
            fmt::format("manually created standid {} misses correct attributes in {}", apfLogText(name), path.string()));
      }
      continue;
    }
    const bool applied = known != standByName.end() && parseLearnedStand(parkpos, stands[known->second], warnings);
    if (!applied) gf_logLine(fmt::format("learned stand {} in {} not found?", apfLogText(name), path.string()));
  }
}

void showParkingPercentageWithoutLearnedFile() {
  par_parking_percentage.setValue(kDefaultParkingPercentage);
  platform::mainWindowControls().setEnabled(par_parking_percentage.controlId(), false);
  setControlInt(par_parking_percentage);
  gf_logIndented(fmt::format("{:24}: {}", par_parking_percentage.name(), kDefaultParkingPercentage));
}

std::string readBaseFile(const std::string& path, std::string_view parkIcao, ParkAirportHeader& header,
                         QualityFactors& quality, StandTable& stands) {
  if (path.empty()) return "gf_readApf: xml is empty";
  if (parkIcao.empty()) return "gf_readApf: no park airport set";
  std::filesystem::path fileRead = path;
  if (!path.starts_with("airports")) {
    fileRead = parkAirportCopyPath();
    std::string failure = downloadAirportFile(path, fileRead);
    if (!failure.empty()) return failure;
  }
  setHandmadeAirport(false);
  pugi::xml_document document;
  if (const std::optional<std::string> failure = loadApfDocument(document, fileRead)) {
    gf_logWarning(fmt::format("{}: {}", fileRead.string(), *failure));
    return fmt::format("{}: could not load file: {}", path, fileRead.string());
  }
  if (!metaBlockAccepted(document)) return fmt::format("{}: refused to load (copyright)", path);
  header.rtTrafficWeek = getApfNumber(document, "RT_traffic_week").value_or(0);
  header.publisher = getApfParameter(document, "publisher").value_or("");
  const std::optional<std::int32_t> altitude = getApfNumber(document, "altitude");
  if (!altitude) throw UserErrorException(kAltitudeMissingCode, "Parameter altitude not found");
  header.altitudeFeet = *altitude;
  header.airportName = getApfParameter(document, "airport_name").value_or("");

  ApfParseWarnings warnings(path);
  readStands(document, stands, warnings);
  quality.real = getApfNumber(document, "Qf_real").value_or(-1);
  quality.soft = getApfNumber(document, "Qf_soft").value_or(-1);

  const std::filesystem::path learnedPath = learnedPathFor(parkIcao, header.publisher);
  if (!pathExists(learnedPath)) {
    showParkingPercentageWithoutLearnedFile();
  } else {
    lf_readLearned(learnedPath, header, stands);
    quality = computeQualityFactors(stands);
    if (handmadeAirport()) gf_logLine("A handmade airport file overruled the archived file!");
    if (par_PARK_FAKE.value()) addPlaceholderUsage(parkIcao, stands);
  }
  numberStandsAndFindNeighbours(stands);
  publishStandNames(stands);

  const std::string qualityText = formatQualityFactors(quality);
  updateParkAirportPanel([&](ParkAirportPanel& panel) {
    panel.standCount = static_cast<std::uint32_t>(stands.size());
    panel.publisher = header.publisher;
    panel.handmade = handmadeAirport();
    panel.qualityText = qualityText;
    panel.rtTrafficWeek = header.rtTrafficWeek;
  });
  gf_logLine(fmt::format("Airport file read from '{}' for {}", handmadeAirport() ? learnedPath.string() : path,
                         header.airportName));
  gf_logIndented(fmt::format("{:24}: {}", "publisher", header.publisher));
  gf_logIndented(fmt::format("{:24}: {} ft", "altitude", header.altitudeFeet));
  gf_logIndented(fmt::format("{:24}: {}", "num_parkpos", stands.size()));
  gf_logIndented(fmt::format("{:24}: {}", "quality factor", qualityText));
  gf_logIndented(fmt::format("{:24}: {}", "RT traffic week", header.rtTrafficWeek));

  setParkAirportActive(true);
  platform::mainWindowControls().setEnabled(button_FlushStatic.controlId(), true);
  setAirportParametersChanged(false);
  return stands.empty() ? "no stands found" : "";
}

}  // namespace

std::filesystem::path parkAirportCopyPath() { return programPaths().airportsFolder / "park_airport.xml"; }

std::string gf_readApf(const std::string& path, std::string_view parkIcao, ParkAirportHeader& header,
                       QualityFactors& quality, StandTable& stands) {
  try {
    return readBaseFile(path, parkIcao, header, quality, stands);
  } catch (const UserErrorException&) {
    throw;
  } catch (const std::exception& error) {
    return fmt::format("{}: {}", "gf_readApf", error.what());
  }
}

LearnedFileOutcome lf_readLearned(const std::filesystem::path& learnedPath, const ParkAirportHeader& header,
                                  StandTable& stands) {
  pugi::xml_document document;
  if (const std::optional<std::string> failure = loadApfDocument(document, learnedPath)) {
    gf_logLine(fmt::format("{} found, but could not be loaded, saved as *.0.xml: {}", learnedPath.string(), *failure));
    setAside(learnedPath);
    return LearnedFileOutcome::SetAside;
  }
  gf_logLine(fmt::format("Read from learned airport file: '{}'", learnedPath.string()));
  if (!metaBlockAccepted(document)) {
    gf_logWarning(fmt::format("{} refused: its meta block lacks author, date or version", learnedPath.string()));
    setAside(learnedPath);
    return LearnedFileOutcome::SetAside;
  }
  logForeignMeta(learnedPath, document);
  const std::string learnedName = getApfParameter(document, "airport_name").value_or("");
  if (learnedName != header.airportName) {
    setStatusLine(fmt::format("Warning: learned file airport name: '{}' differs from archived file airport name: '{}'",
                              apfLogText(learnedName), apfLogText(header.airportName)),
                  true);
  }

  // The base file's stands, to fall back on when the learned file fails
  // halfway: a half-merged table must never be saved over it.
  StandTable baseStands = stands;
  LearnedFileOutcome outcome = LearnedFileOutcome::Merged;
  try {
    ApfParseWarnings warnings(learnedPath.string());
    if (getApfBool(document, "handmade").value_or(false)) {
      setHandmadeAirport(true);
      stands.clear();
      readStands(document, stands, warnings);
      outcome = LearnedFileOutcome::Handmade;
    } else {
      setHandmadeAirport(false);
      mergeLearnedStands(document, learnedPath, stands, warnings);
    }
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("{}: {}", "lf_readLearned", error.what()));
    stands = std::move(baseStands);
    setHandmadeAirport(false);
    setAside(learnedPath);
    return LearnedFileOutcome::SetAside;
  }
  // The file's settings count only once its stands are taken: a file set
  // aside changes nothing.
  applyAirportOverrides(document);
  if (outcome == LearnedFileOutcome::Handmade) gf_logIndented(fmt::format("{:24}: {}", "handmade", "true"));
  return outcome;
}

}  // namespace crv
