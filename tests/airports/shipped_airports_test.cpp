// The airports database and names that the program ships in data/.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "airports/airport_names.h"
#include "airports/airports_database.h"
#include "tests/airports/stand_fixtures.h"

namespace crv {
namespace {

using testing::LogCapture;

const std::filesystem::path kDataFolder = std::filesystem::path(CRVN_SOURCE_DIR) / "data";

// Read once for every test.
const AirportsDatabase& shippedAirports() {
  static const AirportsDatabase database = [] {
    const LogCapture log;
    AirportsDatabase read;
    readAirportsFile(kDataFolder / "airports_msfs.xml", read);
    return read;
  }();
  return database;
}

TEST(ShippedAirportsTest, LoadsThousandsOfAirportsSortedByCode) {
  ASSERT_TRUE(shippedAirports().loaded);
  EXPECT_GT(shippedAirports().airports.size(), 4000U);
  EXPECT_TRUE(std::is_sorted(shippedAirports().airports.begin(), shippedAirports().airports.end(),
                             [](const AirportRecord& a, const AirportRecord& b) { return a.code < b.code; }));
  const AirportRecord* schiphol = findAirportRecord(shippedAirports(), "EHAM");
  ASSERT_NE(schiphol, nullptr);
  EXPECT_EQ(airportDisplayName(*schiphol), "EHAM (AMS)");
  EXPECT_NEAR(schiphol->alt, -11.0, 1.0);
}

TEST(ShippedAirportsTest, TheAirportOnSchipholsApronIsSchiphol) {
  const auto closest = findClosestAirport(shippedAirports(), GeoPoint{52.3105, 4.7683});
  ASSERT_TRUE(closest.has_value());
  EXPECT_EQ(closest->code, "EHAM");
  EXPECT_EQ(findAirportByIcao(shippedAirports(), "eham"), "EHAM");
}

TEST(ShippedAirportsTest, NoAirportSixMilesFromEveryAirport) {
  // 6 nm north of Schiphol; make sure the point is indeed 6 nm or more from
  // any airport of the file.
  const GeoPoint point = gf_destination({52.308601, 4.76389}, 0.0, 6.0 * kFeetPerNm);
  for (const AirportRecord& airport : shippedAirports().airports) {
    ASSERT_GT(gf_distanceNm(point, {airport.lat, airport.lon}), 5.5) << airport.code;
  }
  EXPECT_FALSE(findClosestAirport(shippedAirports(), point).has_value());
}

TEST(ShippedAirportNamesTest, NamesComeFromTheNamesFile) {
  LogCapture log;
  AirportNameMap names;
  readAirportNamesFile(kDataFolder / "airports_msfs_names.xml", names);
  EXPECT_GT(names.size(), 4000U);
  ASSERT_EQ(names.count("EHAM"), 1U);
  EXPECT_NE(names.at("EHAM").find("Schiphol"), std::string::npos);
}

}  // namespace
}  // namespace crv
