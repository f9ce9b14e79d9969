#include <gtest/gtest.h>

#include <fmt/format.h>

#include <pugixml.hpp>

#include "airports/airport_downloads.h"
#include "airports/airport_locations.h"
#include "airports/apf_parameters.h"
#include "airports/apf_reader.h"
#include "airports/apf_writer.h"
#include "airports/half_hours_text.h"
#include "airports/learned_save.h"
#include "foundation/errors.h"
#include "foundation/status_line.h"
#include "tests/airports/airport_file_fixtures.h"
#include "tests/support/thrown_text.h"

namespace crv {
namespace {

using testing::apfText;
using testing::baseParameters;
using testing::kMetaBlock;
using testing::parameter;
using testing::twoGates;

const std::string kBasePath = "airports/my_thirdparty/EHAM.xml";

std::string fixture(const char* name) {
  return testing::readFile(std::filesystem::path(CRVN_SOURCE_DIR) / "tests/airports/fixtures" / name);
}

// The saved file from its parameters on, as the fixtures hold it.
std::string withoutMeta(const std::string& text) { return text.substr(text.find("<parameters>")); }

class ApfReaderTest : public testing::AirportFilesTest {
 protected:
  std::string readBase(const std::string& path = kBasePath) {
    parkAirportStands().clear();
    parkAirportHeader = {};
    return gf_readApf(path, "EHAM", parkAirportHeader, quality_, parkAirportStands());
  }

  const ParkingPosition& stand(std::string_view name) {
    const auto found = findStandByName(parkAirportStands(), name);
    EXPECT_NE(found, parkAirportStands().end()) << name;
    return *found;
  }

