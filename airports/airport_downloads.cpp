#include "airports/airport_downloads.h"

#include <fmt/format.h>

#include <map>
#include <mutex>
#include <pugixml.hpp>

#include "airports/apf_parameters.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"

namespace crv {
namespace {

constexpr int kOfflineLearningTrafficWeek = 27;

struct ArchiveProbe {
  bool found = false;
  std::int64_t checkedAt = 0;
};

// The site and what was learned about it.
struct DownloadState {
  std::mutex mutex;  // guards site and probes
  AirportDownloadSite site;
  std::map<std::string, ArchiveProbe, std::less<>> probes;
};

DownloadState& state() {
  static DownloadState instance;
  return instance;
}

AirportDownloadSite currentSite() {
  std::lock_guard lock(state().mutex);
  return state().site;
}

std::int64_t now(const AirportDownloadSite& site) { return site.clock ? site.clock() : systemTimeSeconds(); }

DownloadResult download(const AirportDownloadSite& site, const std::string& url, const std::filesystem::path& target) {
  if (!site.download) return DownloadResult::failed;
  try {
    return site.download(url, target, stopRequestedFlag());
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("download of {} failed: {}", url, error.what()));
    return DownloadResult::failed;
  }
}

std::filesystem::path localArchiveCopy(std::string_view icao) { return std::filesystem::path(fmt::format("{}.xml", icao)); }

std::string areaUrl(const AirportDownloadSite& site, bool msfsArea) {
  return site.baseUrl + (msfsArea || isMsfs2020() ? "MSFS/" : "MSFS2024/");
}

}  // namespace

void setAirportDownloadSite(AirportDownloadSite site) {
  std::lock_guard lock(state().mutex);
  state().site = std::move(site);
  state().probes.clear();
}

std::string downloadAreaUrl(bool msfsArea) { return areaUrl(currentSite(), msfsArea); }

std::string archivedAirportRemotePath(std::string_view icao) { return fmt::format("archive/stock/{}.xml", icao); }

bool isPlainAirportCode(std::string_view icao) {
  if (icao.size() < 2 || icao.size() > 8) return false;
  for (const char c : icao) {
    const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letterOrDigit) return false;
  }
  return true;
}

bool downloadArchivedAirport(std::string_view icao) {
  if (!isPlainAirportCode(icao)) return false;
  const AirportDownloadSite site = currentSite();
  {
    std::lock_guard lock(state().mutex);
    const auto known = state().probes.find(icao);
    if (known != state().probes.end() && now(site) - known->second.checkedAt < kArchiveProbeSeconds) {
      return known->second.found;
    }
  }
  const std::filesystem::path local = localArchiveCopy(icao);
  const DownloadResult result = download(site, areaUrl(site, true) + archivedAirportRemotePath(icao), local);
  const bool found = result == DownloadResult::downloaded;
  if (found) std::filesystem::remove(local);
  // A download that failed (no connection, a timeout, a server error) or
  // was stopped says nothing about the site: the next check asks again.
  if (result != DownloadResult::failed && result != DownloadResult::stopped && !stopRequested()) {
    std::lock_guard lock(state().mutex);
    state().probes[std::string(icao)] = {found, now(site)};
  }
  return found;
}

std::string downloadAirportFile(std::string_view remotePath, const std::filesystem::path& localPath) {
  const AirportDownloadSite site = currentSite();
  const bool msfsArea =
      remotePath.find("simaddon") != std::string_view::npos || remotePath.find("stock") != std::string_view::npos;
  const std::string url = areaUrl(site, msfsArea) + std::string(remotePath);
  std::error_code error;
  if (localPath.has_parent_path()) std::filesystem::create_directories(localPath.parent_path(), error);
  const DownloadResult result = download(site, url, localPath);
  if (result == DownloadResult::downloaded) return {};
  if (result == DownloadResult::stopped) return fmt::format("download stopped: '{}'", url);
  std::string failure = fmt::format("failed to download: '{}'", url);
  gf_logLine(failure);
  return failure;
}

bool prepareOfflineLearning(std::string_view icao) {
  if (!isPlainAirportCode(icao)) return false;
  const AirportDownloadSite site = currentSite();
  const std::string url = areaUrl(site, true) + archivedAirportRemotePath(icao);
  const std::filesystem::path local = localArchiveCopy(icao);
  gf_logLine(url);
  const DownloadResult result = download(site, url, local);
  if (result != DownloadResult::downloaded) {
    if (result != DownloadResult::stopped) gf_logWarning(fmt::format("Failed to download {}", local.string()));
    return false;
  }
  bool suitable = false;
  {
    pugi::xml_document document;
    if (loadApfDocument(document, local)) {
      gf_logWarning(fmt::format("Failed to load {}", local.string()));
    } else {
      const auto real = getApfNumber(document, "Qf_real");
      const auto soft = getApfNumber(document, "Qf_soft");
      if ((real && *real >= 0) || (soft && *soft >= 0)) {
        const auto week = getApfNumber(document, "RT_traffic_week");
        suitable = week && *week >= kOfflineLearningTrafficWeek;
      }
    }
  }
  std::filesystem::remove(local);
  if (!suitable) gf_logWarning(fmt::format("{} not suitable for offline learning", icao));
  return suitable;
}

}  // namespace crv
