// The livery matching: which step finds a livery at which matching depth.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include <fmt/format.h>

#include "aircraftdata/aircraft_base.h"
#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/livery_database.h"
#include "aircraftdata/livery_matching.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "tests/aircraftdata/dbase_test_files.h"
#include "tests/aircraftdata/livery_test_lists.h"
#include "tests/support/settings_fixture.h"

namespace crv {
namespace {

using testing::livery;

std::string matchingDbase() {
  return testing::DbaseXml()
      .set("aircrafts", R"(<aircraft types="A319,A320,A321,B738,B744,B748,B77L,C152,C172,GLF5,EC35,EC45,F16"/>)")
      .set("large", R"(<lar types="A319,A320,A321,B738"/>)")
      .set("heavy", R"(<hvy types="B744,B748,B77L"/>)")
      .set("buzjet", R"(<bzj types="GLF5"/>)")
      .set("rotorcraft", R"(<rot types="EC35,EC45"/>)")
      .set("high_performance", R"(<hpf types="F16"/>)")
      .set("similar_types", R"(<similar types="A319,A320,A321"/><similar types="B744,B748"/>)"
                            R"(<similar types="EC35,EC45"/><similar types="C152,GLF5"/>)")
      .set("dbase", R"(<db reg="D-ABCD" airl="DLH" type="A320" opr="Lufthansa" cargo="false"/>)"
                    R"(<db reg="N123AB" airl="UAL" type="B738" opr="United" cargo="false"/>)")
      .text();
}

class LiveryMatchingTest : public SettingsFixture {
 protected:
  void SetUp() override {
    testing::installDbaseXml(matchingDbase());
    par_LOG.setValue(true);
    par_MATCHING_DEPTH.setValue(4);
    const LiveryList list = testing::sortedLiveries(
        {livery("DLH", "A320", "LH 320", "D-AIZA"), livery("DLH", "A321", "LH 321"), livery("DLH", "B744", "LH 744"),
         livery("GEC", "B77L", "GEC 77L", "", true), livery("BAW", "A319", "BA 319"),
         livery("BAW", "B744", "BA 744 Cargo", "", true), livery("BAW", "B744", "FSLTL_B744_BAW"),
         livery("ZZZ", "B744", "Generic 744"), livery("ZZZ", "A320", "Generic 320"), livery("ZZZ", "A321", "Generic 321"),
         livery("ZZZ", "C172", "Generic 172"), livery("PVT", "C172", "Private 172"), livery("PVT", "GLF5", "Private GLF5"),
         livery("UAL", "B738", "UA 738"), livery("XXX", "C152", "X 152"), livery("HEL", "EC45", "Heli 45")});
    LiveryIndexes& indexes = database_.indexes;
    indexes.buildAirlineIndex(list);
    indexes.buildAirlineModelIndexes();
    database_.regcodes.regcodeMap.emplace("D-AIZA", indexes.findInstalledTitle("LH 320"));
    indexes.buildModelIndexes();
    indexes.buildSimilarModels(aircraftDatabase().similarTypeGroups);
    indexes.reportLiveryCategories(SizeCategory::Light);
    threadRandomEngine().seed(42);
  }

  AircraftBase aircraft(std::string airline, std::string type, std::string registration = {}, bool cargo = false) {
    AircraftIdentity identity;
    identity.airline = std::move(airline);
    identity.icaoType = std::move(type);
    identity.registration = std::move(registration);
    identity.callsign = "TST123";
    AircraftBase base = buildAircraftObject(identity);
    base.cargo = cargo;
    return base;
  }

  // The title a live aircraft gets at a depth, and the step counted for it
  // (0 when none).
  struct Outcome {
    std::string title;
    int step;
  };
  Outcome spawn(AircraftBase base, int depth) {
    par_MATCHING_DEPTH.setValue(depth);
    MatchStepCounters counters;
    LiveryMatcher matcher(database_, environment_, counters);
    matcher.matchLiveryAtSpawn(base);
    int step = 0;
    for (int s = 1; s <= kMatchStepCount; ++s) {
      if (counters.count(s) > 0) {
        EXPECT_EQ(step, 0) << "two steps counted";
        step = s;
      }
    }
    if (base.liveryTitle.empty()) {
      EXPECT_EQ(step, 0);
    }
    return {base.liveryTitle, step};
  }

