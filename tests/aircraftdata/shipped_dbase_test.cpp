// The database the program ships: data/dbase.xml, encrypted by the build to
// input/dbase.enc.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/type_lookups.h"
#include "tests/aircraftdata/dbase_test_files.h"
#include "tests/support/temp_folder.h"

namespace crv {
namespace {

const std::filesystem::path kShippedDbase = CRVN_SHIPPED_DBASE_ENC;
const std::filesystem::path kSourceList = CRVN_AIRCRAFT_TYPES_CSV;

// The fields of one line of the source list; quoted fields may hold commas.
std::vector<std::string> csvFields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// The largest wing span in feet that the source list gives a designator.
double largestSourceSpanFeet(const std::string& designator) {
  std::ifstream source(kSourceList);
  std::string line;
  std::getline(source, line);
  const std::vector<std::string> header = csvFields(line);
  const auto codeColumn = std::find(header.begin(), header.end(), "ICAO Code") - header.begin();
  const auto spanColumn = std::find(header.begin(), header.end(), "Wingspan- ft") - header.begin();
  double largest = 0.0;
  while (std::getline(source, line)) {
    const std::vector<std::string> fields = csvFields(line);
    if (std::ssize(fields) > std::max(codeColumn, spanColumn) && fields[codeColumn] == designator) {
      largest = std::max(largest, std::atof(fields[spanColumn].c_str()));  // "tbd" or empty: 0
    }
  }
  return largest;
}

class ShippedDbaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kShippedDbase)) << kShippedDbase;
    std::filesystem::copy_file(kShippedDbase, folder_ / "dbase.enc");
    ASSERT_TRUE(readDbase(folder_ / "dbase.enc", folder_ / "dbase.xml"));
  }

  testing::TempFolder folder_;
  testing::LogCapture log_;
};

TEST_F(ShippedDbaseTest, EverySectionLoadsAndThePlainFileIsGone) {
  const AircraftDatabase& db = aircraftDatabase();
  EXPECT_GT(db.typeSets.all.size(), 400u);
  EXPECT_GT(db.icaoAirlines.size(), 100u);
  EXPECT_EQ(db.halfSpanMap.size(), db.typeSets.all.size());
  for (const std::size_t size :
       {db.typeSets.highPerformance.size(), db.typeSets.heavy.size(), db.typeSets.large.size(),
        db.typeSets.buzjet.size(), db.typeSets.rotorcraft.size(), db.typeSets.cargo.size(),
        db.similarTypeGroups.size(), db.cargoOperators.size(), db.publisherNames.size(), db.fixMap.size(),
        db.simaddonAirports20.size(), db.knownRegistrations.size()}) {
    EXPECT_GT(size, 0u);
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ / "dbase.xml"));
  // Every category has wing spans of its own: no default was needed.
  EXPECT_EQ(log_.text().find("===> "), std::string::npos) << log_.text();
}

TEST_F(ShippedDbaseTest, CommonTypesHaveTheirSizeAndKnownRegistrationsTheirType) {
  const std::pair<const char*, SizeCategory> cases[] = {
      {"B738", SizeCategory::Large},   {"A20N", SizeCategory::Large},      {"DH8D", SizeCategory::Large},
      {"B744", SizeCategory::Heavy},   {"A388", SizeCategory::Heavy},      {"GLF5", SizeCategory::Buzjets},
      {"EC35", SizeCategory::Rotorcraft}, {"C172", SizeCategory::Light}};
  for (const auto& [type, category] : cases) EXPECT_EQ(aircraftCategory(type), category) << type;
  const auto data = findRegcode("DAIMA");
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->airl + " " + data->type, "DLH A388");
  EXPECT_TRUE(isIcaoAirline(data->airl));
}

TEST_F(ShippedDbaseTest, HalfSpansMatchTheSourceList) {
  if (!std::filesystem::exists(kSourceList)) {
    GTEST_SKIP() << "source list not present: " << kSourceList;
  }
  for (const char* type : {"B738", "B744", "C172", "A388", "E190", "GLF5", "AT72"}) {
    const double sourceFeet = largestSourceSpanFeet(type);
    ASSERT_GT(sourceFeet, 0.0) << type;
    // The database keeps the span in metres to two decimals.
    EXPECT_NEAR(wingspanOfType(type), sourceFeet * 0.3048 / 2.0 / 1852.0, 0.006 / 2.0 / 1852.0) << type;
  }
  EXPECT_NEAR(largestHalfWingSpan(), 88.40 / 2.0 / 1852.0, 1e-9);  // An-225
}

}  // namespace
}  // namespace crv
