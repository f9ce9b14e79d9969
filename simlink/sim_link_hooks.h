#pragma once

// What the simulator link needs of the layers above it (the engine, the
// session, the main window), as callbacks. Each may be empty.

#include <cstdint>
#include <functional>
#include <string>

#include "simlink/link_event.h"

namespace crv {

// The session's exit reasons that the link causes, with the session's numbers.
enum class LinkExitReason : std::uint32_t {
  simWasClosed = 1,
  newFlight = 2,
};

struct SimLinkHooks {
  // The engine's pushSimEvent (any thread; takes simEventMutex).
  std::function<void(const LinkEvent&)> pushSimEvent;
  // Called only by the part of the link that raised stopRequested first:
  // records the session's exit reason.
  std::function<void(LinkExitReason)> recordExitReason;
  // The user's aircraft stands on this stand of the park airport (at a new
  // flight and when the link ends): the session worker updates the park
  // airport's entry and my_park_airports.txt.
  std::function<void(const std::string& standName)> rememberUserStand;
  // The simulator area of the main window's status panel changed.
  std::function<void()> repaintSimArea;
};

}  // namespace crv