  LiveryDatabase database_;
  MatchEnvironment environment_;
};

MATCHER_P2(Matched, title, step, fmt::format("is '{}' at step {}", title, step)) {
  *result_listener << "is '" << arg.title << "' at step " << arg.step;
  return arg.title == title && arg.step == step;
}

TEST_F(LiveryMatchingTest, SpecialRegistrationWinsAtEveryDepth) {
  database_.regcodes.addSpecialTitle(database_.indexes.findInstalledTitle("LH 320"));
  for (int depth = 1; depth <= 4; ++depth) {
    EXPECT_THAT(spawn(aircraft("BAW", "B738", "D-AIZA"), depth), Matched("LH 320", 1)) << depth;
  }
}

// The step each case reaches, with the title it gives (step 0: none).
TEST_F(LiveryMatchingTest, EachStepAtItsDepth) {
  struct Case { const char *airline, *type, *registration; bool cargo; int depth; const char* title; int step; };
  const Case cases[] = {
      // Depth 1 uses only special liveries.
      {"DLH", "A321", "D-XXXX", false, 1, "", 0},
      // Private aircraft take a generic livery first, else their own airline's.
      {"PVT", "C172", "", false, 2, "Generic 172", 4},
      {"PVT", "GLF5", "", false, 2, "Private GLF5", 2},
      // Their own airline, or the airline the database knows the registration by.
      {"DLH", "A321", "", false, 2, "LH 321", 2},
      {"XYZ", "A321", "DABCD", false, 2, "LH 321", 2},
      {"XYZ", "A321", "", false, 2, "", 0},
      // Cargo falls back to the passenger liveries of its own airline only; in
      // the type's model index it takes only cargo liveries.
      {"BAW", "B744", "", true, 2, "BA 744 Cargo", 2},
      {"DLH", "B744", "", true, 2, "LH 744", 2},
      {"KLM", "C152", "", true, 4, "", 0},
      {"KLM", "B77L", "", true, 4, "", 0},
      // Similar types of the airline from depth 3; one of another category is
      // not taken (the business jet skips the airline's Light type).
      {"BAW", "A320", "", false, 2, "", 0},
      {"BAW", "A320", "", false, 3, "BA 319", 3},
      {"XXX", "GLF5", "", false, 3, "Private GLF5", 5},
      // A heavy without a match needs a generic livery and depth 4.
      {"KLM", "B744", "", false, 3, "", 0},
      {"KLM", "B744", "", false, 4, "Generic 744", 4},
      {"KLM", "B748", "", false, 4, "", 0},
      // Light types reach the any-airline and related-type steps.
      {"KLM", "C172", "", false, 3, "Generic 172", 4},
      {"KLM", "C152", "", false, 3, "X 152", 5},
      {"KLM", "EC35", "", false, 3, "Heli 45", 6},
      // An empty airline goes straight to the fallback.
      {"", "A320", "", false, 3, "", 0},
      {"", "A320", "", false, 4, "Generic 320", 4},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(spawn(aircraft(c.airline, c.type, c.registration, c.cargo), c.depth), Matched(c.title, c.step))
        << c.airline << " " << c.type << " " << c.registration << " depth " << c.depth;
  }
}

TEST_F(LiveryMatchingTest, RandomPicksStayInTheirStep) {
  // The airline of the known registration lends its similar types.
  const Outcome outcome = spawn(aircraft("XYZ", "A319", "D-ABCD"), 3);
  EXPECT_EQ(outcome.step, 3);
  EXPECT_TRUE(outcome.title == "LH 320" || outcome.title == "LH 321") << outcome.title;
  // A Light type without relatives: a random Light type with liveries.
  const std::set<std::string> lightTitles = {"X 152", "Generic 172", "Private 172"};
  for (int i = 0; i < 10; ++i) {
    const Outcome light = spawn(aircraft("KLM", "P28A"), 3);
    EXPECT_EQ(light.step, 6);
    EXPECT_EQ(lightTitles.count(light.title), 1u) << light.title;
  }
}

TEST_F(LiveryMatchingTest, AnExcludedTitleEndsTheMatchingUncounted) {
  environment_.isExcludedTitle = [](std::string_view title) { return title == "LH 321"; };
  // A generic A321 livery exists, but the matching ends at the excluded pick.
  EXPECT_THAT(spawn(aircraft("DLH", "A321"), 4), Matched("", 0));
  environment_.isExcludedTitle = [](std::string_view title) { return title == "Generic 744"; };
  EXPECT_THAT(spawn(aircraft("KLM", "B744"), 4), Matched("", 0));
}

TEST_F(LiveryMatchingTest, PickAvoidsSpecialTitlesAndTakesOneWhenAllAreSpecial) {
  LiveryIndexes& indexes = database_.indexes;
  const TitleViews titles = {indexes.findInstalledTitle("LH 320"), indexes.findInstalledTitle("LH 321")};
  database_.regcodes.addSpecialTitle(titles[0]);
  LiveryMatcher matcher(database_, environment_);
  std::set<std::string> picked;
  for (int i = 0; i < 50; ++i) {
    AircraftBase base = aircraft("DLH", "A320");
    matcher.pickLiveryTitle(base, titles);
    picked.insert(base.liveryTitle);
  }
  EXPECT_EQ(picked, (std::set<std::string>{"LH 321"}));
  database_.regcodes.addSpecialTitle(titles[1]);
  AircraftBase base = aircraft("DLH", "A320");
  matcher.pickLiveryTitle(base, titles);
  EXPECT_TRUE(base.liveryTitle == "LH 320" || base.liveryTitle == "LH 321") << base.liveryTitle;
  base.liveryTitle = "kept";
  matcher.pickLiveryTitle(base, {});
  EXPECT_EQ(base.liveryTitle, "kept");
}

TEST_F(LiveryMatchingTest, MatchStepIsLoggedAndFsltlTitlesFlagged) {
  par_MATCHING_DEPTH.setValue(2);
  AircraftBase base = aircraft("BAW", "B744");
  LiveryMatcher(database_, environment_).matchLiveryAtSpawn(base);
  EXPECT_EQ(base.liveryTitle, "FSLTL_B744_BAW");
  EXPECT_TRUE(base.fsltlTitle);
  EXPECT_NE(logText().find("          TST123    BAW B744 =2= FSLTL_B744_BAW\n"), std::string::npos);
}

TEST_F(LiveryMatchingTest, StaticAircraftTakeTheStandsKindAndAreNotCounted) {
  MatchStepCounters counters;
  environment_.recordLine = [](const AircraftIdentity& identity) { return "REC " + identity.callsign; };
  environment_.recordLine3 = [](const AircraftIdentity& identity) { return "REC3 " + identity.callsign; };
  environment_.isExcludedTitle = [](std::string_view title) { return title == "Generic 744"; };
  LiveryMatcher matcher(database_, environment_, counters);
  AircraftBase cargo = aircraft("BAW", "B744");
  EXPECT_TRUE(matcher.matchLivery(cargo, MatchStand{"A12", true}));
  EXPECT_TRUE(cargo.cargo);
  EXPECT_EQ(cargo.liveryTitle, "BA 744 Cargo");

  AircraftBase already = aircraft("KLM", "B748");
  already.liveryTitle = "Kept title";
  EXPECT_TRUE(matcher.matchLivery(already, MatchStand{"C3", false}));
  AircraftBase none = aircraft("KLM", "B748");
  EXPECT_FALSE(matcher.matchLivery(none, MatchStand{"D4", false}));
  AircraftBase excluded = aircraft("KLM", "B744");
  EXPECT_FALSE(matcher.matchLivery(excluded, MatchStand{"E5", false}));
  EXPECT_TRUE(excluded.liveryTitle.empty());

  for (int step = 1; step <= kMatchStepCount; ++step) EXPECT_EQ(counters.count(step), 0u);
  EXPECT_EQ(testing::missingPieces(logText(), {"          REC TST123 =2= BA 744 Cargo\n",
                                               "          REC TST123 =s= Kept title\n",
                                               "D4      : REC3 TST123 no livery match ...\n"}), "");
}

}  // namespace
}  // namespace crv
