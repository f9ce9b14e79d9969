#pragma once

#include "simlink/sim_link_hooks.h"

namespace crv {

// Ends the session with NEW FLIGHT unless a stop is already requested (the
// first reason wins).
void endSessionWithNewFlight(const SimLinkHooks& hooks);

// The simulator quit or the connection broke: unless a stop is already
// requested, logs "<clock> Flight Simulator no longer connected, CRVN will
// stop ..." and ends the session with SIM WAS CLOSED.
void reportSimDisconnected(const SimLinkHooks& hooks);

}  // namespace crv
