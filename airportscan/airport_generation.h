#pragma once

// What the scan leaves behind for each add-on airport it recognises: a link
// to the program's archived airport file, a generated airport file made from
// the BGL stands, both, or nothing.

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "airports/airport_names.h"
#include "airports/apf_record.h"
#include "airportscan/bgl_airports.h"

namespace crv {

class ManifestSearchCache;
class ScanLog;

// What every task of one scan reads; set before the tasks start.
struct AirportScanTaskContext {
  bool msfs2020 = true;
  std::filesystem::path packagesRoot;  // the scan folder the file was found in
  const AirportNameMap* names = nullptr;
  ScanLog* log = nullptr;
  ManifestSearchCache* manifests = nullptr;  // the scan's for the packages root, when set
};

// Raised whenever an airport file is generated or an airport is linked.
std::atomic<bool>& airportFoundFlag();

void processBglAirportRecord(const BglAirportRecordRef& ref, const BglWords& words, const std::string& bglPath,
                             const AirportScanTaskContext& context);

// Looks up the publisher and writes the link file when the archive has the
// airport. Only one task links at a time.
bool linkArchivedAirport(ApfRecord& record, int& archivedCount, const std::string& bglPath,
                         const AirportScanTaskContext& context);
std::optional<std::string> linkSimaddonArchive(const std::string& icao, ScanLog& log);
std::optional<std::string> linkThirdPartyArchive(const std::string& publisher, const std::string& icao,
                                                 int& archivedCount, bool msfs2020, ScanLog& log);

void generateAirportFile(ApfRecord& record, ScanLog& log);
void trimPathToCommunity(std::string& path);

// A record 0x0113 ended the file: its ICAO code is looked for in the file's
// stem, the package's manifest title and the path, and linked when found.
void reportUnrecognisedAirport(const std::string& bglPath, const AirportScanTaskContext& context);
std::string findUnrecognisedAirportIcao(const std::string& bglPath, const AirportScanTaskContext& context);

// After the walk: copies the generated thirdparty files that are good for
// offline learning to TBLO. isSuitable defaults to prepareOfflineLearning.
void finishAirportArchive(const std::vector<std::string>& generatedIcaos,
                          const std::function<bool(const std::string&)>& isSuitable = {});

// Number of airport files collected in TBLO, shown by the status panel.
std::atomic<int>& collectedAirportFileCount();

}  // namespace crv
