#include <gtest/gtest.h>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "aircraftdata/aircraft_database.h"
#include "airports/airport_overrides.h"
#include "airports/placeholder_usage.h"
#include "airports/half_hours_text.h"
#include "airports/quality_factors.h"
#include "airports/stand_distances.h"
#include "foundation/status_line.h"
#include "tests/airports/airport_file_fixtures.h"

namespace crv {
namespace {

using testing::kApron;
using testing::makeStand;
using testing::makeUsage;
using testing::parameter;

using AirportSettingsTest = testing::AirportFilesTest;

void applyParameters(const std::string& parameters) {
  pugi::xml_document learned;
  ASSERT_TRUE(learned.load_string(("<parameters>" + parameters + "</parameters>").c_str()));
  applyAirportOverrides(learned);
}

TEST_F(AirportSettingsTest, MaxLiveIsSteppedAndAnAbsentOneMeansTheDefault) {
  const std::pair<const char*, int> cases[] = {{"60", 50}, {"24", 10}, {"25", 25}, {"99", 75},
                                               {"100", 100}, {"250", 100}, {"-1", 500}, {"abc", 10}};
  for (const auto& [value, expected] : cases) {
    applyParameters(parameter("MAX_LIVE", value));
    EXPECT_EQ(par_MAX_LIVE_SEL.value(), expected) << value;
  }
  par_MAX_LIVE_SEL.setValue(25);
  applyParameters("");
  EXPECT_EQ(par_MAX_LIVE_SEL.value(), 500);
}

TEST_F(AirportSettingsTest, ParkingPercentageIsAppliedAsRead) {
  for (const auto& [value, expected] : {std::pair{"250", 250}, {"-4", -4}, {"", 30}}) {  // "": absent
    applyParameters(*value == '\0' ? "" : parameter("parking_percentage", value));
    EXPECT_EQ(par_parking_percentage.value(), expected) << value;
  }
  EXPECT_NE(log().find(fmt::format("{:24}: 250", "parking_percentage")), std::string::npos);
}

TEST_F(AirportSettingsTest, RangeAndAutomaticRangeGoThroughTheSessionsHooks) {
  int on = 0;
  int off = 0;
  setAutoRangeHooks({[&on] { ++on; }, [&off] { ++off; }});
  setStatusLine("old text");
  applyParameters(parameter("LATERAL_RANGE", "23") + parameter("AUTO_RANGE", "false"));
  EXPECT_EQ(par_RANGE.value(), 25);
  EXPECT_FALSE(par_AUTO_RANGE.value());
  EXPECT_EQ(off, 1);
  EXPECT_EQ(statusLineText(), "");
  applyParameters(parameter("AUTO_RANGE", "yes"));
  EXPECT_EQ(on, 1);
  setAutoRangeHooks({});
  EXPECT_NE(log().find("LATERAL_RANGE           : 25"), std::string::npos);
}

TEST_F(AirportSettingsTest, OverridesAreWrittenAsTheyReadBack) {
  par_WEEK.setValue(true);
  par_MAX_FIT.setValue(5);
  for (const int maxLive : {500, 50}) {
    par_MAX_LIVE_SEL.setValue(maxLive);
    pugi::xml_document document;
    writeAirportOverrides(document.append_child("parameters"));
    const auto count = std::distance(document.child("parameters").children().begin(),
                                     document.child("parameters").children().end());
    EXPECT_EQ(count, maxLive == 500 ? 10 : 11);
    par_WEEK.setValue(false);
    par_MAX_LIVE_SEL.setValue(10);
    applyAirportOverrides(document);
    EXPECT_TRUE(par_WEEK.value());
    EXPECT_EQ(par_MAX_LIVE_SEL.value(), maxLive);
    EXPECT_FLOAT_EQ(par_MAX_FIT_FL.value(), 3.0F);
  }
  EXPECT_NE(log().find("MAX_FIT                 : 5 (max number of half hours, is 3 hrs decimal)"), std::string::npos);
}

TEST(QualityFactors, MatchTheWorkedExamples) {
  ParkingPosition used = makeStand("A", kApron, 20.0);
  used.usage = {makeUsage(1, 3, 10)};
  // (20 + 10000 + 100 + 2) x 0.00625 = 63.26
  EXPECT_EQ(computeQualityFactors({used}), (QualityFactors{63, 0}));
  // Half the weight on a stand without usage: 5061 x 0.00625 = 31.6
  EXPECT_EQ(computeQualityFactors({used, makeStand("B", kApron, 20.0)}), (QualityFactors{32, 0}));
  // Two soft entries on two days with 3 half hours: 40 + 10000 + 200 + 6 = 10246 -> 64.04
  ParkingPosition soft = makeStand("C", kApron, 20.0);
  soft.usage = {makeUsage(1, 1, 4), makeUsage(2, 2, 5)};
  soft.usage[1].hh.set(6);
  for (UsageEntry& entry : soft.usage) entry.kind = kSoftUsage;
  EXPECT_EQ(computeQualityFactors({soft}), (QualityFactors{0, 64}));
  ParkingPosition retired = makeStand("D", kApron, 20.0);
  retired.usage = {makeUsage(0, 3, 10)};
  EXPECT_EQ(computeQualityFactors({retired}), (QualityFactors{0, 0}));
  EXPECT_EQ(computeQualityFactors({makeStand("E", kApron, 20.0)}), (QualityFactors{-1, -1}));
  EXPECT_EQ(computeQualityFactors({}), (QualityFactors{-1, -1}));

  EXPECT_EQ(formatQualityFactors({44, 7}) + "|" + formatQualityFactors({45, 7}) + "|" + formatQualityFactors({-1, -1}),
            "44/ 7|45|  ");
}

class PlaceholderTest : public testing::AirportFilesTest {
 protected:
  PlaceholderTest() {
    AircraftDatabase database;
    for (const auto& [type, meters] : {std::pair{"C208", 8.0}, {"B752", 19.0}, {"B763", 24.0}, {"A306", 22.0},
                                      {"B77W", 32.0}, {"B739", 17.9}, {"BCS3", 17.5}, {"A320", 17.0}, {"B78X", 20.0},
                                      {"B738", 17.9}, {"E75L", 13.0}, {"B737", 17.0}}) {
      database.halfSpanMap[type] = meters / kMetersPerNm;
    }
    installAircraftDatabase(std::move(database));
  }
  ~PlaceholderTest() override { installAircraftDatabase({}); }

