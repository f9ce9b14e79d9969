#include <fmt/format.h>

#include "traffic/motion/live_motion.h"

namespace crv {

std::string fmtNextPosGround(std::size_t pathSize, std::string_view errorText, std::string_view aircraftLine) {
  return fmt::format("{}: {} {}, sz:{}", "nextPosGround", errorText, aircraftLine, pathSize);
}

std::string fmtNextPosMain(std::size_t pathSize, std::string_view errorText, std::string_view aircraftLine,
                           std::string_view phase, std::string_view state) {
  return fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "nextPosMain", errorText, aircraftLine, pathSize, phase, state);
}

}  // namespace crv
