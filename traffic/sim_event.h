#pragma once

#include <cstdint>

namespace crv {

// What a SimEvent reports.
enum class SimEventType : std::uint32_t {
  boundLive = 0,        // a new object was bound to a live aircraft
  boundStatic = 1,      // a new object was bound to a static aircraft
  removed = 2,          // the simulator removed the object
  groundInfo = 3,       // key = on-ground flag, value 1 ground altitude, value 2 height above ground
  staticCg = 4,         // value 1 static CG height (ft), value 2 static pitch (rad)
  blockedCallsign = 5,  // the user's blocked callsign was seen: remove that aircraft
  createFailed = 6,     // the create of the aircraft with this key failed
};

// A report to the engine from the simulator link or the feed.
struct SimEvent {
  std::uint32_t objectId = 0;
  std::uint32_t key = 0;      // aircraft key; for ground information the on-ground flag
  std::uint32_t rounds = 0;   // steps of a deferred event; kFinishedRounds when done
  SimEventType type = SimEventType::boundLive;
  double value1 = 0.0;
  double value2 = 0.0;
};

inline constexpr std::uint32_t kFinishedRounds = 0xFFFFFFFFU;

}  // namespace crv
