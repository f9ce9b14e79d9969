#include "airportscan/airport_generation.h"

#include <algorithm>
#include <array>
#include <functional>
#include <mutex>

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "airports/airport_downloads.h"
#include "airports/airports_database.h"
#include "airports/apf_parameters.h"
#include "airports/apf_writer.h"
#include "airportscan/publisher_lookup.h"
#include "airportscan/scan_log.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/text.h"
#include "platform/os/file_access.h"

namespace fs = std::filesystem;

namespace crv {

namespace {

std::mutex linkMutex;  // guards the publisher lookups and link-file writes of the tasks
// One writer per airport file at a time: the writes of one ICAO code always
// take the same lock, different codes mostly different ones.
constexpr std::size_t kAirportFileLocks = 64;
std::array<std::mutex, kAirportFileLocks> airportFileMutexes;  // each guards the airport files whose code hashes to it

std::mutex& airportFileMutex(const std::string& icao) {
  return airportFileMutexes[std::hash<std::string>{}(icao) % kAirportFileLocks];
}

bool writeLinkFile(const fs::path& folder, const std::string& icao, const std::string& archivePath) {
  fs::create_directories(folder);
  return writeTextFile(archivePath, folder / (icao + ".txt"), true);
}

std::string thirdpartyArchivePath(std::string publisher, const std::string& icao) {
  std::string escaped;
  for (const char c : publisher) {
    escaped += c == ' ' ? std::string("%20") : std::string(1, c);
  }
  return "archive/thirdparty/" + escaped + "/" + icao + ".xml";
}

}  // namespace

std::atomic<bool>& airportFoundFlag() {
  static std::atomic<bool> found{false};
  return found;
}

std::atomic<int>& collectedAirportFileCount() {
  static std::atomic<int> count{0};
  return count;
}

void trimPathToCommunity(std::string& path) {
  if (const auto at = path.find("Community"); at != std::string::npos) {
    path.erase(0, at);
  }
}

std::optional<std::string> linkSimaddonArchive(const std::string& icao, ScanLog& log) {
  if (simAddonAirportSet().contains(icao)) {
    return "archive/simaddon/" + icao + ".xml";
  }
  log.append(fmt::format("{} does not exist as simaddon", icao));
  return std::nullopt;
}

std::optional<std::string> linkThirdPartyArchive(const std::string& publisher, const std::string& icao,
                                                 int& archivedCount, bool msfs2020, ScanLog& log) {
  const std::string archivePath = thirdpartyArchivePath(publisher, icao);
  ThirdpartyLineContext line{publisher, icao, archivedCount};
  for (const ThirdpartyAirports& entry : thirdpartyAirportLists(!msfs2020)) {
    if (entry.publisher != publisher) {
      continue;
    }
    for (const std::string& text : entry.airports) {
      if (checkThirdpartyLine(line, text)) {
        archivedCount = line.parkingCount;
        return archivePath;
      }
    }
  }
  log.append(fmt::format("thirdparty {} {} does not exist", publisher, icao));
  return std::nullopt;
}

bool linkArchivedAirport(ApfRecord& record, int& archivedCount, const std::string& bglPath,
                         const AirportScanTaskContext& context) {
  const std::lock_guard lock(linkMutex);
  ScanLog& log = *context.log;
  archivedCount = 0;
  record.bglPath = bglPath;
  const PublisherInfo info = findAirportPublisher(bglPath, context.packagesRoot, log, context.manifests);
  record.publisher = info.publisher;
  record.manufacturer = info.manufacturer;
  record.creator = info.creator;
  if (info.publisher == kUnknownPublisherName) {
    return false;
  }
  if (info.publisher == kSimaddonPublisher) {
    const auto archivePath = linkSimaddonArchive(record.icao, log);
    if (!archivePath || !writeLinkFile(programPaths().mySimaddonFolder, record.icao, *archivePath)) {
      return false;
    }
    log.append(fmt::format("{} airport {} linked to {}", kSimaddonPublisher, record.icao, *archivePath));
  } else {
    const auto archivePath = linkThirdPartyArchive(info.publisher, record.icao, archivedCount, context.msfs2020, log);
    if (!archivePath || !writeLinkFile(programPaths().myThirdpartyFolder, record.icao, *archivePath)) {
      return false;
    }
    log.append(fmt::format("thirdparty airport {} linked to {}", record.icao, *archivePath));
  }
  airportFoundFlag().store(true);
  return true;
}

void generateAirportFile(ApfRecord& record, ScanLog& log) {
  if (record.stands.empty()) {
    return;
  }
  if (record.publisher != kUnknownPublisherName) {
    trimPathToCommunity(record.bglPath);
  }
  const fs::path folder = record.publisher == kSimaddonPublisher ? programPaths().mySimaddonFolder
                                                                  : programPaths().myThirdpartyFolder;
  const auto helipads = std::count_if(record.stands.begin(), record.stands.end(),
                                      [](const ParkingPosition& stand) { return stand.heli; });
  const std::string helipadText =
      helipads > 0 ? fmt::format(", of which {} helipad{}", helipads, pluralSuffix(helipads)) : std::string();
  const std::string fileName = record.icao + ".xml";
  const auto standCount = static_cast<std::int64_t>(record.stands.size());
  log.append(fmt::format("Generated {}: {} position{}{}", fileName, standCount, pluralSuffix(standCount), helipadText));
  std::sort(record.stands.begin(), record.stands.end(),
            [](const ParkingPosition& left, const ParkingPosition& right) { return left.name < right.name; });
  if (!fs::exists(folder)) {
    fs::create_directories(folder);
  }
  const fs::path path = folder / fileName;
  bool written = false;
  {
    const std::lock_guard lock(airportFileMutex(record.icao));
    // The next scan writes a lost file again: no flush to the disk, which would
    // cost more than the whole scan of the file.
    written = writeAirportFile(record, path, ApfWriteMode::Full, Durability::Regenerable);
  }
  if (!written) {
    log.append(fmt::format("{}Generating {} did not succeed", kWarningPrefix, path.string()));
    return;
  }
  airportFoundFlag().store(true);
}

void processBglAirportRecord(const BglAirportRecordRef& ref, const BglWords& words, const std::string& bglPath,
                             const AirportScanTaskContext& context) {
  ApfRecord record;
  record.icao = ref.icao;
  int archivedCount = 0;
  const bool linked = linkArchivedAirport(record, archivedCount, bglPath, context);
  if (!context.msfs2020 && linked) {
    return;
  }
  record.altitudeFeet = readBglAirportAltitude(ref.startWord, words);
  if (context.names != nullptr) {
    if (const auto name = context.names->find(record.icao); name != context.names->end()) {
      record.airportName = name->second;
    }
  }
  BglAirportReading reading(bglPath, *context.log);
  readBglAirportStands(ref, words, record, reading);
  const auto standCount = static_cast<int>(record.stands.size());
  const bool moreThanArchived = standCount > archivedCount && record.publisher != kSimaddonPublisher;
  if (moreThanArchived) {
    context.log->append(
        fmt::format("{}{} has {} parkpos while archived one has {}", kWarningPrefix, record.icao, standCount, archivedCount));
  }
  if (!linked || moreThanArchived) {
    generateAirportFile(record, *context.log);
  }
}

std::string findUnrecognisedAirportIcao(const std::string& bglPath, const AirportScanTaskContext& context) {
  ScanLog& log = *context.log;
  const AirportsDatabase& database = airportsDb();
  const std::string stem = toUpper(fs::path(bglPath).stem().string());
  if (stem.size() == 4 && findAirportRecord(database, stem) != nullptr) {
    log.append(fmt::format("Not recognised airport has ICAO code '{}' as BGL stem", stem));
    return stem;
  }
  if (const auto manifest = gf_searchManifest(bglPath, context.packagesRoot, log, context.manifests)) {
    const std::string key = findAirportByIcao(database, manifest->title);
    if (!key.empty()) {
      log.append(fmt::format("Not recognised airport has ICAO '{}' in title '{}' of manifest", key, manifest->title));
      return key;
    }
    for (const AirportRecord& airport : database.airports) {
      if (containsDashedCode(bglPath, airport.code)) {
        log.append(fmt::format("Not recognised airport has ICAO '{}' in BGL path '{}'", airport.code, bglPath));
        return airport.code;
      }
    }
  }
  log.append(fmt::format("==================> Not recognised airport lost ... '{}'", bglPath));
  return {};
}

void reportUnrecognisedAirport(const std::string& bglPath, const AirportScanTaskContext& context) {
  context.log->append(fmt::format("\n==> Not recognised airport {}", bglPath));
  const std::string icao = findUnrecognisedAirportIcao(bglPath, context);
  if (icao.empty()) {
    return;
  }
  ApfRecord record;
  record.icao = icao;
  int archivedCount = 0;
  linkArchivedAirport(record, archivedCount, bglPath, context);
}

void finishAirportArchive(const std::vector<std::string>& generatedIcaos,
                          const std::function<bool(const std::string&)>& isSuitable) {
  const ProgramPaths& paths = programPaths();
  for (const std::string& icao : generatedIcaos) {
    const fs::path file = paths.myThirdpartyFolder / (icao + ".xml");
    if (icao == "KMCI" && readApfPublisher(file) == "TropicalSim") {
      fs::remove(file);
      continue;
    }
    const bool suitable = isSuitable ? isSuitable(icao) : prepareOfflineLearning(icao);
    if (!suitable || !readApfOrigin(file).empty()) {
      continue;
    }
    const fs::path copy = paths.tbloFolder / (icao + ".xml");
    fs::create_directories(paths.tbloFolder);
    std::error_code error;
    if (!platform::copyFileReplacing(file, copy, error)) {
      gf_logWarning(fmt::format("'{}' failed to copy '{}'", file.string(), copy.string()));
      continue;
    }
    gf_logLine(fmt::format("{} copied to {}", icao, copy.string()));
    if (fs::exists(paths.myThirdpartyFolder / (icao + ".txt"))) {
      fs::remove(file);
    }
  }
  if (!fs::exists(paths.tbloFolder) || folderEntryCount(paths.tbloFolder) == 0) {
    collectedAirportFileCount().store(0);
    gf_logLine("All your third party airports are done, no off line learning needed.");
    fs::remove_all(paths.tbloFolder);
  } else {
    collectedAirportFileCount().store(static_cast<int>(folderEntryCount(paths.tbloFolder)));
    gf_logLine("");
  }
}

}  // namespace crv
