#pragma once

#include <cstdint>
#include <string>

#include "simlink/ai_position_block.h"

namespace crv {

// Where a new AI aircraft appears; the layout of the simulator's initial
// position (degrees and feet).
struct InitPosition {
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  double pitchDegrees = 0.0;
  double bankDegrees = 0.0;
  double headingDegrees = 0.0;
  std::uint32_t onGround = 0;      // 1 on the ground
  std::uint32_t airspeedKnots = 0;
};
static_assert(sizeof(InitPosition) == 56);

// One AI aircraft to create.
struct CreateRequest {
  InitPosition position;
  std::string callsign;     // sent as the tail number; recognises the new object
  std::string liveryTitle;
  std::uint32_t key = 0;    // above 10000 live, at most 10000 static
};

// One position to send: definition 402 for one object.
struct PositionUpdate {
  AiPositionBlock block;
  std::uint32_t objectId = 0;
};

// One client event to send to one object.
struct ClientEventRecord {
  std::uint32_t objectId = 0;
  std::uint32_t eventId = 0;
  std::uint32_t value = 0;

  friend bool operator==(const ClientEventRecord&, const ClientEventRecord&) = default;
};

// The seven light switches that setLights sends, 1 on and 0 off.
struct LightSwitches {
  std::uint32_t nav = 0;
  std::uint32_t beacon = 0;
  std::uint32_t landing = 0;
  std::uint32_t taxi = 0;
  std::uint32_t strobes = 0;
  std::uint32_t logo = 0;
  std::uint32_t cabin = 0;
};

}  // namespace crv
