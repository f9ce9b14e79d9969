#pragma once

// The add-on airport scan: walks the simulator's package folders for BGL
// scenery files, reads each on a scan-worker thread, turns the airports it
// finds into airport files or archive links, and writes AirportsScanLog.txt.
// It runs on the session worker while a session is prepared, when
// SCAN_AIRPORTS asks for it.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "airports/airport_names.h"

namespace crv {

struct AirportScanOptions {
  // In order: the Official folder (MSFS 2020 only) and the Community folder
  // of the chosen simulator; empty ones are passed over.
  std::vector<std::filesystem::path> folders;
  // Whether a generated thirdparty airport is good for offline learning;
  // defaults to asking the download site.
  std::function<bool(const std::string&)> isSuitableForOfflineLearning;
};

// The entry. A scan cut short by a stop keeps SCAN_AIRPORTS set, so that
// the next session scans again.
void scanAddonAirports(const AirportScanOptions& options);

// The scan proper, with the ICAO-to-name map of the airports database; the
// airport-found flag at its end.
bool runAirportsScan(const AirportScanOptions& options, const AirportNameMap& names);

// Paths of 250 characters or more (counted as Windows counts them, in UTF-16
// units, whatever bytes their UTF-8 text takes), and paths below the scan
// folder that name another kind of add-on.
bool isSkippedScanFolder(std::string_view fullPath, std::string_view pathBelowScanFolder);
bool isBglFile(std::string_view extension);

}  // namespace crv
