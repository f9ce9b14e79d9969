#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "airports/parking_position.h"
#include "airports/stand_search.h"
#include "foundation/geodesy.h"
#include "tests/support/log_capture.h"

namespace crv::testing {

inline constexpr GeoPoint kApron{52.3105, 4.7683};

// The point the given number of metres from the origin on a course in
// degrees (0 north, 90 east).
inline GeoPoint pointAt(const GeoPoint& origin, double meters, double courseDegrees = 90.0) {
  return gf_destination(origin, courseDegrees * kDegreesToRadians, meters / kMetersPerNm * kFeetPerNm);
}

enum class StandKind { Gate, Ramp, Cargo, CargoRamp, Helipad };

inline ParkingPosition makeStand(const std::string& name, const GeoPoint& position, double radiusMeters,
                                 StandKind kind = StandKind::Gate) {
  const bool cargo = kind == StandKind::Cargo || kind == StandKind::CargoRamp;
  const bool ramp = kind == StandKind::Ramp || kind == StandKind::CargoRamp;
  const bool heli = kind == StandKind::Helipad;
  return ParkingPosition(name, {}, {position.latitude, position.longitude, 0.0}, radiusMeters, !cargo, !ramp, !heli);
}

// A real usage entry on one weekday and half hour.
inline UsageEntry makeUsage(std::uint32_t id, std::uint32_t day, int halfHour, const std::string& callsign = "",
                            const std::string& airline = "", const std::string& type = "") {
  UsageEntry entry;
  entry.id = id;
  entry.day = day;
  entry.hh.set(static_cast<std::size_t>(halfHour));
  entry.cs = callsign;
  entry.airl = airline;
  entry.type = type;
  entry.kind = kRealUsage;
  return entry;
}

inline StandAircraft airliner(double halfSpanMeters, std::string_view callsign = "KLM123") {
  StandAircraft aircraft;
  aircraft.callsign = callsign;
  aircraft.airline = "KLM";
  aircraft.type = "B738";
  aircraft.halfSpanNm = halfSpanMeters / kMetersPerNm;
  aircraft.category = SizeCategory::Large;
  return aircraft;
}


}  // namespace crv::testing
