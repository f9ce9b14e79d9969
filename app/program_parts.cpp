#include "app/program_parts.h"

#include "airportscan/airport_scan.h"
#include "app/sim_choice.h"
#include "foundation/settings.h"
#include "liveryscan/livery_scan.h"

namespace crv {

SessionOptions programSessionOptions() {
  SessionOptions options;
  options.scanLiveries = [] {
    LiveryScanContext context;
    context.communityFolder = packagesPathForSim("Community");
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
