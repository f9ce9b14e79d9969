#include "feed/live_decoder.h"

#include <fmt/format.h>

#include <cmath>
#include <stdexcept>

#include "aircraftdata/non_aircraft_types.h"
#include "feed/json_reading.h"
#include "feed/record_decoding.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/status_line.h"

namespace crv {

namespace {

// Array indexes of the live traffic array.
enum LiveIndex : std::size_t {
  kHexId = 0,
  kLatitude = 1,
  kLongitude = 2,
  kTrack = 3,
  kBaroAltitude = 4,
  kGroundSpeed = 5,
  kIcaoType = 8,
  kRegistration = 9,
  kTimestamp = 10,
  kDeparture = 11,
  kDestination = 12,
  kCallsign = 13,
  kVerticalSpeed = 15,
  kSource = 17,
  kGeoAltitude = 18,
  kTrueAirspeed = 20,
  kRoll = 23,
  kTrueHeading = 25,
  kEmitterCategory = 28,
};

constexpr double kGroundCheckCeilingFeet = 14000.0;
constexpr double kStandstillKnots = 35.0;

std::string textOrEmptyForNull(const nlohmann::json& value) {
  const std::string& text = jsonText(value);
  return text == "null" ? std::string() : text;
}

bool isOnGround(double altitude, double speed, double elevation) {
  const double height = altitude - elevation;
  const double above = std::fabs(height);
  return height <= 0.0 || (above <= 45.0 && speed <= 120.0) || (above <= 90.0 && speed <= 80.0) ||
         (above <= 120.0 && speed <= 43.0);
}

double decodeAltitude(const nlohmann::json& array, const LiveDecodeContext& context, double speed) {
  const nlohmann::json& baro = jsonAt(array, kBaroAltitude);
  const nlohmann::json& geometric = jsonAt(array, kGeoAltitude);
  double altitude = 0.0;
  if (baro.is_number()) {
    altitude = jsonNumber(baro);
  } else if (geometric.is_number()) {
    altitude = jsonNumber(geometric);
  }
  if (altitude > 0.0) {
    altitude = std::max(0.0, altitude + (context.qnhHpa - 1013) * 30.0);
    if (altitude > 0.0 && altitude < kGroundCheckCeilingFeet &&
        isOnGround(altitude, speed, context.parkElevationFeet.value_or(kNoParkElevationFeet))) {
      altitude = 0.0;
    }
    if (speed <= kStandstillKnots) {
      altitude = 0.0;
    }
  }
  return altitude > 0.0 ? altitude : 0.0;
}

void showStatus(const std::string& text) { setStatusLine(text, true); }

// False when the aircraft is to be dropped.
bool checkCallsign(const nlohmann::json& array, const LiveDecodeContext& context, LiveDecodeState& state,
                   LiveTrafficRecord& record) {
  std::string callsign = jsonText(jsonAt(array, kCallsign));
  if (callsign == "null" || callsign.find('@') != std::string::npos) {
    callsign.clear();
  }
  if (callsign == "ERARMTR0" || callsign == "AIRPORT1") {
    return false;
  }
  if (!context.blockedCallsign.empty() && context.blockedCallsign == callsign) {
    if (state.blockedReportArmed) {
      state.blockedReportArmed = false;
      state.lastBlockedCallsign = context.blockedCallsign;
      if (context.hooks != nullptr && context.hooks->reportBlockedCallsign) {
        context.hooks->reportBlockedCallsign(record.key);
      }
      showStatus("Reader: Live aircraft " + state.lastBlockedCallsign + " blocked");
    } else if (context.blockedCallsign != state.lastBlockedCallsign) {
      showStatus("Reader: Live aircraft " + state.lastBlockedCallsign + " no longer blocked");
      state.blockedReportArmed = true;
      state.lastBlockedCallsign.clear();
    }
    return false;
  }
  record.identity.callsign = std::move(callsign);
  return true;
}

bool decode(const nlohmann::json& array, const LiveDecodeContext& context, LiveDecodeState& state,
            LiveTrafficRecord& record) {
  record.timestamp = jsonNumber(jsonAt(array, kTimestamp));
  state.latestTimestamp = record.timestamp;

  const std::string& registration = jsonText(jsonAt(array, kRegistration));
  if (registration.size() > kMaximumRegistrationLength) {
    return false;
  }
  record.identity.registration = registration == "null" ? std::string() : registration;

  record.identity.airline.clear();
  const std::string& icaoType = jsonText(jsonAt(array, kIcaoType));
  record.identity.icaoType = (icaoType == "0" || icaoType == "ZZZZ") ? std::string() : icaoType;

  const std::string& category = jsonText(jsonAt(array, kEmitterCategory));
  if (!isAircraftToInject(record.identity, category)) {
    return false;
  }

  record.latitude = jsonNumber(jsonAt(array, kLatitude));
  record.longitude = jsonNumber(jsonAt(array, kLongitude));
  if (!isPlausiblePosition(record.latitude, record.longitude)) {
    throw Implausible("lalo: " + formatLatLon(record.latitude, record.longitude));
  }
  if (gf_distanceNm(context.ownPosition, {record.latitude, record.longitude}) > context.rangeNm) {
    return false;
  }

  if (jsonText(jsonAt(array, kSource)) == "adsb_icao") {
    // Only a reported number is a heading; a missing one gives none.
    const nlohmann::json& headingValue = jsonAt(array, kTrueHeading);
    if (headingValue.is_number()) {
      const double heading = jsonNumber(headingValue);
      if (heading > 360.0) {
        throw Implausible(fmt::format("true heading: {:.2F}", heading));
      }
      if (heading == 0.0) {
        record.trueHeadingRadians = kFullCircle;
      } else if (heading > 0.0) {
        record.trueHeadingRadians = heading * kDegreesToRadians;
      }
      record.hasTrueHeading = record.trueHeadingRadians.has_value();
    }
  }

  const auto key = parseHexId(jsonText(jsonAt(array, kHexId)));
  if (!key || *key <= kLastStaticKey) {
    return false;
  }
  record.key = *key;

  record.speedKnots = jsonNumber(jsonAt(array, kGroundSpeed));
  if (!(record.speedKnots >= 0.0 && record.speedKnots <= kMaximumGroundSpeedKnots)) {
    throw Implausible(fmt::format("ground speed: {:.2F}", record.speedKnots));
  }
  record.altitudeFeet = decodeAltitude(array, context, record.speedKnots);
  if (record.altitudeFeet > kMaximumAltitudeFeet) {
    throw Implausible(fmt::format("altitude: {:.2F}", record.altitudeFeet));
  }
  record.airborne = record.altitudeFeet > 0.0;

  if (!checkCallsign(array, context, state, record)) {
    return false;
  }
  if (record.identity.registration.empty() && record.identity.callsign.empty()) {
    return false;
  }
  if (context.buffering) {
    if (!record.identity.callsign.empty()) {
      state.bufferedCallsigns.insert(record.identity.callsign);
    }
    state.bufferedKeys.insert(record.key);
  }
  if (!record.airborne) {
    if (!context.parkAirport ||
        gf_distanceNm(*context.parkAirport, {record.latitude, record.longitude}) > kGroundTrafficRadiusNm) {
      return false;
    }
  }

  record.trackDegrees = jsonNumber(jsonAt(array, kTrack));
  if (record.trackDegrees == 0.0 && record.trueHeadingRadians) {
    record.trackDegrees = *record.trueHeadingRadians * kRadiansToDegrees;
  }
  if (!(record.trackDegrees >= 0.0 && record.trackDegrees <= 360.0)) {
    throw Implausible(fmt::format("track: {:.2F}", record.trackDegrees));
  }
  record.verticalSpeedFpm = jsonNumber(jsonAt(array, kVerticalSpeed));
  if (!(std::fabs(record.verticalSpeedFpm) <= kMaximumVerticalSpeedFpm)) {
    throw Implausible(fmt::format("vertical speed: {:.2F}", record.verticalSpeedFpm));
  }
  record.identity.departure = textOrEmptyForNull(jsonAt(array, kDeparture));
  record.identity.destination = textOrEmptyForNull(jsonAt(array, kDestination));

  if (record.airborne) {
    const nlohmann::json& roll = jsonAt(array, kRoll);
    if (roll.is_number()) {
      const double value = jsonNumber(roll);
      if (value != 0.0 && value != -1.0 && std::fabs(value) <= kMaximumBankDegrees) {
        record.bankRadians = -value * kDegreesToRadians;
      }
    }
  }

  const nlohmann::json& trueAirspeed = jsonAt(array, kTrueAirspeed);
  if (trueAirspeed.is_number() && jsonNumber(trueAirspeed) >= 0.0 &&
      jsonNumber(trueAirspeed) <= kMaximumTrueAirspeedKnots) {
    record.trueAirspeedKnots = jsonNumber(trueAirspeed);
  } else {
    record.trueAirspeedKnots = defaultTrueAirspeedKnots(record.altitudeFeet);
  }
  record.stationary = false;
  return true;
}

}  // namespace

bool isPlausiblePosition(double latitude, double longitude) {
  if (latitude < -90.0 || latitude > 90.0 || longitude < -180.0 || longitude > 180.0) {
    return false;
  }
  return !(std::fabs(latitude) <= 0.0001 && std::fabs(longitude) <= 0.0001);
}

std::string formatLatLon(double latitude, double longitude) { return fmt::format("{:.6f},{:.6f}", latitude, longitude); }

double defaultTrueAirspeedKnots(double altitudeFeet) {
  if (altitudeFeet <= 2000.0) return 180.0;
  if (altitudeFeet <= 5000.0) return 220.0;
  if (altitudeFeet <= 10000.0) return 250.0;
  if (altitudeFeet <= 20000.0) return 350.0;
  return 430.0;
}

void processLine(const nlohmann::json& array, const LiveDecodeContext& context, LiveDecodeState& state,
                 std::vector<LiveTrafficRecord>& records) {
  keepDecodedRecord(records, "processLine", gf_logLine,
                    [&](LiveTrafficRecord& record) { return decode(array, context, state, record); });
}

}  // namespace crv
