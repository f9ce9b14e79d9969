#pragma once

#include <cstdint>

#include "simlink/link_event.h"

namespace crv {

// A report to the engine from the simulator link or the feed, as the engine
// keeps it while it works on it.
struct SimEvent {
  std::uint32_t objectId = 0;
  std::uint32_t key = 0;      // aircraft key; for ground information the on-ground flag
  std::uint32_t rounds = 0;   // steps of a deferred event; kFinishedRounds when done
  SimEventType type = SimEventType::boundLive;
  double value1 = 0.0;
  double value2 = 0.0;
};

inline constexpr std::uint32_t kFinishedRounds = 0xFFFFFFFFU;

// The link's report as the engine's event.
inline SimEvent simEventFrom(const LinkEvent& event) {
  return {event.objectId, event.key, 0, event.type, event.value1, event.value2};
}

}  // namespace crv
