#include "liveryscan/scan_reports.h"

#include <algorithm>
#include <filesystem>
#include <list>

#include <fmt/format.h>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/regcodes.h"
#include "aircraftdata/type_lookups.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace crv {

void ReportList::add(std::string line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(line));
}

std::vector<std::string> ReportList::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::size_t ReportList::size() const {
  std::lock_guard lock(mutex_);
  return lines_.size();
}

void ReportList::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

ScanReports& scanReports() {
  static ScanReports reports;
  return reports;
}

void addFixLine(std::string line) { scanReports().fixes.add(std::move(line)); }
void addInvalidAircraftCfgLine(std::string line) { scanReports().invalidFiles.add(std::move(line)); }
void addIncompleteSectionLine(std::string line) { scanReports().incompleteSections.add(std::move(line)); }

bool TitleRegistry::insert(const std::string& title) {
  std::lock_guard lock(mutex_);
  return titles_.insert(title).second;
}

std::size_t TitleRegistry::size() const {
  std::lock_guard lock(mutex_);
  return titles_.size();
}

void TitleRegistry::clear() {
  std::lock_guard lock(mutex_);
  titles_.clear();
}

TitleRegistry& scannedTitles() {
  static TitleRegistry titles;
  return titles;
}

namespace {

std::unordered_set<std::string>& dontUseLookup() {
  static std::unordered_set<std::string> titles;
  return titles;
}

}  // namespace

void rebuildDontUseLookup() {
  auto& lookup = dontUseLookup();
  lookup.clear();
  lookup.insert(dontUseTitles().begin(), dontUseTitles().end());
}

bool isDontUseTitle(std::string_view title) {
  const auto& lookup = dontUseLookup();
  return !lookup.empty() && lookup.count(std::string(title)) > 0;
}

void removePreviousScanOutputs() {
  const ProgramPaths& paths = programPaths();
  const fs::path* const outputs[] = {
      &paths.aircraftCfgWithNoFltsimSection, &paths.inlineRegcodesReport,     &paths.invalidAirlineCodes,
      &paths.invalidAircraftCodes,           &paths.fixesReport,              &paths.invalidAircraftCfgFiles,
      &paths.incompleteFltsimSections,       &paths.errorsFolder,
  };
  try {
    for (const fs::path* output : outputs) fs::remove(*output);
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("problems with removing previous files: {}", error.what()));
  }
}

void writeRegcodeErrorFiles() {
  try {
    const ProgramPaths& paths = programPaths();
    readDontUseTitles();
    if (folderEntryCount(paths.myRegcodesFolder) > 0) readDontUseFolderTitles();
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("exception: {}", error.what()));
  }
}

void applyDbaseRegistrations(LiveryList& liveries) {
  auto& lines = scanReports().dbaseUpdates;
  for (LiveryData& livery : liveries) {
    if (livery.atcid.empty()) continue;
    const auto known = findRegcode(livery.atcid);
    if (!known) continue;
    if (livery.cargo != known->cargo) {
      lines.push_back(fmt::format("{:80} {} cargo {} => {}", livery.title, livery.atcid, livery.cargo, known->cargo));
      livery.cargo = known->cargo;
    }
    const std::string& airline = known->opr.empty() ? known->airl : known->opr;
    if (livery.airl != airline) {
      lines.push_back(fmt::format("{:80} {} airl {} => {}", livery.title, livery.atcid, livery.airl, airline));
      livery.airl = airline;
    }
    if (livery.type != known->type) {
      lines.push_back(fmt::format("{:80} {} model {} => {}", livery.title, livery.atcid, livery.type, known->type));
      livery.type = known->type;
    }
  }
}

namespace {

// One write for the whole file: reports can hold tens of thousands of lines.
bool writeReportLines(const std::vector<std::string>& lines, const fs::path& file) {
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 1;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return writeTextFile(text, file, false);
}

// Writes the lines (sorted, without repeats when asked) into the file in the
// folder; the folder is made when missing. Logs the summary with the count
// of lines found.
void writeSortedReport(const ReportList& list, const fs::path& file, bool dropRepeats, std::string_view summary,
                       bool withPlural) {
  std::vector<std::string> lines = list.lines();
  const std::size_t found = lines.size();
  std::sort(lines.begin(), lines.end());
  if (dropRepeats) lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  fs::create_directories(file.parent_path());
  if (!writeReportLines(lines, file)) gf_logWarning(fmt::format("could not write {}", file.string()));
  const std::string text =
      withPlural ? fmt::format(fmt::runtime(summary), found, pluralSuffixSize(found), file.string())
                 : fmt::format(fmt::runtime(summary), found, file.string());
  gf_logLine(text);
}

}  // namespace

void writeFixesFile() {
  const fs::path& file = programPaths().fixesReport;
  try {
    fs::create_directories(file.parent_path());
    if (!writeReportLines(scanReports().fixes.lines(), file)) {
      gf_logWarning(fmt::format("could not write {}", file.string()));
    }
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("Error writing file {}: {}", file.string(), error.what()));
  }
}

void writeLiveryScanReport() {
  const ProgramPaths& paths = programPaths();
  ScanReports& reports = scanReports();
  const bool noErrors = reports.invalidAirlines.empty() && reports.invalidModels.empty() && reports.fixes.empty() &&
                        reports.invalidFiles.empty() && reports.incompleteSections.empty();
  gf_logLine(noErrors ? "\nNo errors" : "\nErrors:");
  if (!reports.invalidAirlines.empty()) {
    writeSortedReport(reports.invalidAirlines, paths.invalidAirlineCodes, false, "{} invalid airline code{}, see {}",
                      true);
  }
  if (!reports.invalidModels.empty()) {
    writeSortedReport(reports.invalidModels, paths.invalidAircraftCodes, false, "{} invalid model code{}, see {}",
                      true);
  }
  if (!reports.fixes.empty()) {
    writeFixesFile();
    gf_logLine(fmt::format("{} code fixes, see {}", reports.fixes.size(), paths.fixesReport.string()));
  }
  if (!reports.invalidFiles.empty()) {
    writeSortedReport(reports.invalidFiles, paths.invalidAircraftCfgFiles, false,
                      "{} invalid aircraft.cfg files, see {}", false);
  }
  if (!reports.incompleteSections.empty()) {
    writeSortedReport(reports.incompleteSections, paths.incompleteFltsimSections, true,
                      "{} incomplete [fltsim.x] sections, see {}", false);
  }
  gf_logLine("\nInformation:");
  if (!reports.noFltsimSection.empty()) {
    writeSortedReport(reports.noFltsimSection, paths.aircraftCfgWithNoFltsimSection, false,
                      "{} empty aircraft.cfg files, see {}", false);
  }
  if (!reports.dbaseUpdates.empty()) {
    const fs::path& file = paths.airlineModelConversions;
    fs::create_directories(file.parent_path());
    if (!writeReportLines(reports.dbaseUpdates, file)) gf_logWarning(fmt::format("could not write {}", file.string()));
    gf_logLine(fmt::format("{} liveries updated with real live data from dbase, see {}", reports.dbaseUpdates.size(),
                           file.string()));
  }
}

void clearScanReportLists() {
  ScanReports& reports = scanReports();
  reports.invalidAirlines.clear();
  reports.invalidModels.clear();
  reports.fixes.clear();
  reports.invalidFiles.clear();
  reports.incompleteSections.clear();
  reports.noFltsimSection.clear();
  reports.dbaseUpdates.clear();
  scannedTitles().clear();
  dontUseTitles().clear();
  rebuildDontUseLookup();
}

}  // namespace crv
