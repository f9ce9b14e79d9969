#pragma once

#include <string>

namespace crv {

// The identity at the head of every traffic record and aircraft record. It is
// handed on by moving (a moved-from identity keeps empty texts).
struct AircraftIdentity {
  std::string airline;         // ICAO airline code; "PVT" set by the engine when none
  std::string icaoType;        // ICAO type designator
  std::string departure;       // departure airport code
  std::string destination;     // destination airport code
  std::string callsign;
  std::string secondCallsign;  // the engine's copy of the callsign, later the first coupled callsign
  std::string thirdCallsign;   // the second coupled callsign
  std::string registration;    // tail number
  // Raised once the coupled callsigns of the aircraft have been searched;
  // false on every record the feed decodes.
  bool coupledCallsignSearched = false;
};

}  // namespace crv
