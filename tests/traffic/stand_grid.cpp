#include "tests/traffic/stand_grid.h"

#include <cmath>
#include <string>

namespace crv::testing {

namespace {
constexpr double kMetersPerDegreeLatitude = 111132.95;
}

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
      std::string name = std::string(1, static_cast<char>('A' + row % 26)) + std::to_string(column + 1);
      if (row >= 26) {
        name += "_" + std::to_string(row / 26);
      }
      stands.emplace_back(std::move(name), std::vector<UsageEntry>{},
                          std::array<double, 3>{place.latitude, place.longitude, 0.0}, radiusMeters, true, true, true);
    }
  }
  numberStandsAndFindNeighbours(stands);
  return stands;
}

}  // namespace crv::testing
