#include "app/sim_choice.h"

#include <fstream>

#include <fmt/format.h>

#include "aircraftdata/livery_database.h"
#include "app/exit_reason.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/paths.h"
#include "foundation/setting_controls.h"
#include "foundation/status_line.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "platform/os/app_data_folders.h"

namespace crv {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUserCfgName = "UserCfg.opt";
constexpr std::string_view kPackagesLineKey = "InstalledPackagesPath";

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// The text without a trailing separator.
std::string withoutTrailingSeparators(std::string text) {
  while (text.size() > 1 && isSeparator(text.back())) {
    text.pop_back();
  }
  return text;
}

}  // namespace

void applySimChoice() {
  const std::string choice = par_SIM_CHOICE.value();
  setMsfs2020(choice == kSimChoiceMsfs2020);
  setSimFolderName(simFolderNameFor(choice));
}

std::string_view simPackageFamily() {
  return isMsfs2020() ? "Microsoft.FlightSimulator_8wekyb3d8bbwe" : "Microsoft.Limitless_8wekyb3d8bbwe";
}

std::string_view simSteamFolder() {
  return isMsfs2020() ? "Microsoft Flight Simulator" : "Microsoft Flight Simulator 2024";
}

StringParameter& simPathSetting() { return isMsfs2020() ? par_MSFS_INSTALL_PATH : par_MSFS_2024_INSTALL_PATH; }

fs::path getLocalAppDataPath() {
  fs::path folder = platform::localAppDataFolder();
  if (folder.empty()) {
    gf_logWarning("Could not find the a Local Appdata path");
  }
  return folder;
}

fs::path findUserCfgOpt() {
  const fs::path local = getLocalAppDataPath();
  const fs::path roaming = getAppDataPath();
  const fs::path store = local / "Packages" / std::string(simPackageFamily()) / "LocalCache" / kUserCfgName;
  if (pathExists(store)) {
    return store;
  }
  gf_logLine(fmt::format("MSFS detection, no Store:{}", store.string()));
  const fs::path steam1 = roaming / std::string(simSteamFolder()) / kUserCfgName;
  if (pathExists(steam1)) {
    return steam1;
  }
  gf_logLine(fmt::format("MSFS detection, no Steam1:{}", steam1.string()));
  const fs::path steam2 = local / "Packages" / "Microsoft.FlightDashboard_8wekyb3d8bbwe" / "LocalCache" / kUserCfgName;
  if (pathExists(steam2)) {
    return steam2;
  }
  gf_logLine(fmt::format("MSFS detection, no Steam2:{}", steam2.string()));
  const fs::path boxed = local / "MSFSPackages" / kUserCfgName;
  if (!pathExists(boxed)) {
    gf_logLine(fmt::format("MSFS detection, no Boxed:{}", boxed.string()));
  }
  return boxed;
}

fs::path steamPackagesPath() {
  const fs::path packages = getAppDataPath() / std::string(simSteamFolder()) / "Packages";
  if (!pathExists(packages)) {
    return {};
  }
  gf_logLine(fmt::format("Steam packages:{}", packages.string()));
  return packages;
}

fs::path readInstalledPackagesPath() {
  const fs::path userCfg = findUserCfgOpt();
  if (!pathExists(userCfg)) {
    gf_logLine("No UserCfg.opt found?");
    return {};
  }
  fs::path result;
  std::ifstream file(userCfg);
  std::string line;
  while (std::getline(file, line)) {
    if (line.find(kPackagesLineKey) != std::string::npos) {
      const fs::path named = quotedText(line);
      if (!named.empty() && pathExists(named)) {
        result = named;
      }
      break;
    }
  }
  gf_logLine(fmt::format("UserCfg.opt: InstalledPackagesPath={}", result.empty() ? "???" : result.string()));
  return result;
}

