#pragma once

// The ground under the simulator's objects: how high it lies at a position
// and whether an object at its altitude stands on it.

#include <vector>

#include "platform/simconnect/sim_object.h"
#include "platform/simconnect/sim_world.h"

namespace platform {

// An object counts as on the ground while its altitude lies at most this far
// above the ground plus the height of its centre of gravity on its wheels.
inline constexpr double kGroundContactToleranceFeet = 1.0;

// The elevation of the first airport that holds the position, else the
// field's elevation.
double groundElevationFeet(const std::vector<GroundArea>& airports, double fieldElevationFeet,
                           double latitudeDegrees, double longitudeDegrees);

// Sets the object's ground altitude, its height above the ground and its
// ground contact from its altitude over the given ground.
void feelGround(SimObjectState& state, double groundElevationFeet);

}  // namespace platform
