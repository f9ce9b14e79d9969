#pragma once

#include <filesystem>
#include <string>

namespace crv {

// Every folder and file of the program. All but the data folder are relative
// to the program folder, which is the working folder while the program runs.
struct ProgramPaths {
  std::filesystem::path docsFolder;
  std::filesystem::path inputFolder;
  std::filesystem::path dbaseEnc;
  std::filesystem::path dbaseXml;
  std::filesystem::path aigRegcodesEnc;
  std::filesystem::path aigRegcodesXml;
  std::filesystem::path myRegcodesFolder;
  std::filesystem::path airportsFolder;
  std::filesystem::path mySimaddonFolder;
  std::filesystem::path myThirdpartyFolder;
  std::filesystem::path learnedFolder;
  std::filesystem::path learnedStockFolder;
  std::filesystem::path learnedSimaddonFolder;
  std::filesystem::path learnedThirdpartyFolder;
  std::filesystem::path myParkAirportsFile;
  std::filesystem::path airportsDatabaseName;  // "airports_msfs.xml", read from input
  std::filesystem::path outputFolder;
  std::filesystem::path liveriesScannedXml;
  std::filesystem::path infoFolder;
  std::filesystem::path offlineRegcodesReport;
  std::filesystem::path airportsScanLog;
  std::filesystem::path tbloFolder;
  std::filesystem::path aircraftCfgWithNoFltsimSection;
  std::filesystem::path airlineModelConversions;
  std::filesystem::path errorsFolder;
  std::filesystem::path inlineRegcodesReport;
  std::filesystem::path invalidAirlineCodes;
  std::filesystem::path invalidAircraftCodes;
  std::filesystem::path fixesReport;
  std::filesystem::path invalidAircraftCfgFiles;
  std::filesystem::path incompleteFltsimSections;  // spelled "IncompleFltsimSections.txt"
  std::filesystem::path callsign2ObjectIdFile;
  std::filesystem::path installNewVersionExe;
  std::filesystem::path fsBaseFolderName;
};

// Built once, on first use, in an order in which every composed path follows
// its parts.
const ProgramPaths& programPaths();

// The data folder: the roaming application-data folder joined with "CRVN",
// or the relative folder "CRVN" when the application-data folder is unknown.
std::filesystem::path dataFolderFor(const std::filesystem::path& appDataFolder);

// The data folder and parameters.xml in it. Tests point the data folder
// elsewhere with setDataFolderPath.
std::filesystem::path dataFolderPath();
std::string parametersFilePath();
void setDataFolderPath(const std::filesystem::path& folder);

// The user's roaming application-data folder; logs "Could not find the
// AppData path" and gives an empty path when there is none.
std::filesystem::path getAppDataPath();

}  // namespace crv
