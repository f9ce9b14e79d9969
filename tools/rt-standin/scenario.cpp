#include "tools/rt-standin/scenario.h"

#include <cmath>
#include <fstream>
#include <stdexcept>

namespace crv::standin {

namespace {

constexpr std::size_t kLiveArraySize = 48;
// About 30 million years either side of 1970.
constexpr double kLatestStartEpochSeconds = 1e15;

std::string textMember(const nlohmann::json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) {
    return {};
  }
  if (!found->is_string()) {
    throw std::runtime_error(std::string("member '") + key + "' must be a text");
  }
  return found->get<std::string>();
}

double numberMember(const nlohmann::json& object, const char* key, double fallback) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return fallback;
  }
  if (!found->is_number()) {
    throw std::runtime_error(std::string("member '") + key + "' must be a number");
  }
  return found->get<double>();
}

FlightPoint readPoint(const nlohmann::json& point) {
  if (!point.is_array() || point.size() != 8) {
    throw std::runtime_error("a flight point must be an array of 8 values");
  }
  for (std::size_t i = 0; i < 7; ++i) {
    if (!point[i].is_number()) {
      throw std::runtime_error("flight point value " + std::to_string(i) + " must be a number");
    }
  }
  if (!point[7].is_boolean()) {
    throw std::runtime_error("flight point value 7 (on ground) must be true or false");
  }
  FlightPoint result;
  result.secondsFromStart = point[0].get<double>();
  result.latitude = point[1].get<double>();
  result.longitude = point[2].get<double>();
  result.altitudeFeet = point[3].get<double>();
  result.groundSpeedKnots = point[4].get<double>();
  result.trackDegrees = point[5].get<double>();
  result.verticalSpeedFpm = point[6].get<double>();
  result.onGround = point[7].get<bool>();
  return result;
}

double interpolate(double a, double b, double fraction) { return a + (b - a) * fraction; }

double interpolateTrack(double a, double b, double fraction) {
  double difference = std::fmod(b - a + 540.0, 360.0) - 180.0;
  double track = std::fmod(a + difference * fraction + 360.0, 360.0);
  return track;
}

nlohmann::json textOrNull(const std::string& text) { return text.empty() ? nlohmann::json("null") : nlohmann::json(text); }

}  // namespace

Scenario Scenario::fromJson(const nlohmann::json& document) {
  if (!document.is_object()) {
    throw std::runtime_error("a scenario must be a JSON object");
  }
  Scenario scenario;
  const double startEpoch = numberMember(document, "start_epoch", 0.0);
  if (!(std::fabs(startEpoch) <= kLatestStartEpochSeconds)) {
    throw std::runtime_error("'start_epoch' lies beyond any sensible time");
  }
  scenario.startEpochSeconds = static_cast<std::int64_t>(startEpoch);
  if (document.contains("guid")) scenario.guid = textMember(document, "guid");
  if (document.contains("server")) scenario.server = textMember(document, "server");
  if (document.contains("metar_station")) scenario.metarStation = textMember(document, "metar_station");
  scenario.qnhHpa = numberMember(document, "qnh", 1013.0);

  if (const auto flights = document.find("flights"); flights != document.end()) {
    if (!flights->is_array()) throw std::runtime_error("'flights' must be an array");
    for (const auto& item : *flights) {
      ScenarioFlight flight;
      flight.hexId = textMember(item, "hex");
      if (flight.hexId.empty()) throw std::runtime_error("every flight needs a 'hex' address");
      flight.callsign = textMember(item, "callsign");
      flight.icaoType = textMember(item, "type");
      flight.registration = textMember(item, "registration");
      flight.departure = textMember(item, "from");
      flight.destination = textMember(item, "to");
      if (const auto heard = item.find("heard_only_at_points"); heard != item.end()) {
        if (!heard->is_boolean()) {
          throw std::runtime_error("'heard_only_at_points' of flight " + flight.hexId + " must be true or false");
        }
        flight.heardOnlyAtPoints = heard->get<bool>();
      }
      const auto points = item.find("points");
      if (points == item.end() || !points->is_array() || points->empty()) {
        throw std::runtime_error("flight " + flight.hexId + " needs at least one point");
      }
      for (const auto& point : *points) {
        flight.points.push_back(readPoint(point));
        if (flight.points.size() > 1 &&
            flight.points.back().secondsFromStart <= flight.points[flight.points.size() - 2].secondsFromStart) {
          throw std::runtime_error("the point times of flight " + flight.hexId + " must ascend");
        }
      }
      scenario.flights.push_back(std::move(flight));
    }
  }
  if (const auto parked = document.find("parked"); parked != document.end()) {
    if (!parked->is_array()) throw std::runtime_error("'parked' must be an array");
    for (const auto& item : *parked) {
      ScenarioParked aircraft;
      aircraft.hexId = textMember(item, "hex");
      if (aircraft.hexId.empty()) throw std::runtime_error("every parked aircraft needs a 'hex' address");
      aircraft.latitude = numberMember(item, "lat", 0.0);
      aircraft.longitude = numberMember(item, "lon", 0.0);
      aircraft.parkingSpot = textMember(item, "spot");
      aircraft.icaoType = textMember(item, "type");
      aircraft.registration = textMember(item, "registration");
      aircraft.callsign = textMember(item, "callsign");
      aircraft.ageSeconds = numberMember(item, "age_s", 0.0);
      scenario.parked.push_back(std::move(aircraft));
    }
  }
  return scenario;
}

