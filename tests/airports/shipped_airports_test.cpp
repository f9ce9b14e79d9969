// The airports database and names that the program ships in data/, and the
// generator that makes them.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "airports/airport_names.h"
#include "airports/airports_database.h"
#include "tests/airports/stand_fixtures.h"
#include "tools/airportsdb/airports_db_generator.h"

namespace crv {
namespace {

using testing::LogCapture;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

const std::filesystem::path kDataFolder = std::filesystem::path(CRVN_SOURCE_DIR) / "data";
const std::filesystem::path kSourceList = CRVN_OURAIRPORTS_JSON;

class ShippedAirportsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LogCapture log;
    database_ = new AirportsDatabase();
    readAirportsFile(kDataFolder / "airports_msfs.xml", *database_);
  }
  static void TearDownTestSuite() {
    delete database_;
    database_ = nullptr;
  }
  static AirportsDatabase* database_;
};

AirportsDatabase* ShippedAirportsTest::database_ = nullptr;

TEST_F(ShippedAirportsTest, LoadsThousandsOfAirportsSortedByCode) {
  ASSERT_TRUE(database_->loaded);
  EXPECT_GT(database_->airports.size(), 4000U);
  EXPECT_TRUE(std::is_sorted(database_->airports.begin(), database_->airports.end(),
                             [](const AirportRecord& a, const AirportRecord& b) { return a.code < b.code; }));
  const AirportRecord* schiphol = findAirportRecord(*database_, "EHAM");
  ASSERT_NE(schiphol, nullptr);
  EXPECT_EQ(airportDisplayName(*schiphol), "EHAM (AMS)");
  EXPECT_NEAR(schiphol->alt, -11.0, 1.0);
}

TEST_F(ShippedAirportsTest, TheAirportOnSchipholsApronIsSchiphol) {
  const auto closest = findClosestAirport(*database_, GeoPoint{52.3105, 4.7683});
  ASSERT_TRUE(closest.has_value());
  EXPECT_EQ(closest->code, "EHAM");
  EXPECT_EQ(findAirportByIcao(*database_, "eham"), "EHAM");
}

TEST_F(ShippedAirportsTest, NoAirportSixMilesFromEveryAirport) {
  // 6 nm north of Schiphol; make sure the point is indeed 6 nm or more from
  // any airport of the file.
  const GeoPoint point = gf_destination({52.308601, 4.76389}, 0.0, 6.0 * kFeetPerNm);
  for (const AirportRecord& airport : database_->airports) {
    ASSERT_GT(gf_distanceNm(point, {airport.lat, airport.lon}), 5.5) << airport.code;
  }
  EXPECT_FALSE(findClosestAirport(*database_, point).has_value());
}

TEST(ShippedAirportNamesTest, NamesComeFromTheNamesFile) {
  LogCapture log;
  AirportNameMap names;
  readAirportNamesFile(kDataFolder / "airports_msfs_names.xml", names);
  EXPECT_GT(names.size(), 4000U);
  ASSERT_EQ(names.count("EHAM"), 1U);
  EXPECT_NE(names.at("EHAM").find("Schiphol"), std::string::npos);
}

TEST(AirportsDbGeneratorTest, ShippedFilesAreWhatTheGeneratorMakes) {
  if (!std::filesystem::exists(kSourceList)) {
    GTEST_SKIP() << "the public airport list is not here: " << kSourceList;
  }
  TempFolder folder;
  const airportsdb::GenerationCounts counts = airportsdb::generateAirportFiles(kSourceList, folder.path());
  EXPECT_GT(counts.airports, 4000U);
  EXPECT_EQ(readFile(folder / "airports_msfs.xml"), readFile(kDataFolder / "airports_msfs.xml"));
  EXPECT_EQ(readFile(folder / "airports_msfs_names.xml"), readFile(kDataFolder / "airports_msfs_names.xml"));
}

