#pragma once

#include <cstdint>
#include <string>

namespace crv {

// One static aircraft chosen for a stand and not yet placed.
struct PendingStatic {
  std::uint32_t address = 0;    // ICAO address of the parked-traffic record; 0 from learned usage
  std::uint32_t fromUsage = 1;  // 1 from learned usage, 0 from the feed's parked traffic
  std::uint32_t standId = 0;
  std::uint32_t ageHalfHours = 0;  // since the aircraft arrived on the stand
  std::string airline;
  std::string icaoType;
  std::string callsign;
  std::string secondCallsign;  // the coupled callsign; empty for parked traffic
  std::string registration;
  // Still parked in the next half hour: the callsign applies, else the second one.
  bool continues = true;
  // The engine tick from which the entry waits for a static aircraft on or
  // next to its stand to leave the simulator; -1 while it does not wait.
  std::int64_t waitingSinceTick = -1;
};

}  // namespace crv
