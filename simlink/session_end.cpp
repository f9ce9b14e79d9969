#include "simlink/session_end.h"

#include <fmt/format.h>

#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/version.h"

namespace crv {

namespace {

void endSession(const SimLinkHooks& hooks, LinkExitReason reason) {
  if (!raiseStop()) {
    return;
  }
  if (hooks.recordExitReason) {
    hooks.recordExitReason(reason);
  }
}

}  // namespace

void endSessionWithNewFlight(const SimLinkHooks& hooks) { endSession(hooks, LinkExitReason::newFlight); }

void reportSimDisconnected(const SimLinkHooks& hooks) {
  if (stopRequested()) {
    return;
  }
  gf_logLine(fmt::format("{} Flight Simulator no longer connected, {} will stop ...", clockText(), kProgramName));
  endSession(hooks, LinkExitReason::simWasClosed);
}

}  // namespace crv
