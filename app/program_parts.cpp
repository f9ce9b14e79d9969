#include "app/program_parts.h"

#include "app/sim_choice.h"
#include "liveryscan/livery_scan.h"

namespace crv {

SessionOptions programSessionOptions() {
  SessionOptions options;
  options.scanLiveries = [] {
    LiveryScanContext context;
    context.communityFolder = packagesPathForSim("Community");
    scanLiveries(context);
  };
  return options;
}

}  // namespace crv
