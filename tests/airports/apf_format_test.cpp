#include <gtest/gtest.h>

#include <array>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "aircraftdata/aircraft_database.h"
#include "airports/apf_stand_parser.h"
#include "airports/apf_writer.h"
#include "airports/half_hours_text.h"
#include "tests/airports/airport_file_fixtures.h"

namespace crv {
namespace {

using testing::AirportFilesTest;
using testing::kApron;
using testing::makeStand;
using testing::makeUsage;

// The half hours read back as text, and the warnings each item gave.
TEST_F(AirportFilesTest, HalfHoursTextReadsTheHalfHoursAndWarnsOfBadItems) {
  const std::array<const char*, 3> cases[] = {  // text, half hours, warnings
      {"", "", "0"},           {"16,14,15", "14,15,16", "0"}, {"3,x,5", "3,5", "1"},     {"48", "", "1"},
      {"7abc", "7", "0"},      {"-1,0,47", "0,47", "1"},      {"1,,2", "1,2", "1"},
      {"99999999999999999999,4", "4", "1"}};
  std::size_t logged = 0;
  for (const auto& [text, halfHours, warnings] : cases) {
    EXPECT_EQ(bitsetToHours(gf_hours2bitset(text)), halfHours) << text;
    int count = 0;
    const std::string written = log();
    for (std::size_t at = written.find("invalid hour", logged); at != std::string::npos;
         at = written.find("invalid hour", at + 1)) {
      ++count;
    }
    logged = written.size();
    EXPECT_EQ(std::to_string(count), warnings) << text;
  }
}

TEST_F(AirportFilesTest, ManyBadHalfHoursLogAFewLinesOnly) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "x,";
  gf_hours2bitset(text);
  const std::string written = log();
  EXPECT_LT(written.size(), 2000U);
  EXPECT_NE(written.find("more invalid hours"), std::string::npos);
}

pugi::xml_node firstChild(pugi::xml_document& document, const char* xml) {
  EXPECT_TRUE(document.load_string(xml));
  return document.first_child();
}

TEST(UsageEntryParsing, SplitsTheCallsignAtTheFirstColon) {
  pugi::xml_document document;
  const UsageTexts texts = parseUsageEntry(firstChild(document, R"(<opt cs="A:B:C" airl="KLM"/>)"));
  EXPECT_EQ(texts.callsign + " " + texts.secondCallsign + " " + texts.airline, "A B:C KLM");
}

TEST_F(AirportFilesTest, ParkposWithoutUsableCoordinatesOrRadiusAddsNoStand) {
  struct Case { const char* xml; bool added; };
  const Case cases[] = {
      {R"(<parkpos latitude="0.0" longitude="0.0" radius="20"/>)", false},
      {R"(<parkpos latitude="0.0" longitude="4.5" radius="20"/>)", true},
      {R"(<parkpos latitude="91.0" longitude="4.5" radius="20"/>)", false},
      {R"(<parkpos latitude="52.0" longitude="nan" radius="20"/>)", false},
      {R"(<parkpos latitude="52.0" longitude="4.5" radius="-3"/>)", false},
      {R"(<parkpos latitude="52.0" longitude="4.5" radius="1e9"/>)", false},
      {R"(<parkpos latitude="52.0" longitude="4.5"/>)", true},
  };
  for (const Case& c : cases) {
    StandTable stands;
    pugi::xml_document document;
    ApfParseWarnings warnings("test.xml");
    EXPECT_EQ(parseParkPos(firstChild(document, c.xml), "A1", 1, stands, warnings), c.added) << c.xml;
    EXPECT_EQ(stands.size(), c.added ? 1U : 0U) << c.xml;
  }
  EXPECT_NE(log().find("stand A1 skipped in test.xml"), std::string::npos);
}

TEST_F(AirportFilesTest, ParkposReadsKindsHeadingAndNumberedUsage) {
  StandTable stands;
  pugi::xml_document document;
  ApfParseWarnings warnings("test.xml");
  ASSERT_TRUE(parseParkPos(firstChild(document, R"(<parkpos latitude="52" longitude="4" heading="180" radius="20" ramp="true" heli="true">)"
                                                R"(<opt reg="PH-A" day="2" hh="1" soft="true"/><opt reg="PH-B" day="9" hh="1"/>)"
                                                R"(<opt reg="PH-C" day="7" hh="2"/><opt reg="PH-D" hh="2"/>)"
                                                R"(</parkpos>)"),
                           "H1", 1, stands, warnings));
  const ParkingPosition& stand = stands.front();
  EXPECT_TRUE(stand.heli && stand.ramp && !stand.cargo);
  EXPECT_DOUBLE_EQ(stand.heading, 180.0 * kDegreesToRadians);
  ASSERT_EQ(stand.usage.size(), 4U);  // odd weekdays are kept as read, an absent one as 0
  EXPECT_EQ(stand.usage[0].kind, kSoftUsage);
  std::string read;
  for (const UsageEntry& entry : stand.usage) {
    read += fmt::format("{}:{}:{}:{} ", entry.id, entry.reg, entry.day, entry.fromFile);
  }
  EXPECT_EQ(read, "1:PH-A:2:1 2:PH-B:9:1 3:PH-C:7:1 4:PH-D:0:1 ");
  EXPECT_NE(log().find("weekday '9' in test.xml"), std::string::npos);
}

std::string savedText(const ApfRecord& record, ApfWriteMode mode) {
  pugi::xml_document document;
  EXPECT_TRUE(buildAirportDocument(document, record, mode));
  std::ostringstream text;
  document.child("parkpositions").print(text, "", pugi::format_raw);
  document.child("parameters").print(text, "", pugi::format_raw);
  return text.str();
}

TEST_F(AirportFilesTest, LearnedModeChoosesTheStandForm) {
  ApfRecord record;
  record.publisher = "stock";
  ParkingPosition manual = makeStand("M1", kApron, 20.0);
  manual.manual = true;
  manual.radius_change = true;
  ParkingPosition changed = makeStand("C1", kApron, 20.0);
  changed.radius_change = true;
  changed.cargo_change = true;
  changed.cargo = true;
  ParkingPosition heli = makeStand("H1", kApron, 20.0, testing::StandKind::Helipad);
  heli.cargo = true;
  heli.manual = true;
  ParkingPosition bare = makeStand("B1", kApron, 20.0);
  bare.usage = {makeUsage(0, 3, 4, "OUT"), makeUsage(2, 3, 5, "KLM1", "KLM", "B738")};
  bare.usage[1].cs2 = "KLM1X";
  UsageEntry placeholder = makeUsage(3, 3, 6, "FAKE1", "ZZZ", "B738");
  placeholder.placeholder = true;
  bare.usage.push_back(placeholder);
  record.stands = {manual, changed, heli, bare};

  const std::string text = savedText(record, ApfWriteMode::Learned);
  EXPECT_EQ(testing::missingPieces(
                text, {R"(<parkpos id="M1" latitude="52.310500" longitude="4.768300" heading="0.0" radius="20.0" cargo="false" ramp="false" manual="true"/>)",
                       R"(<parkpos id="C1" radius_change="true" radius="20.0" cargo_change="true" cargo="true"/>)",
                       R"(heli="true" ramp="false" manual="true")",
                       R"(<parkpos id="B1"><opt reg="" airl="KLM" type="B738" day="3" hh="5" cs="KLM1:KLM1X"/></parkpos>)",
                       R"(<parameter name="num_parkpos" value="4"/>)"}),
            "")
      << text;
  EXPECT_EQ(text.find("OUT"), std::string::npos);   // taken out of use
  EXPECT_EQ(text.find("FAKE1"), std::string::npos);  // placeholders are never saved
  EXPECT_EQ(text.find("altitude"), std::string::npos);
}

TEST_F(AirportFilesTest, HandmadeAirportWritesEveryStandInFullForm) {
  ApfRecord record;
  record.handmade = true;
  record.quality = {12, 3};
  ParkingPosition changed = makeStand("C1", kApron, 20.0);
  changed.radius_change = true;
  record.stands = {changed, makeStand("B1", kApron, 25.0)};
  const std::string text = savedText(record, ApfWriteMode::Learned);
  EXPECT_EQ(testing::missingPieces(
                text, {R"(<parkpos id="C1" latitude="52.310500" longitude="4.768300" heading="0.0" radius="20.0")",
                       R"(<parkpos id="B1" latitude=)", R"(name="handmade" value="true")", R"(name="altitude")",
                       R"(name="Qf_real" value="12")"}),
            "");
  EXPECT_EQ(text.find("radius_change"), std::string::npos);
}

TEST_F(AirportFilesTest, KnownRegistrationsCarryNoAirlineOrType) {
  AircraftDatabase database;
  database.knownRegistrations["PH-BXA"] = RegistrationData{"KLM", "B738", "KLC", false};
  installAircraftDatabase(std::move(database));
  ApfRecord record;
  ParkingPosition stand = makeStand("B1", kApron, 25.0);
  stand.usage = {makeUsage(1, 3, 5, "KLM1", "XXX", "A320")};
  stand.usage[0].reg = "PH-BXA";
  record.stands = {stand};
  const std::string text = savedText(record, ApfWriteMode::Learned);
  EXPECT_NE(text.find(R"(<opt reg="PH-BXA" day="3" hh="5" cs="KLM1"/>)"), std::string::npos) << text;

  pugi::xml_document document;
  const UsageTexts texts = parseUsageEntry(firstChild(document, R"(<opt reg="PH-BXA" airl="XXX" type="A320"/>)"));
  EXPECT_EQ(texts.airline + " " + texts.type, "KLC B738");  // the operator before the airline
  installAircraftDatabase({});
}

}  // namespace
}  // namespace crv
