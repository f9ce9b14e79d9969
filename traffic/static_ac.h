#pragma once

#include <cstdint>
#include <string>

#include "aircraftdata/aircraft_base.h"
#include "traffic/flight_vocabulary.h"
#include "traffic/live_ac.h"

namespace crv {

// A static parked aircraft placed on a stand of the park airport.
struct StaticAc {
  AircraftBase base;
  std::uint32_t objectId = 0;
  double standLatitude = 0.0;
  double standLongitude = 0.0;
  double standHeadingRadians = 0.0;
  std::uint64_t slot = 0;              // packed DaySlot of the placement
  std::uint32_t feedAddress = 0;       // ICAO address of the parked-traffic record; 0 from usage
  std::uint32_t standId = 0;
  SimState state = SimState::buffer;
  std::uint32_t throttleIndex = kThrottleIndexUnset;
  std::uint32_t flapsIndex = kFlapsIndexUnset;
  bool standCargo = false;             // set: no cabin light when parked
  std::uint32_t fromUsage = 1;         // 1 from learned usage, 0 from parked traffic
  bool removeOnceCreated = false;
  bool dropFromBuffer = false;
  bool createCancelled = false;
  // The log line of a removal that waits for its object to be bound.
  std::string removalLine;

  bool eraseRequested() const { return dropFromBuffer || createCancelled; }
};

struct StandPlace {
  double latitude = 0.0;
  double longitude = 0.0;
  double headingRadians = 0.0;
};

StaticAc makeStaticAc(const AircraftBase& base, std::uint32_t standId, const StandPlace& stand, bool noCabinLight);

}  // namespace crv
