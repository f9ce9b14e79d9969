#include <fmt/format.h>

#include "traffic/motion/live_motion.h"
#include "traffic/record_labels.h"

namespace crv {

std::string fmtNextPosGround(std::size_t pathSize, std::string_view errorText, std::string_view aircraftLine) {
  return fmt::format("{}: {} {}, sz:{}", "nextPosGround", errorText, aircraftLine, pathSize);
}

std::string fmtNextPosMain(std::size_t pathSize, std::string_view errorText, std::string_view aircraftLine,
                           std::string_view phase, std::string_view state) {
  return fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "nextPosMain", errorText, aircraftLine, pathSize, phase, state);
}

std::string fmtMakesWayFor(std::string_view standLabel, const AircraftIdentity& staticAircraft,
                           const AircraftIdentity& liveAircraft) {
  const bool sameAircraft =
      (!staticAircraft.callsign.empty() && staticAircraft.callsign == liveAircraft.callsign) ||
      (!staticAircraft.registration.empty() && staticAircraft.registration == liveAircraft.registration);
  return fmt::format("{:8}: {:8} {} makes way for{} {} {}", standLabel, staticAircraft.callsign,
                     formatAirlineType(staticAircraft), " " + liveAircraft.callsign, formatAirlineType(liveAircraft),
                     sameAircraft ? " the same live version" : "");
}

}  // namespace crv
