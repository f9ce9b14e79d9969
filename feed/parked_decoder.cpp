#include "feed/parked_decoder.h"

#include <fmt/format.h>

#include <cmath>
#include <stdexcept>

#include "aircraftdata/type_lookups.h"
#include "feed/json_reading.h"
#include "feed/live_decoder.h"
#include "feed/record_decoding.h"
#include "foundation/clock.h"
#include "foundation/log.h"

namespace crv {

namespace {

enum ParkedIndex : std::size_t {
  kLatitude = 0,
  kLongitude = 1,
  kParkingSpot = 2,
  kIcaoType = 3,
  kRegistration = 4,
  kReportTime = 5,
  kCallsign = 6,
};

constexpr std::size_t kMaximumCallsignLength = 8;

std::int64_t reportedSeconds(const nlohmann::json& value) {
  if (value.is_number_integer()) {
    return value.is_number_unsigned() ? static_cast<std::int64_t>(value.get<std::uint64_t>())
                                      : value.get<std::int64_t>();
  }
  if (value.is_number_float()) {
    const double rounded = std::round(value.get<double>());
    // The range of a 64-bit integer, a little inside its edges.
    if (!(rounded > -9.2e18 && rounded < 9.2e18)) {
      throw std::range_error(fmt::format("report time {} does not fit 64 bits", value.get<double>()));
    }
    return static_cast<std::int64_t>(rounded);
  }
  throw std::invalid_argument(fmt::format("report time is {}, not a number", value.type_name()));
}

std::string cleanCallsign(std::string callsign) {
  if (callsign == "null" || callsign.find('@') != std::string::npos ||
      callsign.find("00000") != std::string::npos || callsign.size() > kMaximumCallsignLength) {
    return {};
  }
  if (!callsign.empty() && callsign.back() == '.') {
    callsign.pop_back();
  }
  return callsign;
}

void applyRegistrationData(ParkedTrafficRecord& record) {
  AircraftIdentity& identity = record.identity;
  if (identity.registration.empty() && !identity.callsign.empty()) {
    if (const auto data = findRegcode(identity.callsign)) {
      identity.airline = data->airl;
      identity.icaoType = data->type;
      identity.registration = identity.callsign;
      if (!data->opr.empty()) {
        identity.airline = data->opr;
      }
    }
  } else if (!identity.registration.empty()) {
    if (const auto data = findRegcode(identity.registration)) {
      identity.airline = data->airl;
      identity.icaoType = data->type;
      if (!data->opr.empty()) {
        identity.airline = data->opr;
      }
      if (identity.callsign.empty()) {
        identity.callsign = identity.registration;
      }
    }
  }
}

bool decode(std::string_view keyText, const nlohmann::json& array, const ParkedDecodeContext& context,
            ParkedTrafficRecord& record) {
  const auto key = parseHexId(keyText);
  if (!key || *key <= kLastStaticKey) {
    return false;
  }
  record.key = *key;
  record.halfHour = halfHourSlotAt(reportedSeconds(jsonAt(array, kReportTime)));

  const std::string& registration = jsonText(jsonAt(array, kRegistration));
  record.identity.registration =
      (registration.size() > kMaximumRegistrationLength || registration == "null") ? std::string() : registration;

  const std::string& type = jsonText(jsonAt(array, kIcaoType));
  record.identity.icaoType = (type == "0" || type == "ZZZZ") ? std::string() : parkedTypeVariant(type);

  // A whole-number coordinate is a coordinate too.
  record.latitude = jsonNumber(jsonAt(array, kLatitude));
  record.longitude = jsonNumber(jsonAt(array, kLongitude));
  if (!isPlausiblePosition(record.latitude, record.longitude)) {
    throw Implausible("lalo:" + formatLatLon(record.latitude, record.longitude));
  }

  record.identity.callsign = cleanCallsign(jsonText(jsonAt(array, kCallsign)));
  applyRegistrationData(record);

  if (record.identity.icaoType.empty()) {
    return false;
  }
  if (!isKnownType(record.identity.icaoType)) {
    return false;
  }
  if (context.hooks != nullptr && context.hooks->isCategoryEnabled &&
      !context.hooks->isCategoryEnabled(aircraftCategory(record.identity.icaoType))) {
    return false;
  }

  const nlohmann::json& spot = jsonAt(array, kParkingSpot);
  if (!spot.is_string()) {
    return false;
  }
  record.parkingSpot = spot.get<std::string>();
  return record.parkingSpot != context.reservedStandName && record.parkingSpot != context.userStandName;
}

}  // namespace

std::string parkedTypeVariant(std::string type) {
  if (type == "A380") return "A388";
  if (type == "B767") return "B763";
  if (type == "B747") return "B744";
  if (type == "B757") return "B752";
  return type;
}

void processParkedTrafficLine(std::string_view keyText, const nlohmann::json& array,
                              const ParkedDecodeContext& context, std::vector<ParkedTrafficRecord>& records) {
  keepDecodedRecord(records, "processParkedTrafficLine", gf_logWarning,
                    [&](ParkedTrafficRecord& record) { return decode(keyText, array, context, record); });
}

}  // namespace crv
