#pragma once

// What one livery scan found wrong or changed in the installed aircraft.cfg
// files, collected while the per-file tasks run and written out after the
// last of them has ended:
//
//   output/errors/InvalidAirlineCodes.txt      invalid airline codes
//   output/errors/InvalidAircraftCodes.txt     invalid model codes
//   output/errors/Fixes.txt                    model codes mended by the database
//   output/errors/InvalidAircraftCfgFiles.txt  files that cannot be used at all
//   output/errors/IncompleFltsimSections.txt   sections that give no livery
//   output/info/AircraftCfgWithNoFltsimSection.txt
//   output/info/AirlineModelConversions.txt    liveries corrected from the database
//
// Threads: the tasks append from any thread; each list has its own mutex and
// an append holds only that one. Reading, writing and emptying happen on the
// session worker after every task has ended.

#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "aircraftdata/livery_data.h"

namespace crv {

// One report list with its own lock.
class ReportList {
 public:
  void add(std::string line);
  // The lines in the order they were added (worker, after the tasks).
  std::vector<std::string> lines() const;
  std::size_t size() const;
  bool empty() const { return size() == 0; }
  void clear();

 private:
  mutable std::mutex mutex_;  // guards lines_
  std::vector<std::string> lines_;
};

struct ScanReports {
  ReportList invalidAirlines;      // InvalidAirlineCodes.txt
  ReportList invalidModels;        // InvalidAircraftCodes.txt
  ReportList fixes;                // Fixes.txt
  ReportList invalidFiles;         // InvalidAircraftCfgFiles.txt
  ReportList incompleteSections;   // IncompleFltsimSections.txt
  ReportList noFltsimSection;      // AircraftCfgWithNoFltsimSection.txt
  std::vector<std::string> dbaseUpdates;  // AirlineModelConversions.txt; worker only
};

// The lists of the running scan.
ScanReports& scanReports();

void addFixLine(std::string line);
void addInvalidAircraftCfgLine(std::string line);
void addIncompleteSectionLine(std::string line);

// The titles taken in this scan: the first section that brings a title gets
// the livery.
class TitleRegistry {
 public:
  // True when the title was new and is now taken.
  bool insert(const std::string& title);
  std::size_t size() const;
  void clear();

 private:
  mutable std::mutex mutex_;  // guards titles_
  std::unordered_set<std::string> titles_;
};

TitleRegistry& scannedTitles();

// The "don't use" titles of the registration-code data as a set the tasks
// search without a lock: rebuilt from dontUseTitles() on the worker before
// the tasks start, only read while they run.
void rebuildDontUseLookup();
bool isDontUseTitle(std::string_view title);

// --- The worker's steps around a scan, in the order the scan runs them ---

// Removes the report files of the previous scan and the errors folder. The
// previous LiveriesScanned.xml stays: the new one replaces it whole, so a
// scan that fails or is stopped keeps the liveries found before. A failure
// is logged ("problems with removing previous files: ...") and the rest is
// left as it is.
void removePreviousScanOutputs();

// Reads the "don't use" titles of the AIG-regcodes file (decrypted for the
// moment of reading) and of the user's regcode folder. Failures are logged
// as warnings; the scan goes on.
void writeRegcodeErrorFiles();

// Corrects liveries whose registration the aircraft database knows (cargo
// flag, airline or operator, type), recording one line per change.
void applyDbaseRegistrations(LiveryList& liveries);

// Logs the summary and writes each list that holds lines into its file.
void writeLiveryScanReport();
void writeFixesFile();

// Empties every list, the taken titles and the "don't use" titles.
void clearScanReportLists();

}  // namespace crv
