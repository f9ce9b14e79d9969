#include "tests/traffic/stand_grid.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "traffic/motion/motion_support.h"

namespace crv::testing {

using motion::kMetersPerDegreeLatitude;

GeoPoint offsetMeters(GeoPoint from, double northMeters, double eastMeters) {
  return {from.latitude + northMeters / kMetersPerDegreeLatitude,
          from.longitude + eastMeters / (kMetersPerDegreeLatitude * std::cos(from.latitude * kDegreesToRadians))};
}

StandTable standGrid(int rows, int columns, double spacingMeters, double radiusMeters, GeoPoint origin) {
  StandTable stands;
  stands.reserve(static_cast<std::size_t>(rows * columns));
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const GeoPoint place = offsetMeters(origin, row * spacingMeters * 2.0, column * spacingMeters);
      std::string name = std::string(1, static_cast<char>('A' + row)) + std::to_string(column + 1);
      stands.emplace_back(std::move(name), std::vector<UsageEntry>{},
                          std::array<double, 3>{place.latitude, place.longitude, 0.0}, radiusMeters, true, true, true);
    }
  }
  numberStandsAndFindNeighbours(stands);
  return stands;
}

UsageEntry dlhUsage(std::uint32_t id, int weekday, std::initializer_list<int> halfHours, std::string callsign,
                    std::string registration, std::string secondCallsign) {
  UsageEntry e;
  e.airl = "DLH";
  e.type = "A320";
  e.reg = std::move(registration);
  e.cs = std::move(callsign);
  e.cs2 = std::move(secondCallsign);
  e.id = id;
  e.day = static_cast<std::uint32_t>(weekday);
  for (int h : halfHours) e.hh.set(static_cast<std::size_t>(h));
  return e;
}

ParkedTrafficRecord parkedRecordOn(const StandTable& stands, const std::string& standName, std::uint32_t address,
                                   const std::string& callsign, int age) {
  const auto stand =
      std::find_if(stands.begin(), stands.end(), [&](const ParkingPosition& s) { return s.name == standName; });
  if (stand == stands.end()) throw std::invalid_argument("no stand " + standName);
  ParkedTrafficRecord record;
  record.identity.callsign = callsign;
  record.identity.icaoType = "B738";
  record.identity.registration = "N" + std::to_string(address);
  record.latitude = stand->latitude;
  record.longitude = stand->longitude;
  record.key = address;
  record.halfHour = age;
  record.parkingSpot = standName;
  return record;
}

}  // namespace crv::testing
