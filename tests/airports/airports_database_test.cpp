#include "airports/airports_database.h"

#include <string>
#include <tuple>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/airport_names.h"
#include "foundation/errors.h"
#include "tests/airports/stand_fixtures.h"
#include "tests/support/thrown_text.h"
#include "tests/support/shown_path.h"

namespace crv {
namespace {

using testing::LogCapture;
using testing::TempFolder;
using testing::writeFile;

GeoPoint northOf(const GeoPoint& origin, double distanceNm) {
  return gf_destination(origin, 0.0, distanceNm * kFeetPerNm);
}

std::string airportElement(const std::string& code, const GeoPoint& position) {
  return "<airport code=\"" + code + "\" lat=\"" + std::to_string(position.latitude) + "\" lon=\"" +
         std::to_string(position.longitude) + "\" alt=\"10\"/>";
}

AirportsDatabase databaseOf(std::vector<AirportRecord> airports) {
  AirportsDatabase database;
  database.airports = std::move(airports);
  database.loaded = true;
  return database;
}

TEST(ReadAirportsTest, ReadsSortsAndSkipsBadElements) {
  TempFolder folder;
  LogCapture log;
  const auto path = folder / "airports_msfs.xml";
  writeFile(path,
            "<?xml version=\"1.0\"?>\n<airports>\n"
            "<airport code=\"EHRD\" iata=\"RTM\" lat=\"51.956902\" lon=\"4.43722\" alt=\"-15\"/>\n"
            "<airport code=\"EHAM\" iata=\"AMS\" lat=\"52.308601\" lon=\"4.76389\" alt=\"-11\"/>\n"
            "<airport code=\"EBBR\" lat=\"50.901402\" lon=\"4.48444\" alt=\"175\"/>\n"
            "<airport code=\"XNOA\" lat=\"52.3\" lon=\"4.76\"/>\n"
            "<airport code=\"XABC\" lat=\"abc\" lon=\"4.76\" alt=\"0\"/>\n"
            "<airport code=\"XBIG\" lat=\"1e999\" lon=\"4.76\" alt=\"0\"/>\n"
            "<airport code=\"XOFF\" lat=\"95.0\" lon=\"4.76\" alt=\"0\"/>\n"
            "</airports>\n");

  AirportsDatabase database;
  EXPECT_TRUE(readAirportsFile(path, database));

  EXPECT_TRUE(database.loaded);
  std::string read;  // code, IATA code and elevation of each airport, in code order
  for (const AirportRecord& airport : database.airports) read += fmt::format("{}/{}/{} ", airport.code, airport.iata, airport.alt);
  EXPECT_EQ(read, "EBBR//175 EHAM/AMS/-11 EHRD/RTM/-15 ");

  const std::string text = log.text();
  EXPECT_EQ(testing::missingPieces(text, {"Missing lat/lon/alt for airport 'XNOA'",
                                          "Error parsing coordinates for airport 'XABC': invalid stod argument",
                                          "Error parsing coordinates for airport 'XBIG': stod argument out of range",
                                          "Error parsing coordinates for airport 'XOFF': coordinates out of range",
                                          "3 airports read from '" + path.string() + "'"}), "");
}

TEST(ReadAirportsTest, ReadsTheFileOnlyOnceEvenWhenItHeldNoAirport) {
  TempFolder folder;
  LogCapture log;
  const auto path = folder / "airports_msfs.xml";
  writeFile(path, "<airports/>");

  AirportsDatabase database;
  EXPECT_FALSE(readAirportsFile(path, database));
  EXPECT_TRUE(database.loaded);

  writeFile(path, "<airports>" + airportElement("EHAM", {52.3, 4.76}) + "</airports>");
  EXPECT_FALSE(readAirportsFile(path, database));
  EXPECT_TRUE(database.airports.empty());
}

TEST(ReadAirportsTest, AFileThatDoesNotLoadIsAnErrorAndLeavesTheDatabaseUnread) {
  TempFolder folder;
  LogCapture log;
  AirportsDatabase database;

  const auto readError = [&](const char* name) {
    return testing::thrownText<std::runtime_error>([&] { readAirportsFile(folder / name, database); });
  };
  EXPECT_EQ(readError("missing.xml"), (folder / "missing.xml").string() + " not loaded: File was not found");

  writeFile(folder / "other.xml", "<AirportNames/>");
  EXPECT_EQ(readError("other.xml"), "Missing <airports> root in: " + (folder / "other.xml").string());
  EXPECT_FALSE(database.loaded);

  // Once the file is mended the database is read.
  writeFile(folder / "other.xml", "<airports>" + airportElement("EHAM", {52.3, 4.76}) + "</airports>");
  EXPECT_TRUE(readAirportsFile(folder / "other.xml", database));
}

TEST(ReadAirportsTest, TheSessionWorkersReadingTurnsFailuresIntoUserError88) {
  TempFolder folder;
  LogCapture log;
  testing::ScopedWorkingFolder workingFolder(folder.path());
  writeFile(folder / "input" / "airports_msfs.xml", "<airports><airport");

  EXPECT_THAT(testing::thrownText<UserErrorException>([] { readAirports(kAirportsDatabaseFile); }),
              ::testing::StartsWith("88: " + testing::shownPath("input/airports_msfs.xml") + " not loaded: "));
  EXPECT_FALSE(airportsDb().loaded);
}

TEST(FindClosestAirportTest, TheNearestWithin5nmWinsAndTheDisplacedOneIsTheNeighbour) {
  LogCapture log;
  const GeoPoint here{52.0, 5.0};
  const AirportsDatabase database = databaseOf({{"AAAA", "", northOf(here, 4.0).latitude, 5.0, 0.0},
                                                {"BBBB", "", northOf(here, 3.0).latitude, 5.0, 0.0},
                                                {"CCCC", "", northOf(here, 1.0).latitude, 5.0, 0.0},
                                                {"DDDD", "", northOf(here, 2.0).latitude, 5.0, 0.0}});
  EXPECT_EQ(findClosestAirport(database, here)->code, "CCCC");
  EXPECT_NE(log.text().find("Airport CCCC is closest, neighbour is BBBB"), std::string::npos);
  EXPECT_EQ(findClosestAirport(databaseOf({{"AAAA", "", northOf(here, 4.9999).latitude, 5.0, 0.0}}), here)->code,
            "AAAA");
  EXPECT_FALSE(findClosestAirport(databaseOf({{"AAAA", "", northOf(here, 5.01).latitude, 5.0, 0.0}}), here));
}

TEST(FindClosestAirportTest, ANeighbourWithANearerStandIsTaken) {
  LogCapture log;
  const GeoPoint here{52.0, 5.0};
  const AirportsDatabase database =
      databaseOf({{"FARR", "", northOf(here, 3.0).latitude, 5.0, 0.0}, {"NEAR", "", northOf(here, 1.0).latitude, 5.0, 0.0}});
  std::vector<std::string> asked;
  auto standsNearby = [&asked](const std::string& icao, const GeoPoint&, std::string& standName) {
    asked.push_back(icao);
    if (icao == "FARR") {
      standName = "F12";
      return 0.01;
    }
    return 100.0;  // no stand
  };

  EXPECT_EQ(findClosestAirport(database, here, standsNearby)->code, "FARR");
  EXPECT_EQ(asked, (std::vector<std::string>{"NEAR", "FARR"}));
  EXPECT_NE(log.text().find("Airport NEAR is closest, but stand F12 at neighbouring airport FARR is closer at 19 meters ..."),
            std::string::npos);

  auto closestHasNearerStand = [](const std::string& icao, const GeoPoint&, std::string&) {
    return icao == "NEAR" ? 0.01 : 0.02;
  };
  EXPECT_EQ(findClosestAirport(database, here, closestHasNearerStand)->code, "NEAR");
}

// The key is the first four letters upper-cased; an exact code wins over a
// shorter one; an airport without code names nothing.
TEST(FindAirportByIcaoTest, FindsTheCodeOfTheKey) {
  const AirportsDatabase four = databaseOf({{"EBBR", "", 0, 0, 0}, {"EHAM", "", 0, 0, 0}, {"EHRD", "", 0, 0, 0}});
  const AirportsDatabase database =
      databaseOf({{"", "", 0, 0, 0}, {"EHA", "", 0, 0, 0}, {"EHAM", "", 0, 0, 0}, {"EHAMX", "", 0, 0, 0}});
  const std::tuple<const AirportsDatabase*, const char*, const char*> cases[] = {
      {&four, "eham/x", "EHAM"}, {&four, "EHAMSTERDAM", "EHAM"}, {&four, "EHXX", ""}, {&four, "EH", ""},
      {&four, "", ""},           {&database, "EHAM", "EHAM"},    {&database, "eham", "EHAM"},
      {&database, "EHAB", "EHA"}, {&database, "EHX", ""}};
  for (const auto& [airports, key, code] : cases) EXPECT_EQ(findAirportByIcao(*airports, key), code) << key;

  ASSERT_NE(findAirportRecord(database, "EHAM"), nullptr);
  EXPECT_EQ(findAirportRecord(database, "EHAM")->code, "EHAM");
  EXPECT_EQ(findAirportRecord(database, "EHAB"), nullptr);
}

TEST(ContainsDashedCodeTest, LooksForTheCodeBetweenDashes) {
  EXPECT_TRUE(containsDashedCode("-EHAM-EHRD-", "EHRD"));
  EXPECT_FALSE(containsDashedCode("-EHAM-EHRD", "EHRD"));
  EXPECT_FALSE(containsDashedCode("-EHAMX-", "EHAM"));
}

TEST(ReadAirportNamesTest, FillsTheMapFromTheInputFolderAndSkipsIncompleteEntries) {
  TempFolder folder;
  LogCapture log;
  testing::ScopedWorkingFolder workingFolder(folder.path());
  writeFile(folder / "input" / "airports_msfs_names.xml",
            R"(<AirportNames><airport ICAO="EHAM" name="Amsterdam Airport Schiphol"/><airport ICAO="EHRD" name=""/>)"
            R"(<airport name="Nowhere"/><airport ICAO="EBBR" name="Brussels Airport"/></AirportNames>)");
  EXPECT_EQ(readAirportNames(), (AirportNameMap{{"EHAM", "Amsterdam Airport Schiphol"}, {"EBBR", "Brussels Airport"}}));
  EXPECT_EQ(testing::missingPieces(log.text(), {"Skipped airport entry with missing ICAO or name",
                                                "2 airport names read from '" + testing::shownPath("input/airports_msfs_names.xml") + "'"}), "");
}

TEST(ReadAirportNamesTest, AMissingOrWrongFileLeavesTheMapEmptyWithAWarning) {
  TempFolder folder;
  LogCapture log;
  AirportNameMap names{{"OLD", "stale"}};
  readAirportNamesFile(folder / "missing.xml", names);
  EXPECT_TRUE(names.empty());
  writeFile(folder / "wrong.xml", "<airports/>");
  names.emplace("OLD", "stale");
  readAirportNamesFile(folder / "wrong.xml", names);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(testing::missingPieces(log.text(), {"===> Failed to load airport names from '" + (folder / "missing.xml").string() + "'",
                                                "===> No AirportNames node found."}), "");
}

}  // namespace
}  // namespace crv
