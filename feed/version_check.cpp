#include "feed/version_check.h"

#include <fmt/format.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "feed/addon_zip.h"
#include "feed/versions_file.h"
#include "foundation/errors.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"

namespace crv {

namespace {

namespace fs = std::filesystem;

const fs::path kVersionsFile = "versions.json";
const fs::path kAddonZip = "my_simaddon2024.zip";
constexpr std::string_view kAddonRemoteName = "mysimaddon24/my_simaddon2024.zip";

struct DataFile {
  std::string_view key;
  StringParameter& setting;
  std::string_view remoteName;
  fs::path localPath;
};

void logUpdated(std::string_view key, const VersionData& version) {
  gf_logLine(fmt::format("{} updated to {}", key, formatVersion(version)));
}

void logUpToDate(std::string_view key) { gf_logLine(fmt::format("{} version up-to-date", key)); }

// The published version, or nothing after logging that it is not there.
std::optional<VersionData> foundPublishedVersion(const nlohmann::json& document, std::string_view key) {
  const std::optional<VersionData> published = publishedVersion(document, key);
  if (!published) {
    gf_logWarning(fmt::format("{} version not found", key));
  }
  return published;
}

void updateDataFile(const DownloadSite& site, const nlohmann::json& document, const DataFile& file) {
  const std::optional<VersionData> published = foundPublishedVersion(document, file.key);
  if (!published) {
    return;
  }
  const VersionData stored(file.setting.value());
  std::error_code error;
  const bool present = fs::exists(fs::symlink_status(file.localPath, error));
  if (!(*published > stored) && present) {
    logUpToDate(file.key);
    return;
  }
  if (downloadFromSite(site, file.remoteName, file.localPath)) {
    setStringParameterAndSave(file.setting, formatVersion(*published));
    logUpdated(file.key, *published);
  }
}

std::optional<nlohmann::json> readVersionsFile() {
  std::string text;
  if (!readFileBytes(kVersionsFile, text)) {
    gf_logWarning("Cannot open versions.json");
    return std::nullopt;
  }
  std::string problem;
  std::optional<nlohmann::json> document = parseVersionsText(text, problem);
  if (!document) {
    gf_logWarning(fmt::format("versions.json is {}; no update this time", problem));
  }
  return document;
}

enum class AddonFolder { Ready, NotEmptied, NotCreated };

// Empties the add-on folder, or creates it; when neither works, logs why.
AddonFolder prepareAddonFolder(const fs::path& folder) {
  std::error_code error;
  if (fs::is_directory(folder, error)) {
    try {
      emptyFolder(folder);
    } catch (const std::exception& failure) {
      gf_logWarning(fmt::format("Could not empty {}: {}", folder.string(), failure.what()));
      return AddonFolder::NotEmptied;
    }
    return AddonFolder::Ready;
  }
  fs::create_directories(folder, error);
  if (error) {
    gf_logWarning(fmt::format("Could not create directory {}: {}", folder.string(), error.message()));
    return AddonFolder::NotCreated;
  }
  return AddonFolder::Ready;
}

// How an unpack ended. Without an add-on folder to unpack into, the zip
// stays on disk.
enum class Unpack { Installed, Failed, NoFolder };

// Reads the whole archive first; false after logging why it is refused.
std::optional<std::vector<AddonFile>> readAddonZip() {
  std::optional<ZipArchive> archive;
  try {
    archive.emplace(ZipArchive::open(kAddonZip));
  } catch (const ZipError& failure) {
    gf_logWarning(fmt::format("Could not open {}", kAddonZip.string()));
    gf_logIndented(failure.what());
    return std::nullopt;
  }
  try {
    return readAddonFiles(*archive);
  } catch (const ZipError& failure) {
    gf_logWarning(fmt::format("{} refused, the add-on stays as it was: {}", kAddonZip.string(), failure.what()));
    return std::nullopt;
  }
}

Unpack unpackAddon(const VersionData& published) {
  const std::optional<std::vector<AddonFile>> files = readAddonZip();
  if (!files) {
    return Unpack::Failed;
  }
  const fs::path& folder = programPaths().mySimaddonFolder;
  switch (prepareAddonFolder(folder)) {
    case AddonFolder::Ready:
      break;
    case AddonFolder::NotEmptied:
      return Unpack::Failed;
    case AddonFolder::NotCreated:
      return Unpack::NoFolder;
  }
  std::size_t written = 0;
  for (const AddonFile& file : *files) {
    const fs::path target = folder / file.fileName;
    if (writeFileAtomically(target, file.text)) {
      ++written;
    } else {
      gf_logWarning(fmt::format("Failed to write file: {}", target.string()));
    }
  }
  setStatusLine(fmt::format("{} unzipped {} files", kAddonZip.string(), written), true);
  if (written != files->size()) {
    gf_logWarning(fmt::format("{} of {} add-on files not written; the add-on is installed again next time",
                              files->size() - written, files->size()));
    return Unpack::Failed;
  }
  setStringParameterAndSave(par_MYSIMADDON24_VERSION, formatVersion(published));
  return Unpack::Installed;
}

void removeAddonZip() {
  std::error_code error;
  fs::remove(kAddonZip, error);
  if (error) {
    gf_logWarning(fmt::format("Warning: could not remove downloaded zip: {}", error.message()));
  }
}

void runVersionCheck(const DownloadSite& site) {
  DownloadOptions options = site.options;
  options.maximumBytes = std::min<std::uint64_t>(options.maximumBytes, kMaximumVersionsFileBytes);
  const std::string url = site.baseUrl + kVersionsFile.string();
  const DownloadOutcome outcome = downloadToFile(makeCurlHandle("download"), url, kVersionsFile, false, options);
  if (outcome.stopped) {
    logStoppedTransfer(url);
    return;
  }
  if (!outcome) {
    gf_logWarning("Downloading version info from my web site failed!");
    gf_logIndented(outcome.failure);
    return;
  }
  const std::optional<nlohmann::json> document = readVersionsFile();
  if (!document) {
    return;
  }
  if (!isMsfs2020()) {
    if (const std::optional<VersionData> published = foundPublishedVersion(*document, "simaddon")) {
      switch (installSimAddon(site, *published)) {
        case AddonInstall::Installed:
          logUpdated("simaddon", *published);
          break;
        case AddonInstall::UpToDate:
          logUpToDate("simaddon");
          break;
        case AddonInstall::Failed:
          break;
      }
    }
  }
  const ProgramPaths& paths = programPaths();
  updateDataFile(site, *document, {"aig", par_AIG_VERSION, "AIG-regcodes.enc", paths.aigRegcodesEnc});
  updateDataFile(site, *document, {"dbase", par_DBASE_VERSION, "dbase.enc", paths.dbaseEnc});
}

}  // namespace

void checkVersions(const DownloadSite& site) {
  try {
    runVersionCheck(site);
  } catch (const std::exception& failure) {
    gf_logWarning(fmt::format("Version check failed: {}", failure.what()));
  }
}

AddonInstall installSimAddon(const DownloadSite& site, const VersionData& published) {
  const VersionData stored(par_MYSIMADDON24_VERSION.value());
  if (!(published > stored) && !simAddonFolderEmpty()) {
    // A run stopped between storing the version and removing the zip left
    // it behind.
    removeAddonZip();
    return AddonInstall::UpToDate;
  }
  if (!downloadFromSite(site, kAddonRemoteName, kAddonZip)) {
    removeAddonZip();
    return AddonInstall::Failed;
  }
  const Unpack unpacked = unpackAddon(published);
  if (unpacked == Unpack::NoFolder) {
    return AddonInstall::Failed;
  }
  removeAddonZip();
  return unpacked == Unpack::Installed ? AddonInstall::Installed : AddonInstall::Failed;
}

bool simAddonFolderEmpty() {
  const fs::path& folder = programPaths().mySimaddonFolder;
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    return true;
  }
  return fs::directory_iterator(folder, error) == fs::directory_iterator();
}

}  // namespace crv
