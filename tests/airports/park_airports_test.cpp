#include <gtest/gtest.h>

#include <fmt/format.h>

#include <thread>

#include "airports/airport_downloads.h"
#include "airports/park_airport_panel.h"
#include "airports/park_airports.h"
#include "airports/parked_file.h"
#include "airports/stand_names.h"
#include "foundation/status_line.h"
#include "tests/airports/airport_file_fixtures.h"

namespace crv {
namespace {

using testing::apfText;
using testing::baseParameters;
using testing::parameter;

const std::filesystem::path kListFile = "airports/my_park_airports.txt";

AirportsDatabase threeAirports() {
  AirportsDatabase database;
  database.airports = {{"EGLL", "LHR", 51.47, -0.45, 83}, {"EHAM", "AMS", 52.31, 4.76, -11}, {"LEMD", "MAD", 40.47, -3.56, 2000}};
  database.loaded = true;
  return database;
}

std::vector<std::string> codesOf(const ParkAirportList& list) {
  std::vector<std::string> codes;
  for (const ParkAirport& entry : list.entries()) codes.push_back(entry.icao + "," + entry.stand);
  return codes;
}

using ParkAirportsTest = testing::AirportFilesTest;

TEST_F(ParkAirportsTest, ReadsTheListSkippingDoublesUnknownAndBadLines) {
  write(kListFile, "EHAM,D7\r\neham\nEHAM\n EGLL , A 1 \nLEMD,D7,extra\n");
  ParkAirportList list;
  EXPECT_FALSE(list.readMyParkAirports(threeAirports()));  // eham is no airport of the database
  EXPECT_EQ(codesOf(list), (std::vector<std::string>{"EHAM,D7", "EGLL,A 1"}));
  EXPECT_DOUBLE_EQ(list.entries().front().position.latitude, 52.31);
  const std::string text = log();
  EXPECT_EQ(testing::missingPieces(text, {"===> my_park_airports.txt:EHAM double, skipped", "airport eham is unknown",
                                          "===> my_park_airports.txt:LEMD,D7,extra wrong syntax, skipped",
                                          "2 park airports read from 'my_park_airports.txt'"}), "");
}

TEST_F(ParkAirportsTest, BytesOfTheListThatAreNoUtf8AreEscapedInTheLog) {
  write(kListFile, "EHAM,D7\nEHAM,G\xE4te 3\nLEMD,\xFF,\xFE\nM\xFCNCH\n");
  ParkAirportList list;
  list.readMyParkAirports(threeAirports());
  const std::string text = log();
  EXPECT_EQ(testing::missingPieces(text, {"===> my_park_airports.txt:EHAM double, skipped",
                                          "===> my_park_airports.txt:LEMD,\\xFF,\\xFE wrong syntax, skipped",
                                          "airport M\\xFCNCH is unknown"}),
            "");
  for (const char raw : {'\xE4', '\xFF', '\xFE', '\xFC'}) {
    EXPECT_EQ(text.find(raw), std::string::npos) << "raw byte " << static_cast<int>(static_cast<unsigned char>(raw));
  }
}

// The lines of the user's list stand whole in the log, however long.
TEST_F(ParkAirportsTest, LongLinesOfTheListStandWholeInTheLog) {
  const std::string longCode(100, 'Z');
  const std::string unknownCode(100, 'Y');
  const std::string stand(100, 'S');
  const std::string badLine = "LEMD," + stand + ",extra";
  AirportsDatabase database = threeAirports();
  database.airports.push_back({longCode, "", 1.0, 2.0, 0});
  write(kListFile, longCode + "\n" + longCode + "\n" + unknownCode + "\n" + badLine + "\n");
  ParkAirportList list;
  list.readMyParkAirports(database);
  list.entries().front().stand = stand;
  list.addParkAirportEntry();
  list.entries().front() = {"EHAM", stand, {}, 0.0};
  list.addParkAirportEntry();
  std::filesystem::remove(path(kListFile));
  list.addParkAirportEntry();
  EXPECT_EQ(testing::missingPieces(log(), {"===> my_park_airports.txt:" + longCode + " double, skipped\n",
                                           "airport " + unknownCode + " is unknown",
                                           "===> my_park_airports.txt:" + badLine + " wrong syntax, skipped\n",
                                           "my_park_airports.txt:" + longCode + "," + stand + " updated stand\n",
                                           "my_park_airports.txt:EHAM," + stand + " new entry\n",
                                           "my_park_airports.txt created with EHAM," + stand + "\n"}),
            "");
}

TEST_F(ParkAirportsTest, WithoutAListTheThirdPartyAirportsAreTaken) {
  for (const char* file : {"EHAM.xml", "LEMD.xml", "ZZZZ.xml"}) write(std::filesystem::path("airports/my_thirdparty") / file, "");
  ParkAirportList list;
  EXPECT_TRUE(list.readMyParkAirports(threeAirports()));
  EXPECT_EQ(codesOf(list), (std::vector<std::string>{"EHAM,", "LEMD,"}));
  EXPECT_NE(log().find("2 park airports added from my_thirdparty folder(-s)"), std::string::npos);
}

TEST_F(ParkAirportsTest, TheFirstEntryIsWrittenInPlaceOrInFront) {
  ParkAirportList list;
  list.entries().push_back({"EHAM", "D7", {}, 0.0});
  list.addParkAirportEntry();
  EXPECT_EQ(read(kListFile), "EHAM,D7\n");
  write(kListFile, "EGLL\nEHAM\nLEMD\n");
  list.addParkAirportEntry();
  EXPECT_EQ(read(kListFile), "EGLL\nEHAM,D7\nLEMD\n");
  list.entries().front() = {"KJFK", "", {}, 0.0};
  list.addParkAirportEntry();
  EXPECT_EQ(read(kListFile), "KJFK\nEGLL\nEHAM,D7\nLEMD\n");
  const std::string text = log();
  EXPECT_EQ(testing::missingPieces(text, {"my_park_airports.txt created with EHAM,D7",
                                          "my_park_airports.txt:EHAM,D7 updated stand",
                                          "my_park_airports.txt:KJFK new entry"}), "");
}

TEST_F(ParkAirportsTest, OtherThreadsQueueAndTheWorkerApplies) {
  write(kListFile, "EGLL\nEHAM\n");
  ParkAirportList list;
  ASSERT_TRUE(list.readMyParkAirports(threeAirports()));
  std::vector<std::thread> window;
  for (int i = 0; i < 4; ++i) {
    window.emplace_back([&list] {
      for (int n = 0; n < 50; ++n) list.requestMoveToFront(n % 2 == 0 ? "EHAM" : "LEMD", {40.47, -3.56});
    });
  }
  // The worker keeps working with its list while the requests come in.
  std::size_t applied = 0;
  while (applied < 200) {
    applied += list.applyRequests();
    EXPECT_LE(list.entries().size(), 3U);
  }
  for (std::thread& thread : window) thread.join();
  EXPECT_EQ(list.applyRequests(), 0U);
  EXPECT_EQ(list.entries().size(), 3U);
  EXPECT_EQ(read(kListFile), "LEMD\nEGLL\nEHAM\n");  // LEMD was written once, in front
}

class ParkedFileTest : public testing::AirportFilesTest {
 protected:
  ParkedFileTest() {
    write(kListFile, "EHAM,D8\n");
    list_.readMyParkAirports(threeAirports());
  }

