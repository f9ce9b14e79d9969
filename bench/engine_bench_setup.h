#pragma once

// What the engine benchmarks share: an engine without stands and the static
// aircraft of its tables.

#include <cstdint>
#include <string>
#include <utility>

#include "traffic/traffic_engine.h"

namespace crv {

inline EngineConfig benchEngineConfig(std::string callsignListFile) {
  EngineConfig config;
  config.stands = nullptr;
  config.callsignListFile = std::move(callsignListFile);
  return config;
}

// A static B738 already shown in the simulator: callsign "S<index>*", key
// and stand index + 1.
inline void addShownStaticAc(TrafficEngine& engine, std::uint32_t index, std::uint32_t objectId) {
  AircraftIdentity identity;
  identity.callsign = "S" + std::to_string(index) + "*";
  identity.icaoType = "B738";
  AircraftBase base = buildAircraftObject(identity);
  base.key = 1 + index;
  StaticAc aircraft = makeStaticAc(base, index + 1, {50.0, 8.0, 0.0}, false);
  aircraft.state = SimState::active;
  aircraft.objectId = objectId;
  engine.addStaticAc(std::move(aircraft));
}

}  // namespace crv
