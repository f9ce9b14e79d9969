#include "foundation/version_update.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <pugixml.hpp>
#include <system_error>

#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/paths.h"
#include "foundation/setting_controls.h"
#include "foundation/settings.h"
#include "foundation/version.h"

namespace crv {

std::int32_t snapRange(std::int32_t v) {
  if (v < 3) return 2;
  if (v <= 6) return v;
  if (v <= 8) return 8;
  if (v <= 10) return 10;
  if (v <= 12) return 12;
  if (v <= 14) return 14;
  if (v <= 16) return 16;
  if (v <= 18) return 18;
  if (v <= 22) return 20;
  if (v <= 27) return 25;
  if (v <= 32) return 30;
  if (v <= 37) return 35;
  if (v <= 44) return 40;
  if (v <= 56) return 50;
  if (v <= 72) return 65;
  if (v <= 89) return 80;
  return 100;
}

std::int32_t snapHeight(std::int32_t v) {
  if (v < 3000) return 2000;
  if (v < 5000) return 4000;
  if (v < 7000) return 6000;
  if (v < 9000) return 8000;
  if (v < 11000) return 10000;
  if (v < 13000) return 12000;
  if (v < 15000) return 14000;
  if (v < 17000) return 16000;
  if (v < 27000) return 18000;
  if (v < 47000) return 36000;
  return 48000;
}

std::int32_t maxParkFromCustomMaxPark(std::int32_t v) {
  if (v == -1) return 500;
  if (v < 25) return 10;
  if (v < 50) return 25;
  return 50;
}

std::int32_t maxLiveFromMaxLive(std::int32_t v) {
  if (v == -1) return 500;
  if (v < 25) return 10;
  if (v < 50) return 25;
  if (v < 75) return 50;
  if (v < 100) return 75;
  return 100;
}

std::int32_t airportRangeFromOldAirportRange(std::int32_t v) {
  if (v < 8) return 5;
  if (v <= 12) return 10;
  if (v <= 17) return 15;
  if (v <= 22) return 20;
  if (v <= 26) return 25;
  return 30;
}

void setRange(std::int32_t rangeNm) {
  par_RANGE.setValue(par_RANGE.clamped(rangeNm));
  setTrafficRange(rangeNm);
}

void removeObsoleteParameters() {
  for (const Parameter* old : obsoleteParameters()) {
    removeParameter(*old);
  }
}

namespace {

// Reads an old key from the file into its setting object; false when the
// file does not hold it.
bool readOld(const pugi::xml_document& document, IntParameter& old) { return readIntParameter(old, document, true); }

void convertInt(const pugi::xml_document& document, IntParameter& old, IntParameter& current,
                std::int32_t (*convert)(std::int32_t)) {
  if (!readOld(document, old)) return;
  current.setValue(current.clamped(convert(old.value())));
  saveIntParameter(current);
  removeParameter(old);
}

void convertOldSettings() {
  pugi::xml_document document;
  if (!loadParametersDocument(document)) return;

  if (readBoolParameter(par_MSFS_2020, document)) {
    par_SIM_CHOICE.setValue(std::string(par_MSFS_2020.value() ? kSimChoiceMsfs2020 : kSimChoiceMsfs2024));
    saveStringParameter(par_SIM_CHOICE);
    removeParameter(par_MSFS_2020);
  }
  if (readOld(document, par_AI_PACKAGE_ORDER)) {
    const auto index = static_cast<std::size_t>(par_AI_PACKAGE_ORDER.value() - 1);
    par_AI_PACKAGE_SELECTOR.setValue(kAiPackageOrders.at(index));
    saveStringParameter(par_AI_PACKAGE_SELECTOR);
    removeParameter(par_AI_PACKAGE_ORDER);
  }
  convertInt(document, par_CUSTOM_MAX_PARK, par_MAX_PARK_SEL, maxParkFromCustomMaxPark);
  convertInt(document, par_MAX_LIVE, par_MAX_LIVE_SEL, maxLiveFromMaxLive);
  convertInt(document, par_LATERAL_RANGE, par_RANGE, snapRange);
  convertInt(document, par_AIRPORT_RANGE, par_AIRP_RANGE, airportRangeFromOldAirportRange);
  convertInt(document, par_AUTO_RANGE_ABOVE_HEIGHT, par_AR_ABOVE_HEIGHT, snapHeight);
  convertInt(document, par_AIRPORT_HEIGHT, par_AIRP_HEIGHT, snapHeight);
}

void removeInstaller() {
  const std::filesystem::path& installer = programPaths().installNewVersionExe;
  std::error_code error;
  std::filesystem::remove(installer, error);
  if (error) gf_logLine(fmt::format("Failed to remove {}: {}", installer.string(), error.message()));
}

void requestRescan(BoolControlParameter& scan) {
  scan.setValue(true);
  saveBoolParameter(scan);
  setCheckBox(scan);
}

}  // namespace

void updateFromOlderVersion() {
  const std::string programVersion = formatVersion(programVersionData());
  const std::string stored = par_PROGRAM_VERSION.value();
  if (stored == par_PROGRAM_VERSION.defaultValue()) {
    setStringParameterAndSave(par_PROGRAM_VERSION, programVersion);
    removeObsoleteParameters();
    return;
  }
  const VersionData storedVersion(stored);
  if (storedVersion != programVersionData()) setStringParameterAndSave(par_PROGRAM_VERSION, programVersion);
  if (!(programVersionData() > storedVersion)) {
    removeObsoleteParameters();
    return;
  }

  gf_logLine(fmt::format("This is a version update from {} -> {}", formatVersion(storedVersion), programVersion));
  convertOldSettings();
  removeObsoleteParameters();
  removeInstaller();
  requestRescan(par_SCAN_LIVERIES);
  requestRescan(par_SCAN_AIRPORTS);
}

}  // namespace crv