  // The read's message; the reserved stand it found goes to reservedStand_.
  std::string readParked(std::optional<GeoPoint> user) {
    ParkedFileRequest request{"EHAM", {52.31, 4.76}, user, true};
    ParkedFileResult result = lf_readParkedFile(request, list_, parkAirportStands(), parkAirportHeader, quality_);
    reservedStand_ = result.reservedStand;
    elevationFeet_ = result.elevationFeet;
    return result.message;
  }

  ParkAirportList list_;
  QualityFactors quality_;
  std::string reservedStand_;
  std::optional<double> elevationFeet_;
};

TEST_F(ParkedFileTest, LearnsTheUsersStandAndReservesIt) {
  write("airports/my_thirdparty/EHAM.xml", apfText(baseParameters("MyPub"), testing::twoGates()));
  EXPECT_EQ(readParked(GeoPoint{52.3105, 4.7683}), "");  // the user stands on D7
  EXPECT_EQ(elevationFeet_, -11.0);  // the file's altitude
  EXPECT_EQ(read(kListFile), "EHAM,D7\n");
  EXPECT_EQ(reservedStand_, "D7");
  EXPECT_TRUE(findStandByName(parkAirportStands(), "D7")->reserved);
  const ParkAirportPanel panel = parkAirportPanel();
  EXPECT_TRUE(panel.fileRead && panel.reservedStandMark);
  EXPECT_EQ(panel.panelText, "Schiphol");
  EXPECT_EQ(panel.standCount, 2U);

  list_.entries().front().stand = "Z99";
  EXPECT_EQ(readParked(std::nullopt), "");
  EXPECT_EQ(reservedStand_, "");
  EXPECT_FALSE(parkAirportPanel().reservedStandMark);
}

TEST_F(ParkedFileTest, MissingOrUnknownPublisherFilesAreAnswered) {
  // A table that was read names its stands; once it is emptied it names none.
  write("airports/my_thirdparty/EHAM.xml", apfText(baseParameters("MyPub"), testing::twoGates()));
  ASSERT_EQ(readParked(std::nullopt), "");
  const GeoPoint onD7{52.3105, 4.7683};
  ASSERT_EQ(standNameAtPosition(onD7, true), "D7");
  std::filesystem::remove(path("airports/my_thirdparty/EHAM.xml"));
  setAirportDownloadSite({});
  EXPECT_EQ(readParked(std::nullopt), "lf_readParkedFile EHAM not found");
  EXPECT_EQ(elevationFeet_, std::nullopt);
  EXPECT_TRUE(parkAirportStands().empty());
  EXPECT_EQ(standNameAtPosition(onD7, true), "");
  write("airports/my_thirdparty/EHAM.txt", "airports/unknown/EHAM.xml\n");
  EXPECT_EQ(readParked(std::nullopt), "lf_readParkedFile EHAM has publisher:unknown, airports/unknown/EHAM.xml");
}

TEST_F(ParkedFileTest, SoftLearningStopsAtWellKnownLargeAirports) {
  std::string stands;
  for (int i = 0; i < 20; ++i) {
    stands += fmt::format(R"(<parkpos id="S{}" latitude="52.3{:02}" longitude="4.7"/>)", i, i);
  }
  for (const auto& [realFactor, learnSoft] : {std::pair{"45", false}, {"44", true}}) {
    write("airports/my_thirdparty/EHAM.xml",
          apfText(baseParameters("MyPub") + parameter("Qf_real", realFactor) + parameter("Qf_soft", "0"), stands));
    par_LEARN_SOFT.setValue(true);
    setAirportParametersChanged(false);
    EXPECT_EQ(readParked(std::nullopt), "");
    EXPECT_EQ(par_LEARN_SOFT.value(), learnSoft) << realFactor;
    EXPECT_EQ(airportParametersChanged(), !learnSoft) << realFactor;
  }
}

}  // namespace
}  // namespace crv
