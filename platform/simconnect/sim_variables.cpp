#include "platform/simconnect/sim_variables.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>

namespace platform {

enum class Dimension { Angle, Length, Speed, Percent, Plain, Time, Text };

// A variable the stand-in knows. Numbers are read and written in the base
// unit of their dimension: radians, feet, knots, percent, seconds.
struct SimVariable {
  std::string_view name;  // upper case
  Dimension dimension;
  double (*read)(const SimObjectState&, std::int64_t utcSeconds);
  void (*write)(SimObjectState&, double);  // null when read-only
  std::string (*readText)(const SimObjectState&);
};

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kKnotsPerFootPerSecond = 0.5924838012958964;
constexpr double kFeetPerMeter = 3.280839895013123;
constexpr double kKnotsPerMeterPerSecond = 1.9438444924406046;
constexpr double kKnotsPerFootPerMinute = kKnotsPerFootPerSecond / 60.0;
constexpr double kKnotsPerKilometerPerHour = 1.0 / 1.852;

std::string upperCase(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return result;
}

const std::array kVariables = {
    SimVariable{"PLANE LATITUDE", Dimension::Angle,
                [](const SimObjectState& s, std::int64_t) { return s.latitudeDegrees * kRadiansPerDegree; },
                [](SimObjectState& s, double v) { s.latitudeDegrees = v / kRadiansPerDegree; }, nullptr},
    SimVariable{"PLANE LONGITUDE", Dimension::Angle,
                [](const SimObjectState& s, std::int64_t) { return s.longitudeDegrees * kRadiansPerDegree; },
                [](SimObjectState& s, double v) { s.longitudeDegrees = v / kRadiansPerDegree; }, nullptr},
    SimVariable{"PLANE PITCH DEGREES", Dimension::Angle,
                [](const SimObjectState& s, std::int64_t) { return s.pitchRadians; },
                [](SimObjectState& s, double v) { s.pitchRadians = v; }, nullptr},
    SimVariable{"PLANE BANK DEGREES", Dimension::Angle,
                [](const SimObjectState& s, std::int64_t) { return s.bankRadians; },
                [](SimObjectState& s, double v) { s.bankRadians = v; }, nullptr},
    SimVariable{"PLANE HEADING DEGREES TRUE", Dimension::Angle,
                [](const SimObjectState& s, std::int64_t) { return s.headingRadians; },
                [](SimObjectState& s, double v) { s.headingRadians = v; }, nullptr},
    SimVariable{"PLANE ALTITUDE", Dimension::Length,
                [](const SimObjectState& s, std::int64_t) { return s.altitudeFeet; },
                [](SimObjectState& s, double v) {
                  s.altitudeFeet = v;
                  s.altitudeAboveGroundFeet = std::max(0.0, v - s.groundAltitudeFeet);
                },
                nullptr},
    SimVariable{"PLANE ALT ABOVE GROUND", Dimension::Length,
                [](const SimObjectState& s, std::int64_t) { return s.altitudeAboveGroundFeet; }, nullptr, nullptr},
    SimVariable{"GROUND ALTITUDE", Dimension::Length,
                [](const SimObjectState& s, std::int64_t) { return s.groundAltitudeFeet; }, nullptr, nullptr},
    SimVariable{
        "VERTICAL SPEED", Dimension::Speed,
        [](const SimObjectState& s, std::int64_t) { return s.verticalSpeedFeetPerSecond * kKnotsPerFootPerSecond; },
        [](SimObjectState& s, double v) { s.verticalSpeedFeetPerSecond = v / kKnotsPerFootPerSecond; }, nullptr},
    SimVariable{"AIRSPEED TRUE", Dimension::Speed,
                [](const SimObjectState& s, std::int64_t) { return s.trueAirspeedKnots; },
                [](SimObjectState& s, double v) { s.trueAirspeedKnots = v; }, nullptr},
    SimVariable{"GROUND VELOCITY", Dimension::Speed,
                [](const SimObjectState& s, std::int64_t) { return s.groundSpeedKnots; }, nullptr, nullptr},
    SimVariable{
        "ZULU TIME", Dimension::Time,
        [](const SimObjectState&, std::int64_t utc) { return static_cast<double>(zuluDateOf(utc).secondsOfDay); },
        nullptr, nullptr},
    SimVariable{"ZULU DAY OF YEAR", Dimension::Plain,
                [](const SimObjectState&, std::int64_t utc) { return static_cast<double>(zuluDateOf(utc).dayOfYear); },
                nullptr, nullptr},
    SimVariable{"ZULU YEAR", Dimension::Plain,
                [](const SimObjectState&, std::int64_t utc) { return static_cast<double>(zuluDateOf(utc).year); },
                nullptr, nullptr},
    SimVariable{"LIGHT STATES", Dimension::Plain,
                [](const SimObjectState& s, std::int64_t) { return static_cast<double>(s.lightStates); }, nullptr,
                nullptr},
    SimVariable{"LIGHT ON STATES", Dimension::Plain,
                [](const SimObjectState& s, std::int64_t) { return static_cast<double>(s.lightStates); }, nullptr,
                nullptr},
    SimVariable{"SIM ON GROUND", Dimension::Plain,
                [](const SimObjectState& s, std::int64_t) { return s.onGround ? 1.0 : 0.0; }, nullptr, nullptr},
    SimVariable{"STATIC CG TO GROUND", Dimension::Length,
                [](const SimObjectState& s, std::int64_t) { return s.staticCgToGroundFeet; }, nullptr, nullptr},
    SimVariable{"STATIC PITCH", Dimension::Angle,
                [](const SimObjectState& s, std::int64_t) { return s.staticPitchRadians; }, nullptr, nullptr},
    SimVariable{"SPOILERS HANDLE POSITION", Dimension::Percent,
                [](const SimObjectState& s, std::int64_t) { return s.spoilersHandlePercent; },
                [](SimObjectState& s, double v) { s.spoilersHandlePercent = v; }, nullptr},
    SimVariable{"GENERAL ENG THROTTLE LEVER POSITION:1", Dimension::Percent,
                [](const SimObjectState& s, std::int64_t) { return s.throttle1Percent; },
                [](SimObjectState& s, double v) { s.throttle1Percent = v; }, nullptr},
    SimVariable{"GENERAL ENG THROTTLE LEVER POSITION:2", Dimension::Percent,
                [](const SimObjectState& s, std::int64_t) { return s.throttle2Percent; },
                [](SimObjectState& s, double v) { s.throttle2Percent = v; }, nullptr},
    SimVariable{"TITLE", Dimension::Text, nullptr, nullptr, [](const SimObjectState& s) { return s.title; }},
    SimVariable{"ATC ID", Dimension::Text, nullptr, nullptr, [](const SimObjectState& s) { return s.atcId; }},
    SimVariable{"ATC MODEL", Dimension::Text, nullptr, nullptr, [](const SimObjectState& s) { return s.atcModel; }},
};

const SimVariable* findVariable(std::string_view name) {
  const std::string key = upperCase(name);
  for (const SimVariable& variable : kVariables) {
    if (variable.name == key) return &variable;
  }
  return nullptr;
}

struct UnitEntry {
  std::string_view name;  // upper case
  Dimension dimension;
  double factor;  // base units per one of this unit
};

constexpr std::array kUnits = {
    UnitEntry{"RADIANS", Dimension::Angle, 1.0},
    UnitEntry{"RADIAN", Dimension::Angle, 1.0},
    UnitEntry{"DEGREE", Dimension::Angle, kRadiansPerDegree},
    UnitEntry{"DEGREES", Dimension::Angle, kRadiansPerDegree},
    UnitEntry{"FEET", Dimension::Length, 1.0},
    UnitEntry{"FOOT", Dimension::Length, 1.0},
    UnitEntry{"METERS", Dimension::Length, kFeetPerMeter},
    UnitEntry{"METER", Dimension::Length, kFeetPerMeter},
    UnitEntry{"KNOTS", Dimension::Speed, 1.0},
    UnitEntry{"KNOT", Dimension::Speed, 1.0},
    UnitEntry{"FEET PER SECOND", Dimension::Speed, kKnotsPerFootPerSecond},
    UnitEntry{"FEET PER MINUTE", Dimension::Speed, kKnotsPerFootPerMinute},
    UnitEntry{"METERS PER SECOND", Dimension::Speed, kKnotsPerMeterPerSecond},
    UnitEntry{"KILOMETERS PER HOUR", Dimension::Speed, kKnotsPerKilometerPerHour},
    UnitEntry{"PERCENT", Dimension::Percent, 1.0},
    UnitEntry{"BOOL", Dimension::Plain, 1.0},
    UnitEntry{"MASK", Dimension::Plain, 1.0},
    UnitEntry{"NUMBER", Dimension::Plain, 1.0},
    UnitEntry{"SECONDS", Dimension::Time, 1.0},
    UnitEntry{"SECOND", Dimension::Time, 1.0},
};

const UnitEntry* findUnit(std::string_view unit) {
  const std::string key = upperCase(unit);
  for (const UnitEntry& entry : kUnits) {
    if (entry.name == key) return &entry;
  }
  return nullptr;
}

bool isTextType(SIMCONNECT_DATATYPE type) {
  return type == SIMCONNECT_DATATYPE_STRING32 || type == SIMCONNECT_DATATYPE_STRINGV;
}

bool isNumberType(SIMCONNECT_DATATYPE type) {
  return type == SIMCONNECT_DATATYPE_FLOAT64 || type == SIMCONNECT_DATATYPE_INT64;
}

void appendBytes(std::vector<std::byte>& block, const void* bytes, std::size_t size) {
  const auto* first = static_cast<const std::byte*>(bytes);
  block.insert(block.end(), first, first + size);
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::int64_t yearOfDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  const unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  return static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

ZuluDate zuluDateOf(std::int64_t utcSeconds) {
  std::int64_t days = utcSeconds / 86400;
  std::int64_t secondsOfDay = utcSeconds % 86400;
  if (secondsOfDay < 0) {
    secondsOfDay += 86400;
    --days;
  }
  const std::int64_t year = yearOfDays(days);
  return ZuluDate{secondsOfDay, days - daysFromCivil(year, 1, 1) + 1, year};
}

namespace {

bool movesObject(const SimVariable& variable) {
  static const std::array<std::string_view, 6> kPoseNames = {
      "PLANE LATITUDE", "PLANE LONGITUDE", "PLANE PITCH DEGREES", "PLANE BANK DEGREES", "PLANE HEADING DEGREES TRUE",
      "PLANE ALTITUDE"};
  return std::find(kPoseNames.begin(), kPoseNames.end(), variable.name) != kPoseNames.end();
}

}  // namespace

DatumBinding bindDatum(std::string_view name, const char* unit, SIMCONNECT_DATATYPE type) {
  DatumBinding binding;
  const SimVariable* variable = findVariable(name);
  if (variable == nullptr) {
    binding.refusal = SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED;
    binding.refusedArgument = 2;
    return binding;
  }
  const bool isText = variable->dimension == Dimension::Text;
  if ((isText && !isTextType(type)) || (!isText && !isNumberType(type))) {
    binding.refusal = SIMCONNECT_EXCEPTION_INVALID_DATA_TYPE;
    binding.refusedArgument = 4;
    return binding;
  }
  DataDatum datum;
  datum.name = std::string(name);
  if (unit != nullptr) datum.unit = unit;
  datum.type = type;
  datum.variable = variable;
  datum.movesObject = movesObject(*variable);
  datum.write = variable->write;
  datum.size = fixedDatumSize(type);
  if (!isText) {
    const UnitEntry* entry = unit == nullptr ? nullptr : findUnit(unit);
    if (entry == nullptr || entry->dimension != variable->dimension) {
      binding.refusal = SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED;
      binding.refusedArgument = 3;
      return binding;
    }
    datum.unitFactor = entry->factor;
  }
  binding.datum = std::move(datum);
  return binding;
}

std::size_t fixedDefinitionSize(const std::vector<DataDatum>& definition) {
  std::size_t size = 0;
  for (const DataDatum& datum : definition) {
    if (datum.size == 0) return 0;
    size += datum.size;
  }
  return size;
}

void appendDatum(std::vector<std::byte>& block, const DataDatum& datum, const SimObjectState& state,
                 std::int64_t utcSeconds) {
  if (datum.variable->dimension == Dimension::Text) {
    const std::string text = datum.variable->readText(state);
    if (datum.type == SIMCONNECT_DATATYPE_STRING32) {
      char field[32] = {};
      std::memcpy(field, text.data(), std::min<std::size_t>(text.size(), sizeof(field) - 1));
      appendBytes(block, field, sizeof(field));
    } else {
      // Zero-terminated and padded with zeros to a multiple of four bytes.
      std::size_t size = text.size() + 1;
      size += (4 - size % 4) % 4;
      const std::size_t start = block.size();
      block.resize(start + size, std::byte{0});
      std::memcpy(block.data() + start, text.data(), text.size());
    }
    return;
  }
  const double value = datum.variable->read(state, utcSeconds) / datum.unitFactor;
  if (datum.type == SIMCONNECT_DATATYPE_FLOAT64) {
    appendBytes(block, &value, sizeof(value));
  } else {
    const auto number = static_cast<std::int64_t>(std::trunc(value));
    appendBytes(block, &number, sizeof(number));
  }
}

}  // namespace platform
