#include "simlink/flight_plans.h"

#include <fstream>
#include <system_error>

#include <fmt/format.h>

#include "foundation/line_end.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "platform/os/ansi_code_page.h"

namespace crv {

namespace {

std::string escapedXml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&apos;"; break;
      default: escaped += c; break;
    }
  }
  return escaped;
}

}  // namespace

std::filesystem::path flightPlanFolder() { return dataFolderPath() / "orig_dest"; }

bool createFlightPlanFolder() {
  const std::filesystem::path dataFolder = dataFolderPath();
  const std::filesystem::path folder = flightPlanFolder();
  std::error_code ignored;
  if (!std::filesystem::exists(dataFolder)) {
    std::filesystem::create_directories(dataFolder, ignored);
  }
  if (!std::filesystem::exists(folder)) {
    std::filesystem::create_directory(folder, ignored);
  }
  return std::filesystem::exists(folder);
}

bool gf_removeFlightPlanFolder() {
  const std::filesystem::path folder = flightPlanFolder();
  std::error_code error;
  std::filesystem::remove_all(folder, error);
  if (error) {
    gf_logLine(fmt::format("gf_removeFlightPlanFolder: {}", error.message()));
  }
  std::error_code existsError;
  return !std::filesystem::exists(folder, existsError);
}

std::filesystem::path flightPlanFileName(std::uint32_t objectId) { return fmt::format("{}.pln", objectId); }

std::string_view flightPlanType(SizeCategory category) {
  switch (category) {
    case SizeCategory::Buzjets:
    case SizeCategory::Large:
    case SizeCategory::Heavy:
      return "IFR";
    case SizeCategory::Light:
    case SizeCategory::HighPerf:
    case SizeCategory::Rotorcraft:
      break;
  }
  return "VFR";
}

// Written in place, not by writeFileAtomically: a flight plan holds no user
// data, is made anew for every create and is read by the simulator at once;
// a cut file only costs that aircraft its plan.
bool writeFlightPlanFile(const std::filesystem::path& path, const FlightPlanAircraft& aircraft) {
  std::ofstream file(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!file) {
    return false;
  }
  const std::string_view end = textLineEnd();
  file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" << end
       << "<SimBase.Document Type=\"AceXML\" version=\"4,3\">" << end
       << "<FlightPlan.FlightPlan>" << end
       << "<FPType>" << flightPlanType(aircraft.category) << "</FPType>" << end
       << "<DepartureID>" << escapedXml(aircraft.departure) << "</DepartureID>" << end
       << "<DestinationID>" << escapedXml(aircraft.destination) << "</DestinationID>" << end
       << "</FlightPlan.FlightPlan>" << end
       << "</SimBase.Document>" << end;
  file.close();
  return !file.fail();
}

std::optional<bool> createFlightPlan(const FlightPlanAircraft& aircraft, SimConnection& connection) {
  if (aircraft.departure.empty() || aircraft.destination.empty()) {
    return std::nullopt;
  }
  const std::filesystem::path path = flightPlanFolder() / flightPlanFileName(aircraft.objectId);
  bool success = writeFlightPlanFile(path, aircraft);
  if (success && isMsfs2020()) {
    // MSFS 2020 reads the path in the system's ANSI code page, not UTF-8.
    const std::optional<std::string> pathText = platform::ansiTextOfPath(path);
    success = pathText && connection.setFlightPlan(aircraft.objectId, *pathText);
    if (!success) {
      // A plan the simulator refused is the aircraft's no longer: without
      // the written flag nothing would ever delete its file.
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
    }
  }
  if (!success) {
    gf_logWarning(fmt::format("{} creating a flight plan failed", aircraft.recordLine));
  }
  return success;
}

}  // namespace crv
