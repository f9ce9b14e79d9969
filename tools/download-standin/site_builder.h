#pragma once

// The files of the download-site stand-in, built from the program's own data
// folder: versions.json, the encrypted data files, the add-on zip and the
// archived airport files of both simulators.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/version.h"

namespace crv::standin {

struct SiteVersions {
  VersionData simaddon{1, 0, 0};
  VersionData aig{1, 0, 0};
  VersionData dbase{1, 0, 0};
};

std::string versionsJsonText(const SiteVersions& versions);

struct ZipEntrySpec {
  std::string name;
  std::string content;
  // Stored as a symbolic link to the content.
  bool link = false;
};

// Writes a zip archive with the entries in order; a name ending in "/" is a
// folder entry. Throws std::runtime_error on failure.
void writeZip(const std::filesystem::path& path, const std::vector<ZipEntrySpec>& entries);

// Encrypts the bytes into a data file of the program's format.
void writeEncrypted(const std::filesystem::path& path, std::string_view plain);

struct ArchivedAirport {
  std::string icao;
  std::string name;
  std::string publisher;  // "stock", "simaddon" or the thirdparty publisher
  double latitude = 0.0;
  double longitude = 0.0;
  int altitudeFeet = 0;
  int stands = 0;
};

// The archived airports of one simulator: the simulator maker's airports
// (the dbase.xml "simaddons20" list), the thirdparty airports of the
// thirdparties20 or thirdparties24 list with their stand counts, and a stock
// file of each of these codes. Positions and names come from the airports
// database and names file in the data folder.
std::vector<ArchivedAirport> archivedAirports(const std::filesystem::path& dataFolder, bool msfs2024);

// The airport file of an archived airport: meta block, parameters and the
// stands in full form, laid out in rows near the airport's position.
std::string archivedAirportXml(const ArchivedAirport& airport, bool msfs2024);

// "archive/stock/EHAM.xml", "archive/simaddon/EHAM.xml",
// "archive/thirdparty/<publisher>/EHAM.xml" (blanks stay blanks on disk).
std::filesystem::path archivedAirportPath(const ArchivedAirport& airport);

// The add-on zip of MSFS 2024: one link file per simulator-maker airport,
// "my_simaddon2024/<ICAO>.xml" holding "archive/simaddon/<ICAO>.xml".
std::vector<ZipEntrySpec> sampleAddonEntries(const std::filesystem::path& dataFolder);

// Every file of the site under the folder.
void buildSampleSite(const std::filesystem::path& siteFolder, const std::filesystem::path& dataFolder,
                     const SiteVersions& versions = {});

}  // namespace crv::standin
