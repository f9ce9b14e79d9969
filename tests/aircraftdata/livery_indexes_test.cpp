// The livery indexes built from sorted lists of scanned liveries.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/livery_indexes.h"
#include "foundation/parameters_file.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "platform/window/control_model.h"
#include "tests/aircraftdata/dbase_test_files.h"
#include "tests/aircraftdata/livery_test_lists.h"
#include "tests/support/settings_fixture.h"

namespace crv {
namespace {

using testing::livery;
using testing::sortedLiveries;

std::vector<std::string> titlesOf(const TitleViews* views) {
  if (views == nullptr) return {};
  return {views->begin(), views->end()};
}

LiveryIndexes buildAll(const LiveryList& liveries,
                       const std::vector<std::vector<std::string>>& similarGroups = {}) {
  LiveryIndexes indexes;
  indexes.buildAirlineIndex(liveries);
  indexes.buildAirlineModelIndexes();
  indexes.buildModelIndexes();
  indexes.buildSimilarModels(similarGroups);
  return indexes;
}

TEST(ScannedLiveriesTest, SortGroupsByAirlineThenTypeAndDropsAdjacentDuplicates) {
  LiveryList list = {livery("DLH", "B744", "b"), livery("BAW", "A320", "c"), livery("DLH", "A320", "a"),
                     livery("DLH", "A320", "a"), livery("BAW", "A320", "c", "G-EUUA")};
  list.front().folderIndex = 3;  // the folder number takes no part in equality
  list.push_back(livery("DLH", "B744", "b"));
  sortScannedLiveries(list);
  std::vector<std::string> order;
  for (const auto& entry : list) order.push_back(entry.airl + " " + entry.type + " " + entry.title + " " + entry.atcid);
  EXPECT_EQ(order, (std::vector<std::string>{"BAW A320 c ", "BAW A320 c G-EUUA", "DLH A320 a ", "DLH B744 b "}));
}

// The next airline's first type equals the previous airline's last type; a
// group that comes again later does not replace the first.
TEST(LiveryIndexesTest, AirlineGroupsEndAtEveryAirlineBoundaryAndTheFirstGroupStays) {
  LiveryList list = sortedLiveries({livery("AAA", "A320", "AAA one"), livery("AAA", "B738", "AAA two"),
                                    livery("AAA", "B738", "AAA three"), livery("BBB", "B738", "BBB one")});
  list.push_back(livery("AAA", "A320", "AAA late"));
  const LiveryIndexes indexes = buildAll(list);
  std::string groups;  // in list order
  for (const auto& [airline, type] : {std::pair{"AAA", "A320"}, {"AAA", "B738"}, {"BBB", "B738"}}) {
    for (const auto& entry : indexes.airlineIndex().at(airline).at(type)) groups += entry.title + ",";
  }
  EXPECT_EQ(groups, "AAA one,AAA three,AAA two,BBB one,");
  EXPECT_EQ(titlesOf(indexes.airlineModelTitles(kPassengerIndex, "BBB", "B738")),
            (std::vector<std::string>{"BBB one"}));
}

TEST(LiveryIndexesTest, PassengerAndCargoLiveriesAreSplit) {
  const LiveryList list =
      sortedLiveries({livery("FDX", "MD11", "FedEx", "", true), livery("DLH", "B744", "LH pax"),
                      livery("DLH", "B744", "LH cargo", "", true), livery("ZZZ", "B744", "Generic")});
  const LiveryIndexes indexes = buildAll(list);
  // An airline with only cargo liveries is only in the cargo index.
  EXPECT_EQ(indexes.paxAirlineModelIndex().count("FDX"), 0u);
  EXPECT_EQ(titlesOf(indexes.airlineModelTitles(kCargoIndex, "DLH", "B744")), (std::vector<std::string>{"LH cargo"}));
  EXPECT_EQ(titlesOf(indexes.airlineModelTitles(kPassengerIndex, "DLH", "B744")), (std::vector<std::string>{"LH pax"}));
  EXPECT_EQ(indexes.airlineModelTitles(kPassengerIndex, "DLH", "MD11"), nullptr);
  EXPECT_THROW(indexes.airlineModelTitles(2, "DLH", "B744"), std::out_of_range);
  // The model indexes cover every airline.
  std::vector<std::string> paxB744 = titlesOf(indexes.modelTitles(false, "B744"));
  std::sort(paxB744.begin(), paxB744.end());
  EXPECT_EQ(paxB744, (std::vector<std::string>{"Generic", "LH pax"}));
  EXPECT_EQ(titlesOf(indexes.modelTitles(true, "B744")), (std::vector<std::string>{"LH cargo"}));
  EXPECT_EQ(indexes.modelTitles(false, "MD11"), nullptr);
}

TEST(LiveryIndexesTest, FindInstalledTitleGivesTheStoredTextByExactBytes) {
  const LiveryIndexes indexes = buildAll(sortedLiveries({livery("DLH", "A320", "Lufthansa D-AIZA")}));
  const std::string_view found = indexes.findInstalledTitle(std::string("Lufthansa D-AIZA"));
  EXPECT_EQ(found.data(), indexes.airlineIndex().at("DLH").at("A320")[0].title.data());
  EXPECT_TRUE(indexes.findInstalledTitle("lufthansa D-AIZA").empty() && indexes.findInstalledTitle("Lufthansa").empty());
}

TEST(LiveryIndexesTest, SimilarModelsNeedLiveriesOfTheOtherMembers) {
  const LiveryList list = sortedLiveries({livery("DLH", "A320", "LH 320"), livery("DLH", "A321", "LH 321"),
                                          livery("BAW", "A319", "BA 319"), livery("EZY", "B738", "EZY 738")});
  LiveryIndexes indexes = buildAll(list, {{"A319", "A320", "A321"}, {"B737", "B738"}, {"B772", "B77W"}});
  const auto& similar = indexes.similarModelMap();
  EXPECT_EQ(similar.at("A320"), (TypeList{"A319", "A321"}));
  EXPECT_EQ(similar.at("B737"), (TypeList{"B738"}));
  EXPECT_EQ(similar.count("B738") + similar.count("B772"), 0u);  // no other member has liveries
  // DLH has A320 and A321 liveries: only types it lacks get an entry.
  const auto& byAirline = indexes.similarModelsByAirline();
  EXPECT_EQ(byAirline.at("DLH").count("A320") + byAirline.at("DLH").count("A321"), 0u);
  EXPECT_EQ(byAirline.at("BAW").at("A320"), (TypeList{"A319"}));
  EXPECT_TRUE(indexes.similarModelsOf("EZY", "B738").empty() && indexes.similarModelsOf("XXX", "A320").empty());

  // Every call reorders the stored list; over many calls both orders appear.
  threadRandomEngine().seed(7);
  std::set<TypeList> orders;
  for (int i = 0; i < 40; ++i) orders.insert(indexes.similarModelsOf("DLH", "A319"));
  EXPECT_EQ(orders, (std::set<TypeList>{{"A320", "A321"}, {"A321", "A320"}}));
}

// The three category settings on, with their check boxes.
class CategoryReportTest : public SettingsFixture {
 protected:
  CategoryReportTest() {
    testing::installDbaseXml(testing::DbaseXml().text());
    for (BoolControlParameter* setting : {&par_LIGHT_AIRCRAFT, &par_HIGH_PERF_AIRCRAFT, &par_HELICOPTERS}) {
      platform::mainWindowControls().createControl(setting->controlId(), platform::ControlKind::CheckBox, {});
      platform::mainWindowControls().setChecked(setting->controlId(), true);
      platform::mainWindowControls().setEnabled(setting->controlId(), true);
      setting->setValue(true);
    }
  }
};

TEST_F(CategoryReportTest, ACategoryWithoutLiveriesIsSwitchedOffSavedAndItsCheckBoxDisabled) {
  // The test database: B738 Large, B744 Heavy, GLF5 Buzjets, EC35 Rotorcraft.
  LiveryIndexes indexes = buildAll(sortedLiveries(
      {livery("DLH", "B744", "LH 1"), livery("DLH", "B744", "LH 2", "", true), livery("ZZZ", "EC35", "Heli")}));
  for (std::size_t category = 0; category < kSizeCategoryCount; ++category) {
    indexes.reportLiveryCategories(static_cast<SizeCategory>(category));
  }
  const std::string log = logText();
  EXPECT_EQ(testing::missingPieces(log, {"Category Light: No livery found\n",
                                         "Category Heavy: 1 pax liverie and 1 cargo liverie\n  B744\n",
                                         "Category Rotorcraft: 1 pax liverie\n  EC35\n",
                                         "LIGHT_AIRCRAFT temporarily switched off because you do not have light "
                                         "aircraft installed",
                                         "HIGH_PERF_AIRCRAFT temporarily switched off because you do not have High "
                                         "Perf aircraft installed"}),
            "");
  EXPECT_EQ(log.find("HELICOPTERS temporarily"), std::string::npos) << log;

  EXPECT_FALSE(par_LIGHT_AIRCRAFT.value());
  EXPECT_EQ(storedValue(parametersPath(), "LIGHT_AIRCRAFT"), "false");
  EXPECT_TRUE(par_HELICOPTERS.value());
  const auto& controls = platform::mainWindowControls();
  EXPECT_EQ(controls.isEnabled(par_LIGHT_AIRCRAFT.controlId()), false);
  EXPECT_EQ(controls.isChecked(par_LIGHT_AIRCRAFT.controlId()), false);
  EXPECT_EQ(controls.isEnabled(par_HIGH_PERF_AIRCRAFT.controlId()), false);
  EXPECT_EQ(controls.isEnabled(par_HELICOPTERS.controlId()), true);
  EXPECT_EQ(indexes.randomLightModel(), "");
  EXPECT_EQ(indexes.randomModelAsList(SizeCategory::Rotorcraft), (TypeList{"EC35"}));
}

TEST_F(CategoryReportTest, ASettingAlreadyOffIsOnlyDisabled) {
  par_LIGHT_AIRCRAFT.setValue(false);
  LiveryIndexes indexes = buildAll(sortedLiveries({livery("DLH", "B744", "LH 1")}));
  indexes.reportLiveryCategories(SizeCategory::Light);
  EXPECT_EQ(logText().find("temporarily switched off"), std::string::npos);
  EXPECT_EQ(platform::mainWindowControls().isEnabled(par_LIGHT_AIRCRAFT.controlId()), false);
}

TEST_F(CategoryReportTest, TypesAreLoggedTwentyToALine) {
  LiveryList list;
  std::string firstLine = "  ";
  for (int i = 0; i < 21; ++i) {
    list.push_back(livery("PVT", fmt::format("L{:03}", i), fmt::format("Light {}", i)));
    if (i < 20) firstLine += fmt::format("{}L{:03}", i == 0 ? "" : ",", i);
  }
  LiveryIndexes indexes = buildAll(list);
  indexes.reportLiveryCategories(SizeCategory::Light);
  EXPECT_NE(logText().find("Category Light: 21 pax liveries\n" + firstLine + "\n  L020\n"), std::string::npos);
  EXPECT_EQ(indexes.lightModels().size(), 21u);
}

}  // namespace
}  // namespace crv
