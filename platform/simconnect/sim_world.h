#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/simconnect/sim_object.h"
#include "platform/simconnect/simconnect.h"

namespace platform {

// What the simulator tells about itself in its OPEN message.
struct SimulatorIdentity {
  std::string applicationName;
  DWORD versionMajor = 0;
  DWORD versionMinor = 0;
  DWORD buildMajor = 0;
  DWORD buildMinor = 0;
};

SimulatorIdentity msfs2020Identity();  // "KittyHawk"
SimulatorIdentity msfs2024Identity();  // "SunRise"

// The object id of the user aircraft; every object the stand-in makes has a
// larger one.
inline constexpr DWORD kStandInUserObjectId = 1;
inline constexpr DWORD kStandInFirstObjectId = 100;

// An airport's ground: flat at its elevation within its radius.
struct GroundArea {
  double latitudeDegrees = 0.0;
  double longitudeDegrees = 0.0;
  double elevationFeet = 0.0;
  double radiusMeters = 10000.0;
};

// The simulated world at the start.
struct SimWorld {
  SimulatorIdentity identity = msfs2020Identity();
  bool simulatorRunning = true;          // false: SimConnect_Open fails
  bool flightRunning = true;             // the "Sim" event's data
  double frameRate = 30.0;               // frames per second; 0 sends no frames
  std::int64_t utcSeconds = 1735732800;  // the simulator's UTC when the clock reads 0
  std::size_t maxObjects = 1000;         // objects beyond it are refused (exception 11)
  SimObjectState userAircraft = defaultUserAircraft();
  // The ground under the objects: the first area that holds a position, else
  // a flat field at the user aircraft's ground altitude.
  std::vector<GroundArea> airports;

  static SimObjectState defaultUserAircraft();
};

class SimWorldError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a world from JSON text; throws SimWorldError naming the bad member.
// Every member may be left out (the defaults above hold); unknown members
// are refused, so that a misspelt one does not pass unnoticed:
//   {"simulator": 2024,              2020 or 2024 (number or text)
//    "applicationName": "SunRise",   overrides the name in the OPEN message
//    "simulatorRunning": true, "flightRunning": true,
//    "frameRate": 30, "utcSeconds": 1735689610, "maxObjects": 1000,
//    "userAircraft": {"latitude": 47.46, "longitude": 8.55, "altitudeFeet": 1416,
//                     "groundAltitudeFeet": 1416, "altitudeAboveGroundFeet": 0,
//                     "headingDegrees": 280, "pitchDegrees": 0, "bankDegrees": 0,
//                     "groundSpeedKnots": 0, "onGround": true, "lightStates": 0,
//                     "title": "...", "atcModel": "A320", "atcId": "HB-XYZ"},
//    "airports": [{"latitude": 47.46, "longitude": 8.55, "elevationFeet": 1416,
//                  "radiusMeters": 10000}]}
SimWorld parseSimWorld(std::string_view json);

// Reads a world file; throws SimWorldError with the file name in the text.
SimWorld loadSimWorldFile(const std::filesystem::path& path);

// The environment variable that names the world file outside the tests.
inline constexpr const char* kSimWorldVariable = "CRVN_SIM_WORLD";

}  // namespace platform