bool isValidPackagesPath(const fs::path& path) {
  if (path.empty() || !pathExists(path) || !pathExists(path / kCommunityFolderName)) {
    return false;
  }
  return pathExists(path / (isMsfs2020() ? kOfficialFolderName : kOfficial2024FolderName));
}

fs::path detectPackagesPath() {
  if (fs::path steam = steamPackagesPath(); isValidPackagesPath(steam)) {
    return steam;
  }
  if (fs::path named = readInstalledPackagesPath(); isValidPackagesPath(named)) {
    return named;
  }
  return {};
}

fs::path packagesPathForSim(const fs::path& subFolder) { return fs::path(simPathSetting().value()) / subFolder; }

void stripCommunitySuffix(StringParameter& setting) {
  const std::string value = withoutTrailingSeparators(setting.value());
  const std::size_t suffixLength = kCommunityFolderName.size() + 1;
  if (value.size() < suffixLength || !value.ends_with(kCommunityFolderName) ||
      !isSeparator(value[value.size() - suffixLength])) {
    return;
  }
  // Only the last component goes: a "Community" higher up is part of the path.
  setStringParameterAndSave(setting, value.substr(0, value.size() - suffixLength));
}

void announceRestartForPath() {
  setStatusLine(fmt::format("Community path found, {} will restart ...", kProgramName), true);
  sessionEnd().endSession(ExitReason::newSettings, kRestartAfterNewPath);
}

NewPathOutcome lf_newSimPath(StringParameter& setting, const std::string& text) {
  clearErrorLine();
  clearStatusLine();
  if (text.empty()) {
    if (!setting.isEmpty()) {
      setStringParameterAndSave(setting, "");
    }
    return NewPathOutcome::emptied;
  }
  const fs::path path(text);
  if (!pathExists(path)) {
    setStatusLine(fmt::format("This install path does not exist: {}", path.string()), true);
    return NewPathOutcome::missing;
  }
  // A separator after the folder's name still names the Community folder.
  const std::string named = withoutTrailingSeparators(text);
  if (fs::path(named).filename() == kCommunityFolderName) {
    // The packages folder is everything before the last "Community".
    const std::size_t at = named.rfind(kCommunityFolderName);
    const std::string packages = at > 0 ? named.substr(0, at - 1) : std::string();
    if (packages.empty() || !pathExists(fs::path(packages) / kCommunityFolderName)) {
      throw std::runtime_error("lf_newSimPath");
    }
    setStringParameterAndSave(setting, packages);
    announceRestartForPath();
    return NewPathOutcome::accepted;
  }
  if (pathExists(path / kCommunityFolderName)) {
    setStringParameterAndSave(setting, text);
    announceRestartForPath();
    return NewPathOutcome::accepted;
  }
  setStatusLine("This path exists but is not a path to Community ...", true);
  return NewPathOutcome::notCommunity;
}

void switchSimulator() {
  std::error_code error;
  fs::remove(programPaths().liveriesScannedXml, error);
  if (error && error != std::errc::no_such_file_or_directory) {
    throw fs::filesystem_error("remove", programPaths().liveriesScannedXml, error);
  }
  liveryDatabase().requestClear();
  par_SCAN_AIRPORTS.setValue(true);
  saveBoolParameter(par_SCAN_AIRPORTS);
  setCheckBox(par_SCAN_AIRPORTS);
  par_SCAN_LIVERIES.setValue(true);
  saveBoolParameter(par_SCAN_LIVERIES);
  setCheckBox(par_SCAN_LIVERIES);
  setStatusLine(fmt::format("Switching Simulator to {}", isMsfs2020() ? kSimChoiceMsfs2020 : kSimChoiceMsfs2024),
                true);
  par_ALL_INSTALL_PATH.setValue("");
  setControlText(par_ALL_INSTALL_PATH);
  if (!isMsfs2020()) {
    setStringParameterAndSave(par_MYSIMADDON24_VERSION, "");
  }
  sessionEnd().endSession(ExitReason::newSettings, kRestartAfterNewPath);
}

}  // namespace crv
