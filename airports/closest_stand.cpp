#include "airports/closest_stand.h"

#include <fmt/format.h>

#include <filesystem>
#include <pugixml.hpp>

#include "airports/airport_downloads.h"
#include "airports/airport_locations.h"
#include "airports/apf_parameters.h"
#include "foundation/log.h"

namespace crv {
namespace {

const std::filesystem::path kDownloadCopy = "airport.xml";

double nearestStandNm(std::string_view icao, const GeoPoint& position, std::string& standName) {
  const std::string path = findAirportFilePath(icao);
  if (path.empty()) return kNoStandDistanceNm;
  std::filesystem::path fileRead = path;
  const bool downloaded = !path.starts_with("airports");
  if (downloaded) {
    if (!downloadAirportFile(path, kDownloadCopy).empty()) return kNoStandDistanceNm;
    fileRead = kDownloadCopy;
  }
  double bestNm = kNoStandDistanceNm;
  pugi::xml_document document;
  if (!loadApfDocument(document, fileRead)) {
    for (pugi::xml_node parkpos : document.child("parkpositions").children("parkpos")) {
      const GeoPoint stand{parkpos.attribute("latitude").as_double(0.0), parkpos.attribute("longitude").as_double(0.0)};
      const double distanceNm = gf_distanceNm(position, stand);
      if (distanceNm < bestNm) {
        bestNm = distanceNm;
        standName = parkpos.attribute("id").value();
      }
    }
  }
  if (downloaded) std::filesystem::remove(kDownloadCopy);
  return bestNm;
}

}  // namespace

double gf_readDestApfForClosestStand(std::string_view icao, const GeoPoint& position, std::string& standName) {
  try {
    return nearestStandNm(icao, position, standName);
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: {}", "gf_readDestApfForClosestStand", error.what()));
    return kNoStandDistanceNm;
  }
}

}  // namespace crv
