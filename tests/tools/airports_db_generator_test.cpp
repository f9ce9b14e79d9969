// The generator of the shipped airports database and names.

#include "tools/airportsdb/airports_db_generator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "airports/airport_names.h"
#include "airports/airports_database.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"

namespace crv {
namespace {

using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

const std::filesystem::path kDataFolder = std::filesystem::path(CRVN_SOURCE_DIR) / "data";
const std::filesystem::path kSourceList = CRVN_OURAIRPORTS_JSON;

TEST(AirportsDbGeneratorTest, ShippedFilesAreWhatTheGeneratorMakes) {
  if (!std::filesystem::exists(kSourceList)) {
    GTEST_SKIP() << "the public airport list is not here: " << kSourceList;
  }
  TempFolder folder;
  const airportsdb::GenerationCounts counts = airportsdb::generateAirportFiles(kSourceList, folder.path());
  EXPECT_GT(counts.airports, 4000U);
  for (const char* file : {"airports_msfs.xml", "airports_msfs_names.xml"}) {
    EXPECT_EQ(readFile(folder / file), readFile(kDataFolder / file)) << file;
  }
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
  std::vector<std::string> codes;
  for (const auto& airport : airports) codes.push_back(airport.code);
  EXPECT_EQ(fmt::format("{}", fmt::join(codes, " ")), "5A8 EHAM LFPG OAKS URMG");
  ASSERT_EQ(airports.size(), 5U);
  EXPECT_EQ(airports[3].alt, "0");
  EXPECT_EQ(airports[4].name, "Grozny North");
  EXPECT_EQ(fmt::format("{} {} {} {}", counts.withoutCode, counts.badPosition, counts.duplicateCode,
                        counts.withoutElevation),
            "1 1 1 1");

  // What the program reads back from the two files.
  TempFolder folder;
  testing::LogCapture log;
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
  for (const char* bad : {R"([{"ident": "EHAM")", R"({"ident": "EHAM"})", "[42]", R"([{"ident": 42}])"}) {
    EXPECT_THROW(airportsdb::airportsFromOurAirports(bad, counts), std::runtime_error) << bad;
  }
  // A failed generation leaves the files that were there.
  TempFolder folder;
  writeFile(folder / "list.json", R"([{"ident": "EHAM")");
  writeFile(folder / "out" / "airports_msfs.xml", "old");
  EXPECT_THROW(airportsdb::generateAirportFiles(folder / "list.json", folder / "out"), std::runtime_error);
  EXPECT_THROW(airportsdb::generateAirportFiles(folder / "none.json", folder / "out"), std::runtime_error);
  EXPECT_EQ(readFile(folder / "out" / "airports_msfs.xml"), "old");
}

}  // namespace
}  // namespace crv