  QualityFactors quality_;
};

TEST_F(ApfReaderTest, FullModeRoundTripKeepsEveryAttributeInOrder) {
  write(kBasePath, std::string(kMetaBlock) + fixture("full_EHAM.xml"));
  ASSERT_EQ(readBase(), "");
  pugi::xml_document document;
  ASSERT_FALSE(loadApfDocument(document, path(kBasePath)));
  ApfRecord record;
  record.icao = "EHAM";
  record.airportName = parkAirportHeader.airportName;
  record.publisher = parkAirportHeader.publisher;
  record.altitudeFeet = parkAirportHeader.altitudeFeet;
  record.bglPath = *getApfParameter(document, "BGLpath");
  record.manufacturer = *getApfParameter(document, "manufacturer");
  record.creator = *getApfParameter(document, "creator");
  record.stands = parkAirportStands();
  ASSERT_TRUE(writeAirportFile(record, path("out.xml"), ApfWriteMode::Full));
  EXPECT_EQ(withoutMeta(read("out.xml")), fixture("full_EHAM.xml"));
}

class LearnedFileTest : public ApfReaderTest {
 protected:
  LearnedFileTest() {
    write(kBasePath, apfText(baseParameters("MyPub"), twoGates() +
                                                         R"(<parkpos id="H1" latitude="52.309" longitude="4.765" radius="12" heli="true"/>)"
                                                         R"(<parkpos id="C1" latitude="52.308" longitude="4.764" radius="40" cargo="true" ramp="true"/>)"));
  }
  const std::filesystem::path learnedPath_ = "airports/learned/thirdparty/MyPub/EHAM.xml";
};

TEST_F(LearnedFileTest, LearnedModeRoundTripMergesAndSavesTheSameFile) {
  write(learnedPath_, std::string(kMetaBlock) + fixture("learned_EHAM.xml"));
  ASSERT_EQ(readBase(), "");
  // Every stand, entry and setting read is written back as it was.
  ASSERT_TRUE(saveAirportFile("EHAM", parkAirportHeader, parkAirportStands()));
  EXPECT_EQ(withoutMeta(read(learnedPath_)), fixture("learned_EHAM.xml"));
  EXPECT_EQ(stand("D7").usage.size(), 1U);  // the base file's entry left the table
}

TEST_F(LearnedFileTest, DuplicateOptionsAreDroppedAndManualStandsChecked) {
  write(learnedPath_,
        apfText(parameter("airport_name", "Schiphol"),
                R"(<parkpos id="D7"><opt reg="PH-AAA" airl="KLM" type="B738" day="3" hh="15,30" cs="OTHER"/>)"
                R"(<opt reg="PH-AAA" airl="KLM" type="B738" day="3" hh="16"/></parkpos>)"
                R"(<parkpos id="D7" manual="true" latitude="52.2" longitude="4.1" radius="20"/>)"
                R"(<parkpos id="M2" manual="true" latitude="0.00001" longitude="0.00002" radius="20"/>)"
                R"(<parkpos id="M3" manual="true" latitude="52.2" longitude="4.1"/>)"
                R"(<parkpos id="X9" radius_change="true" radius="50"/>)"));
  ASSERT_EQ(readBase(), "");
  ASSERT_EQ(stand("D7").usage.size(), 2U);
  EXPECT_EQ(stand("D7").usage[1].hh, HalfHourSet().set(16));
  EXPECT_EQ(stand("D7").usage[1].id, 2U);
  EXPECT_EQ(parkAirportStands().size(), 4U);
  const std::string text = log();
  EXPECT_EQ(testing::missingPieces(text, {"manually created standid D7 already exists in",
                                          "manually created standid M2 misses correct attributes in",
                                          "manually created standid M3 misses correct attributes in",
                                          "learned stand X9 in"}), "");
}

TEST_F(LearnedFileTest, RefusedLearnedFilesAreKeptAsideNeverOverwritten) {
  const std::string cut = apfText(parameter("airport_name", "Schiphol"), R"(<parkpos id="D8" radius_chan)").substr(0, 300);
  const std::string noMeta = "<parameters/><parkpositions><parkpos id=\"D8\" radius_change=\"true\" radius=\"50\"/></parkpositions>";
  write(learnedPath_, cut);
  ASSERT_EQ(readBase(), "");
  EXPECT_DOUBLE_EQ(stand("D8").radius * kMetersPerNm, 30.0);
  EXPECT_EQ(read("airports/learned/thirdparty/MyPub/EHAM.0.xml"), cut);
  EXPECT_FALSE(std::filesystem::exists(path(learnedPath_)));
  EXPECT_NE(log().find("found, but could not be loaded, saved as *.0.xml"), std::string::npos);

  write(learnedPath_, noMeta);
  ASSERT_EQ(readBase(), "");
  EXPECT_DOUBLE_EQ(stand("D8").radius * kMetersPerNm, 30.0);
  EXPECT_EQ(read("airports/learned/thirdparty/MyPub/EHAM.0.1.xml"), noMeta);
  EXPECT_EQ(read("airports/learned/thirdparty/MyPub/EHAM.0.xml"), cut);
  EXPECT_NE(log().find("meta block lacks author, date or version"), std::string::npos);
}

TEST_F(LearnedFileTest, ALearnedFileOfTheOtherSimulatorIsReadAndSaidSo) {
  std::string meta(kMetaBlock);
  meta.replace(meta.find(R"(value="2020")"), 12, R"(value="2024")");
  write(learnedPath_, meta + "<parameters/><parkpositions><parkpos id=\"D8\" cargo_change=\"true\" cargo=\"true\"/></parkpositions>");
  ASSERT_EQ(readBase(), "");
  EXPECT_TRUE(stand("D8").cargo);
  EXPECT_NE(log().find("EHAM.xml' was written by version 11.0.2 for MSFS 2024; read for MSFS 2020"), std::string::npos);
}

TEST_F(LearnedFileTest, HandmadeFileReplacesTheStandsAndFailingHalfwayKeepsTheBase) {
  const std::string handmade =
      apfText(parameter("airport_name", "Schiphol") + parameter("handmade", "true"),
              R"(<parkpos id="A1" latitude="52.3" longitude="4.7" radius="20" ramp="true"><opt reg="X" day="2" hh="3"/></parkpos>)"
              R"(<parkpos id="A2" latitude="52.4" longitude="4.7" radius="25"/>)");
  write(learnedPath_, handmade);
  ASSERT_EQ(readBase(), "");
  EXPECT_TRUE(handmadeAirport());
  ASSERT_EQ(parkAirportStands().size(), 2U);
  ASSERT_TRUE(saveAirportFile("EHAM", parkAirportHeader, parkAirportStands()));
  ASSERT_EQ(readBase(), "");  // the saved handmade file reads back whole
  ASSERT_EQ(parkAirportStands().size(), 2U);
  EXPECT_DOUBLE_EQ(stand("A2").radius * kMetersPerNm, 25.0);
  EXPECT_EQ(stand("A1").usage.size(), 1U);

  // A file set aside changes no setting: its overrides count only with its stands.
  par_parking_percentage.setValue(55);
  par_LEARN_SOFT.setValue(true);
  const std::string repeated =
      apfText(parameter("airport_name", "Schiphol") + parameter("handmade", "true") +
                  parameter("parking_percentage", "77") + parameter("LEARN_SOFT", "false"),
              R"(<parkpos id="A1" latitude="52.3" longitude="4.7" radius="20"/><parkpos id="A1" latitude="52.4" longitude="4.7" radius="20"/>)"
              R"(<parkpos id="A3" latitude="52.5" longitude="4.7" radius="20"/>)");
  write(learnedPath_, repeated);
  ASSERT_EQ(readBase(), "");
  EXPECT_FALSE(handmadeAirport());
  EXPECT_NE(findStandByName(parkAirportStands(), "D7"), parkAirportStands().end());  // the base file's stands
  EXPECT_EQ(read("airports/learned/thirdparty/MyPub/EHAM.0.xml"), repeated);
  EXPECT_NE(log().find("lf_readLearned: 94: Parking position A1 appears more than once?"), std::string::npos);
  EXPECT_EQ(par_parking_percentage.value(), 55);
  EXPECT_TRUE(par_LEARN_SOFT.value());

  // The same settings in a file that is taken are applied.
  write(learnedPath_, apfText(parameter("airport_name", "Schiphol") + parameter("handmade", "true") +
                                  parameter("parking_percentage", "77") + parameter("LEARN_SOFT", "false"),
                              R"(<parkpos id="A1" latitude="52.3" longitude="4.7" radius="20"/>)"));
  ASSERT_EQ(readBase(), "");
  EXPECT_TRUE(handmadeAirport());
  EXPECT_EQ(par_parking_percentage.value(), 77);
  EXPECT_FALSE(par_LEARN_SOFT.value());
}

TEST_F(ApfReaderTest, BadBaseFilesAreReportedAndNotRead) {
  EXPECT_EQ(gf_readApf("", "EHAM", parkAirportHeader, quality_, parkAirportStands()), "gf_readApf: xml is empty");
  EXPECT_EQ(gf_readApf(kBasePath, "", parkAirportHeader, quality_, parkAirportStands()), "gf_readApf: no park airport set");

  write(kBasePath, apfText(baseParameters("MyPub"), twoGates()).substr(0, 250));
  EXPECT_EQ(readBase(), kBasePath + ": could not load file: " + kBasePath);

  write(kBasePath, apfText(baseParameters("MyPub"), twoGates()).substr(kMetaBlock.size()));
  EXPECT_EQ(readBase(), kBasePath + ": refused to load (copyright)");
  EXPECT_TRUE(parkAirportStands().empty());

  write(kBasePath, apfText(baseParameters("MyPub"), ""));
  EXPECT_EQ(readBase(), "no stands found");

  write(kBasePath, apfText(parameter("publisher", "MyPub"), twoGates()));
  EXPECT_EQ(testing::thrownText<UserErrorException>([&] { readBase(); }), "65: Parameter altitude not found");
  write(kBasePath, apfText(baseParameters("MyPub"), twoGates() + twoGates()));
  EXPECT_THROW(readBase(), UserErrorException);
}

TEST_F(ApfReaderTest, WithoutLearnedFileTheParkingPercentageIs30AndBaseFactorsHold) {
  par_parking_percentage.setValue(80);
  write(kBasePath, apfText(baseParameters("MyPub") + parameter("Qf_real", "50") + parameter("Qf_soft", "7") +
                               parameter("RT_traffic_week", "31"),
                           twoGates()));
  ASSERT_EQ(readBase(), "");
  EXPECT_EQ(quality_, (QualityFactors{50, 7}));
  EXPECT_EQ(fmt::format("{} {} {} {}", par_parking_percentage.value(), parkAirportHeader.rtTrafficWeek,
                        parkAirportActive(), stand("D8").id),
            "30 31 true 2");
}

TEST_F(ApfReaderTest, ReadingFindsTheNeighbours) {
  // The overlap rule itself is the stand table's; the reader must apply it.
  std::string stands;
  for (const auto& [name, meters] : {std::pair{"A", 0.0}, {"B", 40.0}}) {
    const GeoPoint p = testing::pointAt(testing::kApron, meters);
    stands += fmt::format(R"(<parkpos id="{}" latitude="{:.8f}" longitude="{:.8f}" radius="25"/>)", name, p.latitude,
                          p.longitude);
  }
  write(kBasePath, apfText(baseParameters("MyPub"), stands));
  ASSERT_EQ(readBase(), "");
  EXPECT_EQ(stand("A").neighbours, std::vector<std::uint32_t>{2});
}

// The add-on scan takes a file for offline learning only when its origin is
// known: a named publisher, or else a manufacturer or creator name.
TEST_F(ApfReaderTest, AnOriginIsKnownByItsPublisherOrElseByAManufacturerOrCreatorName) {
  const auto named = [](const char* publisher, const char* manufacturer, const char* creator) {
    return parameter("publisher", publisher) + parameter("manufacturer", manufacturer) + parameter("creator", creator);
  };
  const std::pair<std::string, std::string> cases[] = {
      {named("Orbx", "", ""), ""},
      {named("unknown", "Aerosoft", ""), ""},
      {named("unknown", "", "Orbx"), ""},
      {named("", "", "JFly"), ""},
      {named("unknown", "abc", "xyz"), "manufacturer=abc, creator=xyz"},
      {named("", "", ""), "manufacturer=, creator="},
      {parameter("altitude", "-11"), "manufacturer=, creator="},
  };
  for (const auto& [parameters, origin] : cases) {
    write(kBasePath, apfText(parameters, ""));
    EXPECT_EQ(readApfOrigin(path(kBasePath)), origin) << parameters;
  }
  EXPECT_EQ(readApfOrigin(path("airports/my_thirdparty/LFPG.xml")),
            fmt::format("'{}' not found)", path("airports/my_thirdparty/LFPG.xml").string()));
}

}  // namespace
}  // namespace crv