  static constexpr DaySlot kSlot{4, 20};
};

TEST_F(PlaceholderTest, EveryStandGetsAFittingPairNumberedByTheStandsThatGotOne) {
  StandTable stands{makeStand("G1", kApron, 17.0), makeStand("TINY", kApron, 2.0),
                    makeStand("G2", kApron, 32.0), makeStand("H", kApron, 3.0, testing::StandKind::Helipad),
                    makeStand("C", kApron, 8.0, testing::StandKind::Cargo)};
  stands[2].usage = {makeUsage(7, 1, 1)};
  addPlaceholderUsage("KJFK", stands, kSlot);
  EXPECT_EQ(stands[0].usage.back().cs, "FAKE1");
  EXPECT_TRUE(stands[1].usage.empty());  // no type of group K is that small
  const UsageEntry& second = stands[2].usage.back();
  EXPECT_EQ(fmt::format("{} {} {} {} {} {} {} {} {}", second.cs, second.reg, second.id, second.type,
                        second.kind == kSoftUsage, second.day, bitsetToHours(second.hh), second.placeholder,
                        second.fromFile),
            "FAKE2 REGFAKE2 8 B77W true 4 20 true 1");
  EXPECT_EQ(stands[3].usage.back().type, "EC35");
  EXPECT_EQ(stands[4].usage.back().airl + stands[4].usage.back().type, "FDXC208");

  // Airports outside the known regions get the generic pair.
  StandTable elsewhere{makeStand("G1", kApron, 2.0), makeStand("G2", kApron, 80.0)};
  addPlaceholderUsage("LFPG", elsewhere, kSlot);
  for (const ParkingPosition& stand : elsewhere) EXPECT_EQ(stand.usage.back().airl + stand.usage.back().type, "ZZZB738");
}

}  // namespace
}  // namespace crv
