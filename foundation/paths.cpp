#include "foundation/paths.h"

#include <mutex>

#include "foundation/log.h"
#include "platform/os/app_data_folders.h"

namespace crv {
namespace {

ProgramPaths buildProgramPaths() {
  namespace fs = std::filesystem;
  ProgramPaths p;
  p.docsFolder = fs::path("docs");
  p.inputFolder = fs::path("input");
  p.dbaseEnc = p.inputFolder / "dbase.enc";
  p.dbaseXml = p.inputFolder / "dbase.xml";
  p.aigRegcodesEnc = p.inputFolder / "AIG-regcodes.enc";
  p.aigRegcodesXml = p.inputFolder / "AIG-regcodes.xml";
  p.myRegcodesFolder = p.inputFolder / "my_regcodes";
  p.airportsFolder = fs::path("airports");
  p.mySimaddonFolder = p.airportsFolder / "my_simaddon";
  p.myThirdpartyFolder = p.airportsFolder / "my_thirdparty";
  p.learnedFolder = p.airportsFolder / "learned";
  p.learnedStockFolder = p.learnedFolder / "stock";
  p.learnedSimaddonFolder = p.learnedFolder / "simaddon";
  p.learnedThirdpartyFolder = p.learnedFolder / "thirdparty";
  p.myParkAirportsFile = p.airportsFolder / "my_park_airports.txt";
  p.airportsDatabaseName = fs::path("airports_msfs.xml");
  p.outputFolder = fs::path("output");
  p.liveriesScannedXml = p.outputFolder / "LiveriesScanned.xml";
  p.infoFolder = p.outputFolder / "info";
  p.offlineRegcodesReport = p.infoFolder / "OfflineRegcodes.txt";
  p.airportsScanLog = p.infoFolder / "AirportsScanLog.txt";
  p.tbloFolder = fs::path("TBLO");
  p.aircraftCfgWithNoFltsimSection = p.infoFolder / "AircraftCfgWithNoFltsimSection.txt";
  p.airlineModelConversions = p.infoFolder / "AirlineModelConversions.txt";
  p.errorsFolder = p.outputFolder / "errors";
  p.inlineRegcodesReport = p.errorsFolder / "InlineRegcodes.txt";
  p.invalidAirlineCodes = p.errorsFolder / "InvalidAirlineCodes.txt";
  p.invalidAircraftCodes = p.errorsFolder / "InvalidAircraftCodes.txt";
  p.fixesReport = p.errorsFolder / "Fixes.txt";
  p.invalidAircraftCfgFiles = p.errorsFolder / "InvalidAircraftCfgFiles.txt";
  p.incompleteFltsimSections = p.errorsFolder / "IncompleFltsimSections.txt";
  p.callsign2ObjectIdFile = fs::path("Callsign2ObjectId.txt");
  p.installNewVersionExe = fs::path("install_new_version.exe");
  p.fsBaseFolderName = fs::path("fs-base");
  return p;
}

// Guards the data folder (dataFolderStorage): set once by the worker, read by
// every thread that opens a file of the program.
std::mutex& dataFolderMutex() {
  static std::mutex mutex;
  return mutex;
}

std::filesystem::path& dataFolderStorage() {
  static std::filesystem::path folder = dataFolderFor(getAppDataPath());
  return folder;
}

}  // namespace

const ProgramPaths& programPaths() {
  static const ProgramPaths kPaths = buildProgramPaths();
  return kPaths;
}

std::filesystem::path dataFolderFor(const std::filesystem::path& appDataFolder) {
  if (appDataFolder.empty()) {
    return std::filesystem::path("CRVN");
  }
  return appDataFolder / "CRVN";
}

std::filesystem::path dataFolderPath() {
  std::lock_guard lock(dataFolderMutex());
  return dataFolderStorage();
}

std::string parametersFilePath() { return (dataFolderPath() / "parameters.xml").string(); }

void setDataFolderPath(const std::filesystem::path& folder) {
  std::lock_guard lock(dataFolderMutex());
  dataFolderStorage() = folder;
}

std::filesystem::path getAppDataPath() {
  std::filesystem::path folder = platform::roamingAppDataFolder();
  if (folder.empty()) {
    gf_logWarning("Could not find the AppData path");
  }
  return folder;
}

}  // namespace crv
