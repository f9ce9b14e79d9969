#pragma once

// The simulator calls that the traffic engine makes itself, outside the
// queues. The link's connection implements them; tests record them. Each
// returns false when the simulator refused the call. The link's connection
// (simlink/sim_connection.h) takes simConnectMutex inside every call, so
// call them without holding it.

#include <cstdint>

namespace crv {

// Data definition 401, in percent.
struct SpoilersThrottleBlock {
  double spoilersHandle = 0.0;
  double throttleLever1 = 0.0;
  double throttleLever2 = 0.0;
};
static_assert(sizeof(SpoilersThrottleBlock) == 24);

class SimRequests {
 public:
  virtual ~SimRequests() = default;

  // Request 101: every aircraft within the radius (definition 404).
  virtual bool requestAircraftInRange(std::uint32_t radiusMeters) = 0;
  // Request 102: the static centre of gravity of one object, once (definition 405).
  virtual bool requestStaticCg(std::uint32_t objectId) = 0;
  // ALL_LIGHTS_TOGGLE (213) to one object in notification group 301.
  virtual bool transmitAllLightsToggle(std::uint32_t objectId) = 0;
  // Writes definition 401 to one object.
  virtual bool writeSpoilersThrottle(std::uint32_t objectId, const SpoilersThrottleBlock& block) = 0;
};

}  // namespace crv
