#pragma once

// The world that the RealTraffic stand-in reports: flights as timed points and
// parked aircraft around an airport, the nearest weather station and its QNH.
//
// A scenario file is one JSON object:
//   {
//     "start_epoch": 0,               // seconds since 1970 of scenario second 0;
//                                     // 0 = the moment the stand-in starts
//     "guid": "...", "server": "...", // what the login answers
//     "metar_station": "EHAM", "qnh": 1013,
//     "flights": [ { "hex": "484f6d", "callsign": "KLM1234", "type": "B738",
//                    "registration": "PH-BXA", "from": "EHAM", "to": "EGLL",
//                    "points": [ [t, lat, lon, alt_ft, gs_kt, track_deg,
//                                 vs_fpm, on_ground], ... ],
//                    "heard_only_at_points": false } ],  // optional
//     "parked":  [ { "hex": "4840d6", "lat": 52.30, "lon": 4.77, "spot": "D4",
//                    "type": "B744", "registration": "PH-BFA",
//                    "callsign": "KLM591", "age_s": 600 } ]
//   }
// Point times are seconds from scenario second 0 and ascend.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace crv::standin {

struct FlightPoint {
  double secondsFromStart = 0.0;
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  double groundSpeedKnots = 0.0;
  double trackDegrees = 0.0;
  double verticalSpeedFpm = 0.0;
  bool onGround = false;
  // Many transponders on the ground (a push back) send no true heading.
  bool reportsHeading = true;
  // Many receivers send no altitude on the surface.
  bool reportsAltitude = true;
};

struct ScenarioFlight {
  std::string hexId;
  std::string callsign;
  std::string icaoType;
  std::string registration;
  std::string departure;
  std::string destination;
  std::vector<FlightPoint> points;
  // As a real feed knows a flight: by the last point heard, with that
  // point's own time, until the next is heard; the points are then the
  // records themselves, as irregular as the receivers heard them. Otherwise
  // the flight is interpolated between its points at every request.
  bool heardOnlyAtPoints = false;
};

struct ScenarioParked {
  std::string hexId;
  double latitude = 0.0;
  double longitude = 0.0;
  std::string parkingSpot;
  std::string icaoType;
  std::string registration;
  std::string callsign;
  double ageSeconds = 0.0;
};

struct AreaBox {
  double top = 0.0;
  double bottom = 0.0;
  double left = 0.0;
  double right = 0.0;

  bool contains(double latitude, double longitude) const {
    return latitude <= top && latitude >= bottom && longitude >= left && longitude <= right;
  }
};

struct Scenario {
  std::int64_t startEpochSeconds = 0;
  std::string guid = "c0ffee00-5eed-4a11-b0a7-000000000001";
  std::string server = "rt-standin";
  std::string metarStation = "EHAM";
  double qnhHpa = 1013.0;
  std::vector<ScenarioFlight> flights;
  std::vector<ScenarioParked> parked;

  // Throws std::runtime_error naming what is wrong.
  static Scenario fromJson(const nlohmann::json& document);
  static Scenario load(const std::filesystem::path& path);
};

// The state of a flight at a scenario second, interpolated between its
// points (the last point heard when it is heard only at its points); none
// before its first or after its last point.
std::optional<FlightPoint> flightStateAt(const ScenarioFlight& flight, double secondsFromStart);

// The 48-value array of a live aircraft as the service sends it.
nlohmann::json liveTrafficArray(const ScenarioFlight& flight, const FlightPoint& state,
                                double epochSeconds);

// The "data" object of a locationtraffic answer: the aircraft in the box at
// the time.
nlohmann::json liveTrafficData(const Scenario& scenario, const AreaBox& box, std::int64_t startEpoch,
                               double epochSeconds);

// The "data" object of a parkedtraffic answer.
nlohmann::json parkedTrafficData(const Scenario& scenario, const AreaBox& box, double epochSeconds);

}  // namespace crv::standin
