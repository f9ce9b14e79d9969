#include "platform/simconnect/sim_world.h"

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace platform {
namespace {

using nlohmann::json;

constexpr double kRadiansPerDegree = 0.017453292519943295;

void refuseUnknownMembers(const json& object, const std::set<std::string>& known, const std::string& where) {
  for (const auto& [key, value] : object.items()) {
    if (known.count(key) == 0) throw SimWorldError("unknown member '" + where + key + "'");
  }
}

double numberMember(const json& object, const char* key, const std::string& where, double fallback, double minimum,
                    double maximum) {
  if (!object.contains(key)) return fallback;
  const json& value = object.at(key);
  if (!value.is_number()) throw SimWorldError("'" + where + key + "' must be a number");
  const double number = value.get<double>();
  if (!std::isfinite(number) || number < minimum || number > maximum) {
    std::ostringstream text;
    text << "'" << where << key << "' must lie between " << minimum << " and " << maximum;
    throw SimWorldError(text.str());
  }
  return number;
}

bool boolMember(const json& object, const char* key, const std::string& where, bool fallback) {
  if (!object.contains(key)) return fallback;
  const json& value = object.at(key);
  if (!value.is_boolean()) throw SimWorldError("'" + where + key + "' must be true or false");
  return value.get<bool>();
}

std::string textMember(const json& object, const char* key, const std::string& where, const std::string& fallback) {
  if (!object.contains(key)) return fallback;
  const json& value = object.at(key);
  if (!value.is_string()) throw SimWorldError("'" + where + key + "' must be a text");
  return value.get<std::string>();
}

SimulatorIdentity identityOf(const json& value) {
  std::string name;
  if (value.is_number_integer()) {
    name = std::to_string(value.get<std::int64_t>());
  } else if (value.is_string()) {
    name = value.get<std::string>();
  }
  if (name == "2020") return msfs2020Identity();
  if (name == "2024") return msfs2024Identity();
  throw SimWorldError("'simulator' must be 2020 or 2024");
}

SimObjectState readUserAircraft(const json& object) {
  const std::string where = "userAircraft.";
  if (!object.is_object()) throw SimWorldError("'userAircraft' must be an object");
  refuseUnknownMembers(
      object,
      {"latitude", "longitude", "altitudeFeet", "altitudeAboveGroundFeet", "groundAltitudeFeet", "headingDegrees",
       "pitchDegrees", "bankDegrees", "groundSpeedKnots", "onGround", "lightStates", "title", "atcModel", "atcId"},
      where);
  SimObjectState state = SimWorld::defaultUserAircraft();
  state.latitudeDegrees = numberMember(object, "latitude", where, state.latitudeDegrees, -90.0, 90.0);
  state.longitudeDegrees = numberMember(object, "longitude", where, state.longitudeDegrees, -180.0, 180.0);
  state.groundAltitudeFeet =
      numberMember(object, "groundAltitudeFeet", where, state.groundAltitudeFeet, -2000.0, 30000.0);
  state.altitudeFeet = numberMember(object, "altitudeFeet", where, state.altitudeFeet, -2000.0, 100000.0);
  state.onGround = boolMember(object, "onGround", where, state.onGround);
  const double impliedAboveGround = state.onGround ? 0.0 : std::max(0.0, state.altitudeFeet - state.groundAltitudeFeet);
  state.altitudeAboveGroundFeet =
      numberMember(object, "altitudeAboveGroundFeet", where, impliedAboveGround, 0.0, 100000.0);
  state.headingRadians =
      numberMember(object, "headingDegrees", where, state.headingRadians / kRadiansPerDegree, 0.0, 360.0) *
      kRadiansPerDegree;
  state.pitchRadians =
      numberMember(object, "pitchDegrees", where, state.pitchRadians / kRadiansPerDegree, -90.0, 90.0) *
      kRadiansPerDegree;
  state.bankRadians = numberMember(object, "bankDegrees", where, state.bankRadians / kRadiansPerDegree, -180.0, 180.0) *
                      kRadiansPerDegree;
  state.groundSpeedKnots = numberMember(object, "groundSpeedKnots", where, state.groundSpeedKnots, 0.0, 5000.0);
  state.lightStates = static_cast<std::int64_t>(
      numberMember(object, "lightStates", where, static_cast<double>(state.lightStates), 0.0, 65535.0));
  state.title = textMember(object, "title", where, state.title);
  state.atcModel = textMember(object, "atcModel", where, state.atcModel);
  state.atcId = textMember(object, "atcId", where, state.atcId);
  return state;
}

std::vector<GroundArea> readAirports(const json& list) {
  if (!list.is_array()) throw SimWorldError("'airports' must be a list");
  std::vector<GroundArea> airports;
  for (std::size_t index = 0; index < list.size(); ++index) {
    const json& object = list[index];
    const std::string where = "airports[" + std::to_string(index) + "].";
    if (!object.is_object()) throw SimWorldError("'" + where.substr(0, where.size() - 1) + "' must be an object");
    refuseUnknownMembers(object, {"name", "latitude", "longitude", "elevationFeet", "radiusMeters"}, where);
    for (const char* required : {"latitude", "longitude", "elevationFeet"}) {
      if (!object.contains(required)) throw SimWorldError("'" + where + required + "' is missing");
    }
    textMember(object, "name", where, "");
    GroundArea area;
    area.latitudeDegrees = numberMember(object, "latitude", where, 0.0, -90.0, 90.0);
    area.longitudeDegrees = numberMember(object, "longitude", where, 0.0, -180.0, 180.0);
    area.elevationFeet = numberMember(object, "elevationFeet", where, 0.0, -2000.0, 30000.0);
    area.radiusMeters = numberMember(object, "radiusMeters", where, area.radiusMeters, 0.0, 200000.0);
    airports.push_back(area);
  }
  return airports;
}

}  // namespace

SimulatorIdentity msfs2020Identity() { return SimulatorIdentity{"KittyHawk", 11, 0, 282174, 999}; }

SimulatorIdentity msfs2024Identity() { return SimulatorIdentity{"SunRise", 12, 1, 291, 0}; }

SimObjectState SimWorld::defaultUserAircraft() {
  SimObjectState state;
  state.latitudeDegrees = 47.4612;
  state.longitudeDegrees = 8.5535;
  state.groundAltitudeFeet = 1416.0;
  state.altitudeFeet = 1416.0;
  state.altitudeAboveGroundFeet = 0.0;
  state.onGround = true;
  state.title = "Stand-in Airliner";
  state.atcModel = "A320";
  state.atcId = "HB-XYZ";
  return state;
}

SimWorld parseSimWorld(std::string_view text) {
  const json document = json::parse(text.begin(), text.end(), nullptr, false);
  if (document.is_discarded()) throw SimWorldError("not valid JSON");
  if (!document.is_object()) throw SimWorldError("the world must be a JSON object");
  refuseUnknownMembers(document,
                       {"simulator", "applicationName", "simulatorRunning", "flightRunning", "frameRate", "utcSeconds",
                        "maxObjects", "userAircraft", "airports"},
                       "");
  SimWorld world;
  if (document.contains("simulator")) world.identity = identityOf(document.at("simulator"));
  world.identity.applicationName = textMember(document, "applicationName", "", world.identity.applicationName);
  world.simulatorRunning = boolMember(document, "simulatorRunning", "", world.simulatorRunning);
  world.flightRunning = boolMember(document, "flightRunning", "", world.flightRunning);
  world.frameRate = numberMember(document, "frameRate", "", world.frameRate, 0.0, 1000.0);
  world.utcSeconds = static_cast<std::int64_t>(
      numberMember(document, "utcSeconds", "", static_cast<double>(world.utcSeconds), 0.0, 32503680000.0));
  world.maxObjects = static_cast<std::size_t>(
      numberMember(document, "maxObjects", "", static_cast<double>(world.maxObjects), 0.0, 100000.0));
  if (document.contains("userAircraft")) world.userAircraft = readUserAircraft(document.at("userAircraft"));
  if (document.contains("airports")) world.airports = readAirports(document.at("airports"));
  return world;
}

SimWorld loadSimWorldFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw SimWorldError("simulator world file '" + path.string() + "' cannot be read");
  std::ostringstream content;
  content << file.rdbuf();
  try {
    return parseSimWorld(content.str());
  } catch (const SimWorldError& error) {
    throw SimWorldError("simulator world file '" + path.string() + "': " + error.what());
  }
}

}  // namespace platform
