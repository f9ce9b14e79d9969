// aircraft.cfg: any bytes decode to lines of well-formed UTF-8 without line
// ends, or are refused with a reason, both from memory and from a file read
// in its detected charset; every livery read from them has an
// airline, the file's type and a title no other livery of the file has.

#include <set>
#include <string>
#include <vector>

#include "aircraftdata/aircraft_database.h"
#include "fuzz/support/fuzz_support.h"
#include "liveryscan/cfg_text.h"
#include "liveryscan/fltsim_sections.h"
#include "liveryscan/scan_reports.h"

namespace {

// A few known types, airlines and registrations, so that sections get past
// the database checks.
bool installSmallDatabase() {
  crv::AircraftDatabase database;
  for (const char* type : {"A320", "B738", "B744"}) database.typeSets.all.insert(type);
  database.categoryByType["B744"] = crv::SizeCategory::Heavy;
  database.fixMap["B73H"] = "B738";
  for (const char* airline : {"DLH", "BAW", "ZZZ"}) database.icaoAirlines.insert(airline);
  database.knownRegistrations["D-AIZA"] = crv::RegistrationData{"DLH", "A320", "", false};
  database.shortRegistrations.push_back("PH-AB");
  database.knownRegistrations["PH-AB"] = crv::RegistrationData{"KLM", "B738", "", false};
  crv::installAircraftDatabase(std::move(database));
  return true;
}

void checkLiveries(const crv::LiveryList& liveries, const std::string& model) {
  std::set<std::string> titles;
  for (const crv::LiveryData& livery : liveries) {
    crv::fuzz::require(!livery.airl.empty(), "every livery has an airline");
    crv::fuzz::require(livery.type == model, "every livery has the file's type");
    crv::fuzz::require(!livery.title.empty() && crv::isValidUtf8(livery.title), "every title is UTF-8 text");
    crv::fuzz::require(titles.insert(livery.title).second, "no title is taken twice");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool installed = installSmallDatabase();
  (void)installed;
  crv::clearScanReportLists();
  const std::string_view bytes = crv::fuzz::inputText(data, size);

  std::vector<std::string> lines;
  std::string problem;
  if (crv::decodeCfgText(bytes, lines, problem)) {
    for (const std::string& line : lines) {
      crv::fuzz::require(crv::isValidUtf8(line), "every line is UTF-8");
      crv::fuzz::require(line.find_first_of("\r\n") == std::string::npos, "no line keeps a line end");
    }
    checkLiveries(crv::processFltSimSections(1, lines, "A320", "Community/ai/aircraft.cfg", "Community/ai"), "A320");
  } else {
    crv::fuzz::require(!problem.empty(), "a refused file has a reason");
  }

  crv::clearScanReportLists();
  const auto path = crv::fuzz::scratchFolder() / "aircraft.cfg";
  crv::fuzz::writeBytes(path, bytes);
  std::vector<std::string> fileLines;
  if (crv::readAircraftCfgLines(path, fileLines) == crv::CfgFileRead::Read) {
    for (const std::string& line : fileLines) {
      crv::fuzz::require(crv::isValidUtf8(line), "every line read from the file is UTF-8");
      crv::fuzz::require(line.find('\n') == std::string::npos, "no line read from the file keeps its line feed");
    }
  }
  crv::clearScanReportLists();
  const crv::LiveryList liveries = crv::lf_searchLiveriesinFile(1, path);
  if (!liveries.empty()) checkLiveries(liveries, liveries.front().type);
  crv::clearScanReportLists();
  return 0;
}
