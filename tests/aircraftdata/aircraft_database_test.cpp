#include "aircraftdata/aircraft_database.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fmt/format.h>

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "aircraftdata/type_lookups.h"
#include "foundation/errors.h"
#include "tests/aircraftdata/dbase_test_files.h"
#include "tests/support/temp_folder.h"

namespace crv {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::DbaseXml;
using testing::LogCapture;
using testing::TempFolder;
using testing::installDbaseXml;
using testing::writeEncrypted;
using testing::writeFile;

constexpr double kNmPerMeter = 1.0 / 1852.0;

class ReadDbaseTest : public ::testing::Test {
 protected:
  std::filesystem::path encrypted() const { return folder_ / "input" / "dbase.enc"; }
  std::filesystem::path plain() const { return folder_ / "input" / "dbase.xml"; }

  void writeDbase(const std::string& xml) { writeEncrypted(encrypted(), xml); }

  // The text of the error that reading the database throws, the kind
  // (user error or other) before it.
  std::string readError() {
    try {
      readDbase(encrypted(), plain());
    } catch (const UserErrorException& e) {
      return std::string("user: ") + e.what();
    } catch (const std::runtime_error& e) {
      return std::string("other: ") + e.what();
    }
    return "no error";
  }

  TempFolder folder_;
  LogCapture log_;
};

TEST_F(ReadDbaseTest, LoadsTheTablesInMemoryAndRemovesAStalePlainCopy) {
  writeDbase(DbaseXml().text());
  // A kill during an earlier read left the plain database readable beside the encrypted one.
  writeFile(plain(), DbaseXml().text());
  ASSERT_TRUE(readDbase(encrypted(), plain()));
  EXPECT_FALSE(std::filesystem::exists(plain()));

  const AircraftDatabase& db = aircraftDatabase();
  EXPECT_EQ(db.typeSets.all.size(), 8u);          // both elements, " A320" trimmed
  EXPECT_THAT(db.similarTypeGroups[0], ElementsAre("A318", "A319", "A320"));
  EXPECT_THAT(db.thirdpartyAirports20[0].airports, ElementsAre("EHAM 140", "LOWW 77"));
  EXPECT_NEAR(db.halfSpanMap.at("B738"), 35.79 / 2 * kNmPerMeter, 1e-12);
  EXPECT_NEAR(db.maxHalfSpan, 79.75 / 2 * kNmPerMeter, 1e-12);
  // A category's average is the mean half span of its types.
  EXPECT_NEAR(db.categorySpanAverage[categoryIndex(SizeCategory::Heavy)], (64.44 + 79.75) / 4 * kNmPerMeter, 1e-12);
  EXPECT_EQ(log_.missing({"   2 publishers", "2 dbase records read"}), "");

  // Where no plain file can be written at all, the database is read all the same.
  installDbaseXml(DbaseXml().remove("dbase").text());
  ASSERT_TRUE(readDbase(encrypted(), folder_ / "no such folder" / "dbase.xml"));
  EXPECT_EQ(aircraftDatabase().knownRegistrations.size(), 2u);
}

// A missing or damaged file, XML that does not parse, a missing, empty or
// blank required section: each a clear error that leaves no plain file and
// keeps the tables loaded before.
TEST_F(ReadDbaseTest, BadFilesFailWithTheirReasonAndKeepThePreviousTables) {
  installDbaseXml(DbaseXml().text());
  EXPECT_EQ(readError(), "other: " + encrypted().string() + " not available");
  writeFile(encrypted(), std::string(200, 'x'));
  EXPECT_EQ(readError(), "other: " + encrypted().string() + " stream decrypt failed");
  EXPECT_FALSE(std::filesystem::exists(plain()));
  writeDbase("<aircrafts><aircraft types=\"B738\"></aircrafts");
  EXPECT_THAT(readError(), HasSubstr("user: 60: '" + plain().string() + "' not read because of "));
  EXPECT_FALSE(std::filesystem::exists(plain()));
  EXPECT_TRUE(aircraftDatabase().typeSets.all.contains("B738"));

  const std::array<const char*, 3> required[] = {
      {"aircrafts", "aircraft", "types"}, {"high_performance", "hpf", "types"}, {"heavy", "hvy", "types"},
      {"large", "lar", "types"},          {"buzjet", "bzj", "types"},          {"rotorcraft", "rot", "types"},
      {"cargo_types", "cargo_type", "types"}, {"ICAO_airlines", "ICAO", "codes"},
      {"cargo_operators", "ICAO", "codes"},   {"simaddons20", "simaddon20", "arpts"}};
  const auto error61 = [](const char* section, const char* element, const char* attribute) {
    return fmt::format("user: 61: In XML file section [{}], element [{}], attribute [{}] is empty.", section,
                       element, attribute);
  };
  for (const auto& [section, element, attribute] : required) {
    writeDbase(DbaseXml().remove(section).text());
    EXPECT_EQ(readError(), error61(section, element, attribute));
    EXPECT_FALSE(std::filesystem::exists(plain()));
  }
  for (const char* types : {"", " , ,"}) {
    writeDbase(DbaseXml().set("aircrafts", fmt::format("<aircraft types=\"{}\"/>", types)).text());
    EXPECT_EQ(readError(), error61("aircrafts", "aircraft", "types")) << types;
  }
}

TEST_F(ReadDbaseTest, OptionalSectionsMayBeMissing) {
  writeDbase(DbaseXml().remove("similar_types").remove("publishers").remove("fixes").remove("thirdparties20")
                 .remove("thirdparties24").remove("dbase").text());
  ASSERT_TRUE(readDbase(encrypted(), plain()));
  EXPECT_TRUE(aircraftDatabase().knownRegistrations.empty());
  EXPECT_EQ(publisherCount(), 0u);
}

class DbaseTablesTest : public ::testing::Test {
 protected:
  LogCapture log_;
};

TEST_F(DbaseTablesTest, BadOrRepeatedWingspansAreSkippedAndLeftOutOfTheAverages) {
  struct Case { const char* wingspans; double b738HalfSpanMeters /* 0: none */, maxHalfSpanMeters; const char* logged; };
  const Case cases[] = {
      {R"(<wingspan type="B738" meters="30"/><wingspan type="B999" meters="90"/><wingspan type="" meters="90"/>)",
       15, 15, "===> wingspan model B999 is not valid, skipped"},
      // A repeated type keeps its first value but raises the maximum.
      {R"(<wingspan type="B738" meters="30"/><wingspan type="B738" meters="40"/>)", 15, 20, ""},
      {R"(<wingspan type="B738" meters="wide"/><wingspan type="A320" meters="-3"/><wingspan type="C172" meters=" 11 "/>)",
       0, 5.5, "wingspan of B738 is not a number: 'wide', skipped"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wingspans);
    installDbaseXml(DbaseXml().set("wingspans", c.wingspans).text());
    const AircraftDatabase& db = aircraftDatabase();
    EXPECT_FALSE(db.halfSpanMap.contains("B999"));
    EXPECT_FALSE(db.halfSpanMap.contains("A320"));
    if (c.b738HalfSpanMeters > 0) {
      EXPECT_NEAR(db.halfSpanMap.at("B738"), c.b738HalfSpanMeters * kNmPerMeter, 1e-12);
      EXPECT_NEAR(db.categorySpanAverage[categoryIndex(SizeCategory::Large)], 15 * kNmPerMeter, 1e-12);
    } else {
      EXPECT_FALSE(db.halfSpanMap.contains("B738"));
    }
    EXPECT_NEAR(db.maxHalfSpan, c.maxHalfSpanMeters * kNmPerMeter, 1e-12);
    EXPECT_THAT(log_.text(), HasSubstr(c.logged));
  }
}

TEST_F(DbaseTablesTest, CategoryWithoutWingspanGetsAFixedDefaultNotNaN) {
  installDbaseXml(DbaseXml().set("wingspans", R"(<wingspan type="B738" meters="35.79"/>)").text());
  const auto& averages = aircraftDatabase().categorySpanAverage;
  EXPECT_DOUBLE_EQ(averages[categoryIndex(SizeCategory::Heavy)], defaultCategoryHalfSpan(SizeCategory::Heavy));
  EXPECT_GT(averages[categoryIndex(SizeCategory::Rotorcraft)], 0.0);
  EXPECT_THAT(log_.text(), HasSubstr("===> no wingspan of category Heavy"));
  EXPECT_THAT(log_.text(), Not(HasSubstr("no wingspan of category Large")));
}

TEST_F(DbaseTablesTest, RepeatedFixKeepsTheFirstAndInvalidFixesAreSkipped) {
  installDbaseXml(DbaseXml().set("fixes", R"(<fx wro="B77F" cor="B744"/><fx wro="B77F" cor="A388"/>)"
                                           R"(<fx wro="XX1" cor="NOPE"/><fx wro="XX2"/>)").text());
  const auto& fixes = aircraftDatabase().fixMap;
  EXPECT_EQ(fixes.size(), 1u);
  EXPECT_EQ(fixes.at("B77F"), "B744");
  EXPECT_EQ(log_.missing({"===> wrong part of fix: 'B77F', already exists, skipped",
                          "===> wrong fix XX1 -> NOPE, the latter is not valid",
                          "===> wrong fix XX2 -> , the latter is not valid"}), "");
}

TEST_F(DbaseTablesTest, RepeatedRegistrationsKeepTheFirstRecord) {
  installDbaseXml(DbaseXml().set("dbase", R"(<db reg="A1" cargo="yes"/><db reg="A2" cargo="no"/><db reg="A3"/>)"
                                           R"(<db airl="XYZ"/><db reg="A1" airl="SECOND"/>)").text());
  const auto& known = aircraftDatabase().knownRegistrations;
  EXPECT_TRUE(known.at("A1").cargo);
  EXPECT_FALSE(known.at("A2").cargo || known.at("A3").cargo);
  EXPECT_EQ(known.at("").airl, "XYZ");  // a record without reg
  EXPECT_EQ(known.at("A1").airl, "");   // the first record is kept
  EXPECT_THAT(log_.text(), HasSubstr("===> regcode A1 already exists"));
}

}  // namespace
}  // namespace crv