TEST(AirportsDbGeneratorTest, TakesTheIcaoCodeAndKeepsOneAirportPerCode) {
  const std::string list = R"json([
    {"id": "7", "ident": "EHAM", "type": "large_airport", "name": "Amsterdam Airport Schiphol",
     "latitude_deg": "52.308601", "longitude_deg": "4.76389", "elevation_ft": "-11", "gps_code": "EHAM", "iata_code": "AMS"},
    {"id": "9", "ident": "AF-0005", "type": "medium_airport", "name": "Khost International Airport",
     "latitude_deg": "33.284605", "longitude_deg": "69.80734", "elevation_ft": "", "gps_code": "OAKS", "iata_code": "KHT"},
    {"id": "11", "ident": "US-0042", "type": "medium_airport", "name": "No Code Field",
     "latitude_deg": "40", "longitude_deg": "-70", "elevation_ft": "5", "gps_code": "", "iata_code": ""},
    {"id": "12", "ident": "ZZZZ", "type": "medium_airport", "name": "Off The Globe",
     "latitude_deg": "91", "longitude_deg": "0", "elevation_ft": "5", "gps_code": "ZZZZ"},
    {"id": "20", "ident": "URMG", "type": "medium_airport", "name": "Grozny North (medium)",
     "latitude_deg": "43.38", "longitude_deg": "45.69", "elevation_ft": "500", "gps_code": "URMG"},
    {"id": "15", "ident": "URMG", "type": "large_airport", "name": "Grozny North",
     "latitude_deg": "43.2981", "longitude_deg": "45.7841", "elevation_ft": "548", "gps_code": "URMG"},
    {"id": "16", "ident": "5A8", "type": "medium_airport", "name": "",
     "latitude_deg": "59.28", "longitude_deg": "-158.61", "elevation_ft": "66", "gps_code": null},
    {"id": "17", "ident": "LFPG", "type": "large_airport", "name": "Paris Charles de Gaulle",
     "latitude_deg": "49.0128", "longitude_deg": "2.55", "elevation_ft": "392", "gps_code": "FR-0001"}
  ])json";
  airportsdb::GenerationCounts counts;
  const auto airports = airportsdb::airportsFromOurAirports(list, counts);

  ASSERT_EQ(airports.size(), 5U);
  EXPECT_EQ(airports[0].code, "5A8");
  EXPECT_EQ(airports[1].code, "EHAM");
  EXPECT_EQ(airports[2].code, "LFPG");
  EXPECT_EQ(airports[3].code, "OAKS");
  EXPECT_EQ(airports[3].alt, "0");
  EXPECT_EQ(airports[4].code, "URMG");
  EXPECT_EQ(airports[4].name, "Grozny North");
  EXPECT_EQ(counts.withoutCode, 1U);
  EXPECT_EQ(counts.badPosition, 1U);
  EXPECT_EQ(counts.duplicateCode, 1U);
  EXPECT_EQ(counts.withoutElevation, 1U);

  // What the program reads back from the two files.
  TempFolder folder;
  LogCapture log;
  writeFile(folder / "airports.xml", airportsdb::airportsDatabaseXml(airports));
  writeFile(folder / "names.xml", airportsdb::airportNamesXml(airports));
  AirportsDatabase database;
  ASSERT_TRUE(readAirportsFile(folder / "airports.xml", database));
  ASSERT_EQ(database.airports.size(), 5U);
  EXPECT_EQ(airportDisplayName(database.airports[1]), "EHAM (AMS)");
  EXPECT_DOUBLE_EQ(database.airports[1].lat, 52.308601);
  EXPECT_DOUBLE_EQ(database.airports[4].alt, 548.0);
  AirportNameMap names;
  readAirportNamesFile(folder / "names.xml", names);
  EXPECT_EQ(names.size(), 4U);  // 5A8 has no name
  EXPECT_EQ(names.at("OAKS"), "Khost International Airport");
}

TEST(AirportsDbGeneratorTest, RejectsWhatIsNoAirportList) {
  airportsdb::GenerationCounts counts;
  EXPECT_THROW(airportsdb::airportsFromOurAirports("[{\"ident\": \"EHAM\"", counts), std::runtime_error);
  EXPECT_THROW(airportsdb::airportsFromOurAirports("{\"ident\": \"EHAM\"}", counts), std::runtime_error);
  EXPECT_THROW(airportsdb::airportsFromOurAirports("[42]", counts), std::runtime_error);
  EXPECT_THROW(airportsdb::airportsFromOurAirports("[{\"ident\": 42}]", counts), std::runtime_error);

  // A failed generation leaves the files that were there.
  TempFolder folder;
  writeFile(folder / "list.json", "[{\"ident\": \"EHAM\"");
  writeFile(folder / "out" / "airports_msfs.xml", "old");
  EXPECT_THROW(airportsdb::generateAirportFiles(folder / "list.json", folder / "out"), std::runtime_error);
  EXPECT_THROW(airportsdb::generateAirportFiles(folder / "none.json", folder / "out"), std::runtime_error);
  EXPECT_EQ(readFile(folder / "out" / "airports_msfs.xml"), "old");
}

}  // namespace
}  // namespace crv
