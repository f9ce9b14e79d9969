#pragma once

#include <cstdint>

namespace crv {

// What the traffic engine hears from the simulator link (and, for a blocked
// callsign, from the feed).
enum class SimEventType : std::uint32_t {
  boundLive = 0,        // a new object was bound to a live aircraft (key above 10000)
  boundStatic = 1,      // a new object was bound to a static aircraft (key 10000 or less)
  removed = 2,          // the simulator removed the object
  groundInfo = 3,       // key = SIM ON GROUND; value 1 ground altitude, value 2 height above ground (ft)
  staticCg = 4,         // value 1 static CG to ground (ft), value 2 static pitch (rad)
  blockedCallsign = 5,  // the user's blocked callsign was seen: remove that aircraft (feed)
  createFailed = 6,     // the simulator refused the create of the aircraft with this key
};

// One report of the link; the hooks turn it into the engine's SimEvent.
struct LinkEvent {
  std::uint32_t objectId = 0;
  std::uint32_t key = 0;
  SimEventType type = SimEventType::boundLive;
  double value1 = 0.0;
  double value2 = 0.0;

  friend bool operator==(const LinkEvent&, const LinkEvent&) = default;
};

}  // namespace crv
