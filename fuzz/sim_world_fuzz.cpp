// The CRVN_SIM_WORLD file: a world is read whole or refused with
// SimWorldError, and an accepted world holds only values in its ranges.

#include <cmath>

#include "fuzz/support/fuzz_support.h"
#include "platform/simconnect/sim_world.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  platform::SimWorld world;
  try {
    world = platform::parseSimWorld(crv::fuzz::inputText(data, size));
  } catch (const platform::SimWorldError&) {
    return 0;
  }
  require(world.frameRate >= 0.0 && world.frameRate <= 1000.0, "frame rate within 0..1000");
  require(world.utcSeconds >= 0, "simulator time not before 1970");
  require(world.maxObjects <= 100000, "object limit within 0..100000");
  const auto& user = world.userAircraft;
  require(std::fabs(user.latitudeDegrees) <= 90.0 && std::fabs(user.longitudeDegrees) <= 180.0,
          "user aircraft on the globe");
  require(std::isfinite(user.altitudeFeet) && std::isfinite(user.groundAltitudeFeet) &&
              std::isfinite(user.headingRadians) && std::isfinite(user.groundSpeedKnots),
          "user aircraft numbers finite");
  return 0;
}