Scenario Scenario::load(const std::filesystem::path& path) {
  std::ifstream stream(path);
  if (!stream) {
    throw std::runtime_error("cannot open scenario file " + path.string());
  }
  nlohmann::json document = nlohmann::json::parse(stream, nullptr, false);
  if (document.is_discarded()) {
    throw std::runtime_error("scenario file " + path.string() + " is not valid JSON");
  }
  return fromJson(document);
}

std::optional<FlightPoint> flightStateAt(const ScenarioFlight& flight, double secondsFromStart) {
  const auto& points = flight.points;
  if (points.empty() || secondsFromStart < points.front().secondsFromStart ||
      secondsFromStart > points.back().secondsFromStart) {
    return std::nullopt;
  }
  for (std::size_t i = 1; i < points.size(); ++i) {
    const FlightPoint& a = points[i - 1];
    const FlightPoint& b = points[i];
    if (secondsFromStart > b.secondsFromStart) {
      continue;
    }
    if (flight.heardOnlyAtPoints) {
      return secondsFromStart < b.secondsFromStart ? a : b;
    }
    const double fraction = (secondsFromStart - a.secondsFromStart) / (b.secondsFromStart - a.secondsFromStart);
    FlightPoint state;
    state.secondsFromStart = secondsFromStart;
    state.latitude = interpolate(a.latitude, b.latitude, fraction);
    state.longitude = interpolate(a.longitude, b.longitude, fraction);
    state.altitudeFeet = interpolate(a.altitudeFeet, b.altitudeFeet, fraction);
    state.groundSpeedKnots = interpolate(a.groundSpeedKnots, b.groundSpeedKnots, fraction);
    state.trackDegrees = interpolateTrack(a.trackDegrees, b.trackDegrees, fraction);
    state.verticalSpeedFpm = interpolate(a.verticalSpeedFpm, b.verticalSpeedFpm, fraction);
    state.onGround = fraction < 0.5 ? a.onGround : b.onGround;
    state.reportsHeading = fraction < 0.5 ? a.reportsHeading : b.reportsHeading;
    state.reportsAltitude = fraction < 0.5 ? a.reportsAltitude : b.reportsAltitude;
    return state;
  }
  return points.back();
}

nlohmann::json liveTrafficArray(const ScenarioFlight& flight, const FlightPoint& state, double epochSeconds) {
  nlohmann::json array = nlohmann::json::array();
  for (std::size_t i = 0; i < kLiveArraySize; ++i) {
    array.push_back(nullptr);
  }
  array[0] = flight.hexId;
  array[1] = state.latitude;
  array[2] = state.longitude;
  array[3] = state.trackDegrees;
  if (!state.reportsAltitude) {
    array[4] = nullptr;
  } else {
    array[4] = state.onGround ? nlohmann::json(0) : nlohmann::json(std::round(state.altitudeFeet));
  }
  array[5] = state.groundSpeedKnots;
  array[6] = 0;  // squawk
  array[7] = "standin";
  array[8] = flight.icaoType.empty() ? nlohmann::json("0") : nlohmann::json(flight.icaoType);
  array[9] = textOrNull(flight.registration);
  array[10] = epochSeconds;
  array[11] = textOrNull(flight.departure);
  array[12] = textOrNull(flight.destination);
  array[13] = textOrNull(flight.callsign);
  array[14] = state.onGround ? 1 : 0;
  array[15] = state.verticalSpeedFpm;
  array[16] = flight.callsign;
  array[17] = "adsb_icao";
  array[18] = state.onGround || !state.reportsAltitude ? nlohmann::json(nullptr)
                                                       : nlohmann::json(std::round(state.altitudeFeet));
  array[20] = -1;
  array[23] = 0;
  if (state.reportsHeading) {
    array[25] = state.trackDegrees;
  }
  array[28] = "A3";
  return array;
}

nlohmann::json liveTrafficData(const Scenario& scenario, const AreaBox& box, std::int64_t startEpoch,
                               double epochSeconds) {
  nlohmann::json data = nlohmann::json::object();
  const double secondsFromStart = epochSeconds - static_cast<double>(startEpoch);
  for (const ScenarioFlight& flight : scenario.flights) {
    const auto state = flightStateAt(flight, secondsFromStart);
    if (state && box.contains(state->latitude, state->longitude)) {
      const double heardAt =
          flight.heardOnlyAtPoints ? static_cast<double>(startEpoch) + state->secondsFromStart : epochSeconds;
      data[flight.hexId] = liveTrafficArray(flight, *state, heardAt);
    }
  }
  return data;
}

nlohmann::json parkedTrafficData(const Scenario& scenario, const AreaBox& box, double epochSeconds) {
  nlohmann::json data = nlohmann::json::object();
  for (const ScenarioParked& aircraft : scenario.parked) {
    if (!box.contains(aircraft.latitude, aircraft.longitude)) {
      continue;
    }
    data[aircraft.hexId] = nlohmann::json::array({
        aircraft.latitude, aircraft.longitude, aircraft.parkingSpot, aircraft.icaoType,
        textOrNull(aircraft.registration), std::llround(epochSeconds - aircraft.ageSeconds),
        textOrNull(aircraft.callsign)});
  }
  return data;
}

}  // namespace crv::standin
