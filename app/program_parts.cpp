#include "app/program_parts.h"

#include <fmt/format.h>

#include "airports/airport_downloads.h"
#include "airportscan/airport_scan.h"
#include "app/download_site.h"
#include "app/sim_choice.h"
#include "app/status_panel.h"
#include "feed/version_check.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "liveryscan/livery_scan.h"

namespace crv {

SessionOptions programSessionOptions() {
  SessionOptions options;
  const std::optional<DownloadSite> site = programDownloadSite();
  if (site) {
    setAirportDownloadSite({site->baseUrl, makeUrlDownloader(site->options), {}});
  }
  options.checkVersions = [site] {
    if (site) {
      checkVersions(*site);
    } else {
      gf_logLine(fmt::format("No download site ({} is not set): no version check, no archived airport files",
                             kDownloadSiteVariable));
    }
  };
  options.scanLiveries = [] {
    LiveryScanContext context;
    context.communityFolder = packagesPathForSim("Community");
    context.display.showLiveryCount = [](std::uint64_t count) { panelCounts().liveries.store(count); };
    scanLiveries(context);
  };
  options.scanAddonAirports = [] {
    AirportScanOptions scan;
    if (isMsfs2020()) {
      scan.folders.push_back(packagesPathForSim("Official"));
    }
    scan.folders.push_back(packagesPathForSim("Community"));
    scanAddonAirports(scan);
  };
  return options;
}

}  // namespace crv
